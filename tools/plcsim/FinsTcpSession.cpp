#include "FinsTcpSession.h"
#include "ControllerCommands.h"
#include "FinsExecutor.h"
#include "FinsTcpFrames.h"
#include "SimState.h"

namespace plcsim {

using namespace finstcp;

namespace {

// Anything that is no FINS/TCP frame: no magic, no sensible length.
const QByteArray kGarbage("\x00\xA5garbage\xFF\x5A noise\r\n\x13\x37", 22);
// Far beyond any frame a client would accept.
constexpr qint64 kOversizedLength = 0x7FFFFFF0;

QString hexText(const QByteArray &b) { return QString::fromLatin1(b.toHex(' ')); }

} // namespace

FinsTcpSession::FinsTcpSession(SimState *state, TcpLink *link, QObject *parent)
    : Session(state, link, parent), m_tcp(link)
{
}

FinsTcpSession::~FinsTcpSession()
{
    releaseNode();
}

void FinsTcpSession::releaseNode()
{
    QMutexLocker lock(&m_state->mutex);
    if (m_clientNode >= 0 && m_state->finsNodes.value(m_clientNode) == this)
        m_state->finsNodes.remove(m_clientNode);
    m_clientNode = -1;
}

Session::Take FinsTcpSession::takeFrame(QByteArray &buffer, QByteArray &frame, Reply &fatalReply)
{
    static const QByteArray magic("FINS");
    const int magicBytes = qMin(buffer.size(), 4);
    if (buffer.left(magicBytes) != magic.left(magicBytes)) {
        trace(QStringLiteral("FINS/TCP %1: no FINS magic, closing").arg(link()->peerName()));
        fatalReply.bytes = errorNotification(ErrNotFins);
        fatalReply.closeNow = true;
        buffer.clear();
        return Take::Fatal;
    }
    if (buffer.size() < 8)
        return Take::Incomplete;
    const quint32 length = be32(buffer, 4);
    if (length < 8 || length > kMaxLengthField) {
        trace(QStringLiteral("FINS/TCP %1: length field %2 out of range, closing")
                  .arg(link()->peerName()).arg(length));
        fatalReply.bytes = errorNotification(length < 8 ? ErrNotSupported : ErrDataTooLong);
        fatalReply.closeNow = true;
        buffer.clear();
        return Take::Fatal;
    }
    const int total = 8 + static_cast<int>(length);
    if (buffer.size() < total)
        return Take::Incomplete;
    frame = buffer.left(total);
    buffer.remove(0, total);
    return Take::Frame;
}

Session::Reply FinsTcpSession::handleFrame(const QByteArray &frame)
{
    if (tracing())
        trace(QStringLiteral("FINS/TCP %1 <- %2").arg(link()->peerName(), hexText(frame)));
    switch (be32(frame, 8)) {
    case CmdNodeRequest:
        return nodeRequest(frame);
    case CmdFinsFrame:
        return command(frame);
    default:
        break;
    }
    Reply r;
    r.bytes = errorNotification(ErrNotSupported);
    r.closeNow = true;
    return r;
}

int FinsTcpSession::assignNode(int requested, quint32 &error)
{
    // Caller holds the mutex.
    auto &nodes = m_state->finsNodes;
    if (requested == 0) {
        auto freeNode = [&](int n) {
            return n != m_state->serverNode && (!nodes.contains(n) || nodes.value(n) == this);
        };
        for (int n = 239; n <= 254; ++n)
            if (freeNode(n))
                return n;
        for (int n = 1; n < 239; ++n)
            if (freeNode(n))
                return n;
        error = ErrNoNodeLeft;
        return -1;
    }
    FinsTcpSession *holder = nodes.value(requested);
    // A client that reconnects may be faster than the notice that its old
    // connection is gone: a holder whose peer has left gives the node up.
    if (holder && holder != this && static_cast<TcpLink *>(holder->link())->peerGone()) {
        nodes.remove(requested);
        holder->m_clientNode = -1;
        holder = nullptr;
    }
    if (holder && holder != this) {
        error = ErrNodeInUse;
        return -1;
    }
    return requested;
}

Session::Reply FinsTcpSession::nodeRequest(const QByteArray &frame)
{
    Reply r;
    if (frame.size() != kHeaderSize + 4) {
        r.bytes = errorNotification(ErrNotSupported);
        r.closeNow = true;
        return r;
    }
    const quint32 requested = be32(frame, 16);
    quint32 error = 0;
    int node = -1;
    int server = 0;
    {
        QMutexLocker lock(&m_state->mutex);
        server = m_state->serverNode;
        if (m_state->faults.silentHandshake)
            return r;
        if (m_state->faults.handshakeError != 0)
            error = m_state->faults.handshakeError;
        else if (requested > 254)
            error = ErrNodeOutOfRange;
        else
            node = assignNode(static_cast<int>(requested), error);
        if (node >= 0) {
            if (m_clientNode >= 0 && m_state->finsNodes.value(m_clientNode) == this)
                m_state->finsNodes.remove(m_clientNode);
            m_clientNode = node;
            m_state->finsNodes.insert(node, this);
        }
    }
    if (node < 0) {
        trace(QStringLiteral("FINS/TCP %1: node %2 refused, error %3")
                  .arg(link()->peerName()).arg(requested).arg(error, 2, 16, QLatin1Char('0')));
        r.bytes = errorNotification(error);
        r.closeNow = true;
        return r;
    }
    r.bytes = nodeAnswer(node, server);
    trace(QStringLiteral("FINS/TCP %1 -> %2").arg(link()->peerName(), hexText(r.bytes)));
    return r;
}

Session::Reply FinsTcpSession::command(const QByteArray &frame)
{
    Reply r;
    const QByteArray fins = frame.mid(kHeaderSize);
    Faults f;
    FinsResult result;
    {
        QMutexLocker lock(&m_state->mutex);
        ++m_state->stats.finsFrames;
        f = m_state->faults;
        if (f.silent || fins.size() < kFinsHeaderSize + 2)
            return r; // dropped unexecuted
        result = executeCommand(*m_state, f, fins.mid(kFinsHeaderSize), kMaxAnswerData);
        if (result.wrote)
            ++m_state->stats.writes;
    }
    if (static_cast<quint8>(fins.at(0)) & 0x01)
        return r; // ICF: no response wanted

    QByteArray header = responseHeader(fins.left(kFinsHeaderSize));
    if (f.wrongNode) {
        header[4] = static_cast<char>(static_cast<quint8>(header.at(4)) + 1);
        header[7] = static_cast<char>(static_cast<quint8>(header.at(7)) + 1);
    }
    if (f.wrongSid)
        header[9] = static_cast<char>(static_cast<quint8>(header.at(9)) + 1);
    QByteArray payload = header + fins.mid(kFinsHeaderSize, 2);
    QByteArray end;
    end.append(static_cast<char>(result.endCode >> 8));
    end.append(static_cast<char>(result.endCode & 0xFF));
    QByteArray data = result.data;
    if (f.cutShort) {
        if (data.isEmpty())
            end.chop(1);
        else
            data.chop((data.size() + 1) / 2);
    }
    payload += end + data;
    QByteArray answer = f.garbage ? kGarbage
                                  : finstcp::frame(CmdFinsFrame, 0, payload,
                                                   f.oversizedLength ? kOversizedLength : -1);
    r.bytes = f.staleFirst ? m_lastAnswer + answer : answer;
    m_lastAnswer = answer;
    r.delayMs = f.delayMs;
    r.chunkSize = f.chunkSize;
    r.chunkGapMs = f.chunkGapMs;
    r.commandAnswer = true;
    r.closeAfterFrames = f.closeAfterFrames;
    if (tracing())
        trace(QStringLiteral("FINS/TCP %1 -> %2").arg(link()->peerName(), hexText(r.bytes)));
    return r;
}

} // namespace plcsim
