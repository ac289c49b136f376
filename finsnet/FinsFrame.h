#ifndef FINSFRAME_H
#define FINSFRAME_H

// FINS/TCP frames as byte strings: building the driver's requests, finding
// one complete frame in a receive buffer, and matching an answer to the
// request it belongs to. Pure functions, no sockets. The FINS frame inside
// (header, command, checks) is FinsCommand's; this adds the FINS/TCP header.

#include <QByteArray>
#include <QtGlobal>

#include "FinsCommand.h"

namespace FinsFrame {

// FINS/TCP header: magic, length, command, error code (4 bytes each).
constexpr int HeaderSize = 16;
// The length field counts everything after itself. A FINS frame is at most
// 2,012 bytes, so command 2 carries at most 8 + 2012.
constexpr int MaxLengthField = 2020;
constexpr int MaxFrameSize = 8 + MaxLengthField;

// Offsets into a command 2 frame (FINS/TCP header + FINS header).
constexpr int OffIcf = HeaderSize + FinsCommand::OffIcf;
constexpr int OffDa1 = HeaderSize + FinsCommand::OffDa1;
constexpr int OffSa1 = HeaderSize + FinsCommand::OffSa1;
constexpr int OffSid = HeaderSize + FinsCommand::OffSid;
constexpr int OffCommand = HeaderSize + FinsCommand::OffCommand;
constexpr int OffEndCode = HeaderSize + FinsCommand::OffEndCode;
constexpr int OffData = HeaderSize + FinsCommand::OffData;
constexpr int ResponseHeadSize = HeaderSize + FinsCommand::ResponseHeadSize; // up to and including the end code

// FINS/TCP commands.
enum TcpCommand : quint32 {
    NodeRequest = 0,
    NodeAnswer = 1,
    FinsPayload = 2,
    ErrorNotice = 3,
    ConnectionConfirm = 6
};

// Words one Memory Area Read / Write may carry in a 2,012-byte frame, and
// bit items one bit write may carry.
constexpr int MaxReadWords = FinsCommand::MaxReadWords;
constexpr int MaxWriteWords = FinsCommand::MaxWriteWords;
constexpr int MaxWriteBits = FinsCommand::MaxWriteBits;

// Node-address request asking for `clientNode` (0 = assign one).
QByteArray nodeRequest(quint8 clientNode);

// The answer to a node-address request: command 1, or the error notice
// (command 3) a controller refuses it with.
struct NodeReply {
    enum Outcome {
        Assigned,    // the client and server node numbers are set
        NodeRefused, // the node asked for is taken, out of range or the PLC's own
        Rejected,    // refused for another reason (all connections in use ...)
        Malformed    // no node answer at all, or one of the wrong size
    };
    Outcome outcome = Malformed;
    quint32 errorCode = 0; // the header's error code
    int clientNode = 0;
    int serverNode = 0;
};
NodeReply readNodeAnswer(const QByteArray &frame);

// A FINS/TCP command 2 frame carrying `finsCommand` (FINS header on).
QByteArray commandFrame(const QByteArray &finsCommand);

// Memory Area Read (01 01) of `words` words.
QByteArray readFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress, int words);
// Memory Area Write (01 02) of whole words; `data` holds two bytes per word.
QByteArray writeWordsFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                           const QByteArray &data);
// Memory Area Write (01 02) of bit items; `data` holds one byte (00/01) per bit.
QByteArray writeBitsFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                          int bitNumber, const QByteArray &data);

enum class Scan { Complete, Incomplete, Garbage };
// Looks for one FINS/TCP frame at the start of `buffer`. Complete sets
// `*size` to the frame's total size. Garbage: no "FINS" magic, or a length
// field that no frame can have; nothing in the buffer can be trusted then.
Scan findFrame(const QByteArray &buffer, int *size);

quint32 tcpCommand(const QByteArray &frame);
quint32 tcpErrorCode(const QByteArray &frame);

// How a complete command 2 frame relates to the request it may answer:
// Ours, Foreign (stale or foreign: drop it and keep waiting) or Malformed
// (too short to carry a FINS response head).
using Match = FinsCommand::Match;
Match matchAnswer(const QByteArray &request, const QByteArray &answer);

// The answer's end code as sent (MRES << 8 | SRES).
quint16 endCode(const QByteArray &answer);
// Normal completion once the relay-error flag (MRES bit 7) and the CPU unit
// status flags (SRES bits 6-7) are masked: "00 40" is a success.
bool isNormalCompletion(quint16 endCode);
// Node numbers of the answer exchanged relative to the request.
bool nodesMatch(const QByteArray &request, const QByteArray &answer);

// What is wrong with a read answer already matched to its request by SID
// and command code, checked in this order: node numbers not exchanged, an
// error end code, not exactly `byteLen` data bytes.
enum class AnswerFault { None, Nodes, EndCode, Length };
AnswerFault readAnswerFault(const QByteArray &request, const QByteArray &answer, int byteLen);

} // namespace FinsFrame

#endif // FINSFRAME_H
