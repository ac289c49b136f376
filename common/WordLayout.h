#ifndef WORDLAYOUT_H
#define WORDLAYOUT_H

// How tag elements lie in a run of 16-bit PLC words, whatever carries the
// words. This is the controller's own layout:
//
// - Bool element k is bit (b + k) counted from bit 0 of the first word, b the
//   tag's bit; bits above 15 carry on into the next words.
// - Int8/UInt8 elements are the bytes in memory order: element 2k is the high
//   byte of word k, element 2k + 1 its low byte.
// - 16-bit integers take one word; Int32, UInt32 and Float two, Int64, UInt64
//   and Double four, the lowest word at the lowest address.
//
// Pure functions: no I/O, no protocol.

#include <QByteArray>
#include <QVariant>
#include <QVector>

#include "CDriveBaseClass.h"

namespace WordLayout {

using Words = QVector<quint16>;

// Calls f(T()) with T the element type of `type` (bool for Bool, char for
// Int8 ... double for Double) and returns its result; `otherwise` for a type
// that is not transferred. The one place that maps type codes to C++ types.
template <typename R, typename F>
R withElementType(int type, R otherwise, F &&f)
{
    switch (type) {
    case Bool: return f(bool());
    case Int8: return f(char());
    case UInt8: return f((unsigned char)0);
    case Int16: return f(short());
    case UInt16: return f((unsigned short)0);
    case Int32: return f(int());
    case UInt32: return f(0u);
    case Float: return f(float());
    case Int64: return f((long long)0);
    case UInt64: return f((unsigned long long)0);
    case Double: return f(double());
    default: return otherwise;
    }
}

// Memory bytes one element of `type` takes: 1 for Int8/UInt8, 2, 4 or 8 for
// the wider types; 0 for Bool (a bit) and types that are not transferred.
int bytesPerElement(int type);

// PLC words `count` elements of `type` cover, the bits of a Bool tag counted
// from bit 0 of its first word; 0 for a count below 1 or a type that is not
// transferred.
long long wordCount(int type, long long count);

// Memory bytes the elements themselves take (an odd Int8/UInt8 count ends in
// the high byte of its last word); Bool counts its whole words.
long long byteCount(int type, long long count);

// True when `count` elements of `type` end in the high byte of a word, whose
// low byte belongs to someone else.
bool endsInHalfWord(int type, long long count);

// The most elements any tag can have: the bits of 65,536 words. A larger
// count names memory no address can reach; decoding it would only exhaust
// the host's memory.
constexpr int MaxElements = 65536 * 16;

// `count` elements of `type` (Int8 .. Double) from `words`; a word past the
// end reads as 0, a count below 1 gives an empty list. The QVariant holds the
// element type's QList; it is null for Bool, types without a layout and a
// count above MaxElements.
QVariant toElements(int type, const Words &words, int count);

// Bits bit .. bit + count - 1 of `words` as a QList<bool> (a negative bit
// counts as 0; a word past the end reads as 0); null for a count above
// MaxElements.
QVariant toBits(int bit, const Words &words, int count);

// Appends the words of the first `count` elements of `value` (fewer when the
// list is shorter) to *out; an odd Int8/UInt8 count leaves the low byte of the
// last word 0. Returns the elements taken, or -1 when `value` holds no list of
// the element type of `type` (Int8 .. Double), and nothing is appended.
int fromElements(int type, const QVariant &value, int count, Words *out);

// Appends one byte per element of a QList<bool> (1 on, 0 off), the first
// `count` elements or fewer when the list is shorter. Returns the elements
// taken, or -1 when `value` holds no QList<bool>.
int bitFlags(const QVariant &value, int count, QByteArray *out);

} // namespace WordLayout

#endif // WORDLAYOUT_H
