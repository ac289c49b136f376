#include "HLinkCodec.h"

#include <cstring>

namespace HLinkCodec {
namespace {

unsigned digitAt(const QByteArray &digits, long long offset)
{
    return offset < digits.size() ? static_cast<unsigned char>(digits.at(int(offset))) & 0xFu : 0u;
}

// One PLC word from its four digits at `offset`.
quint64 wordAt(const QByteArray &digits, long long offset)
{
    quint64 word = 0;
    for (int i = 0; i < 4; ++i)
        word = (word << 4) | digitAt(digits, offset + i);
    return word;
}

// `words` PLC words from `offset` on, lowest word first.
quint64 lowWordFirst(const QByteArray &digits, long long offset, int words)
{
    quint64 value = 0;
    for (int w = 0; w < words; ++w)
        value |= wordAt(digits, offset + 4LL * w) << (16 * w);
    return value;
}

void appendWords(quint64 value, int words, QByteArray *out)
{
    for (int w = 0; w < words; ++w) {
        const quint64 word = (value >> (16 * w)) & 0xFFFF;
        for (int shift = 12; shift >= 0; shift -= 4)
            out->append(static_cast<char>((word >> shift) & 0xF));
    }
}

void appendByte(unsigned byte, QByteArray *out)
{
    out->append(static_cast<char>((byte >> 4) & 0xF));
    out->append(static_cast<char>(byte & 0xF));
}

// Bit patterns of the element types, through memcpy so that no value is
// converted and no aliasing rule is bent.
template <typename T>
quint64 patternOf(T value)
{
    if constexpr (sizeof(T) == 4) {
        quint32 bits = 0;
        std::memcpy(&bits, &value, 4);
        return bits;
    } else if constexpr (sizeof(T) == 8) {
        quint64 bits = 0;
        std::memcpy(&bits, &value, 8);
        return bits;
    } else if constexpr (sizeof(T) == 2) {
        quint16 bits = 0;
        std::memcpy(&bits, &value, 2);
        return bits;
    } else {
        quint8 bits = 0;
        std::memcpy(&bits, &value, 1);
        return bits;
    }
}

template <typename T>
T fromPattern(quint64 pattern)
{
    T value;
    if constexpr (sizeof(T) == 4) {
        const quint32 bits = static_cast<quint32>(pattern);
        std::memcpy(&value, &bits, 4);
    } else if constexpr (sizeof(T) == 8) {
        std::memcpy(&value, &pattern, 8);
    } else if constexpr (sizeof(T) == 2) {
        const quint16 bits = static_cast<quint16>(pattern);
        std::memcpy(&value, &bits, 2);
    } else {
        const quint8 bits = static_cast<quint8>(pattern);
        std::memcpy(&value, &bits, 1);
    }
    return value;
}

template <typename T>
QVariant decodeAs(const QByteArray &digits, int count)
{
    QList<T> list;
    const int perElement = int(sizeof(T)) * 2;
    for (int i = 0; i < count; ++i) {
        const long long offset = static_cast<long long>(i) * perElement;
        quint64 pattern;
        if (sizeof(T) == 1)
            pattern = (digitAt(digits, offset) << 4) | digitAt(digits, offset + 1);
        else
            pattern = lowWordFirst(digits, offset, int(sizeof(T)) / 2);
        list.append(fromPattern<T>(pattern));
    }
    return QVariant::fromValue(list);
}

template <typename T>
int encodeAs(const CLabelVariable &value, int count, QByteArray *out)
{
    if (value.value.userType() != qMetaTypeId<QList<T>>())
        return 1;
    const QList<T> list = value.value.value<QList<T>>();
    if (count > list.size())
        return 1;
    for (int i = 0; i < count; ++i) {
        const quint64 pattern = patternOf<T>(list.at(i));
        if (sizeof(T) == 1)
            appendByte(unsigned(pattern), out);
        else
            appendWords(pattern, int(sizeof(T)) / 2, out);
    }
    return 0;
}

} // namespace

int digitsPerElement(int type)
{
    switch (type) {
    case 2: case 3: return 2;
    case 4: case 5: return 4;
    case 6: case 7: case 8: return 8;
    case 9: case 10: case 11: return 16;
    default: return 0;
    }
}

QVariant decode(int type, const QByteArray &digits, int count)
{
    switch (type) {
    case 2: return decodeAs<char>(digits, count);
    case 3: return decodeAs<unsigned char>(digits, count);
    case 4: return decodeAs<short>(digits, count);
    case 5: return decodeAs<unsigned short>(digits, count);
    case 6: return decodeAs<int>(digits, count);
    case 7: return decodeAs<unsigned int>(digits, count);
    case 8: return decodeAs<float>(digits, count);
    case 9: return decodeAs<long long>(digits, count);
    case 10: return decodeAs<unsigned long long>(digits, count);
    case 11: return decodeAs<double>(digits, count);
    default: return QVariant();
    }
}

QVariant decodeBits(int bit, const QByteArray &digits, int count)
{
    QList<bool> list;
    for (int k = 0; k < count; ++k) {
        const long long n = static_cast<long long>(bit) + k;
        const quint64 word = wordAt(digits, (n / 16) * 4);
        list.append(((word >> (n % 16)) & 1u) != 0);
    }
    return QVariant::fromValue(list);
}

int encode(int type, const CLabelVariable &value, int count, QByteArray *out)
{
    switch (type) {
    case 2: return encodeAs<char>(value, count, out);
    case 3: return encodeAs<unsigned char>(value, count, out);
    case 4: return encodeAs<short>(value, count, out);
    case 5: return encodeAs<unsigned short>(value, count, out);
    case 6: return encodeAs<int>(value, count, out);
    case 7: return encodeAs<unsigned int>(value, count, out);
    case 8: return encodeAs<float>(value, count, out);
    case 9: return encodeAs<long long>(value, count, out);
    case 10: return encodeAs<unsigned long long>(value, count, out);
    case 11: return encodeAs<double>(value, count, out);
    default: return 1;
    }
}

int encodeBits(const CLabelVariable &value, int count, QByteArray *out)
{
    if (value.value.userType() != qMetaTypeId<QList<bool>>())
        return 1;
    const QList<bool> list = value.value.value<QList<bool>>();
    if (count > list.size())
        return 1;
    for (int i = 0; i < count; ++i)
        out->append(list.at(i) ? '\1' : '\0');
    return 0;
}

} // namespace HLinkCodec
