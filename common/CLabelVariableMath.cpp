// Element-wise arithmetic and comparison of tag values.
//
// The left operand's dataType picks the element type, both operands are read
// as that type through the at...() accessors, and the result holds a list of
// that type with the right operand's identity. Integer results wrap modulo
// the element width; the wrapping is done in unsigned arithmetic so that no
// signed overflow happens on the way.

#include "CLabelVariable.h"
#include "CDriveBaseClass.h"

#include <limits>
#include <type_traits>

namespace {

enum class ListKind {
    None, Bool, Char, UChar, Short, UShort, Int, UInt, Float, LongLong, ULongLong, Double, Text
};

// The list type a dataType code stands for. Code 12 (String) is handled by
// the callers: it means doubles for operator+ and texts for operator==.
ListKind numericKindFor(int dataType)
{
    switch (dataType) {
    case Bool: return ListKind::Bool;
    case Int8: return ListKind::Char;
    case UInt8: return ListKind::UChar;
    case Int64: return ListKind::LongLong;
    case UInt64: return ListKind::ULongLong;
    default: break;
    }
    if (dataType == Int16 || (dataType >= 13 && dataType <= 14)) return ListKind::Short;
    if (dataType == UInt16 || (dataType >= 15 && dataType <= 16)) return ListKind::UShort;
    if (dataType == Int32 || (dataType >= 17 && dataType <= 20)) return ListKind::Int;
    if (dataType == UInt32 || (dataType >= 21 && dataType <= 24)) return ListKind::UInt;
    if (dataType == Float || (dataType >= 33 && dataType <= 36)) return ListKind::Float;
    if (dataType == Double || (dataType >= 37 && dataType <= 40)) return ListKind::Double;
    return ListKind::None; // 0, 25..32, negative, above 40
}

// The accessor that reads each element type.
template <typename T> struct Access;
template <> struct Access<bool> { static bool at(CLabelVariable &v, int i) { return v.atbool(i); } };
template <> struct Access<char> { static char at(CLabelVariable &v, int i) { return v.atInt8(i); } };
template <> struct Access<unsigned char> { static unsigned char at(CLabelVariable &v, int i) { return v.atUInt8(i); } };
template <> struct Access<short> { static short at(CLabelVariable &v, int i) { return v.atInt16(i); } };
template <> struct Access<unsigned short> { static unsigned short at(CLabelVariable &v, int i) { return v.atUInt16(i); } };
template <> struct Access<int> { static int at(CLabelVariable &v, int i) { return v.atInt32(i); } };
template <> struct Access<unsigned int> { static unsigned int at(CLabelVariable &v, int i) { return v.atUInt32(i); } };
template <> struct Access<float> { static float at(CLabelVariable &v, int i) { return v.atFloat(i); } };
template <> struct Access<long long> { static long long at(CLabelVariable &v, int i) { return v.atInt64(i); } };
template <> struct Access<unsigned long long> { static unsigned long long at(CLabelVariable &v, int i) { return v.atUInt64(i); } };
template <> struct Access<double> { static double at(CLabelVariable &v, int i) { return v.atDouble(i); } };
template <> struct Access<QString> { static QString at(CLabelVariable &v, int i) { return v.atQString(i); } };

enum class Op { Add, Sub, Mul, Div };

// Unsigned type at least as wide as unsigned int: arithmetic on it never
// promotes back to a signed type, so it wraps instead of overflowing.
template <typename T>
using Wide = std::conditional_t<(sizeof(T) < sizeof(unsigned int)), unsigned int, std::make_unsigned_t<T>>;

template <typename T>
T wrapped(T a, T b, Op op)
{
    using W = Wide<T>;
    const W x = static_cast<W>(a);
    const W y = static_cast<W>(b);
    switch (op) {
    case Op::Add: return static_cast<T>(x + y);
    case Op::Sub: return static_cast<T>(x - y);
    case Op::Mul: return static_cast<T>(x * y);
    case Op::Div: break;
    }
    return T();
}

template <typename T>
T integerElement(T a, T b, Op op)
{
    if (op != Op::Div)
        return wrapped(a, b, op);
    if (b == 0)
        return 0;
    // The one signed quotient that does not fit: keep the most negative value.
    if constexpr (std::is_signed<T>::value) {
        if (a == std::numeric_limits<T>::min() && b == static_cast<T>(-1))
            return a;
    }
    return static_cast<T>(a / b);
}

template <typename T>
T element(T a, T b, Op op)
{
    if constexpr (std::is_floating_point<T>::value) {
        switch (op) {
        case Op::Add: return a + b;
        case Op::Sub: return a - b;
        case Op::Mul: return a * b;
        case Op::Div: return a / b; // IEEE-754: x/0 is an infinity, 0/0 a NaN
        }
        return T();
    } else {
        return integerElement(a, b, op);
    }
}

template <>
bool element<bool>(bool a, bool b, Op op)
{
    switch (op) {
    case Op::Add: return a || b;
    case Op::Sub: return a != b;
    case Op::Mul: return a && b;
    case Op::Div: return b ? a : false;
    }
    return false;
}

// Int8 elements are bytes 0..255 on the gateway (plain char is unsigned
// there). Working on unsigned bytes here gives the same answers where plain
// char is signed, division included.
template <>
char element<char>(char a, char b, Op op)
{
    const auto x = static_cast<unsigned char>(a);
    const auto y = static_cast<unsigned char>(b);
    unsigned int r = 0;
    switch (op) {
    case Op::Add: r = unsigned(x) + y; break;
    case Op::Sub: r = unsigned(x) - y; break;
    case Op::Mul: r = unsigned(x) * y; break;
    case Op::Div: r = y == 0 ? 0u : unsigned(x) / y; break;
    }
    return static_cast<char>(static_cast<unsigned char>(r & 0xFFu));
}

template <typename T>
QList<T> listIn(const QVariant &value)
{
    if (value.userType() != qMetaTypeId<QList<T>>())
        return QList<T>();
    return value.value<QList<T>>();
}

template <typename T>
QVariant combine(CLabelVariable &left, CLabelVariable &right, Op op)
{
    QList<T> out;
    const int n = left.count;
    if (listIn<T>(left.value).size() == n && listIn<T>(right.value).size() == n) {
        out.reserve(n);
        for (int i = 0; i < n; ++i)
            out.append(element<T>(Access<T>::at(left, i), Access<T>::at(right, i), op));
    }
    return QVariant::fromValue(out);
}

QVariant combineAs(ListKind kind, CLabelVariable &left, CLabelVariable &right, Op op)
{
    switch (kind) {
    case ListKind::Bool: return combine<bool>(left, right, op);
    case ListKind::Char: return combine<char>(left, right, op);
    case ListKind::UChar: return combine<unsigned char>(left, right, op);
    case ListKind::Short: return combine<short>(left, right, op);
    case ListKind::UShort: return combine<unsigned short>(left, right, op);
    case ListKind::Int: return combine<int>(left, right, op);
    case ListKind::UInt: return combine<unsigned int>(left, right, op);
    case ListKind::Float: return combine<float>(left, right, op);
    case ListKind::LongLong: return combine<long long>(left, right, op);
    case ListKind::ULongLong: return combine<unsigned long long>(left, right, op);
    case ListKind::Double: return combine<double>(left, right, op);
    case ListKind::Text:
    case ListKind::None: break;
    }
    return QVariant();
}

ListKind arithmeticKind(int dataType, Op op)
{
    if (dataType == String)
        return op == Op::Add ? ListKind::Double : ListKind::None;
    return numericKindFor(dataType);
}

// `rightOperand` is const: its elements are read through a private copy, so
// its accessStatus stays as it was (writing to it would be writing to a
// possibly const object).
CLabelVariable arithmetic(CLabelVariable &left, const CLabelVariable &rightOperand, Op op)
{
    const ListKind kind = arithmeticKind(left.dataType, op);
    if (kind == ListKind::None)
        return CLabelVariable();

    CLabelVariable right = rightOperand;
    CLabelVariable result;
    result.errorCode = right.errorCode;
    result.accessStatus = 1;
    result.address = right.address;
    result.count = right.count;
    result.dataType = right.dataType;
    result.auxText = right.auxText;
    result.auxInt = 0;
    result.timestamp = QDateTime::currentDateTime();
    result.value = combineAs(kind, left, right, op);
    return result;
}

bool sameIdentity(const CLabelVariable &a, const CLabelVariable &b)
{
    return a.errorCode == b.errorCode && a.count == b.count && a.dataType == b.dataType
        && a.address == b.address && a.auxText == b.auxText;
}

template <typename T>
bool sameElements(CLabelVariable &left, CLabelVariable &right, bool identityEqual)
{
    const int n = left.count;
    if (listIn<T>(left.value).size() != n || listIn<T>(right.value).size() != n)
        return false;
    if (n < 1 || !identityEqual)
        return identityEqual;
    for (int i = 0; i < n; ++i) {
        // IEEE-754 equality for float and double: NaN equals nothing.
        if (!(Access<T>::at(left, i) == Access<T>::at(right, i)))
            return false;
    }
    return true;
}

} // namespace

CLabelVariable CLabelVariable::operator+(const CLabelVariable &right) { return arithmetic(*this, right, Op::Add); }
CLabelVariable CLabelVariable::operator-(const CLabelVariable &right) { return arithmetic(*this, right, Op::Sub); }
CLabelVariable CLabelVariable::operator*(const CLabelVariable &right) { return arithmetic(*this, right, Op::Mul); }
CLabelVariable CLabelVariable::operator/(const CLabelVariable &right) { return arithmetic(*this, right, Op::Div); }

bool CLabelVariable::operator==(const CLabelVariable &rightOperand)
{
    const bool identityEqual = sameIdentity(*this, rightOperand);
    const ListKind kind = dataType == String ? ListKind::Text : numericKindFor(dataType);
    CLabelVariable right = rightOperand; // read through a copy, see arithmetic()
    switch (kind) {
    case ListKind::Bool: return sameElements<bool>(*this, right, identityEqual);
    case ListKind::Char: return sameElements<char>(*this, right, identityEqual);
    case ListKind::UChar: return sameElements<unsigned char>(*this, right, identityEqual);
    case ListKind::Short: return sameElements<short>(*this, right, identityEqual);
    case ListKind::UShort: return sameElements<unsigned short>(*this, right, identityEqual);
    case ListKind::Int: return sameElements<int>(*this, right, identityEqual);
    case ListKind::UInt: return sameElements<unsigned int>(*this, right, identityEqual);
    case ListKind::Float: return sameElements<float>(*this, right, identityEqual);
    case ListKind::LongLong: return sameElements<long long>(*this, right, identityEqual);
    case ListKind::ULongLong: return sameElements<unsigned long long>(*this, right, identityEqual);
    case ListKind::Double: return sameElements<double>(*this, right, identityEqual);
    case ListKind::Text: return sameElements<QString>(*this, right, identityEqual);
    case ListKind::None: break;
    }
    return identityEqual;
}
