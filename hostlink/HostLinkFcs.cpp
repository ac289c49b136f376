#include "HostLinkFcs.h"

namespace HostLinkFcs {

unsigned char of(const QByteArray &data, int n, bool sevenBit)
{
    const int end = qMin(n, data.size());
    const unsigned char mask = sevenBit ? 0x7F : 0xFF;
    unsigned char value = 0;
    for (int i = 0; i < end; ++i)
        value ^= static_cast<unsigned char>(data.at(i)) & mask;
    return value;
}

QByteArray text(const QByteArray &body, bool sevenBit)
{
    static const char digits[] = "0123456789ABCDEF";
    const unsigned char value = of(body, body.size(), sevenBit);
    QByteArray out(2, '0');
    out[0] = digits[value >> 4];
    out[1] = digits[value & 0x0F];
    return out;
}

QByteArray finish(QByteArray body, bool sevenBit)
{
    const QByteArray check = text(body, sevenBit);
    body += check;
    body += "*\r";
    return body;
}

bool matches(const QByteArray &frame, int fcsEnd, bool sevenBit)
{
    if (fcsEnd < 2 || fcsEnd > frame.size())
        return false;
    return frame.mid(fcsEnd - 2, 2) == text(frame.left(fcsEnd - 2), sevenBit);
}

} // namespace HostLinkFcs
