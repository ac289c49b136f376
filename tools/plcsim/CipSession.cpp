#include "CipSession.h"
#include "CipTagService.h"
#include "CipVariables.h"
#include "Link.h"
#include "SimState.h"

#include <QHostAddress>
#include <QRandomGenerator>

namespace plcsim {

namespace {

constexpr int kHeader = 24;

quint16 u16(const QByteArray &b, int at) { return quint16(quint8(b.at(at)) | quint8(b.at(at + 1)) << 8); }
quint32 u32(const QByteArray &b, int at) { return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16; }
void put16(QByteArray &b, quint32 v) { b.append(char(v & 0xFF)); b.append(char((v >> 8) & 0xFF)); }
void put32(QByteArray &b, quint32 v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }
void putBe16(QByteArray &b, quint32 v) { b.append(char((v >> 8) & 0xFF)); b.append(char(v & 0xFF)); }

QString hexText(const QByteArray &b) { return QString::fromLatin1(b.toHex(' ')); }

// The Message Router request of a SendRRData / SendUnitData frame; empty
// when its items are malformed.
QByteArray requestOf(const QByteArray &frame, bool connected, quint32 *connection, quint16 *sequence)
{
    int at = kHeader + 6;
    if (frame.size() < at + 2 || u16(frame, at) != 2)
        return QByteArray();
    at += 2;
    for (int item = 0; item < 2 && frame.size() >= at + 4; ++item) {
        const quint16 type = u16(frame, at);
        const int length = u16(frame, at + 2);
        at += 4;
        if (frame.size() < at + length)
            return QByteArray();
        if (type == 0xA1 && length == 4)
            *connection = u32(frame, at);
        if (type == (connected ? 0xB1 : 0xB2)) {
            const int skip = connected ? 2 : 0;
            if (connected && length >= 2)
                *sequence = u16(frame, at);
            return frame.mid(at + skip, length - skip);
        }
        at += length;
    }
    return QByteArray();
}

} // namespace

CipSession::CipSession(SimState *state, TcpLink *link, QObject *parent) : Session(state, link, parent) {}

Session::Take CipSession::takeFrame(QByteArray &buffer, QByteArray &frame, Reply &)
{
    if (buffer.size() < kHeader)
        return Take::Incomplete;
    const int total = kHeader + u16(buffer, 2);
    if (buffer.size() < total)
        return Take::Incomplete;
    frame = buffer.left(total);
    buffer.remove(0, total);
    return Take::Frame;
}

QByteArray CipSession::encapsulate(const QByteArray &header, quint32 status, const QByteArray &data) const
{
    QByteArray b = header.left(kHeader);
    b[2] = char(data.size() & 0xFF);
    b[3] = char(data.size() >> 8);
    QByteArray statusBytes;
    put32(statusBytes, status);
    b.replace(8, 4, statusBytes);
    return b + data;
}

Session::Reply CipSession::handleFrame(const QByteArray &frame)
{
    if (tracing())
        trace(QStringLiteral("CIP %1 <- %2").arg(link()->peerName(), hexText(frame)));
    Faults f;
    {
        QMutexLocker lock(&m_state->mutex);
        f = m_state->faults;
        ++m_state->stats.cipRequests;
    }
    Reply r;
    const quint16 command = u16(frame, 0);
    if (command == 0x0066) {
        r.closeNow = true;
        return r;
    }
    if (f.silent && command != 0x0065)
        return r;
    bool commandAnswer = false;
    QByteArray answer;
    switch (command) {
    case 0x0065: answer = registerSession(frame); break;
    case 0x0063: answer = listIdentity(frame); break;
    case 0x006F: answer = request(frame, false, f, &commandAnswer); break;
    case 0x0070: answer = request(frame, true, f, &commandAnswer); break;
    default: answer = encapsulate(frame, 0x0001, QByteArray()); break;
    }
    if (commandAnswer && f.cipWrongSession)
        answer[4] = char(quint8(answer.at(4)) + 1);
    if (commandAnswer && f.cipWrongContext)
        answer[12] = char(quint8(answer.at(12)) + 1);
    r.bytes = answer;
    r.delayMs = commandAnswer ? f.delayMs : 0;
    r.commandAnswer = commandAnswer;
    r.closeAfterFrames = f.closeAfterFrames;
    if (tracing())
        trace(QStringLiteral("CIP %1 -> %2").arg(link()->peerName(), hexText(answer)));
    return r;
}

QByteArray CipSession::registerSession(const QByteArray &frame)
{
    const QByteArray data = frame.mid(kHeader);
    if (data.size() != 4)
        return encapsulate(frame, 0x0065, QByteArray());
    if (u16(data, 0) != 1)
        return encapsulate(frame, 0x0069, data);
    if (m_session == 0)
        m_session = QRandomGenerator::global()->bounded(1u, 0x7FFFFFFFu);
    QByteArray answer = encapsulate(frame, 0, data);
    QByteArray handle;
    put32(handle, m_session);
    answer.replace(4, 4, handle);
    QMutexLocker lock(&m_state->mutex);
    ++m_state->stats.cipSessions;
    return answer;
}

QByteArray CipSession::listIdentity(const QByteArray &frame) const
{
    QByteArray item;
    put16(item, 1); // encapsulation protocol version
    putBe16(item, 2); // AF_INET, then port and address, big-endian
    putBe16(item, 44818);
    QByteArray address(4, '\0');
    address[0] = char(127);
    address[3] = char(1);
    item += address + QByteArray(8, '\0');
    put16(item, 0x002F); // vendor
    put16(item, 0x000C); // device type
    put16(item, 0x0BBB); // NX102-1200
    item.append(char(1));
    item.append(char(40));
    put16(item, 0x0030);
    put32(item, 0x01234567);
    const QByteArray name("NX102-1200");
    item.append(char(name.size()));
    item += name;
    item.append(char(3));
    QByteArray data;
    put16(data, 1);
    put16(data, 0x000C);
    put16(data, item.size());
    return encapsulate(frame, 0, data + item);
}

QByteArray CipSession::request(const QByteArray &frame, bool connected, const Faults &f, bool *commandAnswer)
{
    if (u32(frame, 4) != m_session || m_session == 0)
        return encapsulate(frame, 0x0064, QByteArray());
    quint32 connection = 0;
    quint16 sequence = 0;
    const QByteArray mr = requestOf(frame, connected, &connection, &sequence);
    if (mr.isEmpty() || (connected && (m_toTarget == 0 || connection != m_toTarget)))
        return encapsulate(frame, 0x0003, QByteArray());
    *commandAnswer = true;
    const quint8 service = quint8(mr.at(0));
    QByteArray answer;
    const bool tagService = service == 0x4C || service == 0x4D;
    if (service == 0x54 || service == 0x5B || service == 0x4E) {
        answer = connectionManager(mr);
    } else if (tagService && f.cipStatus != 0) {
        answer = cipStatusReply(service, quint8(f.cipStatus), f.cipAdditional);
    } else {
        CipServiceOptions options;
        options.replyLimit = connected ? m_limit : 502;
        options.padRequired = f.cipPadRequired;
        bool wrote = false;
        QMutexLocker lock(&m_state->mutex);
        answer = cipExecute(m_state->cip, mr, options, &wrote);
        if (wrote)
            ++m_state->stats.writes;
    }
    if (f.cutShort && answer.size() > 4)
        answer.chop((answer.size() - 4 + 1) / 2);
    QByteArray data;
    put32(data, 0);
    put16(data, 0);
    put16(data, 2);
    if (connected) {
        put16(data, 0xA1);
        put16(data, 4);
        put32(data, m_toOriginator);
        put16(data, 0xB1);
        put16(data, answer.size() + 2);
        put16(data, sequence);
    } else {
        put32(data, 0);
        put16(data, 0xB2);
        put16(data, answer.size());
    }
    if (f.garbage)
        data[6] = '\x03'; // an item count the items do not match
    return encapsulate(frame, 0, data + answer);
}

// Forward_Open, Large_Forward_Open and Forward_Close to the Connection
// Manager (20 06 24 01).
QByteArray CipSession::connectionManager(const QByteArray &mr)
{
    const quint8 service = quint8(mr.at(0));
    const int pathBytes = mr.size() > 1 ? 2 * quint8(mr.at(1)) : 0;
    const QByteArray data = mr.mid(2 + pathBytes);
    if (mr.mid(2, pathBytes) != QByteArray("\x20\x06\x24\x01", 4))
        return cipStatusReply(service, 0x05);
    if (service == 0x4E) {
        if (data.size() < 10)
            return cipStatusReply(service, 0x13);
        m_toTarget = 0;
        m_limit = 502;
        QByteArray reply = cipStatusReply(service, 0);
        reply += data.mid(2, 8); // serial, vendor, originator serial
        reply.append('\0');
        reply.append('\0');
        return reply;
    }
    const bool large = service == 0x5B;
    const int paramsSize = large ? 4 : 2;
    if (data.size() < 26 + 2 * paramsSize + 4)
        return cipStatusReply(service, 0x13);
    const quint32 otParams = large ? u32(data, 26) : u16(data, 26);
    const int size = int(otParams & (large ? 0xFFFF : 0x1FF));
    const int most = large ? 1994 : 502;
    if (size < 2 + 4 || size - 2 > most)
        return cipStatusReply(service, 0x01, 0x0109); // invalid connection size
    m_toOriginator = u32(data, 6);
    m_toTarget = QRandomGenerator::global()->bounded(1u, 0x7FFFFFFFu);
    m_limit = size - 2;
    QByteArray reply = cipStatusReply(service, 0);
    put32(reply, m_toTarget);
    put32(reply, m_toOriginator);
    reply += data.mid(10, 8); // serial, vendor, originator serial
    put32(reply, u32(data, 22));
    put32(reply, u32(data, 26 + paramsSize));
    reply.append('\0');
    reply.append('\0');
    return reply;
}

} // namespace plcsim
