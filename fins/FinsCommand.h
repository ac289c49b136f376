#ifndef FINSCOMMAND_H
#define FINSCOMMAND_H

// FINS frames independent of the transport: the 10-byte FINS header with the
// memory-area commands the drivers send, and the checks of an answer against
// its request. FINS/TCP puts its own header in front of these bytes; FINS/UDP
// sends them as they are. Offsets count from the first byte of the FINS
// header. Pure functions, no sockets.

#include <QByteArray>
#include <QtGlobal>

namespace FinsCommand {

// ICF, RSV, GCT, DNA, DA1, DA2, SNA, SA1, SA2, SID.
constexpr int HeaderSize = 10;
constexpr int OffIcf = 0;
constexpr int OffDa1 = 4;
constexpr int OffSa1 = 7;
constexpr int OffSid = 9;
constexpr int OffCommand = 10;
constexpr int OffEndCode = 12;
constexpr int OffData = 14;
constexpr int ResponseHeadSize = 14; // up to and including the end code
// The largest FINS frame of the controllers with 2,012-byte frames.
constexpr int MaxFrameSize = 2012;

constexpr quint16 MemoryAreaRead = 0x0101;
constexpr quint16 MemoryAreaWrite = 0x0102;
constexpr quint16 ControllerDataRead = 0x0501;
constexpr quint16 ControllerStatusRead = 0x0601;
constexpr quint16 ClockRead = 0x0701;
constexpr quint16 ClockWrite = 0x0702;

// The node numbers every command carries: the controller's (DA1) and ours
// (SA1). Networks and units (DNA, DA2, SNA, SA2) are always 0: the local
// network, the CPU unit.
struct Nodes {
    int plc = 0;  // DA1
    int ours = 0; // SA1
};

// Any command: FINS header, the command code, then `parameters` as given.
// The controller commands (controller data, status, clock) are built with it.
QByteArray command(const Nodes &nodes, quint8 sid, quint16 commandCode, const QByteArray &parameters = QByteArray());

// Words one Memory Area Read / Write may carry in a 2,012-byte frame, and
// bit items one bit write may carry (a multiple of 16, so every part after
// the first starts at the same bit number).
constexpr int MaxReadWords = 999;
constexpr int MaxWriteWords = 997;
constexpr int MaxWriteBits = 1984;

// Memory Area Read (01 01) of `words` words. Node numbers and the other
// numeric fields contribute their low bits only.
QByteArray readCommand(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress, int words);
// Memory Area Write (01 02) of whole words; `data` holds two bytes per word.
// A stray odd byte is not sent, so item count and data always agree.
QByteArray writeWordsCommand(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                             const QByteArray &data);
// Memory Area Write (01 02) of bit items; `data` holds one byte (00/01) per bit.
QByteArray writeBitsCommand(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                            int bitNumber, const QByteArray &data);

// How a frame relates to the request it may answer, by SID and command code.
enum class Match {
    Ours,      // SID and command code echo the request
    Foreign,   // a stale or foreign answer: drop it and keep waiting
    Malformed  // too short to carry a FINS response head
};
Match matchAnswer(const QByteArray &request, const QByteArray &answer);

// Node numbers of the answer exchanged relative to the request: its DA1 is
// the request's SA1 and its SA1 the request's DA1.
bool nodesMatch(const QByteArray &request, const QByteArray &answer);

// The full check of a frame that may answer `request` where nothing but the
// FINS header says whom a frame is for (one datagram, one frame).
enum class Verdict {
    Ours,        // a response with our SID, command code and node numbers
    WrongNodes,  // our SID and command code, but addressed to someone else
    Foreign,     // another SID or command code: stale, duplicated or foreign
    Malformed    // not a FINS response: too short, too long, not a response
};
Verdict checkAnswer(const QByteArray &request, const QByteArray &answer);

// The answer's end code as sent (MRES << 8 | SRES); 0xFFFF when it has none.
quint16 endCode(const QByteArray &answer);
// Normal completion once the relay-error flag (MRES bit 7) and the CPU unit
// status flags (SRES bits 6-7) are masked: "00 40" is a success.
bool isNormalCompletion(quint16 endCode);

} // namespace FinsCommand

#endif // FINSCOMMAND_H
