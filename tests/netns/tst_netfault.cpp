// Real network faults, rows per plug-in, outage (3 s, 30 s, 110 s) and host:
// plcsim and a polling host (netfault_poller, three reads and a write in
// turn, 1 ms apart) in a private network namespace; a firewall rule drops
// the simulator's traffic for the outage. Hosts: one that calls
// ConnectDrive after a 9, one that relies on reconnect=on and never connects
// again, one that never connects again without it, one that also connects
// again after a timeout. In the 3 s rows the simulator is then killed and
// started again. run_netfault.sh makes the namespace and runs this program
// inside it (run_netfault_rows.sh runs the long rows each in a namespace of
// its own, at once); run anywhere else it skips (it would otherwise put
// firewall rules into the machine's own network).
//
// What must hold: no read ever reports a wrong value as a success; every
// failure is 8 or 9 and ends within the driver's deadline (twice that when a
// call connects again first); the controller receives no queued burst:
// beyond the commands that were answered, at most two per connection (the
// one in flight when the network went, and when it came back); reads
// succeed again within 2 s of the network's return with reconnect=on, and
// within 2 s of the later of its return and the dead-link time for a host
// that connects again; a host that never connects again stays at 9; after
// a restart ConnectDrive succeeds once the simulator listens. The figures
// are printed for each row ("netfault ...").

#include <QDeadlineTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include "TestSupport.h"

namespace {

constexpr int kRecoveryLimitMs = 2000; // reads back after the network returns
constexpr int kSlackMs = 500;          // a loaded machine's lateness on top of a deadline
constexpr int kWaitMs = 20000;         // bound of every wait for a condition
const char kTable[] = "plcnetfault";

// Microseconds of the monotonic clock, as the poller and plcsim report them.
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
    void start(const QString &plugin, const QString &connection, int base, const QString &host)
    {
        connect(&m_process, &QProcess::readyReadStandardOutput, this, &Poller::parse);
        m_process.start(QStringLiteral(NETFAULT_POLLER),
                        {plugin, connection, QStringLiteral("0"), QString::number(base), QStringLiteral("1"), host});
    }
    // Closing its input asks it to disconnect and end.
    bool stop()
    {
        m_process.closeWriteChannel();
        const bool ended = m_process.waitForFinished(2 * kWaitMs);
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
    // Calls of `kind` with the outcome `ok` that started at `since` or later.
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
    bool startedAfter(qint64 t) const { return !m_calls.isEmpty() && m_calls.last().start > t; }
    // The first failed call of any kind that ended after `t`, or null.
    const Call *failedAfter(qint64 t) const
    {
        const auto c = std::find_if(m_calls.cbegin(), m_calls.cend(), [t](const Call &c) { return c.code != 0 && c.end >= t; });
        return c == m_calls.cend() ? nullptr : &*c;
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

// The simulator's counters (plcsim --count-file).
struct Counts {
    qint64 at = 0;
    int connections = 0, commands = 0, writes = 0;
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
                         QStringLiteral("--quiet"), QStringLiteral("--count-file"), m_dir.filePath(QStringLiteral("counts"))});
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
    // The counters as the simulator wrote them; `at` 0 when unreadable.
    Counts counts() const
    {
        QFile file(m_dir.filePath(QStringLiteral("counts")));
        Counts c;
        if (!file.open(QIODevice::ReadOnly))
            return c;
        QMap<QString, qint64> v;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 2)
                v[QString::fromLatin1(f[0])] = f[1].toLongLong();
        }
        c.at = v.value(QStringLiteral("at"));
        c.connections = int(v.value(QStringLiteral("connections")));
        c.commands = int(v.value(QStringLiteral("fins")) + v.value(QStringLiteral("host-link")));
        c.writes = int(v.value(QStringLiteral("writes")));
        return c;
    }
    // The counters as they stood at `t` or later (the file is rewritten
    // every 20 ms); `at` tells whether they came in time.
    Counts countsAfter(qint64 t) const
    {
        Counts c;
        (void)QTest::qWaitFor([&] { return (c = counts()).at > t; }, kWaitMs);
        return c;
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
    QTemporaryDir m_dir;
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

// The figures of one row (times in ms).
struct Figures {
    int calls = 0, okCalls = 0, wrong = 0;
    QMap<int, int> failures; // code -> count, reads and writes
    int firstCode = 0;
    qint64 firstFailure = -1, longestFailure = 0, recovery = -1, reconnect = -1;
    int received = 0, answered = 0, connections = 0, writesDone = 0, writesOk = 0;
};

QString describe(const QString &name, const Figures &f, int limit)
{
    QStringList codes;
    for (auto it = f.failures.cbegin(); it != f.failures.cend(); ++it)
        codes << QStringLiteral("%1 x%2").arg(it.key()).arg(it.value());
    return QStringLiteral("%1: %2 calls, %3 ok, %4 wrong; failures %5; first failure %6 (%7 ms after the drop); "
                          "longest failed call %8 ms (limit %9); reads back %10 ms after the restore; "
                          "outage to recovery: controller received %11 commands for %12 answered calls, "
                          "%13 connections, %14 writes executed for %15 reported done; "
                          "ConnectDrive 0 %16 ms after the restarted simulator listened")
        .arg(name).arg(f.calls).arg(f.okCalls).arg(f.wrong).arg(codes.join(QLatin1String(", ")))
        .arg(f.firstCode).arg(f.firstFailure).arg(f.longestFailure).arg(limit).arg(f.recovery)
        .arg(f.received).arg(f.answered).arg(f.connections).arg(f.writesDone).arg(f.writesOk).arg(f.reconnect);
}

bool isCall(const Call &c)
{
    return c.kind != QLatin1String("connect");
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

    void lostNetwork_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<int>("base");       // first word of the poller's block
        QTest::addColumn<int>("deadlineMs"); // longest exchange the driver allows
        QTest::addColumn<int>("deadLinkMs"); // the driver's dead-link time (0: none)
        QTest::addColumn<int>("outageMs");   // how long the network stays lost
        QTest::addColumn<QString>("host");   // the poller's policy
        const QString fins = QStringLiteral("127.0.0.1:%1").arg(Simulator::kFinsPort);
        const QString hostLink = QStringLiteral("127.0.0.1:%1").arg(Simulator::kHostLinkPort);
        const QString on = QStringLiteral(",reconnect=on");
        // Each of the (retries + 1) attempts waits `timeout`.
        const QString udp = QStringLiteral("127.0.0.1:%1,node=2,timeout=500,retries=2").arg(Simulator::kFinsPort);
        const QString again = QStringLiteral("connect-again"), never = QStringLiteral("never");
        const QString finsLib = QStringLiteral(PLC_FINS_PLUGIN), hlLib = QStringLiteral(PLC_HLINK_PLUGIN);
        for (int outage : {3000, 30000, 110000}) {
            const QByteArray s = QByteArray::number(outage / 1000) + " s";
            // Host Link: first byte within 2 s; a 4-word answer's rest takes the 50 ms minimum.
            QTest::newRow("FINS/TCP, " + s + ", ConnectDrive after 9") << finsLib << fins << 1000 << 500 << 2000 << outage << again;
            QTest::newRow("FINS/TCP, " + s + ", reconnect=on") << finsLib << fins + on << 1100 << 500 << 2000 << outage << never;
            QTest::newRow("Host Link TCP, " + s + ", ConnectDrive after 9") << hlLib << hostLink << 2000 << 2050 << 4100 << outage << again;
            QTest::newRow("Host Link TCP, " + s + ", reconnect=on") << hlLib << hostLink + on << 2100 << 2050 << 4100 << outage << never;
            QTest::newRow("FINS/UDP, " + s + ", ConnectDrive after 9")
                << QStringLiteral(PLC_FINSUDP_PLUGIN) << udp << 3000 << 1500 << 0 << outage << again;
        }
        QTest::newRow("FINS/TCP, 30 s, never connects again") << finsLib << fins << 1200 << 500 << 2000 << 30000 << never;
        QTest::newRow("Host Link TCP, 30 s, never connects again") << hlLib << hostLink << 2200 << 2050 << 4100 << 30000 << never;
        QTest::newRow("FINS/TCP, 3 s, connects again after a timeout")
            << finsLib << fins << 1300 << 500 << 2000 << 3000 << QStringLiteral("reconnect-on-timeout");
    }

    void lostNetwork()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, connection);
        QFETCH(int, base);
        QFETCH(int, deadlineMs);
        QFETCH(int, deadLinkMs);
        QFETCH(int, outageMs);
        QFETCH(QString, host);
        const bool selfHealing = connection.endsWith(QLatin1String("reconnect=on"));
        const bool staysLost = host == QLatin1String("never") && !selfHealing;
        const bool restart = outageMs < 5000 && !staysLost;
        Simulator sim;
        QVERIFY(sim.start() > 0);
        Poller poller;
        poller.start(plugin, connection, base, host);
        QTRY_VERIFY_WITH_TIMEOUT(poller.count(QStringLiteral("read"), true, 0) >= 20, kWaitMs);

        // The network is lost for the outage (nothing reaches the simulator,
        // so its counters then hold what came before the drop).
        QString error;
        const qint64 dropped = now();
        QVERIFY2(nft(dropScript(), &error), qPrintable(error));
        const Counts before = sim.countsAfter(dropped);
        QVERIFY(before.at > dropped);
        QTest::qWait(outageMs);
        QTRY_VERIFY_WITH_TIMEOUT(poller.failedAfter(dropped), kWaitMs);
        const qint64 restored = now();
        QVERIFY2(nft(QStringLiteral("flush chain inet %1 input\n").arg(QLatin1String(kTable)), &error), qPrintable(error));
        if (staysLost) {
            // Stays at 9 well past the point where any other host is back.
            const qint64 until = qMax(restored, dropped + 1000LL * deadLinkMs) + 1000LL * (kRecoveryLimitMs + 1000);
            QTRY_VERIFY_WITH_TIMEOUT(poller.startedAfter(until), 2 * kWaitMs);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(poller.count(QStringLiteral("read"), true, restored) >= 10, 2 * kWaitMs);
        }
        const qint64 settled = now();
        const Counts after = sim.countsAfter(settled);
        QVERIFY(after.at > settled);
        QTRY_VERIFY_WITH_TIMEOUT(poller.startedAfter(after.at), kWaitMs);
        const QVector<Call> outage = poller.calls(); // what the window below looks at

        qint64 listening = -1;
        if (restart) {
            // The simulator crashes; the poller is left retrying (or reconnecting).
            const qint64 killed = now();
            sim.kill();
            QTRY_VERIFY_WITH_TIMEOUT(poller.failedAfter(killed), kWaitMs);
            listening = sim.start();
            QVERIFY(listening > 0);
            QTRY_VERIFY_WITH_TIMEOUT(poller.count(QStringLiteral("read"), true, listening) >= 10, kWaitMs);
        }
        QVERIFY2(poller.stop(), poller.errors().constData());

        Figures f;
        for (const Call &c : poller.calls()) {
            if (!isCall(c))
                continue;
            ++f.calls;
            f.okCalls += c.code == 0;
            f.wrong += c.verdict == QLatin1String("wrong");
            if (c.code != 0) {
                ++f.failures[c.code];
                f.longestFailure = qMax(f.longestFailure, (c.end - c.start) / 1000);
            }
        }
        // The window between the two counter readings: commands the
        // controller received against calls that were answered in it.
        for (const Call &c : outage) {
            if (isCall(c) && c.code == 0 && c.start >= before.at && c.end <= after.at) {
                ++f.answered;
                f.writesOk += c.kind == QLatin1String("write");
            }
        }
        f.received = after.commands - before.commands;
        f.connections = after.connections - before.connections;
        f.writesDone = after.writes - before.writes;
        const Call *firstFailure = poller.failedAfter(dropped);
        const Call *back = poller.firstEnded(QStringLiteral("read"), true, restored);
        f.firstCode = firstFailure ? firstFailure->code : 0;
        f.firstFailure = firstFailure ? (firstFailure->end - dropped) / 1000 : -1;
        f.recovery = back && back->end <= settled ? (back->end - restored) / 1000 : -1;
        // A ConnectDrive may end in the ms the banner was read.
        const Call *reconnected = restart ? poller.firstEnded(QStringLiteral("connect"), true, listening - 50000) : nullptr;
        f.reconnect = reconnected ? (reconnected->end - listening) / 1000 : -1;
        const int limit = (selfHealing ? 2 * deadlineMs : deadlineMs) + kSlackMs;
        const QString figures = describe(QString::fromLatin1(QTest::currentDataTag()), f, limit);
        m_figures << figures;
        qInfo("%s", qPrintable(figures));

        QCOMPARE(f.wrong, 0);
        for (auto it = f.failures.cbegin(); it != f.failures.cend(); ++it)
            QVERIFY2(it.key() == 8 || it.key() == 9, qPrintable(QStringLiteral("result %1").arg(it.key())));
        QVERIFY2(f.longestFailure <= limit, qPrintable(figures));
        // No queue reached the controller: beyond the answered calls, one
        // command per connection (held back while the network was gone) and
        // the calls under way at the two readings.
        QVERIFY2(f.received <= f.answered + f.connections + 3, qPrintable(figures));
        QVERIFY2(f.writesDone <= f.writesOk + f.connections + 3, qPrintable(figures));
        if (staysLost) {
            QVERIFY2(!back || back->end > settled, qPrintable(figures));
            return;
        }
        // Back within 2 s of the network (reconnect=on, FINS/UDP), or of the
        // later of the network and the dead-link time (a host that connects again).
        const qint64 from = selfHealing ? restored : qMax(restored, dropped + 1000LL * deadLinkMs);
        QVERIFY2(back && back->end - from <= 1000LL * kRecoveryLimitMs, qPrintable(figures));
        if (!restart)
            return;
        // Once it listens, the first ConnectDrive that starts succeeds.
        QString late;
        for (const Call &c : poller.calls()) {
            if (c.kind == QLatin1String("connect") && c.code != 0 && c.start >= listening)
                late += QStringLiteral(" %1 from %2 to %3 us").arg(c.code).arg(c.start - listening).arg(c.end - listening);
        }
        QVERIFY2(late.isEmpty(), qPrintable(QStringLiteral("ConnectDrive failed after the simulator listened:") + late));
        QVERIFY(selfHealing || reconnected);
    }
};

QTEST_GUILESS_MAIN(TestNetFault)
#include "tst_netfault.moc"
