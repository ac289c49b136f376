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

// The FINS frame of a command 2 frame, without copying (valid while `frame`
// lives); empty when the frame holds no more than the FINS/TCP header.
QByteArray finsPartOf(const QByteArray &frame)
{
    if (frame.size() <= HeaderSize)
        return QByteArray();
    return QByteArray::fromRawData(frame.constData() + HeaderSize, frame.size() - HeaderSize);
}

} // namespace

QByteArray nodeRequest(quint8 clientNode)
{
    QByteArray out = tcpHeader(NodeRequest, 4);
    appendU32(out, clientNode);
    return out;
}

NodeReply readNodeAnswer(const QByteArray &frame)
{
    NodeReply reply;
    const quint32 command = tcpCommand(frame);
    if (command != NodeAnswer && command != ErrorNotice)
        return reply;
    reply.errorCode = tcpErrorCode(frame);
    // Node in use, node out of range, node equal to the PLC's: asking for
    // automatic assignment cures these.
    const quint32 code = reply.errorCode;
    if (code == 0x21 || code == 0x23 || code == 0x24)
        reply.outcome = NodeReply::NodeRefused;
    else if (code != 0)
        reply.outcome = NodeReply::Rejected;
    else if (command == NodeAnswer && frame.size() == HeaderSize + 8) {
        // Two 4-byte fields; node numbers fit in their low bytes.
        reply.outcome = NodeReply::Assigned;
        reply.clientNode = int(u8(frame, HeaderSize + 3));
        reply.serverNode = int(u8(frame, HeaderSize + 7));
    }
    return reply;
}

QByteArray commandFrame(const QByteArray &finsCommand)
{
    return tcpHeader(FinsPayload, finsCommand.size()) + finsCommand;
}

QByteArray readFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress, int words)
{
    return commandFrame(FinsCommand::readCommand(serverNode, clientNode, sid, areaCode, wordAddress, words));
}

QByteArray writeWordsFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                           const QByteArray &data)
{
    // Only whole words go out: the item count and the data always agree.
    return commandFrame(FinsCommand::writeWordsCommand(serverNode, clientNode, sid, areaCode, wordAddress, data));
}

QByteArray writeBitsFrame(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                          int bitNumber, const QByteArray &data)
{
    return commandFrame(
        FinsCommand::writeBitsCommand(serverNode, clientNode, sid, areaCode, wordAddress, bitNumber, data));
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
    return FinsCommand::matchAnswer(finsPartOf(request), finsPartOf(answer));
}

quint16 endCode(const QByteArray &answer)
{
    return FinsCommand::endCode(finsPartOf(answer));
}

bool isNormalCompletion(quint16 code)
{
    return FinsCommand::isNormalCompletion(code);
}

bool nodesMatch(const QByteArray &request, const QByteArray &answer)
{
    return FinsCommand::nodesMatch(finsPartOf(request), finsPartOf(answer));
}

AnswerFault readAnswerFault(const QByteArray &request, const QByteArray &answer, int byteLen)
{
    if (!nodesMatch(request, answer))
        return AnswerFault::Nodes;
    if (!isNormalCompletion(endCode(answer)))
        return AnswerFault::EndCode;
    if (answer.size() != byteLen + ResponseHeadSize)
        return AnswerFault::Length;
    return AnswerFault::None;
}

} // namespace FinsFrame
