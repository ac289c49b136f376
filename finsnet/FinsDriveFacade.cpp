#include "FinsDriveFacade.h"

#include <climits>

#include "FinsCodec.h"

FinsDriveFacade::FinsDriveFacade(const Identity &identity)
    : identity(identity)
{
}

FinsDriveFacade::~FinsDriveFacade() = default;

QString FinsDriveFacade::getDriveName()
{
    return identity.name;
}

QString FinsDriveFacade::getversion_number()
{
    return identity.version;
}

QString FinsDriveFacade::versionPattern() const
{
    return identity.versionPattern;
}

void FinsDriveFacade::setDebug(bool on)
{
    memory().setDebug(on);
}

// ---- words as FINS bytes --------------------------------------------------

int FinsDriveFacade::readWords(int area, int word, int count, const QString &tag, Words *out)
{
    QByteArray bytes;
    const int protocol = memory().Read_area(word, 2 * count, &bytes, area, tag);
    if (protocol == 0)
        *out = FinsCodec::toWords(bytes);
    return protocol;
}

int FinsDriveFacade::writeWords(int area, int word, const Words &words, const QString &tag)
{
    const QByteArray bytes = FinsCodec::fromWords(words);
    return memory().Write_area(word, bytes.size(), bytes, area, tag);
}

int FinsDriveFacade::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    return memory().Write_bool(word, flags.size(), flags, bit, bitArea, tag);
}

// ---- steps ----------------------------------------------------------------

CLabelVariable FinsDriveFacade::Read_data(int address, DataType type, int count, int bit, int area, QString tag)
{
    return readTag(address, type, count, bit, area, tag);
}

CLabelVariable FinsDriveFacade::Write_area(int address, DataType type, int count, CLabelVariable value, int area,
                                           QString tag)
{
    return writeTagWords(address, type, count, value, area, tag);
}

CLabelVariable FinsDriveFacade::Write_bool(int address, DataType type, int count, CLabelVariable value, int bit,
                                           int bitArea, QString tag)
{
    return writeTagBits(address, type, count, value, bit, bitArea, tag);
}

int FinsDriveFacade::getBytelen(DataType type, int count)
{
    return int(qMin<long long>(FinsCodec::byteLength(type, count), INT_MAX));
}

// ---- codec --------------------------------------------------------------

QVariant FinsDriveFacade::set_variant_bool(int bitOffset, QByteArray data, int byteCount)
{
    return FinsCodec::decodeBool(bitOffset, data, byteCount);
}

QVariant FinsDriveFacade::set_variant_Int8(QByteArray data, int count) { return FinsCodec::decodeInt8(data, count); }
QVariant FinsDriveFacade::set_variant_UInt8(QByteArray data, int count) { return FinsCodec::decodeUInt8(data, count); }
QVariant FinsDriveFacade::set_variant_Int16(QByteArray data, int count) { return FinsCodec::decodeInt16(data, count); }
QVariant FinsDriveFacade::set_variant_UInt16(QByteArray data, int count) { return FinsCodec::decodeUInt16(data, count); }
QVariant FinsDriveFacade::set_variant_Int32(QByteArray data, int count) { return FinsCodec::decodeInt32(data, count); }
QVariant FinsDriveFacade::set_variant_UInt32(QByteArray data, int count) { return FinsCodec::decodeUInt32(data, count); }
QVariant FinsDriveFacade::set_variant_fload(QByteArray data, int count) { return FinsCodec::decodeFloat(data, count); }
QVariant FinsDriveFacade::set_variant_Int64(QByteArray data, int count) { return FinsCodec::decodeInt64(data, count); }
QVariant FinsDriveFacade::set_variant_UInt64(QByteArray data, int count) { return FinsCodec::decodeUInt64(data, count); }
QVariant FinsDriveFacade::set_variant_double(QByteArray data, int count) { return FinsCodec::decodeDouble(data, count); }

int FinsDriveFacade::Wset_variant_bool(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeBool(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_Int8(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeInt8(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_UInt8(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeUInt8(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_Int16(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeInt16(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_uInt16(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeUInt16(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_Int32(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeInt32(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_UInt32(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeUInt32(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_float(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeFloat(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_Int64(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeInt64(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_UInt64(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeUInt64(value.value, count, out);
    return 0;
}

int FinsDriveFacade::Wset_variant_double(CLabelVariable value, int count, QByteArray *out)
{
    FinsCodec::encodeDouble(value.value, count, out);
    return 0;
}
