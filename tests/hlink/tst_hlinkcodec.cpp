// Host Link value codec and the facade's checks that need no PLC: digit
// vectors in the controller's word layout, exact inverses, refusals.
#include <QtTest>

#include <cmath>
#include <limits>

#include "HLinkCodec.h"
#include "libhlink.h"

namespace {

// Digit values from a hex text ("1234 ABCD"): one byte 0..15 per character.
QByteArray digits(const char *text)
{
    QByteArray out;
    for (const char *p = text; *p; ++p) {
        if (*p == ' ')
            continue;
        out += char(QByteArray(1, *p).toInt(nullptr, 16));
    }
    return out;
}

template <typename T>
CLabelVariable tag(const QList<T> &list)
{
    CLabelVariable v;
    v.value = QVariant::fromValue(list);
    return v;
}

template <typename T>
QList<T> listOf(const QVariant &v)
{
    return v.value<QList<T>>();
}

} // namespace

Q_DECLARE_METATYPE(CLabelVariable)

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
    void facadeMembers();
    void byteLengths_data();
    void byteLengths();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void writeRefusals_data();
    void writeRefusals();
    void identity();
    void connectionTexts_data();
    void connectionTexts();
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

void TestHLinkCodec::facadeMembers()
{
    LibHLink lib;
    QCOMPARE(listOf<short>(lib.set_variant_Int16(digits("1234 ABCD"), 2)), (QList<short>{0x1234, -21555}));
    QCOMPARE(listOf<unsigned int>(lib.set_variant_UInt32(digits("5678 1234"), 1)), (QList<unsigned int>{0x12345678u}));
    QCOMPARE(listOf<float>(lib.set_variant_fload(digits("E979 C2F6"), 1)), (QList<float>{-123.456f}));
    QCOMPARE(listOf<bool>(lib.set_variant_bool(1, digits("0002"), 1)), (QList<bool>{true}));
    QByteArray out;
    QCOMPARE(lib.Wset_variant_uInt16(tag(QList<unsigned short>{0xBEEF}), 1, &out), 0);
    QCOMPARE(out, digits("BEEF"));
    out.clear();
    QCOMPARE(lib.Wset_variant_Int32(tag(QList<int>{0x12345678}), 1, &out), 0);
    QCOMPARE(out, digits("5678 1234"));
    out.clear();
    QCOMPARE(lib.Wset_variant_Int16(tag(QList<int>{5}), 1, &out), 1);
    QVERIFY(out.isEmpty());
    // Address grammar through the facade (CIO bit after the ".").
    QCOMPARE(int(lib.getArea(QStringLiteral("CIO10.12"))), 0xB0);
    QCOMPARE(lib.getArea_Bit(QStringLiteral("CIO10.12")), 0x30);
    QCOMPARE(lib.getAddr(QStringLiteral("CIO10.12"), LibHLink::Area_CIO), 10);
    QCOMPARE(lib.getmodule_BIT(QStringLiteral("CIO10.12"), LibHLink::Area_CIO), 12);
    QCOMPARE(lib.getmodule_BIT(QStringLiteral("CIO105"), LibHLink::Area_CIO), 0);
    QCOMPARE(lib.getArea_Bit(QStringLiteral("D130.5")), 0x02);
    QVERIFY(lib.getAddr(QStringLiteral("DM100"), LibHLink::Area_D) < 0);
}

void TestHLinkCodec::byteLengths_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("words");
    QTest::newRow("Int16 3") << int(Int16) << 3 << 3;
    QTest::newRow("Int32 3") << int(Int32) << 3 << 6;
    QTest::newRow("Float 2") << int(Float) << 2 << 4;
    QTest::newRow("Double 2") << int(Double) << 2 << 8;
    QTest::newRow("Bool 9") << int(Bool) << 9 << 1;
    QTest::newRow("Bool 16") << int(Bool) << 16 << 1;
    QTest::newRow("Bool 17") << int(Bool) << 17 << 2;
    QTest::newRow("Int8 1") << int(Int8) << 1 << 1;
    QTest::newRow("UInt8 3") << int(UInt8) << 3 << 2;
    QTest::newRow("String 5") << int(String) << 5 << 0;
}

void TestHLinkCodec::byteLengths()
{
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, words);
    LibHLink lib;
    QCOMPARE(lib.getBytelen(DataType(type), count), words);
}

void TestHLinkCodec::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("code");
    QTest::newRow("negative word") << "D-3" << int(Int16) << 1 << 5;
    QTest::newRow("unknown area") << "X100" << int(Int16) << 1 << 3;
    QTest::newRow("count 0") << "D100" << int(Int16) << 0 << 4;
    QTest::newRow("65535 + 2") << "D65535" << int(Int16) << 2 << 5;
    QTest::newRow("type 0") << "D100" << 0 << 1 << 2;
    QTest::newRow("String") << "D100" << int(String) << 1 << 2;
    QTest::newRow("code 13") << "D100" << 13 << 1 << 2;
    QTest::newRow("not a number") << "DM100" << int(Int16) << 1 << 5;
    QTest::newRow("bad bit") << "D100.x" << int(Bool) << 1 << 5;
    QTest::newRow("Int32 past the end") << "D65534" << int(Int32) << 1 << 5;
}

void TestHLinkCodec::refusedBeforeSending()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, code);
    LibHLink lib;
    const QDateTime before = QDateTime::currentDateTime();
    CLabelVariable r = lib.ReadVariable(address, DataType(type), count);
    QCOMPARE(r.errorCode, code);
    QCOMPARE(r.address, address);
    QCOMPARE(r.count, count);
    QCOMPARE(r.dataType, type);
    QVERIFY(r.timestamp >= before && r.timestamp <= QDateTime::currentDateTime());
    QVERIFY(!r.value.isValid());
    CLabelVariable value = tag(QList<short>{1, 2});
    value.errorCode = 42;
    const CLabelVariable w = lib.WriteVariable(address, DataType(type), value, count);
    QCOMPARE(w.errorCode, code);
    QCOMPARE(w.address, address);
    QCOMPARE(w.dataType, type);
}

void TestHLinkCodec::writeRefusals_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<int>("count");
    QTest::newRow("wrong list type") << int(Int16) << tag(QList<int>{1}) << 1;
    QTest::newRow("too few elements") << int(Int16) << tag(QList<short>{1}) << 2;
    QTest::newRow("no value") << int(Int32) << CLabelVariable() << 1;
    QTest::newRow("Bool from shorts") << int(Bool) << tag(QList<short>{1}) << 1;
    QTest::newRow("String") << int(String) << tag(QList<QString>{QStringLiteral("a")}) << 1;
}

void TestHLinkCodec::writeRefusals()
{
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(int, count);
    LibHLink lib; // not connected: anything that got past the refusal would report 9
    const CLabelVariable w = lib.WriteVariable(QStringLiteral("D100"), DataType(type), value, count);
    QCOMPARE(w.errorCode, 2);
}

void TestHLinkCodec::identity()
{
    LibHLink lib;
    CDriveBaseClass *face = &lib;
    QCOMPARE(face->getDriveName(), QStringLiteral("HLink"));
    QCOMPARE(face->getversion_number(), QStringLiteral("V1.0.1 20230221"));
    QCOMPARE(face->DebugCmd(GetDriveName), QStringLiteral("HLink"));
    QCOMPARE(face->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    QCOMPARE(face->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    QCOMPARE(face->DebugCmd(StopDebug), QStringLiteral("StopDebug"));
    QVERIFY(face->DebugCmd(EDebugCmdType(7)).isNull());
    QVERIFY(QRegularExpression(QStringLiteral("^v1\\.0\\.1 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                .match(face->DebugCmd(GetVersion)).hasMatch());
    QCOMPARE(lib.qt_metacast("CDriveBaseClass"), static_cast<void *>(face));
    QCOMPARE(face->DisConnectDrive(), 1);
    QCOMPARE(face->DestroyFree(), 1);
    // Without a connection a read that passes the checks fails as not connected.
    QCOMPARE(face->ReadVariable(QStringLiteral("D100"), Int16).errorCode, 9);
}

void TestHLinkCodec::connectionTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");
    QTest::newRow("no separator") << "ttyS0" << -4;
    QTest::newRow("empty port name") << ",9600,8,1,E" << -1;
    QTest::newRow("baud 0") << "/dev/ttyS0,x,8,1,E" << -1;
    QTest::newRow("no stop bits") << "/dev/ttyS0,9600,8" << -1;
    QTest::newRow("missing port") << "/dev/does-not-exist,9600,8,1,E" << -1;
    QTest::newRow("no port after colon") << "127.0.0.1:" << -1;
    QTest::newRow("no address") << ":9600" << -1;
    QTest::newRow("port 0") << "127.0.0.1:0" << -1;
    QTest::newRow("port too large") << "127.0.0.1:70000" << -1;
    QTest::newRow("host name") << "plc.local:9600" << -1;
}

void TestHLinkCodec::connectionTexts()
{
    QFETCH(QString, text);
    QFETCH(int, result);
    LibHLink lib;
    QCOMPARE(lib.ConnectDrive(text), result);
}

QTEST_GUILESS_MAIN(TestHLinkCodec)
#include "tst_hlinkcodec.moc"
