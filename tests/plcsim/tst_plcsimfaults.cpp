// Every fault mode of the simulator, as a client sees it on the wire.

#include "PlcSimulator.h"
#include "RawClient.h"
#include "TestSupport.h"

#include <QtTest>

using namespace plcsim;
using rawclient::Tcp;
using rawclient::hostLinkFrame;
using testsupport::fromHex;

namespace {
const QByteArray kReadD0("@00FA0000000000101820000000001" "7C*\r");
const QByteArray kReadD0Answer("@00FA0040000000010100001234" "47*\r");
const QByteArray kWriteD100("@00FA0000000000102820064000001000C" "0E*\r");
// FINS read of D0, 2 words, and its normal answer (node 5 -> server 1).
const char *kFinsRead = "0101 82 0000 00 0002";
} // namespace

class TestPlcSimFaults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Simulator> sim;
    quint16 finsPort = 0;
    quint16 hostLinkPort = 0;

    bool finsClient(Tcp &client)
    {
        if (!client.connectTo(finsPort))
            return false;
        client.send(rawclient::nodeRequest(5));
        return client.readFinsFrame().size() == 24;
    }
    void setFaults(void (*change)(Faults &))
    {
        Faults f;
        change(f);
        sim->setFaults(f);
    }

private slots:
    void init()
    {
        sim = std::make_unique<Simulator>();
        finsPort = sim->startFins();
        hostLinkPort = sim->startHostLinkTcp();
        QVERIFY(finsPort && hostLinkPort);
        sim->setWord(Area::D, 0, 0x1234);
        sim->setWord(Area::D, 1, 0x5678);
    }
    void cleanup() { sim.reset(); }

    // ---- FINS/TCP ----

    void finsSilentDropsWrites()
    {
        Faults f;
        f.silent = true;
        sim->setFaults(f);
        Tcp client;
        QVERIFY(finsClient(client)); // the handshake is still answered
        client.send(rawclient::finsCommand("0102 82 0000 00 0001 FFFF"));
        QTRY_COMPARE(sim->stats().finsFrames, 1);
        QVERIFY(client.readFor(200).isEmpty());
        QCOMPARE(sim->word(Area::D, 0), quint16(0x1234));
        QCOMPARE(sim->stats().writes, 0);
    }

    void finsHeaderFaults()
    {
        Tcp client;
        QVERIFY(finsClient(client));
        Faults f;
        f.wrongNode = true;
        sim->setFaults(f);
        client.send(rawclient::finsCommand(kFinsRead, 0x10));
        QCOMPARE(client.readFinsFrame().mid(16), fromHex("C0 00 02 00 06 00 00 02 00 10 0101 0000 1234 5678"));
        f = Faults();
        f.wrongSid = true;
        sim->setFaults(f);
        client.send(rawclient::finsCommand(kFinsRead, 0xFF));
        QCOMPARE(client.readFinsFrame().mid(16), fromHex("C0 00 02 00 05 00 00 01 00 00 0101 0000 1234 5678"));
    }

    void finsEndCodes_data()
    {
        QTest::addColumn<int>("endCode");
        QTest::addColumn<bool>("executed");
        QTest::newRow("1103 rejects") << 0x1103 << false;
        QTest::newRow("relay flag 8000 alone is normal") << 0x8000 << true;
        QTest::newRow("0040 non-fatal status, data good") << 0x0040 << true;
        QTest::newRow("0080 fatal status flag only") << 0x0080 << true;
        QTest::newRow("2101 rejects") << 0x2101 << false;
    }
    void finsEndCodes()
    {
        QFETCH(int, endCode);
        QFETCH(bool, executed);
        Faults f;
        f.endCode = quint16(endCode);
        sim->setFaults(f);
        Tcp client;
        QVERIFY(finsClient(client));
        client.send(rawclient::finsCommand("0102 82 0000 00 0001 AAAA"));
        QByteArray answer = client.readFinsFrame();
        QCOMPARE(rawclient::endCodeOf(answer), endCode);
        QCOMPARE(answer.size(), 30);
        QCOMPARE(sim->word(Area::D, 0), quint16(executed ? 0xAAAA : 0x1234));
        client.send(rawclient::finsCommand(kFinsRead));
        answer = client.readFinsFrame();
        QCOMPARE(rawclient::endCodeOf(answer), endCode);
        QCOMPARE(answer.size(), executed ? 34 : 30);
    }

    void finsBrokenFrames()
    {
        Tcp client;
        QVERIFY(finsClient(client));
        Faults f;
        f.garbage = true;
        sim->setFaults(f);
        client.send(rawclient::finsCommand(kFinsRead));
        QByteArray bytes = client.read(16);
        QCOMPARE(bytes.size(), 16);
        QVERIFY(!bytes.startsWith("FINS"));
        client.readFor(50);

        f = Faults();
        f.oversizedLength = true;
        sim->setFaults(f);
        client.send(rawclient::finsCommand(kFinsRead));
        bytes = client.read(34);
        QCOMPARE(bytes.left(8), fromHex("46494E53 7FFFFFF0"));
        QCOMPARE(bytes.mid(30), fromHex("1234 5678"));

        f = Faults();
        f.cutShort = true;
        sim->setFaults(f);
        client.send(rawclient::finsCommand(kFinsRead, 9));
        QCOMPARE(client.readFinsFrame(), fromHex("46494E53 00000018 00000002 00000000 C0 00 02 00 05 00 00 01 00 09 0101 0000 12 34"));
    }

    void finsStaleFirst()
    {
        Tcp client;
        QVERIFY(finsClient(client));
        client.send(rawclient::finsCommand(kFinsRead, 1));
        const QByteArray first = client.readFinsFrame();
        Faults f;
        f.staleFirst = true;
        sim->setFaults(f);
        sim->setWord(Area::D, 0, 0x4321);
        client.send(rawclient::finsCommand(kFinsRead, 2));
        QCOMPARE(client.readFinsFrame(), first);
        const QByteArray fresh = client.readFinsFrame();
        QCOMPARE(fresh.mid(25, 1), fromHex("02"));
        QCOMPARE(fresh.mid(30), fromHex("4321 5678"));
    }

    void finsTiming()
    {
        Tcp client;
        QVERIFY(finsClient(client));
        Faults f;
        f.delayMs = 600;
        sim->setFaults(f);
        client.send(rawclient::finsCommand(kFinsRead));
        QVERIFY(client.readFor(100).isEmpty()); // well before the delay ends
        QCOMPARE(client.readFinsFrame().mid(30), fromHex("1234 5678"));

        f = Faults();
        f.chunkSize = 17;
        f.chunkGapMs = 300;
        sim->setFaults(f);
        client.send(rawclient::finsCommand(kFinsRead));
        QVERIFY(client.socket().waitForReadyRead(rawclient::kWaitMs));
        QCOMPARE(client.socket().bytesAvailable(), qint64(17)); // the rest comes after gaps
        QCOMPARE(client.readFinsFrame().mid(30), fromHex("1234 5678"));
    }

    void finsCloseAfterFrames()
    {
        Faults f;
        f.closeAfterFrames = 2;
        sim->setFaults(f);
        Tcp client;
        QVERIFY(finsClient(client));
        client.send(rawclient::finsCommand(kFinsRead, 1));
        QCOMPARE(client.readFinsFrame().size(), 34);
        client.send(rawclient::finsCommand(kFinsRead, 2));
        QCOMPARE(client.readFinsFrame().size(), 34);
        QVERIFY(client.waitClosed());
        Tcp again; // a new connection starts counting afresh
        QVERIFY(finsClient(again));
        again.send(rawclient::finsCommand(kFinsRead, 3));
        QCOMPARE(again.readFinsFrame().size(), 34);
    }

    void finsHandshakeFaults()
    {
        Faults f;
        f.handshakeError = 0x20;
        f.wrongSid = true; // command faults leave the handshake alone
        sim->setFaults(f);
        Tcp refused;
        QVERIFY(refused.connectTo(finsPort));
        refused.send(rawclient::nodeRequest(5));
        QCOMPARE(refused.readFinsFrame(), fromHex("46494E53 00000008 00000003 00000020"));
        QVERIFY(refused.waitClosed());

        f = Faults();
        f.silentHandshake = true;
        sim->setFaults(f);
        Tcp ignored;
        QVERIFY(ignored.connectTo(finsPort));
        ignored.send(rawclient::nodeRequest(5));
        QVERIFY(ignored.readFor(200).isEmpty());
        QCOMPARE(ignored.socket().state(), QAbstractSocket::ConnectedState);
    }

    // ---- Host Link ----

    void hostLinkSilentAndEndCodes()
    {
        Tcp client;
        QVERIFY(client.connectTo(hostLinkPort));
        Faults f;
        f.silent = true;
        sim->setFaults(f);
        client.send(kWriteD100);
        QTRY_COMPARE(sim->stats().hostLinkFrames, 1);
        QVERIFY(client.readFor(200).isEmpty());
        QCOMPARE(sim->word(Area::D, 100), quint16(0));

        f = Faults();
        f.hostLinkEndCode = 0x15;
        sim->setFaults(f);
        client.send(kWriteD100);
        QCOMPARE(client.readLine(), hostLinkFrame("00FA15"));
        QCOMPARE(sim->word(Area::D, 100), quint16(0));

        f = Faults();
        f.endCode = 0x1104;
        sim->setFaults(f);
        client.send(kWriteD100);
        QCOMPARE(client.readLine(), hostLinkFrame("00FA" "0040" "000000" "0102" "1104"));
        QCOMPARE(sim->word(Area::D, 100), quint16(0));
        QCOMPARE(sim->stats().writes, 0);
    }

    void hostLinkAnswerFaults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray good("@00FA0040000000010100001234");
        QTest::newRow("wrong unit") << 0 << hostLinkFrame("01FA" "0040" "000000" "0101" "0000" "1234");
        QTest::newRow("wrong SID") << 1 << hostLinkFrame("00FA" "0040" "000001" "0101" "0000" "1234");
        QTest::newRow("bad FCS") << 2 << QByteArray(good + "1D*\r");
        QTest::newRow("cut short") << 3 << hostLinkFrame("00FA" "0040" "000000" "0101" "0000" "12");
        QTest::newRow("garbage") << 4 << QByteArray("#%GARBAGE!NOISE?~*\r");
    }
    void hostLinkAnswerFaults()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, expected);
        Faults f;
        f.wrongUnit = fault == 0;
        f.wrongSid = fault == 1;
        f.badFcs = fault == 2;
        f.cutShort = fault == 3;
        f.garbage = fault == 4;
        sim->setFaults(f);
        Tcp client;
        QVERIFY(client.connectTo(hostLinkPort));
        client.send(kReadD0);
        QCOMPARE(client.readLine(), expected);
    }

    void hostLinkMissingTerminatorAndStale()
    {
        Tcp client;
        QVERIFY(client.connectTo(hostLinkPort));
        Faults f;
        f.missingTerminator = true;
        sim->setFaults(f);
        client.send(kReadD0);
        QCOMPARE(client.read(29), QByteArray("@00FA0040000000010100001234" "47"));
        QVERIFY(client.readFor(100).isEmpty());

        f = Faults();
        f.staleFirst = true;
        sim->setFaults(f);
        sim->setWord(Area::D, 0, 0x0001);
        client.send(hostLinkFrame("00FA0" "00000000" "0101" "82" "0000" "00" "0001"));
        // The copy of the previous answer (without its terminator), then the fresh one.
        QCOMPARE(client.readLine(), QByteArray("@00FA0040000000010100001234" "47") + hostLinkFrame("00FA" "0040" "000000" "0101" "0000" "0001"));
    }

    void hostLinkCloseAfterFrames()
    {
        Faults f;
        f.closeAfterFrames = 1;
        sim->setFaults(f);
        Tcp client;
        QVERIFY(client.connectTo(hostLinkPort));
        client.send(kReadD0);
        QCOMPARE(client.readLine(), kReadD0Answer);
        QVERIFY(client.waitClosed());
    }

    void serialFaults()
    {
        const QString path = sim->startHostLinkSerial(115200);
        rawclient::Pty line;
        QVERIFY(line.open(path));
        Faults f;
        f.delayMs = 30;
        f.chunkSize = 7;
        f.chunkGapMs = 10;
        f.closeAfterFrames = 1; // a serial line cannot be closed: ignored
        sim->setFaults(f);
        line.send(kReadD0);
        QCOMPARE(line.readLine(), kReadD0Answer);
        line.send(kReadD0);
        QCOMPARE(line.readLine(), kReadD0Answer);
    }
};

QTEST_GUILESS_MAIN(TestPlcSimFaults)
#include "tst_plcsimfaults.moc"
