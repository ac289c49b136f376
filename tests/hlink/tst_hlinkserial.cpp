// The Host Link link on a serial line (the simulator's pseudo-terminal):
// settings the connection text carries, the answer time limit, reopening,
// and no line.
#include <QtTest>

#include "FinsTransfer.h"
#include "HLinkFinsLink.h"
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

// The plug-in's line, log, link and core, for unit 0.
struct Line {
    HostLinkLines lines{QStringLiteral("lib[HLink]")};
    HLinkLog log{lines};
    HLinkFinsLink link{lines, log, [] { return 0; }};
    FinsTransfer core{link, log};
};

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
    Line line;
    // Data bits 9, stop bits 0 and an unknown parity are ignored; parity is
    // refused by a pseudo-terminal and the line still opens.
    QCOMPARE(line.link.connect(serialText(m_pts, baud, 9, 0, QStringLiteral("x"))), 0);
    QCOMPARE(line.lines.active()->frameGapMs(), frameGap);
    QCOMPARE(line.lines.medium(), HostLinkLines::Medium::Serial);
    QCOMPARE(line.lines.disconnect(), 0);
    QCOMPARE(line.lines.disconnect(), 1);
}

void TestHLinkSerial::answerLimitCoversLineTime()
{
    Line line;
    QCOMPARE(line.link.connect(serialText(m_pts, 9600, 8, 1, QStringLiteral("E"))), 0);
    // One word at 9600 baud: 1 x 3 x 6 ms plus 31 characters (33 ms); the
    // limit alone (18 ms) was shorter than the answer's own line time.
    QCOMPARE(line.link.restLimitMs(1, 31), 18 + 33);
    QCOMPARE(line.link.restLimitMs(0, 27), 50);
    // 269 words: 269 x 3 x 6 ms plus 1,103 characters at 9600 baud (1,149 ms).
    QCOMPARE(line.link.restLimitMs(269, 1103), 269 * 3 * 6 + 1149);
    // 115200 leaves the gap of 9600 in place.
    QCOMPARE(line.link.connect(serialText(m_pts, 115200, 8, 1, QStringLiteral("N"))), 0);
    QCOMPARE(line.link.restLimitMs(269, 1103), 3 * 269 * 6 + 96);
}

void TestHLinkSerial::reopenAndExchange()
{
    m_sim.setUnit(0);
    m_sim.setWord(plcsim::Area::D, 0, 0x1234);
    Line line;
    QCOMPARE(line.link.connect(serialText(m_pts, 115200, 8, 1, QStringLiteral("Even"))), 0);
    // Reopening the open port with other settings works.
    QCOMPARE(line.link.connect(serialText(m_pts, 9600, 8, 1, QStringLiteral("N"))), 0);
    QByteArray data;
    QVERIFY(line.core.readWords(0x82, 0, 1, QStringLiteral("D0"), &data).ok());
    QCOMPARE(data, QByteArray("\x12\x34", 2));
    QCOMPARE(line.lines.destroy(), 0);
    QCOMPARE(line.lines.destroy(), 1);
}

void TestHLinkSerial::noLine()
{
    Line line;
    QByteArray out;
    const Outcome outcome = line.core.readWords(0x82, 0, 1, QStringLiteral("D0"), &out);
    QCOMPARE(outcome.kind, Outcome::Kind::NotConnected);
    QCOMPARE(outcome.reason, QStringLiteral("the link is not open (unit 00)"));
    QVERIFY(out.isEmpty());
    QCOMPARE(line.lines.destroy(), 1);
    QCOMPARE(line.lines.disconnect(), 1);
}

QTEST_GUILESS_MAIN(TestHLinkSerial)
#include "tst_hlinkserial.moc"
