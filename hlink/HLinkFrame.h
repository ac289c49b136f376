#ifndef HLINKFRAME_H
#define HLINKFRAME_H

// Host Link "FA" frames around FINS commands, as pure functions on byte
// arrays: a FINS command into an FA request, and an FA answer checked
// against its request and turned back into the FINS answer it carries
// (reassembly is HostLinkReceiveBuffer's, the FINS check FinsAnswer's).
//
// Request:  "@" unit(2) "FA" wait(1) ICF(2) DA2(2) SA2(2) SID(2) command(4)
//           parameters ... FCS(2) "*" CR
// Answer:   "@" unit(2) "FA" end code(2) ICF(2) DA2(2) SA2(2) SID(2)
//           command(4) FINS end code(4) data ... FCS(2) "*" CR

#include <QByteArray>
#include <QString>

namespace HLinkFrame {

// A read answer may hold 1,076 data characters: 269 words.
constexpr int MaxReadWords = 269;
// Writes are kept to 256 words (1,058 request characters) per frame.
constexpr int MaxWriteWords = 256;
// Bit writes: one item per bit, kept to the same number of items.
constexpr int MaxBitItems = 256;
// Longest Host Link answer (the receive buffer's cap is HostLinkReceiveBuffer's).
constexpr int MaxAnswerChars = 1115;
// Offsets in a request and in an answer.
constexpr int RequestSidPos = 12;
constexpr int RequestCommandPos = 14;
constexpr int AnswerSidPos = 13;
constexpr int AnswerCommandPos = 15;
constexpr int AnswerEndCodePos = 19;
constexpr int AnswerDataPos = 23;
// Characters around the data of an answer: header 23 + FCS 2 + "*" CR.
constexpr int AnswerOverhead = AnswerDataPos + 4;

// Exclusive OR of the first `n` bytes (bytes past the end are skipped).
unsigned char fcs(const QByteArray &data, int n);
// 0..15 to '0'..'9', 'A'..'F'; any other value is returned unchanged.
unsigned short hexChar(unsigned short value);
// '0'..'9', 'A'..'F' to 0..15; any other character is returned unchanged.
unsigned short digitOf(unsigned short character);
// True for the characters hexChar produces.
bool isUpperHex(char c);

// `value` as `digits` upper-case hex characters, most significant first.
QByteArray hexField(unsigned value, int digits);
// Appends the FCS over everything in `body`, then "*" CR.
QByteArray finish(QByteArray body);

// The FA request for unit `unit` carrying the FINS `command` (FINS header
// first): its ICF, DA2, SA2 and SID, then the command code and parameters,
// as upper-case hex. The frame is the one of a directly connected
// controller, which has no network fields: the ICF goes out without its
// gateway bit.
QByteArray request(int unit, const QByteArray &command);

// Characters of the answer a request expects when it succeeds.
int expectedAnswerLength(const QByteArray &request);
// Number of data words the answer to `request` carries (0 for writes).
int expectedDataWords(const QByteArray &request);
// The words of a wrong data length (in characters), as the checks word it.
QString dataLengthText(int got, int expected);

enum class Verdict {
    Accepted, // an FA answer to this request; the FINS answer in it is FinsAnswer's to check
    Foreign,  // a sound frame for another unit or another (earlier) request
    Failed    // meant for this request but unusable; `failure` says why
};

struct AnswerCheck {
    Verdict verdict = Verdict::Failed;
    QString failure;
    int endCode = -1; // Failed on a Host Link end code: that code
};

// Checks a complete frame (ending in "*" CR) against its request: the
// frame, its FCS, unit, header code, Host Link end code and SID, and that
// what it carries is whole bytes in upper-case hex.
AnswerCheck checkAnswer(const QByteArray &answer, const QByteArray &request);

// The FINS answer an accepted FA answer to `command` carries: a FINS
// response header (the command's node numbers exchanged, its SID), then
// command code, end code and data.
QByteArray finsAnswer(const QByteArray &answer, const QByteArray &command);

} // namespace HLinkFrame

#endif // HLINKFRAME_H
