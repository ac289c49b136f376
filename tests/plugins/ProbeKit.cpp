// A stand-in for a kit function: the same name in every probe plug-in, its
// own answer in each; a plug-in that called another's copy would say so.
#include <QString>

QString probeKitCopy() { return QStringLiteral(PROBE_NAME); }
