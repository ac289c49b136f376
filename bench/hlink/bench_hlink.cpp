// Host Link read latency: the plug-in against plcsim running as its own
// process, compared with the floor a minimal blocking socket client gets from
// the same simulator, and over a 115200 baud pseudo-terminal with the time
// the request and answer take on the line.
//
// bench_hlink [reads]   (default 2000 over TCP, a quarter of it over serial)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "BenchRun.h"
#include "CDriveBaseClass.h"

namespace {

using bench::Figures;
using bench::figures;

void print(const char *what, const Figures &f, int n)
{
    std::printf("%-34s n=%5d  median %9.1f us  p99 %9.1f us  reads/s %8.0f\n", what, n, f.median, f.p99,
                f.mean > 0 ? 1e6 / f.mean : 0.0);
}

// Read D0, one word, for unit 1: "@01FA000000000" "0101" "82" "0000" "00" "0001".
QByteArray rawRequest()
{
    return bench::hostLinkFrame("@01FA0000000000101820000000001");
}

// The floor: connect, then send and block on recv until "*" CR.
class RawClient
{
public:
    bool open(quint16 port)
    {
        m_fd = bench::connectLoopback(port);
        return m_fd >= 0;
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool exchange(const QByteArray &request)
    {
        if (::send(m_fd, request.constData(), size_t(request.size()), 0) != request.size())
            return false;
        QByteArray answer;
        char buffer[2048];
        while (!answer.contains("*\r")) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            answer.append(buffer, int(n));
        }
        return answer.startsWith("@01FA00");
    }

private:
    int m_fd = -1;
};

// TCP: the plug-in and the raw client in turns of 100 reads (BenchRun).
int tcpSeries(CDriveBaseClass *driver, RawClient &raw, int reads)
{
    const QByteArray request = rawRequest();
    bench::Sample plugin, floor;
    int failures = 0;
    bench::measure(
        reads, [&] { return driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode == 0; },
        [&] { return raw.exchange(request); }, &plugin, &floor, &failures);
    const Figures p = figures(plugin);
    const Figures f = figures(floor);
    std::printf("\nHost Link over TCP, 1-word read (D0)\n");
    print("plug-in ReadVariable", p, int(plugin.size()));
    print("raw blocking socket (floor)", f, int(floor.size()));
    std::printf("ratio plug-in / floor: median %.2f, p99 %.2f\n", p.median / f.median, p.p99 / f.p99);
    // Latency over the run: first and last tenth.
    const size_t tenth = plugin.size() / 10;
    std::printf("plug-in median, first tenth %.1f us, last tenth %.1f us\n",
                figures(std::vector<double>(plugin.begin(), plugin.begin() + long(tenth))).median,
                figures(std::vector<double>(plugin.end() - long(tenth), plugin.end())).median);
    return failures;
}

// Serial: 115200 baud on the simulator's paced pseudo-terminal; -1 when it
// cannot be opened.
int serialSeries(CDriveBaseClass *driver, const QString &pts, int reads)
{
    if (driver->ConnectDrive(pts + QStringLiteral(",115200,8,1,N")) != 0) {
        std::fprintf(stderr, "bench_hlink: cannot open %s\n", qPrintable(pts));
        return -1;
    }
    int failures = 0;
    for (int warm = 0; warm < 20; ++warm)
        failures += driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode != 0;
    std::vector<double> serial;
    QElapsedTimer clock;
    for (int i = 0; i < reads; ++i) {
        clock.start();
        const int code = driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode;
        serial.push_back(double(clock.nsecsElapsed()) / 1000.0);
        failures += code != 0;
    }
    const Figures s = figures(serial);
    const double lineUs = (34.0 + 31.0) * 10.0 / 115200.0 * 1e6;
    std::printf("\nHost Link over a pseudo-terminal at 115200 baud, 1-word read (D0)\n");
    print("plug-in ReadVariable", s, int(serial.size()));
    std::printf("line time of request + answer (34 + 31 chars x 10 bits): %.1f us\n", lineUs);
    std::printf("plug-in above line time: median %+.1f us, p99 %+.1f us\n", s.median - lineUs, s.p99 - lineUs);
    return failures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int reads = argc > 1 ? std::max(100, QByteArray(argv[1]).toInt()) : 2000;

    QProcess sim;
    QLibrary library;
    quint16 port = 0;
    QString pts;
    CDriveBaseClass *driver = bench::startHostLinkBench("bench_hlink", QStringLiteral(PLCSIM_PROGRAM),
                                                        QStringLiteral(PLC_HLINK_PLUGIN), sim, library, &port, &pts);
    RawClient raw;
    if (!driver || !raw.open(port))
        return 1;
    const int tcpFailures = tcpSeries(driver, raw, reads);
    const int serialFailures = serialSeries(driver, pts, reads / 4);
    if (serialFailures < 0)
        return 1;
    std::printf("\nfailed reads: %d\n", tcpFailures + serialFailures);

    driver->DisConnectDrive();
    sim.terminate();
    sim.waitForFinished(5000);
    return tcpFailures + serialFailures == 0 ? 0 : 1;
}
