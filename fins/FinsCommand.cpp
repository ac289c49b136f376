#include "FinsCommand.h"

namespace FinsCommand {
namespace {

void appendU16(QByteArray &out, quint32 value)
{
    out.append(char((value >> 8) & 0xFF));
    out.append(char(value & 0xFF));
}

void appendHeader(QByteArray &out, int serverNode, int clientNode, quint8 sid, quint16 commandCode)
{
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
}

// FINS header + command code + area and address: the 18 bytes every
// memory-area command starts with.
QByteArray commandHead(int serverNode, int clientNode, quint8 sid, quint16 commandCode, int areaCode,
                       int wordAddress, int bitNumber, int items, int dataSize)
{
    QByteArray out;
    out.reserve(HeaderSize + 8 + dataSize);
    appendHeader(out, serverNode, clientNode, sid, commandCode);
    out.append(char(areaCode & 0xFF));
    appendU16(out, quint32(wordAddress) & 0xFFFF);
    out.append(char(bitNumber & 0xFF));
    appendU16(out, quint32(items) & 0xFFFF);
    return out;
}

} // namespace

QByteArray command(const Nodes &nodes, quint8 sid, quint16 commandCode, const QByteArray &parameters)
{
    QByteArray out;
    out.reserve(HeaderSize + 2 + parameters.size());
    appendHeader(out, nodes.plc, nodes.ours, sid, commandCode);
    return out + parameters;
}

QByteArray readCommand(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress, int words)
{
    return commandHead(serverNode, clientNode, sid, MemoryAreaRead, areaCode, wordAddress, 0, words, 0);
}

QByteArray writeWordsCommand(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                             const QByteArray &data)
{
    const int words = data.size() / 2;
    return commandHead(serverNode, clientNode, sid, MemoryAreaWrite, areaCode, wordAddress, 0, words, 2 * words)
        + data.left(words * 2);
}

QByteArray writeBitsCommand(int serverNode, int clientNode, quint8 sid, int areaCode, int wordAddress,
                            int bitNumber, const QByteArray &data)
{
    return commandHead(serverNode, clientNode, sid, MemoryAreaWrite, areaCode, wordAddress, bitNumber,
                       data.size(), data.size())
        + data;
}

Match matchAnswer(const QByteArray &request, const QByteArray &answer)
{
    if (answer.size() < ResponseHeadSize || request.size() < OffEndCode)
        return Match::Malformed;
    if (answer.at(OffSid) != request.at(OffSid) || answer.mid(OffCommand, 2) != request.mid(OffCommand, 2))
        return Match::Foreign;
    return Match::Ours;
}

bool nodesMatch(const QByteArray &request, const QByteArray &answer)
{
    if (request.size() <= OffSa1 || answer.size() <= OffSa1)
        return false;
    return answer.at(OffSa1) == request.at(OffDa1) && answer.at(OffDa1) == request.at(OffSa1);
}

Verdict checkAnswer(const QByteArray &request, const QByteArray &answer)
{
    // ICF bit 6 marks a response; a command someone sends us is no answer.
    if (answer.size() > MaxFrameSize || (answer.size() > OffIcf && (quint8(answer.at(OffIcf)) & 0x40) == 0))
        return Verdict::Malformed;
    switch (matchAnswer(request, answer)) {
    case Match::Malformed:
        return Verdict::Malformed;
    case Match::Foreign:
        return Verdict::Foreign;
    case Match::Ours:
        break;
    }
    return nodesMatch(request, answer) ? Verdict::Ours : Verdict::WrongNodes;
}

quint16 endCode(const QByteArray &answer)
{
    if (answer.size() < ResponseHeadSize)
        return 0xFFFF;
    return quint16(quint8(answer.at(OffEndCode)) << 8 | quint8(answer.at(OffEndCode + 1)));
}

bool isNormalCompletion(quint16 code)
{
    return (code & 0x7F3F) == 0;
}

} // namespace FinsCommand
