// Real network faults, rows per plug-in and outage: plcsim and a polling host
// (netfault_poller) in a private network namespace; a firewall rule drops
// the simulator's traffic for a few seconds, then the simulator is killed
// and started again. A host that connects again after a timeout has a row
// of its own. run_netfault.sh makes the namespace and runs this
// program inside it; run anywhere else it skips (it would otherwise put
// firewall rules into the machine's own network).
//
// What must hold: no read ever reports a wrong value as a success; every
// failure is 8 or 9 and ends within the driver's deadline; reads succeed
// again within 2 s of the network coming back; ConnectDrive succeeds once
// the restarted simulator listens. The figures are printed for each row.

#include <QDeadlineTimer>
#include <QMap>
#include <QProcess>
#include <QtTest>

#include "TestSupport.h"

namespace {

constexpr int kRecoveryLimitMs = 2000; // reads back after the network returns
constexpr int kSlackMs = 500;          // a loaded machine's lateness on top of a deadline
constexpr int kWaitMs = 20000;         // bound of every wait for a condition
const char kTable[] = "plcnetfault";

// Microseconds of the monotonic clock, as the poller reports them.
qint64 now()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() / 1000;
}

// One call the poller reported.
struct Call {
    QString kind; // connect, write, read
    qint64 start = 0; // microseconds, see now()
    qint64 end = 0;
    int code = 0;
    QString verdict; // reads: ok, wrong, -
};

// The polling host in a child process, its report parsed as it comes.
class Poller : public QObject
{
public:
    void start(const QString &plugin, const QString &connection, int base, bool reconnectOnTimeout)
    {
        connect(&m_process, &QProcess::readyReadStandardOutput, this, &Poller::parse);
        QStringList args{plugin, connection, QStringLiteral("0"), QString::number(base), QStringLiteral("10")};
        if (reconnectOnTimeout)
            args << QStringLiteral("reconnect-on-timeout");
        m_process.start(QStringLiteral(NETFAULT_POLLER), args);
    }
    // Closing its input asks it to disconnect and end.
    bool stop()
    {
        m_process.closeWriteChannel();
        const bool ended = m_process.waitForFinished(kWaitMs);
        parse();
        return ended && m_process.exitCode() == 0;
    }
    ~Poller() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWaitMs);
        }
    }
    const QVector<Call> &calls() const { return m_calls; }
    QByteArray errors() { return m_process.readAllStandardError(); }
    int count(const QString &kind, bool ok, qint64 since) const
    {
        int n = 0;
        for (const Call &c : m_calls)
            n += c.kind == kind && (c.code == 0) == ok && c.start >= since;
        return n;
    }
    // The first call of `kind` and outcome that ended after `since`, or null.
    const Call *firstEnded(const QString &kind, bool ok, qint64 since) const
    {
        for (const Call &c : m_calls) {
            if (c.kind == kind && (c.code == 0) == ok && c.end >= since)
                return &c;
        }
        return nullptr;
    }

private:
    void parse()
    {
        while (m_process.canReadLine()) {
            const QStringList f = QString::fromLatin1(m_process.readLine()).simplified().split(QLatin1Char(' '));
            if (f.size() < 4)
                continue;
            m_calls.append({f[0], f[1].toLongLong(), f[2].toLongLong(), f[3].toInt(), f.value(5)});
        }
    }

    QProcess m_process;
    QVector<Call> m_calls;
};

// plcsim serving every protocol on fixed ports (the namespace has no others).
class Simulator
{
public:
    static constexpr quint16 kFinsPort = 9600; // TCP and UDP
    static constexpr quint16 kHostLinkPort = 9601;

    // Starts it and waits for its banners; the time they were all seen.
    qint64 start()
    {
        m_process.start(QStringLiteral(PLCSIM_PROGRAM),
                        {QStringLiteral("--fins-port"), QString::number(kFinsPort), QStringLiteral("--fins-udp-port"),
                         QString::number(kFinsPort), QStringLiteral("--hostlink-port"), QString::number(kHostLinkPort),
                         QStringLiteral("--quiet")});
        QString banner;
        const QDeadlineTimer deadline(kWaitMs);
        while (!banner.contains(QLatin1String("FINS/TCP listening")) || !banner.contains(QLatin1String("FINS/UDP listening"))
               || !banner.contains(QLatin1String("Host Link TCP listening"))) {
            if (deadline.hasExpired() || !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                return -1;
            banner += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        }
        return now();
    }
    // A crash: the kernel closes its sockets, nothing says goodbye.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(kWaitMs))
            kill();
    }
    ~Simulator() { stop(); }

private:
    QProcess m_process;
};

QString run(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(kWaitMs))
        return QStringLiteral("%1 did not end").arg(program);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString::fromLocal8Bit(p.readAllStandardError()).trimmed() + QStringLiteral(" (%1 failed)").arg(program);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

bool nft(const QString &script, QString *error)
{
    QProcess p;
    p.start(QStringLiteral("nft"), {QStringLiteral("-f"), QStringLiteral("-")});
    p.write(script.toUtf8());
    p.closeWriteChannel();
    const bool ok = p.waitForFinished(kWaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    *error = QString::fromLocal8Bit(p.readAllStandardError());
    return ok;
}

// Drops every packet to or from the simulator's ports where it arrives:
// the sender sees its packets leave, like on a cut cable.
QString dropScript()
{
    const QString ports = QStringLiteral("{ %1, %2 }").arg(Simulator::kFinsPort).arg(Simulator::kHostLinkPort);
    return QStringLiteral("add rule inet %1 input meta l4proto { tcp, udp } th dport %2 drop\n"
                          "add rule inet %1 input meta l4proto { tcp, udp } th sport %2 drop\n")
        .arg(QLatin1String(kTable), ports);
}

// The figures of one row, in ms.
struct Figures {
    int reads = 0, okReads = 0, wrong = 0;
    QMap<int, int> failures; // code -> count, reads and writes
    qint64 firstFailure = -1, longestFailure = 0, recovery = -1, reconnect = -1;
};

QString describe(const QString &name, const Figures &f, int limit)
{
    QStringList codes;
    for (auto it = f.failures.cbegin(); it != f.failures.cend(); ++it)
        codes << QStringLiteral("%1 x%2").arg(it.key()).arg(it.value());
    return QStringLiteral("%1: %2 reads, %3 ok, %4 wrong; failures %5; first failure %6 ms after the drop; "
                          "longest failed call %7 ms (limit %8); reads back %9 ms after the restore; "
                          "ConnectDrive 0 %10 ms after the restarted simulator listened")
        .arg(name).arg(f.reads).arg(f.okReads).arg(f.wrong).arg(codes.join(QLatin1String(", ")))
        .arg(f.firstFailure).arg(f.longestFailure).arg(limit).arg(f.recovery).arg(f.reconnect);
}

} // namespace

class TestNetFault : public QObject
{
    Q_OBJECT

    QStringList m_figures;
    bool m_inNamespace = false; // never touch the firewall of the machine's own network

private slots:
    void initTestCase()
    {
        const QString expected = qEnvironmentVariable("NETFAULT_NETNS");
        if (expected.isEmpty() || run(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("identify")}) != expected)
            PLC_SKIP_OR_FAIL_IN_CI("not inside the private network namespace of run_netfault.sh");
        QString error;
        if (!nft(QStringLiteral("add table inet %1\nadd chain inet %1 input { type filter hook input priority 0; }\n")
                     .arg(QLatin1String(kTable)), &error))
            PLC_SKIP_OR_FAIL_IN_CI(QStringLiteral("nftables refused the test table: ") + error);
        m_inNamespace = true;
    }

    void cleanup()
    {
        if (!m_inNamespace)
            return;
        QString error;
        QVERIFY2(nft(QStringLiteral("flush chain inet %1 input\n").arg(QLatin1String(kTable)), &error), qPrintable(error));
    }

    void cleanupTestCase()
    {
        QString error;
        if (m_inNamespace)
            nft(QStringLiteral("delete table inet %1\n").arg(QLatin1String(kTable)), &error);
        for (const QString &line : qAsConst(m_figures))
            std::printf("netfault %s\n", qPrintable(line));
    }

    void lostNetworkAndRestart_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<int>("base");       // first word of the poller's block
        QTest::addColumn<int>("deadlineMs"); // longest exchange the driver allows
        QTest::addColumn<int>("outageMs");   // how long the network stays lost
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<bool>("reconnectOnTimeout"); // the host's policy
        const QString fins = QStringLiteral("127.0.0.1:%1").arg(Simulator::kFinsPort);
        const QString hostLink = QStringLiteral("127.0.0.1:%1").arg(Simulator::kHostLinkPort);
        // Each of the (retries + 1) attempts waits `timeout`.
        const QString udp = QStringLiteral("127.0.0.1:%1,node=2,timeout=500,retries=2").arg(Simulator::kFinsPort);
        for (int outage : {3000, 8000}) {
            const QByteArray s = QByteArray::number(outage / 1000) + " s";
            QTest::newRow("FINS/TCP, " + s)
                << QStringLiteral(PLC_FINS_PLUGIN) << fins << 1000 << 500 << outage << true << false;
            // First byte within 2 s; a 4-word answer's rest takes the 50 ms minimum.
            QTest::newRow("Host Link TCP, " + s)
                << QStringLiteral(PLC_HLINK_PLUGIN) << hostLink << 2000 << 2050 << outage << true << false;
            QTest::newRow("FINS/UDP, " + s)
                << QStringLiteral(PLC_FINSUDP_PLUGIN) << udp << 3000 << 1500 << outage << false << false;
        }
        // A fresh connection does not wait for the old one's back-off. (Not so
        // for Host Link: its ConnectDrive waits up to 30 s for a connection,
        // so one begun in the outage waits for its own SYN's back-off.)
        QTest::newRow("FINS/TCP, 8 s, host reconnects after a timeout")
            << QStringLiteral(PLC_FINS_PLUGIN) << fins << 1000 << 500 << 8000 << true << true;
    }

    void lostNetworkAndRestart()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, connection);
        QFETCH(int, base);
        QFETCH(int, deadlineMs);
        QFETCH(int, outageMs);
        QFETCH(bool, reconnectOnTimeout);
        Simulator sim;
        QVERIFY(sim.start() > 0);
        Poller poller;
        poller.start(plugin, connection, base, reconnectOnTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(poller.count(QStringLiteral("read"), true, 0) >= 20, kWaitMs);

        // The network is lost: at least one failure must have come by the end.
        QString error;
        const qint64 dropped = now();
        QVERIFY2(nft(dropScript(), &error), qPrintable(error));
        QTest::qWait(outageMs);
        QTRY_VERIFY_WITH_TIMEOUT(poller.firstEnded(QStringLiteral("read"), false, dropped), kWaitMs);
        const qint64 restored = now();
        QVERIFY2(nft(QStringLiteral("flush chain inet %1 input\n").arg(QLatin1String(kTable)), &error), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(poller.count(QStringLiteral("read"), true, restored) >= 10, kWaitMs);

        // The simulator crashes; the poller is left retrying ConnectDrive.
        const qint64 killed = now();
        sim.kill();
        QTRY_VERIFY_WITH_TIMEOUT(poller.count(QStringLiteral("connect"), false, killed) >= 1, kWaitMs);
        const qint64 listening = sim.start();
        QVERIFY(listening > 0);
        QTRY_VERIFY_WITH_TIMEOUT(poller.count(QStringLiteral("read"), true, listening) >= 10, kWaitMs);
        QVERIFY2(poller.stop(), poller.errors().constData());

        Figures f;
        for (const Call &c : poller.calls()) {
            f.reads += c.kind == QLatin1String("read");
            f.okReads += c.kind == QLatin1String("read") && c.code == 0;
            f.wrong += c.verdict == QLatin1String("wrong");
            if (c.kind != QLatin1String("connect") && c.code != 0) {
                ++f.failures[c.code];
                f.longestFailure = qMax(f.longestFailure, (c.end - c.start) / 1000);
            }
        }
        const Call *firstFailure = poller.firstEnded(QStringLiteral("read"), false, dropped);
        const Call *back = poller.firstEnded(QStringLiteral("read"), true, restored);
        const Call *reconnected = poller.firstEnded(QStringLiteral("connect"), true, killed); // may end in the ms the banner was read
        f.firstFailure = firstFailure ? (firstFailure->end - dropped) / 1000 : -1;
        f.recovery = back ? (back->end - restored) / 1000 : -1;
        f.reconnect = reconnected ? (reconnected->end - listening) / 1000 : -1;
        const QString figures = describe(QString::fromLatin1(QTest::currentDataTag()), f, deadlineMs + kSlackMs);
        m_figures << figures;
        qInfo("%s", qPrintable(figures));

        QCOMPARE(f.wrong, 0);
        for (auto it = f.failures.cbegin(); it != f.failures.cend(); ++it)
            QVERIFY2(it.key() == 8 || it.key() == 9, qPrintable(QStringLiteral("result %1").arg(it.key())));
        QVERIFY2(f.longestFailure <= deadlineMs + kSlackMs, qPrintable(figures));
        QVERIFY2(f.recovery >= 0 && f.recovery <= kRecoveryLimitMs, qPrintable(figures));
        // Once it listens, the first ConnectDrive that starts succeeds.
        QString late;
        for (const Call &c : poller.calls()) {
            if (c.kind == QLatin1String("connect") && c.code != 0 && c.start >= listening)
                late += QStringLiteral(" %1 from %2 to %3 us").arg(c.code).arg(c.start - listening).arg(c.end - listening);
        }
        QVERIFY2(late.isEmpty(), qPrintable(QStringLiteral("ConnectDrive failed after the simulator listened:") + late));
        QVERIFY(reconnected);
    }
};

QTEST_GUILESS_MAIN(TestNetFault)
#include "tst_netfault.moc"
