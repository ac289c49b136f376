// C-mode frames against the frames of the protocol notes, character for
// character: commands, the long-block split of writes, and the answer checks.
#include <QtTest>

#include "CModeController.h"
#include "CModeFrame.h"
#include "DriveFacade.h"

using namespace CModeFrame;

Q_DECLARE_METATYPE(CModeFrame::Verdict)

class TstCModeFrame : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void writeSplit_data();
    void writeSplit();
    void answers_data();
    void answers();
    void laterFrames_data();
    void laterFrames();
    void controllerAnswers();
};

void TstCModeFrame::commands_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("RD D0 x1") << readCommand(0, DriveFacade::Area_D, 0, 1) << QByteArray("@00RD0000000157*\r");
    QTest::newRow("RD unit 31") << readCommand(31, DriveFacade::Area_D, 0, 1) << QByteArray("@31RD0000000155*\r");
    QTest::newRow("RR CIO0 x2") << readCommand(0, DriveFacade::Area_CIO, 0, 2) << QByteArray("@00RR0000000242*\r");
    QTest::newRow("RD D0 x40") << readCommand(0, DriveFacade::Area_D, 0, 40) << QByteArray("@00RD0000004052*\r");
    QTest::newRow("WD D100") << writeFrames(0, DriveFacade::Area_D, 100, {0xABCD}).value(0)
                             << QByteArray("@00WD0100ABCD56*\r");
    QTest::newRow("MS") << command(0, "MS") << QByteArray("@00MS5E*\r");
    QTest::newRow("MM") << command(0, "MM") << QByteArray("@00MM40*\r");
    QTest::newRow("SC to MONITOR") << command(0, "SC", "02") << QByteArray("@00SC0252*\r");
    QTest::newRow("XZ") << abortCommand(0) << QByteArray("@00XZ42*\r");
    // No C-mode command: nothing is built.
    QTest::newRow("W area") << readCommand(0, DriveFacade::Area_W, 0, 1) << QByteArray();
}

void TstCModeFrame::commands()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

void TstCModeFrame::writeSplit_data()
{
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("words");
    QTest::addColumn<QList<int>>("sizes"); // characters per frame, CR included
    // Frame 1: "@00WD" + begin + 29 words + FCS + CR; later: 31 words + FCS + CR.
    QTest::newRow("29 words, one frame") << int(DriveFacade::Area_D) << 29 << QList<int>{9 + 116 + 4};
    QTest::newRow("30 words") << int(DriveFacade::Area_D) << 30 << QList<int>{9 + 116 + 3, 4 + 4};
    QTest::newRow("100 words") << int(DriveFacade::Area_D) << 100
                               << QList<int>{128, 124 + 3, 124 + 3, 36 + 4};
    QTest::newRow("EM bank, 60 words") << int(DriveFacade::Area_EM2) << 60 << QList<int>{11 + 116 + 3, 124 + 4};
}

void TstCModeFrame::writeSplit()
{
    QFETCH(int, area);
    QFETCH(int, words);
    QFETCH(QList<int>, sizes);
    Words data;
    for (int i = 0; i < words; ++i)
        data << quint16(0x1000 + i);
    const QList<QByteArray> frames = writeFrames(0, area, 0, data);
    QList<int> got;
    QByteArray text;
    for (int i = 0; i < frames.size(); ++i) {
        const QByteArray &f = frames.at(i);
        got << f.size();
        QVERIFY(f.size() <= (i == 0 ? MaxFirstFrame : MaxLaterFrame));
        QCOMPARE(f.endsWith("*\r"), i == frames.size() - 1);
        const int fcsPos = f.size() - (f.endsWith("*\r") ? 4 : 3);
        QCOMPARE(fcs(f.left(fcsPos)), f.mid(fcsPos, 2));
        text += f.mid(i == 0 ? (area == DriveFacade::Area_D ? 9 : 11) : 0, fcsPos - (i == 0 ? (area == DriveFacade::Area_D ? 9 : 11) : 0));
    }
    QCOMPARE(got, sizes);
    Words back;
    QVERIFY(parseWords(text, &back)); // no word split across frames
    QCOMPARE(back, data);
}

void TstCModeFrame::answers_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<int>("endCode");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("last");
    const QByteArray longFirst = "@00RD00" + [] {
        QByteArray t;
        for (int i = 0; i < 30; ++i)
            t += QByteArray::number(i, 16).toUpper().rightJustified(4, '0');
        return t;
    }() + "55\r";
    QTest::newRow("read D0") << QByteArray("@00RD00123452*\r") << QByteArray("RD") << Verdict::Accepted << 0
                             << QByteArray("1234") << true;
    QTest::newRow("range error") << QByteArray("@00RD1552*\r") << QByteArray("RD") << Verdict::Accepted << 0x15
                                 << QByteArray() << true;
    QTest::newRow("write done") << QByteArray("@00WD0053*\r") << QByteArray("WD") << Verdict::Accepted << 0
                                << QByteArray() << true;
    QTest::newRow("RUN mode") << QByteArray("@00WD0152*\r") << QByteArray("WD") << Verdict::Accepted << 1
                              << QByteArray() << true;
    QTest::newRow("CIO 0-1") << QByteArray("@00RR0000FF000141*\r") << QByteArray("RR") << Verdict::Accepted << 0
                             << QByteArray("00FF0001") << true;
    QTest::newRow("long, frame 1") << longFirst << QByteArray("RD") << Verdict::Accepted << 0
                                   << longFirst.mid(7, 120) << false;
    QTest::newRow("IC") << QByteArray("@00IC4A*\r") << QByteArray("RD") << Verdict::Undecoded << -1 << QByteArray()
                        << false;
    QTest::newRow("other unit") << QByteArray("@01RD00123453*\r") << QByteArray("RD") << Verdict::Foreign << -1
                                << QByteArray() << false;
    QTest::newRow("other header") << QByteArray("@00RD00123452*\r") << QByteArray("RR") << Verdict::Foreign << -1
                                  << QByteArray() << false;
    QTest::newRow("bad FCS") << QByteArray("@00RD00123453*\r") << QByteArray("RD") << Verdict::Broken << -1
                             << QByteArray() << false;
    QTest::newRow("no terminator") << QByteArray("@00RD00123452*") << QByteArray("RD") << Verdict::Broken << -1
                                   << QByteArray() << false;
    QTest::newRow("no end code") << QByteArray("@00RD72*\r") << QByteArray("RD") << Verdict::Broken << -1
                                 << QByteArray() << false;
    QTest::newRow("too long") << QByteArray("@00RD00" + QByteArray(124, '0') + "55*\r") << QByteArray("RD")
                              << Verdict::Broken << -1 << QByteArray() << false;
}

void TstCModeFrame::answers()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, header);
    QFETCH(Verdict, verdict);
    const FrameCheck check = checkFirst(frame, 0, header);
    QCOMPARE(check.verdict, verdict);
    if (verdict == Verdict::Accepted) {
        QTEST(check.endCode, "endCode");
        QTEST(check.text, "text");
        QTEST(check.last, "last");
    }
}

void TstCModeFrame::laterFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("last");
    QTest::newRow("long read, frame 2") << QByteArray("001E001F0020002100220023002400250026002703*\r") << true << true;
    QTest::newRow("bad FCS") << QByteArray("001E001F0020002100220023002400250026002704*\r") << false << true;
    QTest::newRow("too long") << QByteArray(QByteArray(128, '0') + "00*\r") << false << true;
    QTest::newRow("not last") << QByteArray("001E74\r") << true << false;
}

void TstCModeFrame::laterFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, accepted);
    const FrameCheck check = checkLater(frame);
    QCOMPARE(check.verdict == Verdict::Accepted, accepted);
    if (accepted)
        QTEST(check.last, "last");
}

void TstCModeFrame::controllerAnswers()
{
    const FrameCheck ms = checkFirst("@00MS0002005C*\r", 0, "MS");
    QCOMPARE(ms.verdict, Verdict::Accepted);
    ControllerStatus status;
    QVERIFY(CModeController::status(ms.text, &status));
    QCOMPARE(status.mode, QStringLiteral("RUN"));
    QVERIFY(status.running);
    QVERIFY(CModeController::status("0300", &status));
    QCOMPARE(status.mode, QStringLiteral("MONITOR"));
    QVERIFY(CModeController::status("0000", &status));
    QCOMPARE(status.mode, QStringLiteral("PROGRAM"));
    QVERIFY(!CModeController::status("02", &status));

    const FrameCheck mm = checkFirst("@00MM003043*\r", 0, "MM");
    ControllerIdentity id;
    QVERIFY(CModeController::identity(mm.text, &id));
    QCOMPARE(id.model, QStringLiteral("CS/CJ"));
    QVERIFY(!CModeController::identity("3", &id));
}

QTEST_APPLESS_MAIN(TstCModeFrame)
#include "tst_cmodeframe.moc"
