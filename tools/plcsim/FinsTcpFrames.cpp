#include "FinsTcpFrames.h"

namespace plcsim {
namespace finstcp {

quint32 be32(const QByteArray &bytes, int offset)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<quint8>(bytes.at(offset + i));
    return v;
}

void appendBe32(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

QByteArray frame(quint32 command, quint32 errorCode, const QByteArray &payload, qint64 lengthField)
{
    QByteArray out("FINS");
    appendBe32(out, lengthField >= 0 ? static_cast<quint32>(lengthField)
                                     : static_cast<quint32>(8 + payload.size()));
    appendBe32(out, command);
    appendBe32(out, errorCode);
    out.append(payload);
    return out;
}

QByteArray nodeAnswer(int clientNode, int serverNode)
{
    QByteArray payload;
    appendBe32(payload, static_cast<quint32>(clientNode));
    appendBe32(payload, static_cast<quint32>(serverNode));
    return frame(CmdNodeAnswer, 0, payload);
}

QByteArray errorNotification(quint32 errorCode)
{
    return frame(CmdErrorNotification, errorCode);
}

QByteArray responseHeader(const QByteArray &h)
{
    QByteArray r(kFinsHeaderSize, '\0');
    r[0] = '\xC0';
    r[1] = '\x00';
    r[2] = '\x02';
    r[3] = h.at(6); // DNA <- SNA
    r[4] = h.at(7); // DA1 <- SA1
    r[5] = h.at(8); // DA2 <- SA2
    r[6] = h.at(3); // SNA <- DNA
    r[7] = h.at(4); // SA1 <- DA1
    r[8] = h.at(5); // SA2 <- DA2
    r[9] = h.at(9); // SID
    return r;
}

} // namespace finstcp
} // namespace plcsim
