#include "libhlink.h"

#include <QDateTime>

#include "AddressGrammar.h"
#include "BuildInfo.h"
#include "HLinkCodec.h"
#include "TagRequest.h"

LibHLink::LibHLink()
    : QObject(nullptr)
{
}

LibHLink::~LibHLink() = default;

// ----------------------------------------------------------------- identity

QString LibHLink::getDriveName()
{
    return QStringLiteral("HLink");
}

QString LibHLink::getversion_number()
{
    return QStringLiteral("V1.0.1 20230221");
}

QString LibHLink::DebugCmd(EDebugCmdType cmdType)
{
    switch (cmdType) {
    case StartDebug:
        cmd.debugOn = true;
        return QStringLiteral("StartDebug");
    case StopDebug:
        cmd.debugOn = false;
        return QStringLiteral("StopDebug");
    case GetVersion:
        return BuildInfo::versionText(QStringLiteral("v1.0.1 %1 %2"));
    case GetDriveName:
        return getDriveName();
    }
    return QString();
}

// --------------------------------------------------------------- connection

void LibHLink::SetConnectPar(QString parameter)
{
    unitNumber = int(parameter.toUInt(nullptr, 10));
}

int LibHLink::ConnectDrive(QString connection)
{
    if (connection.contains(QLatin1Char(','))) {
        // port name, baud rate, data bits, stop bits, parity
        const QStringList fields = connection.split(QLatin1Char(','));
        auto number = [&fields](int i) { return i < fields.size() ? fields.at(i).trimmed().toInt() : 0; };
        portName = fields.at(0);
        baudRate = number(1);
        dataBits = number(2);
        stopBits = number(3);
        parity = fields.size() > 4 ? fields.at(4) : QString();
        if (portName.isEmpty() || baudRate == 0 || dataBits == 0 || stopBits == 0)
            return -1;
        return cmd.serialConnectDrive(portName, baudRate, dataBits, stopBits, parity);
    }
    const int colon = connection.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        ipAddress = connection.left(colon);
        bool ok = false;
        ipPort = connection.mid(colon + 1).toInt(&ok);
        if (!ok)
            ipPort = 0;
        // A port outside the TCP range would be truncated to some other port.
        if (ipAddress.isEmpty() || ipPort < 1 || ipPort > 65535)
            return -1;
        return cmd.EthConnectDrive(ipAddress, ipPort);
    }
    return -4;
}

int LibHLink::DisConnectDrive()
{
    switch (cmd.activeMedium()) {
    case CmdHLink::TcpMedium: return cmd.EthDisConnectDrive();
    case CmdHLink::SerialMedium: return cmd.serialDisConnectDrive();
    case CmdHLink::NoMedium: break;
    }
    return 1;
}

int LibHLink::DestroyFree()
{
    return cmd.DestroyFree();
}

// ---------------------------------------------------------- address grammar

LibHLink::AreaType LibHLink::getArea(QString text)
{
    return static_cast<AreaType>(AddressGrammar::areaCode(text));
}

int LibHLink::getArea_Bit(QString text)
{
    return AddressGrammar::bitAreaCode(text);
}

int LibHLink::getAddr(QString text, AreaType area)
{
    return AddressGrammar::wordAddress(text, area);
}

int LibHLink::getmodule_BIT(QString text, AreaType area)
{
    return AddressGrammar::bitNumber(text, area);
}

int LibHLink::getBytelen(DataType type, int count)
{
    const long long n = count;
    long long words = 0;
    switch (type) {
    case Bool: words = (n + 15) / 16; break;
    case Int8: case UInt8: words = (n + 1) / 2; break;
    case Int16: case UInt16: words = n; break;
    case Int32: case UInt32: case Float: words = 2 * n; break;
    case Int64: case UInt64: case Double: words = 4 * n; break;
    default: words = 0; break;
    }
    return words > 0 && words <= 0x7FFFFFFF ? int(words) : 0;
}

long long LibHLink::wordsCovered(DataType type, int count, int bitNumber)
{
    if (type == Bool)
        return TagRequest::boolWords(qMax(bitNumber, 0), count);
    return getBytelen(type, count);
}

// ------------------------------------------------------------- read / write

CLabelVariable LibHLink::ReadVariable(QString address, DataType type)
{
    CDriveBaseClass *face = this;
    return face->ReadVariable(address, type, 1);
}

CLabelVariable LibHLink::ReadVariable(QString address, DataType type, int count)
{
    const AreaType area = getArea(address);
    const int wordAddress = getAddr(address, area);
    const int bitNumber = getmodule_BIT(address, area);
    const int code = TagRequest::check(wordAddress, bitNumber, area, count, type,
                                       wordsCovered(type, count, bitNumber));
    return TagRequest::readFrame(address, type, count, code, [&] {
        return Read_data(wordAddress, type, count, bitNumber, area, address);
    });
}

CLabelVariable LibHLink::Read_data(int wordAddress, DataType type, int count, int bitNumber, int area,
                                   QString address)
{
    CLabelVariable result;
    if (!TagRequest::isTransferType(type) || count < 1) {
        result.errorCode = TagRequest::TypeNotHandled;
        return result;
    }
    // Bool tags count their bits from bit 0 of the first word, also past 15.
    const int words = int(wordsCovered(type, count, bitNumber));
    QByteArray digits;
    const int r = cmd.read_cmd(unitNumber, area, wordAddress, words, address, &digits);
    result.errorCode = TagRequest::resultCodeFor(r);
    if (r != 0)
        return result;
    result.timestamp = QDateTime::currentDateTime();
    result.value = type == Bool ? HLinkCodec::decodeBits(bitNumber, digits, count)
                                : HLinkCodec::decode(type, digits, count);
    return result;
}

CLabelVariable LibHLink::WriteVariable(QString address, DataType type, CLabelVariable tagValue)
{
    CDriveBaseClass *face = this;
    return face->WriteVariable(address, type, tagValue, 1);
}

CLabelVariable LibHLink::WriteVariable(QString address, DataType type, CLabelVariable tagValue, int count)
{
    const AreaType area = getArea(address);
    const int bitArea = getArea_Bit(address);
    const int wordAddress = getAddr(address, area);
    const int bitNumber = getmodule_BIT(address, area);
    const int code = TagRequest::check(wordAddress, bitNumber, area, count, type,
                                       wordsCovered(type, count, bitNumber));
    return TagRequest::writeFrame(tagValue, address, type, count, code, [&] {
        return type == Bool ? Write_CIO(wordAddress, type, count, tagValue, bitNumber, bitArea, address)
                            : Write_D(wordAddress, type, count, tagValue, area, address);
    });
}

namespace {

void applyResult(CLabelVariable &value, int protocolResult)
{
    const int code = TagRequest::resultCodeFor(protocolResult);
    if (code == TagRequest::NotPerformed)
        return;
    value.errorCode = code;
    if (protocolResult == 0)
        value.timestamp = QDateTime::currentDateTime();
}

} // namespace

CLabelVariable LibHLink::Write_D(int wordAddress, DataType type, int count, CLabelVariable tagValue, int area,
                                 QString address)
{
    // Only what the caller really gave is sent.
    if (type == Bool || !TagRequest::holdsElements(tagValue, type, count)) {
        tagValue.errorCode = TagRequest::TypeNotHandled;
        return tagValue;
    }
    QByteArray digits;
    HLinkCodec::encode(type, tagValue, count, &digits);
    const int words = getBytelen(type, count);
    if ((type == Int8 || type == UInt8) && count % 2 != 0) {
        // The last byte shares its word with one the caller did not name:
        // keep that byte as the PLC holds it.
        QByteArray old;
        const int r = cmd.read_cmd(unitNumber, area, wordAddress + words - 1, 1, address, &old);
        if (r != 0) {
            applyResult(tagValue, r);
            return tagValue;
        }
        digits += old.mid(2, 2);
    }
    applyResult(tagValue, cmd.write_cmd(unitNumber, area, wordAddress, words, address, digits));
    return tagValue;
}

CLabelVariable LibHLink::Write_CIO(int wordAddress, DataType type, int count, CLabelVariable tagValue,
                                   int bitNumber, int bitArea, QString address)
{
    if (type != Bool || bitNumber < 0 || !TagRequest::holdsElements(tagValue, Bool, count)) {
        tagValue.errorCode = TagRequest::TypeNotHandled;
        return tagValue;
    }
    QByteArray bits;
    HLinkCodec::encodeBits(tagValue, count, &bits);
    // D100.20 is bit 4 of D101.
    const int word = wordAddress + bitNumber / 16;
    const int bit = bitNumber % 16;
    applyResult(tagValue, cmd.writeBits_cmd(unitNumber, bitArea, word, bit, address, bits));
    return tagValue;
}

// -------------------------------------------------------------------- codec

QVariant LibHLink::set_variant_bool(int bitOffset, QByteArray digits, int count)
{
    return HLinkCodec::decodeBits(bitOffset, digits, count);
}
QVariant LibHLink::set_variant_Int8(QByteArray digits, int count) { return HLinkCodec::decode(Int8, digits, count); }
QVariant LibHLink::set_variant_UInt8(QByteArray digits, int count) { return HLinkCodec::decode(UInt8, digits, count); }
QVariant LibHLink::set_variant_Int16(QByteArray digits, int count) { return HLinkCodec::decode(Int16, digits, count); }
QVariant LibHLink::set_variant_UInt16(QByteArray digits, int count) { return HLinkCodec::decode(UInt16, digits, count); }
QVariant LibHLink::set_variant_Int32(QByteArray digits, int count) { return HLinkCodec::decode(Int32, digits, count); }
QVariant LibHLink::set_variant_UInt32(QByteArray digits, int count) { return HLinkCodec::decode(UInt32, digits, count); }
QVariant LibHLink::set_variant_fload(QByteArray digits, int count) { return HLinkCodec::decode(Float, digits, count); }
QVariant LibHLink::set_variant_Int64(QByteArray digits, int count) { return HLinkCodec::decode(Int64, digits, count); }
QVariant LibHLink::set_variant_UInt64(QByteArray digits, int count) { return HLinkCodec::decode(UInt64, digits, count); }
QVariant LibHLink::set_variant_double(QByteArray digits, int count) { return HLinkCodec::decode(Double, digits, count); }

int LibHLink::Wset_variant_bool(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encodeBits(value, count, out); }
int LibHLink::Wset_variant_Int8(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(Int8, value, count, out); }
int LibHLink::Wset_variant_UInt8(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(UInt8, value, count, out); }
int LibHLink::Wset_variant_Int16(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(Int16, value, count, out); }
int LibHLink::Wset_variant_uInt16(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(UInt16, value, count, out); }
int LibHLink::Wset_variant_Int32(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(Int32, value, count, out); }
int LibHLink::Wset_variant_UInt32(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(UInt32, value, count, out); }
int LibHLink::Wset_variant_float(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(Float, value, count, out); }
int LibHLink::Wset_variant_Int64(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(Int64, value, count, out); }
int LibHLink::Wset_variant_UInt64(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(UInt64, value, count, out); }
int LibHLink::Wset_variant_double(CLabelVariable value, int count, QByteArray *out) { return HLinkCodec::encode(Double, value, count, out); }
