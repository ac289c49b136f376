#ifndef CIPENCAP_H
#define CIPENCAP_H

// The EtherNet/IP encapsulation around every request: the 24-byte header,
// RegisterSession, and the SendRRData / SendUnitData items that carry one
// Message Router request. Pure functions on QByteArray; integers are
// little-endian.

#include <QByteArray>
#include <QtGlobal>

namespace CipEncap {

enum Command : quint16 {
    ListIdentity = 0x0063,
    RegisterSession = 0x0065,
    UnRegisterSession = 0x0066,
    SendRRData = 0x006F,
    SendUnitData = 0x0070,
};

constexpr int HeaderSize = 24;
// The length field is 16 bits: no frame is longer than this.
constexpr int MaxFrame = HeaderSize + 0xFFFF;

struct Header {
    quint16 command = 0;
    quint16 length = 0;
    quint32 session = 0;
    quint32 status = 0;
    quint64 context = 0;
    quint32 options = 0;
};

QByteArray frame(quint16 command, quint32 session, quint64 context, const QByteArray &data);
QByteArray registerSession(quint64 context);
QByteArray unregisterSession(quint32 session);
QByteArray listIdentity(quint64 context);
// An unconnected request: null address item, unconnected data item.
QByteArray sendRRData(quint32 session, quint64 context, const QByteArray &request);
// A connected request on connection `connectionId` with its sequence count.
QByteArray sendUnitData(quint32 session, quint64 context, quint32 connectionId, quint16 sequence,
                        const QByteArray &request);

// Bytes of the first complete frame at the start of `buffer`; 0 while it is
// incomplete.
int completeFrame(const QByteArray &buffer);
bool parseHeader(const QByteArray &frame, Header *out);
// True for the commands a controller replies with.
bool isReplyCommand(quint16 command);

// The Message Router reply inside a SendRRData / SendUnitData answer; false
// when the items are malformed. For SendUnitData `sequence` receives the
// echoed sequence count.
bool unwrapReply(const QByteArray &frame, QByteArray *reply, quint16 *sequence = nullptr);

// The encapsulation status in words.
const char *statusText(quint32 status);

quint16 le16(const QByteArray &b, int at);
quint32 le32(const QByteArray &b, int at);
quint64 le64(const QByteArray &b, int at);
void put16(QByteArray &b, quint16 v);
void put32(QByteArray &b, quint32 v);
void put64(QByteArray &b, quint64 v);

} // namespace CipEncap

#endif // CIPENCAP_H
