// The EtherNet/IP plug-in end to end: loaded like a host loads it, talking
// to the simulator's NX102 over TCP, unconnected and with connected=on.
#include <QtTest>

#include <memory>

#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "FinsE2E.h"
#include "PlcSimulator.h"
#include "TestSupport.h"

using namespace fins_e2e;
using testsupport::fromHex;

Q_DECLARE_METATYPE(CLabelVariable)

namespace {

using testsupport::cipPlugin;

QString describeAny(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QList<QString>>())
        return QStringLiteral("string:") + QStringList(value.value<QList<QString>>()).join(QLatin1Char('|'));
    return describe(value);
}

CLabelVariable texts(const QList<QString> &list)
{
    CLabelVariable v;
    v.value = QVariant::fromValue(list);
    return v;
}

} // namespace

class TestCipNetE2E : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyType_data();
    void everyType();
    void arraysAreSplit_data();
    void arraysAreSplit();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void controllerStatuses_data();
    void controllerStatuses();
    void faultModes_data();
    void faultModes();
    void staleReplyIsDropped();
    void paddedOneByteWrite();
    void connectResults();
    void controllerFace();

private:
    QString text(const QString &settings = QString()) const
    {
        return QStringLiteral("127.0.0.1:%1").arg(port) + settings;
    }
    int requests() const { return sim->stats().cipRequests; }
    void connect(bool connected)
    {
        QCOMPARE(drv->ConnectDrive(text(connected ? QStringLiteral(",connected=on") : QString())), 0);
    }

    std::unique_ptr<plcsim::Simulator> sim;
    quint16 port = 0;
    CDriveBaseClass *drv = nullptr;
};

void TestCipNetE2E::initTestCase()
{
    QVERIFY2(cipPlugin().isLoaded(), qPrintable(cipPlugin().errorString()));
    sim = std::make_unique<plcsim::Simulator>();
    port = sim->startCip();
    QVERIFY(port != 0);
}

void TestCipNetE2E::init()
{
    sim->setFaults(plcsim::Faults());
    sim->setCipVariables(QString()); // emptied ...
    sim.reset(); // ... and rebuilt with the built-in table on a fresh port
    sim = std::make_unique<plcsim::Simulator>();
    port = sim->startCip();
    drv = cipPlugin().create();
    QVERIFY(drv);
}

void TestCipNetE2E::cleanup()
{
    release(drv);
    drv = nullptr;
}

// Reads what the built-in table holds, writes something else, reads it back.
void TestCipNetE2E::everyType_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<QVariant>("held");
    QTest::addColumn<CLabelVariable>("written");
    for (bool connected : {false, true}) {
        const char *mode = connected ? "connected" : "unconnected";
        auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s %s", name, mode) << connected; };
        row("BOOL") << "Running" << int(Bool) << 1 << listOf<bool>({true}) << valueOf<bool>({false});
        row("BOOL range") << "Flags[0]" << int(Bool) << 9 << listOf<bool>({1, 0, 1, 1, 0, 0, 0, 1, 0})
                          << valueOf<bool>({0, 1, 1, 0, 1, 1, 1, 0, 1});
        row("SINT") << "Small" << int(Int8) << 1 << listOf<char>({char(-5)}) << valueOf<char>({char(0x80)});
        row("USINT") << "Level" << int(UInt8) << 1 << listOf<unsigned char>({200}) << valueOf<unsigned char>({7});
        row("BYTE") << "Raw" << int(UInt8) << 1 << listOf<unsigned char>({0x5A}) << valueOf<unsigned char>({0xA5});
        row("INT") << "Count16" << int(Int16) << 1 << listOf<short>({-1234}) << valueOf<short>({-32768});
        row("UINT") << "Counter" << int(UInt16) << 1 << listOf<unsigned short>({54321})
                    << valueOf<unsigned short>({65535});
        row("WORD") << "Mask" << int(UInt16) << 1 << listOf<unsigned short>({0xBEEF})
                    << valueOf<unsigned short>({0x1234});
        row("DINT") << "Speed" << int(Int32) << 1 << listOf<int>({1000}) << valueOf<int>({-2000000000});
        row("UDINT") << "Total" << int(UInt32) << 1 << listOf<unsigned>({4000000000u}) << valueOf<unsigned>({1u});
        row("DWORD") << "Pattern" << int(UInt32) << 1 << listOf<unsigned>({0xDEADBEEFu})
                     << valueOf<unsigned>({0xCAFEF00Du});
        row("LINT") << "Big" << int(Int64) << 1 << listOf<long long>({-9000000000LL})
                    << valueOf<long long>({LLONG_MIN});
        row("ULINT") << "Huge" << int(UInt64) << 1 << listOf<unsigned long long>({18000000000000000000ULL})
                     << valueOf<unsigned long long>({1ULL});
        row("LWORD") << "Bits64" << int(UInt64) << 1 << listOf<unsigned long long>({0x0123456789ABCDEFULL})
                     << valueOf<unsigned long long>({0xFEDCBA9876543210ULL});
        row("REAL") << "Setpoint" << int(Float) << 1 << listOf<float>({14.5f}) << valueOf<float>({-0.25f});
        row("LREAL") << "Ratio" << int(Double) << 1 << listOf<double>({2.718281828459045})
                     << valueOf<double>({-1e300});
        row("INT range") << "Temps[2]" << int(Int16) << 3 << listOf<short>({20, 30, 40})
                         << valueOf<short>({-1, -2, -3});
        row("DINT 2-D") << "Grid[1,2]" << int(Int32) << 2 << listOf<int>({12, 13}) << valueOf<int>({5, 6});
        row("member") << "Recipe.Speed" << int(Float) << 1 << listOf<float>({1.5f}) << valueOf<float>({3.25f});
        row("member of element") << "Line.Axis[2].Pos" << int(Double) << 1 << listOf<double>({2.5})
                                 << valueOf<double>({9.75});
        row("STRING") << "Message" << int(String) << 1 << QVariant::fromValue(QList<QString>{"hello NX"})
                      << texts({QString::fromUtf8("Grüße")});
        row("STRING range") << "Names[0]" << int(String) << 3 << QVariant::fromValue(QList<QString>{"first", "", ""})
                            << texts({"a", "bb", "ccc"});
    }
}

void TestCipNetE2E::everyType()
{
    QFETCH(bool, connected);
    QFETCH(QString, tag);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(QVariant, held);
    QFETCH(CLabelVariable, written);
    connect(connected);
    CLabelVariable read = drv->ReadVariable(tag, DataType(type), count);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(describeAny(read.value), describeAny(held));
    QCOMPARE(read.address, tag);
    QVERIFY(read.timestamp.isValid());
    if (type == String) { // what a host reads texts with
        read.atQString(0);
        QCOMPARE(read.accessStatus, 0);
    }
    const CLabelVariable wrote = drv->WriteVariable(tag, DataType(type), written, count);
    QCOMPARE(wrote.errorCode, 0);
    read = drv->ReadVariable(tag, DataType(type), count);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(describeAny(read.value), describeAny(written.value));
}

void TestCipNetE2E::arraysAreSplit_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("readMessages");
    QTest::addColumn<int>("writeMessages");
    // REAL: 124 per read reply, 121 per write at 502 bytes; 497 and 494 at 1994.
    QTest::newRow("REAL 600 unconnected") << false << "Levels[0]" << int(Float) << 600 << 5 << 5;
    QTest::newRow("REAL 590 from 10, connected") << true << "Levels[10]" << int(Float) << 590 << 2 << 2;
    QTest::newRow("USINT 1200 unconnected") << false << "Bytes[0]" << int(UInt8) << 1200 << 3 << 3;
    QTest::newRow("USINT 1200 connected") << true << "Bytes[0]" << int(UInt8) << 1200 << 1 << 1;
}

void TestCipNetE2E::arraysAreSplit()
{
    QFETCH(bool, connected);
    QFETCH(QString, tag);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, readMessages);
    QFETCH(int, writeMessages);
    connect(connected);
    CLabelVariable value;
    if (type == Float) {
        QList<float> list;
        for (int i = 0; i < count; ++i)
            list << float(i) / 4;
        value.value = QVariant::fromValue(list);
    } else {
        QList<unsigned char> list;
        for (int i = 0; i < count; ++i)
            list << quint8(i * 7);
        value.value = QVariant::fromValue(list);
    }
    // The type is learned from the first read (USINT and BYTE look alike),
    // so the write below needs no extra request.
    QCOMPARE(drv->ReadVariable(tag, DataType(type), 1).errorCode, 0);
    int before = requests();
    QCOMPARE(drv->WriteVariable(tag, DataType(type), value, count).errorCode, 0);
    QCOMPARE(requests() - before, writeMessages);
    before = requests();
    const CLabelVariable back = drv->ReadVariable(tag, DataType(type), count);
    QCOMPARE(back.errorCode, 0);
    QCOMPARE(requests() - before, readMessages);
    QCOMPARE(describe(back.value), describe(value.value));
    const QString key = tag.left(tag.indexOf(QLatin1Char('[')));
    if (type == Float && tag == QLatin1String("Levels[10]")) // nothing before the range was written
        QCOMPARE(sim->cipBytes(key).left(40), QByteArray(40, '\0'));
}

void TestCipNetE2E::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("code");
    QTest::newRow("no path") << "Temps[" << int(Int16) << 1 << 5;
    QTest::newRow("memory area") << "D100" << int(Int16) << 0 << 4;
    QTest::newRow("count 0") << "Temps[0]" << int(Int16) << 0 << 4;
    QTest::newRow("type 0") << "Speed" << 0 << 1 << 2;
    QTest::newRow("type 13") << "Speed" << 13 << 1 << 2;
    QTest::newRow("range past index 65535") << "Temps[65535]" << int(Int16) << 2 << 5;
    QTest::newRow("2-D range over one message") << "Grid[0,0]" << int(Int32) << 200 << 5;
    QTest::newRow("2-D range of strings") << "Grid[0,0]" << int(String) << 2 << 5;
}

void TestCipNetE2E::refusedBeforeSending()
{
    QFETCH(QString, tag);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, code);
    connect(false);
    const int before = requests();
    QCOMPARE(drv->ReadVariable(tag, DataType(type), count).errorCode, code);
    QCOMPARE(drv->WriteVariable(tag, DataType(type), valueOf<short>({1, 2}), count).errorCode, code);
    QCOMPARE(requests(), before);
}

// What the controller refuses, in words, and the refusals of the driver
// itself: a reply of another type is never taken as a value.
void TestCipNetE2E::controllerStatuses_data()
{
    QTest::addColumn<int>("status");      // forced general status, 0 none
    QTest::addColumn<int>("additional");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no such variable") << 0 << -1 << "Nowhere" << int(Int32) << false << "not published";
    QTest::newRow("not published") << 0 << -1 << "Hidden" << int(Int32) << false << "not published";
    QTest::newRow("index outside") << 0 << -1 << "Temps[10]" << int(Int16) << false << "general status 0x05";
    QTest::newRow("constant") << 0 << -1 << "Limit" << int(Int32) << true << "privilege violation";
    QTest::newRow("read as another type") << 0 << -1 << "Speed" << int(Int16) << false << "Speed is DINT, not Int16 (it reads as Int32)";
    QTest::newRow("written as another type") << 0 << -1 << "Speed" << int(Float) << true << "invalid parameter";
    QTest::newRow("unsigned over a signed") << 0 << -1 << "Speed" << int(UInt32) << true << "Speed is DINT, not UInt32";
    QTest::newRow("structure") << 0 << -1 << "Recipe" << int(Int32) << false << "Recipe is structure";
    QTest::newRow("starting up") << 0x0C << 0x8010 << "Speed" << int(Int32) << false << "starting up";
    QTest::newRow("reply too large") << 0x11 << -1 << "Speed" << int(Int32) << false << "reply too large";
    QTest::newRow("privilege on read") << 0x0F << -1 << "Speed" << int(Int32) << false << "privilege violation";
    QTest::newRow("resource unavailable") << 0x02 << -1 << "Speed" << int(Int32) << true << "resource unavailable";
}

void TestCipNetE2E::controllerStatuses()
{
    QFETCH(int, status);
    QFETCH(int, additional);
    QFETCH(QString, tag);
    QFETCH(int, type);
    QFETCH(bool, write);
    QFETCH(QString, warning);
    connect(false);
    plcsim::Faults f;
    f.cipStatus = status;
    f.cipAdditional = additional;
    sim->setFaults(f);
    const QByteArray held = sim->cipBytes(QStringLiteral("Speed"));
    testsupport::LogCapture log;
    const CLabelVariable value = valueOf<int>({1}); // of no type but Int32
    const CLabelVariable result = write ? drv->WriteVariable(tag, DataType(type),
                                                             type == Float ? valueOf<float>({1.f})
                                                                           : type == UInt32 ? valueOf<unsigned>({1u})
                                                                                            : value)
                                        : drv->ReadVariable(tag, DataType(type));
    QCOMPARE(result.errorCode, 7);
    QVERIFY2(log.contains(QtWarningMsg, QStringLiteral("lib[CipNet]")) && log.contains(QtWarningMsg, warning),
             qPrintable(log.lines().join(QLatin1Char('\n'))));
    QCOMPARE(sim->cipBytes(QStringLiteral("Speed")), held);
    auto *diag = qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(drv));
    QVERIFY(diag && diag->lastOutcome().reason.contains(warning));
}

void TestCipNetE2E::faultModes_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("code");
    QTest::newRow("silence") << 0 << 8;
    QTest::newRow("dropped session") << 1 << 9;
    QTest::newRow("wrong session handle") << 2 << 7;
    QTest::newRow("wrong sender context") << 3 << 8;
    QTest::newRow("cut reply") << 4 << 7;
    QTest::newRow("malformed reply") << 5 << 7;
    QTest::newRow("slow answer") << 6 << 8;
}

void TestCipNetE2E::faultModes()
{
    QFETCH(int, fault);
    QFETCH(int, code);
    QCOMPARE(drv->ConnectDrive(text(QStringLiteral(",timeout=200"))), 0);
    plcsim::Faults f;
    f.silent = fault == 0;
    f.closeAfterFrames = fault == 1 ? 1 : 0;
    f.cipWrongSession = fault == 2;
    f.cipWrongContext = fault == 3;
    f.cutShort = fault == 4;
    f.garbage = fault == 5;
    f.delayMs = fault == 6 ? 600 : 0;
    sim->setFaults(f);
    testsupport::LogCapture log;
    QCOMPARE(drv->ReadVariable(QStringLiteral("Speed"), Int32).errorCode, fault == 1 ? 0 : code);
    if (fault == 1) // the answer came; the session is gone after it
        QCOMPARE(drv->ReadVariable(QStringLiteral("Speed"), Int32).errorCode, code);
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("lib[CipNet]")));
    auto *diag = qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(drv));
    QVERIFY(diag);
    QCOMPARE(diag->lastOutcome().resultCode(), code);
    if (fault == 3)
        QVERIFY(diag->droppedAnswers() >= 1);
}

// A reply that comes after its request timed out is never the value of the
// next request.
void TestCipNetE2E::staleReplyIsDropped()
{
    // The controller answers in turn: the Setpoint reply follows the late
    // Speed reply at once, well inside the second read's deadline.
    QCOMPARE(drv->ConnectDrive(text(QStringLiteral(",timeout=400"))), 0);
    plcsim::Faults f;
    f.delayMs = 500;
    sim->setFaults(f);
    QCOMPARE(drv->ReadVariable(QStringLiteral("Speed"), Int32).errorCode, 8);
    sim->setFaults(plcsim::Faults());
    sim->setCipBytes(QStringLiteral("Setpoint"), fromHex("0000 8040")); // 4.0
    // The late Speed reply arrives while this read waits and is dropped.
    const CLabelVariable read = drv->ReadVariable(QStringLiteral("Setpoint"), Float, 1);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(read.value.value<QList<float>>(), QList<float>{4.0f});
    auto *diag = qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(drv));
    QCOMPARE(diag->droppedAnswers(), quint64(1));
}

void TestCipNetE2E::paddedOneByteWrite()
{
    connect(false);
    plcsim::Faults f;
    f.cipPadRequired = true;
    sim->setFaults(f);
    QCOMPARE(drv->WriteVariable(QStringLiteral("Small"), Int8, valueOf<char>({char(9)})).errorCode, 0);
    QCOMPARE(sim->cipBytes(QStringLiteral("Small")), QByteArray(1, char(9)));
}

void TestCipNetE2E::connectResults()
{
    testsupport::LogCapture log;
    QCOMPARE(drv->ConnectDrive(QStringLiteral("plc.local:44818")), -1);
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("lib[CipNet]")));
    // A FINS/TCP server does not register sessions.
    const quint16 fins = sim->startFins();
    QCOMPARE(drv->ConnectDrive(QStringLiteral("127.0.0.1:%1,timeout=300").arg(fins)), -2);
    sim->stop();
    QCOMPARE(drv->ConnectDrive(text(QStringLiteral(",timeout=300"))), -3);
    QCOMPARE(drv->ReadVariable(QStringLiteral("Speed"), Int32).errorCode, 9);
    QCOMPARE(drv->DisConnectDrive(), 0);
    QCOMPARE(drv->DestroyFree(), 0);
    QCOMPARE(drv->DestroyFree(), 1);
    QCOMPARE(drv->getDriveName(), QStringLiteral("CipNet"));
    QCOMPARE(drv->getversion_number(), QStringLiteral("V1.0.0 20261209"));
    QVERIFY(drv->DebugCmd(GetVersion).startsWith(QStringLiteral("v1.0.0 ")));
}

void TestCipNetE2E::controllerFace()
{
    connect(true);
    auto *ctl = qobject_cast<DriveController *>(dynamic_cast<QObject *>(drv));
    QVERIFY(ctl);
    ControllerIdentity id;
    QVERIFY(ctl->readIdentity(&id).ok());
    QCOMPARE(id.model, QStringLiteral("NX102-1200"));
    QCOMPARE(id.details.value(QStringLiteral("productCode")).toInt(), 0x0BBB);
    QCOMPARE(id.details.value(QStringLiteral("controllerModel")).toString(), QStringLiteral("NX102-1200"));
    ControllerStatus status;
    QVERIFY(ctl->readStatus(&status).ok());
    QCOMPARE(status.mode, QStringLiteral("RUN"));
    QDateTime clock;
    QCOMPARE(ctl->readClock(&clock).kind, Outcome::Kind::Unsupported);
    testsupport::LogCapture log;
    drv->DebugCmd(StartDebug);
    QCOMPARE(drv->ReadVariable(QStringLiteral("Speed"), Int32).errorCode, 0);
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("lib[CipNet]读命令 127.0.0.1:%1 Tag=Speed").arg(port)));
}

QTEST_GUILESS_MAIN(TestCipNetE2E)
#include "tst_cipnet_e2e.moc"
