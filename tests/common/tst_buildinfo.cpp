#include <QtTest>

#include "BuildInfo.h"

class TstBuildInfo : public QObject
{
    Q_OBJECT

private slots:
    void compilerDates_data();
    void compilerDates();
    void versionTextPattern();
};

void TstBuildInfo::compilerDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("two-digit day") << "Dec 18 2023" << QDate(2023, 12, 18);
    QTest::newRow("one-digit day, blank padded") << "Dec  8 2026" << QDate(2026, 12, 8);
    QTest::newRow("first of January") << "Jan  1 2024" << QDate(2024, 1, 1);
    QTest::newRow("leap day") << "Feb 29 2024" << QDate(2024, 2, 29);
    QTest::newRow("September") << "Sep 30 2025" << QDate(2025, 9, 30);
    QTest::newRow("not a date") << "Foo 1 2024" << QDate();
}

void TstBuildInfo::compilerDates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(BuildInfo::compilerDate(text), date);
}

void TstBuildInfo::versionTextPattern()
{
    const QString text = BuildInfo::versionText(QStringLiteral("v1.7.4 %1 %2"));
    const QRegularExpression form(QStringLiteral("^v1\\.7\\.4 (\\d{4}-\\d{2}-\\d{2}) (\\d{2}:\\d{2}:\\d{2})$"));
    const QRegularExpressionMatch match = form.match(text);
    QVERIFY2(match.hasMatch(), qPrintable(text));
    const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
    QVERIFY(date.isValid());
    QVERIFY(date.year() >= 2024 && date <= QDate::currentDate());
    QVERIFY(QTime::fromString(match.captured(2), QStringLiteral("hh:mm:ss")).isValid());
    QCOMPARE(BuildInfo::versionText(QStringLiteral("v1.0.1 %1 %2")).mid(7), text.mid(7));
}

QTEST_GUILESS_MAIN(TstBuildInfo)
#include "tst_buildinfo.moc"
