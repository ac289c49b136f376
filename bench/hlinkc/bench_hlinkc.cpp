// Host Link C-mode read latency: the plug-in against plcsim running as its
// own process, compared with the floor a minimal blocking socket client gets
// from the same simulator (1 word, and 100 words in a long block with the
// lone-CR handshake), and over a 115200 baud pseudo-terminal with the time
// the request and answer take on the line.
//
// bench_hlinkc [reads]   (default 2000 over TCP, a quarter of it over serial)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "BenchRun.h"
#include "CDriveBaseClass.h"

namespace {

using bench::Figures;
using bench::figures;

// "@01RD" begin count, FCS, "*" CR: written out here, not by the plug-in.
QByteArray rawRead(int count)
{
    return bench::hostLinkFrame("@01RD0000" + QByteArray::number(count).rightJustified(4, '0'));
}

// The floor: send, block on recv until CR; a frame without "*" gets a lone CR.
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
        if (!put(request))
            return false;
        // The controller sends nothing past a frame until it gets the CR,
        // so whatever one recv brings belongs to the current frame.
        QByteArray frame;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            frame.append(buffer, int(n));
            if (!frame.endsWith('\r'))
                continue;
            if (frame.endsWith("*\r"))
                return true;
            frame.clear();
            if (!put("\r"))
                return false;
        }
    }

private:
    bool put(const QByteArray &bytes)
    {
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), 0) == bytes.size();
    }
    int m_fd = -1;
};

// Blocks of 100 timed calls of each, taking turns, so drift hits both alike.
void series(int reads, const std::function<bool()> &a, const std::function<bool()> &b, std::vector<double> *ta,
            std::vector<double> *tb, int *failures)
{
    QElapsedTimer clock;
    for (int done = 0; done < reads; done += 100) {
        for (int i = 0; i < 100; ++i) {
            clock.start();
            *failures += !a();
            ta->push_back(double(clock.nsecsElapsed()) / 1000.0);
        }
        for (int i = 0; b && i < 100; ++i) {
            clock.start();
            *failures += !b();
            tb->push_back(double(clock.nsecsElapsed()) / 1000.0);
        }
    }
}

// 1 word over the simulator's pseudo-terminal at 115200 baud, next to the
// time request and answer take on the line.
bool serialSeries(CDriveBaseClass *driver, const QString &pts, int reads, int *failures)
{
    if (driver->ConnectDrive(pts + QStringLiteral(",115200,8,1,N")) != 0) {
        std::fprintf(stderr, "bench_hlinkc: cannot open %s\n", qPrintable(pts));
        return false;
    }
    std::vector<double> warm, none, serial;
    auto serialRead = [&] { return driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode == 0; };
    series(100, serialRead, nullptr, &warm, &none, failures);
    series(reads / 4, serialRead, nullptr, &serial, &none, failures);
    const Figures s = figures(serial);
    // "@01RD00000001" FCS "*" CR is 17 characters, "@01RD00" word FCS "*" CR 15.
    const double lineUs = (17.0 + 15.0) * 10.0 / 115200.0 * 1e6;
    std::printf("C-mode over a pseudo-terminal at 115200 baud, D0 x1 (%zu reads)\n", serial.size());
    std::printf("  plug-in  median %8.1f us  p99 %8.1f us\n", s.median, s.p99);
    std::printf("  line time of request + answer (17 + 15 chars x 10 bits): %.1f us\n", lineUs);
    std::printf("  above line time: median %+.1f us, p99 %+.1f us\n", s.median - lineUs, s.p99 - lineUs);
    return true;
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
    CDriveBaseClass *driver = bench::startHostLinkBench("bench_hlinkc", QStringLiteral(PLCSIM_PROGRAM),
                                                        QStringLiteral(PLC_HLINKC_PLUGIN), sim, library, &port, &pts);
    RawClient raw;
    if (!driver || !raw.open(port))
        return 1;
    int failures = 0;
    for (int words : {1, 100}) {
        const QByteArray request = rawRead(words);
        auto viaPlugin = [&] { return driver->ReadVariable(QStringLiteral("D0"), UInt16, words).errorCode == 0; };
        auto viaRaw = [&] { return raw.exchange(request); };
        std::vector<double> warmA, warmB, p, f;
        series(100, viaPlugin, viaRaw, &warmA, &warmB, &failures);
        series(reads, viaPlugin, viaRaw, &p, &f, &failures);
        const Figures fp = figures(p), ff = figures(f);
        const QByteArray name = QByteArray("C-mode over TCP, D0 x") + QByteArray::number(words);
        bench::printSeries(name.constData(), p.size(), fp, ff);
        std::printf("  ratio plug-in / floor: median %.2f, p99 %.2f\n", fp.median / ff.median, fp.p99 / ff.p99);
    }

    if (!serialSeries(driver, pts, reads, &failures))
        return 1;
    std::printf("failed reads: %d\n", failures);
    driver->DisConnectDrive();
    sim.terminate();
    sim.waitForFinished(5000);
    return failures == 0 ? 0 : 1;
}
