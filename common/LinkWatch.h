#ifndef LINKWATCH_H
#define LINKWATCH_H

// Finding dead TCP links without a protocol of our own: the system ends a
// connection whose sent data stays unacknowledged for the dead-link time
// (TCP_USER_TIMEOUT), and probes an idle one (keep-alive) so that a peer
// that vanished is found even when nothing is being sent. A driver arms a
// socket right after it connects and sizes the time from its own deadline.

#include <QtGlobal>

namespace LinkWatch {

// The dead-link time for a driver whose exchanges may take `deadlineMs`:
// two deadlines, at least 2 s and at most 10 s (README states the figures).
int deadTimeMs(int deadlineMs);

// Arms a connected socket: unacknowledged data ends it after `deadMs`; an
// idle link is probed after ceil(deadMs / 1000) s of silence, every second,
// three times. False when the system refused one of the options.
bool arm(qintptr descriptor, int deadMs);

// True while bytes written to the socket are not yet acknowledged by the
// peer (they are still in the system's send queue). False when unknown.
bool unacknowledged(qintptr descriptor);

} // namespace LinkWatch

#endif // LINKWATCH_H
