// The PLC word layout of every element type, both directions, against the
// controller's documented layout (lowest word first; bytes high byte first;
// bits counted from bit 0 of the first word on).
#include <QtTest>

#include <cstring>
#include <limits>

#include "CDriveBaseClass.h"
#include "WordLayout.h"

using WordLayout::Words;

Q_DECLARE_METATYPE(WordLayout::Words)

namespace {

template <typename T>
QVariant listOf(std::initializer_list<T> elements)
{
    return QVariant::fromValue(QList<T>(elements));
}

// The elements' bit patterns as text, so that a NaN or -0.0 compares exactly
// and a failure shows both sides; "<none>" for a value of another list type.
template <typename T>
QString patterns(const QVariant &value)
{
    if (value.userType() != qMetaTypeId<QList<T>>())
        return QStringLiteral("<none>");
    QStringList parts;
    for (const T &element : value.value<QList<T>>()) {
        quint64 bits = 0;
        std::memcpy(&bits, &element, sizeof(T));
        parts << QString::number(bits, 16);
    }
    return parts.join(QLatin1Char(' '));
}

QString patterns(int type, const QVariant &value)
{
    switch (type) {
    case Bool: return patterns<bool>(value);
    case Int8: return patterns<char>(value);
    case UInt8: return patterns<unsigned char>(value);
    case Int16: return patterns<short>(value);
    case UInt16: return patterns<unsigned short>(value);
    case Int32: return patterns<int>(value);
    case UInt32: return patterns<unsigned int>(value);
    case Float: return patterns<float>(value);
    case Int64: return patterns<long long>(value);
    case UInt64: return patterns<unsigned long long>(value);
    case Double: return patterns<double>(value);
    default: return QStringLiteral("<type %1>").arg(type);
    }
}

QList<bool> bitList(const char *text)
{
    QList<bool> out;
    for (const char *c = text; *c; ++c)
        out << (*c == '1');
    return out;
}

} // namespace

class TestWordLayout : public QObject
{
    Q_OBJECT

private slots:
    void elements_data();
    void elements();
    void missingWordsReadAsZero();
    void bitNumbering_data();
    void bitNumbering();
    void counts_data();
    void counts();
    void refusals();
};

void TestWordLayout::elements_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<Words>("words");
    QTest::newRow("Int16") << int(Int16) << listOf<short>({0x1234, -21555}) << Words{0x1234, 0xABCD};
    QTest::newRow("UInt16") << int(UInt16) << listOf<unsigned short>({0xBEEF, 0}) << Words{0xBEEF, 0};
    QTest::newRow("Int8 high byte first") << int(Int8) << listOf<char>({0x12, char(0xFF), char(0x80), 1})
                                          << Words{0x12FF, 0x8001};
    QTest::newRow("UInt8 odd count leaves the low byte 0") << int(UInt8) << listOf<unsigned char>({0xA5, 0x01, 0xC3})
                                                           << Words{0xA501, 0xC300};
    QTest::newRow("Int32 0x14020187 is 0187 then 1402") << int(Int32) << listOf<int>({0x14020187})
                                                        << Words{0x0187, 0x1402};
    QTest::newRow("Int32 minimum") << int(Int32) << listOf<int>({std::numeric_limits<int>::min()})
                                   << Words{0x0000, 0x8000};
    QTest::newRow("UInt32") << int(UInt32) << listOf<unsigned int>({0xDEADBEEFu, 0x12345678u})
                            << Words{0xBEEF, 0xDEAD, 0x5678, 0x1234};
    QTest::newRow("REAL -123.456 is E979 then C2F6") << int(Float) << listOf<float>({-123.456f})
                                                     << Words{0xE979, 0xC2F6};
    QTest::newRow("Float 1.0 and -0.0") << int(Float) << listOf<float>({1.0f, -0.0f})
                                        << Words{0x0000, 0x3F80, 0x0000, 0x8000};
    QTest::newRow("Int64 lowest word first") << int(Int64) << listOf<long long>({0x0123456789ABCDEFll})
                                             << Words{0xCDEF, 0x89AB, 0x4567, 0x0123};
    QTest::newRow("Int64 minimum") << int(Int64) << listOf<long long>({std::numeric_limits<long long>::min()})
                                   << Words{0, 0, 0, 0x8000};
    QTest::newRow("UInt64") << int(UInt64) << listOf<unsigned long long>({0xFEDCBA9876543210ull})
                            << Words{0x3210, 0x7654, 0xBA98, 0xFEDC};
    QTest::newRow("LREAL 1.0 and -2.5") << int(Double) << listOf<double>({1.0, -2.5})
                                        << Words{0, 0, 0, 0x3FF0, 0, 0, 0, 0xC004};
    QTest::newRow("LREAL NaN keeps its payload") << int(Double)
                                                 << listOf<double>({std::numeric_limits<double>::quiet_NaN()})
                                                 << Words{0, 0, 0, 0x7FF8};
}

// Words to elements and back: each direction on its own, so that two
// mirrored faults cannot cancel out.
void TestWordLayout::elements()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(Words, words);
    // One pattern per element.
    const int elements = patterns(type, value).split(QLatin1Char(' ')).size();
    QCOMPARE(patterns(type, WordLayout::toElements(type, words, elements)), patterns(type, value));
    Words out{0x5555};
    QCOMPARE(WordLayout::fromElements(type, value, elements, &out), elements);
    QCOMPARE(out, Words{0x5555} + words);
}

void TestWordLayout::missingWordsReadAsZero()
{
    QCOMPARE(patterns(Int16, WordLayout::toElements(Int16, Words{0x1234}, 3)), QStringLiteral("1234 0 0"));
    QCOMPARE(patterns(Int32, WordLayout::toElements(Int32, Words{0x0187}, 1)), QStringLiteral("187"));
    QCOMPARE(patterns(UInt8, WordLayout::toElements(UInt8, Words{0xA5C3}, 3)), QStringLiteral("a5 c3 0"));
    QCOMPARE(patterns(Double, WordLayout::toElements(Double, Words{}, 0)), QString());
    QCOMPARE(patterns(Float, WordLayout::toElements(Float, Words{1, 2}, -3)), QString());
    QVERIFY(WordLayout::toElements(Bool, Words{1}, 1).isNull());
    QVERIFY(WordLayout::toElements(String, Words{1}, 1).isNull());
    // A count no tag can have is refused, not allocated; the largest one decodes.
    QVERIFY(WordLayout::toElements(Double, Words{1}, INT_MAX).isNull());
    QVERIFY(WordLayout::toElements(Int8, Words{1}, WordLayout::MaxElements + 1).isNull());
    QVERIFY(WordLayout::toBits(3, Words{1}, INT_MAX).isNull());
    QCOMPARE(WordLayout::toElements(UInt8, Words{0xA5C3}, WordLayout::MaxElements).value<QList<unsigned char>>().size(),
             WordLayout::MaxElements);
    QCOMPARE(WordLayout::toBits(0, Words{1}, WordLayout::MaxElements).value<QList<bool>>().size(), WordLayout::MaxElements);
}

void TestWordLayout::bitNumbering_data()
{
    QTest::addColumn<int>("bit");
    QTest::addColumn<Words>("words");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<bool>>("expected");
    // Word 0 = 0x8001 (bits 0 and 15), word 1 = 0x0003 (bits 16, 17).
    const Words data{0x8001, 0x0003};
    QTest::newRow("bit 0, one") << 0 << data << 1 << bitList("1");
    QTest::newRow("bit 15, one") << 15 << data << 1 << bitList("1");
    QTest::newRow("bit 15, three across the word") << 15 << data << 3 << bitList("111");
    QTest::newRow("bit 14, four") << 14 << data << 4 << bitList("0111");
    QTest::newRow("bit 20 (word + 1, bit 4)") << 20 << data << 1 << bitList("0");
    QTest::newRow("bit 17 (word + 1, bit 1)") << 17 << data << 2 << bitList("10");
    QTest::newRow("whole words") << 0 << data << 32 << bitList("10000000000000011100000000000000");
    QTest::newRow("bit 3") << 3 << Words{0x0008} << 1 << bitList("1");
    QTest::newRow("bits 0..3 of 0005") << 0 << Words{0x0005} << 4 << bitList("1010");
    QTest::newRow("across words from 15") << 15 << Words{0x8000, 0x0001} << 3 << bitList("110");
    QTest::newRow("bit 20 is bit 4 of word 1") << 20 << Words{0x0000, 0x0010} << 1 << bitList("1");
    QTest::newRow("16 bits from 0") << 0 << Words{0xFFFF} << 16 << bitList("1111111111111111");
    QTest::newRow("past the words reads 0") << 14 << Words{0xC000} << 4 << bitList("1100");
    QTest::newRow("negative bit counts as 0") << -5 << Words{0x0001} << 1 << bitList("1");
    QTest::newRow("count 0") << 3 << data << 0 << QList<bool>{};
}

void TestWordLayout::bitNumbering()
{
    QFETCH(int, bit);
    QFETCH(Words, words);
    QFETCH(int, count);
    QFETCH(QList<bool>, expected);
    const QVariant decoded = WordLayout::toBits(bit, words, count);
    QCOMPARE(decoded.userType(), qMetaTypeId<QList<bool>>());
    QCOMPARE(decoded.value<QList<bool>>(), expected);
}

void TestWordLayout::counts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("words");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("halfWord");
    QTest::newRow("Bool 1") << int(Bool) << 1 << 1 << 2 << false;
    QTest::newRow("Bool 16") << int(Bool) << 16 << 1 << 2 << false;
    QTest::newRow("Bool 17") << int(Bool) << 17 << 2 << 4 << false;
    QTest::newRow("Int8 1") << int(Int8) << 1 << 1 << 1 << true;
    QTest::newRow("UInt8 2") << int(UInt8) << 2 << 1 << 2 << false;
    QTest::newRow("UInt8 3") << int(UInt8) << 3 << 2 << 3 << true;
    QTest::newRow("Int16 3") << int(Int16) << 3 << 3 << 6 << false;
    QTest::newRow("Float 2") << int(Float) << 2 << 4 << 8 << false;
    QTest::newRow("UInt32 1") << int(UInt32) << 1 << 2 << 4 << false;
    QTest::newRow("Double 2") << int(Double) << 2 << 8 << 16 << false;
    QTest::newRow("UInt64 3") << int(UInt64) << 3 << 12 << 24 << false;
    QTest::newRow("count 0") << int(Int16) << 0 << 0 << 0 << false;
    QTest::newRow("count -1") << int(Int8) << -1 << 0 << 0 << true;
    QTest::newRow("String") << int(String) << 5 << 0 << 0 << false;
    QTest::newRow("no type") << 0 << 5 << 0 << 0 << false;
}

void TestWordLayout::counts()
{
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, words);
    QFETCH(int, bytes);
    QFETCH(bool, halfWord);
    QCOMPARE(WordLayout::wordCount(type, count), (long long)words);
    QCOMPARE(WordLayout::byteCount(type, count), (long long)bytes);
    QCOMPARE(WordLayout::endsInHalfWord(type, count), halfWord);
    // The largest count an int holds does not overflow.
    QCOMPARE(WordLayout::wordCount(Double, std::numeric_limits<int>::max()),
             4LL * std::numeric_limits<int>::max());
}

void TestWordLayout::refusals()
{
    Words words{0x5555};
    QCOMPARE(WordLayout::fromElements(Int16, listOf<int>({1, 2}), 2, &words), -1);
    QCOMPARE(WordLayout::fromElements(UInt16, listOf<short>({1}), 1, &words), -1);
    QCOMPARE(WordLayout::fromElements(Double, QVariant(), 1, &words), -1);
    QCOMPARE(WordLayout::fromElements(Bool, listOf<bool>({true}), 1, &words), -1);
    QCOMPARE(WordLayout::fromElements(String, QVariant::fromValue(QList<QString>{"x"}), 1, &words), -1);
    QCOMPARE(words, Words{0x5555});
    // A shorter list gives what it has; a count below 1 takes nothing.
    QCOMPARE(WordLayout::fromElements(Int16, listOf<short>({7}), 3, &words), 1);
    QCOMPARE(WordLayout::fromElements(Int32, listOf<int>({7}), -2, &words), 0);
    QCOMPARE(words, (Words{0x5555, 7}));

    QByteArray flags("x");
    QCOMPARE(WordLayout::bitFlags(listOf<bool>({true, false, true, true}), 3, &flags), 3);
    QCOMPARE(flags, QByteArray("x\x01\x00\x01", 4));
    QCOMPARE(WordLayout::bitFlags(listOf<bool>({true}), 2, &flags), 1);
    QCOMPARE(WordLayout::bitFlags(listOf<short>({1}), 1, &flags), -1);
    QCOMPARE(WordLayout::bitFlags(QVariant(), 1, &flags), -1);
    QCOMPARE(flags, QByteArray("x\x01\x00\x01\x01", 5));
}

QTEST_GUILESS_MAIN(TestWordLayout)
#include "tst_wordlayout.moc"
