#include "Session.h"
#include "SimState.h"

#include <QTimer>

namespace plcsim {

Session::Session(SimState *state, Link *link, QObject *parent)
    : QObject(parent), m_state(state), m_link(link)
{
    connect(link, &Link::received, this, &Session::onReceived);
    connect(link, &Link::closed, this, [this] { m_closed = true; });
}

bool Session::tracing() const
{
    QMutexLocker lock(&m_state->mutex);
    return bool(m_state->trace);
}

void Session::trace(const QString &text) const
{
    std::function<void(const QString &)> fn;
    {
        QMutexLocker lock(&m_state->mutex);
        fn = m_state->trace;
    }
    if (fn)
        fn(text);
}

void Session::onReceived(const QByteArray &bytes)
{
    if (m_closed)
        return;
    m_buffer.append(bytes);
    pump();
}

void Session::pump()
{
    if (m_pumping)
        return; // a synchronous finish() inside the loop below
    m_pumping = true;
    while (!m_busy && !m_closed) {
        QByteArray frame;
        Reply reply;
        const Take take = takeFrame(m_buffer, frame, reply);
        if (take == Take::Incomplete)
            break;
        // The request is complete only once its last character is on the
        // line; on a serial line that is its transmission time from now.
        const qint64 arrivedNs = nowNs() + m_link->lineNs(frame.size());
        if (take == Take::Frame)
            reply = handleFrame(frame);
        if (reply.bytes.isEmpty()) {
            if (reply.closeNow)
                m_link->close();
            continue;
        }
        m_busy = true;
        transmit(reply, arrivedNs + qint64(reply.delayMs) * 1000000);
    }
    m_pumping = false;
}

void Session::transmit(const Reply &reply, qint64 startNs)
{
    sendChunk(reply, 0, startNs);
}

void Session::sendChunk(const Reply &reply, int offset, qint64 notBeforeNs)
{
    const int size = reply.chunkSize > 0 ? reply.chunkSize : reply.bytes.size();
    const QByteArray piece = reply.bytes.mid(offset, size);
    const int next = offset + piece.size();
    m_link->write(piece, notBeforeNs, [this, reply, next] {
        if (next >= reply.bytes.size()) {
            finish(reply);
            return;
        }
        sendChunk(reply, next, nowNs() + qint64(reply.chunkGapMs) * 1000000);
    });
}

void Session::finish(const Reply &reply)
{
    m_busy = false;
    if (reply.commandAnswer)
        ++m_answered;
    const bool closeAfter = reply.commandAnswer && reply.closeAfterFrames > 0
        && m_answered >= reply.closeAfterFrames && m_link->closable();
    if (reply.closeNow || closeAfter) {
        m_link->close();
        return;
    }
    // Later requests may already be waiting in the buffer. Inside pump()
    // its loop takes them; after an asynchronous answer we start it here.
    if (!m_pumping)
        pump();
}

} // namespace plcsim
