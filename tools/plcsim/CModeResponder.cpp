#include "CModeResponder.h"

#include "HostLinkFrames.h"
#include "SimState.h"

namespace plcsim {

namespace {

constexpr int kMaxFirstFrame = 131; // characters, CR included
constexpr int kMaxLaterFrame = 128;
constexpr int kAreaWritableFrom = 448;

struct CArea {
    quint8 code = 0; // FINS word-access code of the memory behind it
    int reach = 0;   // words C-mode reaches
};

// The second letter of R?/W? headers. EM banks come with their bank number.
CArea areaFor(char letter, int bank)
{
    switch (letter) {
    case 'R': return {0xB0, 6144};
    case 'H': return {0xB2, 512};
    case 'D': return {0x82, 10000};
    case 'J': return {0xB3, 960};
    case 'E': return bank >= 0 && bank <= 12 ? CArea{quint8(0xA0 + bank), 10000} : CArea{};
    default: return {};
    }
}

bool decimalAt(const QByteArray &text, int pos, int len, int *out)
{
    if (pos + len > text.size())
        return false;
    int v = 0;
    for (int i = pos; i < pos + len; ++i) {
        const char c = text.at(i);
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
}

bool hexWords(const QByteArray &text, QVector<quint16> *out)
{
    QByteArray bytes;
    if (text.size() % 4 != 0 || !hostlink::parseHex(text, bytes))
        return false;
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        *out << quint16((quint8(bytes.at(i)) << 8) | quint8(bytes.at(i + 1)));
    return true;
}

QByteArray fcsOf(const QByteArray &body, quint8 xorWith = 0)
{
    return hostlink::hexByte(hostlink::fcs(body) ^ xorWith);
}

// Where the FCS starts in a frame ending FCS ("*") CR; -1 when it has none.
int fcsPosition(const QByteArray &frame, bool *last)
{
    *last = frame.endsWith("*\r");
    const int pos = frame.size() - (*last ? 4 : 3);
    return frame.endsWith('\r') && pos >= 0 ? pos : -1;
}

bool fcsOk(const QByteArray &frame, int pos)
{
    return frame.mid(pos, 2) == fcsOf(frame.left(pos));
}

} // namespace

CModeResponder::CModeResponder(SimState *state)
    : m_state(state)
{
}

QByteArray CModeResponder::answer(const QByteArray &header, quint8 endCode, const QByteArray &text) const
{
    const QByteArray body = "@" + QByteArray::number(m_answerUnit).rightJustified(2, '0') + header
        + hostlink::hexByte(endCode) + text;
    return body + fcsOf(body) + "*\r";
}

QByteArray CModeResponder::handle(const QByteArray &piece)
{
    if (midBlock() && !piece.contains('@'))
        return continuation(piece);
    // A new command (or XZ, or "@**") ends whatever block was under way.
    m_pendingAnswer.clear();
    m_writing = false;
    const int at = piece.lastIndexOf('@');
    if (at < 0 || piece.mid(at) == "@**\r")
        return QByteArray();
    return command(piece.mid(at));
}

QByteArray CModeResponder::command(const QByteArray &frame)
{
    int unit = -1;
    bool last = false;
    const int pos = fcsPosition(frame, &last);
    const bool checked = pos >= 5 && fcsOk(frame, pos);
    CModeSettings s;
    {
        QMutexLocker lock(&m_state->mutex);
        if (checked)
            ++m_state->stats.hostLinkFrames; // any unit's, as on a multidrop line
        if (!decimalAt(frame, 1, 2, &unit) || unit != m_state->unit || m_state->faults.silent)
            return QByteArray(); // another unit's, or no unit at all
        s = m_state->cmode;
        // wrongUnit: every answer names the next unit, as another controller's would.
        m_answerUnit = m_state->faults.wrongUnit ? unit + 1 : unit;
    }
    m_unit = unit;
    const QByteArray header = frame.mid(3, 2);
    if (pos < 5)
        return answer(header, hostlink::EndFormatError);
    if (!checked)
        return answer(header, hostlink::EndFcsError);
    if (header == "XZ")
        return QByteArray();
    if (frame.size() > kMaxFirstFrame)
        return answer(header, hostlink::EndFrameLengthError);
    static const QList<QByteArray> known = {"RR", "RH", "RD", "RJ", "RE", "WR", "WH", "WD", "WJ", "WE", "MS", "MM", "SC"};
    if (s.undecoded || !known.contains(header)) {
        const QByteArray body = "@" + frame.mid(1, 2) + "IC";
        return body + fcsOf(body) + "*\r";
    }
    if (s.endCode != 0)
        return answer(header, s.endCode);
    const QByteArray text = frame.mid(5, pos - 5);
    if (header.at(0) == 'W')
        return write(header, text, last);
    if (!last)
        return answer(header, hostlink::EndFormatError);
    if (header.at(0) == 'R')
        return read(header, text, s);
    return status(header, text);
}

QByteArray CModeResponder::read(const QByteArray &header, const QByteArray &text, const CModeSettings &s)
{
    const bool em = header.at(1) == 'E';
    int bank = -1, begin = 0, count = 0;
    if (text.size() != (em ? 10 : 8))
        return answer(header, hostlink::EndFormatError);
    const int at = em ? 2 : 0;
    const CArea area = areaFor(header.at(1), em && decimalAt(text, 0, 2, &bank) ? bank : -1);
    if (area.code == 0 || !decimalAt(text, at, 4, &begin) || !decimalAt(text, at + 4, 4, &count) || count == 0
        || begin + count > area.reach)
        return answer(header, 0x15);
    QByteArray data;
    {
        QMutexLocker lock(&m_state->mutex);
        for (int i = 0; i < count; ++i)
            data += QByteArray::number(m_state->memory.word(area.code, begin + i), 16).toUpper().rightJustified(4, '0');
    }
    const int first = (s.oldUnits ? 29 : 30) * 4;
    const int later = (s.oldUnits ? 30 : 31) * 4;
    const QByteArray frame1 = answer(header, 0, data.left(first));
    if (data.size() <= first)
        return frame1;
    for (int pos = first; pos < data.size(); pos += later) {
        const QByteArray chunk = data.mid(pos, later);
        const bool end = pos + later >= data.size();
        const bool spoil = s.badFcsLater && m_pendingAnswer.isEmpty();
        m_pendingAnswer << chunk + fcsOf(chunk, spoil ? 0x5A : 0) + (end ? "*\r" : "\r");
    }
    m_silentRest = s.silentAfterFirst;
    // Not the last frame: FCS and CR, no "*".
    return frame1.left(frame1.size() - 2) + "\r";
}

QByteArray CModeResponder::write(const QByteArray &header, const QByteArray &text, bool last)
{
    const bool em = header.at(1) == 'E';
    const int at = em ? 6 : 4;
    int bank = -1, begin = 0;
    const CArea area = areaFor(header.at(1), em && decimalAt(text, 0, 2, &bank) ? bank : -1);
    QVector<quint16> words;
    if (text.size() <= at || (text.size() - at) % 4 != 0)
        return answer(header, hostlink::EndFormatError);
    if (area.code == 0 || !decimalAt(text, at - 4, 4, &begin) || !hexWords(text.mid(at), &words)
        || (header == "WJ" && begin < kAreaWritableFrom))
        return answer(header, 0x15);
    {
        QMutexLocker lock(&m_state->mutex);
        if (m_state->cmode.mode == CpuMode::Run)
            return answer(header, 0x01);
    }
    m_writeHeader = header;
    m_writeAddress = text.left(at);
    m_writeData = text.mid(at);
    if (!last) {
        m_writing = true;
        return "\r"; // send the next frame
    }
    return finishWrite();
}

QByteArray CModeResponder::continuation(const QByteArray &piece)
{
    if (!m_pendingAnswer.isEmpty()) {
        if (piece != "\r" || m_silentRest) {
            m_pendingAnswer.clear();
            return QByteArray();
        }
        return m_pendingAnswer.takeFirst();
    }
    bool last = false;
    const int pos = fcsPosition(piece, &last);
    m_writing = false;
    if (pos < 0 || !fcsOk(piece, pos))
        return answer(m_writeHeader, 0xA3);
    if (piece.size() > kMaxLaterFrame)
        return answer(m_writeHeader, 0xA8);
    QVector<quint16> words;
    if (pos == 0 || pos % 4 != 0)
        return answer(m_writeHeader, 0xA4);
    if (!hexWords(piece.left(pos), &words))
        return answer(m_writeHeader, 0xA5);
    m_writeData += piece.left(pos);
    if (!last) {
        m_writing = true;
        return "\r";
    }
    return finishWrite();
}

// The whole block is in: written at once, or not at all.
QByteArray CModeResponder::finishWrite()
{
    const bool em = m_writeHeader.at(1) == 'E';
    int bank = -1, begin = 0;
    decimalAt(m_writeAddress, 0, 2, &bank);
    decimalAt(m_writeAddress, em ? 2 : 0, 4, &begin);
    const CArea area = areaFor(m_writeHeader.at(1), em ? bank : -1);
    QVector<quint16> words;
    hexWords(m_writeData, &words);
    if (begin + words.size() > area.reach)
        return answer(m_writeHeader, 0x15);
    QMutexLocker lock(&m_state->mutex);
    for (int i = 0; i < words.size(); ++i)
        m_state->memory.setWord(area.code, begin + i, words.at(i));
    ++m_state->stats.writes;
    return answer(m_writeHeader, 0);
}

QByteArray CModeResponder::status(const QByteArray &header, const QByteArray &text)
{
    QMutexLocker lock(&m_state->mutex);
    CpuMode &mode = m_state->cmode.mode;
    if (header == "MM")
        return answer(header, 0, "30");
    if (header == "MS") {
        const int bits = mode == CpuMode::Program ? 0x0000 : mode == CpuMode::Run ? 0x0200 : 0x0300;
        return answer(header, 0, QByteArray::number(bits, 16).toUpper().rightJustified(4, '0'));
    }
    // SC: 00 PROGRAM, 02 MONITOR, 03 RUN.
    if (text == "00" || text == "02" || text == "03") {
        mode = text == "00" ? CpuMode::Program : text == "02" ? CpuMode::Monitor : CpuMode::Run;
        return answer(header, 0);
    }
    return answer(header, 0x15);
}

} // namespace plcsim
