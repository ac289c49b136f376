#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

// What the benchmark programs share: the figures of a latency series and the
// blocking loopback sockets of their floor clients.

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace bench {

struct Figures {
    double median = 0; // microseconds
    double p99 = 0;
    double mean = 0;
    double total = 0;
};

// Nearest-rank figures of a series of per-read latencies in microseconds.
inline Figures figures(std::vector<double> us)
{
    Figures f;
    if (us.empty())
        return f;
    std::sort(us.begin(), us.end());
    const auto at = [&us](double p) { return us[std::min(us.size() - 1, size_t(p * double(us.size() - 1) + 0.5))]; };
    f.median = at(0.5);
    f.p99 = at(0.99);
    for (double x : us)
        f.total += x;
    f.mean = f.total / double(us.size());
    return f;
}

// The heading and the figure lines of a plug-in series and its floor; each
// benchmark adds the ratios it reports.
inline void printSeries(const char *name, size_t reads, const Figures &plugin, const Figures &floor)
{
    const auto line = [](const char *who, const Figures &s) {
        std::printf("  %-8s median %8.1f us  p99 %8.1f us  %9.0f reads/s\n", who, s.median, s.p99, 1e6 / s.mean);
    };
    std::printf("%s (%zu reads)\n", name, reads);
    line("plug-in", plugin);
    line("floor", floor);
}

// A Host Link frame written out by hand, not by a plug-in: `body` ("@" to
// the last character before the FCS), its FCS (exclusive OR of every
// character, two upper-case hex digits), "*" and CR.
inline QByteArray hostLinkFrame(const QByteArray &body)
{
    unsigned char x = 0;
    for (char c : body)
        x ^= static_cast<unsigned char>(c);
    return body + QByteArray::number(x, 16).rightJustified(2, '0').toUpper() + "*\r";
}

// A blocking TCP socket connected to 127.0.0.1:`port`, or -1.
inline int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A blocking UDP socket connected to 127.0.0.1:`port` (it receives only from
// there), whose receives give up after `timeoutMs`; or -1.
inline int connectLoopbackUdp(quint16 port, int timeoutMs)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0
        || ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace bench

#endif // BENCHSUPPORT_H
