#include "HLinkFrame.h"

#include "HostLinkFcs.h"

namespace HLinkFrame {
namespace {

const char kTerminator[] = "*\r";

// Header of every request up to and including the SID: unit, "FA", response
// wait 0, ICF, DA2 and SA2 all 00.
QByteArray requestHeader(int unit, int sid)
{
    QByteArray frame;
    frame.reserve(64);
    frame += '@';
    frame += hexField(static_cast<unsigned>(unit) & 0xFF, 2);
    frame += "FA0000000";
    frame += hexField(static_cast<unsigned>(sid) & 0xFF, 2);
    return frame;
}

bool parseHex(const QByteArray &text, unsigned *value)
{
    unsigned v = 0;
    for (char c : text) {
        if (!isUpperHex(c))
            return false;
        v = (v << 4) | digitOf(static_cast<unsigned char>(c));
    }
    *value = v;
    return true;
}

AnswerCheck failed(const QString &why)
{
    AnswerCheck check;
    check.verdict = Verdict::Failed;
    check.failure = why;
    return check;
}

AnswerCheck foreign(const QString &why)
{
    AnswerCheck check;
    check.verdict = Verdict::Foreign;
    check.failure = why;
    return check;
}

QString latin(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace

unsigned char fcs(const QByteArray &data, int n)
{
    return HostLinkFcs::of(data, n);
}

unsigned short hexChar(unsigned short value)
{
    if (value <= 9)
        return static_cast<unsigned short>('0' + value);
    if (value <= 15)
        return static_cast<unsigned short>('A' + value - 10);
    return value;
}

unsigned short digitOf(unsigned short character)
{
    if (character >= '0' && character <= '9')
        return static_cast<unsigned short>(character - '0');
    if (character >= 'A' && character <= 'F')
        return static_cast<unsigned short>(character - 'A' + 10);
    return character;
}

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

QByteArray hexField(unsigned value, int digits)
{
    QByteArray text(digits, '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[i] = static_cast<char>(hexChar(value & 0xF));
        value >>= 4;
    }
    return text;
}

QByteArray finish(QByteArray body)
{
    body += hexField(fcs(body, body.size()), 2);
    body += kTerminator;
    return body;
}

QByteArray readRequest(int unit, int sid, int area, int word, int count)
{
    QByteArray frame = requestHeader(unit, sid);
    frame += "0101";
    frame += hexField(static_cast<unsigned>(area) & 0xFF, 2);
    frame += hexField(static_cast<unsigned>(word) & 0xFFFF, 4);
    frame += "00";
    frame += hexField(static_cast<unsigned>(count) & 0xFFFF, 4);
    return finish(frame);
}

QByteArray writeRequest(int unit, int sid, int area, int word, const QByteArray &digits)
{
    QByteArray frame = requestHeader(unit, sid);
    frame += "0102";
    frame += hexField(static_cast<unsigned>(area) & 0xFF, 2);
    frame += hexField(static_cast<unsigned>(word) & 0xFFFF, 4);
    frame += "00";
    frame += hexField(static_cast<unsigned>(digits.size() / 4) & 0xFFFF, 4);
    for (char d : digits)
        frame += static_cast<char>(hexChar(static_cast<unsigned char>(d) & 0xF));
    return finish(frame);
}

QByteArray bitWriteRequest(int unit, int sid, int bitArea, int word, int bit, const QByteArray &bits)
{
    QByteArray frame = requestHeader(unit, sid);
    frame += "0102";
    frame += hexField(static_cast<unsigned>(bitArea) & 0xFF, 2);
    frame += hexField(static_cast<unsigned>(word) & 0xFFFF, 4);
    frame += hexField(static_cast<unsigned>(bit) & 0xFF, 2);
    frame += hexField(static_cast<unsigned>(bits.size()) & 0xFFFF, 4);
    for (char b : bits)
        frame += b ? "01" : "00";
    return finish(frame);
}

int expectedDataWords(const QByteArray &request)
{
    if (request.mid(RequestCommandPos, 4) != "0101")
        return 0;
    unsigned count = 0;
    return parseHex(request.mid(26, 4), &count) ? static_cast<int>(count) : 0;
}

int expectedAnswerLength(const QByteArray &request)
{
    return AnswerOverhead + 4 * expectedDataWords(request);
}

AnswerCheck checkAnswer(const QByteArray &answer, const QByteArray &request)
{
    if (!answer.endsWith(kTerminator))
        return failed(QStringLiteral("no terminator"));
    if (!answer.startsWith('@'))
        return failed(QStringLiteral("no at sign"));
    const int bodySize = answer.size() - 4;
    if (bodySize < 7)
        return failed(QStringLiteral("answer too short (%1 characters)").arg(answer.size()));
    const QByteArray body = answer.left(bodySize);
    unsigned sent = 0;
    const unsigned computed = fcs(body, bodySize);
    if (!parseHex(answer.mid(bodySize, 2), &sent) || sent != computed)
        return failed(QStringLiteral("FCS %1, computed %2")
                          .arg(latin(answer.mid(bodySize, 2)), latin(hexField(computed, 2))));
    if (body.mid(1, 2) != request.mid(1, 2))
        return foreign(QStringLiteral("unit %1").arg(latin(body.mid(1, 2))));
    if (body.mid(3, 2) != "FA")
        return failed(QStringLiteral("header code %1").arg(latin(body.mid(3, 2))));
    if (body.mid(5, 2) != "00") {
        AnswerCheck check = failed(QStringLiteral("Host Link end code %1").arg(latin(body.mid(5, 2))));
        check.endCode = int(body.mid(5, 2).toUInt(nullptr, 16));
        check.hostLinkEndCode = true;
        return check;
    }
    if (bodySize < AnswerDataPos)
        return failed(QStringLiteral("answer too short (%1 characters)").arg(answer.size()));
    if (body.mid(AnswerSidPos, 2) != request.mid(RequestSidPos, 2))
        return foreign(QStringLiteral("SID %1").arg(latin(body.mid(AnswerSidPos, 2))));
    if (body.mid(AnswerCommandPos, 4) != request.mid(RequestCommandPos, 4))
        return failed(QStringLiteral("command %1 echoed").arg(latin(body.mid(AnswerCommandPos, 4))));
    unsigned endCode = 0;
    if (!parseHex(body.mid(AnswerEndCodePos, 4), &endCode))
        return failed(QStringLiteral("FINS end code %1 not hex").arg(latin(body.mid(AnswerEndCodePos, 4))));
    // Bit 7 of the main code (relay error) and bits 6-7 of the sub code (CPU
    // unit status) are flags; "0040" still means the command completed.
    if ((endCode & 0x7F3F) != 0) {
        AnswerCheck check = failed(QStringLiteral("FINS end code %1").arg(latin(body.mid(AnswerEndCodePos, 4))));
        check.endCode = int(endCode);
        return check;
    }
    const QByteArray data = body.mid(AnswerDataPos);
    const int words = expectedDataWords(request);
    if (data.size() != 4 * words)
        return failed(QStringLiteral("data length %1, expected %2").arg(data.size()).arg(4 * words));
    AnswerCheck check;
    check.digits.reserve(data.size());
    for (char c : data) {
        if (!isUpperHex(c))
            return failed(QStringLiteral("data character 0x%1 is no hex digit")
                              .arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0')));
        check.digits += static_cast<char>(digitOf(static_cast<unsigned char>(c)));
    }
    check.verdict = Verdict::Accepted;
    return check;
}

} // namespace HLinkFrame
