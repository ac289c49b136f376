#ifndef PLCCTL_RESULTWORDS_H
#define PLCCTL_RESULTWORDS_H

// Result codes of reads, writes and ConnectDrive in words, for every plug-in.

#include <QString>

namespace plcctl {

// errorCode of a CLabelVariable in words ("unknown area").
QString resultMeaning(int errorCode);
// "3 (unknown area)"
QString resultText(int errorCode);
// Result of ConnectDrive in words. `driverName` is the plug-in's
// getDriveName(), because the plug-ins use the negative codes differently.
QString connectMeaning(int result, const QString &driverName);

} // namespace plcctl

#endif // PLCCTL_RESULTWORDS_H
