// The simulator's controller commands (its frame limits are exercised through
// the plug-ins): controller data, status and clock, byte for byte.

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

        QCOMPARE(overHostLink(sim, fromHex("0702 27 01 02 03 04 05")).endCode, 0);
        QCOMPARE(sim.clock().date(), QDate(2027, 1, 2));
        QCOMPARE(overTcp(sim, fromHex("0702 26 13 01 00 00")).endCode, 0x110C); // month 13
        QCOMPARE(overTcp(sim, fromHex("0702 26 02 30 00 00")).endCode, 0x110C); // 30 February
        QCOMPARE(overTcp(sim, fromHex("0702 26 01")).endCode, 0x1002);
        QCOMPARE(sim.clock().date(), QDate(2027, 1, 2));
    }
};

QTEST_GUILESS_MAIN(TestControllerModels)
#include "tst_controllermodels.moc"
