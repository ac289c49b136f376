// FINS/TCP frames against the documented frames and captured traffic, and the
// frame finder and answer matching over split, merged and hostile input.
#include <QtTest>

#include "FinsFrame.h"
#include "TestSupport.h"

using testsupport::fromHex;

class TestFinsFrame : public QObject
{
    Q_OBJECT

private slots:
    void builtFrames_data();
    void builtFrames();
    void bitWriteFrame();
    void wordWriteFrameCountsWholeWords();
    void findFrame_data();
    void findFrame();
    void findFrameEveryPrefixOfSplitFrame();
    void findFrameMergedFrames();
    void capturedAnswerMatchesItsRequest();
    void matchAnswer_data();
    void matchAnswer();
    void endCodes_data();
    void endCodes();
    void nodeNumbers();
    void nodeAnswers_data();
    void nodeAnswers();
    void readAnswerFaults_data();
    void readAnswerFaults();
};

void TestFinsFrame::builtFrames_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("node request, captured, node 0x18")
        << FinsFrame::nodeRequest(0x18) << fromHex("46494E53 0000000C 00000000 00000000 00000018");
    QTest::newRow("node request, node 0x2A")
        << FinsFrame::nodeRequest(0x2A) << fromHex("46494E53 0000000C 00000000 00000000 0000002A");
    QTest::newRow("node request, automatic")
        << FinsFrame::nodeRequest(0) << fromHex("46494E53 0000000C 00000000 00000000 00000000");
    QTest::newRow("read D100 4 bytes, nodes 10/5, first SID")
        << FinsFrame::readFrame(10, 5, 0, 0x82, 100, 2)
        << fromHex("46 49 4E 53 00 00 00 1A 00 00 00 02 00 00 00 00 80 00 02 00 0A 00 00 05 00 00 01 01 82 00 64 00 00 02");
    QTest::newRow("read D100 2 words, captured")
        << FinsFrame::readFrame(0x17, 0x18, 0xFF, 0x82, 100, 2)
        << fromHex("46494E53 0000001A 00000002 00000000 80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002");
    QTest::newRow("write W10-W11, captured")
        << FinsFrame::writeWordsFrame(0x17, 0x18, 0xFF, 0xB1, 10, fromHex("AABBCCDD"))
        << fromHex("46494E53 0000001E 00000002 00000000 80 00 02 00 17 00 00 18 00 FF 0102 B1 000A 00 0002 AABBCCDD");
    QTest::newRow("node numbers: only the low 8 bits reach the frame")
        << FinsFrame::readFrame(0x117, 0x218, 1, 0xB0, 0x1234, 999)
        << fromHex("46494E53 0000001A 00000002 00000000 80 00 02 00 17 00 00 18 00 01 0101 B0 1234 00 03E7");
}

void TestFinsFrame::builtFrames()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestFinsFrame::bitWriteFrame()
{
    // Word 16, one item from bit 3 of the CIO bit area, data 01.
    const QByteArray frame = FinsFrame::writeBitsFrame(10, 5, 0, 0x30, 16, 3, fromHex("01"));
    QCOMPARE(frame.size(), 35);
    QCOMPARE(quint8(frame.at(7)), quint8(0x1B));
    QCOMPARE(frame.mid(26).toHex(' '), fromHex("01 02 30 00 10 03 00 01 01").toHex(' '));
}

void TestFinsFrame::wordWriteFrameCountsWholeWords()
{
    const QByteArray frame = FinsFrame::writeWordsFrame(10, 5, 0, 0x82, 100, fromHex("01020304"));
    QCOMPARE(frame.size(), 38);
    QCOMPARE(quint8(frame.at(7)), quint8(0x1E));
    QCOMPARE(frame.mid(32, 2), fromHex("0002"));
    // A stray odd byte never goes out: length field, count and data agree.
    const QByteArray odd = FinsFrame::writeWordsFrame(10, 5, 0, 0x82, 100, fromHex("010203"));
    QCOMPARE(odd.size(), 36);
    QCOMPARE(quint8(odd.at(7)), quint8(0x1C));
    QCOMPARE(odd.mid(32), fromHex("0001 0102"));
}

void TestFinsFrame::findFrame_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("scan");
    QTest::addColumn<int>("size");
    const int complete = int(FinsFrame::Scan::Complete);
    const int incomplete = int(FinsFrame::Scan::Incomplete);
    const int garbage = int(FinsFrame::Scan::Garbage);

    QTest::newRow("empty") << QByteArray() << incomplete << 0;
    QTest::newRow("node answer, captured")
        << fromHex("46494E53 00000010 00000001 00000000 00000018 00000017") << complete << 24;
    QTest::newRow("read answer, captured")
        << fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD")
        << complete << 34;
    QTest::newRow("error notice, length 8") << fromHex("46494E53 00000008 00000003 00000021") << complete << 16;
    QTest::newRow("no magic") << fromHex("58494E53 00000008 00000003 00000000") << garbage << 0;
    QTest::newRow("first byte wrong") << fromHex("00") << garbage << 0;
    QTest::newRow("host link text") << QByteArray("@00FA00") << garbage << 0;
    QTest::newRow("length beyond any frame") << fromHex("46494E53 0000FFFF") << garbage << 0;
    QTest::newRow("length one beyond the largest") << fromHex("46494E53 000007E5") << garbage << 0;
    QTest::newRow("largest length, not yet in") << fromHex("46494E53 000007E4 00000002") << incomplete << 0;
    QTest::newRow("length without command") << fromHex("46494E53 00000004 00000002") << garbage << 0;
    QTest::newRow("huge length, sign bit") << fromHex("46494E53 80000010") << garbage << 0;
}

void TestFinsFrame::findFrame()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, scan);
    QFETCH(int, size);
    int found = 0;
    QCOMPARE(int(FinsFrame::findFrame(buffer, &found)), scan);
    if (scan == int(FinsFrame::Scan::Complete))
        QCOMPARE(found, size);
}

void TestFinsFrame::findFrameEveryPrefixOfSplitFrame()
{
    const QByteArray answer =
        fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD");
    for (int n = 1; n < answer.size(); ++n) {
        int size = 0;
        QCOMPARE(int(FinsFrame::findFrame(answer.left(n), &size)), int(FinsFrame::Scan::Incomplete));
    }
}

void TestFinsFrame::findFrameMergedFrames()
{
    const QByteArray first = fromHex("46494E53 00000008 00000006 00000000");
    const QByteArray second =
        fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD");
    QByteArray buffer = first + second + second.left(5);
    int size = 0;
    QCOMPARE(int(FinsFrame::findFrame(buffer, &size)), int(FinsFrame::Scan::Complete));
    QCOMPARE(size, first.size());
    QCOMPARE(FinsFrame::tcpCommand(buffer.left(size)), quint32(FinsFrame::ConnectionConfirm));
    buffer.remove(0, size);
    QCOMPARE(int(FinsFrame::findFrame(buffer, &size)), int(FinsFrame::Scan::Complete));
    QCOMPARE(size, second.size());
    buffer.remove(0, size);
    QCOMPARE(int(FinsFrame::findFrame(buffer, &size)), int(FinsFrame::Scan::Incomplete));
}

void TestFinsFrame::capturedAnswerMatchesItsRequest()
{
    const QByteArray request =
        fromHex("46494E53 0000001A 00000002 00000000 80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002");
    const QByteArray answer =
        fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD");
    QCOMPARE(int(FinsFrame::matchAnswer(request, answer)), int(FinsFrame::Match::Ours));
    QVERIFY(FinsFrame::nodesMatch(request, answer));
    QCOMPARE(FinsFrame::endCode(answer), quint16(0));
    QCOMPARE(answer.mid(FinsFrame::OffData), fromHex("AABBCCDD"));
}

void TestFinsFrame::matchAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("match");
    const QByteArray good =
        fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD");
    QByteArray otherSid = good;
    otherSid[25] = char(0xFE);
    QByteArray write = good;
    write[27] = 0x02;
    QByteArray otherMainCode = good;
    otherMainCode[26] = 0x02;

    QTest::newRow("ours") << good << int(FinsFrame::Match::Ours);
    QTest::newRow("error answer without data")
        << fromHex("46494E53 00000016 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 1103")
        << int(FinsFrame::Match::Ours);
    QTest::newRow("earlier SID: stale") << otherSid << int(FinsFrame::Match::Foreign);
    QTest::newRow("write answer to a read") << write << int(FinsFrame::Match::Foreign);
    QTest::newRow("other command code") << otherMainCode << int(FinsFrame::Match::Foreign);
    QTest::newRow("no end code") << good.left(29) << int(FinsFrame::Match::Malformed);
    QTest::newRow("header only") << good.left(16) << int(FinsFrame::Match::Malformed);
    QTest::newRow("empty") << QByteArray() << int(FinsFrame::Match::Malformed);
}

void TestFinsFrame::matchAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, match);
    const QByteArray request = FinsFrame::readFrame(0x17, 0x18, 0xFF, 0x82, 100, 2);
    QCOMPARE(int(FinsFrame::matchAnswer(request, answer)), match);
}

void TestFinsFrame::endCodes_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<bool>("normal");
    QTest::newRow("0000") << fromHex("0000") << true;
    QTest::newRow("0040 non-fatal CPU error, data good") << fromHex("0040") << true;
    QTest::newRow("0080 fatal CPU error flag") << fromHex("0080") << true;
    QTest::newRow("8000 relay flag") << fromHex("8000") << true;
    QTest::newRow("1101 unknown area") << fromHex("1101") << false;
    QTest::newRow("1103 address out of range") << fromHex("1103") << false;
    QTest::newRow("1104 beyond the area") << fromHex("1104") << false;
    QTest::newRow("2101 read-only") << fromHex("2101") << false;
    QTest::newRow("0001 service cancelled") << fromHex("0001") << false;
    QTest::newRow("8141 relay flag on an error") << fromHex("8141") << false;
}

void TestFinsFrame::endCodes()
{
    QFETCH(QByteArray, code);
    QFETCH(bool, normal);
    const QByteArray answer = fromHex("46494E53 00000016 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101") + code;
    QCOMPARE(FinsFrame::isNormalCompletion(FinsFrame::endCode(answer)), normal);
}

void TestFinsFrame::nodeNumbers()
{
    const QByteArray request = FinsFrame::readFrame(10, 5, 0, 0x82, 100, 2);
    QByteArray answer = fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 05 00 00 0A 00 00 0101 0000 1234 5678");
    QVERIFY(FinsFrame::nodesMatch(request, answer));
    answer[23] = 0x0B;
    QVERIFY(!FinsFrame::nodesMatch(request, answer));
    answer[23] = 0x0A;
    answer[20] = 0x0A; // swapped
    QVERIFY(!FinsFrame::nodesMatch(request, answer));
    QVERIFY(!FinsFrame::nodesMatch(request, answer.left(20)));
    QCOMPARE(FinsFrame::endCode(answer.left(29)), quint16(0xFFFF));
    QVERIFY(!FinsFrame::isNormalCompletion(FinsFrame::endCode(QByteArray())));
}

void TestFinsFrame::nodeAnswers_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("server");
    const int assigned = FinsFrame::NodeReply::Assigned;
    const int nodeRefused = FinsFrame::NodeReply::NodeRefused;
    const int rejected = FinsFrame::NodeReply::Rejected;
    const int malformed = FinsFrame::NodeReply::Malformed;

    QTest::newRow("captured answer: client 18, server 17")
        << fromHex("46494E53 00000010 00000001 00000000 00000018 00000017") << assigned << 0 << 0x18 << 0x17;
    QTest::newRow("automatic range") << fromHex("46494E53 00000010 00000001 00000000 000000EF 00000001")
                                     << assigned << 0 << 0xEF << 1;
    // Refusals that asking for an automatic node cures: in use, out of
    // range, equal to the server's; by error notice or in the answer.
    QTest::newRow("21 node in use") << fromHex("46494E53 00000008 00000003 00000021") << nodeRefused << 0x21 << 0 << 0;
    QTest::newRow("23 out of range") << fromHex("46494E53 00000008 00000003 00000023") << nodeRefused << 0x23 << 0 << 0;
    QTest::newRow("24 same as server") << fromHex("46494E53 00000008 00000003 00000024") << nodeRefused << 0x24 << 0 << 0;
    QTest::newRow("21 in a node answer") << fromHex("46494E53 00000010 00000001 00000021 00000018 00000017")
                                         << nodeRefused << 0x21 << 0 << 0;
    QTest::newRow("20 all connections in use") << fromHex("46494E53 00000008 00000003 00000020") << rejected << 0x20 << 0 << 0;
    QTest::newRow("25 no node left") << fromHex("46494E53 00000008 00000003 00000025") << rejected << 0x25 << 0 << 0;
    QTest::newRow("error 01 in a full-size answer") << fromHex("46494E53 00000010 00000001 00000001 00000005 0000000A")
                                                   << rejected << 1 << 0 << 0;
    QTest::newRow("23 bytes") << fromHex("46494E53 0000000F 00000001 00000000 00000005 000000") << malformed << 0 << 0 << 0;
    QTest::newRow("25 bytes") << fromHex("46494E53 00000011 00000001 00000000 00000005 0000000A 00") << malformed << 0 << 0 << 0;
    QTest::newRow("connection confirmation")
        << fromHex("46494E53 00000010 00000006 00000000 00000005 0000000A") << malformed << 0 << 0 << 0;
    QTest::newRow("command 2 frame")
        << fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD")
        << malformed << 0 << 0 << 0;
    QTest::newRow("header cut short") << fromHex("46494E53 00000010 000000") << malformed << 0 << 0 << 0;
}

void TestFinsFrame::nodeAnswers()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, outcome);
    QFETCH(int, errorCode);
    QFETCH(int, client);
    QFETCH(int, server);
    const FinsFrame::NodeReply reply = FinsFrame::readNodeAnswer(frame);
    QCOMPARE(int(reply.outcome), outcome);
    if (outcome != FinsFrame::NodeReply::Malformed)
        QCOMPARE(reply.errorCode, quint32(errorCode));
    QCOMPARE(reply.clientNode, client);
    QCOMPARE(reply.serverNode, server);
}

void TestFinsFrame::readAnswerFaults_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("fault");
    // The captured read of D100, 2 words, and its answer.
    const QByteArray good =
        fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD");
    QByteArray otherNode = good;
    otherNode[20] = 0x19;
    QTest::newRow("captured answer") << good << int(FinsFrame::AnswerFault::None);
    QTest::newRow("00 40 is good data") << fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0040 AABB CCDD")
                                        << int(FinsFrame::AnswerFault::None);
    QTest::newRow("DA1 not ours") << otherNode << int(FinsFrame::AnswerFault::Nodes);
    // An error end code comes without data: the end code is the fault.
    QTest::newRow("11 04 beyond the area")
        << fromHex("46494E53 00000016 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 1104")
        << int(FinsFrame::AnswerFault::EndCode);
    QTest::newRow("one word short") << good.left(32) << int(FinsFrame::AnswerFault::Length);
    QTest::newRow("one word long") << good + fromHex("EEFF") << int(FinsFrame::AnswerFault::Length);
}

void TestFinsFrame::readAnswerFaults()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, fault);
    const QByteArray request =
        fromHex("46494E53 0000001A 00000002 00000000 80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002");
    QCOMPARE(int(FinsFrame::readAnswerFault(request, answer, 4)), fault);
}

QTEST_GUILESS_MAIN(TestFinsFrame)
#include "tst_finsframe.moc"
