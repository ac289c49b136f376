#ifndef VALUEENTRYPOINTS_H
#define VALUEENTRYPOINTS_H

// The value conversion members every driver facade offers (set_variant_...
// decodes a run of PLC data in the protocol's form, Wset_variant_... encodes
// into it), each a thin entry point into the driver's codec. `Codec` provides
//
//   static QVariant decode(int type, const QByteArray &data, int count);
//   static QVariant decodeBits(int bitOffset, const QByteArray &data, int n);
//   static int encode(int type, const CLabelVariable &value, int count, QByteArray *out);
//   static int encodeBits(const CLabelVariable &value, int count, QByteArray *out);
//
// and says what `n` and the results mean for its protocol. No data, no
// virtual functions: deriving from it changes no object layout.

#include <QByteArray>
#include <QVariant>

#include "CDriveBaseClass.h"
#include "CLabelVariable.h"

template <class Codec>
class ValueEntryPoints
{
public:
    QVariant set_variant_bool(int bitOffset, QByteArray data, int n) { return Codec::decodeBits(bitOffset, data, n); }
    QVariant set_variant_Int8(QByteArray data, int count) { return Codec::decode(Int8, data, count); }
    QVariant set_variant_UInt8(QByteArray data, int count) { return Codec::decode(UInt8, data, count); }
    QVariant set_variant_Int16(QByteArray data, int count) { return Codec::decode(Int16, data, count); }
    QVariant set_variant_UInt16(QByteArray data, int count) { return Codec::decode(UInt16, data, count); }
    QVariant set_variant_Int32(QByteArray data, int count) { return Codec::decode(Int32, data, count); }
    QVariant set_variant_UInt32(QByteArray data, int count) { return Codec::decode(UInt32, data, count); }
    QVariant set_variant_fload(QByteArray data, int count) { return Codec::decode(Float, data, count); }
    QVariant set_variant_Int64(QByteArray data, int count) { return Codec::decode(Int64, data, count); }
    QVariant set_variant_UInt64(QByteArray data, int count) { return Codec::decode(UInt64, data, count); }
    QVariant set_variant_double(QByteArray data, int count) { return Codec::decode(Double, data, count); }

    int Wset_variant_bool(CLabelVariable value, int count, QByteArray *out) { return Codec::encodeBits(value, count, out); }
    int Wset_variant_Int8(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(Int8, value, count, out); }
    int Wset_variant_UInt8(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(UInt8, value, count, out); }
    int Wset_variant_Int16(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(Int16, value, count, out); }
    int Wset_variant_uInt16(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(UInt16, value, count, out); }
    int Wset_variant_Int32(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(Int32, value, count, out); }
    int Wset_variant_UInt32(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(UInt32, value, count, out); }
    int Wset_variant_float(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(Float, value, count, out); }
    int Wset_variant_Int64(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(Int64, value, count, out); }
    int Wset_variant_UInt64(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(UInt64, value, count, out); }
    int Wset_variant_double(CLabelVariable value, int count, QByteArray *out) { return Codec::encode(Double, value, count, out); }

protected:
    ~ValueEntryPoints() = default;
};

#endif // VALUEENTRYPOINTS_H
