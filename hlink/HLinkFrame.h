#ifndef HLINKFRAME_H
#define HLINKFRAME_H

// Host Link "FA" frames carrying FINS memory-area commands, as pure
// functions on byte arrays: building requests and checking an answer against
// the request it should belong to (reassembly is HostLinkReceiveBuffer's).
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

// Memory Area Read (01 01) of `count` words.
QByteArray readRequest(int unit, int sid, int area, int word, int count);
// Memory Area Write (01 02): `digits` holds four digit values (0..15) per
// word, most significant first; the word count is digits.size() / 4.
QByteArray writeRequest(int unit, int sid, int area, int word, const QByteArray &digits);
// Memory Area Write on a bit area: one item per byte of `bits` (0 or 1),
// starting at bit `bit` of `word`.
QByteArray bitWriteRequest(int unit, int sid, int bitArea, int word, int bit, const QByteArray &bits);

// Characters of the answer a request expects when it succeeds.
int expectedAnswerLength(const QByteArray &request);
// Number of data words the answer to `request` carries (0 for writes).
int expectedDataWords(const QByteArray &request);

enum class Verdict {
    Accepted, // the answer to this request, command completed normally
    Foreign,  // a sound frame for another unit or another (earlier) request
    Failed    // meant for this request but unusable; `failure` says why
};

struct AnswerCheck {
    Verdict verdict = Verdict::Failed;
    QString failure;
    QByteArray digits; // data digit values (0..15), set when Accepted
    int endCode = -1;  // Failed on an end code: the Host Link or FINS end code
    bool hostLinkEndCode = false; // endCode is the Host Link frame's, not the FINS command's
};

// Checks a complete frame (ending in "*" CR) against its request.
AnswerCheck checkAnswer(const QByteArray &answer, const QByteArray &request);

} // namespace HLinkFrame

#endif // HLINKFRAME_H
