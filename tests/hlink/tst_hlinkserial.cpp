// CmdHLink on a serial line (the simulator's pseudo-terminal): settings the
// connection text carries, the answer time limit, and reopening.
#include <QtTest>

#include "CmdHLink.h"
#include "HLinkFrame.h"
#include "PlcSimulator.h"

class TestHLinkSerial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void frameGapByBaud_data();
    void frameGapByBaud();
    void answerLimitCoversLineTime();
    void reopenAndExchange();

private:
    plcsim::Simulator m_sim;
    QString m_pts;
};

void TestHLinkSerial::initTestCase()
{
    m_pts = m_sim.startHostLinkSerial(115200);
    QVERIFY(!m_pts.isEmpty());
}

void TestHLinkSerial::frameGapByBaud_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("frameGap");
    QTest::newRow("1200 keeps 2") << 1200 << 2;
    QTest::newRow("2400") << 2400 << 10;
    QTest::newRow("4800") << 4800 << 6;
    QTest::newRow("9600") << 9600 << 3;
    QTest::newRow("19200 keeps 2") << 19200 << 2;
    QTest::newRow("115200 keeps 2") << 115200 << 2;
    QTest::newRow("unlisted 12345") << 12345 << 2;
}

void TestHLinkSerial::frameGapByBaud()
{
    QFETCH(int, baud);
    QFETCH(int, frameGap);
    CmdHLink cmd;
    // Data bits 9, stop bits 0 and an unknown parity are ignored; parity is
    // refused by a pseudo-terminal and the line still opens.
    QCOMPARE(cmd.serialConnectDrive(m_pts, baud, 9, 0, QStringLiteral("x")), 0);
    QCOMPARE(cmd.frameGapMs(), frameGap);
    QCOMPARE(cmd.activeMedium(), CmdHLink::SerialMedium);
    QCOMPARE(cmd.serialDisConnectDrive(), 0);
    QCOMPARE(cmd.serialDisConnectDrive(), 1);
}

void TestHLinkSerial::answerLimitCoversLineTime()
{
    CmdHLink cmd;
    QCOMPARE(cmd.serialConnectDrive(m_pts, 9600, 8, 1, QStringLiteral("E")), 0);
    // One word at 9600 baud: 1 x 3 x 6 ms plus 31 characters (33 ms); the
    // limit alone (18 ms) was shorter than the answer's own line time.
    QCOMPARE(cmd.restLimitMs(1, 31), 18 + 33);
    QCOMPARE(cmd.restLimitMs(0, 27), 50);
    // 269 words: 269 x 3 x 6 ms plus 1,103 characters at 9600 baud (1,149 ms).
    QCOMPARE(cmd.restLimitMs(269, 1103), 269 * 3 * 6 + 1149);
    // 115200 leaves the gap of 9600 in place.
    QCOMPARE(cmd.serialConnectDrive(m_pts, 115200, 8, 1, QStringLiteral("N")), 0);
    QCOMPARE(cmd.restLimitMs(269, 1103), 3 * 269 * 6 + 96);
}

void TestHLinkSerial::reopenAndExchange()
{
    m_sim.setUnit(0);
    m_sim.setWord(plcsim::Area::D, 0, 0x1234);
    CmdHLink cmd;
    QCOMPARE(cmd.serialConnectDrive(m_pts, 115200, 8, 1, QStringLiteral("Even")), 0);
    // Reopening the open port with other settings works.
    QCOMPARE(cmd.serialConnectDrive(m_pts, 9600, 8, 1, QStringLiteral("N")), 0);
    QByteArray digits;
    QCOMPARE(cmd.read_cmd(0, 0x82, 0, 1, QStringLiteral("D0"), &digits), 0);
    QCOMPARE(digits, QByteArray("\x01\x02\x03\x04", 4));
    // The same through SendData: the captured answer of read D0.
    QByteArray answer;
    QCOMPARE(cmd.SendData("@00FA0000000000101820000000001" "7C*\r", answer, 50), 0);
    QCOMPARE(answer, QByteArray("@00FA0040000000010100001234" "47*\r"));
    QCOMPARE(cmd.DestroyFree(), 0);
    QCOMPARE(cmd.DestroyFree(), 1);
}

QTEST_GUILESS_MAIN(TestHLinkSerial)
#include "tst_hlinkserial.moc"
