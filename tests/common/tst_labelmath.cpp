#include <QtTest>

#include <cmath>
#include <limits>

#include "CLabelVariable.h"

Q_DECLARE_METATYPE(CLabelVariable)

namespace {

CLabelVariable tag(int dataType, const QVariant &list, int count, const QString &address = QStringLiteral("D100"))
{
    CLabelVariable v;
    v.errorCode = 0;
    v.dataType = dataType;
    v.count = count;
    v.value = list;
    v.address = address;
    return v;
}

template <typename T>
QVariant L(std::initializer_list<T> items)
{
    return QVariant::fromValue(QList<T>(items));
}

template <typename T>
QString join(const QVariant &value, const char *name)
{
    QStringList parts;
    for (const T &e : value.value<QList<T>>()) {
        if constexpr (std::is_same<T, char>::value)
            parts << QString::number(static_cast<unsigned char>(e));
        else if constexpr (std::is_same<T, bool>::value)
            parts << QLatin1String(e ? "true" : "false");
        else if constexpr (std::is_same<T, QString>::value)
            parts << e;
        else
            parts << QString::number(e);
    }
    return QStringLiteral("%1[%2]").arg(QLatin1String(name), parts.join(QLatin1Char(',')));
}

// The list in a value as "type[e1,e2]"; Int8 elements as bytes 0..255.
QString dump(const QVariant &v)
{
    const int t = v.userType();
    if (!v.isValid()) return QStringLiteral("invalid");
    if (t == qMetaTypeId<QList<bool>>()) return join<bool>(v, "bool");
    if (t == qMetaTypeId<QList<char>>()) return join<char>(v, "int8");
    if (t == qMetaTypeId<QList<unsigned char>>()) return join<unsigned char>(v, "uint8");
    if (t == qMetaTypeId<QList<short>>()) return join<short>(v, "int16");
    if (t == qMetaTypeId<QList<unsigned short>>()) return join<unsigned short>(v, "uint16");
    if (t == qMetaTypeId<QList<int>>()) return join<int>(v, "int32");
    if (t == qMetaTypeId<QList<unsigned int>>()) return join<unsigned int>(v, "uint32");
    if (t == qMetaTypeId<QList<float>>()) return join<float>(v, "float");
    if (t == qMetaTypeId<QList<long long>>()) return join<long long>(v, "int64");
    if (t == qMetaTypeId<QList<unsigned long long>>()) return join<unsigned long long>(v, "uint64");
    if (t == qMetaTypeId<QList<double>>()) return join<double>(v, "double");
    if (t == qMetaTypeId<QList<QString>>()) return join<QString>(v, "text");
    return QString::fromLatin1(v.typeName());
}

CLabelVariable apply(CLabelVariable &left, const CLabelVariable &right, char op)
{
    switch (op) {
    case '+': return left + right;
    case '-': return left - right;
    case '*': return left * right;
    default: return left / right;
    }
}

QList<char> bytes(std::initializer_list<int> values)
{
    QList<char> out;
    for (int v : values)
        out << static_cast<char>(static_cast<unsigned char>(v));
    return out;
}

constexpr float fInf = std::numeric_limits<float>::infinity();
constexpr double dNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TstLabelMath : public QObject
{
    Q_OBJECT

private slots:
    void elementOperations_data();
    void elementOperations();
    void resultTakesTheRightIdentity();
    void operandsAreReadNotChanged();
    void codesWithoutListTypeGiveFreshValue_data();
    void codesWithoutListTypeGiveFreshValue();
    void equality_data();
    void equality();
};

void TstLabelMath::elementOperations_data()
{
    QTest::addColumn<CLabelVariable>("left");
    QTest::addColumn<CLabelVariable>("right");
    QTest::addColumn<char>("op");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, CLabelVariable l, CLabelVariable r, char op, const char *expected) {
        QTest::newRow(name) << l << r << op << QString::fromLatin1(expected);
    };
    const auto i16 = [](std::initializer_list<short> v) { return tag(4, L<short>(v), int(v.size())); };
    const auto u16 = [](std::initializer_list<unsigned short> v) { return tag(5, L<unsigned short>(v), int(v.size())); };
    const auto i32 = [](std::initializer_list<int> v) { return tag(6, L<int>(v), int(v.size())); };
    const auto u32 = [](std::initializer_list<unsigned int> v) { return tag(7, L<unsigned int>(v), int(v.size())); };
    const auto i64 = [](std::initializer_list<long long> v) { return tag(9, L<long long>(v), int(v.size())); };
    const auto u64 = [](std::initializer_list<unsigned long long> v) { return tag(10, L<unsigned long long>(v), int(v.size())); };
    const auto u8 = [](std::initializer_list<unsigned char> v) { return tag(3, L<unsigned char>(v), int(v.size())); };
    const auto i8 = [](std::initializer_list<int> v) { return tag(2, QVariant::fromValue(bytes(v)), int(v.size())); };
    const auto f32 = [](std::initializer_list<float> v) { return tag(8, L<float>(v), int(v.size())); };
    const auto f64 = [](std::initializer_list<double> v) { return tag(11, L<double>(v), int(v.size())); };
    const auto b = [](std::initializer_list<bool> v) { return tag(1, L<bool>(v), int(v.size())); };

    row("int16 add", i16({1, 2, 3}), i16({10, 20, 30}), '+', "int16[11,22,33]");
    row("int16 add wraps", i16({32767}), i16({1}), '+', "int16[-32768]");
    row("int16 sub wraps", i16({-32768}), i16({1}), '-', "int16[32767]");
    row("int16 mul wraps", i16({300}), i16({300}), '*', "int16[24464]");
    row("int16 div truncates", i16({-7}), i16({2}), '/', "int16[-3]");
    row("int16 most negative / -1", i16({-32768}), i16({-1}), '/', "int16[-32768]");
    row("int16 div by zero", i16({5}), i16({0}), '/', "int16[0]");
    row("uint16 mul wraps", u16({65535}), u16({65535}), '*', "uint16[1]");
    row("uint16 sub wraps", u16({0}), u16({1}), '-', "uint16[65535]");
    row("uint16 div", u16({65535}), u16({2}), '/', "uint16[32767]");
    row("uint16 div by zero", u16({65535}), u16({0}), '/', "uint16[0]");
    row("int32 add wraps", i32({2147483647}), i32({1}), '+', "int32[-2147483648]");
    row("int32 mul wraps", i32({65536, -65536}), i32({65536, 65537}), '*', "int32[0,-65536]");
    row("int32 7 / 0", i32({7}), i32({0}), '/', "int32[0]");
    row("int32 -7 / 2", i32({-7}), i32({2}), '/', "int32[-3]");
    row("int32 most negative / -1", i32({std::numeric_limits<int>::min()}), i32({-1}), '/', "int32[-2147483648]");
    row("uint32 sub wraps", u32({0}), u32({1}), '-', "uint32[4294967295]");
    row("uint32 mul wraps", u32({4294967295u}), u32({2}), '*', "uint32[4294967294]");
    row("uint32 div by zero", u32({9}), u32({0}), '/', "uint32[0]");
    row("int64 add wraps", i64({std::numeric_limits<long long>::max()}), i64({1}), '+', "int64[-9223372036854775808]");
    row("int64 mul wraps", i64({4294967296LL}), i64({4294967296LL}), '*', "int64[0]");
    row("int64 most negative / -1", i64({std::numeric_limits<long long>::min()}), i64({-1}), '/', "int64[-9223372036854775808]");
    row("int64 div by zero", i64({-1}), i64({0}), '/', "int64[0]");
    row("uint64 sub wraps", u64({0}), u64({1}), '-', "uint64[18446744073709551615]");
    row("uint64 div by zero", u64({1}), u64({0}), '/', "uint64[0]");
    row("uint8 0 - 1", u8({0}), u8({1}), '-', "uint8[255]");
    row("uint8 add wraps", u8({250}), u8({10}), '+', "uint8[4]");
    row("uint8 mul wraps", u8({16}), u8({16}), '*', "uint8[0]");
    row("uint8 div by zero", u8({200}), u8({0}), '/', "uint8[0]");
    row("int8 0xFC / 2 unsigned", i8({0xFC}), i8({2}), '/', "int8[126]");
    row("int8 0x90 / 0x10 unsigned", i8({0x90}), i8({0x10}), '/', "int8[9]");
    row("int8 2 / 0xFF unsigned", i8({2}), i8({0xFF}), '/', "int8[0]");
    row("int8 div by zero", i8({0x80}), i8({0}), '/', "int8[0]");
    row("int8 add wraps", i8({0xFF}), i8({1}), '+', "int8[0]");
    row("int8 sub wraps", i8({10}), i8({20}), '-', "int8[246]");
    row("int8 mul wraps", i8({0x80, 0x10}), i8({2, 0x11}), '*', "int8[0,16]");
    row("float 1 / 0", f32({1.0f}), f32({0.0f}), '/', "float[inf]");
    row("float -1 / 0", f32({-1.0f}), f32({0.0f}), '/', "float[-inf]");
    row("float 0 / 0", f32({0.0f}), f32({0.0f}), '/', "float[nan]");
    row("float mul", f32({1.5f}), f32({-2.0f}), '*', "float[-3]");
    row("double sub", f64({0.5, 1e300}), f64({2, -1e300}), '-', "double[-1.5,2e+300]");
    row("double 1 / 0", f64({1.0}), f64({0.0}), '/', "double[inf]");
    row("bool true + false", b({true}), b({false}), '+', "bool[true]");
    row("bool false + false", b({false}), b({false}), '+', "bool[false]");
    row("bool true - true", b({true}), b({true}), '-', "bool[false]");
    row("bool true - false", b({true}), b({false}), '-', "bool[true]");
    row("bool true * false", b({true}), b({false}), '*', "bool[false]");
    row("bool true * true", b({true}), b({true}), '*', "bool[true]");
    row("bool true / true", b({true}), b({true}), '/', "bool[true]");
    row("bool true / false", b({true}), b({false}), '/', "bool[false]");
    row("bool false / true", b({false}), b({true}), '/', "bool[false]");

    // Further codes read as their base type.
    row("code 13 is int16", tag(13, L<short>({32767}), 1), i16({1}), '+', "int16[-32768]");
    row("code 14 is int16", tag(14, L<short>({-9}), 1), i16({2}), '/', "int16[-4]");
    row("code 16 is uint16", tag(16, L<unsigned short>({0}), 1), u16({1}), '-', "uint16[65535]");
    row("code 20 is int32", tag(20, L<int>({-7}), 1), i32({2}), '/', "int32[-3]");
    row("code 24 is uint32", tag(24, L<unsigned int>({0}), 1), u32({1}), '-', "uint32[4294967295]");
    row("code 33 is float", tag(33, L<float>({1}), 1), f32({0}), '/', "float[inf]");
    row("code 40 is double", tag(40, L<double>({1.5}), 1), f64({1.5}), '+', "double[3]");

    // Lists that do not fit give an empty list of the left type.
    row("right has more elements", tag(4, L<short>({1, 2}), 2), i16({1, 2, 3}), '+', "int16[]");
    row("left has more than its count", tag(4, L<short>({1, 2, 3}), 2), i16({1, 2}), '+', "int16[]");
    row("right holds another type", i16({1}), i32({1}), '+', "int16[]");
    row("right holds nothing", i16({1}), tag(4, QVariant(), 1), '+', "int16[]");
    row("negative count", tag(4, L<short>({1}), -1), i16({1}), '+', "int16[]");
    row("left type decides", i16({5}), tag(6, L<short>({3}), 1), '-', "int16[2]");

    // String: + works on doubles (none are held, so nothing fits).
    const CLabelVariable text = tag(12, L<QString>({"a"}), 1);
    row("String + String", text, text, '+', "double[]");
    row("String + doubles", tag(12, L<double>({1}), 1), f64({2}), '+', "double[3]");
}

void TstLabelMath::elementOperations()
{
    QFETCH(CLabelVariable, left);
    QFETCH(CLabelVariable, right);
    QFETCH(char, op);
    QFETCH(QString, expected);
    const CLabelVariable result = apply(left, right, op);
    QCOMPARE(dump(result.value), expected);
}

void TstLabelMath::resultTakesTheRightIdentity()
{
    CLabelVariable left = tag(4, L<short>({1, 2, 3}), 3, QStringLiteral("D1"));
    left.auxText = QStringLiteral("left");
    left.auxInt = 5;
    CLabelVariable right = tag(4, L<short>({10, 20, 30}), 3, QStringLiteral("W7"));
    right.errorCode = 8;
    right.dataType = 13;
    right.auxText = QStringLiteral("right");
    right.auxInt = 6;
    right.timestamp = QDateTime(QDate(2001, 1, 1), QTime(0, 0));

    const QDateTime before = QDateTime::currentDateTime();
    const CLabelVariable r = left + right;
    QCOMPARE(dump(r.value), QStringLiteral("int16[11,22,33]"));
    QCOMPARE(r.errorCode, 8);
    QCOMPARE(r.accessStatus, 1);
    QCOMPARE(r.address, QStringLiteral("W7"));
    QCOMPARE(r.count, 3);
    QCOMPARE(r.dataType, 13);
    QCOMPARE(r.auxText, QStringLiteral("right"));
    QCOMPARE(r.auxInt, 0);
    QVERIFY(r.timestamp >= before && r.timestamp <= QDateTime::currentDateTime());
}

// The left operand's accessStatus shows its last element read; the right
// operand is a const reference and stays exactly as it was.
void TstLabelMath::operandsAreReadNotChanged()
{
    CLabelVariable left = tag(6, L<int>({1, 2}), 2);
    const CLabelVariable right = [] {
        CLabelVariable r = tag(6, L<int>({3, 4}), 2);
        r.accessStatus = 10;
        return r;
    }();
    const CLabelVariable r = left * right;
    QCOMPARE(dump(r.value), QStringLiteral("int32[3,8]"));
    QCOMPARE(left.accessStatus, 0);
    QCOMPARE(dump(left.value), QStringLiteral("int32[1,2]"));
    QCOMPARE(left.count, 2);
    QCOMPARE(right.accessStatus, 10);
    QCOMPARE(dump(right.value), QStringLiteral("int32[3,4]"));
}

void TstLabelMath::codesWithoutListTypeGiveFreshValue_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<char>("op");
    QTest::newRow("code 0") << 0 << '+';
    QTest::newRow("code 25") << 25 << '+';
    QTest::newRow("code 32") << 32 << '*';
    QTest::newRow("code 41") << 41 << '/';
    QTest::newRow("negative") << -4 << '-';
    QTest::newRow("String -") << 12 << '-';
    QTest::newRow("String *") << 12 << '*';
    QTest::newRow("String /") << 12 << '/';
}

void TstLabelMath::codesWithoutListTypeGiveFreshValue()
{
    QFETCH(int, dataType);
    QFETCH(char, op);
    CLabelVariable left = tag(dataType, L<QString>({"a"}), 1);
    CLabelVariable right = tag(dataType, L<QString>({"b"}), 1, QStringLiteral("W1"));
    right.auxText = QStringLiteral("x");
    const CLabelVariable r = apply(left, right, op);
    QCOMPARE(r.errorCode, 1);
    QCOMPARE(r.accessStatus, 1);
    QVERIFY(!r.value.isValid());
    QVERIFY(r.timestamp.isNull());
    QVERIFY(r.address.isEmpty());
    QVERIFY(r.auxText.isEmpty());
    QCOMPARE(r.count, 0);
    QCOMPARE(r.dataType, 0);
    QCOMPARE(r.auxInt, 0);
}

void TstLabelMath::equality_data()
{
    QTest::addColumn<CLabelVariable>("left");
    QTest::addColumn<CLabelVariable>("right");
    QTest::addColumn<bool>("equal");

    const CLabelVariable base = tag(4, L<short>({1, 2, 3}), 3);
    const auto changed = [&](const std::function<void(CLabelVariable &)> &change) {
        CLabelVariable c = base;
        change(c);
        return c;
    };

    QTest::newRow("same") << base << base << true;
    QTest::newRow("timestamp, accessStatus, auxInt ignored") << base << changed([](CLabelVariable &c) {
        c.timestamp = QDateTime::currentDateTime();
        c.accessStatus = 10;
        c.auxInt = 77;
    }) << true;
    QTest::newRow("one element differs") << base << changed([](CLabelVariable &c) { c.value = L<short>({1, 2, 4}); }) << false;
    QTest::newRow("errorCode differs") << base << changed([](CLabelVariable &c) { c.errorCode = 7; }) << false;
    QTest::newRow("count differs") << base << changed([](CLabelVariable &c) { c.count = 2; }) << false;
    QTest::newRow("dataType differs") << base << changed([](CLabelVariable &c) { c.dataType = 13; }) << false;
    QTest::newRow("address differs") << base << changed([](CLabelVariable &c) { c.address = QStringLiteral("D101"); }) << false;
    QTest::newRow("auxText differs") << base << changed([](CLabelVariable &c) { c.auxText = QStringLiteral("x"); }) << false;
    QTest::newRow("right holds more") << tag(4, L<short>({1, 2}), 2) << tag(4, L<short>({1, 2, 3}), 2) << false;
    QTest::newRow("right holds another type") << tag(6, L<int>({1}), 1) << tag(6, L<unsigned int>({1}), 1) << false;
    QTest::newRow("count 0 with empty lists") << tag(4, L<short>({}), 0) << tag(4, QVariant(), 0) << true;
    QTest::newRow("count 0 but elements held") << tag(4, L<short>({1}), 0) << tag(4, L<short>({1}), 0) << false;
    QTest::newRow("two fresh values") << CLabelVariable() << CLabelVariable() << true;
    QTest::newRow("code 25 compares identity only") << tag(25, L<short>({1}), 1) << tag(25, L<int>({2, 3}), 1) << true;
    QTest::newRow("code 25 identity differs") << tag(25, L<short>({1}), 1) << tag(25, L<short>({1}), 1, "D2") << false;
    QTest::newRow("double NaN") << tag(11, L<double>({dNaN}), 1) << tag(11, L<double>({dNaN}), 1) << false;
    QTest::newRow("double +0 == -0") << tag(11, L<double>({0.0}), 1) << tag(11, L<double>({-0.0}), 1) << true;
    QTest::newRow("float inf") << tag(8, L<float>({fInf}), 1) << tag(8, L<float>({fInf}), 1) << true;
    QTest::newRow("Int8 bytes") << tag(2, QVariant::fromValue(bytes({0xFC, 1})), 2)
                                << tag(2, QVariant::fromValue(bytes({0xFC, 1})), 2) << true;
    QTest::newRow("bool differs") << tag(1, L<bool>({true}), 1) << tag(1, L<bool>({false}), 1) << false;
    QTest::newRow("code 37 is double") << tag(37, L<double>({2.5}), 1) << tag(37, L<double>({2.5}), 1) << true;
    QTest::newRow("String same texts") << tag(12, L<QString>({"a", "b"}), 2) << tag(12, L<QString>({"a", "b"}), 2) << true;
    QTest::newRow("String other text") << tag(12, L<QString>({"a", "b"}), 2) << tag(12, L<QString>({"a", "c"}), 2) << false;
    QTest::newRow("String holding doubles") << tag(12, L<double>({1}), 1) << tag(12, L<double>({1}), 1) << false;
}

void TstLabelMath::equality()
{
    QFETCH(CLabelVariable, left);
    QFETCH(CLabelVariable, right);
    QFETCH(bool, equal);
    QCOMPARE(left == right, equal);
}

QTEST_GUILESS_MAIN(TstLabelMath)
#include "tst_labelmath.moc"
