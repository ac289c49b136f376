#ifndef PLCSIM_SESSION_H
#define PLCSIM_SESSION_H

// One client's conversation with the controller over a Link: requests are
// taken from a reassembly buffer in order, one at a time; the answer to a
// request is on the line (with its fault-induced delay and gaps) before the
// next request is looked at, as a controller serves one command after the
// other.

#include "Link.h"

#include <QByteArray>
#include <QObject>

namespace plcsim {

struct SimState;

class Session : public QObject
{
    Q_OBJECT
public:
    Session(SimState *state, Link *link, QObject *parent = nullptr);
    Link *link() const { return m_link; }

protected:
    enum class Take { Frame, Incomplete, Fatal };

    // What goes back for one request.
    struct Reply
    {
        QByteArray bytes;      // nothing: no answer
        int delayMs = 0;
        int chunkSize = 0;
        int chunkGapMs = 0;
        bool commandAnswer = false; // counts for closeAfterFrames
        int closeAfterFrames = 0;
        bool closeNow = false;  // close once `bytes` are out (protocol errors)
    };

    // Moves one complete request from `buffer` into `frame`. On Fatal the
    // session has queued its error reply in `fatalReply`.
    virtual Take takeFrame(QByteArray &buffer, QByteArray &frame, Reply &fatalReply) = 0;
    virtual Reply handleFrame(const QByteArray &frame) = 0;

    bool tracing() const;
    void trace(const QString &text) const;

    SimState *m_state;

private:
    void onReceived(const QByteArray &bytes);
    void pump();
    void transmit(const Reply &reply, qint64 startNs);
    void sendChunk(const Reply &reply, int offset, qint64 notBeforeNs);
    void finish(const Reply &reply);

    Link *m_link;
    QByteArray m_buffer;
    bool m_busy = false;
    bool m_pumping = false;
    bool m_closed = false;
    int m_answered = 0;
};

} // namespace plcsim

#endif
