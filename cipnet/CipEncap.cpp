#include "CipEncap.h"

namespace CipEncap {

namespace {

constexpr quint16 kNullAddress = 0x0000;
constexpr quint16 kConnectedAddress = 0x00A1;
constexpr quint16 kConnectedData = 0x00B1;
constexpr quint16 kUnconnectedData = 0x00B2;
// Seconds the request may take inside the controller: its reply carries its
// own value, which means nothing to us.
constexpr quint16 kRequestTimeout = 10;

QByteArray itemHeader(quint16 type, int length)
{
    QByteArray b;
    put16(b, type);
    put16(b, quint16(length));
    return b;
}

} // namespace

quint16 le16(const QByteArray &b, int at)
{
    return quint16(quint8(b.at(at)) | quint8(b.at(at + 1)) << 8);
}

quint32 le32(const QByteArray &b, int at)
{
    return quint32(le16(b, at)) | quint32(le16(b, at + 2)) << 16;
}

quint64 le64(const QByteArray &b, int at)
{
    return quint64(le32(b, at)) | quint64(le32(b, at + 4)) << 32;
}

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void put32(QByteArray &b, quint32 v)
{
    put16(b, quint16(v));
    put16(b, quint16(v >> 16));
}

void put64(QByteArray &b, quint64 v)
{
    put32(b, quint32(v));
    put32(b, quint32(v >> 32));
}

QByteArray frame(quint16 command, quint32 session, quint64 context, const QByteArray &data)
{
    QByteArray b;
    b.reserve(HeaderSize + data.size());
    put16(b, command);
    put16(b, quint16(data.size()));
    put32(b, session);
    put32(b, 0);
    put64(b, context);
    put32(b, 0);
    return b + data;
}

QByteArray registerSession(quint64 context)
{
    QByteArray data;
    put16(data, 1); // protocol version
    put16(data, 0); // options
    return frame(RegisterSession, 0, context, data);
}

QByteArray unregisterSession(quint32 session)
{
    return frame(UnRegisterSession, session, 0, QByteArray());
}

QByteArray listIdentity(quint64 context)
{
    return frame(ListIdentity, 0, context, QByteArray());
}

QByteArray sendRRData(quint32 session, quint64 context, const QByteArray &request)
{
    QByteArray data;
    put32(data, 0); // interface handle
    put16(data, kRequestTimeout);
    put16(data, 2);
    data += itemHeader(kNullAddress, 0);
    data += itemHeader(kUnconnectedData, request.size()) + request;
    return frame(SendRRData, session, context, data);
}

QByteArray sendUnitData(quint32 session, quint64 context, quint32 connectionId, quint16 sequence,
                        const QByteArray &request)
{
    QByteArray data;
    put32(data, 0);
    put16(data, 0);
    put16(data, 2);
    data += itemHeader(kConnectedAddress, 4);
    put32(data, connectionId);
    data += itemHeader(kConnectedData, request.size() + 2);
    put16(data, sequence);
    data += request;
    return frame(SendUnitData, session, context, data);
}

int completeFrame(const QByteArray &buffer)
{
    if (buffer.size() < HeaderSize)
        return 0;
    const int total = HeaderSize + le16(buffer, 2);
    return buffer.size() >= total ? total : 0;
}

bool parseHeader(const QByteArray &frame, Header *out)
{
    if (frame.size() < HeaderSize || frame.size() != HeaderSize + le16(frame, 2))
        return false;
    out->command = le16(frame, 0);
    out->length = le16(frame, 2);
    out->session = le32(frame, 4);
    out->status = le32(frame, 8);
    out->context = le64(frame, 12);
    out->options = le32(frame, 20);
    return true;
}

bool isReplyCommand(quint16 command)
{
    return command == ListIdentity || command == RegisterSession || command == SendRRData
        || command == SendUnitData;
}

bool unwrapReply(const QByteArray &frame, QByteArray *reply, quint16 *sequence)
{
    // interface handle (4), timeout (2), item count (2), then the items
    int at = HeaderSize + 6;
    if (frame.size() < at + 2 || le16(frame, at) != 2)
        return false;
    at += 2;
    for (int item = 0; item < 2; ++item) {
        if (frame.size() < at + 4)
            return false;
        const quint16 type = le16(frame, at);
        const int length = le16(frame, at + 2);
        at += 4;
        if (frame.size() < at + length)
            return false;
        if (type == kUnconnectedData) {
            *reply = frame.mid(at, length);
            return at + length == frame.size();
        }
        if (type == kConnectedData) {
            if (length < 2)
                return false;
            if (sequence)
                *sequence = le16(frame, at);
            *reply = frame.mid(at + 2, length - 2);
            return at + length == frame.size();
        }
        at += length;
    }
    return false;
}

const char *statusText(quint32 status)
{
    switch (status) {
    case 0x0000: return "success";
    case 0x0001: return "command not handled";
    case 0x0002: return "out of memory";
    case 0x0003: return "malformed data";
    case 0x0064: return "bad session handle";
    case 0x0065: return "bad length";
    case 0x0069: return "protocol version not supported";
    default: return "unknown encapsulation status";
    }
}

} // namespace CipEncap
