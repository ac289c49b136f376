#include "HLinkFrame.h"

#include "FinsCommand.h"
#include "HostLinkFcs.h"

namespace HLinkFrame {
namespace {

const char kTerminator[] = "*\r";

void appendHex(QByteArray *out, quint8 byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out->append(digits[byte >> 4]);
    out->append(digits[byte & 0xF]);
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

QByteArray request(int unit, const QByteArray &command)
{
    if (command.size() < FinsCommand::OffCommand + 2)
        return QByteArray();
    QByteArray frame;
    frame.reserve(12 + 2 * command.size());
    frame += '@';
    appendHex(&frame, quint8(unit));
    frame += "FA0";
    appendHex(&frame, quint8(command.at(FinsCommand::OffIcf)) & 0x7F);
    appendHex(&frame, quint8(command.at(5))); // DA2
    appendHex(&frame, quint8(command.at(8))); // SA2
    for (int i = FinsCommand::OffSid; i < command.size(); ++i)
        appendHex(&frame, quint8(command.at(i)));
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

QString dataLengthText(int got, int expected)
{
    return QStringLiteral("data length %1, expected %2").arg(got).arg(expected);
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
        return check;
    }
    if (bodySize < AnswerDataPos)
        return failed(QStringLiteral("answer too short (%1 characters)").arg(answer.size()));
    if (body.mid(AnswerSidPos, 2) != request.mid(RequestSidPos, 2))
        return foreign(QStringLiteral("SID %1").arg(latin(body.mid(AnswerSidPos, 2))));
    unsigned code = 0;
    if (!parseHex(body.mid(AnswerCommandPos, 4), &code))
        return failed(QStringLiteral("command %1 echoed").arg(latin(body.mid(AnswerCommandPos, 4))));
    if (!parseHex(body.mid(AnswerEndCodePos, 4), &code))
        return failed(QStringLiteral("FINS end code %1 not hex").arg(latin(body.mid(AnswerEndCodePos, 4))));
    const QByteArray data = body.mid(AnswerDataPos);
    // Hex text that is no whole bytes, or data in the answer to a write.
    const bool write = request.mid(RequestCommandPos, 4) == "0102";
    if (data.size() % 2 != 0 || (write && !data.isEmpty()))
        return failed(dataLengthText(data.size(), 4 * expectedDataWords(request)));
    for (char c : data) {
        if (!isUpperHex(c))
            return failed(QStringLiteral("data character 0x%1 is no hex digit")
                              .arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0')));
    }
    AnswerCheck check;
    check.verdict = Verdict::Accepted;
    return check;
}

QByteArray finsAnswer(const QByteArray &answer, const QByteArray &command)
{
    const int body = answer.size() - 4; // FCS, "*", CR
    // A response ICF, the command's node numbers exchanged, its SID.
    QByteArray fins = command.left(FinsCommand::HeaderSize);
    fins[FinsCommand::OffIcf] = char(0xC0);
    fins[FinsCommand::OffDa1] = command.at(FinsCommand::OffSa1);
    fins[FinsCommand::OffSa1] = command.at(FinsCommand::OffDa1);
    return fins + QByteArray::fromHex(answer.mid(AnswerCommandPos, body - AnswerCommandPos));
}

} // namespace HLinkFrame
