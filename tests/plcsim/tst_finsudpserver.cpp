// FINS/UDP side of the simulator, spoken to with hand-written datagrams.
//
// A datagram that must go unanswered is always followed by one that must
// be answered: the first datagram to arrive then has to be the later
// answer, so nothing waits for a silence.

#include "PlcSimulator.h"
#include "RawClient.h"
#include "TestSupport.h"

#include <QtTest>

using namespace plcsim;
using rawclient::Udp;
using testsupport::fromHex;

namespace {

// Captured read of D100, 2 words, from node 0x18 to node 0x17, and its answer.
const char *kReadD100 = "80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002";
const char *kReadD100Answer = "C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD";
// The same read with SID 0x42: the answer that proves nothing came before it.
const char *kProbe = "80 00 02 00 17 00 00 18 00 42 0101 82 0064 00 0001";
const char *kProbeAnswer = "C0 00 02 00 18 00 00 17 00 42 0101 0000 AABB";

// Writes D100 = 0x1111 with SID 01, and its answer.
const char *kWrite = "80 00 02 00 17 00 00 18 00 01 0102 82 0064 00 0001 1111";
const char *kWriteAnswer = "C0 00 02 00 18 00 00 17 00 01 0102 0000";

Faults faultsFor(const QString &name)
{
    Faults f;
    if (name == "loseCommands")
        f.loseCommands = 2;
    else if (name == "loseAnswers")
        f.loseAnswers = 1;
    else if (name == "duplicate")
        f.duplicateAnswer = true;
    else if (name == "staleFirst")
        f.staleFirst = true;
    else if (name == "wrongSid")
        f.wrongSid = true;
    else if (name == "wrongNode")
        f.wrongNode = true;
    else if (name == "cutShort")
        f.cutShort = true;
    else if (name.startsWith("endCode"))
        f.endCode = quint16(name.mid(7).toUInt(nullptr, 16));
    return f;
}

} // namespace

class TestFinsUdpServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Simulator> sim;
    quint16 port = 0;

private slots:
    // 127.0.0.23 is local like any 127/8 address; its last octet is node 0x17.
    void init()
    {
        sim = std::make_unique<Simulator>();
        port = sim->startFinsUdp(0, QStringLiteral("127.0.0.23"));
        QVERIFY(port != 0);
        sim->setWord(Area::D, 100, 0xAABB);
        sim->setWord(Area::D, 101, 0xCCDD);
    }
    void cleanup() { sim.reset(); }

    void capturedReadAndWriteWithTheAddressNode()
    {
        Udp client;
        QVERIFY(client.bind());
        client.sendTo(fromHex(kReadD100), port, "127.0.0.23");
        QCOMPARE(client.receive(), fromHex(kReadD100Answer));
        QCOMPARE(client.senderPort(), port);

        client.sendTo(fromHex("80 00 02 00 17 00 00 18 00 FF 0102 B1 000A 00 0002 AABBCCDD"), port, "127.0.0.23");
        QCOMPARE(client.receive(), fromHex("C0 00 02 00 18 00 00 17 00 FF 0102 0000"));
        QCOMPARE(sim->word(Area::W, 10), quint16(0xAABB));
        QCOMPARE(sim->word(Area::W, 11), quint16(0xCCDD));
        QCOMPARE(sim->stats().finsFrames, 2);
        QCOMPARE(sim->stats().writes, 1);
    }

    void droppedUnanswered_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("node"); // 0: the address's node
        QTest::addColumn<int>("dropped");
        QTest::addColumn<bool>("wrote");
        // Writes D100 = 0x1111, so "executed or not" shows in memory.
        QTest::newRow("another node") << fromHex("80 00 02 00 16 00 00 18 00 01 0102 82 0064 00 0001 1111") << 0 << 1 << false;
        QTest::newRow("address node, explicit node set")
            << fromHex("80 00 02 00 17 00 00 18 00 01 0102 82 0064 00 0001 1111") << 5 << 1 << false;
        QTest::newRow("a response") << fromHex("C0 00 02 00 17 00 00 18 00 01 0102 82 0064 00 0001 1111") << 0 << 1 << false;
        QTest::newRow("header only") << fromHex("80 00 02 00 17 00 00 18 00 01 01") << 0 << 1 << false;
        QTest::newRow("no response wanted") << fromHex("81 00 02 00 17 00 00 18 00 01 0102 82 0064 00 0001 1111") << 0 << 0 << true;
    }
    void droppedUnanswered()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, node);
        QFETCH(int, dropped);
        QFETCH(bool, wrote);
        if (node)
            sim->setServerNode(node);
        QByteArray probe = fromHex(kProbe);
        QByteArray probeAnswer = fromHex(kProbeAnswer);
        if (node) {
            probe[4] = char(node);
            probeAnswer[7] = char(node);
        }
        Udp client;
        QVERIFY(client.bind());
        client.sendTo(datagram, port, "127.0.0.23");
        client.sendTo(probe, port, "127.0.0.23");
        if (wrote)
            probeAnswer = fromHex("C0 00 02 00 18 00 00 17 00 42 0101 0000 1111");
        QCOMPARE(client.receive(), probeAnswer);
        QCOMPARE(sim->stats().udpDropped, dropped);
        QCOMPARE(sim->word(Area::D, 100), quint16(wrote ? 0x1111 : 0xAABB));
    }

    // Answer sizes: 999 words fill a 2012-byte answer; a command above 2012
    // bytes is refused unexecuted, whatever it asks for.
    void frameLimits()
    {
        Udp client;
        QVERIFY(client.bind());
        client.sendTo(fromHex("80 00 02 00 17 00 00 18 00 01 0101 82 0000 00 03E7"), port, "127.0.0.23");
        const QByteArray answer = client.receive();
        QCOMPARE(answer.size(), 2012);
        QCOMPARE(answer.mid(10, 4), fromHex("0101 0000"));
        QCOMPARE(answer.mid(14 + 200, 4), fromHex("AABB CCDD"));

        client.sendTo(fromHex("80 00 02 00 17 00 00 18 00 02 0101 82 0000 00 03E8"), port, "127.0.0.23");
        QCOMPARE(client.receive(), fromHex("C0 00 02 00 18 00 00 17 00 02 0101 110B"));

        QByteArray write = fromHex("80 00 02 00 17 00 00 18 00 03 0102 82 0064 00 03E7");
        write += QByteArray(2 * 999, '\x22');
        client.sendTo(write, port, "127.0.0.23");
        QCOMPARE(client.receive(), fromHex("C0 00 02 00 18 00 00 17 00 03 0102 1001"));
        QCOMPARE(sim->word(Area::D, 100), quint16(0xAABB));
    }

    // Each fault: what arrives, in order, for the datagrams sent, and what
    // became of the write. The last datagram sent is always answered.
    void faultModes_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("sends");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("d100");
        const QString w = kWrite, wa = kWriteAnswer, probe = kProbe;
        const QString probe1111 = "C0 00 02 00 18 00 00 17 00 42 0101 0000 1111";
        QTest::newRow("lose 2 commands: unexecuted") << "loseCommands"
            << QStringList{w, QString(w).replace("1111", "2222"), probe} << QStringList{kProbeAnswer} << 0xAABB;
        QTest::newRow("lose 1 answer: executed") << "loseAnswers" << QStringList{w, probe}
            << QStringList{probe1111} << 0x1111;
        QTest::newRow("duplicate") << "duplicate" << QStringList{w, probe}
            << QStringList{wa, wa, probe1111, probe1111} << 0x1111;
        QTest::newRow("stale first") << "staleFirst" << QStringList{w, probe} << QStringList{wa, wa, probe1111} << 0x1111;
        QTest::newRow("wrong SID") << "wrongSid" << QStringList{probe}
            << QStringList{"C0 00 02 00 18 00 00 17 00 43 0101 0000 AABB"} << 0xAABB;
        QTest::newRow("wrong node") << "wrongNode" << QStringList{probe}
            << QStringList{"C0 00 02 00 19 00 00 18 00 42 0101 0000 AABB"} << 0xAABB;
        QTest::newRow("cut short") << "cutShort" << QStringList{kReadD100}
            << QStringList{"C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB"} << 0xAABB;
        QTest::newRow("end code 2203: unexecuted") << "endCode2203" << QStringList{w}
            << QStringList{"C0 00 02 00 18 00 00 17 00 01 0102 2203"} << 0xAABB;
        QTest::newRow("end code 0040: executed") << "endCode0040" << QStringList{w, probe}
            << QStringList{"C0 00 02 00 18 00 00 17 00 01 0102 0040", "C0 00 02 00 18 00 00 17 00 42 0101 0040 1111"} << 0x1111;
    }
    void faultModes()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, sends);
        QFETCH(QStringList, answers);
        QFETCH(int, d100);
        sim->setFaults(faultsFor(fault));
        Udp client;
        QVERIFY(client.bind());
        for (const QString &d : sends)
            client.sendTo(fromHex(d.toLatin1().constData()), port, "127.0.0.23");
        for (const QString &a : answers)
            QCOMPARE(client.receive(), fromHex(a.toLatin1().constData()));
        QCOMPARE(sim->word(Area::D, 100), quint16(d100));
        QCOMPARE(sim->faults().loseCommands, 0);
        QCOMPARE(sim->faults().loseAnswers, 0);
        QCOMPARE(sim->stats().finsFrames, sends.size());
    }

    // A delayed answer leaves the unit serving: the answer to a later
    // command overtakes it, as late datagrams do on a network.
    void delayedAnswerIsOvertaken()
    {
        Udp client;
        QVERIFY(client.bind());
        Faults slow;
        slow.delayMs = 1500;
        sim->setFaults(slow);
        client.sendTo(fromHex(kWrite), port, "127.0.0.23");
        QTRY_COMPARE_WITH_TIMEOUT(sim->stats().finsFrames, 1, rawclient::kWaitMs);
        QCOMPARE(sim->word(Area::D, 100), quint16(0x1111)); // ran at once
        sim->setFaults(Faults());
        client.sendTo(fromHex(kProbe), port, "127.0.0.23");
        QCOMPARE(client.receive(), fromHex("C0 00 02 00 18 00 00 17 00 42 0101 0000 1111"));
        QCOMPARE(client.receive(), fromHex(kWriteAnswer));
    }

    void answerFromAnotherPort()
    {
        Faults f;
        f.answerFromOtherPort = true;
        sim->setFaults(f);
        Udp client;
        QVERIFY(client.bind());
        client.sendTo(fromHex(kProbe), port, "127.0.0.23");
        QCOMPARE(client.receive(), fromHex(kProbeAnswer));
        QCOMPARE(client.sender(), QHostAddress(QStringLiteral("127.0.0.23")));
        QVERIFY(client.senderPort() != port);
        QVERIFY(client.senderPort() != 0);
    }

    // Static mode: the answer goes to the sender's address at the fixed
    // port, from the unit's own port, not back to where the command came from.
    void staticModeAnswersToTheFixedPort()
    {
        Udp sender, fixed;
        QVERIFY(sender.bind());
        QVERIFY(fixed.bind());
        sim->setFinsUdpAnswerPort(fixed.port());
        sender.sendTo(fromHex(kReadD100), port, "127.0.0.23");
        QCOMPARE(fixed.receive(), fromHex(kReadD100Answer));
        QCOMPARE(fixed.senderPort(), port);
        QCOMPARE(fixed.sender(), QHostAddress(QStringLiteral("127.0.0.23")));

        sim->setFinsUdpAnswerPort(0);
        sender.sendTo(fromHex(kProbe), port, "127.0.0.23");
        QCOMPARE(sender.receive(), fromHex(kProbeAnswer));
    }
};

QTEST_GUILESS_MAIN(TestFinsUdpServer)
#include "tst_finsudpserver.moc"
