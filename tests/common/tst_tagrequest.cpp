#include <QtTest>

#include <ctime>

#include "TagRequest.h"

using namespace TagRequest;

class TstTagRequest : public QObject
{
    Q_OBJECT

private slots:
    void checkOrderAndCodes_data();
    void checkOrderAndCodes();
    void holdsElements_data();
    void holdsElements();
    void boolWordsCovered_data();
    void boolWordsCovered();
    void freshResultIsStampedNow();
    void stampFollowsTheTimeZone();
};

void TstTagRequest::checkOrderAndCodes_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("type");
    QTest::addColumn<qlonglong>("wordsNeeded");
    QTest::addColumn<int>("code");

    // word, bit, area, count, type, words needed -> code
    QTest::newRow("plain D100 Int16") << 100 << 0 << 0x82 << 1 << 4 << 1LL << 0;
    QTest::newRow("D-3") << -3 << 0 << 0x82 << 1 << 4 << 1LL << 5;
    QTest::newRow("malformed word") << -1 << 0 << 0x82 << 1 << 4 << 1LL << 5;
    QTest::newRow("malformed bit") << 100 << -1 << 0x82 << 1 << 1 << 1LL << 5;
    QTest::newRow("unknown area") << 0 << 0 << 0 << 1 << 4 << 1LL << 3;
    QTest::newRow("count 0") << 100 << 0 << 0x82 << 0 << 4 << 0LL << 4;
    QTest::newRow("count negative") << 100 << 0 << 0x82 << -5 << 4 << 0LL << 4;
    QTest::newRow("word 65535 count 1") << 65535 << 0 << 0x82 << 1 << 4 << 1LL << 5;
    QTest::newRow("word 0 count 65535") << 0 << 0 << 0x82 << 65535 << 4 << 65535LL << 0;
    QTest::newRow("word 1 count 65535") << 1 << 0 << 0x82 << 65535 << 4 << 65535LL << 5;
    QTest::newRow("huge count does not overflow") << 100 << 0 << 0x82 << 2147483647 << 4 << 2147483647LL << 5;
    QTest::newRow("type 0") << 100 << 0 << 0x82 << 1 << 0 << 0LL << 2;
    QTest::newRow("type 12 String") << 100 << 0 << 0x82 << 1 << 12 << 0LL << 2;
    QTest::newRow("type 13") << 100 << 0 << 0x82 << 1 << 13 << 0LL << 2;
    QTest::newRow("type negative") << 100 << 0 << 0x82 << 1 << -1 << 0LL << 2;
    QTest::newRow("Double at the last words") << 65531 << 0 << 0x82 << 1 << 11 << 4LL << 0;
    QTest::newRow("Int32 past the last word") << 65534 << 0 << 0x82 << 1 << 6 << 2LL << 5;
    QTest::newRow("Double past the last word") << 65532 << 0 << 0x82 << 1 << 11 << 4LL << 5;
    // Order: the first failing check decides.
    QTest::newRow("negative word before unknown area") << -3 << 0 << 0 << 0 << 0 << 0LL << 5;
    QTest::newRow("unknown area before count") << 0 << 0 << 0 << 0 << 0 << 0LL << 3;
    QTest::newRow("count before range") << 65535 << 0 << 0x82 << 0 << 0 << 0LL << 4;
    QTest::newRow("range before type") << 65535 << 0 << 0x82 << 1 << 0 << 0LL << 5;
}

void TstTagRequest::checkOrderAndCodes()
{
    QFETCH(int, word);
    QFETCH(int, bit);
    QFETCH(int, area);
    QFETCH(int, count);
    QFETCH(int, type);
    QFETCH(qlonglong, wordsNeeded);
    QFETCH(int, code);
    QCOMPARE(check(word, bit, area, count, type, wordsNeeded), code);
}

void TstTagRequest::holdsElements_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("holds");

    const QVariant shorts = QVariant::fromValue(QList<short>{1, 2, 3});
    QTest::newRow("exactly count") << shorts << 4 << 3 << true;
    QTest::newRow("more than count") << shorts << 4 << 2 << true;
    QTest::newRow("fewer than count") << shorts << 4 << 4 << false;
    QTest::newRow("other list type") << shorts << 5 << 1 << false;
    QTest::newRow("no value") << QVariant() << 4 << 1 << false;
    QTest::newRow("plain number is no list") << QVariant(short(5)) << 4 << 1 << false;
    QTest::newRow("bool") << QVariant::fromValue(QList<bool>{true}) << 1 << 1 << true;
    QTest::newRow("Int8") << QVariant::fromValue(QList<char>{'a'}) << 2 << 1 << true;
    QTest::newRow("UInt8") << QVariant::fromValue(QList<unsigned char>{1}) << 3 << 1 << true;
    QTest::newRow("UInt16") << QVariant::fromValue(QList<unsigned short>{1}) << 5 << 1 << true;
    QTest::newRow("Int32") << QVariant::fromValue(QList<int>{1}) << 6 << 1 << true;
    QTest::newRow("UInt32") << QVariant::fromValue(QList<unsigned int>{1}) << 7 << 1 << true;
    QTest::newRow("Float") << QVariant::fromValue(QList<float>{1}) << 8 << 1 << true;
    QTest::newRow("Int64") << QVariant::fromValue(QList<long long>{1}) << 9 << 1 << true;
    QTest::newRow("UInt64") << QVariant::fromValue(QList<unsigned long long>{1}) << 10 << 1 << true;
    QTest::newRow("Double") << QVariant::fromValue(QList<double>{1}) << 11 << 1 << true;
    QTest::newRow("String is not transferred")
        << QVariant::fromValue(QList<QString>{QStringLiteral("x")}) << 12 << 1 << false;
    QTest::newRow("Int8 is not UInt8") << QVariant::fromValue(QList<char>{'a'}) << 3 << 1 << false;
}

void TstTagRequest::holdsElements()
{
    QFETCH(QVariant, value);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(bool, holds);
    CLabelVariable v;
    v.value = value;
    QCOMPARE(TagRequest::holdsElements(v, type, count), holds);
}

void TstTagRequest::boolWordsCovered_data()
{
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("count");
    QTest::addColumn<qlonglong>("words");
    QTest::newRow("one bit") << 0 << 1 << 1LL;
    QTest::newRow("16 bits") << 0 << 16 << 1LL;
    QTest::newRow("17 bits") << 0 << 17 << 2LL;
    QTest::newRow("bit 15 alone") << 15 << 1 << 1LL;
    QTest::newRow("bit 15 spills") << 15 << 2 << 2LL;
    QTest::newRow("bit 3, 16 bits") << 3 << 16 << 2LL;
    QTest::newRow("large count") << 0 << 65535 << 4096LL;
}

void TstTagRequest::boolWordsCovered()
{
    QFETCH(int, bit);
    QFETCH(int, count);
    QFETCH(qlonglong, words);
    QCOMPARE(boolWords(bit, count), words);
}

void TstTagRequest::freshResultIsStampedNow()
{
    const QDateTime before = QDateTime::currentDateTime();
    const CLabelVariable r = freshResult();
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(r.errorCode, 1);
    QCOMPARE(r.accessStatus, 1);
    QVERIFY(!r.value.isValid());
    QVERIFY(r.address.isEmpty());
    QVERIFY(r.auxText.isEmpty());
    QVERIFY(r.timestamp >= before && r.timestamp <= after);
    QCOMPARE(r.timestamp.timeSpec(), Qt::LocalTime);
}

// Stamps are made once a millisecond: a new zone shows from the next one on.
void TstTagRequest::stampFollowsTheTimeZone()
{
    const QByteArray saved = qgetenv("TZ");
    for (const char *zone : {"UTC0", "XST-5", "UTC0"}) {
        qputenv("TZ", zone);
        tzset();
        const qint64 set = QDateTime::currentMSecsSinceEpoch();
        QTRY_VERIFY_WITH_TIMEOUT(QDateTime::currentMSecsSinceEpoch() > set, 5000);
        QCOMPARE(freshResult().timestamp.offsetFromUtc(), zone[0] == 'X' ? 5 * 3600 : 0);
    }
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
}

QTEST_GUILESS_MAIN(TstTagRequest)
#include "tst_tagrequest.moc"
