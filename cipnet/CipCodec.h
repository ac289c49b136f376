#ifndef CIPCODEC_H
#define CIPCODEC_H

// Values as the controller's variables hold them: CIP type codes, the
// DataType each answers, and the conversion between reply / request bytes
// (little-endian) and a CLabelVariable's element list. Pure functions.
//
// - BOOL: one element reads back as 2 bytes (value, forced flag); a range
//   comes back bit-packed in 16-bit words, element 0 in bit 0. Either way
//   element k is bit k of the byte stream.
// - 1-byte types go out as exactly one byte per element, no pad.
// - STRING: `<length 2> <bytes>`, one string per message.

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace CipCodec {

enum TypeCode : quint8 {
    BOOL = 0xC1, SINT = 0xC2, INT = 0xC3, DINT = 0xC4, LINT = 0xC5, USINT = 0xC6, UINT = 0xC7,
    UDINT = 0xC8, ULINT = 0xC9, REAL = 0xCA, LREAL = 0xCB, STRING = 0xD0, BYTE = 0xD1, WORD = 0xD2,
    DWORD = 0xD3, LWORD = 0xD4, Structure = 0xA0, Structure2 = 0xA2,
};

// The variable's type as the controller names it ("DINT", "structure" ...).
QString typeName(quint8 code);

// True when a variable of type `code` reads and writes as `dataType`.
bool answers(int dataType, quint8 code);
// The DataType a variable of type `code` reads as; 0 for none (structures).
int dataTypeOf(quint8 code);
// The code a write of `dataType` carries unless the variable's own code is
// known (the unsigned types have two: USINT / BYTE, UINT / WORD ...).
quint8 defaultCode(int dataType);
bool hasTwoCodes(int dataType);

// Bytes one element takes in a message: 1 .. 8; 0 for Bool (bits) and
// String (one per message).
int elementSize(int dataType);
// Reply bytes `count` elements take (Bool counts packed words, at least 2).
int replyBytes(int dataType, int count);
// Elements of `dataType` that fit in `bytes` of values (Bool: packed bits).
int elementsIn(int dataType, int bytes);

// `count` elements from reply values; false (and nothing in `out`) when
// the bytes do not hold exactly them.
bool decode(int dataType, const QByteArray &values, int count, QVariant *out);
bool decodeString(const QByteArray &values, QString *out);

// Elements first .. first+count-1 of the list in `value` as request bytes;
// false when `value` holds no list of the type with that many elements.
bool encode(int dataType, const QVariant &value, int first, int count, QByteArray *out);
// Length and UTF-8 bytes of element `index` of a QList<QString>.
bool encodeString(const QVariant &value, int index, QByteArray *out);
// Elements the value's list holds; -1 when it is no list of the type's elements.
int listSize(int dataType, const QVariant &value);

} // namespace CipCodec

#endif // CIPCODEC_H
