#ifndef FINSCODEC_H
#define FINSCODEC_H

// Conversion between FINS memory bytes and tag element lists: PLC words
// travel high byte first; how the elements lie in the words is WordLayout's.

#include <QByteArray>
#include <QVariant>

#include "CLabelVariable.h"
#include "WordLayout.h"

namespace FinsCodec {

// PLC words from their bytes, high byte first; an odd last byte is the high
// byte of a word whose low byte reads as 0.
WordLayout::Words toWords(const QByteArray &data);
// The words' bytes, high byte first.
QByteArray fromWords(const WordLayout::Words &words);

// Bytes `count` elements of `type` take on the wire; Int8/UInt8 and Bool are
// rounded up to whole words. 0 for a type the driver does not transfer.
long long byteLength(int type, long long count);

// Decoders: `count` elements from `data` (a missing byte reads as 0; a count
// below 1 gives an empty list). The QVariant holds the element type's QList.
QVariant decodeInt8(const QByteArray &data, int count);
QVariant decodeUInt8(const QByteArray &data, int count);
QVariant decodeInt16(const QByteArray &data, int count);
QVariant decodeUInt16(const QByteArray &data, int count);
QVariant decodeInt32(const QByteArray &data, int count);
QVariant decodeUInt32(const QByteArray &data, int count);
QVariant decodeFloat(const QByteArray &data, int count);
QVariant decodeInt64(const QByteArray &data, int count);
QVariant decodeUInt64(const QByteArray &data, int count);
QVariant decodeDouble(const QByteArray &data, int count);
// Bits of the first `byteCount` bytes of `data` from bit `bitOffset` on (bit
// 0 of the first word is bit 0). Holds every bit up to the last byte; callers
// that want exactly n bits cut the list.
QVariant decodeBool(int bitOffset, const QByteArray &data, int byteCount);
// Decoder by DataType code, exactly `count` elements (Bool: bits bitOffset ..
// bitOffset + count - 1); a null QVariant for a type without one.
QVariant decode(int type, const QByteArray &data, int count, int bitOffset = 0);

// Encoders: append the first `count` elements of `value` to `*out` (fewer
// when the list is shorter). A value that holds another list type appends
// nothing. Bool appends one byte per bit (00/01), as a bit write carries it.
void encodeBool(const QVariant &value, int count, QByteArray *out);
void encodeInt8(const QVariant &value, int count, QByteArray *out);
void encodeUInt8(const QVariant &value, int count, QByteArray *out);
void encodeInt16(const QVariant &value, int count, QByteArray *out);
void encodeUInt16(const QVariant &value, int count, QByteArray *out);
void encodeInt32(const QVariant &value, int count, QByteArray *out);
void encodeUInt32(const QVariant &value, int count, QByteArray *out);
void encodeFloat(const QVariant &value, int count, QByteArray *out);
void encodeInt64(const QVariant &value, int count, QByteArray *out);
void encodeUInt64(const QVariant &value, int count, QByteArray *out);
void encodeDouble(const QVariant &value, int count, QByteArray *out);
// Encoder by DataType code; false (nothing appended) for a type without one.
bool encode(int type, const QVariant &value, int count, QByteArray *out);

// The facade's value members (ValueEntryPoints) over these functions.
struct EntryPoints {
    static QVariant decode(int type, const QByteArray &data, int count) { return FinsCodec::decode(type, data, count); }
    static QVariant decodeBits(int bitOffset, const QByteArray &data, int byteCount)
    {
        return decodeBool(bitOffset, data, byteCount);
    }
    static int encode(int type, const CLabelVariable &value, int count, QByteArray *out);
    static int encodeBits(const CLabelVariable &value, int count, QByteArray *out);
};

} // namespace FinsCodec

#endif // FINSCODEC_H
