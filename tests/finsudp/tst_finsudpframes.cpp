// FINS/UDP without sockets: command frames byte for byte as the protocol
// notes give them (a datagram is the FINS frame itself), the check of a
// datagram against its request, and the connection text.
#include <QtTest>

#include "FinsCommand.h"
#include "TestSupport.h"
#include "UdpConnectionText.h"

using testsupport::fromHex;
using Verdict = FinsCommand::Verdict;

class TestFinsUdpFrames : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames_data();
    void commandFrames();
    void checkAnswer_data();
    void checkAnswer();
    void connectionText_data();
    void connectionText();
    void refusedConnectionText_data();
    void refusedConnectionText();
};

void TestFinsUdpFrames::commandFrames_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    // ICF 80, RSV 00, GCT 02, DNA 00, DA1, DA2 00, SNA 00, SA1, SA2 00, SID.
    QTest::newRow("read D100 2 words, DA1 17, SA1 18, SID FF")
        << FinsCommand::readCommand(0x17, 0x18, 0xFF, 0x82, 100, 2)
        << fromHex("80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002");
    QTest::newRow("write W10-W11")
        << FinsCommand::writeWordsCommand(0x17, 0x18, 0xFF, 0xB1, 10, fromHex("AABBCCDD"))
        << fromHex("80 00 02 00 17 00 00 18 00 FF 0102 B1 000A 00 0002 AABBCCDD");
    QTest::newRow("write, odd byte not sent")
        << FinsCommand::writeWordsCommand(1, 2, 3, 0x82, 0, fromHex("010203"))
        << fromHex("80 00 02 00 01 00 00 02 00 03 0102 82 0000 00 0001 0102");
    QTest::newRow("bit write CIO16.3 on, DA1 0A, SA1 05")
        << FinsCommand::writeBitsCommand(10, 5, 0, 0x30, 16, 3, fromHex("01"))
        << fromHex("80 00 02 00 0A 00 00 05 00 00 0102 30 0010 03 0001 01");
    QTest::newRow("999 words of EM1 from 4660, low 8 bits of the nodes")
        << FinsCommand::readCommand(0x1FE, 0x101, 0x80, 0xA0, 0x1234, 999)
        << fromHex("80 00 02 00 FE 00 00 01 00 80 0101 A0 1234 00 03E7");
}

void TestFinsUdpFrames::commandFrames()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestFinsUdpFrames::checkAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<int>("endCode");
    // The answer to the read of D100 above: ICF C0, nodes exchanged, SID echoed.
    const QByteArray good = fromHex("C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD");
    auto with = [&good](int offset, int byte) {
        QByteArray changed = good;
        changed[offset] = char(byte);
        return changed;
    };
    QTest::newRow("ours") << good << int(Verdict::Ours) << 0;
    QTest::newRow("non-fatal CPU error: 00 40") << with(13, 0x40) << int(Verdict::Ours) << 0x0040;
    QTest::newRow("error end code, no data")
        << fromHex("C0 00 02 00 18 00 00 17 00 FF 0101 1104") << int(Verdict::Ours) << 0x1104;
    QTest::newRow("other SID") << with(9, 0xFE) << int(Verdict::Foreign) << 0;
    QTest::newRow("write answer") << with(11, 0x02) << int(Verdict::Foreign) << 0;
    QTest::newRow("DA1 not our node") << with(4, 0x19) << int(Verdict::WrongNodes) << 0;
    QTest::newRow("SA1 not the controller") << with(7, 0x16) << int(Verdict::WrongNodes) << 0;
    QTest::newRow("nodes not exchanged")
        << fromHex("C0 00 02 00 17 00 00 18 00 FF 0101 0000 AABB CCDD") << int(Verdict::WrongNodes) << 0;
    QTest::newRow("a command, not a response") << with(0, 0x80) << int(Verdict::Malformed) << 0;
    QTest::newRow("our request echoed")
        << fromHex("80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002") << int(Verdict::Malformed) << 0;
    QTest::newRow("no end code") << good.left(13) << int(Verdict::Malformed) << 0;
    QTest::newRow("empty") << QByteArray() << int(Verdict::Malformed) << 0;
    QTest::newRow("longer than any FINS frame")
        << good + QByteArray(2012 - good.size() + 1, '\0') << int(Verdict::Malformed) << 0;
}

void TestFinsUdpFrames::checkAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, verdict);
    QFETCH(int, endCode);
    const QByteArray request = fromHex("80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002");
    QCOMPARE(int(FinsCommand::checkAnswer(request, answer)), verdict);
    if (verdict == int(Verdict::Ours)) {
        QCOMPARE(int(FinsCommand::endCode(answer)), endCode);
        QCOMPARE(FinsCommand::isNormalCompletion(FinsCommand::endCode(answer)), (endCode & 0x7F3F) == 0);
    }
}

void TestFinsUdpFrames::connectionText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("plc");
    QTest::addColumn<int>("node");
    QTest::addColumn<int>("local");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("retries");
    // plc / node 0: derived from the addresses when connecting.
    QTest::newRow("defaults") << "192.168.250.1:9600" << "192.168.250.1" << 9600 << 0 << 0 << 0 << 500 << 2;
    QTest::newRow("every setting")
        << "10.0.0.5:9601,plc=5,node=254,local=9600,timeout=1500,retries=0" << "10.0.0.5" << 9601 << 5 << 254
        << 9600 << 1500 << 0;
    QTest::newRow("any order, blanks, upper case")
        << " 10.0.0.5:9600 , RETRIES=10 ,timeout = 1, node=1 ,plc=254" << "10.0.0.5" << 9600 << 254 << 1 << 0 << 1
        << 10;
    QTest::newRow("limits") << "1.2.3.4:65535,local=65535,timeout=60000" << "1.2.3.4" << 65535 << 0 << 0 << 65535
                            << 60000 << 2;
    QTest::newRow("port with leading zero") << "10.0.0.5:09600" << "10.0.0.5" << 9600 << 0 << 0 << 0 << 500 << 2;
}

void TestFinsUdpFrames::connectionText()
{
    QFETCH(QString, text);
    UdpConnectionText::Settings settings;
    QString error;
    QVERIFY2(UdpConnectionText::parse(text, &settings, &error), qPrintable(error));
    QTEST(settings.address, "address");
    QTEST(int(settings.port), "port");
    QTEST(settings.plcNode, "plc");
    QTEST(settings.localNode, "node");
    QTEST(int(settings.localPort), "local");
    QTEST(settings.timeoutMs, "timeout");
    QTEST(settings.retries, "retries");
}

void TestFinsUdpFrames::refusedConnectionText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named"); // what the error must quote
    QTest::newRow("no port") << "10.0.0.5" << "10.0.0.5";
    QTest::newRow("empty port") << "10.0.0.5:" << "\"\"";
    QTest::newRow("port 0") << "10.0.0.5:0" << "\"0\"";
    QTest::newRow("port too large") << "10.0.0.5:65536" << "65536";
    QTest::newRow("port with sign") << "10.0.0.5:+9600" << "+9600";
    QTest::newRow("host name") << "plc:9600" << "plc";
    QTest::newRow("three octets") << "10.0.5:9600" << "10.0.5";
    QTest::newRow("octet with leading zero") << "10.0.0.010:9600" << "10.0.0.010";
    QTest::newRow("octet above 255") << "10.0.0.256:9600" << "10.0.0.256";
    QTest::newRow("IPv6") << "::1:9600" << "::1:9600";
    QTest::newRow("unspecified address") << "0.0.0.0:9600" << "0.0.0.0";
    QTest::newRow("broadcast") << "255.255.255.255:9600" << "255.255.255.255";
    QTest::newRow("multicast") << "224.0.0.1:9600" << "224.0.0.1";
    QTest::newRow("unknown setting") << "10.0.0.5:9600,unit=1" << "unit=1";
    QTest::newRow("repeated setting") << "10.0.0.5:9600,plc=1,timeout=10,plc=1" << "plc=1";
    QTest::newRow("no value") << "10.0.0.5:9600,node" << "node";
    QTest::newRow("empty value") << "10.0.0.5:9600,node=" << "node=";
    QTest::newRow("plc 0") << "10.0.0.5:9600,plc=0" << "plc=0";
    QTest::newRow("plc 255") << "10.0.0.5:9600,plc=255" << "plc=255";
    QTest::newRow("node not a number") << "10.0.0.5:9600,node=1x" << "node=1x";
    QTest::newRow("node hex") << "10.0.0.5:9600,node=0x10" << "node=0x10";
    QTest::newRow("local 0") << "10.0.0.5:9600,local=0" << "local=0";
    QTest::newRow("local 65536") << "10.0.0.5:9600,local=65536" << "local=65536";
    QTest::newRow("timeout 0") << "10.0.0.5:9600,timeout=0" << "timeout=0";
    QTest::newRow("timeout above a minute") << "10.0.0.5:9600,timeout=60001" << "timeout=60001";
    QTest::newRow("negative retries") << "10.0.0.5:9600,retries=-1" << "retries=-1";
    QTest::newRow("retries 11") << "10.0.0.5:9600,retries=11" << "retries=11";
    QTest::newRow("two values") << "10.0.0.5:9600,retries=1=2" << "retries=1=2";
    QTest::newRow("trailing comma") << "10.0.0.5:9600," << "\"\"";
    QTest::newRow("empty text") << "" << "\"\"";
}

void TestFinsUdpFrames::refusedConnectionText()
{
    QFETCH(QString, text);
    QFETCH(QString, named);
    UdpConnectionText::Settings settings;
    settings.retries = 7;
    QString error;
    QVERIFY(!UdpConnectionText::parse(text, &settings, &error));
    QVERIFY2(error.contains(named), qPrintable(error));
    QCOMPARE(settings.retries, 7); // untouched
}

QTEST_GUILESS_MAIN(TestFinsUdpFrames)
#include "tst_finsudpframes.moc"
