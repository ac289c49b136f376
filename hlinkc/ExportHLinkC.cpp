// Entry point of the Host Link C-mode plug-in: one new driver object per call.
#include "libhlinkc.h"

extern "C" Q_DECL_EXPORT CDriveBaseClass *getSharedLibrary()
{
    return new LibHLinkC;
}
