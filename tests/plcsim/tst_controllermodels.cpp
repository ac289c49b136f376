// The simulator playing a given controller: frame limits, areas, controller
// data, status and clock, on FINS/TCP, FINS/UDP and Host Link alike.

#include "PlcSimulator.h"
#include "RawClient.h"
#include "TestSupport.h"

#include <QtTest>

using namespace plcsim;
using testsupport::fromHex;

namespace {

struct Answer {
    int endCode = -1;
    QByteArray data;
};

// `commandHex` then `extraWords` words of 00 00 (write data).
QByteArray command(const QByteArray &commandHex, int extraWords)
{
    return fromHex(commandHex.constData()) + QByteArray(2 * extraWords, '\0');
}

Answer overTcp(Simulator &sim, const QByteArray &cmd)
{
    rawclient::Tcp client;
    if (!client.connectTo(sim.startFins()))
        return {};
    client.send(rawclient::nodeRequest(5));
    client.readFinsFrame();
    client.send(rawclient::finsCommand(cmd.toHex().constData()));
    const QByteArray a = client.readFinsFrame();
    return {rawclient::endCodeOf(a), a.mid(30)};
}

Answer overUdp(Simulator &sim, const QByteArray &cmd)
{
    rawclient::Udp client;
    if (!client.bind())
        return {};
    client.sendTo(fromHex("80 00 02 00 01 00 00 05 00 07") + cmd, sim.startFinsUdp());
    const QByteArray a = client.receive();
    if (a.size() < 14)
        return {};
    return {(quint8(a.at(12)) << 8) | quint8(a.at(13)), a.mid(14)};
}

Answer overHostLink(Simulator &sim, const QByteArray &cmd)
{
    rawclient::Tcp client;
    if (!client.connectTo(sim.startHostLinkTcp()))
        return {};
    client.send(rawclient::hostLinkFrame("00FA000000000" + cmd.toHex().toUpper()));
    const QByteArray a = client.readLine();
    if (a.size() < 27)
        return {};
    return {a.mid(19, 4).toInt(nullptr, 16), QByteArray::fromHex(a.mid(23, a.size() - 27))};
}

} // namespace

class TestControllerModels : public QObject
{
    Q_OBJECT

private slots:
    void limitsAndAreas_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("carrier");
        QTest::addColumn<QByteArray>("commandHex");
        QTest::addColumn<int>("dataWords");
        QTest::addColumn<int>("endCode");
        QTest::addColumn<int>("answerBytes");
        QTest::newRow("cp1l-e 502") << "cp1l-e" << "tcp" << QByteArray("0101 82 0000 00 01F6") << 0 << 0x110B << 0;
        QTest::newRow("cp1l-e no EM") << "cp1l-e" << "tcp" << QByteArray("0101 A0 0000 00 0001") << 0 << 0x1101 << 0;
        QTest::newRow("cp1l-e udp 502") << "cp1l-e" << "udp" << QByteArray("0101 82 0000 00 01F6") << 0 << 0x110B << 0;
        QTest::newRow("cp1l-e udp write 500") << "cp1l-e" << "udp" << QByteArray("0102 82 0000 00 01F4") << 500 << 0x1001 << 0;
        QTest::newRow("cp1e 269") << "cp1e" << "udp" << QByteArray("0101 82 0000 00 010D") << 0 << 0 << 538;
        QTest::newRow("cp1e write 268") << "cp1e" << "tcp" << QByteArray("0102 82 0000 00 010C") << 268 << 0x1001 << 0;
        QTest::newRow("cp1e D8192") << "cp1e" << "tcp" << QByteArray("0101 82 2000 00 0001") << 0 << 0x1103 << 0;
        QTest::newRow("cp1e host link write 268") << "cp1e" << "hostlink" << QByteArray("0102 82 0000 00 010C") << 268 << 0x1001 << 0;
    }
    void limitsAndAreas()
    {
        QFETCH(QString, model);
        QFETCH(QString, carrier);
        QFETCH(QByteArray, commandHex);
        QFETCH(int, dataWords);
        QFETCH(int, endCode);
        QFETCH(int, answerBytes);
        Simulator sim;
        ControllerModel m;
        QVERIFY(ControllerModel::byName(model, &m));
        sim.setModel(m);
        const QByteArray cmd = command(commandHex, dataWords);
        const Answer a = carrier == "tcp" ? overTcp(sim, cmd) : carrier == "udp" ? overUdp(sim, cmd) : overHostLink(sim, cmd);
        QCOMPARE(a.endCode, endCode);
        QCOMPARE(a.data.size(), answerBytes);
        QCOMPARE(sim.stats().writes, commandHex.startsWith("0102") && endCode == 0 ? 1 : 0);
    }

    void controllerData()
    {
        Simulator sim;
        ControllerModel m;
        QVERIFY(ControllerModel::byName(QStringLiteral("cp1e"), &m));
        sim.setModel(m);
        const Answer a = overTcp(sim, fromHex("0501 00"));
        QCOMPARE(a.endCode, 0);
        QCOMPARE(a.data.size(), 92);
        QCOMPARE(a.data.left(20), QByteArray("CP1E-N40DT-D        "));
        QCOMPARE(a.data.mid(20, 20), QByteArray("01.00").leftJustified(20, '\0'));
        QCOMPARE(a.data.mid(83, 2), fromHex("2000")); // DM words
        QCOMPARE(a.data.at(86), '\0');                // no EM banks
    }

    // Mode, flags and message as 06 01 carries them; the error flags show in
    // every answer's SRES.
    void status()
    {
        Simulator sim;
        ControllerCondition c;
        c.mode = Mode::Program;
        c.nonFatalFlags = 0x0800;
        c.errorCode = 0x0009;
        c.message = "BATTERY LOW";
        sim.setCondition(c);
        const Answer a = overHostLink(sim, fromHex("0601"));
        QCOMPARE(a.endCode, 0x0040);
        QCOMPARE(a.data, fromHex("00 00 0000 0800 0001 0009") + "BATTERY LOW     ");
        QCOMPARE(overTcp(sim, fromHex("0101 82 0000 00 0001")).endCode, 0x0040);
    }

    void clock()
    {
        Simulator sim;
        sim.setClock(QDateTime(QDate(2026, 12, 9), QTime(15, 4, 0)));
        const Answer read = overTcp(sim, fromHex("0701"));
        QCOMPARE(read.endCode, 0);
        QCOMPARE(read.data.size(), 7);
        QCOMPARE(read.data.left(5), fromHex("26 12 09 15 04"));
        QCOMPARE(read.data.at(6), '\x03'); // Wednesday

        QCOMPARE(overUdp(sim, fromHex("0702 27 01 02 03 04 05")).endCode, 0);
        QCOMPARE(sim.clock().date(), QDate(2027, 1, 2));
        QCOMPARE(overTcp(sim, fromHex("0702 26 13 01 00 00")).endCode, 0x110C); // month 13
        QCOMPARE(overTcp(sim, fromHex("0702 26 02 30 00 00")).endCode, 0x110C); // 30 February
        QCOMPARE(overTcp(sim, fromHex("0702 26 01")).endCode, 0x1002);
        QCOMPARE(sim.clock().date(), QDate(2027, 1, 2));
    }
};

QTEST_GUILESS_MAIN(TestControllerModels)
#include "tst_controllermodels.moc"
