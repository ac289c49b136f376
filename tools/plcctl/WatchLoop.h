#ifndef PLCCTL_WATCHLOOP_H
#define PLCCTL_WATCHLOOP_H

#include "CtlArguments.h"

#include <QString>

class CDriveBaseClass;

namespace plcctl {

// Polls the tags of `args` round after round until --count rounds are done
// or the user presses Ctrl-C (SIGINT) or the process gets SIGTERM. On a
// terminal the table is redrawn in place; otherwise every result is one
// appended line (JSON with --json). Returns the exit status: 0 when every
// read succeeded, 1 when any failed.
int runWatch(CDriveBaseClass *driver, const CtlArguments &args, const QString &title);

} // namespace plcctl

#endif // PLCCTL_WATCHLOOP_H
