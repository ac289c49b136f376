#include "FinsFrame.h"

namespace FinsFrame {
namespace {

const char kMagic[] = "FINS";

void appendU16(QByteArray &out, quint32 value)
{
    out.append(char((value >> 8) & 0xFF));
    out.append(char(value & 0xFF));
}

void appendU32(QByteArray &out, quint32 value)
{
    appendU16(out, value >> 16);
    appendU16(out, value & 0xFFFF);
}

quint32 u8(const QByteArray &bytes, int offset)
{
    return quint8(bytes.at(offset));
}

quint32 u32(const QByteArray &bytes, int offset)
{
    return u8(bytes, offset) << 24 | u8(bytes, offset + 1) << 16 | u8(bytes, offset + 2) << 8
        | u8(bytes, offset + 3);
}

QByteArray tcpHeader(quint32 command, int payloadSize)
{
    QByteArray out(kMagic, 4);
    appendU32(out, quint32(8 + payloadSize));
    appendU32(out, command);
    appendU32(out, 0);
    return out;
}

// FINS header + command code + area and address: the 18 bytes after the
// FINS/TCP header that every memory-area command starts with.
QByteArray commandHead(int serverNode, int clientNode, quint8 sid, quint16 commandCode, int areaCode,
                       int wordAddress, int bitNumber, int items)
{
    QByteArray out;
    out.reserve(18);
    out.append(char(0x80));              // ICF: command, response required
    out.append(char(0x00));              // RSV
    out.append(char(0x02));              // GCT
    out.append(char(0x00));              // DNA
    out.append(char(serverNode & 0xFF)); // DA1
    out.append(char(0x00));              // DA2
    out.append(char(0x00));              // SNA
    out.append(char(clientNode & 0xFF)); // SA1
    out.append(char(0x00));              // SA2
    out.append(char(sid));
    appendU16(out, commandCode);
    out.append(char(areaCode & 0xFF));
    appendU16(out, quint32(wordAddress) & 0xFFFF);
    out.append(char(bitNumber & 0xFF));
    appendU16(out, quint32(items) & 0xFFFF);
    return out;
}

QByteArray finsFrame(const QByteArray &finsPart)
{
    return tcpHeader(FinsPayload, finsPart.size()) + finsPart;
}

} // namespace

QByteArray nodeRequest(quint8 clientNode)
{
    QByteArray out = tcpHeader(NodeRequest, 4);
    appendU32(out, clientNode);
    return out;
}

QByteArray readFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress, int words)
{
    return finsFrame(commandHead(serverNode, clientNode, sid, 0x0101, areaCode, wordAddress, 0, words));
}

QByteArray writeWordsFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                           const QByteArray &data)
{
    // Only whole words go out: the item count and the data always agree.
    const int words = data.size() / 2;
    return finsFrame(commandHead(serverNode, clientNode, sid, 0x0102, areaCode, wordAddress, 0, words)
                     + data.left(words * 2));
}

QByteArray writeBitsFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                          int bitNumber, const QByteArray &data)
{
    return finsFrame(
        commandHead(serverNode, clientNode, sid, 0x0102, areaCode, wordAddress, bitNumber, data.size()) + data);
}

Scan findFrame(const QByteArray &buffer, int *size)
{
    const int magicBytes = qMin(buffer.size(), 4);
    if (buffer.left(magicBytes) != QByteArray(kMagic, magicBytes))
        return Scan::Garbage;
    if (buffer.size() < 8)
        return Scan::Incomplete;
    const quint32 length = u32(buffer, 4);
    // Command and error code are always there; anything beyond the largest
    // FINS frame is no frame of ours.
    if (length < 8 || length > quint32(MaxLengthField))
        return Scan::Garbage;
    const int total = 8 + int(length);
    if (buffer.size() < total)
        return Scan::Incomplete;
    *size = total;
    return Scan::Complete;
}

quint32 tcpCommand(const QByteArray &frame)
{
    return frame.size() >= 12 ? u32(frame, 8) : 0xFFFFFFFFu;
}

quint32 tcpErrorCode(const QByteArray &frame)
{
    return frame.size() >= 16 ? u32(frame, 12) : 0xFFFFFFFFu;
}

Match matchAnswer(const QByteArray &request, const QByteArray &answer)
{
    if (answer.size() < ResponseHeadSize || request.size() < OffEndCode)
        return Match::Malformed;
    if (answer.at(OffSid) != request.at(OffSid) || answer.mid(OffCommand, 2) != request.mid(OffCommand, 2))
        return Match::Foreign;
    return Match::Ours;
}

quint16 endCode(const QByteArray &answer)
{
    if (answer.size() < ResponseHeadSize)
        return 0xFFFF;
    return quint16(u8(answer, OffEndCode) << 8 | u8(answer, OffEndCode + 1));
}

bool isNormalCompletion(quint16 code)
{
    return (code & 0x7F3F) == 0;
}

bool nodesMatch(const QByteArray &request, const QByteArray &answer)
{
    if (request.size() <= OffSa1 || answer.size() <= OffSa1)
        return false;
    return answer.at(OffSa1) == request.at(OffDa1) && answer.at(OffDa1) == request.at(OffSa1);
}

} // namespace FinsFrame
