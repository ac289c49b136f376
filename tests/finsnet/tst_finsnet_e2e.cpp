// The FINS plug-in end to end: loaded like a host loads it, talking to the
// simulator over TCP, with the simulator's fault modes.
#include <QtTest>

#include <memory>

#include "FinsE2E.h"
#include "PlcSimulator.h"
#include "TestSupport.h"

using namespace fins_e2e;
using plcsim::Area;
using testsupport::fromHex;

Q_DECLARE_METATYPE(plcsim::Area)
Q_DECLARE_METATYPE(CLabelVariable)

class TestFinsNetE2E : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void identity();
    void readEveryType_data();
    void readEveryType();
    void writeEveryType_data();
    void writeEveryType();
    void everyBitOfEveryArea_data();
    void everyBitOfEveryArea();
    void bitsAcrossWordsAndAbove15();
    void int8OddCountKeepsTheOtherByte();
    void int8OddCountWithoutReadWritesNothing();
    void largeTransfersAreSplit();
    void checksSendNothing_data();
    void checksSendNothing();
    void toleratedFaults_data();
    void toleratedFaults();
    void noAnswer();
    void lateAnswerNeverBecomesTheNextValue();
    void foreignNodes();
    void wrongSidIsDropped();
    void errorEndCodes_data();
    void errorEndCodes();
    void garbageAndOversizedLength_data();
    void garbageAndOversizedLength();
    void droppedConnection();
    void twoDriversOneSimulator();
    void nodeInUseFallsBackToAutomatic();
    void node255AsksForAutomatic();
    void refusedHandshakeSaysWhy_data();
    void refusedHandshakeSaysWhy();
    void exactTraceLines();
    void connectionLifecycle();

private:
    CDriveBaseClass *connectNew();
    void setMemory(Area area, int address, const char *hex) { sim->setWords(area, address, fromHex(hex)); }
    QString memory(Area area, int address, int words) const
    {
        return QString::fromLatin1(sim->words(area, address, words).toHex(' '));
    }

    std::unique_ptr<plcsim::Simulator> sim;
    quint16 port = 0;
    CDriveBaseClass *drv = nullptr;
};

void TestFinsNetE2E::initTestCase()
{
    QVERIFY2(testsupport::finsPlugin().isLoaded(), qPrintable(testsupport::finsPlugin().errorString()));
    sim = std::make_unique<plcsim::Simulator>();
    port = sim->startFins();
    QVERIFY(port != 0);
    drv = connectNew();
    QVERIFY(drv);
}

void TestFinsNetE2E::init()
{
    sim->setFaults(plcsim::Faults());
    sim->clearMemory();
    if (drv && drv->ReadVariable(QStringLiteral("D0"), Int16).errorCode != 0)
        QCOMPARE(drv->ConnectDrive(endpoint(port)), 0);
}

void TestFinsNetE2E::cleanupTestCase()
{
    release(drv);
    drv = nullptr;
    sim.reset();
}

CDriveBaseClass *TestFinsNetE2E::connectNew()
{
    CDriveBaseClass *driver = testsupport::finsPlugin().create();
    if (driver && driver->ConnectDrive(endpoint(port)) != 0) {
        release(driver);
        return nullptr;
    }
    return driver;
}

void TestFinsNetE2E::identity()
{
    CDriveBaseClass *other = testsupport::finsPlugin().create();
    QVERIFY(other != drv);
    QCOMPARE(other->getDriveName(), QStringLiteral("FinsNet"));
    QCOMPARE(other->getversion_number(), QStringLiteral("V1.7.4 20230221"));
    QCOMPARE(other->DebugCmd(GetDriveName), QStringLiteral("FinsNet"));
    QVERIFY(QRegularExpression(QStringLiteral("^v1\\.7\\.4 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                .match(other->DebugCmd(GetVersion))
                .hasMatch());
    QCOMPARE(other->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    QCOMPARE(other->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    QCOMPARE(other->DebugCmd(StopDebug), QStringLiteral("StopDebug"));
    QVERIFY(other->DebugCmd(EDebugCmdType(7)).isNull());
    QObject *object = dynamic_cast<QObject *>(other);
    QVERIFY(object);
    QCOMPARE(object->qt_metacast("CDriveBaseClass"), static_cast<void *>(other));
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), QStringLiteral("LibFinsNet"));
    QCOMPARE(other->DisConnectDrive(), 1);
    QCOMPARE(other->DestroyFree(), 1);
    release(other);
}

void TestFinsNetE2E::readEveryType_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<Area>("area");
    QTest::addColumn<int>("word");
    QTest::addColumn<QByteArray>("memory");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("Int16 D100") << "D100" << int(Int16) << 2 << Area::D << 100 << fromHex("1234 ABCD")
                                << listOf<short>({4660, -21555});
    QTest::newRow("UInt16 W5") << "W5" << int(UInt16) << 2 << Area::W << 5 << fromHex("ABCD 0001")
                               << listOf<unsigned short>({0xABCD, 1});
    QTest::newRow("Int32 H20") << "H20" << int(Int32) << 1 << Area::H << 20 << fromHex("0187 1402")
                               << listOf<int>({0x14020187});
    QTest::newRow("UInt32 CIO10") << "CIO10" << int(UInt32) << 2 << Area::CIO << 10
                                  << fromHex("5678 1234 FFFF FFFF") << listOf<unsigned int>({0x12345678u, ~0u});
    QTest::newRow("Float A100") << "A100" << int(Float) << 1 << Area::A << 100 << fromHex("E979 C2F6")
                                << listOf<float>({-123.456f});
    QTest::newRow("Int64 EM1100") << "EM1100" << int(Int64) << 1 << plcsim::emBank(0) << 100
                                  << fromHex("0000 0000 0000 8000") << listOf<long long>({LLONG_MIN});
    QTest::newRow("UInt64 EM5 32000") << "EM532000" << int(UInt64) << 1 << plcsim::emBank(4) << 32000
                                      << fromHex("0708 0506 0304 0102") << listOf<unsigned long long>({0x0102030405060708ull});
    QTest::newRow("Double D200") << "D200" << int(Double) << 2 << Area::D << 200
                                 << fromHex("0000 0000 0000 3FF0 0000 0000 0000 C004") << listOf<double>({1.0, -2.5});
    QTest::newRow("Int8 D300 odd count") << "D300" << int(Int8) << 3 << Area::D << 300 << fromHex("1234 5678")
                                         << listOf<char>({0x12, 0x34, 0x56});
    QTest::newRow("UInt8 D300 one") << "D300" << int(UInt8) << 1 << Area::D << 300 << fromHex("FE34")
                                    << listOf<unsigned char>({0xFE});
    QTest::newRow("Bool D100.12 x8") << "D100.12" << int(Bool) << 8 << Area::D << 100 << fromHex("5000 0009")
                                     << listOf<bool>({true, false, true, false, true, false, false, true});
    QTest::newRow("Bool D100.15 x1") << "D100.15" << int(Bool) << 1 << Area::D << 100 << fromHex("8000")
                                     << listOf<bool>({true});
    QTest::newRow("Bool D100.15 x16") << "D100.15" << int(Bool) << 16 << Area::D << 100 << fromHex("8000 7FFF")
                                      << listOf<bool>({true, true, true, true, true, true, true, true, true, true,
                                                       true, true, true, true, true, true});
    QTest::newRow("Int16 x17 exactly 17") << "D0" << int(Int16) << 17 << Area::D << 0
                                          << fromHex("0001 0002 0003 0004 0005 0006 0007 0008 0009 000A 000B 000C 000D 000E 000F 0010 0011 0012")
                                          << listOf<short>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    QTest::newRow("last D word") << "D32767" << int(UInt16) << 1 << Area::D << 32767 << fromHex("BEEF")
                                 << listOf<unsigned short>({0xBEEF});
}

void TestFinsNetE2E::readEveryType()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(Area, area);
    QFETCH(int, word);
    QFETCH(QByteArray, memory);
    QFETCH(QVariant, expected);
    sim->setWords(area, word, memory);
    const QDateTime before = QDateTime::currentDateTime();
    CLabelVariable result = drv->ReadVariable(address, DataType(type), count);
    QCOMPARE(result.errorCode, 0);
    QCOMPARE(describe(result.value), describe(expected));
    QVERIFY(result.timestamp >= before);
    QCOMPARE(result.address, address);
    QCOMPARE(result.count, count);
    QCOMPARE(result.dataType, type);
}

void TestFinsNetE2E::writeEveryType_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<int>("count");
    QTest::addColumn<Area>("area");
    QTest::addColumn<int>("word");
    QTest::addColumn<QByteArray>("expected"); // memory from `word` on, one word more than written

    QTest::newRow("Int16 D100") << "D100" << int(Int16) << valueOf<short>({4660, -21555}) << 2 << Area::D << 100
                                << fromHex("1234 ABCD 0000");
    QTest::newRow("UInt16 count below list") << "W5" << int(UInt16) << valueOf<unsigned short>({1, 2, 3}) << 2
                                             << Area::W << 5 << fromHex("0001 0002 0000");
    QTest::newRow("Int32 H20") << "H20" << int(Int32) << valueOf<int>({0x14020187}) << 1 << Area::H << 20
                               << fromHex("0187 1402 0000");
    QTest::newRow("UInt32 CIO10") << "CIO10" << int(UInt32) << valueOf<unsigned int>({0x12345678u}) << 1 << Area::CIO
                                  << 10 << fromHex("5678 1234 0000");
    QTest::newRow("Float A448") << "A448" << int(Float) << valueOf<float>({-123.456f}) << 1 << Area::A << 448
                                << fromHex("E979 C2F6 0000");
    QTest::newRow("Int64 EM3200") << "EM3200" << int(Int64) << valueOf<long long>({0x0102030405060708ll}) << 1
                                  << plcsim::emBank(2) << 200 << fromHex("0708 0506 0304 0102 0000");
    QTest::newRow("UInt64 D0") << "D0" << int(UInt64) << valueOf<unsigned long long>({1}) << 1 << Area::D << 0
                               << fromHex("0001 0000 0000 0000 0000");
    QTest::newRow("Double D200") << "D200" << int(Double) << valueOf<double>({1.0}) << 1 << Area::D << 200
                                 << fromHex("0000 0000 0000 3FF0 0000");
    QTest::newRow("Int8 even") << "D300" << int(Int8) << valueOf<char>({0x12, 0x34}) << 2 << Area::D << 300
                               << fromHex("1234 0000");
    QTest::newRow("UInt8 even") << "D300" << int(UInt8) << valueOf<unsigned char>({0xFE, 0x01, 0x02, 0x03}) << 4
                                << Area::D << 300 << fromHex("FE01 0203 0000");
}

void TestFinsNetE2E::writeEveryType()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(int, count);
    QFETCH(Area, area);
    QFETCH(int, word);
    QFETCH(QByteArray, expected);
    const QDateTime before = QDateTime::currentDateTime();
    CLabelVariable result = drv->WriteVariable(address, DataType(type), value, count);
    QCOMPARE(result.errorCode, 0);
    QVERIFY(result.timestamp >= before);
    QCOMPARE(memory(area, word, expected.size() / 2), QString::fromLatin1(expected.toHex(' ')));
    QCOMPARE(memory(area, word - 1, 1), QStringLiteral("00 00"));
    // What was written reads back as written.
    CLabelVariable back = drv->ReadVariable(address, DataType(type), count);
    QCOMPARE(back.errorCode, 0);
    QCOMPARE(describe(back.value).count(QLatin1Char(',')), count - 1);
    QVERIFY(describe(value.value).startsWith(describe(back.value).chopped(1)));
}

void TestFinsNetE2E::everyBitOfEveryArea_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<Area>("area");
    QTest::addColumn<int>("word");
    QTest::newRow("D") << "D100" << Area::D << 100;
    QTest::newRow("CIO") << "CIO10" << Area::CIO << 10;
    QTest::newRow("W") << "W5" << Area::W << 5;
    QTest::newRow("H") << "H20" << Area::H << 20;
    QTest::newRow("A") << "A500" << Area::A << 500;
    QTest::newRow("EM2") << "EM2100" << plcsim::emBank(1) << 100;
    QTest::newRow("EM5") << "EM5100" << plcsim::emBank(4) << 100;
}

void TestFinsNetE2E::everyBitOfEveryArea()
{
    QFETCH(QString, prefix);
    QFETCH(Area, area);
    QFETCH(int, word);
    for (int bit = 0; bit < 16; ++bit) {
        const QString address = QStringLiteral("%1.%2").arg(prefix).arg(bit);
        sim->setWord(area, word, 0);
        QCOMPARE(drv->WriteVariable(address, Bool, valueOf<bool>({true})).errorCode, 0);
        QCOMPARE(sim->word(area, word), quint16(1u << bit));
        sim->setWord(area, word, quint16(~(1u << bit)));
        CLabelVariable read = drv->ReadVariable(address, Bool);
        QCOMPARE(read.errorCode, 0);
        QCOMPARE(describe(read.value), QStringLiteral("bool[0]"));
        sim->setWord(area, word, quint16(1u << bit));
        QCOMPARE(describe(drv->ReadVariable(address, Bool).value), QStringLiteral("bool[1]"));
        QCOMPARE(drv->WriteVariable(address, Bool, valueOf<bool>({false})).errorCode, 0);
        QCOMPARE(sim->word(area, word), quint16(0));
    }
}

void TestFinsNetE2E::bitsAcrossWordsAndAbove15()
{
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100.14"), Bool, valueOf<bool>({true, false, true, true}), 4).errorCode, 0);
    QCOMPARE(memory(Area::D, 99, 4), QStringLiteral("00 00 40 00 00 03 00 00"));
    QCOMPARE(describe(drv->ReadVariable(QStringLiteral("D100.14"), Bool, 4).value), QStringLiteral("bool[1,0,1,1]"));
    // Bit 20 of D100 is bit 4 of D101.
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100.20"), Bool, valueOf<bool>({true})).errorCode, 0);
    QCOMPARE(memory(Area::D, 100, 2), QStringLiteral("40 00 00 13"));
    QCOMPARE(describe(drv->ReadVariable(QStringLiteral("D100.20"), Bool, 2).value), QStringLiteral("bool[1,0]"));
}

void TestFinsNetE2E::int8OddCountKeepsTheOtherByte()
{
    setMemory(Area::D, 100, "ABCD EF01 2345");
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100"), Int8, valueOf<char>({0x12})).errorCode, 0);
    QCOMPARE(memory(Area::D, 100, 3), QStringLiteral("12 cd ef 01 23 45"));
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100"), UInt8, valueOf<unsigned char>({1, 2, 3}), 3).errorCode, 0);
    QCOMPARE(memory(Area::D, 100, 3), QStringLiteral("01 02 03 01 23 45"));
}

void TestFinsNetE2E::int8OddCountWithoutReadWritesNothing()
{
    setMemory(Area::D, 100, "ABCD");
    plcsim::Faults silent;
    silent.silent = true;
    sim->setFaults(silent);
    const int writes = sim->stats().writes;
    testsupport::LogCapture log;
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100"), Int8, valueOf<char>({0x12})).errorCode, 8);
    QCOMPARE(sim->stats().writes, writes);
    QCOMPARE(memory(Area::D, 100, 1), QStringLiteral("ab cd"));
}

void TestFinsNetE2E::largeTransfersAreSplit()
{
    QByteArray pattern;
    for (int i = 0; i < 2500; ++i) {
        pattern.append(char(i >> 8));
        pattern.append(char(i & 0xFF));
    }
    sim->setWords(Area::D, 1000, pattern);
    int frames = sim->stats().finsFrames;
    CLabelVariable read = drv->ReadVariable(QStringLiteral("D1000"), UInt16, 2500);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(sim->stats().finsFrames - frames, 3); // 999 + 999 + 502
    QList<unsigned short> values = read.value.value<QList<unsigned short>>();
    QCOMPARE(values.size(), 2500);
    for (int i = 0; i < 2500; ++i)
        QCOMPARE(int(values.at(i)), i);

    CLabelVariable up;
    QList<unsigned short> written;
    for (int i = 0; i < 2000; ++i)
        written << quint16(40000 + i);
    up.value = QVariant::fromValue(written);
    frames = sim->stats().finsFrames;
    QCOMPARE(drv->WriteVariable(QStringLiteral("D5000"), UInt16, up, 2000).errorCode, 0);
    QCOMPARE(sim->stats().finsFrames - frames, 3); // 997 + 997 + 6
    QCOMPARE(sim->word(Area::D, 5000), quint16(40000));
    QCOMPARE(sim->word(Area::D, 6999), quint16(41999));
    QCOMPARE(sim->word(Area::D, 7000), quint16(0));

    QList<bool> bits;
    for (int i = 0; i < 3000; ++i)
        bits << (i % 3 == 0);
    CLabelVariable bitValue;
    bitValue.value = QVariant::fromValue(bits);
    frames = sim->stats().finsFrames;
    QCOMPARE(drv->WriteVariable(QStringLiteral("W10.5"), Bool, bitValue, 3000).errorCode, 0);
    QCOMPARE(sim->stats().finsFrames - frames, 2);
    CLabelVariable bitsBack = drv->ReadVariable(QStringLiteral("W10.5"), Bool, 3000);
    QCOMPARE(bitsBack.errorCode, 0);
    QCOMPARE(bitsBack.value.value<QList<bool>>(), bits);
    QCOMPARE(sim->word(Area::W, 10) & 0x1F, 0);
}

void TestFinsNetE2E::checksSendNothing_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<int>("errorCode");
    const CLabelVariable two = valueOf<short>({1, 2});
    QTest::newRow("read no type") << false << "D100" << 0 << 1 << CLabelVariable() << 2;
    QTest::newRow("read String") << false << "D100" << int(String) << 1 << CLabelVariable() << 2;
    QTest::newRow("read D-3") << false << "D-3" << int(Int16) << 1 << CLabelVariable() << 5;
    QTest::newRow("read count 0") << false << "D100" << int(Int16) << 0 << CLabelVariable() << 4;
    QTest::newRow("read word 65535") << false << "D65535" << int(Int16) << 1 << CLabelVariable() << 5;
    QTest::newRow("read word 1 count 65535") << false << "D1" << int(Int16) << 65535 << CLabelVariable() << 5;
    QTest::newRow("read unknown area") << false << "X100" << int(Int16) << 1 << CLabelVariable() << 3;
    QTest::newRow("read word not a number") << false << "DM100" << int(Int16) << 1 << CLabelVariable() << 5;
    QTest::newRow("write short list") << true << "D100" << int(Int16) << 3 << two << 2;
    QTest::newRow("write wrong list type") << true << "D100" << int(UInt16) << 1 << two << 2;
    QTest::newRow("write String") << true << "D100" << int(String) << 1 << valueOf<QString>({"x"}) << 2;
    QTest::newRow("write code 13") << true << "D100" << 13 << 1 << two << 2;
    QTest::newRow("write bits without bools") << true << "D100.3" << int(Bool) << 1 << two << 2;
    QTest::newRow("write bad bit") << true << "D100.x" << int(Bool) << 1 << valueOf<bool>({true}) << 5;
}

void TestFinsNetE2E::checksSendNothing()
{
    QFETCH(bool, write);
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(CLabelVariable, value);
    QFETCH(int, errorCode);
    const plcsim::Stats before = sim->stats();
    const QDateTime start = QDateTime::currentDateTime();
    CLabelVariable result = write ? drv->WriteVariable(address, DataType(type), value, count)
                                  : drv->ReadVariable(address, DataType(type), count);
    QCOMPARE(result.errorCode, errorCode);
    QCOMPARE(result.address, address);
    QCOMPARE(result.count, count);
    QCOMPARE(result.dataType, type);
    if (!write)
        QVERIFY(result.timestamp >= start && result.timestamp <= QDateTime::currentDateTime());
    QCOMPARE(sim->stats().finsFrames, before.finsFrames);
    QCOMPARE(sim->stats().writes, before.writes);
}

void TestFinsNetE2E::toleratedFaults_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("chunkSize");
    QTest::addColumn<int>("chunkGapMs");
    QTest::newRow("delay within the limit") << 250 << 0 << 0;
    QTest::newRow("split into single bytes") << 0 << 1 << 0;
    QTest::newRow("split with gaps") << 0 << 7 << 40;
    QTest::newRow("delay and split") << 150 << 5 << 20;
}

void TestFinsNetE2E::toleratedFaults()
{
    QFETCH(int, delayMs);
    QFETCH(int, chunkSize);
    QFETCH(int, chunkGapMs);
    plcsim::Faults faults;
    faults.delayMs = delayMs;
    faults.chunkSize = chunkSize;
    faults.chunkGapMs = chunkGapMs;
    sim->setFaults(faults);
    setMemory(Area::D, 10, "1234 5678");
    CLabelVariable read = drv->ReadVariable(QStringLiteral("D10"), UInt32);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(describe(read.value), QStringLiteral("uint[1450709556]"));
    QCOMPARE(drv->WriteVariable(QStringLiteral("D12"), Int16, valueOf<short>({-2})).errorCode, 0);
    QCOMPARE(memory(Area::D, 12, 1), QStringLiteral("ff fe"));
}

void TestFinsNetE2E::noAnswer()
{
    plcsim::Faults silent;
    silent.silent = true;
    sim->setFaults(silent);
    testsupport::LogCapture log;
    CLabelVariable read = drv->ReadVariable(QStringLiteral("D100"), Int16, 2);
    QCOMPARE(read.errorCode, 8);
    QVERIFY(read.timestamp.isNull());
    QVERIFY(!read.value.isValid());
    QCOMPARE(log.messages(QtWarningMsg),
             QStringList(QStringLiteral("lib[FinsNet]返回的报文长度为0 127.0.0.1:%1 Area=D100  len = 4 msg : ").arg(port)));
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100"), Int16, valueOf<short>({1})).errorCode, 8);
    sim->setFaults(plcsim::Faults());
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16, 2).errorCode, 0);
}

void TestFinsNetE2E::lateAnswerNeverBecomesTheNextValue()
{
    setMemory(Area::D, 100, "1111");
    plcsim::Faults late;
    late.delayMs = 650; // past the 500 ms an exchange may take
    sim->setFaults(late);
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), UInt16).errorCode, 8);
    setMemory(Area::D, 100, "2222");
    sim->setFaults(plcsim::Faults());
    // The late answer (1111) arrives while this read waits: it is dropped.
    CLabelVariable next = drv->ReadVariable(QStringLiteral("D100"), UInt16);
    QCOMPARE(next.errorCode, 0);
    QCOMPARE(describe(next.value), QStringLiteral("ushort[8738]"));
    QCOMPARE(describe(drv->ReadVariable(QStringLiteral("D100"), UInt16).value), QStringLiteral("ushort[8738]"));
}

void TestFinsNetE2E::foreignNodes()
{
    plcsim::Faults faults;
    faults.wrongNode = true;
    sim->setFaults(faults);
    testsupport::LogCapture log;
    // Dropped like any answer that is not ours, and named in the log.
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 8);
    const QStringList warnings = log.messages(QtWarningMsg);
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings.at(0).startsWith(
        QStringLiteral("lib[FinsNet]目标地址，源地址错误 127.0.0.1:%1 Area=D100  len = 2 msg : 46494e53").arg(port)));
}

void TestFinsNetE2E::wrongSidIsDropped()
{
    plcsim::Faults faults;
    faults.wrongSid = true;
    sim->setFaults(faults);
    setMemory(Area::D, 100, "1234");
    testsupport::LogCapture log;
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 8);
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("lib[FinsNet]返回的报文长度为0")));
    sim->setFaults(plcsim::Faults());
    CLabelVariable read = drv->ReadVariable(QStringLiteral("D100"), Int16);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(describe(read.value), QStringLiteral("short[4660]"));
}

void TestFinsNetE2E::errorEndCodes_data()
{
    QTest::addColumn<int>("endCode");
    QTest::addColumn<bool>("ok");
    QTest::newRow("0040 non-fatal CPU error: data good") << 0x0040 << true;
    QTest::newRow("1103 address out of range") << 0x1103 << false;
    QTest::newRow("1101 unknown area") << 0x1101 << false;
    QTest::newRow("2101 read-only") << 0x2101 << false;
    QTest::newRow("110B response too long") << 0x110B << false;
}

void TestFinsNetE2E::errorEndCodes()
{
    QFETCH(int, endCode);
    QFETCH(bool, ok);
    setMemory(Area::D, 100, "1234");
    plcsim::Faults faults;
    faults.endCode = quint16(endCode);
    sim->setFaults(faults);
    testsupport::LogCapture log;
    CLabelVariable read = drv->ReadVariable(QStringLiteral("D100"), Int16);
    CLabelVariable write = drv->WriteVariable(QStringLiteral("D100"), Int16, valueOf<short>({0x5678}));
    if (ok) {
        QCOMPARE(read.errorCode, 0);
        QCOMPARE(describe(read.value), QStringLiteral("short[4660]"));
        QCOMPARE(write.errorCode, 0);
        QCOMPARE(memory(Area::D, 100, 1), QStringLiteral("56 78"));
        QVERIFY(log.messages(QtWarningMsg).isEmpty());
        return;
    }
    const QString code = QStringLiteral("%1").arg(endCode, 4, 16, QLatin1Char('0')).toUpper();
    QCOMPARE(read.errorCode, 7);
    QCOMPARE(write.errorCode, 7);
    QCOMPARE(memory(Area::D, 100, 1), QStringLiteral("12 34"));
    const QStringList warnings = log.messages(QtWarningMsg);
    QCOMPARE(warnings.size(), 2);
    QVERIFY2(warnings.at(0).startsWith(
                 QStringLiteral("lib[FinsNet]报文结束码错误 127.0.0.1:%1 Area=D100  len = 2 code = %2 msg : 46494e53")
                     .arg(port)
                     .arg(code)),
             qPrintable(warnings.at(0)));
    QVERIFY(warnings.at(1).contains(QStringLiteral("code = %1").arg(code)));
}

void TestFinsNetE2E::garbageAndOversizedLength_data()
{
    QTest::addColumn<bool>("garbage");
    QTest::newRow("garbage") << true;
    QTest::newRow("oversized length") << false;
}

void TestFinsNetE2E::garbageAndOversizedLength()
{
    QFETCH(bool, garbage);
    plcsim::Faults faults;
    faults.garbage = garbage;
    faults.oversizedLength = !garbage;
    sim->setFaults(faults);
    setMemory(Area::D, 100, "4321");
    testsupport::LogCapture log;
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 7);
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("lib[FinsNet]报文返回长度错误 127.0.0.1:%1 Area=D100").arg(port)));
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100"), Int16, valueOf<short>({1})).errorCode, 7);
    sim->setFaults(plcsim::Faults());
    // The dropped buffer leaves nothing behind for the next exchange.
    CLabelVariable read = drv->ReadVariable(QStringLiteral("D100"), Int16);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(describe(read.value), QStringLiteral("short[1]"));
}

void TestFinsNetE2E::droppedConnection()
{
    plcsim::Faults faults;
    faults.closeAfterFrames = 1;
    sim->setFaults(faults);
    testsupport::LogCapture log;
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 0);
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 9);
    QCOMPARE(drv->WriteVariable(QStringLiteral("D100"), Int16, valueOf<short>({1})).errorCode, 9);
    QCOMPARE(log.messages(QtWarningMsg),
             QStringList(QStringLiteral("lib[FinsNet]127.0.0.1:%1 Disconnected= QAbstractSocket::RemoteHostClosedError")
                             .arg(port)));
    sim->setFaults(plcsim::Faults());
    QCOMPARE(drv->ConnectDrive(endpoint(port)), 0);
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 0);

    sim->dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 9, 5000);
    QCOMPARE(drv->ConnectDrive(endpoint(port)), 0);
    QCOMPARE(drv->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 0);
}

void TestFinsNetE2E::twoDriversOneSimulator()
{
    CDriveBaseClass *second = connectNew();
    QVERIFY(second);
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(drv->WriteVariable(QStringLiteral("D10"), Int16, valueOf<short>({short(i)})).errorCode, 0);
        QCOMPARE(second->WriteVariable(QStringLiteral("W10"), Int16, valueOf<short>({short(-i)})).errorCode, 0);
        QCOMPARE(describe(second->ReadVariable(QStringLiteral("D10"), Int16).value), QStringLiteral("short[%1]").arg(i));
        QCOMPARE(describe(drv->ReadVariable(QStringLiteral("W10"), Int16).value), QStringLiteral("short[%1]").arg(-i));
    }
    QCOMPARE(second->DisConnectDrive(), 0);
    QCOMPARE(second->ReadVariable(QStringLiteral("D10"), Int16).errorCode, 9);
    QCOMPARE(drv->ReadVariable(QStringLiteral("D10"), Int16).errorCode, 0);
    QCOMPARE(second->DestroyFree(), 0);
    QCOMPARE(second->DestroyFree(), 1);
    release(second);
}

void TestFinsNetE2E::nodeInUseFallsBackToAutomatic()
{
    const unsigned seed = seedForNode(0x2A);
    CDriveBaseClass *first = connectNew();
    QVERIFY(first);
    std::srand(seed); // the second driver asks for the same node
    CDriveBaseClass *second = connectNew();
    QVERIFY2(second, "a refused node must fall back to automatic assignment");
    QCOMPARE(first->WriteVariable(QStringLiteral("D1"), UInt16, valueOf<unsigned short>({7})).errorCode, 0);
    QCOMPARE(describe(second->ReadVariable(QStringLiteral("D1"), UInt16).value), QStringLiteral("ushort[7]"));
    QCOMPARE(describe(first->ReadVariable(QStringLiteral("D1"), UInt16).value), QStringLiteral("ushort[7]"));
    release(first);
    release(second);
}

void TestFinsNetE2E::node255AsksForAutomatic()
{
    seedForNode(0xFF);
    CDriveBaseClass *driver = connectNew();
    QVERIFY(driver);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D1"), UInt16).errorCode, 0);
    release(driver);
}

void TestFinsNetE2E::refusedHandshakeSaysWhy_data()
{
    QTest::addColumn<int>("headerError"); // 0: node requests go unanswered
    QTest::addColumn<QStringList>("warnings");
    const QString refused = QString::fromUtf8("lib[FinsNet]节点地址请求被拒绝 127.0.0.1:%1 code = ").arg(port);
    QTest::newRow("20 all connections in use") << 0x20 << QStringList{refused + "00000020"};
    // Asked for node 5, refused, asked for automatic assignment, refused.
    QTest::newRow("24 node equals the PLC's") << 0x24 << QStringList{refused + "00000024", refused + "00000024"};
    QTest::newRow("unanswered")
        << 0 << QStringList{QString::fromUtf8("lib[FinsNet]节点地址请求无应答 127.0.0.1:%1").arg(port)};
}

void TestFinsNetE2E::refusedHandshakeSaysWhy()
{
    QFETCH(int, headerError);
    QFETCH(QStringList, warnings);
    plcsim::Faults faults;
    faults.handshakeError = quint32(headerError);
    faults.silentHandshake = headerError == 0;
    sim->setFaults(faults);
    seedForNode(5);
    CDriveBaseClass *driver = testsupport::finsPlugin().create();
    testsupport::LogCapture log;
    QCOMPARE(driver->ConnectDrive(endpoint(port)), -2);
    QStringList handshakeLines;
    for (const QString &line : log.messages(QtWarningMsg)) {
        if (line.contains(QString::fromUtf8("节点地址")))
            handshakeLines << line;
    }
    QCOMPARE(handshakeLines, warnings);
    release(driver);
}

void TestFinsNetE2E::exactTraceLines()
{
    sim->setServerNode(10);
    seedForNode(5);
    CDriveBaseClass *driver = connectNew();
    QVERIFY(driver);
    setMemory(Area::D, 100, "1234 ABCD");
    testsupport::LogCapture log;
    driver->DebugCmd(StartDebug);
    // The first frame after the handshake carries SID 0, then 1, 2.
    QCOMPARE(driver->ReadVariable(QStringLiteral("D100"), Int16, 2).errorCode, 0);
    QCOMPARE(driver->WriteVariable(QStringLiteral("W10"), UInt16, valueOf<unsigned short>({0xAABB, 0xCCDD}), 2).errorCode, 0);
    QCOMPARE(driver->WriteVariable(QStringLiteral("CIO16.3"), Bool, valueOf<bool>({true})).errorCode, 0);
    driver->DebugCmd(StopDebug);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D100"), Int16, 2).errorCode, 0);
    const QString at = QStringLiteral("127.0.0.1:%1").arg(port);
    const auto line = [&](const char *head, const char *tag, int len, const char *frame) {
        return QStringLiteral("debug: %1 %2 Area=%3  len = %4 msg : %5")
            .arg(QString::fromUtf8(head), at, QLatin1String(tag), QString::number(len),
                 QString::fromLatin1(frame).remove(QLatin1Char(' ')));
    };
    const QStringList expected = {
        line("lib[FinsNet]读命令", "D100", 4,
             "46494e53 0000001a 00000002 00000000 80 00 02 00 0a 00 00 05 00 00 0101 82 0064 00 0002"),
        line("lib[FinsNet]响应", "D100", 4,
             "46494e53 0000001a 00000002 00000000 c0 00 02 00 05 00 00 0a 00 00 0101 0000 1234abcd"),
        line("写命令", "W10", 4,
             "46494e53 0000001e 00000002 00000000 80 00 02 00 0a 00 00 05 00 01 0102 b1 000a 00 0002 aabbccdd"),
        line("响应", "W10", 4, "46494e53 00000016 00000002 00000000 c0 00 02 00 05 00 00 0a 00 01 0102 0000"),
        line("lib[FinsNet]写命令", "CIO16.3", 1,
             "46494e53 0000001b 00000002 00000000 80 00 02 00 0a 00 00 05 00 02 0102 30 0010 03 0001 01"),
        line("lib[FinsNet]响应", "CIO16.3", 1,
             "46494e53 00000016 00000002 00000000 c0 00 02 00 05 00 00 0a 00 02 0102 0000"),
    };
    QCOMPARE(log.lines(), expected);
    sim->setServerNode(1);
    release(driver);
}

void TestFinsNetE2E::connectionLifecycle()
{
    CDriveBaseClass *driver = testsupport::finsPlugin().create();
    QCOMPARE(driver->ReadVariable(QStringLiteral("D1"), Int16).errorCode, 9);
    QCOMPARE(driver->ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(port + 0 == 1 ? 2 : 1)), -3);
    QCOMPARE(driver->ConnectDrive(endpoint(port)), 0);
    QCOMPARE(driver->ConnectDrive(QStringLiteral("127.0.0.1:70000")), -1);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D1"), Int16).errorCode, 0); // untouched
    QCOMPARE(driver->DisConnectDrive(), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D1"), Int16).errorCode, 9);
    QCOMPARE(driver->ConnectDrive(endpoint(port)), 0);
    QCOMPARE(driver->ConnectDrive(endpoint(port)), 0); // again: a new connection
    QCOMPARE(driver->ReadVariable(QStringLiteral("D1"), Int16).errorCode, 0);
    QCOMPARE(driver->DestroyFree(), 0);
    QCOMPARE(driver->DestroyFree(), 1);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D1"), Int16).errorCode, 9);
    QCOMPARE(driver->ConnectDrive(endpoint(port)), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D1"), Int16).errorCode, 0);
    release(driver);
}

QTEST_GUILESS_MAIN(TestFinsNetE2E)
#include "tst_finsnet_e2e.moc"
