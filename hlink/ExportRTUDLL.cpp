// Entry point of the Host Link plug-in: one new driver object per call.
#include "libhlink.h"

extern "C" Q_DECL_EXPORT CDriveBaseClass *getSharedLibrary()
{
    return new LibHLink;
}
