#ifndef HLINKTRANSFER_H
#define HLINKTRANSFER_H

// One FA request out and its own answer back over the active Host Link
// line: stale input dropped first, then up to 2000 ms (plus the request's
// line time) for the first byte and `restMs` for the rest. Answers for
// another unit or an earlier SID are dropped and the wait goes on. One
// request is in flight at a time: while one the TCP peer has not even
// acknowledged is unanswered, the next waits for it (within its own
// first-byte time) rather than queue behind it.

#include <QByteArray>
#include <QDeadlineTimer>

#include "HostLinkLines.h"

class HLinkTransfer
{
public:
    enum class Result { Done, BadAnswer, NoAnswer, NoLink };

    explicit HLinkTransfer(HostLinkLines &lines);

    // Before a transfer: the line is up, or (reconnect=on) connected again
    // within 2000 ms; reopened() then says so.
    bool ready();
    // Done: the answer is appended to `*answer`; BadAnswer: bytes came but
    // no complete answer (all of them are appended); NoLink: the line is down.
    Result run(const QByteArray &frame, QByteArray *answer, int restMs);

    // Answers dropped in the last run, and since the last connect.
    int droppedNow() const { return m_droppedNow; }
    quint64 dropped() const { return m_dropped; }
    // Bytes that were no frame came in the last run.
    bool noise() const { return m_noise; }
    // The line was connected again (reconnect=on) by the last ready().
    bool reopened() const { return m_reopened; }
    // A new connection: nothing is in flight any more.
    void restart();

private:
    bool awaitEarlierAnswer(HostLinkLink *line, const QDeadlineTimer &deadline, Result *why);
    void dropEarlier(const HostLinkPiece &piece);
    Result receive(HostLinkLink *line, const QByteArray &frame, const QDeadlineTimer &firstByte, int restMs,
                   QByteArray *answer);

    HostLinkLines &m_lines;
    QByteArray m_unanswered; // the request in flight whose answer has not come
    quint64 m_dropped = 0;
    int m_droppedNow = 0;
    bool m_noise = false;
    bool m_reopened = false;
};

#endif // HLINKTRANSFER_H
