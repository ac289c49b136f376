#ifndef PLCSIM_FINSTCPFRAMES_H
#define PLCSIM_FINSTCPFRAMES_H

// FINS/TCP frame building and header access, controller side.

#include <QByteArray>
#include <QtGlobal>

namespace plcsim {
namespace finstcp {

constexpr quint32 CmdNodeRequest = 0;
constexpr quint32 CmdNodeAnswer = 1;
constexpr quint32 CmdFinsFrame = 2;
constexpr quint32 CmdErrorNotification = 3;

constexpr quint32 ErrNotFins = 0x01;
constexpr quint32 ErrDataTooLong = 0x02;
constexpr quint32 ErrNotSupported = 0x03;
constexpr quint32 ErrNodeInUse = 0x21;
constexpr quint32 ErrNodeOutOfRange = 0x23;
constexpr quint32 ErrNoNodeLeft = 0x25;

constexpr int kHeaderSize = 16;
constexpr int kFinsHeaderSize = 10;
constexpr int kMaxFinsFrame = 2012;
constexpr quint32 kMaxLengthField = kMaxFinsFrame + 8;
// Data bytes of the largest answer: frame minus header, command and end code.
constexpr int kMaxAnswerData = kMaxFinsFrame - kFinsHeaderSize - 2 - 2;

quint32 be32(const QByteArray &bytes, int offset);
void appendBe32(QByteArray &out, quint32 value);

// "FINS", length (8 + payload, unless `lengthField` overrides it), command,
// error code, payload.
QByteArray frame(quint32 command, quint32 errorCode, const QByteArray &payload = {},
                 qint64 lengthField = -1);

// Node address answer (command 1): client node, server node.
QByteArray nodeAnswer(int clientNode, int serverNode);
// Error notification (command 3) with `errorCode` in the header.
QByteArray errorNotification(quint32 errorCode);

// FINS header of the response to a command header: ICF C0, RSV 00, GCT 02,
// destination and source fields exchanged, SID echoed.
QByteArray responseHeader(const QByteArray &commandHeader);

} // namespace finstcp
} // namespace plcsim

#endif
