#include "FinsDriveFacade.h"

#include <QDateTime>

#include <climits>

#include "AddressGrammar.h"
#include "BuildInfo.h"
#include "FinsCodec.h"
#include "FinsMemoryAccess.h"
#include "TagRequest.h"

FinsDriveFacade::FinsDriveFacade() = default;
FinsDriveFacade::~FinsDriveFacade() = default;

QString FinsDriveFacade::DebugCmd(EDebugCmdType command)
{
    switch (command) {
    case StartDebug:
        memory().setDebug(true);
        return QStringLiteral("StartDebug");
    case StopDebug:
        memory().setDebug(false);
        return QStringLiteral("StopDebug");
    case GetVersion:
        return BuildInfo::versionText(versionPattern());
    case GetDriveName:
        return getDriveName();
    }
    return QString();
}

void FinsDriveFacade::SetConnectPar(QString parameter)
{
    connectPar = parameter.toUInt(nullptr, 10);
}

CLabelVariable FinsDriveFacade::ReadVariable(QString address, DataType type)
{
    CDriveBaseClass *face = this;
    return face->ReadVariable(address, type, 1);
}

CLabelVariable FinsDriveFacade::WriteVariable(QString address, DataType type, CLabelVariable value)
{
    CDriveBaseClass *face = this;
    return face->WriteVariable(address, type, value, 1);
}

long long FinsDriveFacade::wordsCovered(DataType type, int bit, int count) const
{
    if (type == Bool)
        return TagRequest::boolWords(bit, count);
    return FinsCodec::byteLength(type, count) / 2;
}

CLabelVariable FinsDriveFacade::ReadVariable(QString address, DataType type, int count)
{
    const AreaType area = getArea(address);
    const int word = getAddr(address, area);
    const int bit = getmodule_BIT(address, area);
    const int code = TagRequest::check(word, bit, area, count, type, wordsCovered(type, bit, count));
    return TagRequest::readFrame(address, type, count, code,
                                 [&] { return Read_data(word, type, count, bit, area, address); });
}

CLabelVariable FinsDriveFacade::WriteVariable(QString address, DataType type, CLabelVariable value, int count)
{
    const AreaType area = getArea(address);
    const int bitArea = getArea_Bit(address);
    const int word = getAddr(address, area);
    const int bit = getmodule_BIT(address, area);
    const int code = TagRequest::check(word, bit, area, count, type, wordsCovered(type, bit, count));
    return TagRequest::writeFrame(value, address, type, count, code, [&] {
        return type == Bool ? Write_bool(word, type, count, value, bit, bitArea, address)
                            : Write_area(word, type, count, value, area, address);
    });
}

CLabelVariable FinsDriveFacade::Read_data(int address, DataType type, int count, int bit, int area, QString tag)
{
    CLabelVariable result;
    if (!TagRequest::isTransferType(type) || count < 1) {
        result.errorCode = TagRequest::TypeNotHandled;
        return result;
    }
    // Bool: the words from bit 0 of the first word up to the last bit named.
    const long long len = type == Bool ? 2 * TagRequest::boolWords(bit, count) : FinsCodec::byteLength(type, count);
    QByteArray bytes;
    const int protocol = memory().Read_area(address, int(len), &bytes, area, tag);
    if (protocol != 0) {
        result.errorCode = TagRequest::resultCodeFor(protocol);
        return result;
    }
    result.timestamp = QDateTime::currentDateTime();
    result.errorCode = TagRequest::Success;
    result.value = FinsCodec::decode(type, bytes, count, bit);
    return result;
}

CLabelVariable FinsDriveFacade::Write_area(int address, DataType type, int count, CLabelVariable value, int area,
                                      QString tag)
{
    // Only what the caller gave goes out: a value without `count` elements of
    // the tag's type is refused before anything is sent.
    if (type == Bool || !TagRequest::holdsElements(value, type, count)) {
        value.errorCode = TagRequest::TypeNotHandled;
        return value;
    }
    QByteArray bytes;
    FinsCodec::encode(type, value.value, count, &bytes);
    if ((type == Int8 || type == UInt8) && count % 2 != 0) {
        // The last element shares its word with a byte the caller did not
        // name: keep that byte as the PLC holds it.
        QByteArray lastWord;
        const int protocol = memory().Read_area(address + count / 2, 2, &lastWord, area, tag);
        if (protocol != 0) {
            value.errorCode = TagRequest::resultCodeFor(protocol);
            return value;
        }
        bytes.append(lastWord.at(1));
    }
    const int protocol = memory().Write_area(address, bytes.size(), bytes, area, tag);
    value.errorCode = TagRequest::resultCodeFor(protocol);
    if (protocol == 0)
        value.timestamp = QDateTime::currentDateTime();
    return value;
}

CLabelVariable FinsDriveFacade::Write_bool(int address, DataType type, int count, CLabelVariable value, int bit,
                                      int bitArea, QString tag)
{
    if (type != Bool || !TagRequest::holdsElements(value, Bool, count)) {
        value.errorCode = TagRequest::TypeNotHandled;
        return value;
    }
    QByteArray bytes;
    FinsCodec::encodeBool(value.value, count, &bytes);
    // Bit numbers above 15 name a bit of a later word.
    const int protocol = memory().Write_bool(address + bit / 16, count, bytes, bit % 16, bitArea, tag);
    value.errorCode = TagRequest::resultCodeFor(protocol);
    if (protocol == 0)
        value.timestamp = QDateTime::currentDateTime();
    return value;
}

// ---- address grammar ----------------------------------------------------

FinsDriveFacade::AreaType FinsDriveFacade::getArea(QString text)
{
    return AreaType(AddressGrammar::areaCode(text));
}

int FinsDriveFacade::getArea_Bit(QString text)
{
    return AddressGrammar::bitAreaCode(text);
}

int FinsDriveFacade::getAddr(QString text, AreaType area)
{
    return AddressGrammar::wordAddress(text, area);
}

int FinsDriveFacade::getmodule_BIT(QString text, AreaType area)
{
    return AddressGrammar::bitNumber(text, area);
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
