#include "ValueText.h"

#include "CDriveBaseClass.h"
#include "CLabelVariable.h"

#include <QList>
#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>

namespace plcctl {

namespace {

const char *const kTypeNames[] = {"Bool",  "Int8",   "UInt8", "Int16",  "UInt16", "Int32",
                                  "UInt32", "Float", "Int64", "UInt64", "Double"};

// An integer as the user typed it: sign and magnitude, so that the whole
// UInt64 range and the whole Int64 range fit before the range check.
struct Integer {
    bool negative = false;
    quint64 magnitude = 0;
};

enum class IntegerText { Ok, BadFormat, TooLarge };

// Decimal ("-123", "+7") or hexadecimal ("0x1F", "-0x10"); nothing else.
IntegerText parseInteger(const QString &text, Integer *out)
{
    QString digits = text;
    if (digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-'))) {
        out->negative = digits.startsWith(QLatin1Char('-'));
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits.remove(0, 2);
    }
    if (digits.isEmpty())
        return IntegerText::BadFormat;
    for (const QChar c : digits) {
        const bool ok = base == 10 ? c.isDigit() && c.unicode() < 128
                                   : QStringLiteral("0123456789abcdefABCDEF").contains(c);
        if (!ok)
            return IntegerText::BadFormat;
    }
    bool ok = false;
    out->magnitude = digits.toULongLong(&ok, base);
    // Only digits are left, so a failed conversion means more than 64 bits.
    return ok ? IntegerText::Ok : IntegerText::TooLarge;
}

QString rangeError(const QString &text, int type, const QString &range)
{
    return QStringLiteral("value '%1' is out of range for %2 (%3)").arg(text, typeName(type), range);
}

QString formatError(const QString &text, int type, const QString &expected)
{
    return QStringLiteral("value '%1' is not a valid %2 (expected %3)").arg(text, typeName(type), expected);
}

// Checks `text` against [min, max] and stores it in `*out`.
template <typename T>
bool parseIntegerElement(const QString &text, int type, T *out, QString *error)
{
    const qint64 min = static_cast<qint64>(std::numeric_limits<T>::min());
    const quint64 max = static_cast<quint64>(std::numeric_limits<T>::max());
    const QString range = QStringLiteral("%1..%2").arg(min).arg(max);
    Integer number;
    const IntegerText parsed = parseInteger(text, &number);
    if (parsed == IntegerText::BadFormat) {
        *error = formatError(text, type, QStringLiteral("a decimal or 0x hexadecimal integer, %1").arg(range));
        return false;
    }
    if (parsed == IntegerText::TooLarge) {
        *error = rangeError(text, type, range);
        return false;
    }
    if (number.negative && number.magnitude != 0) {
        // The magnitude of the most negative value is one more than max.
        const quint64 limit = min < 0 ? max + 1 : 0;
        if (number.magnitude > limit) {
            *error = rangeError(text, type, range);
            return false;
        }
        *out = static_cast<T>(0 - static_cast<qint64>(number.magnitude - 1) - 1);
        return true;
    }
    if (number.magnitude > max) {
        *error = rangeError(text, type, range);
        return false;
    }
    *out = static_cast<T>(number.magnitude);
    return true;
}

// A real number in C notation, independent of the process locale.
bool parseReal(const QString &text, double *out, bool *outOfRange)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[+-]?((\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?|inf|infinity|nan)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    *outOfRange = false;
    if (!pattern.match(text).hasMatch())
        return false;
    QByteArray bytes = text.toLatin1();
    if (bytes.startsWith('+'))
        bytes.remove(0, 1);
    const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), *out);
    if (result.ec == std::errc::result_out_of_range) {
        *outOfRange = true;
        return false;
    }
    return result.ec == std::errc() && result.ptr == bytes.constData() + bytes.size();
}

bool parseDoubleElement(const QString &text, int type, double *out, QString *error)
{
    bool outOfRange = false;
    if (parseReal(text, out, &outOfRange))
        return true;
    if (outOfRange)
        *error = rangeError(text, type, QStringLiteral("magnitude up to 1.79769e+308, or inf, nan"));
    else
        *error = formatError(text, type, QStringLiteral("a real number such as -12.5 or 1e-3, or inf, nan"));
    return false;
}

bool parseFloatElement(const QString &text, int type, float *out, QString *error)
{
    double d = 0;
    if (!parseDoubleElement(text, type, &d, error)) {
        if (error->contains(QLatin1String("out of range")))
            *error = rangeError(text, type, QStringLiteral("magnitude 1.17549e-38 .. 3.40282e+38, or 0, inf, nan"));
        return false;
    }
    const float f = static_cast<float>(d);
    const bool overflow = std::isfinite(d) && std::isinf(f);
    const bool underflow = d != 0.0 && f == 0.0f;
    if (overflow || underflow) {
        *error = rangeError(text, type, QStringLiteral("magnitude 1.17549e-38 .. 3.40282e+38, or 0, inf, nan"));
        return false;
    }
    *out = f;
    return true;
}

bool parseBoolElement(const QString &text, int type, bool *out, QString *error)
{
    const QString word = text.toLower();
    if (word == QLatin1String("1") || word == QLatin1String("true") || word == QLatin1String("on")) {
        *out = true;
        return true;
    }
    if (word == QLatin1String("0") || word == QLatin1String("false") || word == QLatin1String("off")) {
        *out = false;
        return true;
    }
    *error = formatError(text, type, QStringLiteral("1/0, true/false or on/off"));
    return false;
}

// One overload per element type, so parseList below stays one template.
bool parseElement(const QString &t, int type, bool *out, QString *e) { return parseBoolElement(t, type, out, e); }
bool parseElement(const QString &t, int type, float *out, QString *e) { return parseFloatElement(t, type, out, e); }
bool parseElement(const QString &t, int type, double *out, QString *e) { return parseDoubleElement(t, type, out, e); }
template <typename T>
bool parseElement(const QString &t, int type, T *out, QString *e) { return parseIntegerElement<T>(t, type, out, e); }

// Int8 elements travel as plain char, whose signedness depends on the
// processor: parse as qint8 and keep the bit pattern.
bool parseElement(const QString &t, int type, char *out, QString *e)
{
    qint8 v = 0;
    if (!parseIntegerElement<qint8>(t, type, &v, e))
        return false;
    *out = static_cast<char>(static_cast<unsigned char>(v));
    return true;
}

template <typename T>
QVariant parseList(const QStringList &texts, int type, QString *error)
{
    QList<T> list;
    for (const QString &text : texts) {
        T element{};
        if (!parseElement(text, type, &element, error))
            return QVariant();
        list.append(element);
    }
    return QVariant::fromValue(list);
}

QString jsonReal(double value)
{
    if (std::isnan(value))
        return QStringLiteral("\"NaN\"");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("\"Infinity\"") : QStringLiteral("\"-Infinity\"");
    return QString();
}

QString jsonEscaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + QString(c);
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// Collects `count` elements through one accessor until it reports a failure.
template <typename Fn>
QStringList collect(CLabelVariable &value, Fn textOf)
{
    QStringList out;
    for (int i = 0;; ++i) {
        QString text = textOf(i);
        if (value.accessStatus != 0)
            break;
        out.append(text);
    }
    return out;
}

QStringList elementTexts(CLabelVariable &v, int type, bool json)
{
    switch (type) {
    case Bool:
        return collect(v, [&](int i) {
            const bool b = v.atbool(i);
            return json ? QString::fromLatin1(b ? "true" : "false") : QString::number(b ? 1 : 0);
        });
    case Int8:
        return collect(v, [&](int i) { return QString::number(static_cast<qint8>(static_cast<unsigned char>(v.atInt8(i)))); });
    case UInt8:
        return collect(v, [&](int i) { return QString::number(v.atUInt8(i)); });
    case Int16:
        return collect(v, [&](int i) { return QString::number(v.atInt16(i)); });
    case UInt16:
        return collect(v, [&](int i) { return QString::number(v.atUInt16(i)); });
    case Int32:
        return collect(v, [&](int i) { return QString::number(v.atInt32(i)); });
    case UInt32:
        return collect(v, [&](int i) { return QString::number(v.atUInt32(i)); });
    case Int64:
        return collect(v, [&](int i) { return QString::number(v.atInt64(i)); });
    case UInt64:
        return collect(v, [&](int i) { return QString::number(v.atUInt64(i)); });
    case Float:
        return collect(v, [&](int i) {
            const float f = v.atFloat(i);
            const QString special = json ? jsonReal(f) : QString();
            return special.isEmpty() ? realText(f) : special;
        });
    case Double:
        return collect(v, [&](int i) {
            const double d = v.atDouble(i);
            const QString special = json ? jsonReal(d) : QString();
            return special.isEmpty() ? realText(d) : special;
        });
    case String:
        return collect(v, [&](int i) {
            const QString text = v.atQString(i);
            return json ? QStringLiteral("\"%1\"").arg(jsonEscaped(text)) : text;
        });
    default:
        return {};
    }
}

} // namespace

int typeFromName(const QString &name)
{
    // Only the EtherNet/IP plug-in transfers texts; the others answer 2.
    if (name.compare(QLatin1String("String"), Qt::CaseInsensitive) == 0)
        return String;
    for (int i = 0; i < int(sizeof kTypeNames / sizeof *kTypeNames); ++i) {
        if (name.compare(QLatin1String(kTypeNames[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

QString typeName(int type)
{
    if (type >= Bool && type <= Double)
        return QLatin1String(kTypeNames[type - 1]);
    if (type == String)
        return QStringLiteral("String");
    return QStringLiteral("type %1").arg(type);
}

QStringList typeNames()
{
    QStringList names;
    for (const char *name : kTypeNames)
        names.append(QLatin1String(name));
    return names;
}

QVariant parseValues(int type, const QStringList &texts, QString *error)
{
    switch (type) {
    case Bool: return parseList<bool>(texts, type, error);
    case Int8: return parseList<char>(texts, type, error);
    case UInt8: return parseList<unsigned char>(texts, type, error);
    case Int16: return parseList<short>(texts, type, error);
    case UInt16: return parseList<unsigned short>(texts, type, error);
    case Int32: return parseList<int>(texts, type, error);
    case UInt32: return parseList<unsigned int>(texts, type, error);
    case Float: return parseList<float>(texts, type, error);
    case Int64: return parseList<long long>(texts, type, error);
    case UInt64: return parseList<unsigned long long>(texts, type, error);
    case Double: return parseList<double>(texts, type, error);
    case String: return QVariant::fromValue(QList<QString>(texts));
    default:
        *error = QStringLiteral("%1 cannot be written").arg(typeName(type));
        return QVariant();
    }
}

QStringList formatValues(CLabelVariable value, int type)
{
    return elementTexts(value, type, false);
}

QStringList jsonValues(CLabelVariable value, int type)
{
    return elementTexts(value, type, true);
}

QString realText(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

QString realText(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

bool sameElements(CLabelVariable a, CLabelVariable b, int type)
{
    const QStringList left = formatValues(a, type);
    return !left.isEmpty() && left == formatValues(b, type);
}

} // namespace plcctl
