// The facade without a PLC: address grammar members, byte lengths, the checks
// of the common read/write frame, write refusals and connection texts.
#include <QtTest>

#include "libfinsnet.h"

Q_DECLARE_METATYPE(CLabelVariable)

namespace {

template <typename T>
CLabelVariable valueOf(const QList<T> &list)
{
    CLabelVariable value;
    value.value = QVariant::fromValue(list);
    return value;
}

} // namespace

class TestFinsFacade : public QObject
{
    Q_OBJECT

private slots:
    void byteLength_data();
    void byteLength();
    void grammar_data();
    void grammar();
    void readChecks_data();
    void readChecks();
    void writeChecks_data();
    void writeChecks();
    void connectionTexts_data();
    void connectionTexts();
    void releaseWithoutConnection();

private:
    LibFinsNet fins;
};

void TestFinsFacade::byteLength_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("bytes");
    QTest::newRow("Bool 1") << int(Bool) << 1 << 2;
    QTest::newRow("Bool 8") << int(Bool) << 8 << 2;
    QTest::newRow("Bool 16") << int(Bool) << 16 << 2;
    QTest::newRow("Bool 17") << int(Bool) << 17 << 4;
    QTest::newRow("Int16 3") << int(Int16) << 3 << 6;
    QTest::newRow("Float 2") << int(Float) << 2 << 8;
    QTest::newRow("Double 1") << int(Double) << 1 << 8;
    QTest::newRow("Int8 1 rounds up to a word") << int(Int8) << 1 << 2;
    QTest::newRow("Int8 3 rounds up") << int(Int8) << 3 << 4;
    QTest::newRow("UInt8 2") << int(UInt8) << 2 << 2;
    QTest::newRow("String") << int(String) << 5 << 0;
    QTest::newRow("no type") << 0 << 5 << 0;
    QTest::newRow("code 13") << 13 << 5 << 0;
    QTest::newRow("huge count does not overflow") << int(Double) << std::numeric_limits<int>::max()
                                                   << std::numeric_limits<int>::max();
}

void TestFinsFacade::byteLength()
{
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, bytes);
    QCOMPARE(fins.getBytelen(DataType(type), count), bytes);
}

void TestFinsFacade::grammar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("bitArea");
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("bit");
    QTest::newRow("D100") << "D100" << 0x82 << 0x02 << 100 << 0;
    QTest::newRow("D100.5") << "D100.5" << 0x82 << 0x02 << 100 << 5;
    QTest::newRow("D130.5") << "D130.5" << 0x82 << 0x02 << 130 << 5;
    QTest::newRow("H30.1") << "H30.1" << 0xB2 << 0x32 << 30 << 1;
    QTest::newRow("W5") << "W5" << 0xB1 << 0x31 << 5 << 0;
    QTest::newRow("w5") << "w5" << 0xB1 << 0x31 << 5 << 0;
    QTest::newRow("CIO10.3") << "CIO10.3" << 0xB0 << 0x30 << 10 << 3;
    QTest::newRow("CIO10.12") << "CIO10.12" << 0xB0 << 0x30 << 10 << 12;
    QTest::newRow("A448") << "A448" << 0xB3 << 0x33 << 448 << 0;
    QTest::newRow("EM1100") << "EM1100" << 0xA0 << 0x20 << 100 << 0;
    QTest::newRow("EM3200.4") << "EM3200.4" << 0xA2 << 0x22 << 200 << 4;
    QTest::newRow("D100.20") << "D100.20" << 0x82 << 0x02 << 100 << 20;
    QTest::newRow("X100") << "X100" << 0 << 0 << 0 << 0;
    QTest::newRow("DW10 is W, not a W address") << "DW10" << 0xB1 << 0x31 << -1 << -1;
    QTest::newRow("D alone") << "D" << 0x82 << 0x02 << -1 << 0;
    QTest::newRow("D1O0") << "D1O0" << 0x82 << 0x02 << -1 << 0;
    QTest::newRow("D100.x") << "D100.x" << 0x82 << 0x02 << 100 << -1;
    QTest::newRow("D-3") << "D-3" << 0x82 << 0x02 << -3 << 0;
}

void TestFinsFacade::grammar()
{
    QFETCH(QString, text);
    QFETCH(int, area);
    QFETCH(int, bitArea);
    QFETCH(int, word);
    QFETCH(int, bit);
    const LibFinsNet::AreaType found = fins.getArea(text);
    QCOMPARE(int(found), area);
    QCOMPARE(fins.getArea_Bit(text), bitArea);
    QCOMPARE(fins.getAddr(text, found), word);
    QCOMPARE(fins.getmodule_BIT(text, found), bit);
}

void TestFinsFacade::readChecks_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("errorCode");
    // 9: the checks passed and the protocol layer found no connection.
    QTest::newRow("no type") << "D100" << 0 << 1 << 2;
    QTest::newRow("String") << "D100" << int(String) << 1 << 2;
    QTest::newRow("code 40") << "D100" << 40 << 1 << 2;
    QTest::newRow("negative word") << "D-3" << int(Int16) << 1 << 5;
    QTest::newRow("malformed word") << "D1O0" << int(Int16) << 1 << 5;
    QTest::newRow("malformed bit") << "D100.x" << int(Bool) << 1 << 5;
    QTest::newRow("unknown area") << "X100" << int(Int16) << 1 << 3;
    QTest::newRow("count 0") << "D100" << int(Int16) << 0 << 4;
    QTest::newRow("count -1") << "D100" << int(Int16) << -1 << 4;
    QTest::newRow("word 65535 count 1") << "D65535" << int(Int16) << 1 << 5;
    QTest::newRow("word 0 count 65535") << "D0" << int(Int16) << 65535 << 9;
    QTest::newRow("word 1 count 65535") << "D1" << int(Int16) << 65535 << 5;
    QTest::newRow("Double past the last word") << "D65000" << int(Double) << 200 << 5;
    QTest::newRow("bits past the last word") << "D65534.15" << int(Bool) << 2 << 5;
    QTest::newRow("huge bit number") << "D100.9999999" << int(Bool) << 1 << 5;
    QTest::newRow("unknown area before count") << "X1" << int(Int16) << 0 << 3;
    QTest::newRow("valid, not connected") << "D100" << int(Int16) << 2 << 9;
    QTest::newRow("bit 20 valid, not connected") << "D100.20" << int(Bool) << 1 << 9;
}

void TestFinsFacade::readChecks()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, errorCode);
    const QDateTime before = QDateTime::currentDateTime();
    CLabelVariable result = fins.ReadVariable(address, DataType(type), count);
    QCOMPARE(result.errorCode, errorCode);
    QVERIFY(!result.value.isValid());
    QCOMPARE(result.address, address);
    QCOMPARE(result.count, count);
    QCOMPARE(result.dataType, type);
    // Refused by the checks: the time of the call; a failed exchange: null.
    if (errorCode >= 7)
        QVERIFY(result.timestamp.isNull());
    else
        QVERIFY(result.timestamp >= before && result.timestamp <= QDateTime::currentDateTime());
}

void TestFinsFacade::writeChecks_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<int>("errorCode");
    const CLabelVariable shorts = valueOf(QList<short>{1, 2});
    QTest::newRow("no type") << "D100" << 0 << 1 << shorts << 2;
    QTest::newRow("String value") << "D100" << int(String) << 1 << valueOf(QList<QString>{"x"}) << 2;
    QTest::newRow("fewer elements than count") << "D100" << int(Int16) << 3 << shorts << 2;
    QTest::newRow("other list type") << "D100" << int(Int32) << 1 << shorts << 2;
    QTest::newRow("no value at all") << "D100" << int(Int16) << 1 << CLabelVariable() << 2;
    QTest::newRow("Bool tag with shorts") << "D100.1" << int(Bool) << 1 << shorts << 2;
    QTest::newRow("negative word") << "D-1" << int(Int16) << 1 << shorts << 5;
    QTest::newRow("unknown area") << "Q1" << int(Int16) << 1 << shorts << 3;
    QTest::newRow("count 0") << "D1" << int(Int16) << 0 << shorts << 4;
    QTest::newRow("valid, not connected") << "D100" << int(Int16) << 2 << shorts << 9;
    QTest::newRow("valid bits, not connected") << "W5.3" << int(Bool) << 2 << valueOf(QList<bool>{true, false}) << 9;
}

void TestFinsFacade::writeChecks()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(CLabelVariable, value);
    QFETCH(int, errorCode);
    value.timestamp = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6));
    value.auxText = QStringLiteral("kept");
    const CLabelVariable result = fins.WriteVariable(address, DataType(type), value, count);
    QCOMPARE(result.errorCode, errorCode);
    // A failed write hands back the caller's own value and timestamp.
    QCOMPARE(result.value, value.value);
    QCOMPARE(result.timestamp, value.timestamp);
    QCOMPARE(result.auxText, QStringLiteral("kept"));
    QCOMPARE(result.address, address);
    QCOMPARE(result.count, count);
    QCOMPARE(result.dataType, type);
}

void TestFinsFacade::connectionTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("no port") << "10.0.0.5";
    QTest::newRow("empty port") << "10.0.0.5:";
    QTest::newRow("no address") << ":9600";
    QTest::newRow("host name") << "plc:9600";
    QTest::newRow("octet above 255") << "10.0.0.256:9600";
    QTest::newRow("port 0") << "127.0.0.1:0";
    QTest::newRow("port above 65535") << "127.0.0.1:75536";
    QTest::newRow("negative port") << "127.0.0.1:-9600";
    QTest::newRow("port with letters") << "127.0.0.1:96x0";
    QTest::newRow("empty") << "";
}

void TestFinsFacade::connectionTexts()
{
    QFETCH(QString, text);
    LibFinsNet driver;
    // Refused texts are said in the log, whichever layer refuses them.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QString::fromUtf8("^lib\\[FinsNet\\]连接参数错误 ")));
    QCOMPARE(driver.ConnectDrive(text), -1);
    QCOMPARE(driver.ReadVariable(QStringLiteral("D0"), Int16).errorCode, 9);
}

void TestFinsFacade::releaseWithoutConnection()
{
    LibFinsNet driver;
    QCOMPARE(driver.DisConnectDrive(), 1);
    QCOMPARE(driver.DestroyFree(), 1);
    driver.SetConnectPar(QStringLiteral("abc"));
    QCOMPARE(driver.ReadVariable(QStringLiteral("D0"), Int16, 1).errorCode, 9);
}

QTEST_GUILESS_MAIN(TestFinsFacade)
#include "tst_finsfacade.moc"
