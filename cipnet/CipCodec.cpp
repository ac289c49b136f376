#include "CipCodec.h"

#include <QList>
#include <QStringList>

#include <cstring>

#include "CDriveBaseClass.h"
#include "CipEncap.h"
#include "WordLayout.h"

namespace CipCodec {

namespace {

template <typename T>
T fromLittle(const char *p)
{
    quint64 bits = 0;
    for (int k = int(sizeof(T)) - 1; k >= 0; --k)
        bits = bits << 8 | quint8(p[k]);
    T v;
    std::memcpy(&v, &bits, sizeof(T)); // low bytes first on every target we build for
    return v;
}

template <typename T>
void appendLittle(QByteArray &out, T v)
{
    quint64 bits = 0;
    std::memcpy(&bits, &v, sizeof(T));
    for (int k = 0; k < int(sizeof(T)); ++k)
        out.append(char(bits >> (8 * k)));
}

template <typename T>
QVariant decodeList(const QByteArray &values, int count)
{
    QList<T> list;
    list.reserve(count);
    for (int k = 0; k < count; ++k)
        list.append(fromLittle<T>(values.constData() + k * int(sizeof(T))));
    return QVariant::fromValue(list);
}

QVariant decodeBits(const QByteArray &values, int count)
{
    QList<bool> list;
    list.reserve(count);
    for (int k = 0; k < count; ++k)
        list.append((quint8(values.at(k / 8)) >> (k % 8)) & 1);
    return QVariant::fromValue(list);
}

template <typename T>
bool encodeList(const QVariant &value, int first, int count, QByteArray *out)
{
    if (value.userType() != qMetaTypeId<QList<T>>())
        return false;
    const QList<T> list = value.value<QList<T>>();
    if (first < 0 || count < 0 || first + count > list.size())
        return false;
    for (int k = first; k < first + count; ++k) {
        if constexpr (std::is_same<T, bool>::value)
            out->append(list.at(k) ? '\x01' : '\x00');
        else
            appendLittle<T>(*out, list.at(k));
    }
    return true;
}

} // namespace

QString typeName(quint8 code)
{
    switch (code) {
    case BOOL: return QStringLiteral("BOOL");
    case SINT: return QStringLiteral("SINT");
    case INT: return QStringLiteral("INT");
    case DINT: return QStringLiteral("DINT");
    case LINT: return QStringLiteral("LINT");
    case USINT: return QStringLiteral("USINT");
    case UINT: return QStringLiteral("UINT");
    case UDINT: return QStringLiteral("UDINT");
    case ULINT: return QStringLiteral("ULINT");
    case REAL: return QStringLiteral("REAL");
    case LREAL: return QStringLiteral("LREAL");
    case STRING: return QStringLiteral("STRING");
    case BYTE: return QStringLiteral("BYTE");
    case WORD: return QStringLiteral("WORD");
    case DWORD: return QStringLiteral("DWORD");
    case LWORD: return QStringLiteral("LWORD");
    case Structure:
    case Structure2: return QStringLiteral("structure");
    case 0x04: return QStringLiteral("UINT BCD");
    case 0x05: return QStringLiteral("UDINT BCD");
    case 0x06: return QStringLiteral("ULINT BCD");
    default: return QStringLiteral("type 0x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

bool answers(int dataType, quint8 code)
{
    switch (dataType) {
    case Bool: return code == BOOL;
    case Int8: return code == SINT;
    case UInt8: return code == USINT || code == BYTE;
    case Int16: return code == INT;
    case UInt16: return code == UINT || code == WORD;
    case Int32: return code == DINT;
    case UInt32: return code == UDINT || code == DWORD;
    case Int64: return code == LINT;
    case UInt64: return code == ULINT || code == LWORD;
    case Float: return code == REAL;
    case Double: return code == LREAL;
    case String: return code == STRING;
    default: return false;
    }
}

int dataTypeOf(quint8 code)
{
    for (int type = Bool; type <= String; ++type)
        if (answers(type, code))
            return type;
    return 0;
}

quint8 defaultCode(int dataType)
{
    static const quint8 codes[] = {0, BOOL, SINT, USINT, INT, UINT, DINT, UDINT, REAL, LINT, ULINT, LREAL, STRING};
    return dataType >= Bool && dataType <= String ? codes[dataType] : 0;
}

bool hasTwoCodes(int dataType)
{
    return dataType == UInt8 || dataType == UInt16 || dataType == UInt32 || dataType == UInt64;
}

int elementSize(int dataType)
{
    if (dataType == Bool || dataType == String)
        return 0;
    return WordLayout::bytesPerElement(dataType);
}

int replyBytes(int dataType, int count)
{
    if (dataType == Bool)
        return qMax(2, (count + 15) / 16 * 2);
    return elementSize(dataType) * count;
}

int elementsIn(int dataType, int bytes)
{
    if (dataType == Bool)
        return bytes / 2 * 16;
    const int size = elementSize(dataType);
    return size > 0 ? bytes / size : 0;
}

bool decode(int dataType, const QByteArray &values, int count, QVariant *out)
{
    const int expected = replyBytes(dataType, count);
    // One odd byte of padding after 1-byte values is taken, not required.
    const bool padded = elementSize(dataType) == 1 && count % 2 == 1 && values.size() == expected + 1;
    if (count < 1 || expected == 0 || (values.size() != expected && !padded))
        return false;
    if (dataType == Bool) {
        *out = decodeBits(values, count);
        return true;
    }
    *out = WordLayout::withElementType(dataType, QVariant(), [&](auto element) {
        return decodeList<decltype(element)>(values, count);
    });
    return out->isValid();
}

bool decodeString(const QByteArray &values, QString *out)
{
    if (values.size() < 2)
        return false;
    const int length = CipEncap::le16(values, 0);
    if (values.size() < 2 + length)
        return false;
    QByteArray bytes = values.mid(2, length);
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    *out = QString::fromUtf8(bytes);
    return true;
}

bool encode(int dataType, const QVariant &value, int first, int count, QByteArray *out)
{
    return WordLayout::withElementType(dataType, false, [&](auto element) {
        return encodeList<decltype(element)>(value, first, count, out);
    });
}

namespace {

// Texts travel as QList<QString> (what atQString reads); a host may hand a
// QStringList to a write.
bool holdsTexts(const QVariant &value)
{
    return value.userType() == qMetaTypeId<QList<QString>>() || value.userType() == qMetaTypeId<QStringList>();
}

QList<QString> textsOf(const QVariant &value)
{
    return value.userType() == qMetaTypeId<QStringList>() ? QList<QString>(value.toStringList())
                                                          : value.value<QList<QString>>();
}

} // namespace

bool encodeString(const QVariant &value, int index, QByteArray *out)
{
    if (!holdsTexts(value))
        return false;
    const QList<QString> list = textsOf(value);
    if (index < 0 || index >= list.size())
        return false;
    const QByteArray bytes = list.at(index).toUtf8();
    if (bytes.size() > 0xFFFF)
        return false;
    CipEncap::put16(*out, quint16(bytes.size()));
    out->append(bytes);
    return true;
}

int listSize(int dataType, const QVariant &value)
{
    if (dataType == String)
        return holdsTexts(value) ? textsOf(value).size() : -1;
    return WordLayout::withElementType(dataType, -1, [&](auto element) {
        using T = decltype(element);
        return value.userType() == qMetaTypeId<QList<T>>() ? value.value<QList<T>>().size() : -1;
    });
}

} // namespace CipCodec
