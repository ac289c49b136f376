// Entry point of the EtherNet/IP plug-in: one new driver per call, handed out
// as its interface face (which is not the start of the object).
#include "CDriveBaseClass.h"
#include "libcipnet.h"

extern "C" Q_DECL_EXPORT CDriveBaseClass *getSharedLibrary()
{
    return new LibCipNet;
}
