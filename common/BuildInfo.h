#ifndef BUILDINFO_H
#define BUILDINFO_H

#include <QString>

namespace BuildInfo {

// The answer of DebugCmd(GetVersion): `pattern` ("v1.7.4 %1 %2") with the
// build date (yyyy-MM-dd) and build time (hh:mm:ss) of this binary.
QString versionText(const QString &pattern);

} // namespace BuildInfo

#endif // BUILDINFO_H
