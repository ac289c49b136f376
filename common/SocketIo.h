#ifndef SOCKETIO_H
#define SOCKETIO_H

// The hot path of a blocking exchange on a Qt socket, on its descriptor:
// one write, one wait, one read, where Qt's own waits add a size query
// (FIONREAD), extra polls and event-loop wake-ups to every read. Qt keeps
// its part for the rare cases: bytes it already buffered are taken first,
// and a closed or failed connection is left for Qt to find, so its signals
// and errors stay what they were.

#include <QByteArray>
#include <QDeadlineTimer>

class QIODevice;

namespace SocketIo {

// Appends what has arrived to `*buffer` without asking how much first.
// False when nothing came because the peer closed or the socket failed
// (Qt has then been given the chance to notice).
bool readAvailable(QIODevice *socket, qintptr descriptor, QByteArray *buffer);
// Blocks until the descriptor is readable or `deadline` passes.
void waitReadable(qintptr descriptor, const QDeadlineTimer &deadline);
// Writes all of `bytes`; what the system's queue does not take at once goes
// through Qt within `timeoutMs`. False when the socket would not take them.
bool writeAll(QIODevice *socket, qintptr descriptor, const QByteArray &bytes, int timeoutMs);

} // namespace SocketIo

#endif // SOCKETIO_H
