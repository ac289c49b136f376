// Host Link "FA" frames around the FINS core's commands: requests against the
// published frame tables and captures, answers checked against their requests
// (the frame, then the FINS answer in it by the core's check), hand-written.
#include <QtTest>

#include "FinsAnswer.h"
#include "FinsCommand.h"
#include "HLinkFrame.h"
#include "HLinkLog.h"

using namespace HLinkFrame;
namespace fc = FinsCommand;

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

// What the plug-in makes of `answer` to `command`: the frame's verdict, then
// the core's check of the FINS answer in it (a read's data: two bytes per
// word it asked for) and why in Host Link's words; the data when accepted.
Verdict judge(const QByteArray &answer, const QByteArray &command, QString *why, QByteArray *data)
{
    const AnswerCheck check = checkAnswer(answer, request(0, command));
    *why = check.failure;
    const int dataBytes = command.at(11) == 1 ? 2 * quint8(command.at(17)) : -1;
    FinsFailure f{Outcome(), FinsAnswer::Fault::None, command, finsAnswer(answer, command), dataBytes, {}, 0, false, false};
    if (check.verdict != Verdict::Accepted)
        return check.verdict;
    f.outcome = FinsAnswer::check(command, f.answer, dataBytes, &f.fault);
    *data = f.fault == FinsAnswer::Fault::None ? FinsAnswer::data(f.answer) : QByteArray();
    *why = f.fault == FinsAnswer::Fault::None ? QString() : HLinkLog::why(f);
    return f.fault == FinsAnswer::Fault::None ? Verdict::Accepted : Verdict::Failed;
}

} // namespace

class TestHLinkFrame : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void fcsAndDigits();
    void expectedAnswers();
    void answers_data();
    void answers();
};

void TestHLinkFrame::requests_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    // Unit 0, D100, 2 words: the table's example, FCS 7D.
    QTest::newRow("read D100 x2") << request(0, fc::readCommand(0, 0, 0, 0x82, 100, 2))
                                  << QByteArray("@00FA0000000000101820064000002" "7D*\r");
    QTest::newRow("read D0 x1 (capture)") << request(0, fc::readCommand(0, 0, 0, 0x82, 0, 1)) << kReadD0;
    QTest::newRow("unit 31 is 1F") << request(31, fc::readCommand(0, 0, 0, 0x82, 100, 2))
                                   << QByteArray("@1FFA0000000000101820064000002" "0A*\r");
    QTest::newRow("unit 10 is 0A") << request(10, fc::readCommand(0, 0, 0, 0x82, 100, 2))
                                   << QByteArray("@0AFA0000000000101820064000002" "0C*\r");
    QTest::newRow("SID 2A at 12-13, W10") << request(0, fc::readCommand(0, 0, 0x2A, 0xB1, 10, 1))
                                          << QByteArray("@00FA00000002A0101B1000A000001" "07*\r");
    // The FINS node numbers stay out of the frame.
    QTest::newRow("CIO1, 3 words, unit 5") << request(5, fc::readCommand(7, 9, 0, 0xB0, 1, 3))
                                           << QByteArray("@05FA0000000000101B0000100000302" "*\r");
    // Write D100 = 12 (capture, FCS 0E): data after the word count.
    QTest::newRow("write D100=12 (capture)") << request(0, fc::writeWordsCommand(0, 0, 0, 0x82, 100, QByteArray("\x00\x0c", 2)))
                                             << QByteArray("@00FA0000000000102820064000001000C" "0E*\r");
    QTest::newRow("write D200 two words") << request(0, fc::writeWordsCommand(0, 0, 0, 0x82, 200, QByteArray("\xab\xcd\x00\x12", 4)))
                                          << QByteArray("@00FA00000000001028200C8000002ABCD0012" "00*\r");
    // Bit write W10.3, two items on/off: bit area 31, bit 03, count 0002, 01 00.
    QTest::newRow("bit write W10.3") << request(0, fc::writeBitsCommand(0, 0, 0, 0x31, 10, 3, QByteArray("\x01\x00", 2)))
                                     << QByteArray("@00FA000000000010231000A0300020100" "07*\r");
    // A controller command (controller data read, 05 01) in the same frame.
    QTest::newRow("controller data read") << request(0, fc::command({}, 3, fc::ControllerDataRead))
                                          << withFcs("@00FA0000000030501");
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
    QCOMPARE(expectedDataWords(request(0, fc::writeWordsCommand(0, 0, 0, 0x82, 0, QByteArray(4, 0)))), 0);
}

void TestHLinkFrame::answers_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QByteArray>("data");
    const QByteArray d0 = fc::readCommand(0, 0, 0, 0x82, 0, 1);
    const int ok = int(Verdict::Accepted), failed = int(Verdict::Failed), foreign = int(Verdict::Foreign);
    QTest::newRow("read capture") << d0 << kReadD0Answer << ok << "" << QByteArray("\x12\x34", 2);
    QTest::newRow("write capture") << fc::writeWordsCommand(0, 0, 0, 0x82, 100, QByteArray("\x00\x0c", 2))
                                   << QByteArray("@00FA004000000001020000" "40*\r") << ok << "" << QByteArray();
    // Non-fatal CPU error flag (sub code bit 6) and relay flag (main bit 7).
    QTest::newRow("end code 0040") << d0 << withFcs("@00FA0040000000010100401234") << ok << "" << QByteArray("\x12\x34", 2);
    QTest::newRow("end code 8000") << d0 << withFcs("@00FA0040000000010180001234") << ok << "" << QByteArray("\x12\x34", 2);
    QTest::newRow("two words") << fc::readCommand(0, 0, 7, 0x82, 100, 2) << withFcs("@00FA00400000070101000012AB00FF")
                               << ok << "" << QByteArray("\x12\xab\x00\xff", 4);
    const auto bad = [&](const char *name, const QByteArray &answer, int verdict, const char *failure) {
        QTest::newRow(name) << d0 << answer << verdict << failure << QByteArray();
    };
    bad("no terminator", QByteArray("@00FA0040000000010100001234" "47*"), failed, "no terminator");
    bad("no at sign", withFcs("#00FA0040000000010100001234"), failed, "at sign");
    bad("bad FCS", QByteArray("@00FA0040000000010100001234" "48*\r"), failed, "FCS 48, computed 47");
    bad("lower-case FCS", QByteArray("@00FA0040000000010100000009" "4a*\r"), failed, "FCS");
    bad("other unit", withFcs("@01FA0040000000010100001234"), foreign, "unit");
    bad("header code", withFcs("@00FB0040000000010100001234"), failed, "header");
    bad("Host Link end code", withFcs("@00FA13"), failed, "Host Link end code 13");
    bad("Host Link end code, long", withFcs("@00FA1440000000010100001234"), failed, "Host Link end code 14");
    bad("earlier SID", withFcs("@00FA00400000FF010100001234"), foreign, "SID");
    bad("short header", withFcs("@00FA00400000000101"), failed, "short");
    bad("command echo", withFcs("@00FA0040000000010200001234"), failed, "command 0102 echoed");
    bad("FINS end code 1101", withFcs("@00FA0040000000010111010000"), failed, "FINS end code 1101");
    bad("FINS end code without data", withFcs("@00FA004000000001011104"), failed, "FINS end code 1104");
    bad("FINS end code not hex", withFcs("@00FA00400000000101G0001234"), failed, "not hex");
    bad("data short", withFcs("@00FA004000000001010000123"), failed, "data length 3, expected 4");
    bad("data long", withFcs("@00FA00400000000101000012345678"), failed, "data length 8, expected 4");
    bad("lower-case data", withFcs("@00FA00400000000101000012ab"), failed, "data character 0x61 is no hex digit");
    bad("star in data", withFcs("@00FA00400000000101000012*4"), failed, "no hex digit");
}

void TestHLinkFrame::answers()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);
    QFETCH(int, verdict);
    QFETCH(QString, failure);
    QFETCH(QByteArray, data);
    QString why;
    QByteArray got;
    QCOMPARE(int(judge(answer, command, &why, &got)), verdict);
    QVERIFY2(why.contains(failure), qPrintable(why));
    QCOMPARE(got, data);
}

QTEST_GUILESS_MAIN(TestHLinkFrame)
#include "tst_hlinkframe.moc"
