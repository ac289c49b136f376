#ifndef BUILDINFO_H
#define BUILDINFO_H

#include <QDate>
#include <QString>

namespace BuildInfo {

// The answer of DebugCmd(GetVersion): `pattern` ("v1.7.4 %1 %2") with the
// build date (yyyy-MM-dd) and build time (hh:mm:ss) of this binary.
QString versionText(const QString &pattern);

// A date in the compiler's __DATE__ form ("Dec 18 2023", "Dec  8 2023").
QDate compilerDate(const QString &text);

} // namespace BuildInfo

#endif // BUILDINFO_H
