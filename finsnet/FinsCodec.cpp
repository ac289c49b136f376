#include "FinsCodec.h"

#include <QList>

#include <cstring>

namespace FinsCodec {
namespace {

quint8 byteAt(const QByteArray &data, long long offset)
{
    return offset < data.size() ? quint8(data.at(int(offset))) : 0;
}

// An element of `size` bytes (1, 2, 4 or 8) as its unsigned bit pattern:
// words in rising significance, each word high byte first.
quint64 patternAt(const QByteArray &data, long long offset, int size)
{
    if (size == 1)
        return byteAt(data, offset);
    quint64 pattern = 0;
    for (int w = 0; w < size / 2; ++w) {
        const quint64 word = quint64(byteAt(data, offset + 2 * w)) << 8 | byteAt(data, offset + 2 * w + 1);
        pattern |= word << (16 * w);
    }
    return pattern;
}

void appendPattern(QByteArray *out, quint64 pattern, int size)
{
    if (size == 1) {
        out->append(char(pattern & 0xFF));
        return;
    }
    for (int w = 0; w < size / 2; ++w) {
        const quint64 word = pattern >> (16 * w);
        out->append(char((word >> 8) & 0xFF));
        out->append(char(word & 0xFF));
    }
}

// Bit patterns to values and back without signed overflow or aliasing.
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
QVariant decodeList(const QByteArray &data, int count)
{
    QList<T> list;
    if (count > 0)
        list.reserve(count);
    for (long long i = 0; i < count; ++i)
        list.append(fromPattern<T>(patternAt(data, i * qint64(sizeof(T)), int(sizeof(T)))));
    return QVariant::fromValue(list);
}

template <typename T>
void encodeList(const QVariant &value, int count, QByteArray *out)
{
    if (value.userType() != qMetaTypeId<QList<T>>())
        return;
    const QList<T> list = value.value<QList<T>>();
    const int n = qMin(count, list.size());
    for (int i = 0; i < n; ++i)
        appendPattern(out, toPattern<T>(list.at(i)), int(sizeof(T)));
}

} // namespace

long long byteLength(int type, long long count)
{
    if (count < 1)
        return 0;
    switch (type) {
    case 1: return 2 * ((count + 15) / 16);
    case 2:
    case 3: return 2 * ((count + 1) / 2);
    case 4:
    case 5: return 2 * count;
    case 6:
    case 7:
    case 8: return 4 * count;
    case 9:
    case 10:
    case 11: return 8 * count;
    default: return 0;
    }
}

QVariant decodeInt8(const QByteArray &data, int count) { return decodeList<char>(data, count); }
QVariant decodeUInt8(const QByteArray &data, int count) { return decodeList<unsigned char>(data, count); }
QVariant decodeInt16(const QByteArray &data, int count) { return decodeList<short>(data, count); }
QVariant decodeUInt16(const QByteArray &data, int count) { return decodeList<unsigned short>(data, count); }
QVariant decodeInt32(const QByteArray &data, int count) { return decodeList<int>(data, count); }
QVariant decodeUInt32(const QByteArray &data, int count) { return decodeList<unsigned int>(data, count); }
QVariant decodeFloat(const QByteArray &data, int count) { return decodeList<float>(data, count); }
QVariant decodeInt64(const QByteArray &data, int count) { return decodeList<long long>(data, count); }
QVariant decodeUInt64(const QByteArray &data, int count) { return decodeList<unsigned long long>(data, count); }
QVariant decodeDouble(const QByteArray &data, int count) { return decodeList<double>(data, count); }

QVariant decodeBool(int bitOffset, const QByteArray &data, int byteCount)
{
    QList<bool> bits;
    long long skip = qMax(bitOffset, 0);
    for (long long i = 0; i < byteCount; ++i) {
        // Within a word bits 0-7 are in the second byte on the wire.
        const quint8 byte = byteAt(data, i % 2 == 0 ? i + 1 : i - 1);
        if (skip > 7) {
            skip -= 8;
            continue;
        }
        for (long long k = skip; k < 8; ++k)
            bits.append(((byte >> k) & 1) != 0);
        skip = 0;
    }
    return QVariant::fromValue(bits);
}

QVariant decode(int type, const QByteArray &data, int count, int bitOffset)
{
    switch (type) {
    case 1: {
        // Exactly `count` bits: the last word read may hold bits past the tag.
        const int bytes = int(byteLength(1, qint64(qMax(bitOffset, 0)) + qMax(count, 0)));
        return QVariant::fromValue(decodeBool(bitOffset, data, bytes).value<QList<bool>>().mid(0, qMax(count, 0)));
    }
    case 2: return decodeInt8(data, count);
    case 3: return decodeUInt8(data, count);
    case 4: return decodeInt16(data, count);
    case 5: return decodeUInt16(data, count);
    case 6: return decodeInt32(data, count);
    case 7: return decodeUInt32(data, count);
    case 8: return decodeFloat(data, count);
    case 9: return decodeInt64(data, count);
    case 10: return decodeUInt64(data, count);
    case 11: return decodeDouble(data, count);
    default: return QVariant();
    }
}

void encodeBool(const QVariant &value, int count, QByteArray *out)
{
    if (value.userType() != qMetaTypeId<QList<bool>>())
        return;
    const QList<bool> list = value.value<QList<bool>>();
    const int n = qMin(count, list.size());
    for (int i = 0; i < n; ++i)
        out->append(char(list.at(i) ? 1 : 0));
}

void encodeInt8(const QVariant &value, int count, QByteArray *out) { encodeList<char>(value, count, out); }
void encodeUInt8(const QVariant &value, int count, QByteArray *out) { encodeList<unsigned char>(value, count, out); }
void encodeInt16(const QVariant &value, int count, QByteArray *out) { encodeList<short>(value, count, out); }
void encodeUInt16(const QVariant &value, int count, QByteArray *out) { encodeList<unsigned short>(value, count, out); }
void encodeInt32(const QVariant &value, int count, QByteArray *out) { encodeList<int>(value, count, out); }
void encodeUInt32(const QVariant &value, int count, QByteArray *out) { encodeList<unsigned int>(value, count, out); }
void encodeFloat(const QVariant &value, int count, QByteArray *out) { encodeList<float>(value, count, out); }
void encodeInt64(const QVariant &value, int count, QByteArray *out) { encodeList<long long>(value, count, out); }
void encodeUInt64(const QVariant &value, int count, QByteArray *out) { encodeList<unsigned long long>(value, count, out); }
void encodeDouble(const QVariant &value, int count, QByteArray *out) { encodeList<double>(value, count, out); }

bool encode(int type, const QVariant &value, int count, QByteArray *out)
{
    switch (type) {
    case 1: encodeBool(value, count, out); return true;
    case 2: encodeInt8(value, count, out); return true;
    case 3: encodeUInt8(value, count, out); return true;
    case 4: encodeInt16(value, count, out); return true;
    case 5: encodeUInt16(value, count, out); return true;
    case 6: encodeInt32(value, count, out); return true;
    case 7: encodeUInt32(value, count, out); return true;
    case 8: encodeFloat(value, count, out); return true;
    case 9: encodeInt64(value, count, out); return true;
    case 10: encodeUInt64(value, count, out); return true;
    case 11: encodeDouble(value, count, out); return true;
    default: return false;
    }
}

} // namespace FinsCodec
