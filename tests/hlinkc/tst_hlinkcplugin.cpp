// The C-mode plug-in end to end, loaded as a host loads it, against the
// simulator over TCP and a pseudo-terminal: long blocks both ways, the
// reach limits, end codes, RUN mode, faults and the controller face.
#include <QtTest>

#include "CDriveBaseClass.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "PlcSimulator.h"
#include "TestSupport.h"

using plcsim::Area;

Q_DECLARE_METATYPE(plcsim::CModeSettings)

namespace {

class Driver
{
public:
    Driver() : m_driver(testsupport::hlinkcPlugin().create()) {}
    ~Driver() { delete dynamic_cast<QObject *>(m_driver); }
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;
    CDriveBaseClass *operator->() const { return m_driver; }
    DriveDiagnostics *diagnostics() const { return qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(m_driver)); }
    DriveController *controller() const { return qobject_cast<DriveController *>(dynamic_cast<QObject *>(m_driver)); }

private:
    CDriveBaseClass *m_driver;
};

CLabelVariable words(int n, int first)
{
    QList<unsigned short> list;
    for (int i = 0; i < n; ++i)
        list << quint16(first + i);
    CLabelVariable v;
    v.value = QVariant::fromValue(list);
    return v;
}

QList<unsigned short> wordList(const plcsim::Simulator &sim, Area area, int at, int n)
{
    QList<unsigned short> out;
    for (int i = 0; i < n; ++i)
        out << sim.word(area, at + i);
    return out;
}

} // namespace

class TestHLinkCPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void identity();
    void longBlocks_data();
    void longBlocks();
    void longBlockFrames();
    void bitWriteKeepsOtherBits();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void runModeRefusesWrites();
    void endCodes_data();
    void endCodes();
    void brokenAnswers_data();
    void brokenAnswers();
    void controllerFace();

private:
    QString tcp() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString serial() const { return m_pts + QStringLiteral(",115200,7,2,E"); }

    plcsim::Simulator m_sim;
    quint16 m_port = 0;
    QString m_pts;
};

void TestHLinkCPlugin::initTestCase()
{
    QVERIFY2(testsupport::hlinkcPlugin().isLoaded(), qPrintable(testsupport::hlinkcPlugin().errorString()));
    m_port = m_sim.startHostLinkTcp();
    m_pts = m_sim.startHostLinkSerial(115200);
    QVERIFY(m_port != 0 && !m_pts.isEmpty());
    m_sim.setUnit(1);
}

void TestHLinkCPlugin::cleanup()
{
    m_sim.setCMode(plcsim::CModeSettings());
    m_sim.setFaults(plcsim::Faults());
}

void TestHLinkCPlugin::identity()
{
    Driver driver;
    QCOMPARE(driver->getDriveName(), QStringLiteral("HLinkC"));
    QCOMPARE(driver->getversion_number(), QStringLiteral("V1.0.0 20261209"));
    QVERIFY(driver->DebugCmd(GetVersion).startsWith(QStringLiteral("v1.0.0 ")));
    QVERIFY(driver.diagnostics() && driver.controller());
    QCOMPARE(driver.diagnostics()->checkConnectionText(QStringLiteral("nothing")).isEmpty(), false);
    QCOMPARE(driver->ConnectDrive(QStringLiteral("nothing")), -4);
    QCOMPARE(driver->ConnectDrive(QStringLiteral("host.example:9600")), -1);
    QCOMPARE(driver->ConnectDrive(tcp()), 0);
    // A unit that two decimal digits cannot carry is never sent.
    QCOMPARE(driver->ConnectDrive(tcp()), 0);
    driver->SetConnectPar(QStringLiteral("100"));
    m_sim.resetStats();
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 1);
    QCOMPARE(m_sim.stats().hostLinkFrames, 0);
}

void TestHLinkCPlugin::longBlocks_data()
{
    QTest::addColumn<bool>("overSerial");
    QTest::addColumn<bool>("oldUnits");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("count");
    QTest::newRow("TCP D0 x100") << false << false << "D0" << 100;
    QTest::newRow("serial D0 x100") << true << false << "D0" << 100;
    QTest::newRow("serial old units D9900 x100") << true << true << "D9900" << 100;
    QTest::newRow("TCP EM2 x61") << false << false << "EM2500" << 61;
    QTest::newRow("TCP CIO x31") << false << true << "CIO6113" << 31;
    QTest::newRow("serial H x512") << true << false << "H0" << 512;
    QTest::newRow("TCP A448 x1") << false << false << "A448" << 1;
    QTest::newRow("TCP D0 x10000, two commands") << false << false << "D0" << 10000;
}

// Writes and reads that take several frames each way, through the lone-CR
// handshake; what the simulator holds is what was written.
void TestHLinkCPlugin::longBlocks()
{
    QFETCH(bool, overSerial);
    QFETCH(bool, oldUnits);
    QFETCH(QString, address);
    QFETCH(int, count);
    plcsim::CModeSettings s;
    s.oldUnits = oldUnits;
    m_sim.setCMode(s);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(overSerial ? serial() : tcp()), 0);
    const CLabelVariable value = words(count, 0x7100);
    const CLabelVariable wrote = driver->WriteVariable(address, UInt16, value, count);
    QCOMPARE(wrote.errorCode, 0);
    const CLabelVariable read = driver->ReadVariable(address, UInt16, count);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(read.value.value<QList<unsigned short>>(), value.value.value<QList<unsigned short>>());
}

// The long read of the protocol notes and a long write, frame by frame on the wire.
void TestHLinkCPlugin::longBlockFrames()
{
    for (int i = 0; i < 40; ++i)
        m_sim.setWord(Area::D, i, quint16(i));
    m_sim.setUnit(0);
    Driver driver;
    driver->SetConnectPar(QStringLiteral("0"));
    QCOMPARE(driver->ConnectDrive(serial()), 0);
    driver->DebugCmd(StartDebug);
    testsupport::LogCapture log;
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D0"), Int16, 40);
    m_sim.setUnit(1);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(read.value.value<QList<short>>().value(39), short(39));
    const QStringList lines = log.messages(QtDebugMsg);
    QByteArray first("@00RD00");
    for (int i = 0; i < 30; ++i)
        first += QByteArray::number(i, 16).toUpper().rightJustified(4, '0');
    const QStringList expected = {testsupport::hex("@00RD0000004052*\r"), testsupport::hex(first + "55\r"),
                                  testsupport::hex("\r"),
                                  testsupport::hex("001E001F0020002100220023002400250026002703*\r")};
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(lines.at(i).startsWith(QStringLiteral("lib[HLinkC]")) && lines.at(i).endsWith(expected.at(i)),
                 qPrintable(lines.at(i)));

    // And a 40-word write: frame 1 (29 words, FCS, CR), the controller's
    // lone CR, frame 2 (11 words, FCS, "*" CR), the answer.
    log.clear();
    m_sim.setUnit(0);
    const CLabelVariable wrote = driver->WriteVariable(QStringLiteral("D0"), UInt16, words(40, 0x100), 40);
    m_sim.setUnit(1);
    QCOMPARE(wrote.errorCode, 0);
    QByteArray frame1("@00WD0000");
    for (int i = 0; i < 29; ++i)
        frame1 += QByteArray::number(0x100 + i, 16).toUpper().rightJustified(4, '0');
    const QStringList written = {testsupport::hex(frame1 + "24\r"), testsupport::hex("\r"),
                                 testsupport::hex("011D011E011F01200121012201230124012501260127" "77*\r"),
                                 testsupport::hex("@00WD0053*\r")};
    const QStringList wlines = log.messages(QtDebugMsg);
    QCOMPARE(wlines.size(), written.size());
    for (int i = 0; i < written.size(); ++i)
        QVERIFY2(wlines.at(i).endsWith(written.at(i)), qPrintable(wlines.at(i)));
}

void TestHLinkCPlugin::bitWriteKeepsOtherBits()
{
    m_sim.setWord(Area::D, 50, 0xA5A5);
    m_sim.setWord(Area::D, 51, 0x0000);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcp()), 0);
    CLabelVariable bits;
    bits.value = QVariant::fromValue(QList<bool>{false, true, true});
    QCOMPARE(driver->WriteVariable(QStringLiteral("D50.15"), Bool, bits, 3).errorCode, 0);
    QCOMPARE(wordList(m_sim, Area::D, 50, 2), (QList<unsigned short>{0x25A5, 0x0003}));
}

void TestHLinkCPlugin::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("code");
    QTest::newRow("D10000") << "D10000" << 1 << 5;
    QTest::newRow("D9999 x2") << "D9999" << 2 << 5;
    QTest::newRow("CIO6144") << "CIO6144" << 1 << 5;
    QTest::newRow("H512") << "H512" << 1 << 5;
    QTest::newRow("A960") << "A960" << 1 << 5;
    QTest::newRow("EM1 10000") << "EM110000" << 1 << 5;
    QTest::newRow("W0") << "W0" << 1 << 3;
    QTest::newRow("count 0") << "D0" << 0 << 4;
}

void TestHLinkCPlugin::refusedBeforeSending()
{
    QFETCH(QString, address);
    QFETCH(int, count);
    QFETCH(int, code);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcp()), 0);
    m_sim.resetStats();
    testsupport::LogCapture log;
    QCOMPARE(driver->ReadVariable(address, UInt16, count).errorCode, code);
    QCOMPARE(driver->WriteVariable(address, UInt16, words(qMax(count, 1), 1), count).errorCode, code);
    QCOMPARE(m_sim.stats().hostLinkFrames, 0);
    if (code == 5)
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("use FINS")));
}

void TestHLinkCPlugin::runModeRefusesWrites()
{
    plcsim::CModeSettings s;
    s.mode = plcsim::CpuMode::Run;
    m_sim.setCMode(s);
    m_sim.setWord(Area::D, 100, 0x1111);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(serial()), 0);
    testsupport::LogCapture log;
    QCOMPARE(driver->WriteVariable(QStringLiteral("D100"), UInt16, words(40, 0x2000), 40).errorCode, 7);
    QCOMPARE(m_sim.word(Area::D, 100), quint16(0x1111));
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("must be in MONITOR mode")));
    QCOMPARE(driver.diagnostics()->lastOutcome().endCode, 1);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D100"), UInt16).errorCode, 0); // reads work in RUN
}

void TestHLinkCPlugin::endCodes_data()
{
    QTest::addColumn<int>("endCode");
    QTest::addColumn<QString>("words");
    QTest::newRow("13") << 0x13 << "FCS error";
    QTest::newRow("14") << 0x14 << "format error";
    QTest::newRow("15") << 0x15 << "entry number data error";
    QTest::newRow("16") << 0x16 << "command not supported";
    QTest::newRow("18") << 0x18 << "frame length error";
    QTest::newRow("21") << 0x21 << "CPU error";
    QTest::newRow("A3") << 0xA3 << "aborted: FCS error in a later frame";
}

void TestHLinkCPlugin::endCodes()
{
    QFETCH(int, endCode);
    plcsim::CModeSettings s;
    s.endCode = quint8(endCode);
    m_sim.setCMode(s);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcp()), 0);
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D0"), UInt16, 1);
    QCOMPARE(read.errorCode, 7);
    QVERIFY(read.timestamp.isNull());
    const Outcome o = driver.diagnostics()->lastOutcome();
    QCOMPARE(o.kind, Outcome::Kind::EndCode);
    QCOMPARE(o.endCode, endCode);
    QTEST(o.reason, "words");
}

void TestHLinkCPlugin::brokenAnswers_data()
{
    QTest::addColumn<plcsim::CModeSettings>("settings");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("wrongUnit");
    QTest::addColumn<int>("code");
    plcsim::CModeSettings bad, quiet, ic;
    bad.badFcsLater = true;
    quiet.silentAfterFirst = true;
    ic.undecoded = true;
    QTest::newRow("bad FCS in frame 2") << bad << false << false << 7;
    QTest::newRow("silence after frame 1") << quiet << false << false << 8;
    QTest::newRow("IC") << ic << false << false << 7;
    QTest::newRow("no answer") << plcsim::CModeSettings() << true << false << 8;
    QTest::newRow("another unit answers") << plcsim::CModeSettings() << false << true << 8;
}

// A broken long answer fails, and the line is clean for the next command.
void TestHLinkCPlugin::brokenAnswers()
{
    QFETCH(plcsim::CModeSettings, settings);
    QFETCH(bool, silent);
    QFETCH(bool, wrongUnit);
    QFETCH(int, code);
    m_sim.setCMode(settings);
    plcsim::Faults f;
    f.silent = silent;
    f.wrongUnit = wrongUnit;
    m_sim.setFaults(f);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(serial()), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16, 80).errorCode, code);
    const QString reason = driver.diagnostics()->lastOutcome().reason;
    QVERIFY(!reason.isEmpty());
    QCOMPARE(reason.contains(QLatin1String("another unit")), wrongUnit);
    cleanup();
    m_sim.setWord(Area::D, 79, 0x4321);
    const CLabelVariable next = driver->ReadVariable(QStringLiteral("D0"), UInt16, 80);
    QCOMPARE(next.errorCode, 0);
    QCOMPARE(next.value.value<QList<unsigned short>>().value(79), quint16(0x4321));
}

void TestHLinkCPlugin::controllerFace()
{
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcp()), 0);
    DriveController *c = driver.controller();
    ControllerStatus status;
    QVERIFY(c->readStatus(&status).ok());
    QCOMPARE(status.mode, QStringLiteral("MONITOR"));
    plcsim::CModeSettings s;
    s.mode = plcsim::CpuMode::Run;
    m_sim.setCMode(s);
    QVERIFY(c->readStatus(&status).ok());
    QCOMPARE(status.mode, QStringLiteral("RUN"));
    ControllerIdentity id;
    QVERIFY(c->readIdentity(&id).ok());
    QCOMPARE(id.model, QStringLiteral("CS/CJ"));
    QDateTime clock;
    QCOMPARE(c->readClock(&clock).kind, Outcome::Kind::Unsupported);
    s.undecoded = true;
    m_sim.setCMode(s);
    QCOMPARE(c->readStatus(&status).kind, Outcome::Kind::Unsupported);
}

QTEST_GUILESS_MAIN(TestHLinkCPlugin)
#include "tst_hlinkcplugin.moc"
