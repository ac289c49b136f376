// The three FINS plug-ins against the simulator playing smaller controllers:
// the controller face (model, mode, errors, clock), transfers that shrink to
// what the controller takes, and writes that send their last part first.
// Everything through getSharedLibrary, as a host does.

#include "CDriveBaseClass.h"
#include "DriveController.h"
#include "PlcSimulator.h"
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>

using plcsim::Area;
using plcsim::Simulator;

namespace {

class Driver
{
public:
    explicit Driver(testsupport::Plugin &plugin) : m_driver(plugin.create()) {}
    ~Driver() { delete dynamic_cast<QObject *>(m_driver); }
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;
    CDriveBaseClass *operator->() const { return m_driver; }
    DriveController *controller() const { return qobject_cast<DriveController *>(dynamic_cast<QObject *>(m_driver)); }

private:
    CDriveBaseClass *m_driver;
};

testsupport::Plugin &plugin(const QString &name)
{
    if (name == QLatin1String("finsudp"))
        return testsupport::finsUdpPlugin();
    return name == QLatin1String("hostlink") ? testsupport::hlinkPlugin() : testsupport::finsPlugin();
}

// One simulator serving all three; the plug-in named connects to its side.
struct Bench {
    Simulator sim;
    quint16 tcp = 0, udp = 0, hostLink = 0;
    Bench()
    {
        tcp = sim.startFins();
        udp = sim.startFinsUdp(0, QStringLiteral("127.0.0.10"));
        hostLink = sim.startHostLinkTcp();
        sim.setUnit(1); // the Host Link plug-in's unit until SetConnectPar
    }
    QString text(const QString &name) const
    {
        if (name == QLatin1String("finsudp"))
            return QStringLiteral("127.0.0.10:%1").arg(udp);
        return QStringLiteral("127.0.0.1:%1").arg(name == QLatin1String("hostlink") ? hostLink : tcp);
    }
    int frames(const QString &name) const
    {
        return name == QLatin1String("hostlink") ? sim.stats().hostLinkFrames : sim.stats().finsFrames;
    }
    void setModel(const QString &name)
    {
        plcsim::ControllerModel m;
        QVERIFY(plcsim::ControllerModel::byName(name, &m));
        sim.setModel(m);
    }
};

QList<unsigned short> pattern(int words, int seed)
{
    QList<unsigned short> out;
    for (int i = 0; i < words; ++i)
        out << quint16(i * 7 + seed);
    return out;
}

// Halving from the plug-in's full size until the controller takes it:
// the commands refused on the way and the size kept.
QPair<int, int> shrinkTo(int full, int limit)
{
    int refused = 0;
    while (full > limit) {
        full /= 2;
        ++refused;
    }
    return {refused, full};
}

int partsOf(int words, int size) { return (words + size - 1) / size; }

const QStringList kPlugins = {"fins", "finsudp", "hostlink"};

void modelRows(const QStringList &models)
{
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QString>("model");
    for (const QString &p : kPlugins) {
        for (const QString &m : models)
            QTest::newRow(qPrintable(p + QLatin1Char(' ') + m)) << p << m;
    }
}

} // namespace

class TestControllerE2E : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const QString &name : kPlugins)
            QVERIFY2(plugin(name).isLoaded(), qPrintable(plugin(name).errorString()));
    }

    void controllerFace_data() { modelRows(QStringList{"cj2", "cp1l-e", "cp1e"}); }
    void controllerFace()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, model);
        Bench bench;
        bench.setModel(model);
        bench.sim.setCondition({plcsim::Mode::Program, 0, 0x0800, 0x0009, "BATTERY LOW"});
        Driver driver(::plugin(plugin));
        DriveController *face = driver.controller();
        QVERIFY(face);
        QCOMPARE(driver->ConnectDrive(bench.text(plugin)), 0);
        const int before = bench.frames(plugin);

        ControllerIdentity id;
        QVERIFY(face->readIdentity(&id).ok());
        QCOMPARE(id.model, QString::fromLatin1(bench.sim.model().modelText));
        ControllerStatus s;
        QVERIFY(face->readStatus(&s).ok());
        QCOMPARE(s.mode, QStringLiteral("PROGRAM"));
        QVERIFY(!s.running && !s.fatalError && s.nonFatalError);
        QCOMPARE(s.errorCode, 9);
        QCOMPARE(s.errorMessage, QStringLiteral("BATTERY LOW"));

        const QDateTime set(QDate(2031, 5, 6), QTime(7, 8, 9));
        QVERIFY(face->writeClock(set).ok());
        QVERIFY(qAbs(bench.sim.clock().secsTo(set)) <= 2);
        QDateTime read;
        QVERIFY(face->readClock(&read).ok());
        QVERIFY(qAbs(read.secsTo(set)) <= 2);
        QCOMPARE(bench.frames(plugin) - before, 4); // one command each

        plcsim::Faults undefined;
        undefined.endCode = 0x0401;
        bench.sim.setFaults(undefined);
        QCOMPARE(face->readIdentity(&id).kind, Outcome::Kind::Unsupported);
        bench.sim.setFaults({});
        bench.sim.stop();
        QCOMPARE(face->readStatus(&s).ok(), false);
    }

    // Each "too long" code, through each plug-in: the value is right, the
    // commands are those the halving implies, the size is kept for the
    // connection and a new connection starts from the full size again.
    void shrink_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<int>("code");
        for (const QString &p : kPlugins) {
            for (int code : {0x1001, 0x1002, 0x110B})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(p).arg(code, 4, 16))) << p << code;
        }
    }
    void shrink()
    {
        QFETCH(QString, plugin);
        QFETCH(int, code);
        Bench bench;
        plcsim::ControllerModel m = bench.sim.model();
        m.frameBytes = 300; // 143 words per read
        m.answerTooLong = quint16(code);
        bench.sim.setModel(m);
        const int words = 2000;
        const QList<unsigned short> values = pattern(words, code);
        for (int i = 0; i < words; ++i)
            bench.sim.setWord(Area::D, i, values.at(i));
        const int full = plugin == QLatin1String("hostlink") ? 269 : 999;
        const QPair<int, int> halving = shrinkTo(full, m.maxReadWords());

        Driver driver(::plugin(plugin));
        for (int connection = 0; connection < 2; ++connection) {
            QCOMPARE(driver->ConnectDrive(bench.text(plugin)), 0);
            testsupport::LogCapture log;
            for (int round = 0; round < 2; ++round) {
                const int before = bench.frames(plugin);
                const CLabelVariable r = driver->ReadVariable(QStringLiteral("D0"), UInt16, words);
                QCOMPARE(r.errorCode, 0);
                QCOMPARE(r.value.value<QList<unsigned short>>(), values);
                QCOMPARE(bench.frames(plugin) - before,
                         partsOf(words, halving.second) + (round == 0 ? halving.first : 0));
            }
            QCOMPARE(log.messages(QtWarningMsg).size(), 1); // when it shrank, once
            QVERIFY(log.messages(QtWarningMsg).first().contains(
                QStringLiteral("len = %1 code = %2").arg(halving.second).arg(QString::number(code, 16).toUpper())));
            QCOMPARE(driver->DisConnectDrive(), 0);
        }
    }

    // "Beyond the end of the area" is no reason to shrink; a write that runs
    // off the end fails before any of it is written.
    void areaEnd_data() { modelRows(QStringList{"default"}); }
    void areaEnd()
    {
        QFETCH(QString, plugin);
        Bench bench;
        for (int i = 30000; i < 32768; ++i)
            bench.sim.setWord(Area::D, i, 0x5555);
        Driver driver(::plugin(plugin));
        QCOMPARE(driver->ConnectDrive(bench.text(plugin)), 0);
        int before = bench.frames(plugin);
        QCOMPARE(driver->ReadVariable(QStringLiteral("D32767"), UInt16, 2).errorCode, 7);
        QCOMPARE(bench.frames(plugin) - before, 1);

        before = bench.frames(plugin);
        CLabelVariable value;
        value.value = QVariant::fromValue(pattern(1500, 1));
        QCOMPARE(driver->WriteVariable(QStringLiteral("D31500"), UInt16, value, 1500).errorCode, 7);
        QCOMPARE(bench.frames(plugin) - before, 1);
        QCOMPARE(bench.sim.stats().writes, 0);
        QCOMPARE(bench.sim.words(Area::D, 31500, 1268), QByteArray(2 * 1268, '\x55'));
    }

    // 2,000 words written and read at D0 on every profile.
    void largeTransfers_data() { modelRows(plcsim::ControllerModel::names()); }
    void largeTransfers()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, model);
        Bench bench;
        bench.setModel(model);
        Driver driver(::plugin(plugin));
        QCOMPARE(driver->ConnectDrive(bench.text(plugin)), 0);
        const QList<unsigned short> values = pattern(2000, 3);
        CLabelVariable value;
        value.value = QVariant::fromValue(values);
        QCOMPARE(driver->WriteVariable(QStringLiteral("D0"), UInt16, value, 2000).errorCode, 0);
        QCOMPARE(bench.sim.word(Area::D, 1999), values.last());
        const int before = bench.frames(plugin);
        const CLabelVariable r = driver->ReadVariable(QStringLiteral("D0"), UInt16, 2000);
        QCOMPARE(r.errorCode, 0);
        QCOMPARE(r.value.value<QList<unsigned short>>(), values);
        // Commands as the model's read limit implies.
        const QPair<int, int> halving = shrinkTo(plugin == QLatin1String("hostlink") ? 269 : 999,
                                                 bench.sim.model().maxReadWords());
        QCOMPARE(bench.frames(plugin) - before, halving.first + partsOf(2000, halving.second));
    }

#ifdef PLCCTL_PROGRAM
    // A clock write from a pipe: said, not done, without --yes.
    void clockWriteNeedsYes()
    {
        Bench bench;
        const QString connect = QStringLiteral("--connect=") + bench.text(QStringLiteral("fins"));
        QProcess ctl;
        ctl.start(QStringLiteral(PLCCTL_PROGRAM), {connect, "fins", "clock", "--set", "2030-01-02T03:04:05"});
        ctl.closeWriteChannel();
        QVERIFY(ctl.waitForFinished(30000));
        QCOMPARE(ctl.exitCode(), 2);
        QVERIFY(ctl.readAllStandardError().contains("will set the controller's clock to 2030-01-02 03:04:05"));
        QVERIFY(bench.sim.clock().date().year() != 2030);

        ctl.start(QStringLiteral(PLCCTL_PROGRAM), {connect, "fins", "clock", "--set", "2030-01-02T03:04:05", "--yes"});
        ctl.closeWriteChannel();
        QVERIFY(ctl.waitForFinished(30000));
        QCOMPARE(ctl.exitCode(), 0);
        QCOMPARE(bench.sim.clock().date(), QDate(2030, 1, 2));
    }
#endif
};

QTEST_GUILESS_MAIN(TestControllerE2E)
#include "tst_controller_e2e.moc"
