#include "CModeFrame.h"

#include "DriveFacade.h"

namespace CModeFrame {
namespace {

const char kHex[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "@" unit header text, without FCS and terminator.
QByteArray head(int unit, const QByteArray &header, const QByteArray &text)
{
    return "@" + decimal(unit, 2) + header + text;
}

// Where the FCS starts in a frame ending FCS CR or FCS "*" CR; -1 when the
// frame has no room for it or no CR.
int fcsPosition(const QByteArray &frame, bool *last)
{
    if (!frame.endsWith('\r'))
        return -1;
    *last = frame.endsWith("*\r");
    const int pos = frame.size() - (*last ? 4 : 3);
    return pos >= 0 ? pos : -1;
}

bool fcsMatches(const QByteArray &frame, int fcsPos)
{
    return fcs(frame.left(fcsPos)) == frame.mid(fcsPos, 2);
}

FrameCheck broken(const QString &why)
{
    FrameCheck check;
    check.failure = why;
    return check;
}

} // namespace

AreaCommands commandsFor(int area)
{
    // Reach of CS/CJ-class controllers; beyond it only FINS gets there.
    switch (area) {
    case DriveFacade::Area_D: return {"RD", "WD", -1, 10000};
    case DriveFacade::Area_CIO: return {"RR", "WR", -1, 6144};
    case DriveFacade::Area_H: return {"RH", "WH", -1, 512};
    case DriveFacade::Area_A: return {"RJ", "WJ", -1, 960};
    default: break;
    }
    if (area >= DriveFacade::Area_EM1 && area <= DriveFacade::Area_EM5)
        return {"RE", "WE", area - DriveFacade::Area_EM1, 10000};
    return {};
}

QByteArray fcs(const QByteArray &chars)
{
    unsigned char x = 0;
    for (char c : chars)
        x ^= static_cast<unsigned char>(c);
    return QByteArray() + kHex[x >> 4] + kHex[x & 0x0F];
}

QByteArray decimal(int value, int digits)
{
    return QByteArray::number(value).rightJustified(digits, '0', true);
}

QByteArray command(int unit, const QByteArray &header, const QByteArray &text)
{
    const QByteArray body = head(unit, header, text);
    return body + fcs(body) + "*\r";
}

QByteArray readCommand(int unit, int area, int word, int count)
{
    const AreaCommands cmds = commandsFor(area);
    if (cmds.read.isEmpty())
        return QByteArray();
    const QByteArray bank = cmds.bank >= 0 ? decimal(cmds.bank, 2) : QByteArray();
    return command(unit, cmds.read, bank + decimal(word, 4) + decimal(count, 4));
}

QList<QByteArray> writeFrames(int unit, int area, int word, const Words &words)
{
    const AreaCommands cmds = commandsFor(area);
    QList<QByteArray> frames;
    if (cmds.write.isEmpty() || words.isEmpty())
        return frames;
    const QByteArray bank = cmds.bank >= 0 ? decimal(cmds.bank, 2) : QByteArray();
    for (int done = 0; done < words.size();) {
        const int n = qMin(done == 0 ? FirstWriteWords : LaterWriteWords, words.size() - done);
        QByteArray body = hexWords(words.mid(done, n));
        if (done == 0)
            body = head(unit, cmds.write, bank + decimal(word, 4) + body);
        done += n;
        frames << body + fcs(body) + (done == words.size() ? "*\r" : "\r");
    }
    return frames;
}

QByteArray abortCommand(int unit)
{
    return command(unit, "XZ");
}

QByteArray hexWords(const Words &words)
{
    QByteArray out;
    out.reserve(4 * words.size());
    for (quint16 w : words) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHex[(w >> shift) & 0x0F];
    }
    return out;
}

bool parseWords(const QByteArray &text, Words *out)
{
    if (text.size() % 4 != 0)
        return false;
    Words words;
    for (int i = 0; i < text.size(); i += 4) {
        int w = 0;
        for (int k = 0; k < 4; ++k) {
            const int v = hexValue(text.at(i + k));
            if (v < 0)
                return false;
            w = (w << 4) | v;
        }
        words << quint16(w);
    }
    *out += words;
    return true;
}

FrameCheck checkFirst(const QByteArray &frame, int unit, const QByteArray &header)
{
    if (frame.size() < 5 || frame.at(0) != '@')
        return broken(QStringLiteral("no answer frame"));
    FrameCheck check;
    if (frame.mid(1, 2) != decimal(unit, 2) || (frame.mid(3, 2) != header && frame.mid(3, 2) != "IC")) {
        check.verdict = Verdict::Foreign;
        return check;
    }
    bool last = false;
    const int fcsPos = fcsPosition(frame, &last);
    if (fcsPos < 0 || (!last && frame.mid(3, 2) == "IC"))
        return broken(QStringLiteral("no terminator"));
    if (frame.size() > MaxFirstFrame)
        return broken(QStringLiteral("frame longer than %1 characters").arg(MaxFirstFrame));
    if (!fcsMatches(frame, fcsPos))
        return broken(QStringLiteral("FCS does not match"));
    if (frame.mid(3, 2) == "IC") {
        check.verdict = fcsPos == 5 ? Verdict::Undecoded : Verdict::Broken;
        check.failure = QStringLiteral("the controller could not decode header %1 (IC)").arg(QString::fromLatin1(header));
        return check;
    }
    const int hi = fcsPos >= 7 ? hexValue(frame.at(5)) : -1;
    const int lo = fcsPos >= 7 ? hexValue(frame.at(6)) : -1;
    if (hi < 0 || lo < 0)
        return broken(QStringLiteral("no end code"));
    check.verdict = Verdict::Accepted;
    check.endCode = (hi << 4) | lo;
    check.text = frame.mid(7, fcsPos - 7);
    check.last = last;
    return check;
}

FrameCheck checkLater(const QByteArray &frame)
{
    bool last = false;
    const int fcsPos = fcsPosition(frame, &last);
    if (fcsPos < 0)
        return broken(QStringLiteral("no terminator"));
    if (frame.size() > MaxLaterFrame)
        return broken(QStringLiteral("frame longer than %1 characters").arg(MaxLaterFrame));
    if (!fcsMatches(frame, fcsPos))
        return broken(QStringLiteral("FCS does not match"));
    FrameCheck check;
    check.verdict = Verdict::Accepted;
    check.text = frame.left(fcsPos);
    check.last = last;
    return check;
}

QString endCodeText(int code)
{
    switch (code) {
    case 0x00: return QStringLiteral("normal completion");
    case 0x01: return QStringLiteral("not executable in RUN mode");
    case 0x02: return QStringLiteral("not executable in MONITOR mode");
    case 0x03: return QStringLiteral("user memory write-protected");
    case 0x04: return QStringLiteral("address over");
    case 0x0B: return QStringLiteral("not executable in PROGRAM mode");
    case 0x13: return QStringLiteral("FCS error");
    case 0x14: return QStringLiteral("format error");
    case 0x15: return QStringLiteral("entry number data error");
    case 0x16: return QStringLiteral("command not supported");
    case 0x18: return QStringLiteral("frame length error");
    case 0x19: return QStringLiteral("not executable");
    case 0x21: return QStringLiteral("CPU error");
    case 0x23: return QStringLiteral("user memory protected");
    case 0xA3: return QStringLiteral("aborted: FCS error in a later frame");
    case 0xA4: return QStringLiteral("aborted: format error in a later frame");
    case 0xA5: return QStringLiteral("aborted: entry number data error in a later frame");
    case 0xA8: return QStringLiteral("aborted: frame length error in a later frame");
    default: break;
    }
    return QStringLiteral("unknown end code");
}

} // namespace CModeFrame
