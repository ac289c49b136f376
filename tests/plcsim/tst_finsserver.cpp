// FINS/TCP side of the simulator, spoken to with hand-written frames.

#include "PlcSimulator.h"
#include "RawClient.h"
#include "TestSupport.h"

#include <QtTest>

using namespace plcsim;
using rawclient::Tcp;
using testsupport::fromHex;

class TestFinsServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Simulator> sim;
    quint16 port = 0;

    // A client that has done the handshake as node 5.
    bool connectAsNode5(Tcp &client)
    {
        if (!client.connectTo(port))
            return false;
        client.send(rawclient::nodeRequest(5));
        return client.readFinsFrame().size() == 24;
    }

private slots:
    void init()
    {
        sim = std::make_unique<Simulator>();
        port = sim->startFins();
        QVERIFY(port != 0);
    }
    void cleanup() { sim.reset(); }

    void capturedHandshakeAndRead()
    {
        sim->setServerNode(0x17);
        sim->setWord(Area::D, 100, 0xAABB);
        sim->setWord(Area::D, 101, 0xCCDD);
        Tcp client;
        QVERIFY(client.connectTo(port));
        client.send(fromHex("46494E53 0000000C 00000000 00000000 00000018"));
        QCOMPARE(client.readFinsFrame(), fromHex("46494E53 00000010 00000001 00000000 00000018 00000017"));
        client.send(fromHex("46494E53 0000001A 00000002 00000000 80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002"));
        QCOMPARE(client.readFinsFrame(),
                 fromHex("46494E53 0000001A 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD"));
        QCOMPARE(sim->stats().finsFrames, 1);
        QCOMPARE(sim->stats().connections, 1);
    }

    void capturedWrite()
    {
        sim->setServerNode(0x17);
        Tcp client;
        QVERIFY(client.connectTo(port));
        client.send(fromHex("46494E53 0000000C 00000000 00000000 00000018"));
        QCOMPARE(client.readFinsFrame().size(), 24);
        client.send(fromHex("46494E53 0000001E 00000002 00000000 80 00 02 00 17 00 00 18 00 FF 0102 B1 000A 00 0002 AABBCCDD"));
        QCOMPARE(client.readFinsFrame(),
                 fromHex("46494E53 00000016 00000002 00000000 C0 00 02 00 18 00 00 17 00 FF 0102 0000"));
        QCOMPARE(sim->word(Area::W, 10), quint16(0xAABB));
        QCOMPARE(sim->word(Area::W, 11), quint16(0xCCDD));
        QCOMPARE(sim->word(Area::W, 12), quint16(0));
        QCOMPARE(sim->stats().writes, 1);
    }

    void automaticNodes()
    {
        Tcp a, b;
        QVERIFY(a.connectTo(port));
        QVERIFY(b.connectTo(port));
        a.send(rawclient::nodeRequest(0));
        b.send(rawclient::nodeRequest(0));
        const QByteArray answerA = a.readFinsFrame();
        const QByteArray answerB = b.readFinsFrame();
        QCOMPARE(answerA.size(), 24);
        QCOMPARE(answerB.size(), 24);
        const int nodeA = quint8(answerA[19]), nodeB = quint8(answerB[19]);
        QVERIFY(nodeA >= 239 && nodeA <= 254);
        QVERIFY(nodeB >= 239 && nodeB <= 254);
        QVERIFY(nodeA != nodeB);
        QCOMPARE(int(quint8(answerA[23])), 1); // default server node
    }

    void refusedNodes_data()
    {
        QTest::addColumn<quint32>("node");
        QTest::addColumn<bool>("takenFirst");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("in use") << 5u << true << fromHex("46494E53 00000008 00000003 00000021");
        QTest::newRow("255") << 255u << false << fromHex("46494E53 00000008 00000003 00000023");
        QTest::newRow("0x100") << 0x100u << false << fromHex("46494E53 00000008 00000003 00000023");
    }
    void refusedNodes()
    {
        QFETCH(quint32, node);
        QFETCH(bool, takenFirst);
        QFETCH(QByteArray, expected);
        Tcp holder;
        if (takenFirst)
            QVERIFY(connectAsNode5(holder));
        Tcp client;
        QVERIFY(client.connectTo(port));
        client.send(rawclient::nodeRequest(node));
        QCOMPARE(client.readFinsFrame(), expected);
        QVERIFY(client.waitClosed());
    }

    void nodeFreedWhenConnectionCloses()
    {
        {
            Tcp first;
            QVERIFY(connectAsNode5(first));
            first.socket().abort();
        }
        Tcp second;
        QVERIFY(connectAsNode5(second));
    }

    void endCodes_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("endCode");
        QTest::addColumn<int>("dataBytes");
        QTest::newRow("read ok") << QByteArray("0101 82 0000 00 0003") << 0x0000 << 6;
        QTest::newRow("read zero words") << QByteArray("0101 82 0000 00 0000") << 0x0000 << 0;
        QTest::newRow("read 999 words") << QByteArray("0101 82 0000 00 03E7") << 0x0000 << 1998;
        QTest::newRow("read 1000 words") << QByteArray("0101 82 0000 00 03E8") << 0x110B << 0;
        QTest::newRow("unknown area") << QByteArray("0101 99 0000 00 0001") << 0x1101 << 0;
        QTest::newRow("EM bank D") << QByteArray("0101 AD 0000 00 0001") << 0x1101 << 0;
        QTest::newRow("word access bit 1") << QByteArray("0101 82 0000 01 0001") << 0x1103 << 0;
        QTest::newRow("start past D") << QByteArray("0101 82 8000 00 0001") << 0x1103 << 0;
        QTest::newRow("beyond D end") << QByteArray("0101 82 7FFF 00 0002") << 0x1104 << 0;
        QTest::newRow("last D word") << QByteArray("0101 82 7FFF 00 0001") << 0x0000 << 2;
        QTest::newRow("W end") << QByteArray("0101 B1 01FF 00 0002") << 0x1104 << 0;
        QTest::newRow("read too long") << QByteArray("0101 82 0000 00 0001 00") << 0x1001 << 0;
        QTest::newRow("read too short") << QByteArray("0101 82 0000 00") << 0x1002 << 0;
        QTest::newRow("write data short") << QByteArray("0102 82 0000 00 0002 1234") << 0x1002 << 0;
        QTest::newRow("write data long") << QByteArray("0102 82 0000 00 0001 1234 56") << 0x1001 << 0;
        QTest::newRow("A below 448") << QByteArray("0102 B3 01BF 00 0001 1234") << 0x2101 << 0;
        QTest::newRow("A 448") << QByteArray("0102 B3 01C0 00 0001 1234") << 0x0000 << 0;
        QTest::newRow("A read below 448") << QByteArray("0101 B3 0000 00 0001") << 0x0000 << 2;
        QTest::newRow("A bit below 448") << QByteArray("0102 33 01BF 0F 0001 01") << 0x2101 << 0;
        QTest::newRow("bit 16") << QByteArray("0101 02 0000 10 0001") << 0x1103 << 0;
        QTest::newRow("bit item 02") << QByteArray("0102 02 0000 00 0001 02") << 0x110C << 0;
        QTest::newRow("bits beyond end") << QByteArray("0101 30 17FF 0F 0002") << 0x1104 << 0;
        QTest::newRow("not supported") << QByteArray("0620") << 0x0401 << 0;
    }
    void endCodes()
    {
        QFETCH(QByteArray, command);
        QFETCH(int, endCode);
        QFETCH(int, dataBytes);
        sim->setWord(Area::D, 0, 0x1111);
        Tcp client;
        QVERIFY(connectAsNode5(client));
        client.send(rawclient::finsCommand(command.constData()));
        const QByteArray answer = client.readFinsFrame();
        QCOMPARE(rawclient::endCodeOf(answer), endCode);
        QCOMPARE(answer.size(), 30 + dataBytes);
        QCOMPARE(answer.mid(26, 2), fromHex(command.left(4).constData()));
        if (endCode != 0) // a rejected command leaves memory as it was
            QCOMPARE(sim->stats().writes, 0);
        QCOMPARE(sim->word(Area::D, 0), quint16(0x1111));
    }

    void bitAccess()
    {
        Tcp client;
        QVERIFY(connectAsNode5(client));
        // CIO10.15, CIO11.0, CIO11.1 = 1, 0, 1: the run crosses a word boundary.
        client.send(rawclient::finsCommand("0102 30 000A 0F 0003 01 00 01"));
        QCOMPARE(rawclient::endCodeOf(client.readFinsFrame()), 0);
        QCOMPARE(sim->word(Area::CIO, 10), quint16(0x8000));
        QCOMPARE(sim->word(Area::CIO, 11), quint16(0x0002));
        sim->setBit(Area::CIO, 11, 0, true);
        client.send(rawclient::finsCommand("0101 30 000A 0E 0004"));
        const QByteArray answer = client.readFinsFrame();
        QCOMPARE(answer.mid(28), fromHex("0000 00 01 01 01"));
    }

    void emBanks()
    {
        Tcp client;
        QVERIFY(connectAsNode5(client));
        client.send(rawclient::finsCommand("0102 AC 7FFF 00 0001 BEEF"));
        QCOMPARE(rawclient::endCodeOf(client.readFinsFrame()), 0);
        QCOMPARE(sim->word(emBank(12), 32767), quint16(0xBEEF));
        QCOMPARE(sim->word(emBank(11), 32767), quint16(0));
        client.send(rawclient::finsCommand("0101 2C 7FFF 0F 0001"));
        QCOMPARE(client.readFinsFrame().mid(30), fromHex("01"));
    }

    void splitAndMergedRequests()
    {
        sim->setWord(Area::D, 0, 0x0102);
        Tcp client;
        QVERIFY(client.connectTo(port));
        const QByteArray frames = rawclient::nodeRequest(5) + rawclient::finsCommand("0101 82 0000 00 0001", 1)
            + rawclient::finsCommand("0101 82 0000 00 0001", 2);
        // One byte at a time, then everything at once.
        for (char c : frames) {
            client.send(QByteArray(1, c));
        }
        QCOMPARE(client.readFinsFrame().size(), 24);
        QCOMPARE(client.readFinsFrame().mid(25), fromHex("01 0101 0000 0102"));
        QCOMPARE(client.readFinsFrame().mid(25), fromHex("02 0101 0000 0102"));
        client.send(rawclient::finsCommand("0101 82 0000 00 0001", 3) + rawclient::finsCommand("0102 82 0000 00 0001 0304", 4)
                    + rawclient::finsCommand("0101 82 0000 00 0001", 5));
        QCOMPARE(client.readFinsFrame().mid(25), fromHex("03 0101 0000 0102"));
        QCOMPARE(client.readFinsFrame().mid(25), fromHex("04 0102 0000"));
        QCOMPARE(client.readFinsFrame().mid(25), fromHex("05 0101 0000 0304"));
    }

    void badFramesCloseTheConnection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("no magic") << QByteArray("GET / HTTP/1.0\r\n\r\n") << fromHex("46494E53 00000008 00000003 00000001");
        QTest::newRow("length too big") << fromHex("46494E53 000007E5 00000002 00000000")
                                        << fromHex("46494E53 00000008 00000003 00000002");
        QTest::newRow("command 7") << fromHex("46494E53 00000008 00000007 00000000")
                                   << fromHex("46494E53 00000008 00000003 00000003");
    }
    void badFramesCloseTheConnection()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        Tcp client;
        QVERIFY(client.connectTo(port));
        client.send(bytes);
        QCOMPARE(client.readFinsFrame(), expected);
        QVERIFY(client.waitClosed());
    }

    void severalClients()
    {
        Tcp clients[4];
        for (int i = 0; i < 4; ++i) {
            QVERIFY(clients[i].connectTo(port));
            clients[i].send(rawclient::nodeRequest(quint32(10 + i)));
        }
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(quint8(clients[i].readFinsFrame().at(19)), quint8(10 + i));
            clients[i].send(rawclient::finsCommand(QByteArray("0102 82 0010 00 0001 000" + QByteArray::number(i)).constData()));
        }
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rawclient::endCodeOf(clients[i].readFinsFrame()), 0);
        QCOMPARE(sim->stats().connections, 4);
        QCOMPARE(sim->stats().writes, 4);
    }

    void dropConnections()
    {
        Tcp client;
        QVERIFY(connectAsNode5(client));
        sim->dropConnections();
        QVERIFY(client.waitClosed());
        Tcp again;
        QVERIFY(connectAsNode5(again)); // node 5 is free again
    }
};

QTEST_GUILESS_MAIN(TestFinsServer)
#include "tst_finsserver.moc"
