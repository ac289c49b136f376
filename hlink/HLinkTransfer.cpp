#include "HLinkTransfer.h"

#include "HLinkFrame.h"

namespace {

constexpr int kFirstByteMs = 2000;
constexpr int kAckPollMs = 20;
using Expect = HostLinkReceiveBuffer::Expect;

bool isAnswerTo(const HostLinkPiece &piece, const QByteArray &request)
{
    return piece.kind == HostLinkPiece::Kind::Frame
        && HLinkFrame::checkAnswer(piece.bytes, request).verdict != HLinkFrame::Verdict::Foreign;
}

} // namespace

HLinkTransfer::HLinkTransfer(HostLinkLines &lines)
    : m_lines(lines)
{
}

void HLinkTransfer::restart()
{
    m_unanswered.clear();
    m_dropped = 0;
}

bool HLinkTransfer::ready()
{
    m_reopened = false;
    if (m_lines.isUp())
        return true;
    m_unanswered.clear();
    if (!m_lines.readyWithin(kFirstByteMs))
        return false;
    m_reopened = true;
    m_dropped = 0;
    return true;
}

void HLinkTransfer::dropEarlier(const HostLinkPiece &piece)
{
    if (isAnswerTo(piece, m_unanswered))
        m_unanswered.clear();
    ++m_dropped;
}

// The gate before every request: a request the TCP peer has not
// acknowledged is still in the system's send queue, and one sent now would
// queue behind it (a lost network that comes back delivers the queue as a
// burst). A delivered request (acknowledged, or on a serial line) holds
// nothing: a late answer is dropped by its unit and SID.
bool HLinkTransfer::awaitEarlierAnswer(HostLinkLink *line, const QDeadlineTimer &deadline, Result *why)
{
    HostLinkPiece piece;
    while (!m_unanswered.isEmpty()) {
        while (!m_unanswered.isEmpty() && line->receive(Expect::First, QDeadlineTimer(0), &piece)
                                              == HostLinkLink::Wait::Piece)
            dropEarlier(piece);
        if (m_unanswered.isEmpty() || !line->unacknowledged())
            break;
        if (deadline.hasExpired()) {
            *why = Result::NoAnswer;
            return false;
        }
        const QDeadlineTimer slice(qMin<qint64>(kAckPollMs, deadline.remainingTime()));
        const HostLinkLink::Wait waited = line->receive(Expect::First, slice, &piece);
        if (waited == HostLinkLink::Wait::Gone) {
            *why = Result::NoLink;
            return false;
        }
        if (waited == HostLinkLink::Wait::Piece)
            dropEarlier(piece);
    }
    m_unanswered.clear();
    return true;
}

HLinkTransfer::Result HLinkTransfer::run(const QByteArray &frame, QByteArray *answer, int restMs)
{
    m_droppedNow = 0;
    m_noise = false;
    if (!m_lines.isUp())
        return Result::NoLink;
    HostLinkLink *line = m_lines.active();
    const QDeadlineTimer firstByte(kFirstByteMs + line->lineTimeMs(frame.size()));
    Result held = Result::Done;
    if (!awaitEarlierAnswer(line, firstByte, &held))
        return held;
    line->discardInput();
    if (!line->send(frame))
        return Result::NoLink;
    m_unanswered = frame;
    return receive(line, frame, firstByte, restMs, answer);
}

// Pieces until one answers `frame`; the rest deadline starts with the first
// byte of an answer, and starts again after a foreign answer that left
// nothing behind.
HLinkTransfer::Result HLinkTransfer::receive(HostLinkLink *line, const QByteArray &frame,
                                             const QDeadlineTimer &firstByte, int restMs, QByteArray *answer)
{
    QDeadlineTimer rest(QDeadlineTimer::Forever);
    bool answering = false;
    for (;;) {
        HostLinkPiece piece;
        const HostLinkLink::Wait waited = line->receive(Expect::First, answering ? rest : firstByte, &piece);
        if (waited == HostLinkLink::Wait::Gone)
            return Result::NoLink;
        if (waited == HostLinkLink::Wait::Timeout)
            break;
        if (waited == HostLinkLink::Wait::Piece && isAnswerTo(piece, frame)) {
            *answer += piece.bytes;
            m_unanswered.clear();
            return Result::Done;
        }
        if (waited == HostLinkLink::Wait::Piece && piece.kind == HostLinkPiece::Kind::Frame) {
            ++m_droppedNow;
            ++m_dropped;
        }
        m_noise = m_noise || line->noiseDropped() || (waited == HostLinkLink::Wait::Piece
                                                      && piece.kind != HostLinkPiece::Kind::Frame);
        const bool more = !line->pending().isEmpty() || m_noise || waited == HostLinkLink::Wait::Bytes;
        if (more && !answering)
            rest.setRemainingTime(restMs);
        answering = more;
    }
    m_noise = m_noise || line->noiseDropped();
    if (!line->pending().isEmpty() || m_noise) {
        // Something came: the controller answered, if badly.
        m_unanswered.clear();
        *answer += line->received();
        return Result::BadAnswer;
    }
    return Result::NoAnswer;
}
