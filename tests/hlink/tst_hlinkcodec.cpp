// Host Link value codec: digit vectors in the controller's word layout,
// exact inverses, refusals.
#include <QtTest>

#include <cmath>
#include <limits>

#include "HLinkCodec.h"
#include "CDriveBaseClass.h"

#include "HLinkTestValues.h"

class TestHLinkCodec : public QObject
{
    Q_OBJECT

private slots:
    void decodeVectors();
    void decodeBits_data();
    void decodeBits();
    void encodeVectors();
    void encodeRefusesWhatIsNotThere();
    void roundTrips();
};

void TestHLinkCodec::decodeVectors()
{
    using namespace HLinkCodec;
    QCOMPARE(listOf<short>(decode(Int16, digits("1234 ABCD"), 2)), (QList<short>{0x1234, -21555}));
    QCOMPARE(listOf<short>(decode(Int16, digits("1234 A"), 2)), (QList<short>{0x1234, short(-24576)}));
    QCOMPARE(listOf<unsigned short>(decode(UInt16, digits("8000"), 1)), (QList<unsigned short>{0x8000}));
    QCOMPARE(listOf<unsigned char>(decode(UInt8, digits("12FF"), 2)), (QList<unsigned char>{0x12, 0xFF}));
    QCOMPARE(listOf<char>(decode(Int8, digits("12FF"), 2)), (QList<char>{char(0x12), char(0xFF)}));
    // Lowest word first (protocol notes: 0x14020187 stored as 0187, 1402).
    QCOMPARE(listOf<unsigned int>(decode(UInt32, digits("5678 1234"), 1)), (QList<unsigned int>{0x12345678u}));
    QCOMPARE(listOf<unsigned int>(decode(UInt32, digits("0187 1402"), 1)), (QList<unsigned int>{0x14020187u}));
    QCOMPARE(listOf<int>(decode(Int32, digits("0000 8000"), 1)), (QList<int>{std::numeric_limits<int>::min()}));
    // REAL -123.456 is stored as E979 in the first word, C2F6 in the second.
    QCOMPARE(listOf<float>(decode(Float, digits("E979 C2F6"), 1)), (QList<float>{-123.456f}));
    QCOMPARE(listOf<unsigned long long>(decode(UInt64, digits("0001 0000 0000 0000"), 1)),
             (QList<unsigned long long>{1ull}));
    QCOMPARE(listOf<unsigned long long>(decode(UInt64, digits("0000 0000 0000 8000"), 1)),
             (QList<unsigned long long>{0x8000000000000000ull}));
    QCOMPARE(listOf<long long>(decode(Int64, digits("FFFF FFFF FFFF FFFF"), 1)), (QList<long long>{-1}));
    QCOMPARE(listOf<double>(decode(Double, digits("0000 0000 0000 3FF0"), 1)), (QList<double>{1.0}));
    // Count 0 gives an empty list of the right type.
    const QVariant empty = decode(Int32, digits("1234"), 0);
    QCOMPARE(empty.userType(), qMetaTypeId<QList<int>>());
    QVERIFY(listOf<int>(empty).isEmpty());
}

void TestHLinkCodec::decodeBits_data()
{
    QTest::addColumn<int>("bit");
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<bool>>("expected");
    // The bit numbering itself is the word layout's (tst_wordlayout); these
    // rows check the digits' order within the words.
    QTest::newRow("across words from 15") << 15 << digits("8000 0001") << 3 << QList<bool>{true, true, false};
    QTest::newRow("bit 20 is bit 4 of word 1") << 20 << digits("0000 0010") << 1 << QList<bool>{true};
}

void TestHLinkCodec::decodeBits()
{
    QFETCH(int, bit);
    QFETCH(QByteArray, words);
    QFETCH(int, count);
    QFETCH(QList<bool>, expected);
    QCOMPARE(listOf<bool>(HLinkCodec::decodeBits(bit, words, count)), expected);
}

void TestHLinkCodec::encodeVectors()
{
    using namespace HLinkCodec;
    QByteArray out;
    QCOMPARE(encode(UInt16, tag(QList<unsigned short>{0xBEEF}), 1, &out), 0);
    QCOMPARE(out, digits("BEEF"));
    out.clear();
    QCOMPARE(encode(UInt8, tag(QList<unsigned char>{0xA5}), 1, &out), 0);
    QCOMPARE(out, digits("A5"));
    out.clear();
    QCOMPARE(encode(Int32, tag(QList<int>{0x12345678}), 1, &out), 0);
    QCOMPARE(out, digits("5678 1234"));
    out.clear();
    QCOMPARE(encode(Float, tag(QList<float>{-123.456f}), 1, &out), 0);
    QCOMPARE(out, digits("E979 C2F6"));
    out.clear();
    QCOMPARE(encode(Double, tag(QList<double>{1.0}), 1, &out), 0);
    QCOMPARE(out, digits("0000 0000 0000 3FF0"));
    out.clear();
    QCOMPARE(encode(Int16, tag(QList<short>{1, 2, 3}), 2, &out), 0); // only the first count
    QCOMPARE(out, digits("0001 0002"));
    out.clear();
    QCOMPARE(encodeBits(tag(QList<bool>{true, false, true}), 3, &out), 0);
    QCOMPARE(out, QByteArray("\x01\x00\x01", 3));
}

void TestHLinkCodec::encodeRefusesWhatIsNotThere()
{
    using namespace HLinkCodec;
    QByteArray out;
    QCOMPARE(encode(Int16, tag(QList<int>{1}), 1, &out), 1);
    QCOMPARE(encode(Int8, tag(QList<int>{1}), 1, &out), 1);
    QCOMPARE(encode(Int16, tag(QList<short>{1}), 2, &out), 1);
    QCOMPARE(encode(String, tag(QList<QString>{QStringLiteral("x")}), 1, &out), 1);
    QCOMPARE(encodeBits(tag(QList<short>{1}), 1, &out), 1);
    QCOMPARE(encodeBits(CLabelVariable(), 1, &out), 1);
    QVERIFY(out.isEmpty());
}

namespace {

template <typename T>
void roundTrip(int type, const QList<T> &values)
{
    QByteArray out;
    QCOMPARE(HLinkCodec::encode(type, tag(values), values.size(), &out), 0);
    QCOMPARE(out.size(), values.size() * HLinkCodec::digitsPerElement(type));
    for (char d : out)
        QVERIFY(d >= 0 && d <= 15);
    QCOMPARE(listOf<T>(HLinkCodec::decode(type, out, values.size())), values);
}

} // namespace

void TestHLinkCodec::roundTrips()
{
    roundTrip<char>(Int8, {char(0), char(0x7F), char(0x80), char(0xFF)});
    roundTrip<unsigned char>(UInt8, {0, 1, 0x80, 0xFF});
    roundTrip<short>(Int16, {0, -1, std::numeric_limits<short>::min(), std::numeric_limits<short>::max()});
    roundTrip<unsigned short>(UInt16, {0, 1, 0x8000, 0xFFFF});
    roundTrip<int>(Int32, {0, -1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), 0x12345678});
    roundTrip<unsigned int>(UInt32, {0u, 0xFFFFFFFFu, 0x80000000u, 0xDEADBEEFu});
    roundTrip<float>(Float, {0.0f, -0.0f, 1.5f, -123.456f, std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::infinity()});
    roundTrip<long long>(Int64, {0, -1, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max(),
                                 0x0123456789ABCDEFll});
    roundTrip<unsigned long long>(UInt64, {0, ~0ull, 0x8000000000000000ull, 0xFEDCBA9876543210ull});
    roundTrip<double>(Double, {0.0, -1.0, 3.141592653589793, std::numeric_limits<double>::lowest(),
                               std::numeric_limits<double>::denorm_min()});
    // NaN compares unequal to itself: compare bit patterns through a second trip.
    QByteArray nanDigits;
    QCOMPARE(HLinkCodec::encode(Double, tag(QList<double>{std::nan("")}), 1, &nanDigits), 0);
    QVERIFY(std::isnan(listOf<double>(HLinkCodec::decode(Double, nanDigits, 1)).at(0)));
    // Bits: encode one byte per bit, read back from a word holding them.
    const QList<bool> bits{true, false, false, true, true};
    QByteArray bitBytes;
    QCOMPARE(HLinkCodec::encodeBits(tag(bits), bits.size(), &bitBytes), 0);
    QCOMPARE(bitBytes, QByteArray("\x01\x00\x00\x01\x01", 5));
    QCOMPARE(listOf<bool>(HLinkCodec::decodeBits(2, digits("0064"), 5)), bits); // 0x64 = bits 2, 5, 6
}

QTEST_GUILESS_MAIN(TestHLinkCodec)
#include "tst_hlinkcodec.moc"
