#include "BuildInfo.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace BuildInfo {

QString versionText(const QString &pattern)
{
    // __DATE__ pads a one-digit day with a blank ("Dec  8 2026").
    static const QDate buildDate = QLocale(QLocale::English).toDate(
        QString::fromLatin1(__DATE__).replace(QLatin1String("  "), QLatin1String(" ")),
        QStringLiteral("MMM d yyyy"));
    const QTime buildTime = QTime::fromString(QStringLiteral(__TIME__), QStringLiteral("hh:mm:ss"));
    return pattern.arg(buildDate.toString(QStringLiteral("yyyy-MM-dd")), 0, QLatin1Char(' '))
        .arg(buildTime.toString(QStringLiteral("hh:mm:ss")), 0, QLatin1Char(' '));
}

} // namespace BuildInfo
