// Read latency of the FINS/UDP plug-in against plcsim running as a separate
// process, compared with a minimal blocking UDP socket doing the same
// requests (the floor: kernel plus simulator). The two take turns in blocks
// of 100 reads, so drift of the machine hits both alike.
//
//   bench_finsudp [--reads N] [--plcsim PATH] [--plugin PATH]

#include <QCoreApplication>
#include <QLibrary>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

#include "BenchRun.h"
#include "CDriveBaseClass.h"

namespace {

using bench::Sample;

constexpr unsigned char kPlcNode = 1;   // plcsim's default FINS node
constexpr unsigned char kPluginNode = 2; // SA1 of the plug-in
constexpr unsigned char kRawNode = 3;    // SA1 of the floor client

// The floor: one blocking connected UDP socket, frames built by hand.
class RawClient
{
public:
    bool open(quint16 port)
    {
        fd = bench::connectLoopbackUdp(port, 1000);
        return fd >= 0;
    }
    ~RawClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // Memory Area Read of `words` D words at `word`; true on its own answer
    // (SID echoed, normal completion, all the data).
    bool read(int word, int words)
    {
        const unsigned char id = sid++;
        const unsigned char f[18] = {0x80, 0, 2, 0, kPlcNode, 0, 0, kRawNode, 0, id, 1, 1, 0x82,
                                     (unsigned char)(word >> 8), (unsigned char)word, 0,
                                     (unsigned char)(words >> 8), (unsigned char)words};
        if (::send(fd, f, sizeof f, 0) != ssize_t(sizeof f))
            return false;
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0)
                return false; // timed out, or port unreachable
            if (n >= 14 && buffer[9] == id)
                return n == 14 + 2 * words && buffer[12] == 0 && buffer[13] == 0;
        }
    }

private:
    int fd = -1;
    unsigned char sid = 0;
    unsigned char buffer[4096];
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int reads = qMax(100, bench::option(args, QStringLiteral("--reads"), QStringLiteral("5000")).toInt());
    const QString pluginPath = bench::option(args, QStringLiteral("--plugin"), QStringLiteral(PLC_FINSUDP_PLUGIN));

    QProcess sim;
    quint16 port = 0;
    if (!bench::startSimulator(sim, bench::option(args, QStringLiteral("--plcsim"), QStringLiteral(PLCSIM_PROGRAM)),
                               {QStringLiteral("--fins-udp-port"), QStringLiteral("0")}, QStringLiteral("FINS/UDP listening on [0-9.]+:(\\d+)"), &port))
        return 1;
    QLibrary library;
    CDriveBaseClass *driver = bench::loadPlugin(library, pluginPath);
    if (!driver)
        return 1;
    const QString connection = QStringLiteral("127.0.0.1:%1,plc=%2,node=%3").arg(port).arg(kPlcNode).arg(kPluginNode);
    RawClient raw;
    if (driver->ConnectDrive(connection) != 0 || !raw.open(port)) {
        std::fprintf(stderr, "cannot reach plcsim at 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("plcsim pid %lld, FINS/UDP on 127.0.0.1:%u, %d reads per series\n", sim.processId(), port, reads);

    int failures = 0;
    for (int words : {1, 500}) {
        Sample plugin, floor;
        bench::measure(
            reads, [&] { return driver->ReadVariable(QStringLiteral("D100"), UInt16, words).errorCode == 0; },
            [&] { return raw.read(100, words); }, &plugin, &floor, &failures);
        bench::report(words == 1 ? "1 word" : "500 words", plugin, floor);
    }
    std::printf("failed reads: %d\n", failures);

    driver->DisConnectDrive();
    sim.terminate();
    sim.waitForFinished(3000);
    return failures == 0 ? 0 : 1;
}
