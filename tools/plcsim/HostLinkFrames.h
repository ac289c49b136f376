#ifndef PLCSIM_HOSTLINKFRAMES_H
#define PLCSIM_HOSTLINKFRAMES_H

// Host Link text frames, controller side: check code, hex text, request
// parsing and answer building.

#include <QByteArray>
#include <QtGlobal>

namespace plcsim {
namespace hostlink {

constexpr int kMaxFrame = 1115;      // characters, "@" through CR
constexpr int kMaxAnswerData = 538;  // bytes (1076 characters): 269 words
constexpr int kMaxBuffered = 4096;   // unterminated input beyond this is dropped

// Host Link end codes the controller answers with.
constexpr quint8 EndFcsError = 0x13;
constexpr quint8 EndFormatError = 0x14;
constexpr quint8 EndFrameLengthError = 0x18;

// Exclusive OR of every character.
quint8 fcs(const QByteArray &chars);
QByteArray hexByte(quint8 value);   // two upper-case digits
QByteArray hexBytes(const QByteArray &bytes);
// Strict: upper-case digits only, even length. False on anything else.
bool parseHex(const QByteArray &text, QByteArray &bytes);

struct Request
{
    int unit = -1;          // -1: the unit digits are no hex number
    QByteArray headerCode;  // "FA", ...
    bool fcsOk = false;
    bool wellFormed = false; // "*" CR in place and, for "FA", a parsable body
    int waitTime = 0;        // response wait time digit (x 10 ms)
    QByteArray fins;         // "FA": ICF, DA2, SA2, SID, command code, parameters
};

// `frame` runs from "@" through CR.
Request parseRequest(const QByteArray &frame);

// "@", unit, header code, end code, FCS, "*", CR.
QByteArray errorAnswer(int unit, const QByteArray &headerCode, quint8 endCode);
// The answer to a header code the controller does not know: "@", unit, "IC".
QByteArray undefinedCommandAnswer(int unit);
// `body` + FCS (+ "*" CR unless `terminator` is false).
QByteArray withFcs(const QByteArray &body, quint8 fcsXor = 0, bool terminator = true);

} // namespace hostlink
} // namespace plcsim

#endif
