#include "HLinkCodec.h"

#include "CDriveBaseClass.h"

namespace HLinkCodec {

WordLayout::Words toWords(const QByteArray &digits)
{
    WordLayout::Words words((digits.size() + 3) / 4, 0);
    for (int i = 0; i < digits.size(); ++i)
        words[i / 4] |= quint16((quint8(digits.at(i)) & 0xFu) << (12 - 4 * (i % 4)));
    return words;
}

QByteArray fromWords(const WordLayout::Words &words)
{
    QByteArray digits;
    digits.reserve(4 * words.size());
    for (quint16 word : words) {
        for (int shift = 12; shift >= 0; shift -= 4)
            digits.append(char((word >> shift) & 0xF));
    }
    return digits;
}

int digitsPerElement(int type)
{
    return 2 * WordLayout::bytesPerElement(type);
}

QVariant decode(int type, const QByteArray &digits, int count)
{
    return WordLayout::toElements(type, toWords(digits), count);
}

QVariant decodeBits(int bit, const QByteArray &digits, int count)
{
    return WordLayout::toBits(bit, toWords(digits), count);
}

int encode(int type, const CLabelVariable &value, int count, QByteArray *out)
{
    WordLayout::Words words;
    const int taken = WordLayout::fromElements(type, value.value, count, &words);
    if (taken < 0 || taken < count)
        return 1;
    // An odd Int8/UInt8 count ends in the high byte of its last word.
    out->append(fromWords(words).left(int(2 * WordLayout::byteCount(type, taken))));
    return 0;
}

int encodeBits(const CLabelVariable &value, int count, QByteArray *out)
{
    QByteArray flags;
    const int taken = WordLayout::bitFlags(value.value, count, &flags);
    if (taken < 0 || taken < count)
        return 1;
    out->append(flags);
    return 0;
}

} // namespace HLinkCodec
