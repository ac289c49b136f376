// FINS value codec through the facade's members: documented byte vectors,
// the controller's layout of multi-word values on the wire, bits, and round
// trips through the bytes.
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

#include "FinsCodec.h"
#include "TestSupport.h"
#include "libfinsnet.h"

using testsupport::fromHex;

namespace {

template <typename T>
QList<T> listOf(const QVariant &v)
{
    [&] { QCOMPARE(v.userType(), qMetaTypeId<QList<T>>()); }();
    return v.value<QList<T>>();
}

template <typename T>
CLabelVariable valueOf(const QList<T> &list)
{
    CLabelVariable value;
    value.value = QVariant::fromValue(list);
    return value;
}

QList<bool> bits(const char *text)
{
    QList<bool> out;
    for (const char *c = text; *c; ++c)
        out << (*c == '1');
    return out;
}

} // namespace

class TestFinsCodec : public QObject
{
    Q_OBJECT

private slots:
    void decodeVectors();
    void missingBytesReadAsZero();
    void controllerLayoutOfMultiWordValues();
    void doubleInControllerLayout();
    void decodeBits();
    void decodeExactBitCount_data();
    void decodeExactBitCount();
    void encodeVectors();
    void encoderIgnoresOtherListTypes();
    void roundTrips();
    void nonPositiveCountGivesEmptyList();

private:
    LibFinsNet fins;
};

void TestFinsCodec::decodeVectors()
{
    QCOMPARE(listOf<short>(fins.set_variant_Int16(fromHex("12 34 AB CD"), 2)), (QList<short>{4660, -21555}));
    QCOMPARE(listOf<unsigned short>(fins.set_variant_UInt16(fromHex("AB CD"), 1)), (QList<unsigned short>{0xABCD}));
    QCOMPARE(listOf<unsigned int>(fins.set_variant_UInt32(fromHex("56 78 12 34"), 1)),
             (QList<unsigned int>{0x12345678u}));
    QCOMPARE(listOf<int>(fins.set_variant_Int32(fromHex("00 00 80 00"), 1)),
             (QList<int>{std::numeric_limits<int>::min()}));
    QCOMPARE(listOf<float>(fins.set_variant_fload(fromHex("00 00 3F 80"), 1)), (QList<float>{1.0f}));
    QCOMPARE(listOf<long long>(fins.set_variant_Int64(fromHex("00 01 00 00 00 00 00 00"), 1)), (QList<long long>{1}));
    QCOMPARE(listOf<long long>(fins.set_variant_Int64(fromHex("00 00 00 00 00 00 80 00"), 1)),
             (QList<long long>{std::numeric_limits<long long>::min()}));
    QCOMPARE(listOf<unsigned long long>(fins.set_variant_UInt64(fromHex("FF FF FF FF FF FF FF FF"), 1)),
             (QList<unsigned long long>{~0ull}));
    QCOMPARE(listOf<char>(fins.set_variant_Int8(fromHex("12 34"), 2)), (QList<char>{0x12, 0x34}));
    QCOMPARE(listOf<unsigned char>(fins.set_variant_UInt8(fromHex("FE 01"), 2)), (QList<unsigned char>{0xFE, 0x01}));
}

void TestFinsCodec::missingBytesReadAsZero()
{
    QCOMPARE(listOf<short>(fins.set_variant_Int16(fromHex("12 34 AB"), 2)), (QList<short>{4660, -21760}));
}

void TestFinsCodec::controllerLayoutOfMultiWordValues()
{
    // REAL -123.456 is E979 in the lower word, C2F6 in the next.
    const QList<float> real = listOf<float>(fins.set_variant_fload(fromHex("E9 79 C2 F6"), 1));
    QCOMPARE(real.size(), 1);
    QCOMPARE(real.at(0), -123.456f);
    QByteArray out;
    fins.Wset_variant_float(valueOf(QList<float>{-123.456f}), 1, &out);
    QCOMPARE(out, fromHex("E979 C2F6"));
    // The 32-bit integer 0x14020187 is stored as 0187 then 1402.
    QCOMPARE(listOf<int>(fins.set_variant_Int32(fromHex("0187 1402"), 1)), (QList<int>{0x14020187}));
}

void TestFinsCodec::doubleInControllerLayout()
{
    QCOMPARE(listOf<double>(fins.set_variant_double(fromHex("00 00 00 00 00 00 3F F0"), 1)), (QList<double>{1.0}));
    QByteArray out;
    fins.Wset_variant_double(valueOf(QList<double>{1.0, -2.5}), 2, &out);
    QCOMPARE(out.toHex(' '), fromHex("0000 0000 0000 3FF0 0000 0000 0000 C004").toHex(' '));
}

void TestFinsCodec::decodeBits()
{
    QCOMPARE(listOf<bool>(fins.set_variant_bool(3, fromHex("12 34"), 2)), bits("0110001001000"));
    QCOMPARE(listOf<bool>(fins.set_variant_bool(10, fromHex("12 34"), 2)), bits("001000"));
    QCOMPARE(listOf<bool>(fins.set_variant_bool(0, fromHex("80 01"), 2)), bits("1000000000000001"));
}

void TestFinsCodec::decodeExactBitCount_data()
{
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QList<bool>>("expected");
    // Word 0 = 0x8001 (bits 0 and 15), word 1 = 0x0003 (bits 16, 17).
    const QByteArray data = fromHex("8001 0003");
    // The bit numbering itself is the word layout's (tst_wordlayout); these
    // rows check the bytes' order within the words.
    QTest::newRow("bit 15, three across the word") << 15 << 3 << data << bits("111");
    QTest::newRow("bit 17 (word + 1, bit 1)") << 17 << 2 << data << bits("10");
}

void TestFinsCodec::decodeExactBitCount()
{
    QFETCH(int, bit);
    QFETCH(int, count);
    QFETCH(QByteArray, data);
    QFETCH(QList<bool>, expected);
    QCOMPARE(listOf<bool>(FinsCodec::decode(Bool, data, count, bit)), expected);
}

void TestFinsCodec::encodeVectors()
{
    QByteArray out;
    fins.Wset_variant_Int32(valueOf(QList<int>{0x12345678}), 1, &out);
    QCOMPARE(out, fromHex("56 78 12 34"));
    out.clear();
    fins.Wset_variant_Int64(valueOf(QList<long long>{1}), 1, &out);
    QCOMPARE(out, fromHex("00 01 00 00 00 00 00 00"));
    out.clear();
    fins.Wset_variant_Int64(valueOf(QList<long long>{0x0102030405060708ll}), 1, &out);
    QCOMPARE(out, fromHex("07 08 05 06 03 04 01 02"));
    out.clear();
    fins.Wset_variant_bool(valueOf(QList<bool>{true, false, true}), 3, &out);
    QCOMPARE(out, fromHex("01 00 01"));
    out.clear();
    fins.Wset_variant_Int8(valueOf(QList<char>{char(0xFF), 0x01, 0x02}), 2, &out);
    QCOMPARE(out, fromHex("FF 01"));
}

void TestFinsCodec::encoderIgnoresOtherListTypes()
{
    QByteArray out("x");
    QCOMPARE(fins.Wset_variant_Int16(valueOf(QList<int>{1, 2}), 2, &out), 0);
    QCOMPARE(fins.Wset_variant_uInt16(valueOf(QList<short>{1}), 1, &out), 0);
    QCOMPARE(fins.Wset_variant_double(CLabelVariable(), 1, &out), 0);
    QCOMPARE(out, QByteArray("x"));
}

void TestFinsCodec::roundTrips()
{
    const auto check = [](int type, const auto &list) {
        using List = std::decay_t<decltype(list)>;
        const int count = list.size();
        QByteArray bytes;
        QVERIFY(FinsCodec::encode(type, QVariant::fromValue(list), count, &bytes));
        QCOMPARE(bytes.size(), int(FinsCodec::byteLength(type, count)) - (type == Int8 || type == UInt8 ? int(count % 2) : 0));
        QCOMPARE(FinsCodec::decode(type, bytes, count).template value<List>(), list);
    };
    check(Int8, QList<char>{0, 1, char(0x7F), char(0x80), char(0xFF)});
    check(UInt8, QList<unsigned char>{0, 1, 0x7F, 0x80, 0xFF, 0x10});
    check(Int16, QList<short>{0, -1, 32767, -32768, 0x1234});
    check(UInt16, QList<unsigned short>{0, 1, 0xFFFF, 0x8000});
    check(Int32, QList<int>{0, -1, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max(), 0x14020187});
    check(UInt32, QList<unsigned int>{0, 0xFFFFFFFFu, 0x80000000u, 0x12345678u});
    check(Float, QList<float>{0.0f, -123.456f, 1e-38f, 3.4e38f,
                                                  std::numeric_limits<float>::infinity()});
    check(Int64, QList<long long>{0, -1, std::numeric_limits<long long>::min(),
                                                      std::numeric_limits<long long>::max()});
    check(UInt64, QList<unsigned long long>{0, ~0ull, 0x0102030405060708ull});
    check(Double, QList<double>{0.0, 1.0, -123.456, 1e308, -4.9e-324,
                                                    std::numeric_limits<double>::infinity()});

    // NaN compares unequal to itself: check its bit pattern survives.
    QByteArray bytes;
    const double nan = std::nan("0x5");
    FinsCodec::encodeDouble(QVariant::fromValue(QList<double>{nan}), 1, &bytes);
    const double back = FinsCodec::decodeDouble(bytes, 1).value<QList<double>>().at(0);
    QVERIFY(std::isnan(back));
    QCOMPARE(std::memcmp(&back, &nan, sizeof nan), 0);
}

void TestFinsCodec::nonPositiveCountGivesEmptyList()
{
    QVERIFY(listOf<int>(fins.set_variant_Int32(fromHex("0102 0304"), 0)).isEmpty());
    QVERIFY(listOf<double>(fins.set_variant_double(fromHex("0102 0304"), -3)).isEmpty());
}

QTEST_GUILESS_MAIN(TestFinsCodec)
#include "tst_finscodec.moc"
