#include "HostLinkFrames.h"

namespace plcsim {
namespace hostlink {

namespace {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int hexByteAt(const QByteArray &text, int i)
{
    if (i + 1 >= text.size())
        return -1;
    const int hi = digitValue(text.at(i));
    const int lo = digitValue(text.at(i + 1));
    return hi < 0 || lo < 0 ? -1 : (hi << 4) | lo;
}

} // namespace

quint8 fcs(const QByteArray &chars)
{
    quint8 x = 0;
    for (char c : chars)
        x ^= static_cast<quint8>(c);
    return x;
}

QByteArray hexByte(quint8 value)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out(2, '0');
    out[0] = digits[value >> 4];
    out[1] = digits[value & 0x0F];
    return out;
}

QByteArray hexBytes(const QByteArray &bytes)
{
    return bytes.toHex().toUpper();
}

bool parseHex(const QByteArray &text, QByteArray &bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    bytes.reserve(text.size() / 2);
    for (int i = 0; i < text.size(); i += 2) {
        const int b = hexByteAt(text, i);
        if (b < 0)
            return false;
        bytes.append(static_cast<char>(b));
    }
    return true;
}

Request parseRequest(const QByteArray &frame)
{
    Request r;
    const int n = frame.size();
    r.unit = hexByteAt(frame, 1);
    r.headerCode = frame.mid(3, 2);
    // Smallest frame: "@", unit, header code, FCS, "*", CR.
    if (n < 9 || !frame.endsWith("*\r"))
        return r;
    const int check = hexByteAt(frame, n - 4);
    r.fcsOk = check >= 0 && check == fcs(frame.left(n - 4));
    if (r.headerCode != "FA") {
        r.wellFormed = true;
        return r;
    }
    const QByteArray body = frame.mid(6, n - 4 - 6);
    if (n - 4 <= 6 || digitValue(frame.at(5)) < 0 || !parseHex(body, r.fins) || r.fins.size() < 6)
        return r;
    r.waitTime = digitValue(frame.at(5));
    r.wellFormed = true;
    return r;
}

QByteArray withFcs(const QByteArray &body, quint8 fcsXor, bool terminator)
{
    QByteArray out = body + hexByte(fcs(body) ^ fcsXor);
    if (terminator)
        out += "*\r";
    return out;
}

QByteArray errorAnswer(int unit, const QByteArray &headerCode, quint8 endCode)
{
    return withFcs("@" + hexByte(static_cast<quint8>(unit)) + headerCode + hexByte(endCode));
}

QByteArray undefinedCommandAnswer(int unit)
{
    return withFcs("@" + hexByte(static_cast<quint8>(unit)) + "IC");
}

} // namespace hostlink
} // namespace plcsim
