// The FINS/UDP plug-in end to end: loaded like a host loads it, talking to
// the simulator over UDP, with the simulator's datagram faults.
//
// The simulator is bound to 127.0.0.10, so it is node 10 and the driver,
// reaching it from 127.0.0.1, is node 1: the defaults of both sides meet.
#include <QtTest>

#include <QUdpSocket>

#include <atomic>
#include <memory>

#include "FinsE2E.h"
#include "PlcSimulator.h"
#include "TestSupport.h"

using namespace fins_e2e;
using plcsim::Area;
using testsupport::fromHex;

Q_DECLARE_METATYPE(plcsim::Area)
Q_DECLARE_METATYPE(CLabelVariable)

namespace {

const QString kSimAddress = QStringLiteral("127.0.0.10");

enum Fault {
    None, LoseCommands2, LoseAnswer1, Silent, Duplicate, StaleFirst, Late700, WrongSid, WrongNode, OtherPort,
    CutShort, Garbage, EndCode2203, EndCode0040
};

plcsim::Faults faultsFor(Fault fault)
{
    plcsim::Faults f;
    switch (fault) {
    case None: break;
    case LoseCommands2: f.loseCommands = 2; break;
    case LoseAnswer1: f.loseAnswers = 1; break;
    case Silent: f.silent = true; break;
    case Duplicate: f.duplicateAnswer = true; break;
    case StaleFirst: f.staleFirst = true; break;
    case Late700: f.delayMs = 700; break;
    case WrongSid: f.wrongSid = true; break;
    case WrongNode: f.wrongNode = true; break;
    case OtherPort: f.answerFromOtherPort = true; break;
    case CutShort: f.cutShort = true; break;
    case Garbage: f.garbage = true; break;
    case EndCode2203: f.endCode = 0x2203; break;
    case EndCode0040: f.endCode = 0x0040; break;
    }
    return f;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

} // namespace

class TestFinsUdpE2E : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyTypeBothWays_data();
    void everyTypeBothWays();
    void largeTransfersAreSplit();
    void faultModes_data();
    void faultModes();
    void staticModeNeedsTheFixedLocalPort();
    void wrongPlcNode();

private:
    QString text(const QString &settings = QString()) const
    {
        return QStringLiteral("%1:%2").arg(kSimAddress).arg(port) + settings;
    }
    int frames() const { return sim->stats().finsFrames; }

    std::unique_ptr<plcsim::Simulator> sim;
    std::atomic<int> answersSent{0}; // datagrams the simulator sent, by its trace
    quint16 port = 0;
    CDriveBaseClass *drv = nullptr;
};

void TestFinsUdpE2E::initTestCase()
{
    QVERIFY2(testsupport::finsUdpPlugin().isLoaded(), qPrintable(testsupport::finsUdpPlugin().errorString()));
    sim = std::make_unique<plcsim::Simulator>();
    port = sim->startFinsUdp(0, kSimAddress);
    QVERIFY(port != 0);
    sim->setTraceHandler([this](const QString &line) {
        if (line.contains(QLatin1String(" -> ")))
            ++answersSent;
    });
}

void TestFinsUdpE2E::init()
{
    sim->setFaults(plcsim::Faults());
    sim->setFinsUdpAnswerPort(0);
    sim->clearMemory();
    drv = testsupport::finsUdpPlugin().create();
    QVERIFY(drv);
    QCOMPARE(drv->ConnectDrive(text()), 0);
}

void TestFinsUdpE2E::cleanup()
{
    release(drv);
    drv = nullptr;
}

// Every type through all three plug-ins is the cross-driver test's (Host
// Link's plug-in tests); here the places it leaves out: the last words of D,
// an EM bank above 0, A448 (the first writable A word), bit 15.
void TestFinsUdpE2E::everyTypeBothWays_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<int>("count");
    QTest::addColumn<Area>("area");
    QTest::addColumn<int>("word");
    QTest::addColumn<QByteArray>("memory"); // from `word` on, one word beyond what is written, if any

    QTest::newRow("UInt64 D32763, the end of D") << "D32763" << int(UInt64)
        << valueOf<unsigned long long>({0x0102030405060708ull}) << 1 << Area::D << 32763 << fromHex("0708 0506 0304 0102");
    QTest::newRow("Int64 EM3200") << "EM3200" << int(Int64) << valueOf<long long>({LLONG_MIN}) << 1
                                  << plcsim::emBank(2) << 200 << fromHex("0000 0000 0000 8000 0000");
    QTest::newRow("Float A448") << "A448" << int(Float) << valueOf<float>({-123.456f}) << 1 << Area::A << 448
                                << fromHex("E979 C2F6 0000");
    QTest::newRow("Bool EM5100.15") << "EM5100.15" << int(Bool) << valueOf<bool>({true}) << 1 << plcsim::emBank(4)
                                    << 100 << fromHex("8000 0000");
}

void TestFinsUdpE2E::everyTypeBothWays()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(int, count);
    QFETCH(Area, area);
    QFETCH(int, word);
    QFETCH(QByteArray, memory);
    QCOMPARE(drv->WriteVariable(address, DataType(type), value, count).errorCode, 0);
    QCOMPARE(sim->words(area, word, memory.size() / 2).toHex(' '), memory.toHex(' '));
    QCOMPARE(sim->word(area, word - 1), quint16(0));
    const CLabelVariable back = drv->ReadVariable(address, DataType(type), count);
    QCOMPARE(back.errorCode, 0);
    QCOMPARE(describe(back.value), describe(value.value));
}

void TestFinsUdpE2E::largeTransfersAreSplit()
{
    QByteArray pattern;
    for (int i = 0; i < 2500; ++i) {
        pattern.append(char(i >> 8));
        pattern.append(char(i & 0xFF));
    }
    sim->setWords(Area::D, 1000, pattern);
    int before = frames();
    const CLabelVariable read = drv->ReadVariable(QStringLiteral("D1000"), UInt16, 2500);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(frames() - before, 3); // 999 + 999 + 502
    const QList<unsigned short> values = read.value.value<QList<unsigned short>>();
    QCOMPARE(values.size(), 2500);
    for (int i = 0; i < 2500; ++i)
        QCOMPARE(int(values.at(i)), i);

    QList<unsigned short> written;
    for (int i = 0; i < 2000; ++i)
        written << quint16(40000 + i);
    CLabelVariable up;
    up.value = QVariant::fromValue(written);
    before = frames();
    QCOMPARE(drv->WriteVariable(QStringLiteral("D5000"), UInt16, up, 2000).errorCode, 0);
    QCOMPARE(frames() - before, 3); // 997 + 997 + 6
    QCOMPARE(sim->word(Area::D, 5000), quint16(40000));
    QCOMPARE(sim->word(Area::D, 6999), quint16(41999));
    QCOMPARE(sim->word(Area::D, 7000), quint16(0));

    QList<bool> bits;
    for (int i = 0; i < 3000; ++i)
        bits << (i % 3 == 0);
    CLabelVariable bitValue;
    bitValue.value = QVariant::fromValue(bits);
    before = frames();
    QCOMPARE(drv->WriteVariable(QStringLiteral("W10.5"), Bool, bitValue, 3000).errorCode, 0);
    QCOMPARE(frames() - before, 2); // 1984 + 1016
    const CLabelVariable bitsBack = drv->ReadVariable(QStringLiteral("W10.5"), Bool, 3000);
    QCOMPARE(bitsBack.errorCode, 0);
    QCOMPARE(bitsBack.value.value<QList<bool>>(), bits);
    QCOMPARE(sim->word(Area::W, 10) & 0x1F, 0);
}

// One read or write of D100 under a fault, then two reads without it after
// D100 has changed: whatever the fault left on the way (late, duplicated or
// stale answers) must never become the value of a later read.
void TestFinsUdpE2E::faultModes_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("write"); // D100 = 3333; else a read of D100 (1111)
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<int>("sends"); // commands the simulator received; -1: depends on timing
    QTest::addColumn<QString>("warning");
    const QString resend = QStringLiteral("lib[FinsUdp]无响应，重发 ");
    const QString none = QStringLiteral("lib[FinsUdp]返回的报文长度为0 ");
    QTest::newRow("2 commands lost, resent") << int(LoseCommands2) << QString() << false << 0 << 3 << resend;
    QTest::newRow("2 commands lost, 1 resend") << int(LoseCommands2) << ",timeout=100,retries=1" << false << 8 << 2
                                               << none;
    QTest::newRow("write answer lost, resent") << int(LoseAnswer1) << QString() << true << 0 << 2 << resend;
    QTest::newRow("silent: 1 + retries") << int(Silent) << ",timeout=50,retries=3" << false << 8 << 4 << none;
    QTest::newRow("duplicated answers") << int(Duplicate) << QString() << false << 0 << 1 << QString();
    QTest::newRow("stale answer first") << int(StaleFirst) << QString() << false << 0 << 1 << QString();
    QTest::newRow("late answer, taken on the resend") << int(Late700) << ",timeout=500" << false << 0 << -1 << resend;
    QTest::newRow("late answer, no resend") << int(Late700) << ",timeout=300,retries=0" << true << 8 << 1 << QString();
    QTest::newRow("wrong SID") << int(WrongSid) << ",timeout=100,retries=1" << false << 8 << 2 << none;
    QTest::newRow("wrong node") << int(WrongNode) << ",timeout=100,retries=1" << false << 8 << 2
                                << QStringLiteral("lib[FinsUdp]目标地址，源地址错误 ");
    QTest::newRow("from another port") << int(OtherPort) << ",timeout=100,retries=1" << false << 8 << 2 << none;
    // Our answer, but with too little data: a failure, not a resend.
    QTest::newRow("cut short: 7") << int(CutShort) << QString() << false << 7 << 1
                                  << QStringLiteral("lib[FinsUdp]报文返回长度错误 ");
    QTest::newRow("garbage") << int(Garbage) << ",timeout=100,retries=1" << true << 8 << 2 << resend;
    QTest::newRow("end code 2203: 7, unwritten") << int(EndCode2203) << QString() << true << 7 << 1
                                                 << QStringLiteral("code = 2203");
    QTest::newRow("end code 0040: data good") << int(EndCode0040) << QString() << false << 0 << 1 << QString();
}

void TestFinsUdpE2E::faultModes()
{
    QFETCH(int, fault);
    QFETCH(QString, settings);
    QFETCH(bool, write);
    QFETCH(int, errorCode);
    QFETCH(int, sends);
    QFETCH(QString, warning);
    QCOMPARE(drv->ConnectDrive(text(settings)), 0);
    sim->setWord(Area::D, 100, 0x1111);
    QCOMPARE(describe(drv->ReadVariable(QStringLiteral("D100"), UInt16).value), QStringLiteral("ushort[4369]"));
    const plcsim::Faults faults = faultsFor(Fault(fault));
    sim->setFaults(faults);
    const int before = frames();
    answersSent = 0;
    testsupport::LogCapture log;
    const CLabelVariable result = write ? drv->WriteVariable(QStringLiteral("D100"), UInt16, valueOf<unsigned short>({0x3333}))
                                        : drv->ReadVariable(QStringLiteral("D100"), UInt16);
    QCOMPARE(result.errorCode, errorCode);
    if (!write && errorCode == 0)
        QCOMPARE(describe(result.value), QStringLiteral("ushort[4369]"));
    if (!write && errorCode != 0)
        QVERIFY(!result.value.isValid());
    if (sends >= 0)
        QCOMPARE(frames() - before, sends);
    if (!warning.isEmpty())
        QVERIFY2(log.contains(QtWarningMsg, warning), qPrintable(log.lines().join('\n')));
    // A write the controller refused left memory alone; one it ran landed.
    const bool ran = write && errorCode != 7 && !faults.silent && faults.loseCommands == 0;
    QCOMPARE(sim->word(Area::D, 100), quint16(ran ? 0x3333 : 0x1111));

    sim->setFaults(plcsim::Faults());
    // Late answers still on the way: let them all arrive, so they wait in
    // the driver's socket when the next read goes out.
    if (faults.delayMs > 0)
        QTRY_COMPARE_WITH_TIMEOUT(answersSent.load(), frames() - before, 10000);
    sim->setWord(Area::D, 100, 0x2222);
    for (int i = 0; i < 2; ++i) {
        const CLabelVariable next = drv->ReadVariable(QStringLiteral("D100"), UInt16);
        QCOMPARE(next.errorCode, 0);
        QCOMPARE(describe(next.value), QStringLiteral("ushort[8738]"));
    }
}

// A unit with static address conversion answers to a fixed port: only a
// driver that receives there (local=) hears it.
void TestFinsUdpE2E::staticModeNeedsTheFixedLocalPort()
{
    const quint16 fixed = freeUdpPort();
    sim->setFinsUdpAnswerPort(fixed);
    QCOMPARE(drv->ConnectDrive(text(QStringLiteral(",timeout=100,retries=0"))), -2);
    QCOMPARE(drv->ConnectDrive(text(QStringLiteral(",local=%1").arg(fixed))), 0);
    sim->setWord(Area::D, 7, 0x5A5A);
    QCOMPARE(describe(drv->ReadVariable(QStringLiteral("D7"), UInt16).value), QStringLiteral("ushort[23130]"));
    QCOMPARE(drv->WriteVariable(QStringLiteral("D8"), Int16, valueOf<short>({-2})).errorCode, 0);
    QCOMPARE(sim->word(Area::D, 8), quint16(0xFFFE));
}

// The controller drops commands for another node without a word: the driver
// can only run out of attempts, and must say that the node numbers may be
// wrong. Once the controller is that node, the same text connects.
void TestFinsUdpE2E::wrongPlcNode()
{
    const int dropped = sim->stats().udpDropped;
    testsupport::LogCapture log;
    QCOMPARE(drv->ConnectDrive(text(QStringLiteral(",plc=99,timeout=100,retries=1"))), -2);
    QVERIFY2(log.contains(QtWarningMsg, QStringLiteral("plc=99 node=1")), qPrintable(log.lines().join('\n')));
    QTRY_COMPARE(sim->stats().udpDropped - dropped, 2);
    sim->setServerNode(99);
    QCOMPARE(drv->ConnectDrive(text(QStringLiteral(",plc=99"))), 0);
    QCOMPARE(drv->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
    QCOMPARE(drv->ConnectDrive(text()), -2); // DA1 10 is no longer the controller's node
    sim->setServerNode(10);
}

QTEST_GUILESS_MAIN(TestFinsUdpE2E)
#include "tst_finsudp_e2e.moc"
