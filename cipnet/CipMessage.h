#ifndef CIPMESSAGE_H
#define CIPMESSAGE_H

// Message Router requests and the check of their replies. A reply is taken
// only when its service is the request's | 0x80 and its status fields fit in
// it; a nonzero general status ends in an Outcome with the status in words.
// Pure functions on QByteArray.

#include <QByteArray>
#include <QString>
#include <QVector>

#include "Outcome.h"

namespace CipMessage {

enum Service : quint8 {
    GetAttributeSingle = 0x0E,
    SetAttributeSingle = 0x10,
    ReadTag = 0x4C,
    WriteTag = 0x4D,
    ForwardClose = 0x4E,
    ForwardOpen = 0x54,
    LargeForwardOpen = 0x5B,
};

enum GeneralStatus : quint8 {
    Ok = 0x00,
    PathDestinationUnknown = 0x05,
    NotEnoughData = 0x13,
    VendorSpecific = 0x1F,
};

struct Reply {
    quint8 service = 0;
    quint8 general = 0;
    QVector<quint16> additional;
    QByteArray data;
};

// service, path size in words, path (padded to even), data.
QByteArray request(quint8 service, const QByteArray &path, const QByteArray &data);
QByteArray readTag(const QByteArray &path, quint16 count);
QByteArray writeTag(const QByteArray &path, const QByteArray &typeField, quint16 count, const QByteArray &values);
// Logical path class / instance / attribute, 8-bit segments.
QByteArray getAttribute(quint8 classId, quint8 instance, quint8 attribute);

// Splits a reply into its fields; false when it is too short for them.
bool parse(const QByteArray &bytes, Reply *out);

// The reply to a request of `service`: Done with `out` filled, BadAnswer
// when it is malformed or answers another service, EndCode with the general
// status in `endCode` and in words.
Outcome check(const QByteArray &bytes, quint8 service, Reply *out);

// A general status (and its first additional status) in words.
QString statusText(quint8 general, int additional = -1);

} // namespace CipMessage

#endif // CIPMESSAGE_H
