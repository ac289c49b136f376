// The simulator's EtherNet/IP side with hand-written frames: the captured
// frames of the protocol notes, the statuses it answers with, the class 3
// connection, and its variable table's text form.
#include <QtTest>

#include "PlcSimulator.h"
#include "RawClient.h"
#include "TestSupport.h"

using testsupport::fromHex;

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b;
    for (int k = 0; k < 4; ++k)
        b.append(char(v >> (8 * k)));
    return b;
}

// A SendRRData frame of the given session carrying one Message Router request.
QByteArray rrData(const QByteArray &session, const QByteArray &request, quint16 command = 0x6F)
{
    QByteArray data = fromHex("00000000 0A00 0200 0000 0000 B200") + QByteArray(1, char(request.size())) + '\0';
    QByteArray frame;
    frame.append(char(command));
    frame.append(char(command >> 8));
    frame.append(char(data.size() + request.size()));
    frame.append('\0');
    return frame + session + QByteArray(16, '\0') + data + request;
}

class CipClient : public rawclient::Tcp
{
public:
    QByteArray session;
    QByteArray frame()
    {
        const QByteArray header = read(24);
        if (header.size() < 24)
            return header;
        return header + read(quint8(header.at(2)) | quint8(header.at(3)) << 8);
    }
    bool open(quint16 port)
    {
        if (!connectTo(port))
            return false;
        send(fromHex("65 00 04 00 00000000 00000000 0000000000000000 00000000 01 00 00 00"));
        const QByteArray reply = frame();
        session = reply.mid(4, 4);
        return reply.size() == 28 && reply.mid(8, 4) == QByteArray(4, '\0') && session != QByteArray(4, '\0');
    }
    // The Message Router reply to `request`.
    QByteArray ask(const QByteArray &request)
    {
        send(rrData(session, request));
        return frame().mid(40);
    }
};

} // namespace

class TestCipServer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sim = std::make_unique<plcsim::Simulator>();
        port = sim->startCip();
        QVERIFY(port != 0);
        QVERIFY(client.open(port));
    }
    void cleanup()
    {
        client.socket().abort();
        sim.reset();
    }

    void capturedFrames()
    {
        // The Speed read, byte for byte but for the session handle.
        client.send(fromHex("6F 00 1C 00") + client.session
                    + fromHex("00000000 0000000000000000 00000000 00 00 00 00 0A 00 02 00 00 00 00 00 B2 00 0C 00"
                              " 4C 04 91 05 53 70 65 65 64 00 01 00"));
        const QByteArray reply = client.frame();
        QCOMPARE(reply.mid(4, 4), client.session);
        QCOMPARE(reply.mid(40).toHex(' '), fromHex("CC 00 00 00 C4 00 E8 03 00 00").toHex(' '));
        QCOMPARE(client.ask(fromHex("4D 05 91 08 53 65 74 70 6F 69 6E 74 CA 00 01 00 00 00 68 41")).toHex(' '),
                 fromHex("CD 00 00 00").toHex(' '));
        QCOMPARE(sim->cipBytes(QStringLiteral("Setpoint")).toHex(' '), fromHex("00 00 68 41").toHex(' '));
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("BOOL with its forced flag") << fromHex("4C 05 91 07 52756E6E696E67 00 01 00")
                                                   << fromHex("CC 00 00 00 C1 00 01 00");
        QTest::newRow("BOOL range bit-packed") << fromHex("4C 05 91 05 466C616773 00 28 00 11 00")
                                               << fromHex("CC 00 00 00 C1 00 8D 00 00 00");
        QTest::newRow("2-D element") << fromHex("4C 05 91 04 47726964 28 01 28 02 01 00")
                                     << fromHex("CC 00 00 00 C4 00 0C 00 00 00");
        QTest::newRow("member") << fromHex("4C 08 91 06 526563697065 91 05 5370656564 00 01 00")
                                << fromHex("CC 00 00 00 CA 00 00 00 C0 3F");
        QTest::newRow("structure with its CRC") << fromHex("4C 03 91 04 4C696E65 01 00")
                                                << fromHex("CC 00 00 00 A0 02 2E 1F 00 00 00 00 00 00 E0 3F"
                                                           " 00 00 00 00 00 00 F8 3F 00 00 00 00 00 00 04 40");
        QTest::newRow("string") << fromHex("4C 05 91 07 4D657373616765 00 01 00")
                                << fromHex("CC 00 00 00 D0 00 08 00 68656C6C6F204E58");
        QTest::newRow("not published") << fromHex("4C 04 91 06 48696464656E 01 00") << fromHex("CC 00 05 00");
        QTest::newRow("no such variable") << fromHex("4C 04 91 05 4E6F6E6573 00 01 00")
                                          << fromHex("CC 00 05 00");
        QTest::newRow("index outside") << fromHex("4C 05 91 05 54656D7073 00 28 0A 01 00") << fromHex("CC 00 05 00");
        QTest::newRow("range past the end") << fromHex("4C 05 91 05 54656D7073 00 28 08 03 00")
                                            << fromHex("CC 00 20 00");
        QTest::newRow("constant") << fromHex("4D 04 91 05 4C696D6974 00 C4 00 01 00 01 00 00 00")
                                  << fromHex("CD 00 0F 00");
        QTest::newRow("write of another type") << fromHex("4D 04 91 05 5370656564 00 C3 00 01 00 01 00")
                                               << fromHex("CD 00 20 00");
        QTest::newRow("write data short") << fromHex("4D 04 91 05 5370656564 00 C4 00 01 00 01 00")
                                          << fromHex("CD 00 13 00");
        QTest::newRow("reply too large") << fromHex("4C 05 91 06 4C6576656C73 28 00 7D 00") << fromHex("CC 00 11 00");
        QTest::newRow("mode RUN") << fromHex("0E 03 20 C4 24 00 30 64") << fromHex("8E 00 00 00 04 00");
        QTest::newRow("unknown service") << fromHex("4B 04 91 05 5370656564 00") << fromHex("CB 00 08 00");
        QTest::newRow("bad path segment") << fromHex("4C 01 77 00 01 00") << fromHex("CC 00 04 00");
    }
    void answers()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QCOMPARE(client.ask(request).toHex(' '), reply.toHex(' '));
    }

    void sessionsAndConnections()
    {
        // Another session handle: encapsulation status 0x64, nothing else.
        client.send(rrData(le32(0xDEAD), fromHex("4C 04 91 05 5370656564 00 01 00")));
        QCOMPARE(client.frame().mid(8, 4).toHex(' '), fromHex("64 00 00 00").toHex(' '));
        // ListIdentity: an NX102-1200 of vendor 0x2F, product code 0x0BBB.
        client.send(fromHex("63 00 00 00") + QByteArray(20, '\0'));
        const QByteArray identity = client.frame();
        QVERIFY(identity.contains(fromHex("2F 00 0C 00 BB 0B")));
        QVERIFY(identity.contains(QByteArray("\x0ANX102-1200")));
        // Large_Forward_Open for 1994 bytes, then a connected read by its O->T id.
        const QByteArray open = client.ask(fromHex("5B 02 20 06 24 01 0A 05 00000000 11223344 3412 FEFF 78563412"
                                                   " 01 000000 80841E00 CC070042 80841E00 CC070042 A3 02 20 02 24 01"));
        QCOMPARE(open.left(4).toHex(' '), fromHex("DB 00 00 00").toHex(' '));
        QCOMPARE(open.mid(8, 6).toHex(' '), fromHex("11223344 3412").toHex(' '));
        const QByteArray unit = fromHex("00000000 0000 0200 A100 0400") + open.mid(4, 4) + fromHex("B100 0E00 0700")
            + fromHex("4C 04 91 05 5370656564 00 01 00");
        client.send(fromHex("70 00") + QByteArray(1, char(unit.size())) + '\0' + client.session + QByteArray(16, '\0')
                    + unit);
        const QByteArray reply = client.frame();
        QCOMPARE(reply.mid(24 + 8, 8).toHex(' '), fromHex("A100 0400 11223344").toHex(' '));
        QCOMPARE(reply.mid(24 + 16).toHex(' '), fromHex("B100 0C00 0700 CC 00 00 00 C4 00 E8 03 00 00").toHex(' '));
        // UnRegisterSession: no reply, the connection closes.
        client.send(fromHex("66 00 00 00") + client.session + QByteArray(16, '\0'));
        QVERIFY(client.waitClosed());
    }

    void variableTables_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error"); // empty: loads
        QTest::newRow("comments and values") << "# x\nA DINT = 5 # five\nB INT [2] = 1 -1" << "";
        QTest::newRow("structure flags") << "S STRUCT crc=12AB private\nS.M REAL" << "";
        QTest::newRow("unknown type") << "A DOUBLE" << "line 1: unknown type DOUBLE";
        QTest::newRow("member first") << "S.M REAL" << "line 1: S is no structure declared before";
        QTest::newRow("bad value") << "A\tSINT = x" << "line 1: bad value x";
        QTest::newRow("bad dimension") << "\nA INT [0]" << "line 2: bad dimension [0]";
        QTest::newRow("no type") << "A" << "line 1: a name and a type are needed";
    }
    void variableTables()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QCOMPARE(sim->setCipVariables(text), error);
        if (error.isEmpty() && text.contains(QLatin1String("A DINT")))
            QCOMPARE(sim->cipBytes(QStringLiteral("A")).toHex(' '), fromHex("05 00 00 00").toHex(' '));
    }

private:
    std::unique_ptr<plcsim::Simulator> sim;
    quint16 port = 0;
    CipClient client;
};

QTEST_GUILESS_MAIN(TestCipServer)
#include "tst_cipserver.moc"
