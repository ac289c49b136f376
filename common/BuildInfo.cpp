#include "BuildInfo.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace BuildInfo {

QDate compilerDate(const QString &text)
{
    // A one-digit day comes padded with a blank ("Dec  8 2026"); after
    // folding the blanks "d" takes one or two digits ("dd" would refuse "8").
    QString folded = text;
    folded.replace(QLatin1String("  "), QLatin1String(" "));
    return QLocale(QLocale::English).toDate(folded, QStringLiteral("MMM d yyyy"));
}

QString versionText(const QString &pattern)
{
    static const QDate buildDate = compilerDate(QStringLiteral(__DATE__));
    const QTime buildTime = QTime::fromString(QStringLiteral(__TIME__), QStringLiteral("hh:mm:ss"));
    return pattern.arg(buildDate.toString(QStringLiteral("yyyy-MM-dd")), 0, QLatin1Char(' '))
        .arg(buildTime.toString(QStringLiteral("hh:mm:ss")), 0, QLatin1Char(' '));
}

} // namespace BuildInfo
