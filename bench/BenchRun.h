#ifndef BENCHRUN_H
#define BENCHRUN_H

// The run of a benchmark that times a plug-in against a floor client on one
// plcsim process: starting the simulator, the interleaved series and their
// report.

#include <QElapsedTimer>
#include <QLibrary>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

#include "BenchSupport.h"
#include "CDriveBaseClass.h"

namespace bench {

using Sample = std::vector<double>; // microseconds per read

// Starts plcsim quietly with `arguments` and waits for its banner; `banner`
// captures the port it listens on.
inline bool startSimulator(QProcess &sim, const QString &path, QStringList arguments, const QString &banner,
                           quint16 *port)
{
    // Quiet: nobody reads its traces, and a full pipe would stall it.
    arguments << QStringLiteral("--quiet");
    sim.start(path, arguments);
    const QRegularExpression pattern(banner);
    QString out;
    while (sim.waitForReadyRead(5000)) {
        out += QString::fromLocal8Bit(sim.readAllStandardOutput());
        const QRegularExpressionMatch m = pattern.match(out);
        if (m.hasMatch()) {
            *port = quint16(m.captured(1).toUInt());
            return true;
        }
    }
    std::fprintf(stderr, "plcsim did not start: %s\n", sim.readAllStandardError().constData());
    return false;
}

// Starts plcsim serving Host Link (unit 1) on TCP and on a pseudo-terminal
// at 115200 baud, and reads both places from its banners.
inline bool startHostLinkSimulator(QProcess &sim, const QString &path, quint16 *tcpPort, QString *pts)
{
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(path, {QStringLiteral("--hostlink-port"), QStringLiteral("0"), QStringLiteral("--serial"),
                     QStringLiteral("115200"), QStringLiteral("--unit"), QStringLiteral("1"), QStringLiteral("--quiet")});
    if (!sim.waitForStarted(5000))
        return false;
    QString banner;
    while ((*tcpPort == 0 || pts->isEmpty()) && sim.waitForReadyRead(5000)) {
        banner += QString::fromLocal8Bit(sim.readAll());
        const auto tcp = QRegularExpression(QStringLiteral("Host Link TCP listening on [0-9.]+:(\\d+)")).match(banner);
        if (tcp.hasMatch())
            *tcpPort = quint16(tcp.captured(1).toUInt());
        const auto serial = QRegularExpression(QStringLiteral("Host Link serial on (\\S+) at")).match(banner);
        if (serial.hasMatch())
            *pts = serial.captured(1);
    }
    return *tcpPort != 0 && !pts->isEmpty();
}

// The value after `name` on the command line, or `fallback`.
inline QString option(const QStringList &args, const QString &name, const QString &fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
}

// A driver object of the plug-in at `path`, loaded into `library` as a host
// loads it; null, with the reason on stderr, when it cannot be.
inline CDriveBaseClass *loadPlugin(QLibrary &library, const QString &path)
{
    library.setFileName(path);
    auto entry = reinterpret_cast<GetSharedLibraryFn>(library.resolve("getSharedLibrary"));
    if (!entry) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), qPrintable(library.errorString()));
        return nullptr;
    }
    return entry();
}

// The start of both Host Link benchmarks (FA and C-mode): plcsim (`simPath`)
// on TCP and a pseudo-terminal, the plug-in at `pluginPath` loaded and connected to the
// TCP port, and the banner printed. Null, with the reason on stderr, when
// any of it fails.
inline CDriveBaseClass *startHostLinkBench(const char *name, const QString &simPath, const QString &pluginPath,
                                           QProcess &sim, QLibrary &library, quint16 *port, QString *pts)
{
    if (!startHostLinkSimulator(sim, simPath, port, pts)) {
        std::fprintf(stderr, "%s: cannot start %s\n", name, qPrintable(simPath));
        return nullptr;
    }
    CDriveBaseClass *driver = loadPlugin(library, pluginPath);
    if (!driver)
        return nullptr;
    if (driver->ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(*port)) != 0) {
        std::fprintf(stderr, "%s: cannot connect to 127.0.0.1:%u\n", name, *port);
        return nullptr;
    }
    std::printf("plcsim pid %lld, Host Link TCP 127.0.0.1:%u, serial %s\n", sim.processId(), *port, qPrintable(*pts));
    // Every read stamps its result with the local time, which the time zone
    // setting may make dearer.
    std::printf("TZ %s\n", qEnvironmentVariableIsSet("TZ") ? qPrintable(qEnvironmentVariable("TZ")) : "(unset)");
    return driver;
}

// Both clients in turns of 100 reads, after 100 warm-up reads each.
inline void measure(int reads, const std::function<bool()> &plugin, const std::function<bool()> &floor, Sample *p,
                    Sample *f, int *failures)
{
    for (int i = 0; i < 100; ++i)
        *failures += !plugin() + !floor();
    QElapsedTimer t;
    const auto block = [&](const std::function<bool()> &once, Sample *s) {
        for (int i = 0; i < 100; ++i) {
            t.start();
            const bool ok = once();
            s->push_back(double(t.nsecsElapsed()) / 1000.0);
            *failures += !ok;
        }
    };
    for (int done = 0; done < reads; done += 100) {
        block(plugin, p);
        block(floor, f);
    }
}

inline void report(const char *name, const Sample &plugin, const Sample &floor)
{
    const Figures p = figures(plugin);
    const Figures f = figures(floor);
    printSeries(name, plugin.size(), p, f);
    std::printf("  ratio plug-in/floor: median %.2f, p99 %.2f, throughput %.2f\n", p.median / f.median,
                p.p99 / f.p99, p.total / f.total);
}

} // namespace bench

#endif // BENCHRUN_H
