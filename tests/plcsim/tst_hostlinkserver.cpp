// Host Link side of the simulator over TCP and over its serial line, spoken
// to with hand-written frames.

#include "PlcSimulator.h"
#include "RawClient.h"
#include "TestSupport.h"

#include <QSerialPort>
#include <QtTest>

using namespace plcsim;
using rawclient::Tcp;
using rawclient::hostLinkFrame;
using testsupport::fromHex;

namespace {
// The captured frames, with their FCS, "*" and CR.
const QByteArray kReadD0("@00FA0000000000101820000000001" "7C*\r");
const QByteArray kReadD0Answer("@00FA0040000000010100001234" "47*\r");
const QByteArray kWriteD100("@00FA0000000000102820064000001000C" "0E*\r");
const QByteArray kWriteAnswer("@00FA004000000001020000" "40*\r");
} // namespace

class TestHostLinkServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Simulator> sim;
    quint16 port = 0;

private slots:
    void init()
    {
        sim = std::make_unique<Simulator>();
        port = sim->startHostLinkTcp();
        QVERIFY(port != 0);
    }
    void cleanup() { sim.reset(); }

    void capturedFramesOverTcp()
    {
        sim->setWord(Area::D, 0, 0x1234);
        Tcp client;
        QVERIFY(client.connectTo(port));
        client.send(kReadD0);
        QCOMPARE(client.readLine(), kReadD0Answer);
        client.send(kWriteD100);
        QCOMPARE(client.readLine(), kWriteAnswer);
        QCOMPARE(sim->word(Area::D, 100), quint16(12));
        QCOMPARE(sim->word(Area::D, 101), quint16(0));
        const Stats stats = sim->stats();
        QCOMPARE(stats.hostLinkFrames, 2);
        QCOMPARE(stats.writes, 1);
        QCOMPARE(stats.connections, 1);
    }

    void capturedFramesOverSerial_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("9600") << 9600;
        QTest::newRow("115200") << 115200;
    }
    void capturedFramesOverSerial()
    {
        QFETCH(int, baud);
        sim->setWord(Area::D, 0, 0x1234);
        const QString path = sim->startHostLinkSerial(baud);
        QVERIFY(path.startsWith(QLatin1String("/dev/")));
        rawclient::Pty line;
        QVERIFY(line.open(path));
        line.send(kReadD0);
        QCOMPARE(line.readLine(), kReadD0Answer);
        line.send(kWriteD100);
        QCOMPARE(line.readLine(), kWriteAnswer);
        QCOMPARE(sim->word(Area::D, 100), quint16(12));
    }

    void serialPortClientReopens()
    {
        // The way the driver opens the line: QSerialPort on the slave side.
        // Closing it and opening it again must leave the line working.
        sim->setWord(Area::D, 0, 0x1234);
        const QString path = sim->startHostLinkSerial(115200);
        for (int round = 0; round < 2; ++round) {
            QSerialPort port(path);
            QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
            port.setBaudRate(115200);
            port.setParity(QSerialPort::EvenParity); // refused on a pseudo-terminal; harmless
            port.write(kReadD0);
            QByteArray answer;
            while (!answer.endsWith('\r') && port.waitForReadyRead(rawclient::kWaitMs))
                answer += port.readAll();
            QCOMPARE(answer, kReadD0Answer);
            port.close();
        }
    }

    void longAnswerOverSerial()
    {
        // 269 words at 9600 baud: about 1.1 s on the line, and all of it arrives.
        for (int i = 0; i < 269; ++i)
            sim->setWord(Area::D, i, quint16(i * 7));
        const QString path = sim->startHostLinkSerial(9600);
        rawclient::Pty line;
        QVERIFY(line.open(path));
        line.send(hostLinkFrame("00FA0" "00000000" "0101" "82" "0000" "00" "010D"));
        const QByteArray answer = line.readLine();
        QCOMPARE(answer.size(), 23 + 269 * 4 + 4);
        QCOMPARE(answer.mid(23, 8), QByteArray("00000007"));
        QCOMPARE(answer.mid(23 + 268 * 4, 4), QByteArray("0754"));
    }

    void memorySharedWithFins()
    {
        const quint16 finsPort = sim->startFins();
        Tcp fins;
        QVERIFY(fins.connectTo(finsPort));
        fins.send(rawclient::nodeRequest(3));
        QCOMPARE(fins.readFinsFrame().size(), 24);
        fins.send(rawclient::finsCommand("0102 82 0000 00 0001 1234"));
        QCOMPARE(rawclient::endCodeOf(fins.readFinsFrame()), 0);
        Tcp hostLink;
        QVERIFY(hostLink.connectTo(port));
        hostLink.send(kReadD0);
        QCOMPARE(hostLink.readLine(), kReadD0Answer);
        hostLink.send(kWriteD100);
        QCOMPARE(hostLink.readLine(), kWriteAnswer);
        fins.send(rawclient::finsCommand("0101 82 0064 00 0001"));
        QCOMPARE(fins.readFinsFrame().mid(28), fromHex("0000 000C"));
    }

    void answers_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected"); // without FCS, "*", CR
        QTest::newRow("unit 31") << 31 << hostLinkFrame("1FFA0" "00000000" "0101" "82" "0000" "00" "0001")
                                 << QByteArray("@1FFA" "0040" "000000" "0101" "0000" "0000");
        QTest::newRow("driver's read of D100, 2 words")
            << 0 << QByteArray("@00FA0" "00000000" "0101" "82" "0064" "00" "0002" "7D*\r")
            << QByteArray("@00FA" "0040" "000000" "0101" "0000" "00000000");
        QTest::newRow("two words, SID 2A") << 0 << hostLinkFrame("00FA0" "0000002A" "0101" "82" "0000" "00" "0002")
                                           << QByteArray("@00FA" "0040" "00002A" "0101" "0000" "00000000");
        QTest::newRow("270 words") << 0 << hostLinkFrame("00FA0" "00000000" "0101" "82" "0000" "00" "010E")
                                   << QByteArray("@00FA" "0040" "000000" "0101" "110B");
        QTest::newRow("unknown area") << 0 << hostLinkFrame("00FA0" "00000000" "0101" "99" "0000" "00" "0001")
                                      << QByteArray("@00FA" "0040" "000000" "0101" "1101");
        QTest::newRow("bit write") << 0 << hostLinkFrame("00FA0" "00000000" "0102" "30" "0000" "03" "0002" "0100")
                                   << QByteArray("@00FA" "0040" "000000" "0102" "0000");
        QTest::newRow("bad FCS") << 0 << QByteArray("@00FA0000000000101820000000001" "7D*\r")
                                 << QByteArray("@00FA13");
        QTest::newRow("lower-case FCS") << 0 << QByteArray("@00FA0000000000101820000000001" "7c*\r")
                                        << QByteArray("@00FA13");
        QTest::newRow("lower-case hex in body") << 0 << QByteArray("@00FA0000000000102820064000001000c" "2E*\r")
                                                << QByteArray("@00FA14");
        QTest::newRow("odd body") << 0 << hostLinkFrame("00FA0" "00000000" "0101" "82" "0000" "00" "001")
                                  << QByteArray("@00FA14");
        QTest::newRow("undefined header") << 0 << hostLinkFrame("00QQ00000001") << QByteArray("@00IC");
    }
    void answers()
    {
        QFETCH(int, unit);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);
        sim->setUnit(unit);
        Tcp client;
        QVERIFY(client.connectTo(port));
        client.send(request);
        const QByteArray answer = client.readLine();
        QCOMPARE(answer.left(answer.size() - 4), expected);
        QCOMPARE(answer, hostLinkFrame(expected.mid(1)));
    }

    void bitsOverHostLink()
    {
        Tcp client;
        QVERIFY(client.connectTo(port));
        // CIO3.15 and CIO4.0 set, then read back as two items "01" "01".
        client.send(hostLinkFrame("00FA0" "00000000" "0102" "30" "0003" "0F" "0002" "0101"));
        QCOMPARE(client.readLine().left(23), QByteArray("@00FA004000000001020000"));
        QCOMPARE(sim->word(Area::CIO, 3), quint16(0x8000));
        QCOMPARE(sim->word(Area::CIO, 4), quint16(0x0001));
        client.send(hostLinkFrame("00FA0" "00000000" "0101" "30" "0003" "0E" "0003"));
        QCOMPARE(client.readLine().mid(23, 6), QByteArray("000101"));
    }

    void otherUnitGetsNoAnswer()
    {
        sim->setUnit(5);
        Tcp client;
        QVERIFY(client.connectTo(port));
        client.send(kReadD0);      // unit 00
        client.send(hostLinkFrame("05FA0" "00000000" "0101" "82" "0000" "00" "0001"));
        // Only unit 05 answers; the frame for 00 was counted and ignored.
        QCOMPARE(client.readLine().left(5), QByteArray("@05FA"));
        QCOMPARE(sim->stats().hostLinkFrames, 2);
        QVERIFY(client.readFor(100).isEmpty());
    }

    void splitMergedAndNoisyRequests()
    {
        sim->setWord(Area::D, 0, 0x1234);
        Tcp client;
        QVERIFY(client.connectTo(port));
        for (char c : kReadD0)
            client.send(QByteArray(1, c));
        QCOMPARE(client.readLine(), kReadD0Answer);
        // Noise before a frame and a frame cut off by a new one are dropped.
        client.send(QByteArray("\x00noise\r", 7) + QByteArray("@00FA00000") + kReadD0 + kReadD0);
        QCOMPARE(client.readLine(), kReadD0Answer);
        QCOMPARE(client.readLine(), kReadD0Answer);
    }
};

QTEST_GUILESS_MAIN(TestHostLinkServer)
#include "tst_hostlinkserver.moc"
