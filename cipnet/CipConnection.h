#ifndef CIPCONNECTION_H
#define CIPCONNECTION_H

// The class 3 connection of `connected=on`: Large_Forward_Open for
// 1994-byte messages to the Message Router, and its Forward_Close. Pure
// functions on QByteArray.

#include <QByteArray>
#include <QtGlobal>

namespace CipConnection {

// Message sizes: unconnected and Forward_Open, and Large_Forward_Open.
constexpr int UnconnectedLimit = 502;
constexpr int LargeLimit = 1994;

struct Ids {
    quint16 serial = 0;          // connection serial number
    quint16 vendor = 0;          // ours
    quint32 originatorSerial = 0;
    quint32 toTargetId = 0;      // O->T, chosen by the controller: goes into every request
    quint32 toOriginatorId = 0;  // T->O, proposed by us
};

// The Message Router request (service 0x5B to the Connection Manager).
QByteArray largeForwardOpen(const Ids &ids, int messageSize);
QByteArray forwardClose(const Ids &ids);
// The O->T id from a successful reply's data; false when it is too short or
// names another connection.
bool parseForwardOpenReply(const QByteArray &data, Ids *ids);

} // namespace CipConnection

#endif // CIPCONNECTION_H
