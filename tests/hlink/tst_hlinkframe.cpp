// Host Link "FA" frames: requests against the published frame tables and
// captures, answers checked against their requests, hand-written.
#include <QtTest>

#include "HLinkFrame.h"

using namespace HLinkFrame;

namespace {

// Independent FCS for the hand-edited answers below.
QByteArray withFcs(const QByteArray &body)
{
    unsigned char x = 0;
    for (char c : body)
        x ^= static_cast<unsigned char>(c);
    return body + QByteArray::number(x, 16).rightJustified(2, '0').toUpper() + "*\r";
}

// Request for read D0, 1 word, SID 00 (protocol capture, FCS 7C).
const QByteArray kReadD0 = "@00FA0000000000101820000000001" "7C*\r";
// Its answer, data 1234 (capture, FCS 47).
const QByteArray kReadD0Answer = "@00FA0040000000010100001234" "47*\r";

} // namespace

class TestHLinkFrame : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void fcsAndDigits();
    void expectedAnswers();
    void goodAnswers_data();
    void goodAnswers();
    void badAnswers_data();
    void badAnswers();
};

void TestHLinkFrame::requests_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    // Unit 0, D100, 2 words: the table's example, FCS 7D.
    QTest::newRow("read D100 x2") << readRequest(0, 0, 0x82, 100, 2)
                                  << QByteArray("@00FA0000000000101820064000002" "7D*\r");
    QTest::newRow("read D0 x1 (capture)") << readRequest(0, 0, 0x82, 0, 1) << kReadD0;
    QTest::newRow("unit 31 is 1F") << readRequest(31, 0, 0x82, 100, 2)
                                   << QByteArray("@1FFA0000000000101820064000002" "0A*\r");
    QTest::newRow("unit 10 is 0A") << readRequest(10, 0, 0x82, 100, 2)
                                   << QByteArray("@0AFA0000000000101820064000002" "0C*\r");
    QTest::newRow("SID 2A at 12-13, W10") << readRequest(0, 0x2A, 0xB1, 10, 1)
                                          << QByteArray("@00FA00000002A0101B1000A000001" "07*\r");
    QTest::newRow("CIO1, 3 words, unit 5") << readRequest(5, 0, 0xB0, 1, 3)
                                           << QByteArray("@05FA0000000000101B0000100000302" "*\r");
    // Write D100 = 12 (capture, FCS 0E): data after the word count.
    QTest::newRow("write D100=12 (capture)") << writeRequest(0, 0, 0x82, 100, QByteArray("\x00\x00\x00\x0c", 4))
                                             << QByteArray("@00FA0000000000102820064000001000C" "0E*\r");
    QTest::newRow("write D200 two words") << writeRequest(0, 0, 0x82, 200, QByteArray("\x0a\x0b\x0c\x0d\x00\x00\x01\x02", 8))
                                          << QByteArray("@00FA00000000001028200C8000002ABCD0012" "00*\r");
    // Bit write W10.3, two items on/off: bit area 31, bit 03, count 0002, 01 00.
    QTest::newRow("bit write W10.3") << bitWriteRequest(0, 0, 0x31, 10, 3, QByteArray("\x01\x00", 2))
                                     << QByteArray("@00FA000000000010231000A0300020100" "07*\r");
}

void TestHLinkFrame::requests()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

void TestHLinkFrame::fcsAndDigits()
{
    QCOMPARE(int(fcs("abc", 3)), 0x60);
    QCOMPARE(int(fcs(QByteArray(), 5)), 0);
    QCOMPARE(int(fcs("abc", 0)), 0);
    // Long frames: the check covers every character, not only the first 255.
    QByteArray longFrame(300, 'A');
    longFrame[299] = 'B';
    QCOMPARE(int(fcs(longFrame, longFrame.size())), int('A' ^ 'B'));
    QCOMPARE(int(hexChar(0)), int('0'));
    QCOMPARE(int(hexChar(10)), int('A'));
    QCOMPARE(int(hexChar(15)), int('F'));
    QCOMPARE(int(hexChar(16)), 16);
    QCOMPARE(int(digitOf('7')), 7);
    QCOMPARE(int(digitOf('F')), 15);
    QCOMPARE(int(digitOf('a')), 0x61);
    QVERIFY(!isUpperHex('a'));
    QVERIFY(isUpperHex('C'));
}

void TestHLinkFrame::expectedAnswers()
{
    QCOMPARE(expectedAnswerLength(kReadD0), 31);
    QCOMPARE(expectedDataWords(kReadD0), 1);
    QCOMPARE(expectedDataWords(writeRequest(0, 0, 0x82, 0, QByteArray(8, 0))), 0);
}

void TestHLinkFrame::goodAnswers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("digits");
    QTest::newRow("read capture") << kReadD0 << kReadD0Answer << QByteArray("\x01\x02\x03\x04", 4);
    QTest::newRow("write capture") << QByteArray("@00FA0000000000102820064000001000C" "0E*\r")
                                   << QByteArray("@00FA004000000001020000" "40*\r") << QByteArray();
    // Non-fatal CPU error flag (sub code bit 6) and relay flag (main bit 7).
    QTest::newRow("end code 0040") << kReadD0 << withFcs("@00FA0040000000010100401234") << QByteArray("\x01\x02\x03\x04", 4);
    QTest::newRow("end code 8000") << kReadD0 << withFcs("@00FA0040000000010180001234") << QByteArray("\x01\x02\x03\x04", 4);
    QTest::newRow("two words") << readRequest(0, 7, 0x82, 100, 2)
                               << withFcs("@00FA00400000070101000012AB00FF")
                               << QByteArray("\x01\x02\x0a\x0b\x00\x00\x0f\x0f", 8);
}

void TestHLinkFrame::goodAnswers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, digits);
    const AnswerCheck check = checkAnswer(answer, request);
    QCOMPARE(int(check.verdict), int(Verdict::Accepted));
    QCOMPARE(check.digits, digits);
}

void TestHLinkFrame::badAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("failure");
    const int failed = int(Verdict::Failed);
    const int foreign = int(Verdict::Foreign);
    QTest::newRow("no terminator") << QByteArray("@00FA0040000000010100001234" "47*") << failed << "terminator";
    QTest::newRow("no at sign") << withFcs("#00FA0040000000010100001234") << failed << "at sign";
    QTest::newRow("bad FCS") << QByteArray("@00FA0040000000010100001234" "48*\r") << failed << "FCS";
    QTest::newRow("lower-case FCS") << QByteArray("@00FA0040000000010100000009" "4a*\r") << failed << "FCS";
    QTest::newRow("other unit") << withFcs("@01FA0040000000010100001234") << foreign << "unit";
    QTest::newRow("header code") << withFcs("@00FB0040000000010100001234") << failed << "header";
    QTest::newRow("Host Link end code") << withFcs("@00FA13") << failed << "Host Link end code 13";
    QTest::newRow("Host Link end code, long") << withFcs("@00FA1440000000010100001234") << failed << "Host Link end code 14";
    QTest::newRow("earlier SID") << withFcs("@00FA00400000FF010100001234") << foreign << "SID";
    QTest::newRow("short header") << withFcs("@00FA00400000000101") << failed << "short";
    QTest::newRow("command echo") << withFcs("@00FA0040000000010200001234") << failed << "command";
    QTest::newRow("FINS end code 1101") << withFcs("@00FA0040000000010111010000") << failed << "FINS end code 1101";
    QTest::newRow("FINS end code without data") << withFcs("@00FA004000000001011104") << failed << "FINS end code 1104";
    QTest::newRow("FINS end code not hex") << withFcs("@00FA00400000000101G0001234") << failed << "not hex";
    QTest::newRow("data short") << withFcs("@00FA004000000001010000123") << failed << "data length 3";
    QTest::newRow("data long") << withFcs("@00FA00400000000101000012345678") << failed << "data length 8";
    QTest::newRow("lower-case data") << withFcs("@00FA00400000000101000012ab") << failed << "no hex digit";
    QTest::newRow("star in data") << withFcs("@00FA00400000000101000012*4") << failed << "no hex digit";
}

void TestHLinkFrame::badAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, verdict);
    QFETCH(QString, failure);
    const AnswerCheck check = checkAnswer(answer, kReadD0);
    QCOMPARE(int(check.verdict), verdict);
    QVERIFY2(check.failure.contains(failure), qPrintable(check.failure));
    QVERIFY(check.digits.isEmpty());
}

QTEST_GUILESS_MAIN(TestHLinkFrame)
#include "tst_hlinkframe.moc"
