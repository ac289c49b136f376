#include "CipConnection.h"

#include "CipEncap.h"
#include "CipMessage.h"

namespace CipConnection {

namespace {

using CipEncap::put16;
using CipEncap::put32;

const QByteArray kConnectionManager("\x20\x06\x24\x01", 4);
const QByteArray kMessageRouter("\x20\x02\x24\x01", 4);
// 2^10 ms ticks x 5: about 5 s for the controller to take the request.
constexpr quint8 kPriorityTick = 0x0A;
constexpr quint8 kTimeoutTicks = 0x05;
constexpr quint32 kRpiUs = 2000000;
// Class 3, application triggered, server.
constexpr quint8 kTransportClass3 = 0xA3;
// Point to point, low priority, variable size (upper half of the 32-bit field).
constexpr quint32 kLargeParameters = 0x42000000;

void appendIdentity(QByteArray &b, const Ids &ids)
{
    put16(b, ids.serial);
    put16(b, ids.vendor);
    put32(b, ids.originatorSerial);
}

} // namespace

QByteArray largeForwardOpen(const Ids &ids, int messageSize)
{
    QByteArray b;
    b.append(char(kPriorityTick));
    b.append(char(kTimeoutTicks));
    put32(b, 0); // O->T id: the controller picks it
    put32(b, ids.toOriginatorId);
    appendIdentity(b, ids);
    b.append('\x01');          // timeout multiplier x8
    b.append(QByteArray(3, '\0'));
    // The size includes the 2-byte sequence count of every connected message.
    const quint32 parameters = kLargeParameters | quint32(messageSize + 2);
    put32(b, kRpiUs);
    put32(b, parameters);
    put32(b, kRpiUs);
    put32(b, parameters);
    b.append(char(kTransportClass3));
    b.append(char(kMessageRouter.size() / 2));
    b.append(kMessageRouter);
    return CipMessage::request(CipMessage::LargeForwardOpen, kConnectionManager, b);
}

QByteArray forwardClose(const Ids &ids)
{
    QByteArray b;
    b.append(char(kPriorityTick));
    b.append(char(kTimeoutTicks));
    appendIdentity(b, ids);
    b.append(char(kMessageRouter.size() / 2));
    b.append('\0');
    b.append(kMessageRouter);
    return CipMessage::request(CipMessage::ForwardClose, kConnectionManager, b);
}

bool parseForwardOpenReply(const QByteArray &data, Ids *ids)
{
    // O->T id, T->O id, serial, vendor, originator serial, ...
    if (data.size() < 16 || CipEncap::le32(data, 4) != ids->toOriginatorId
        || CipEncap::le16(data, 8) != ids->serial)
        return false;
    ids->toTargetId = CipEncap::le32(data, 0);
    return true;
}

} // namespace CipConnection
