#include "LinkWatch.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace LinkWatch {

namespace {

constexpr int kProbeIntervalS = 1;
constexpr int kProbes = 3;

bool setOption(int fd, int level, int name, int value)
{
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

} // namespace

int deadTimeMs(int deadlineMs)
{
    return qBound(2000, 2 * deadlineMs, 10000);
}

bool arm(qintptr descriptor, int deadMs)
{
    const int fd = int(descriptor);
    if (fd < 0)
        return false;
    const int idleS = qMax(1, (deadMs + 999) / 1000);
    bool ok = setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    ok = setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, idleS) && ok;
    ok = setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kProbeIntervalS) && ok;
    ok = setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kProbes) && ok;
    return setOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, deadMs) && ok;
}

bool unacknowledged(qintptr descriptor)
{
    int queued = 0;
    return descriptor >= 0 && ::ioctl(int(descriptor), SIOCOUTQ, &queued) == 0 && queued > 0;
}

} // namespace LinkWatch
