#include "HostLinkSession.h"
#include "ControllerCommands.h"
#include "FinsExecutor.h"
#include "HostLinkFrames.h"
#include "SimState.h"

namespace plcsim {

using namespace hostlink;

namespace {
// No "@" at the start and no hex anywhere: no frame at all, but terminated.
const QByteArray kGarbage("#%GARBAGE!NOISE?~*\r");
} // namespace

HostLinkSession::HostLinkSession(SimState *state, Link *link, QObject *parent)
    : Session(state, link, parent), m_cmode(state)
{
}

Session::Take HostLinkSession::takeFrame(QByteArray &buffer, QByteArray &frame, Reply &)
{
    // Inside a C-mode long block every CR-ended piece counts: a lone CR
    // asks for the next answer frame, a later write frame has no "@".
    if (m_cmode.midBlock()) {
        const int cr = buffer.indexOf('\r');
        if (cr < 0)
            return Take::Incomplete;
        frame = buffer.left(cr + 1);
        buffer.remove(0, cr + 1);
        return Take::Frame;
    }
    for (;;) {
        const int cr = buffer.indexOf('\r');
        if (cr < 0) {
            const int at = buffer.indexOf('@');
            if (at < 0 || buffer.size() > kMaxBuffered)
                buffer.clear(); // line noise, or a frame that never ends
            else
                buffer.remove(0, at);
            return Take::Incomplete;
        }
        // "@" never occurs inside a frame: the last one before CR starts it.
        // A CR without any "@" before it ends noise; look further.
        const int at = buffer.lastIndexOf('@', cr);
        if (at >= 0)
            frame = buffer.mid(at, cr + 1 - at);
        buffer.remove(0, cr + 1);
        if (at >= 0)
            return Take::Frame;
    }
}

Session::Reply HostLinkSession::cmodeAnswer(const QByteArray &piece)
{
    Reply r;
    r.bytes = m_cmode.handle(piece);
    QMutexLocker lock(&m_state->mutex);
    r.delayMs = m_state->faults.delayMs;
    r.chunkSize = m_state->faults.chunkSize;
    r.chunkGapMs = m_state->faults.chunkGapMs;
    return r;
}

Session::Reply HostLinkSession::handleFrame(const QByteArray &piece)
{
    const int at = piece.lastIndexOf('@');
    if (at < 0 || piece.mid(at + 3, 2) != "FA") {
        if (tracing())
            trace(QStringLiteral("Host Link C-mode %1 <- %2").arg(link()->peerName(), QString::fromLatin1(piece.toHex())));
        const Reply r = cmodeAnswer(piece);
        if (tracing() && !r.bytes.isEmpty())
            trace(QStringLiteral("Host Link C-mode %1 -> %2").arg(link()->peerName(), QString::fromLatin1(r.bytes.trimmed())));
        return r;
    }
    m_cmode.reset();
    const QByteArray frame = piece.mid(at);
    if (tracing())
        trace(QStringLiteral("Host Link %1 <- %2").arg(link()->peerName(), QString::fromLatin1(frame.trimmed())));
    Reply r;
    const Request request = parseRequest(frame);
    Faults f;
    int unit = 0;
    FinsResult result;
    {
        QMutexLocker lock(&m_state->mutex);
        if (request.fcsOk)
            ++m_state->stats.hostLinkFrames;
        f = m_state->faults;
        unit = m_state->unit;
        // Another unit's frame (as on a multidrop line) or one we cannot
        // tell the unit of: not ours to answer.
        if (request.unit != unit || f.silent)
            return r;
        if (!request.fcsOk) {
            r.bytes = errorAnswer(unit, request.headerCode, EndFcsError);
        } else if (frame.size() > kMaxFrame) {
            r.bytes = errorAnswer(unit, request.headerCode, EndFrameLengthError);
        } else if (request.headerCode != "FA") {
            r.bytes = undefinedCommandAnswer(unit);
        } else if (!request.wellFormed) {
            r.bytes = errorAnswer(unit, request.headerCode, EndFormatError);
        } else if (f.hostLinkEndCode == 0) {
            result = executeCommand(*m_state, f, request.fins.mid(4), kMaxAnswerData);
            if (result.wrote)
                ++m_state->stats.writes;
        }
    }
    if (r.bytes.isEmpty())
        r = finsAnswer(request, f, unit, result.endCode, result.data);
    if (tracing() && !r.bytes.isEmpty())
        trace(QStringLiteral("Host Link %1 -> %2").arg(link()->peerName(), QString::fromLatin1(r.bytes.trimmed())));
    return r;
}

Session::Reply HostLinkSession::finsAnswer(const Request &request, const Faults &f, int unit,
                                           quint16 endCode, const QByteArray &data)
{
    Reply r;
    if (static_cast<quint8>(request.fins.at(0)) & 0x01)
        return r; // ICF: no response wanted
    const quint8 unitOut = static_cast<quint8>(f.wrongUnit ? unit + 1 : unit);
    QByteArray body = "@" + hexByte(unitOut) + "FA";
    if (f.hostLinkEndCode != 0) {
        body += hexByte(f.hostLinkEndCode);
    } else {
        const quint8 sid = static_cast<quint8>(static_cast<quint8>(request.fins.at(3)) + (f.wrongSid ? 1 : 0));
        body += "00" "40";
        body += hexByte(static_cast<quint8>(request.fins.at(2))); // DA2 <- SA2
        body += hexByte(static_cast<quint8>(request.fins.at(1))); // SA2 <- DA2
        body += hexByte(sid);
        body += hexBytes(request.fins.mid(4, 2));
        QByteArray end = hexByte(static_cast<quint8>(endCode >> 8)) + hexByte(static_cast<quint8>(endCode & 0xFF));
        QByteArray text = hexBytes(data);
        if (f.cutShort) {
            if (text.isEmpty())
                end.chop(2);
            else
                text.chop((text.size() + 1) / 2);
        }
        body += end + text;
    }
    const QByteArray answer = f.garbage ? kGarbage : withFcs(body, f.badFcs ? 0x5A : 0, !f.missingTerminator);
    r.bytes = f.staleFirst ? m_lastAnswer + answer : answer;
    m_lastAnswer = answer;
    r.delayMs = f.delayMs + 10 * request.waitTime;
    r.chunkSize = f.chunkSize;
    r.chunkGapMs = f.chunkGapMs;
    r.commandAnswer = true;
    r.closeAfterFrames = f.closeAfterFrames;
    return r;
}

} // namespace plcsim
