// CmdHLink on a serial line (the simulator's pseudo-terminal): settings the
// connection text carries, the answer time limit, reopening, and no line.
#include <QtTest>

#include "CmdHLink.h"
#include "HLinkFrame.h"
#include "PlcSimulator.h"

namespace {

HostLinkConnectionText::Settings serialText(const QString &port, int baud, int dataBits, int stopBits,
                                            const QString &parity)
{
    HostLinkConnectionText::Settings settings;
    settings.serial = true;
    settings.line = HostLinkConnectionText::Serial{port, baud, dataBits, stopBits, parity};
    return settings;
}

} // namespace

class TestHLinkSerial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void frameGapByBaud_data();
    void frameGapByBaud();
    void answerLimitCoversLineTime();
    void reopenAndExchange();
    void noLine();

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
    QCOMPARE(cmd.connect(serialText(m_pts, baud, 9, 0, QStringLiteral("x"))), 0);
    QCOMPARE(cmd.lines().active()->frameGapMs(), frameGap);
    QCOMPARE(cmd.lines().medium(), HostLinkLines::Medium::Serial);
    QCOMPARE(cmd.lines().disconnect(), 0);
    QCOMPARE(cmd.lines().disconnect(), 1);
}

void TestHLinkSerial::answerLimitCoversLineTime()
{
    CmdHLink cmd;
    QCOMPARE(cmd.connect(serialText(m_pts, 9600, 8, 1, QStringLiteral("E"))), 0);
    // One word at 9600 baud: 1 x 3 x 6 ms plus 31 characters (33 ms); the
    // limit alone (18 ms) was shorter than the answer's own line time.
    QCOMPARE(cmd.restLimitMs(1, 31), 18 + 33);
    QCOMPARE(cmd.restLimitMs(0, 27), 50);
    // 269 words: 269 x 3 x 6 ms plus 1,103 characters at 9600 baud (1,149 ms).
    QCOMPARE(cmd.restLimitMs(269, 1103), 269 * 3 * 6 + 1149);
    // 115200 leaves the gap of 9600 in place.
    QCOMPARE(cmd.connect(serialText(m_pts, 115200, 8, 1, QStringLiteral("N"))), 0);
    QCOMPARE(cmd.restLimitMs(269, 1103), 3 * 269 * 6 + 96);
}

void TestHLinkSerial::reopenAndExchange()
{
    m_sim.setUnit(0);
    m_sim.setWord(plcsim::Area::D, 0, 0x1234);
    CmdHLink cmd;
    QCOMPARE(cmd.connect(serialText(m_pts, 115200, 8, 1, QStringLiteral("Even"))), 0);
    // Reopening the open port with other settings works.
    QCOMPARE(cmd.connect(serialText(m_pts, 9600, 8, 1, QStringLiteral("N"))), 0);
    QByteArray digits;
    QCOMPARE(cmd.read_cmd(0, 0x82, 0, 1, QStringLiteral("D0"), &digits), 0);
    QCOMPARE(digits, QByteArray("\x01\x02\x03\x04", 4));
    // The same through SendData: the captured answer of read D0.
    QByteArray answer;
    QCOMPARE(cmd.SendData("@00FA0000000000101820000000001" "7C*\r", answer, 50), 0);
    QCOMPARE(answer, QByteArray("@00FA0040000000010100001234" "47*\r"));
    QCOMPARE(cmd.lines().destroy(), 0);
    QCOMPARE(cmd.lines().destroy(), 1);
}

void TestHLinkSerial::noLine()
{
    CmdHLink cmd;
    QByteArray answer;
    QCOMPARE(cmd.SendData("@00FA0000000000101820000000001" "7C*\r", answer, 50), -3);
    QCOMPARE(cmd.lines().destroy(), 1);
    QCOMPARE(cmd.lines().disconnect(), 1);
    // A read of no words sends nothing.
    QByteArray out;
    QCOMPARE(cmd.read_cmd(0, 0x82, 0, 0, QStringLiteral("D0"), &out), -2);
    QVERIFY(out.isEmpty());
}

QTEST_GUILESS_MAIN(TestHLinkSerial)
#include "tst_hlinkserial.moc"
