#include "WordLayout.h"

#include <QList>

#include <cstring>
#include <type_traits>

namespace WordLayout {
namespace {

quint16 wordAt(const Words &words, long long index)
{
    return index < words.size() ? words.at(int(index)) : quint16(0);
}

// Byte `index` of the memory the words hold, in memory order (high byte of
// each word first).
quint8 byteAt(const Words &words, long long index)
{
    const quint16 word = wordAt(words, index / 2);
    return quint8(index % 2 == 0 ? word >> 8 : word & 0xFF);
}

// Element `index` of `size` bytes as its unsigned bit pattern: a byte, or the
// words from the lowest address on in rising significance.
quint64 patternAt(const Words &words, long long index, int size)
{
    if (size == 1)
        return byteAt(words, index);
    const int perElement = size / 2;
    quint64 pattern = 0;
    for (int w = 0; w < perElement; ++w)
        pattern |= quint64(wordAt(words, index * perElement + w)) << (16 * w);
    return pattern;
}

// Bit patterns to values and back without conversion, aliasing or signed
// overflow.
template <typename T>
T fromPattern(quint64 pattern)
{
    T value;
    if constexpr (sizeof(T) == 1) {
        const quint8 narrow = quint8(pattern);
        std::memcpy(&value, &narrow, 1);
    } else if constexpr (sizeof(T) == 2) {
        const quint16 narrow = quint16(pattern);
        std::memcpy(&value, &narrow, 2);
    } else if constexpr (sizeof(T) == 4) {
        const quint32 narrow = quint32(pattern);
        std::memcpy(&value, &narrow, 4);
    } else {
        std::memcpy(&value, &pattern, 8);
    }
    return value;
}

template <typename T>
quint64 toPattern(T value)
{
    if constexpr (sizeof(T) == 1) {
        quint8 narrow;
        std::memcpy(&narrow, &value, 1);
        return narrow;
    } else if constexpr (sizeof(T) == 2) {
        quint16 narrow;
        std::memcpy(&narrow, &value, 2);
        return narrow;
    } else if constexpr (sizeof(T) == 4) {
        quint32 narrow;
        std::memcpy(&narrow, &value, 4);
        return narrow;
    } else {
        quint64 wide;
        std::memcpy(&wide, &value, 8);
        return wide;
    }
}

template <typename T>
QVariant decodeList(const Words &words, int count)
{
    QList<T> list;
    if (count > 0)
        list.reserve(count);
    for (long long i = 0; i < count; ++i)
        list.append(fromPattern<T>(patternAt(words, i, int(sizeof(T)))));
    return QVariant::fromValue(list);
}

template <typename T>
int encodeList(const QVariant &value, int count, Words *out)
{
    if (value.userType() != qMetaTypeId<QList<T>>())
        return -1;
    const QList<T> list = value.value<QList<T>>();
    const int n = qMax(0, qMin(count, list.size()));
    for (int i = 0; i < n; ++i) {
        const quint64 pattern = toPattern<T>(list.at(i));
        if constexpr (sizeof(T) == 1) {
            // Even elements open a word in its high byte, odd ones fill its low byte.
            if (i % 2 == 0)
                out->append(quint16(pattern << 8));
            else
                out->last() = quint16(out->last() | pattern);
        } else {
            for (int w = 0; w < int(sizeof(T)) / 2; ++w)
                out->append(quint16(pattern >> (16 * w)));
        }
    }
    return n;
}

} // namespace

int bytesPerElement(int type)
{
    return withElementType(type, 0, [](auto element) {
        return std::is_same<decltype(element), bool>::value ? 0 : int(sizeof(element));
    });
}

long long wordCount(int type, long long count)
{
    if (count < 1)
        return 0;
    if (type == Bool)
        return (count + 15) / 16;
    return (count * bytesPerElement(type) + 1) / 2;
}

long long byteCount(int type, long long count)
{
    if (type == Bool)
        return 2 * wordCount(type, count);
    return count < 1 ? 0 : count * bytesPerElement(type);
}

bool endsInHalfWord(int type, long long count)
{
    return bytesPerElement(type) == 1 && count % 2 != 0;
}

QVariant toElements(int type, const Words &words, int count)
{
    if (type == Bool || count > MaxElements)
        return QVariant();
    return withElementType(type, QVariant(), [&](auto element) { return decodeList<decltype(element)>(words, count); });
}

QVariant toBits(int bit, const Words &words, int count)
{
    if (count > MaxElements)
        return QVariant();
    QList<bool> bits;
    const long long first = qMax(bit, 0);
    for (long long n = first; n < first + count; ++n)
        bits.append(((wordAt(words, n / 16) >> (n % 16)) & 1) != 0);
    return QVariant::fromValue(bits);
}

int fromElements(int type, const QVariant &value, int count, Words *out)
{
    if (type == Bool)
        return -1;
    return withElementType(type, -1, [&](auto element) { return encodeList<decltype(element)>(value, count, out); });
}

int bitFlags(const QVariant &value, int count, QByteArray *out)
{
    if (value.userType() != qMetaTypeId<QList<bool>>())
        return -1;
    const QList<bool> list = value.value<QList<bool>>();
    const int n = qMax(0, qMin(count, list.size()));
    for (int i = 0; i < n; ++i)
        out->append(list.at(i) ? '\1' : '\0');
    return n;
}

} // namespace WordLayout
