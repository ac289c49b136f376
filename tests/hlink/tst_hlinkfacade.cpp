// The Host Link facade without a PLC: its value members, address grammar,
// word counts, the checks of the common read/write frame, write refusals,
// identity and connection texts.
#include <QtTest>

#include <limits>

#include "libhlink.h"

#include "HLinkTestValues.h"

Q_DECLARE_METATYPE(CLabelVariable)

class TestHLinkFacade : public QObject
{
    Q_OBJECT

private slots:
    void facadeMembers();
    void byteLengths_data();
    void byteLengths();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void writeRefusals_data();
    void writeRefusals();
    void notConnected_data();
    void notConnected();
    void identity();
    void connectionTexts_data();
    void connectionTexts();
};

void TestHLinkFacade::facadeMembers()
{
    LibHLink lib;
    QCOMPARE(listOf<short>(lib.set_variant_Int16(digits("1234 ABCD"), 2)), (QList<short>{0x1234, -21555}));
    QCOMPARE(listOf<unsigned int>(lib.set_variant_UInt32(digits("5678 1234"), 1)), (QList<unsigned int>{0x12345678u}));
    QCOMPARE(listOf<float>(lib.set_variant_fload(digits("E979 C2F6"), 1)), (QList<float>{-123.456f}));
    QCOMPARE(listOf<bool>(lib.set_variant_bool(1, digits("0002"), 1)), (QList<bool>{true}));
    QByteArray out;
    QCOMPARE(lib.Wset_variant_uInt16(tag(QList<unsigned short>{0xBEEF}), 1, &out), 0);
    QCOMPARE(out, digits("BEEF"));
    out.clear();
    QCOMPARE(lib.Wset_variant_Int32(tag(QList<int>{0x12345678}), 1, &out), 0);
    QCOMPARE(out, digits("5678 1234"));
    out.clear();
    QCOMPARE(lib.Wset_variant_Int16(tag(QList<int>{5}), 1, &out), 1);
    QVERIFY(out.isEmpty());
    // Address grammar through the facade (CIO bit after the ".").
    QCOMPARE(int(lib.getArea(QStringLiteral("CIO10.12"))), 0xB0);
    QCOMPARE(lib.getArea_Bit(QStringLiteral("CIO10.12")), 0x30);
    QCOMPARE(lib.getAddr(QStringLiteral("CIO10.12"), LibHLink::Area_CIO), 10);
    QCOMPARE(lib.getmodule_BIT(QStringLiteral("CIO10.12"), LibHLink::Area_CIO), 12);
    QCOMPARE(lib.getmodule_BIT(QStringLiteral("CIO105"), LibHLink::Area_CIO), 0);
    QCOMPARE(lib.getArea_Bit(QStringLiteral("D130.5")), 0x02);
    QVERIFY(lib.getAddr(QStringLiteral("DM100"), LibHLink::Area_D) < 0);
}

void TestHLinkFacade::byteLengths_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("words");
    QTest::newRow("Int16 3") << int(Int16) << 3 << 3;
    QTest::newRow("Int32 3") << int(Int32) << 3 << 6;
    QTest::newRow("Float 2") << int(Float) << 2 << 4;
    QTest::newRow("Double 2") << int(Double) << 2 << 8;
    QTest::newRow("Bool 9") << int(Bool) << 9 << 1;
    QTest::newRow("Bool 16") << int(Bool) << 16 << 1;
    QTest::newRow("Bool 17") << int(Bool) << 17 << 2;
    QTest::newRow("Int8 1") << int(Int8) << 1 << 1;
    QTest::newRow("UInt8 3") << int(UInt8) << 3 << 2;
    QTest::newRow("String 5") << int(String) << 5 << 0;
    QTest::newRow("no type") << 0 << 5 << 0;
    QTest::newRow("code 13") << 13 << 5 << 0;
    QTest::newRow("more words than an int holds") << int(Double) << std::numeric_limits<int>::max() << 0;
}

void TestHLinkFacade::byteLengths()
{
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, words);
    LibHLink lib;
    QCOMPARE(lib.getBytelen(DataType(type), count), words);
}

void TestHLinkFacade::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("code");
    QTest::newRow("negative word") << "D-3" << int(Int16) << 1 << 5;
    QTest::newRow("unknown area") << "X100" << int(Int16) << 1 << 3;
    QTest::newRow("count 0") << "D100" << int(Int16) << 0 << 4;
    QTest::newRow("65535 + 2") << "D65535" << int(Int16) << 2 << 5;
    QTest::newRow("type 0") << "D100" << 0 << 1 << 2;
    QTest::newRow("String") << "D100" << int(String) << 1 << 2;
    QTest::newRow("code 13") << "D100" << 13 << 1 << 2;
    QTest::newRow("not a number") << "DM100" << int(Int16) << 1 << 5;
    QTest::newRow("bad bit") << "D100.x" << int(Bool) << 1 << 5;
    QTest::newRow("Int32 past the end") << "D65534" << int(Int32) << 1 << 5;
}

void TestHLinkFacade::refusedBeforeSending()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, code);
    LibHLink lib;
    const QDateTime before = QDateTime::currentDateTime();
    CLabelVariable r = lib.ReadVariable(address, DataType(type), count);
    QCOMPARE(r.errorCode, code);
    QCOMPARE(r.address, address);
    QCOMPARE(r.count, count);
    QCOMPARE(r.dataType, type);
    QVERIFY(r.timestamp >= before && r.timestamp <= QDateTime::currentDateTime());
    QVERIFY(!r.value.isValid());
    CLabelVariable value = tag(QList<short>{1, 2});
    value.errorCode = 42;
    const CLabelVariable w = lib.WriteVariable(address, DataType(type), value, count);
    QCOMPARE(w.errorCode, code);
    QCOMPARE(w.address, address);
    QCOMPARE(w.dataType, type);
}

void TestHLinkFacade::writeRefusals_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<int>("count");
    QTest::newRow("wrong list type") << int(Int16) << tag(QList<int>{1}) << 1;
    QTest::newRow("too few elements") << int(Int16) << tag(QList<short>{1}) << 2;
    QTest::newRow("no value") << int(Int32) << CLabelVariable() << 1;
    QTest::newRow("Bool from shorts") << int(Bool) << tag(QList<short>{1}) << 1;
    QTest::newRow("String") << int(String) << tag(QList<QString>{QStringLiteral("a")}) << 1;
}

void TestHLinkFacade::writeRefusals()
{
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(int, count);
    LibHLink lib; // not connected: anything that got past the refusal would report 9
    value.timestamp = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6));
    value.auxText = QStringLiteral("kept");
    const CLabelVariable w = lib.WriteVariable(QStringLiteral("D100"), DataType(type), value, count);
    QCOMPARE(w.errorCode, 2);
    // A refused write hands back the caller's own value and timestamp.
    QCOMPARE(w.value.userType(), value.value.userType());
    QCOMPARE(w.timestamp, value.timestamp);
    QCOMPARE(w.auxText, QStringLiteral("kept"));
    QCOMPARE(w.address, QStringLiteral("D100"));
    QCOMPARE(w.count, count);
    QCOMPARE(w.dataType, type);
}

void TestHLinkFacade::notConnected_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<CLabelVariable>("value");
    QTest::newRow("Int16") << "D100" << int(Int16) << 2 << tag(QList<short>{1, 2});
    QTest::newRow("word 0 count 65535") << "D0" << int(Int16) << 65535 << tag(QVector<short>(65535, 7).toList());
    QTest::newRow("odd Int8 count") << "D10" << int(Int8) << 3 << tag(QList<char>{1, 2, 3});
    QTest::newRow("bit 20") << "D100.20" << int(Bool) << 1 << tag(QList<bool>{true});
    QTest::newRow("bits") << "W5.3" << int(Bool) << 2 << tag(QList<bool>{true, false});
}

// The checks pass and the exchange finds no connection: 9, a null time for
// the read, the caller's value and time for the write.
void TestHLinkFacade::notConnected()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(CLabelVariable, value);
    LibHLink lib;
    const CLabelVariable read = lib.ReadVariable(address, DataType(type), count);
    QCOMPARE(read.errorCode, 9);
    QVERIFY(!read.value.isValid());
    QVERIFY(read.timestamp.isNull());
    QCOMPARE(read.address, address);
    QCOMPARE(read.count, count);
    value.timestamp = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6));
    const CLabelVariable written = lib.WriteVariable(address, DataType(type), value, count);
    QCOMPARE(written.errorCode, 9);
    QCOMPARE(written.timestamp, value.timestamp);
    QCOMPARE(written.value.userType(), value.value.userType());
}

void TestHLinkFacade::identity()
{
    LibHLink lib;
    CDriveBaseClass *face = &lib;
    QCOMPARE(face->getDriveName(), QStringLiteral("HLink"));
    QCOMPARE(face->getversion_number(), QStringLiteral("V1.0.1 20230221"));
    QCOMPARE(face->DebugCmd(GetDriveName), QStringLiteral("HLink"));
    QCOMPARE(face->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    QCOMPARE(face->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    QCOMPARE(face->DebugCmd(StopDebug), QStringLiteral("StopDebug"));
    QVERIFY(face->DebugCmd(EDebugCmdType(7)).isNull());
    QVERIFY(QRegularExpression(QStringLiteral("^v1\\.0\\.1 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                .match(face->DebugCmd(GetVersion)).hasMatch());
    QCOMPARE(lib.qt_metacast("CDriveBaseClass"), static_cast<void *>(face));
    QCOMPARE(face->DisConnectDrive(), 1);
    QCOMPARE(face->DestroyFree(), 1);
    // Without a connection a read that passes the checks fails as not connected.
    QCOMPARE(face->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 9);
    // A unit text that is not a number changes nothing of that.
    face->SetConnectPar(QStringLiteral("abc"));
    QCOMPARE(face->ReadVariable(QStringLiteral("D0"), Int16, 1).errorCode, 9);
    QCOMPARE(face->DisConnectDrive(), 1);
}

void TestHLinkFacade::connectionTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");
    QTest::newRow("no separator") << "ttyS0" << -4;
    QTest::newRow("empty port name") << ",9600,8,1,E" << -1;
    QTest::newRow("baud 0") << "/dev/ttyS0,x,8,1,E" << -1;
    QTest::newRow("no stop bits") << "/dev/ttyS0,9600,8" << -1;
    QTest::newRow("missing port") << "/dev/does-not-exist,9600,8,1,E" << -1;
    QTest::newRow("no port after colon") << "127.0.0.1:" << -1;
    QTest::newRow("no address") << ":9600" << -1;
    QTest::newRow("port 0") << "127.0.0.1:0" << -1;
    QTest::newRow("port too large") << "127.0.0.1:70000" << -1;
    QTest::newRow("host name") << "plc.local:9600" << -1;
}

void TestHLinkFacade::connectionTexts()
{
    QFETCH(QString, text);
    QFETCH(int, result);
    LibHLink lib;
    QCOMPARE(lib.ConnectDrive(text), result);
}

QTEST_GUILESS_MAIN(TestHLinkFacade)
#include "tst_hlinkfacade.moc"
