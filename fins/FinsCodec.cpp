#include "FinsCodec.h"

#include <climits>

#include "CDriveBaseClass.h"
#include "WordLayout.h"

namespace FinsCodec {
namespace {

QVariant decodeAs(int type, const QByteArray &data, int count)
{
    return WordLayout::toElements(type, toWords(data), count);
}

// The memory bytes of the first `count` elements: an odd Int8/UInt8 count
// ends in half a word, which is not the caller's to send.
void encodeAs(int type, const QVariant &value, int count, QByteArray *out)
{
    WordLayout::Words words;
    const int taken = WordLayout::fromElements(type, value, count, &words);
    if (taken > 0)
        out->append(fromWords(words).left(int(WordLayout::byteCount(type, taken))));
}

} // namespace

WordLayout::Words toWords(const QByteArray &data)
{
    WordLayout::Words words((data.size() + 1) / 2, 0);
    for (int i = 0; i < data.size(); ++i)
        words[i / 2] |= quint16(quint8(data.at(i)) << (i % 2 == 0 ? 8 : 0));
    return words;
}

QByteArray fromWords(const WordLayout::Words &words)
{
    QByteArray data;
    data.reserve(2 * words.size());
    for (quint16 word : words) {
        data.append(char(word >> 8));
        data.append(char(word & 0xFF));
    }
    return data;
}

long long byteLength(int type, long long count)
{
    return 2 * WordLayout::wordCount(type, count);
}

QVariant decodeInt8(const QByteArray &data, int count) { return decodeAs(Int8, data, count); }
QVariant decodeUInt8(const QByteArray &data, int count) { return decodeAs(UInt8, data, count); }
QVariant decodeInt16(const QByteArray &data, int count) { return decodeAs(Int16, data, count); }
QVariant decodeUInt16(const QByteArray &data, int count) { return decodeAs(UInt16, data, count); }
QVariant decodeInt32(const QByteArray &data, int count) { return decodeAs(Int32, data, count); }
QVariant decodeUInt32(const QByteArray &data, int count) { return decodeAs(UInt32, data, count); }
QVariant decodeFloat(const QByteArray &data, int count) { return decodeAs(Float, data, count); }
QVariant decodeInt64(const QByteArray &data, int count) { return decodeAs(Int64, data, count); }
QVariant decodeUInt64(const QByteArray &data, int count) { return decodeAs(UInt64, data, count); }
QVariant decodeDouble(const QByteArray &data, int count) { return decodeAs(Double, data, count); }

QVariant decodeBool(int bitOffset, const QByteArray &data, int byteCount)
{
    const long long bits = 8LL * qMax(byteCount, 0) - qMax(bitOffset, 0);
    return WordLayout::toBits(bitOffset, toWords(data), int(qBound(0LL, bits, (long long)INT_MAX)));
}

QVariant decode(int type, const QByteArray &data, int count, int bitOffset)
{
    if (type == Bool)
        return WordLayout::toBits(bitOffset, toWords(data), qMax(count, 0));
    return decodeAs(type, data, count);
}

void encodeBool(const QVariant &value, int count, QByteArray *out) { WordLayout::bitFlags(value, count, out); }
void encodeInt8(const QVariant &value, int count, QByteArray *out) { encodeAs(Int8, value, count, out); }
void encodeUInt8(const QVariant &value, int count, QByteArray *out) { encodeAs(UInt8, value, count, out); }
void encodeInt16(const QVariant &value, int count, QByteArray *out) { encodeAs(Int16, value, count, out); }
void encodeUInt16(const QVariant &value, int count, QByteArray *out) { encodeAs(UInt16, value, count, out); }
void encodeInt32(const QVariant &value, int count, QByteArray *out) { encodeAs(Int32, value, count, out); }
void encodeUInt32(const QVariant &value, int count, QByteArray *out) { encodeAs(UInt32, value, count, out); }
void encodeFloat(const QVariant &value, int count, QByteArray *out) { encodeAs(Float, value, count, out); }
void encodeInt64(const QVariant &value, int count, QByteArray *out) { encodeAs(Int64, value, count, out); }
void encodeUInt64(const QVariant &value, int count, QByteArray *out) { encodeAs(UInt64, value, count, out); }
void encodeDouble(const QVariant &value, int count, QByteArray *out) { encodeAs(Double, value, count, out); }

bool encode(int type, const QVariant &value, int count, QByteArray *out)
{
    if (type == Bool) {
        encodeBool(value, count, out);
        return true;
    }
    if (WordLayout::bytesPerElement(type) == 0)
        return false;
    encodeAs(type, value, count, out);
    return true;
}

int EntryPoints::encode(int type, const CLabelVariable &value, int count, QByteArray *out)
{
    FinsCodec::encode(type, value.value, count, out);
    return 0;
}

int EntryPoints::encodeBits(const CLabelVariable &value, int count, QByteArray *out)
{
    encodeBool(value.value, count, out);
    return 0;
}

} // namespace FinsCodec
