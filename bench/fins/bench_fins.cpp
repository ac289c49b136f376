// Read latency of the FINS/TCP plug-in against plcsim running as a separate
// process, compared with a minimal blocking socket client doing the same
// requests (the floor: kernel plus simulator). The two take turns in blocks
// of 100 reads, so drift of the machine hits both alike.
//
//   bench_fins [--reads N] [--plcsim PATH] [--plugin PATH]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "BenchRun.h"
#include "CDriveBaseClass.h"

namespace {

using bench::Sample;

// The floor: one blocking socket, frames built by hand, nothing else.
class RawClient
{
public:
    bool open(quint16 port)
    {
        fd = bench::connectLoopback(port);
        if (fd < 0)
            return false;
        const unsigned char request[20] = {'F', 'I', 'N', 'S', 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        if (!sendAll(request, sizeof request))
            return false;
        unsigned char answer[24];
        if (!recvFrame(answer, sizeof answer))
            return false;
        clientNode = answer[19];
        serverNode = answer[23];
        return true;
    }
    ~RawClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool read(int word, int words)
    {
        unsigned char f[34] = {'F', 'I', 'N', 'S', 0, 0, 0, 26, 0, 0, 0, 2, 0, 0, 0, 0,
                               0x80, 0, 2, 0, serverNode, 0, 0, clientNode, 0, sid++, 1, 1, 0x82,
                               (unsigned char)(word >> 8), (unsigned char)word, 0,
                               (unsigned char)(words >> 8), (unsigned char)words};
        if (!sendAll(f, sizeof f))
            return false;
        return recvFrame(buffer, sizeof buffer);
    }

private:
    bool sendAll(const unsigned char *p, size_t n)
    {
        while (n > 0) {
            const ssize_t k = ::send(fd, p, n, 0);
            if (k <= 0)
                return false;
            p += k;
            n -= size_t(k);
        }
        return true;
    }
    bool recvExactly(unsigned char *p, size_t n)
    {
        while (n > 0) {
            const ssize_t k = ::recv(fd, p, n, 0);
            if (k <= 0)
                return false;
            p += k;
            n -= size_t(k);
        }
        return true;
    }
    bool recvFrame(unsigned char *p, size_t capacity)
    {
        if (!recvExactly(p, 8))
            return false;
        const size_t length = size_t(p[4]) << 24 | size_t(p[5]) << 16 | size_t(p[6]) << 8 | p[7];
        return 8 + length <= capacity && recvExactly(p + 8, length);
    }

    int fd = -1;
    unsigned char serverNode = 0, clientNode = 0, sid = 0;
    unsigned char buffer[4096];
};

void report(const char *name, const Sample &plugin, const Sample &floor)
{
    const bench::Figures p = bench::figures(plugin);
    const bench::Figures f = bench::figures(floor);
    bench::printSeries(name, plugin.size(), p, f);
    std::printf("  ratio plug-in/floor: median %.2f, throughput %.2f\n", p.median / f.median, p.total / f.total);
    const size_t k = std::min<size_t>(1000, plugin.size() / 2);
    const Sample first(plugin.begin(), plugin.begin() + long(k));
    const Sample last(plugin.end() - long(k), plugin.end());
    std::printf("  plug-in first %zu reads median %.1f us, last %zu median %.1f us\n", k, bench::figures(first).median, k,
                bench::figures(last).median);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int reads = bench::option(args, QStringLiteral("--reads"), QStringLiteral("5000")).toInt();
    const QString simPath = bench::option(args, QStringLiteral("--plcsim"), QStringLiteral(PLCSIM_PROGRAM));
    const QString pluginPath = bench::option(args, QStringLiteral("--plugin"), QStringLiteral(PLC_FINS_PLUGIN));

    QProcess sim;
    quint16 port = 0;
    if (!bench::startSimulator(sim, simPath, {QStringLiteral("--fins-port"), QStringLiteral("0")},
                               QStringLiteral("FINS/TCP listening on [0-9.]+:(\\d+)"), &port))
        return 1;

    QLibrary library;
    CDriveBaseClass *driver = bench::loadPlugin(library, pluginPath);
    if (!driver)
        return 1;
    if (driver->ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(port)) != 0) {
        std::fprintf(stderr, "plug-in cannot connect\n");
        return 1;
    }
    RawClient raw;
    if (!raw.open(port)) {
        std::fprintf(stderr, "raw client cannot connect\n");
        return 1;
    }
    std::printf("plcsim pid %lld on port %u, %d reads per series\n", sim.processId(), port, reads);

    const auto pluginRead = [&](int words) {
        return [&, words] { return driver->ReadVariable(QStringLiteral("D100"), UInt16, words).errorCode == 0; };
    };
    const auto rawRead = [&](int words) { return [&, words] { return raw.read(100, words); }; };
    int failures = 0;
    for (int words : {1, 500}) {
        Sample plugin, floor;
        bench::measure(reads, pluginRead(words), rawRead(words), &plugin, &floor, &failures);
        report(words == 1 ? "1 word" : "500 words", plugin, floor);
    }
    if (failures)
        std::fprintf(stderr, "%d reads failed\n", failures);

    driver->DisConnectDrive();
    sim.terminate();
    sim.waitForFinished(3000);
    return failures == 0 ? 0 : 1;
}
