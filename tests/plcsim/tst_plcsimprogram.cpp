// The plcsim program: what it prints, that it serves what it printed, and
// that it ends cleanly on SIGTERM.

#include "RawClient.h"
#include "TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using rawclient::Tcp;
using testsupport::fromHex;

class TestPlcSimProgram : public QObject
{
    Q_OBJECT

private:
    // Starts plcsim and collects the first `lines` lines it prints.
    static QStringList start(QProcess &process, const QStringList &args, int lines)
    {
        process.start(QStringLiteral(PLCSIM_PROGRAM), args);
        QStringList out;
        if (!process.waitForStarted(rawclient::kWaitMs))
            return out;
        while (out.size() < lines) {
            if (!process.canReadLine() && !process.waitForReadyRead(rawclient::kWaitMs))
                break;
            while (process.canReadLine() && out.size() < lines)
                out << QString::fromLocal8Bit(process.readLine()).trimmed();
        }
        return out;
    }

private slots:
    void servesWhatItPrints()
    {
        QProcess process;
        const QStringList lines = start(process, {"--fins-port", "0", "--hostlink-port", "0", "--serial", "115200",
                                                  "--fill", "--node", "23", "--unit", "2", "--quiet"}, 3);
        QCOMPARE(lines.size(), 3);
        const QRegularExpression finsLine("^FINS/TCP listening on 127\\.0\\.0\\.1:(\\d+)$");
        const QRegularExpression hostLinkLine("^Host Link TCP listening on 127\\.0\\.0\\.1:(\\d+)$");
        const QRegularExpression serialLine("^Host Link serial on (/dev/\\S+) at 115200 baud$");
        const auto fins = finsLine.match(lines[0]);
        const auto hostLink = hostLinkLine.match(lines[1]);
        const auto serial = serialLine.match(lines[2]);
        QVERIFY2(fins.hasMatch() && hostLink.hasMatch() && serial.hasMatch(), qPrintable(lines.join('|')));

        Tcp finsClient;
        QVERIFY(finsClient.connectTo(quint16(fins.captured(1).toUInt())));
        finsClient.send(rawclient::nodeRequest(0x18));
        QCOMPARE(finsClient.readFinsFrame(), fromHex("46494E53 00000010 00000001 00000000 00000018 00000017"));
        finsClient.send(rawclient::finsCommand("0101 82 000A 00 0002"));
        QCOMPARE(finsClient.readFinsFrame().mid(28), fromHex("0000 0187 1402")); // --fill

        Tcp hostLinkClient;
        QVERIFY(hostLinkClient.connectTo(quint16(hostLink.captured(1).toUInt())));
        hostLinkClient.send(rawclient::hostLinkFrame("02FA0" "00000000" "0101" "82" "000C" "00" "0002"));
        QCOMPARE(hostLinkClient.readLine(), rawclient::hostLinkFrame("02FA" "0040" "000000" "0101" "0000" "E979C2F6"));

        rawclient::Pty line;
        QVERIFY(line.open(serial.captured(1)));
        line.send(rawclient::hostLinkFrame("02FA0" "00000000" "0101" "82" "0000" "00" "0001"));
        QCOMPARE(line.readLine(), rawclient::hostLinkFrame("02FA" "0040" "000000" "0101" "0000" "0000"));

        process.terminate();
        QVERIFY(process.waitForFinished(rawclient::kWaitMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    void faultsFromTheCommandLine()
    {
        QProcess process;
        const QStringList lines = start(process, {"--fins-port", "0", "--end-code", "1101", "--wrong-sid", "--quiet"}, 1);
        QCOMPARE(lines.size(), 1);
        Tcp client;
        QVERIFY(client.connectTo(quint16(lines[0].section(':', -1).toUInt())));
        client.send(rawclient::nodeRequest(5));
        QCOMPARE(client.readFinsFrame().size(), 24);
        client.send(rawclient::finsCommand("0101 82 0000 00 0001", 0x41));
        QCOMPARE(client.readFinsFrame().mid(25), fromHex("42 0101 1101"));
        process.terminate();
        QVERIFY(process.waitForFinished(rawclient::kWaitMs));
        QCOMPARE(process.exitCode(), 0);
    }

    // FINS/UDP takes its node from the bound address, or from --node; with
    // --fins-udp-static the answer goes to that port instead of the sender's.
    void servesFinsUdp_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<char>("node");
        QTest::addColumn<bool>("toFixedPort");
        QTest::newRow("address node") << QStringList() << char(0x17) << false;
        QTest::newRow("--node") << QStringList{"--node", "9"} << char(0x09) << false;
        QTest::newRow("static") << QStringList{"--fins-udp-static", "FIXED"} << char(0x17) << true;
    }
    void servesFinsUdp()
    {
        QFETCH(QStringList, extra);
        QFETCH(char, node);
        QFETCH(bool, toFixedPort);
        rawclient::Udp client, fixed;
        QVERIFY(client.bind());
        QVERIFY(fixed.bind());
        extra.replaceInStrings(QStringLiteral("FIXED"), QString::number(fixed.port()));
        QProcess process;
        const QStringList lines = start(process, QStringList{"--fins-udp-port", "0", "--bind", "127.0.0.23", "--fill", "--quiet"} + extra, 1);
        QCOMPARE(lines.size(), 1);
        const QRegularExpression udpLine("^FINS/UDP listening on 127\\.0\\.0\\.23:(\\d+)$");
        const auto match = udpLine.match(lines[0]);
        QVERIFY2(match.hasMatch(), qPrintable(lines[0]));
        QByteArray read = fromHex("80 00 02 00 17 00 00 18 00 33 0101 82 000A 00 0002");
        read[4] = node;
        QByteArray answer = fromHex("C0 00 02 00 18 00 00 17 00 33 0101 0000 0187 1402");
        answer[7] = node;
        client.sendTo(read, quint16(match.captured(1).toUInt()), "127.0.0.23");
        QCOMPARE((toFixedPort ? fixed : client).receive(), answer);
        process.terminate();
        QVERIFY(process.waitForFinished(rawclient::kWaitMs));
        QCOMPARE(process.exitCode(), 0);
    }

    void tracesFrames()
    {
        QProcess process;
        const QStringList lines = start(process, {"--hostlink-port", "0"}, 1);
        QCOMPARE(lines.size(), 1);
        Tcp client;
        QVERIFY(client.connectTo(quint16(lines[0].section(':', -1).toUInt())));
        client.send("@00FA0000000000101820000000001" "7C*\r");
        QCOMPARE(client.readLine(), rawclient::hostLinkFrame("00FA" "0040" "000000" "0101" "0000" "0000"));
        QByteArray printed;
        QTRY_VERIFY2((printed += process.readAllStandardOutput()).contains("<- @00FA0000000000101820000000001" "7C*"),
                     printed.constData());
        process.terminate();
        QVERIFY(process.waitForFinished(rawclient::kWaitMs));
    }

    void refusesBadArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing to serve") << QStringList();
        QTest::newRow("port 70000") << QStringList{"--fins-port", "70000"};
        QTest::newRow("unit 32") << QStringList{"--hostlink-port", "0", "--unit", "32"};
        QTest::newRow("static port 0") << QStringList{"--fins-udp-port", "0", "--fins-udp-static", "0"};
        QTest::newRow("lose -1 commands") << QStringList{"--fins-udp-port", "0", "--lose-commands", "-1"};
        QTest::newRow("end code not hex") << QStringList{"--fins-port", "0", "--end-code", "xyz"};
    }
    void refusesBadArguments()
    {
        QFETCH(QStringList, args);
        QProcess process;
        process.start(QStringLiteral(PLCSIM_PROGRAM), args);
        QVERIFY(process.waitForFinished(rawclient::kWaitMs));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlcSimProgram)
#include "tst_plcsimprogram.moc"
