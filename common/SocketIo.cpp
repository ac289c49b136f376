#include "SocketIo.h"

#include <QIODevice>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace SocketIo {

bool readAvailable(QIODevice *socket, qintptr descriptor, QByteArray *buffer)
{
    // Qt's buffer first (filled when an event loop ran): the base class's
    // count is the buffer alone, without a size query to the system.
    const qint64 buffered = socket->QIODevice::bytesAvailable();
    if (buffered > 0)
        buffer->append(socket->read(buffered));
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::recv(int(descriptor), chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0) {
            buffer->append(chunk, int(got));
            if (got < ssize_t(sizeof chunk))
                return true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        // Closed or failed: Qt reads it again and says so its own way.
        socket->waitForReadyRead(0);
        return false;
    }
}

void waitReadable(qintptr descriptor, const QDeadlineTimer &deadline)
{
    pollfd fd{int(descriptor), POLLIN, 0};
    const int ms = deadline.isForever() ? -1 : int(qBound<qint64>(0, deadline.remainingTime(), 60000));
    while (::poll(&fd, 1, ms) < 0 && errno == EINTR) {
    }
}

bool writeAll(QIODevice *socket, qintptr descriptor, const QByteArray &bytes, int timeoutMs)
{
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(int(descriptor), bytes.constData() + done, size_t(bytes.size() - done),
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += int(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        // A full send queue: the rest through Qt, which waits for room.
        const QByteArray rest = bytes.mid(done);
        return socket->write(rest) == rest.size() && socket->waitForBytesWritten(timeoutMs);
    }
    return true;
}

} // namespace SocketIo
