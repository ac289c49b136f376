#ifndef HLINKCODEC_H
#define HLINKCODEC_H

// Conversion between PLC words carried as hex digit values (one byte 0..15
// per hex character, four per word, most significant first) and the element
// lists of a CLabelVariable. How the elements lie in the words is
// WordLayout's, the same for every driver.

#include <QByteArray>
#include <QVariant>

#include "CLabelVariable.h"
#include "WordLayout.h"

namespace HLinkCodec {

// PLC words from their digit values (only the low four bits of each byte
// count); a missing digit of the last word reads as 0.
WordLayout::Words toWords(const QByteArray &digits);
// Four digit values per word, most significant first.
QByteArray fromWords(const WordLayout::Words &words);

// Hex digit values per element, 0 for Bool (bits) and unknown types.
int digitsPerElement(int type);

// Decodes `count` elements of `type` (Int8 .. Double); a missing digit reads
// as 0; an empty list for count <= 0. Holds the type's QList.
QVariant decode(int type, const QByteArray &digits, int count);
// Bits bit .. bit+count-1 of the words in `digits`.
QVariant decodeBits(int bit, const QByteArray &digits, int count);

// Appends the digit values of the first `count` elements (Int8 .. Double).
// 0 when done; 1 when `value` holds no list of the type's element type with
// `count` elements (nothing appended).
int encode(int type, const CLabelVariable &value, int count, QByteArray *out);
// Appends one byte per element of a QList<bool>: 1 for true, 0 for false.
int encodeBits(const CLabelVariable &value, int count, QByteArray *out);

// The facade's value members (ValueEntryPoints) over these functions.
struct EntryPoints {
    static QVariant decode(int type, const QByteArray &digits, int count)
    {
        return HLinkCodec::decode(type, digits, count);
    }
    static QVariant decodeBits(int bit, const QByteArray &digits, int count)
    {
        return HLinkCodec::decodeBits(bit, digits, count);
    }
    static int encode(int type, const CLabelVariable &value, int count, QByteArray *out)
    {
        return HLinkCodec::encode(type, value, count, out);
    }
    static int encodeBits(const CLabelVariable &value, int count, QByteArray *out)
    {
        return HLinkCodec::encodeBits(value, count, out);
    }
};

} // namespace HLinkCodec

#endif // HLINKCODEC_H
