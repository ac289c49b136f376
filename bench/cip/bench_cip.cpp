// Read latency of the EtherNet/IP plug-in against plcsim running as a
// separate process, compared with a minimal blocking TCP socket client that
// sends the same requests on its own session (the floor: kernel plus
// simulator). The two take turns in blocks of 100 reads, so drift of the
// machine hits both alike.
//
//   bench_cip [--reads N] [--plcsim PATH] [--plugin PATH]

#include <QCoreApplication>
#include <QLibrary>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "BenchRun.h"
#include "CDriveBaseClass.h"

namespace {

using bench::Sample;

// The floor: one blocking socket, RegisterSession once, then SendRRData
// frames built by hand for "Speed" (a DINT) and "Levels[0]" (REAL[600]).
class RawClient
{
public:
    ~RawClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool open(quint16 port)
    {
        fd = bench::connectLoopback(port);
        const unsigned char reg[28] = {0x65, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
        if (fd < 0 || !exchange(reg, sizeof reg) || length != 28)
            return false;
        std::memcpy(session, buffer + 4, 4);
        return true;
    }
    // Read Tag of `count` elements of `name`[0] (or `name` alone); true on a
    // reply with status 0 and `valueBytes` of values.
    bool read(const char *name, bool indexed, int count, int valueBytes)
    {
        unsigned char mr[64];
        const int n = int(std::strlen(name));
        int at = 0;
        mr[at++] = 0x4C;
        mr[at++] = 0; // path words, below
        mr[at++] = 0x91;
        mr[at++] = (unsigned char)n;
        std::memcpy(mr + at, name, size_t(n));
        at += n + (n % 2);
        if (n % 2)
            mr[at - 1] = 0;
        if (indexed) {
            mr[at++] = 0x28;
            mr[at++] = 0;
        }
        mr[1] = (unsigned char)((at - 2) / 2);
        mr[at++] = (unsigned char)count;
        mr[at++] = (unsigned char)(count >> 8);
        unsigned char f[128] = {0x6F};
        const int data = 16 + at;
        f[2] = (unsigned char)data;
        std::memcpy(f + 4, session, 4);
        f[12] = ++context;
        f[28] = 10;  // timeout
        f[30] = 2;   // items
        f[36] = 0xB2;
        f[38] = (unsigned char)at;
        std::memcpy(f + 40, mr, size_t(at));
        return exchange(f, size_t(24 + data)) && buffer[12] == context && length == 24 + 16 + 6 + valueBytes
            && buffer[24 + 16 + 2] == 0;
    }

private:
    bool exchange(const unsigned char *frame, size_t size)
    {
        if (::send(fd, frame, size, 0) != ssize_t(size))
            return false;
        length = 0;
        while (length < 24 || length < 24 + (buffer[2] | buffer[3] << 8)) {
            const ssize_t n = ::recv(fd, buffer + length, sizeof buffer - size_t(length), 0);
            if (n <= 0)
                return false;
            length += int(n);
        }
        return true;
    }

    int fd = -1;
    unsigned char session[4] = {};
    unsigned char context = 0;
    unsigned char buffer[8192];
    int length = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int reads = qMax(100, bench::option(args, QStringLiteral("--reads"), QStringLiteral("5000")).toInt());
    const QString pluginPath = bench::option(args, QStringLiteral("--plugin"), QStringLiteral(PLC_CIPNET_PLUGIN));

    QProcess sim;
    quint16 port = 0;
    if (!bench::startSimulator(sim, bench::option(args, QStringLiteral("--plcsim"), QStringLiteral(PLCSIM_PROGRAM)),
                               {QStringLiteral("--cip-port"), QStringLiteral("0")}, QStringLiteral("EtherNet/IP listening on [0-9.]+:(\\d+)"), &port))
        return 1;
    QLibrary library;
    CDriveBaseClass *driver = bench::loadPlugin(library, pluginPath);
    if (!driver)
        return 1;
    RawClient raw;
    if (driver->ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(port)) != 0 || !raw.open(port)) {
        std::fprintf(stderr, "cannot reach plcsim at 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("plcsim pid %lld, EtherNet/IP on 127.0.0.1:%u, %d reads per series\n", sim.processId(), port,
                reads);

    int failures = 0;
    Sample plugin, floor;
    bench::measure(
        reads, [&] { return driver->ReadVariable(QStringLiteral("Speed"), Int32, 1).errorCode == 0; },
        [&] { return raw.read("Speed", false, 1, 4); }, &plugin, &floor, &failures);
    bench::report("1 DINT", plugin, floor);
    plugin.clear();
    floor.clear();
    bench::measure(
        reads, [&] { return driver->ReadVariable(QStringLiteral("Levels[0]"), Float, 124).errorCode == 0; },
        [&] { return raw.read("Levels", true, 124, 496); }, &plugin, &floor, &failures);
    bench::report("124 REAL (one full message)", plugin, floor);
    std::printf("failed reads: %d\n", failures);

    driver->DisConnectDrive();
    sim.terminate();
    sim.waitForFinished(3000);
    return failures == 0 ? 0 : 1;
}
