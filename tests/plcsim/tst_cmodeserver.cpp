// plcsim's C-mode side against the frames of the protocol notes, character
// for character, over TCP and the pseudo-terminal: commands, end codes, the
// RUN mode refusal, long blocks both ways with the lone-CR handshake, the
// old-unit frame sizes and XZ.
#include <QtTest>

#include "PlcSimulator.h"
#include "RawClient.h"

using plcsim::Area;

namespace {

// Words `from` .. `from + n - 1` as four hex digits each ("0000" "0001" ...).
QByteArray counting(int from, int n, int base = 0)
{
    QByteArray out;
    for (int i = from; i < from + n; ++i)
        out += QByteArray::number(base + i, 16).toUpper().rightJustified(4, '0');
    return out;
}

} // namespace

class TestCModeServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exchanges_data();
    void exchanges();
    void longWriteLandsWhole();

private:
    plcsim::Simulator m_sim;
    quint16 m_port = 0;
    QString m_pts;
};

void TestCModeServer::initTestCase()
{
    m_port = m_sim.startHostLinkTcp();
    m_pts = m_sim.startHostLinkSerial(115200);
    QVERIFY(m_port != 0 && !m_pts.isEmpty());
}

void TestCModeServer::exchanges_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("oldUnits");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("d0"); // D1-D39 hold 1..39
    QTest::addColumn<QList<QByteArray>>("sent");     // one piece each
    QTest::addColumn<QList<QByteArray>>("answers");  // the line that answers it
    using L = QList<QByteArray>;
    const int monitor = int(plcsim::CpuMode::Monitor), run = int(plcsim::CpuMode::Run);
    QTest::newRow("read D0") << monitor << false << 0 << 0x1234 << L{"@00RD0000000157*\r"} << L{"@00RD00123452*\r"};
    QTest::newRow("unit 31") << monitor << false << 31 << 0x1234 << L{"@31RD0000000155*\r"} << L{"@31RD00123450*\r"};
    QTest::newRow("range error") << monitor << false << 0 << 0x1234 << L{"@00RD9999000254*\r"} << L{"@00RD1552*\r"};
    QTest::newRow("FCS error") << monitor << false << 0 << 0x1234 << L{"@00RD0000000158*\r"} << L{"@00RD1354*\r"};
    QTest::newRow("write D100") << monitor << false << 0 << 0x1234 << L{"@00WD0100ABCD56*\r"} << L{"@00WD0053*\r"};
    QTest::newRow("write in RUN") << run << false << 0 << 0x1234 << L{"@00WD0100ABCD56*\r"} << L{"@00WD0152*\r"};
    QTest::newRow("CIO 0-1") << run << false << 0 << 0x1234 << L{"@00RR0000000242*\r"} << L{"@00RR0000FF000141*\r"};
    QTest::newRow("MS in RUN") << run << false << 0 << 0x1234 << L{"@00MS5E*\r"} << L{"@00MS0002005C*\r"};
    QTest::newRow("MM") << monitor << false << 0 << 0x1234 << L{"@00MM40*\r"} << L{"@00MM003043*\r"};
    QTest::newRow("SC to MONITOR") << run << false << 0 << 0x1234 << L{"@00SC0252*\r", "@00MS5E*\r"}
                                   << L{"@00SC0050*\r", "@00MS0003005D*\r"};
    QTest::newRow("unknown header") << monitor << false << 0 << 0x1234 << L{"@00QQ40*\r"} << L{"@00IC4A*\r"};
    QTest::newRow("long read D0-D39") << monitor << false << 0 << 0 << L{"@00RD0000004052*\r", "\r"}
                                      << L{"@00RD00" + counting(0, 30) + "55\r",
                                           "001E001F0020002100220023002400250026002703*\r"};
    QTest::newRow("old units D0-D39") << monitor << true << 0 << 0 << L{"@00RD0000004052*\r", "\r"}
                                      << L{"@00RD00" + counting(0, 29) + "20\r", counting(29, 11) + "76*\r"};
    // XZ instead of the CR: the rest is dropped, the next command answered.
    QTest::newRow("XZ") << monitor << false << 0 << 0 << L{"@00RD0000004052*\r", "@00XZ42*\r@00RD0000000157*\r"}
                        << L{"@00RD00" + counting(0, 30) + "55\r", "@00RD00000056*\r"};
}

void TestCModeServer::exchanges()
{
    QFETCH(int, mode);
    QFETCH(bool, oldUnits);
    QFETCH(int, unit);
    QFETCH(int, d0);
    QFETCH(QList<QByteArray>, sent);
    QFETCH(QList<QByteArray>, answers);
    plcsim::CModeSettings s;
    s.mode = plcsim::CpuMode(mode);
    s.oldUnits = oldUnits;
    m_sim.setCMode(s);
    m_sim.setUnit(unit);
    m_sim.clearMemory();
    for (int i = 0; i < 40; ++i)
        m_sim.setWord(Area::D, i, quint16(i));
    m_sim.setWord(Area::D, 0, quint16(d0));
    m_sim.setWord(Area::CIO, 0, 0x00FF);
    m_sim.setWord(Area::CIO, 1, 0x0001);
    rawclient::Tcp tcp;
    rawclient::Pty pty;
    QVERIFY(tcp.connectTo(m_port) && pty.open(m_pts));
    for (int i = 0; i < sent.size(); ++i) {
        tcp.send(sent.at(i));
        QCOMPARE(tcp.readLine(), answers.at(i));
        pty.send(sent.at(i));
        QCOMPARE(pty.readLine(), answers.at(i));
    }
}

// A write of 40 words in two frames: the CR in between, memory changed only
// once the last frame is in.
void TestCModeServer::longWriteLandsWhole()
{
    m_sim.setCMode(plcsim::CModeSettings());
    m_sim.setUnit(0);
    m_sim.clearMemory();
    rawclient::Tcp tcp;
    QVERIFY(tcp.connectTo(m_port));
    tcp.send("@00WD0000" + counting(0, 29, 0x100) + "24\r");
    QCOMPARE(tcp.readLine(), QByteArray("\r"));
    QCOMPARE(m_sim.word(Area::D, 0), quint16(0));
    tcp.send("011D011E011F01200121012201230124012501260127" "77*\r");
    QCOMPARE(tcp.readLine(), QByteArray("@00WD0053*\r"));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(m_sim.word(Area::D, i), quint16(0x100 + i));
    // A later frame with a wrong FCS: aborted with A3, nothing written.
    tcp.send("@00WD0100" + counting(0, 29, 0x200) + "26\r");
    QCOMPARE(tcp.readLine(), QByteArray("\r"));
    tcp.send("0000" "01*\r");
    QCOMPARE(tcp.readLine().left(7), QByteArray("@00WDA3"));
    QCOMPARE(m_sim.word(Area::D, 100), quint16(0));
}

QTEST_GUILESS_MAIN(TestCModeServer)
#include "tst_cmodeserver.moc"
