// The plcctl program run as a user runs it: against its built-in simulator
// and against a simulator started here, through both plug-ins.

#include "PlcSimulator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QUdpSocket>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <functional>

namespace {

struct Run {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

// Generous bound: a Host Link read that gets no answer waits 2 s by design.
constexpr int RunTimeoutMs = 60000;

Run plcctl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(PLCCTL_PROGRAM), arguments);
    Run run;
    if (!process.waitForFinished(RunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.crashed = true;
    }
    run.crashed = run.crashed || process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList outLines(const Run &run)
{
    return run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QJsonObject jsonObject(const QString &line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "bad JSON line:" << line << error.errorString();
    return doc.object();
}

QString describe(const Run &run)
{
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3").arg(run.exitCode).arg(run.out, run.err);
}

QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

#define VERIFY_RUN(condition, run) QVERIFY2(condition, qPrintable(describe(run)))

class TestPlcctlRun : public QObject
{
    Q_OBJECT

private slots:
    void builtInSimulatorRead_data();
    void builtInSimulatorRead();
    void writeAndReadBack_data();
    void writeAndReadBack();
    void info();

    void valuesLandInControllerLayout();
    void hostLinkOverTcpAndSerial();
    void crossDriverOneMemory();
    void wrongUnitGetsNoAnswer();
    void errorEndCodeFails();

    void watchAppendsLinesWhenNotATerminal();
    void watchEndsCleanlyOnInterrupt();
    void jsonOutputParses();
    void traceShowsFrames_data();
    void traceShowsFrames();

    void badArguments_data();
    void badArguments();
    void failures_data();
    void failures();

    void doctorHealthy_data();
    void doctorHealthy();
    void doctorHealthyUdp();
    void doctorCModeRunMode();
    void doctorNamesTheFailingStep_data();
    void doctorNamesTheFailingStep();
};

void TestPlcctlRun::builtInSimulatorRead_data()
{
    QTest::addColumn<QString>("driver");
    QTest::newRow("fins") << "fins";
    QTest::newRow("hostlink") << "hostlink";
    QTest::newRow("finsudp") << "finsudp";
    QTest::newRow("hostlinkc") << "hostlinkc";
    QTest::newRow("alias finsnet") << "finsnet";
    QTest::newRow("alias hlink") << "HLink";
    // A path: which simulator fits is found from the loaded driver's name.
    QTest::newRow("FINS plug-in by path") << PLC_FINS_PLUGIN;
    QTest::newRow("Host Link plug-in by path") << PLC_HLINK_PLUGIN;
}

void TestPlcctlRun::builtInSimulatorRead()
{
    QFETCH(QString, driver);
    const Run run = plcctl({driver, QStringLiteral("read"), QStringLiteral("D100"), QStringLiteral("Int16"),
                            QStringLiteral("4")});
    VERIFY_RUN(!run.crashed && run.exitCode == 0, run);
    QCOMPARE(run.out, QStringLiteral("D100 Int16[4] = 0 0 0 0\n"));
    QVERIFY(run.err.contains(QLatin1String("built-in simulator")));
}

void TestPlcctlRun::writeAndReadBack_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("shown"); // the values as plcctl prints them back

    struct Row {
        const char *name, *address, *type, *values, *shown;
    };
    const Row rows[] = {
        {"Int16", "D100", "Int16", "-1 2 -32768", "-1 2 -32768"},
        {"UInt16 hex", "W5", "uint16", "0xFFFF 0", "65535 0"},
        {"Int32", "D200", "Int32", "-100000 2147483647", "-100000 2147483647"},
        {"UInt32", "H10", "UInt32", "4294967295", "4294967295"},
        {"Float", "D300", "Float", "-123.456 0.1 -inf", "-123.456 0.1 -inf"},
        {"Int64", "D400", "Int64", "-9223372036854775808 1", "-9223372036854775808 1"},
        {"UInt64", "EM1100", "UInt64", "18446744073709551615", "18446744073709551615"},
        {"Double", "D500", "Double", "3.141592653589793 -1e-300", "3.141592653589793 -1e-300"},
        {"Bool across a word", "D600.14", "Bool", "1 1 0 1", "1 1 0 1"},
        {"CIO bit", "CIO10.3", "Bool", "on", "1"},
        {"Int8 odd count", "D700", "Int8", "-128 127 -1", "-128 127 -1"},
        {"UInt8", "A448", "UInt8", "255 0", "255 0"},
    };
    for (const char *driver : {"fins", "finsudp", "hostlink"}) {
        for (const Row &row : rows) {
            QTest::addRow("%s %s", driver, row.name)
                << driver << row.address << row.type << words(row.values) << row.shown;
        }
    }
}

void TestPlcctlRun::writeAndReadBack()
{
    QFETCH(QString, driver);
    QFETCH(QString, address);
    QFETCH(QString, type);
    QFETCH(QStringList, values);
    QFETCH(QString, shown);
    const Run run = plcctl(QStringList{driver, QStringLiteral("write"), address, type} + values);
    VERIFY_RUN(!run.crashed && run.exitCode == 0, run);
    const QStringList lines = outLines(run);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith(QLatin1String("wrote ")), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(0).endsWith(QStringLiteral(" = ") + shown), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).startsWith(QStringLiteral("read back ") + address), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(1).endsWith(QStringLiteral(" = ") + shown), qPrintable(lines.at(1)));
}

void TestPlcctlRun::info()
{
    Run run = plcctl(words("fins info"));
    VERIFY_RUN(run.exitCode == 0, run);
    QVERIFY(run.out.contains(QLatin1String("driver:      FinsNet\n")));
    QVERIFY(run.out.contains(QLatin1String("version:     V1.7.4 20230221\n")));
    QVERIFY(run.out.contains(QRegularExpression(QStringLiteral("build:       v1\\.7\\.4 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n"))));
    run = plcctl(words("hostlink --json info"));
    VERIFY_RUN(run.exitCode == 0, run);
    const QJsonObject o = jsonObject(outLines(run).value(0));
    QCOMPARE(o.value("driver").toString(), QStringLiteral("HLink"));
    QCOMPARE(o.value("version").toString(), QStringLiteral("V1.0.1 20230221"));
    QVERIFY(o.value("buildVersion").toString().startsWith(QLatin1String("v1.0.1 ")));
    QCOMPARE(o.value("simulator").toBool(), true);
    QVERIFY(o.value("connection").toString().endsWith(QLatin1String(",115200,8,1,E")));
}

// Multi-word values are stored lowest word first, each word high byte first:
// REAL -123.456 is E979 in D100 and C2F6 in D101; 0x14020187 is 0187, 1402.
void TestPlcctlRun::valuesLandInControllerLayout()
{
    plcsim::Simulator sim;
    const quint16 port = sim.startFins();
    QVERIFY(port != 0);
    const QString connect = QStringLiteral("--connect=127.0.0.1:%1").arg(port);

    Run run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("write"), QStringLiteral("D100"),
                      QStringLiteral("Float"), QStringLiteral("-123.456")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(sim.word(plcsim::Area::D, 100), quint16(0xE979));
    QCOMPARE(sim.word(plcsim::Area::D, 101), quint16(0xC2F6));

    run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("write"), QStringLiteral("D200"),
                  QStringLiteral("UInt32"), QStringLiteral("0x14020187")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(sim.word(plcsim::Area::D, 200), quint16(0x0187));
    QCOMPARE(sim.word(plcsim::Area::D, 201), quint16(0x1402));

    // LREAL 1.0 (3FF0 0000 0000 0000): lowest word first.
    run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("write"), QStringLiteral("D400"),
                  QStringLiteral("Double"), QStringLiteral("1")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(sim.words(plcsim::Area::D, 400, 4), QByteArray::fromHex("0000000000003FF0"));

    // Bytes: element 2k is the high byte of word k. An odd count leaves the
    // other byte of the last word as it was.
    sim.setWord(plcsim::Area::D, 501, 0x00AA);
    run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("write"), QStringLiteral("D500"),
                  QStringLiteral("UInt8"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(sim.words(plcsim::Area::D, 500, 2), QByteArray::fromHex("010203AA"));

    // Bits count from bit 0 of the first word and carry into the next word.
    run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("write"), QStringLiteral("D600.15"),
                  QStringLiteral("Bool"), QStringLiteral("1"), QStringLiteral("1")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(sim.words(plcsim::Area::D, 600, 2), QByteArray::fromHex("80000001"));

    // A bit write touches that bit only.
    sim.setWord(plcsim::Area::W, 5, 0x8001);
    run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("write"), QStringLiteral("W5.3"),
                  QStringLiteral("Bool"), QStringLiteral("1")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(sim.word(plcsim::Area::W, 5), quint16(0x8009));

    // Reads show what the controller holds.
    sim.setWord(plcsim::Area::D, 300, 0x1234);
    sim.setWord(plcsim::Area::D, 301, 0xABCD);
    run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("read"), QStringLiteral("D300"),
                  QStringLiteral("UInt16"), QStringLiteral("2")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(run.out, QStringLiteral("D300 UInt16[2] = 4660 43981\n"));
    QVERIFY(!run.err.contains(QLatin1String("built-in simulator")));
}

void TestPlcctlRun::hostLinkOverTcpAndSerial()
{
    plcsim::Simulator sim;
    sim.setUnit(3);
    const quint16 port = sim.startHostLinkTcp();
    QVERIFY(port != 0);
    const QString device = sim.startHostLinkSerial(9600);
    QVERIFY(!device.isEmpty());
    sim.setWord(plcsim::Area::D, 10, 0xFFFE);

    const QStringList connections = {QStringLiteral("127.0.0.1:%1").arg(port),
                                     QStringLiteral("%1,9600,8,1,E").arg(device)};
    for (const QString &connection : connections) {
        Run run = plcctl({QStringLiteral("--connect"), connection, QStringLiteral("--unit"), QStringLiteral("3"),
                          QStringLiteral("hostlink"), QStringLiteral("read"), QStringLiteral("D10"),
                          QStringLiteral("Int16")});
        VERIFY_RUN(run.exitCode == 0, run);
        QCOMPARE(run.out, QStringLiteral("D10 Int16 = -2\n"));

        run = plcctl({QStringLiteral("--connect"), connection, QStringLiteral("--unit=3"), QStringLiteral("hostlink"),
                      QStringLiteral("write"), QStringLiteral("D20"), QStringLiteral("Int32"),
                      QStringLiteral("-2")});
        VERIFY_RUN(run.exitCode == 0, run);
        QCOMPARE(sim.word(plcsim::Area::D, 20), quint16(0xFFFE));
        QCOMPARE(sim.word(plcsim::Area::D, 21), quint16(0xFFFF));
        sim.setWord(plcsim::Area::D, 20, 0);
        sim.setWord(plcsim::Area::D, 21, 0);
    }
}

void TestPlcctlRun::crossDriverOneMemory()
{
    plcsim::Simulator sim;
    const quint16 finsPort = sim.startFins();
    const quint16 hostLinkPort = sim.startHostLinkTcp();
    QVERIFY(finsPort != 0 && hostLinkPort != 0);
    Run run = plcctl({QStringLiteral("--connect=127.0.0.1:%1").arg(finsPort), QStringLiteral("fins"),
                      QStringLiteral("write"), QStringLiteral("D1000"), QStringLiteral("Double"),
                      QStringLiteral("-2.5e-7"), QStringLiteral("1e300")});
    VERIFY_RUN(run.exitCode == 0, run);
    run = plcctl({QStringLiteral("--connect=127.0.0.1:%1").arg(hostLinkPort), QStringLiteral("--unit=0"),
                  QStringLiteral("hostlink"), QStringLiteral("read"), QStringLiteral("D1000"), QStringLiteral("Double"),
                  QStringLiteral("2")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(run.out, QStringLiteral("D1000 Double[2] = -2.5e-07 1e+300\n"));
}

// On a multidrop line a frame for another unit gets no answer.
void TestPlcctlRun::wrongUnitGetsNoAnswer()
{
    plcsim::Simulator sim;
    const quint16 port = sim.startHostLinkTcp();
    QVERIFY(port != 0);
    const Run run = plcctl({QStringLiteral("--connect=127.0.0.1:%1").arg(port), QStringLiteral("--unit=4"),
                            QStringLiteral("hostlink"), QStringLiteral("read"), QStringLiteral("D0"),
                            QStringLiteral("Int16")});
    VERIFY_RUN(run.exitCode == 1, run);
    QVERIFY(run.out.isEmpty());
    VERIFY_RUN(run.err.contains(QLatin1String("read D0 Int16: result 8 (no answer)")), run);
}

void TestPlcctlRun::errorEndCodeFails()
{
    plcsim::Simulator sim;
    const quint16 port = sim.startFins();
    QVERIFY(port != 0);
    plcsim::Faults faults;
    faults.endCode = 0x1103;
    sim.setFaults(faults);
    const QString connect = QStringLiteral("--connect=127.0.0.1:%1").arg(port);
    Run run = plcctl({connect, QStringLiteral("fins"), QStringLiteral("read"), QStringLiteral("D0"),
                      QStringLiteral("Int16")});
    VERIFY_RUN(run.exitCode == 1, run);
    VERIFY_RUN(run.err.contains(QLatin1String("result 7 (protocol error or bad answer)")), run);
    QVERIFY(run.err.contains(QLatin1String("1103"))); // the plug-in's warning names the end code

    run = plcctl({connect, QStringLiteral("--json"), QStringLiteral("fins"), QStringLiteral("write"),
                  QStringLiteral("D0"), QStringLiteral("Int16"), QStringLiteral("7")});
    VERIFY_RUN(run.exitCode == 1, run);
    QCOMPARE(sim.word(plcsim::Area::D, 0), quint16(0));
    const QStringList lines = outLines(run);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(jsonObject(lines.at(0)).value("errorCode").toInt(), 7);
    QCOMPARE(jsonObject(lines.at(1)).value("op").toString(), QStringLiteral("readback"));
    QCOMPARE(jsonObject(lines.at(1)).value("matches").toBool(), false);
}

void TestPlcctlRun::watchAppendsLinesWhenNotATerminal()
{
    plcsim::Simulator sim;
    const quint16 port = sim.startFins();
    QVERIFY(port != 0);
    sim.setWord(plcsim::Area::D, 100, 7);
    sim.setWord(plcsim::Area::W, 5, 0x0008);
    const Run run = plcctl({QStringLiteral("--connect=127.0.0.1:%1").arg(port), QStringLiteral("fins"),
                            QStringLiteral("watch"), QStringLiteral("D100:Int16:2"), QStringLiteral("W5.3:Bool"),
                            QStringLiteral("--interval"), QStringLiteral("20"), QStringLiteral("--count"),
                            QStringLiteral("2")});
    VERIFY_RUN(run.exitCode == 0, run);
    QVERIFY2(!run.out.contains(QLatin1Char('\x1b')), "no terminal control codes into a pipe");
    const QStringList lines = outLines(run);
    QCOMPARE(lines.size(), 4);
    const QRegularExpression d100(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} D100:Int16:2 = 7 0 result 0 \\(success\\) ([0-9.]+|-) reads/s$"));
    const QRegularExpression w5(QStringLiteral("W5\\.3:Bool = 1 result 0 \\(success\\) ([0-9.]+|-) reads/s$"));
    QVERIFY2(d100.match(lines.at(0)).hasMatch(), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(0).endsWith(QLatin1String(" - reads/s")), "no rate after one read");
    QVERIFY2(w5.match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
    QVERIFY2(d100.match(lines.at(2)).hasMatch(), qPrintable(lines.at(2)));
    QVERIFY2(w5.match(lines.at(3)).hasMatch(), qPrintable(lines.at(3)));
}

void TestPlcctlRun::watchEndsCleanlyOnInterrupt()
{
    QProcess process;
    process.start(QStringLiteral(PLCCTL_PROGRAM), words("fins watch D0:Int16 --interval 50"));
    QVERIFY(process.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).count('\n') >= 2, 30000);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    out += process.readAllStandardOutput();
    QVERIFY(out.endsWith('\n')); // no round cut in half
}

void TestPlcctlRun::jsonOutputParses()
{
    Run run = plcctl(words("--json fins read D100 Int16 3"));
    VERIFY_RUN(run.exitCode == 0, run);
    QStringList lines = outLines(run);
    QCOMPARE(lines.size(), 1);
    QJsonObject o = jsonObject(lines.at(0));
    QCOMPARE(o.value("op").toString(), QStringLiteral("read"));
    QCOMPARE(o.value("address").toString(), QStringLiteral("D100"));
    QCOMPARE(o.value("type").toString(), QStringLiteral("Int16"));
    QCOMPARE(o.value("count").toInt(), 3);
    QCOMPARE(o.value("errorCode").toInt(), 0);
    QCOMPARE(o.value("values").toArray(), (QJsonArray{0, 0, 0}));
    QVERIFY(QDateTime::fromString(o.value("timestamp").toString(), Qt::ISODateWithMs).isValid());

    run = plcctl(words("--json hostlink write D5 Float 1.5 nan"));
    VERIFY_RUN(run.exitCode == 0, run);
    lines = outLines(run);
    QCOMPARE(lines.size(), 2);
    o = jsonObject(lines.at(1));
    QCOMPARE(o.value("op").toString(), QStringLiteral("readback"));
    QCOMPARE(o.value("values").toArray(), (QJsonArray{1.5, QStringLiteral("NaN")}));
    QCOMPARE(o.value("matches").toBool(), true);

    run = plcctl(words("--json fins watch D1:UInt64 X1:Int16 --interval 0 --count 2"));
    VERIFY_RUN(run.exitCode == 1, run); // X1 fails every round
    lines = outLines(run);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(jsonObject(lines.at(2)).value("round").toInt(), 2);
    QCOMPARE(jsonObject(lines.at(3)).value("errorCode").toInt(), 3);
    QCOMPARE(jsonObject(lines.at(3)).value("result").toString(), QStringLiteral("unknown area"));
    QVERIFY(jsonObject(lines.at(3)).value("values").isNull());

    run = plcctl(words("--json --connect 127.0.0.1:1 fins read D0 Int16"));
    QCOMPARE(run.exitCode, 4);
    o = jsonObject(outLines(run).value(0));
    QCOMPARE(o.value("op").toString(), QStringLiteral("connect"));
    QCOMPARE(o.value("code").toInt(), -3);
}

void TestPlcctlRun::traceShowsFrames_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("request"); // part of the logged request frame, lower-case hex
    // FINS: Memory Area Read (0101) of D (82), word 100 (0064), bit 0, 1 item.
    QTest::newRow("fins") << "fins" << "lib[FinsNet]" << "0101820064000001";
    // Host Link: "@00FA" in hex.
    QTest::newRow("hostlink") << "hostlink" << "lib[HLink]" << "4030304641";
    // C-mode: "@00RD" in hex.
    QTest::newRow("hostlinkc") << "hostlinkc" << "lib[HLinkC]" << "4030305244";
    // FINS/UDP: the bare FINS frame to node 10 (0a) from node 1, then the read.
    QTest::newRow("finsudp") << "finsudp" << "lib[FinsUdp]" << "800002000a0000010001" "0101820064000001";
}

void TestPlcctlRun::traceShowsFrames()
{
    QFETCH(QString, driver);
    QFETCH(QString, prefix);
    QFETCH(QString, request);
    Run run = plcctl({QStringLiteral("--trace"), driver, QStringLiteral("read"), QStringLiteral("D100"),
                      QStringLiteral("Int16")});
    VERIFY_RUN(run.exitCode == 0, run);
    QCOMPARE(run.out, QStringLiteral("D100 Int16 = 0\n")); // frames never go to stdout
    const QStringList traces = run.err.split(QLatin1Char('\n')).filter(QStringLiteral("trace: ") + prefix);
    VERIFY_RUN(traces.size() >= 2, run); // the request and its answer
    VERIFY_RUN(traces.filter(request, Qt::CaseInsensitive).size() >= 1, run);

    run = plcctl({driver, QStringLiteral("read"), QStringLiteral("D100"), QStringLiteral("Int16")});
    VERIFY_RUN(run.exitCode == 0, run);
    QVERIFY2(!run.err.contains(QLatin1String("trace:")), qPrintable(run.err));
}

void TestPlcctlRun::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("unknown type") << words("fins read D100 Int17") << "'Int17'";
    QTest::newRow("unknown command") << words("fins frobnicate") << "'frobnicate'";
    QTest::newRow("unknown option") << words("--bogus fins info") << "'--bogus'";
    QTest::newRow("value out of range") << words("fins write D100 Int16 70000") << "'70000'";
    QTest::newRow("value format") << words("fins write D100 Float 1,5") << "'1,5'";
    QTest::newRow("bad tag") << words("fins watch D100") << "'D100'";
    QTest::newRow("count option on read") << words("fins read D100 Int16 --count 2") << "--count";
    QTest::newRow("bad unit") << words("--unit x hostlink info") << "'x'";
}

void TestPlcctlRun::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const Run run = plcctl(arguments);
    VERIFY_RUN(!run.crashed && run.exitCode == 2, run);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.startsWith(QLatin1String("plcctl: ")), qPrintable(run.err));
    QVERIFY2(run.err.section(QLatin1Char('\n'), 0, 0).contains(named), qPrintable(run.err));
    QVERIFY(run.err.contains(QLatin1String("Usage: plcctl")));
    // Nothing was started for a bad command line.
    QVERIFY(!run.err.contains(QLatin1String("using the built-in simulator")));
}

void TestPlcctlRun::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown area") << words("fins read X100 Int16") << 1 << "read X100 Int16: result 3 (unknown area)";
    QTest::newRow("unknown area hostlink") << words("hostlink read X100 Int16") << 1 << "result 3 (unknown area)";
    QTest::newRow("count 0") << words("fins read D100 Int16 0") << 1 << "result 4 (count below 1)";
    QTest::newRow("past 65535") << words("fins read D65535 Int16 2") << 1 << "result 5 (address out of range)";
    QTest::newRow("malformed word") << words("fins read D1O0 Int16") << 1 << "result 5 (address out of range)";
    QTest::newRow("write to unknown area") << words("fins write X1 Int16 5") << 1 << "result 3 (unknown area)";
    QTest::newRow("unknown driver") << words("modbus read D0 Int16") << 3 << "unknown driver 'modbus'";
    QTest::newRow("missing plug-in file") << words("/nonexistent/libX.so info") << 3 << "not found";
    QTest::newRow("connection refused") << words("--connect 127.0.0.1:1 fins info") << 4
                                        << "ConnectDrive returned -3 (no TCP connection could be established)";
    QTest::newRow("finsudp port closed") << words("--connect 127.0.0.1:1 finsudp info") << 4
                                         << "returned -3 (the address is unreachable or the controller's UDP port";
    QTest::newRow("finsudp unknown setting") << words("--connect 127.0.0.1:9600,unit=3 finsudp info") << 4
                                             << "returned -1";
    QTest::newRow("fins text without port") << words("--connect 127.0.0.1 fins info") << 4 << "returned -1";
    QTest::newRow("fins port 0") << words("--connect 127.0.0.1:0 fins info") << 4 << "returned -1";
    QTest::newRow("hostlink text without separator") << words("--connect ttyS0 hostlink info") << 4
                                                     << "returned -4 (connection text has neither";
    QTest::newRow("hostlink missing device") << words("--connect /nonexistent/tty,9600,8,1,E hostlink info") << 4
                                             << "returned -1";
}

void TestPlcctlRun::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run = plcctl(arguments);
    VERIFY_RUN(!run.crashed && run.exitCode == exitCode, run);
    VERIFY_RUN(run.err.contains(message), run);
    QVERIFY(!run.err.contains(QLatin1String("Usage:")));
}

void TestPlcctlRun::doctorHealthy_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("fins") << "fins" << words("syntax reach handshake read controller");
    QTest::newRow("hostlink") << "hostlink" << words("syntax port read controller");
    QTest::newRow("hostlinkc") << "hostlinkc" << words("syntax port status read mode");
}

// With no connection text doctor examines the built-in simulator: every step passes.
void TestPlcctlRun::doctorHealthy()
{
    QFETCH(QString, driver);
    QFETCH(QStringList, steps);
    Run run = plcctl({driver, QStringLiteral("doctor")});
    VERIFY_RUN(!run.crashed && run.exitCode == 0, run);
    VERIFY_RUN(outLines(run).filter(QStringLiteral("[ ok ]")).size() == steps.size(), run);
    VERIFY_RUN(run.out.endsWith(QLatin1String("doctor: the test read worked\n")), run);
    if (driver == QLatin1String("fins")) // the simulator is FINS node 1
        VERIFY_RUN(run.out.contains(QRegularExpression(QStringLiteral("node handshake: we are node \\d+, the PLC is node 1\n"))), run);

    run = plcctl({QStringLiteral("--json"), driver, QStringLiteral("doctor")});
    VERIFY_RUN(run.exitCode == 0 && outLines(run).size() == 1, run);
    const QJsonObject o = jsonObject(run.out);
    QCOMPARE(o.value("ok").toBool(), true);
    QVERIFY(o.value("failedStep").isNull());
    QCOMPARE(o.value("simulator").toBool(), true);
    QStringList ids;
    for (const QJsonValue &step : o.value("steps").toArray()) {
        ids.append(step.toObject().value("step").toString());
        QCOMPARE(step.toObject().value("outcome").toString(), QStringLiteral("ok"));
    }
    QCOMPARE(ids, steps);
}

// A controller in RUN mode: C-mode reads work, writes will be refused; doctor says so.
void TestPlcctlRun::doctorCModeRunMode()
{
    plcsim::Simulator sim;
    const quint16 port = sim.startHostLinkTcp();
    QVERIFY(port != 0);
    plcsim::CModeSettings run;
    run.mode = plcsim::CpuMode::Run;
    sim.setCMode(run);
    const Run r = plcctl({QStringLiteral("--unit=0"), QStringLiteral("hostlinkc"), QStringLiteral("doctor"),
                          QStringLiteral("127.0.0.1:%1").arg(port)});
    VERIFY_RUN(!r.crashed && r.exitCode == 0, r);
    VERIFY_RUN(r.out.contains(QLatin1String("[ ok ] C-mode status (MS): unit 0 answers: RUN mode\n")), r);
    VERIFY_RUN(r.out.contains(QLatin1String("[warn] operating mode: RUN: C-mode writes are refused")), r);
    VERIFY_RUN(r.out.contains(QLatin1String("switch the controller to MONITOR mode")), r);
    // The write itself: refused, in C-mode's words, not as a FINS end code.
    const Run w = plcctl({QStringLiteral("--unit=0"), QStringLiteral("--connect"), QStringLiteral("127.0.0.1:%1").arg(port),
                          QStringLiteral("hostlinkc"), QStringLiteral("write"), QStringLiteral("D100"),
                          QStringLiteral("Int16"), QStringLiteral("5")});
    VERIFY_RUN(w.exitCode == 1 && w.err.contains(QLatin1String("must be in MONITOR mode (C-mode end code 01)")), w);
}

void TestPlcctlRun::doctorHealthyUdp()
{
    plcsim::Simulator sim;
    const quint16 port = sim.startFinsUdp();
    QVERIFY(port != 0);
    sim.setWord(plcsim::Area::D, 0, 0xBEEF);
    const Run run = plcctl({QStringLiteral(PLC_FINSUDP_PLUGIN), QStringLiteral("doctor"),
                            QStringLiteral("127.0.0.1:%1").arg(port)});
    VERIFY_RUN(!run.crashed && run.exitCode == 0, run);
    VERIFY_RUN(run.out.contains(QLatin1String("[ ok ] FINS/UDP node numbers: DA1 (the PLC, plc=) 1, SA1 (us, node=) 1\n")), run);
    VERIFY_RUN(run.out.contains(QLatin1String("[ ok ] test read of D0 (one word): D0 = 48879 (0xbeef)")), run);
}

namespace {

enum class Served { FinsTcp, HostLinkTcp, ClosedPort, FinsUdp, ClosedUdpPort, HostLinkClosedPort };

struct DoctorRow {
    const char *name;
    Served served;
    std::function<void(plcsim::Faults &)> fault;
    const char *failedStep;
    const char *found; // in the failed step's "found"
    const char *check; // in its "check"
    int exitCode;
    const char *settings = ""; // after ip:port
    int simUnit = 0;           // the simulator's Host Link unit
};

const QList<DoctorRow> &doctorRows()
{
    static const QList<DoctorRow> rows = {
        {"refused node", Served::FinsTcp, [](plcsim::Faults &f) { f.handshakeError = 0x21; }, "handshake",
         "refused: header error 21 the requested client node is already connected", "another client", 4},
        {"unanswered node request", Served::FinsTcp, [](plcsim::Faults &f) { f.silentHandshake = true; }, "handshake",
         "no node answer within", "speaks FINS/TCP", 4},
        {"wrong node", Served::FinsTcp, [](plcsim::Faults &f) { f.wrongNode = true; }, "read",
         "other node numbers", "node number", 1},
        {"silent", Served::FinsTcp, [](plcsim::Faults &f) { f.silent = true; }, "read", "no answer within",
         "does not answer", 1},
        {"error end code", Served::FinsTcp, [](plcsim::Faults &f) { f.endCode = 0x1101; }, "read",
         "FINS end code 1101 area classification missing", "no such word", 1},
        {"wrong unit", Served::HostLinkTcp, [](plcsim::Faults &f) { f.wrongUnit = true; }, "read", "no answer within",
         "--unit (now 0)", 1},
        {"host link end code", Served::HostLinkTcp, [](plcsim::Faults &f) { f.hostLinkEndCode = 0x13; }, "read",
         "Host Link end code 13 FCS error", "noise on the line", 1},
        {"closed port", Served::ClosedPort, [](plcsim::Faults &) {}, "reach", "refused: the address answers",
         "the port number", 4},
        // The simulator on 127.0.0.1 is FINS node 1; plc=7 names another node, which it drops.
        {"udp wrong plc node", Served::FinsUdp, [](plcsim::Faults &) {}, "answer", "no answer within", "DA1 (plc=)",
         4, ",plc=7,timeout=100,retries=1"},
        {"udp closed port", Served::ClosedUdpPort, [](plcsim::Faults &) {}, "answer", "port unreachable",
         "the port number", 4},
        {"udp end code", Served::FinsUdp, [](plcsim::Faults &f) { f.endCode = 0x2101; }, "read",
         "FINS end code 2101 read-only", "mode or settings", 1},
        {"udp wrong node", Served::FinsUdp, [](plcsim::Faults &f) { f.wrongNode = true; }, "answer",
         "other node numbers", "DA1 (plc=)", 4, ",timeout=100,retries=0"},
        {"host link closed port", Served::HostLinkClosedPort, [](plcsim::Faults &) {}, "reach", "refused",
         "converter", 4},
        {"host link bad FCS", Served::HostLinkTcp, [](plcsim::Faults &f) { f.badFcs = true; }, "read", "FCS",
         "noise", 1},
        {"host link no terminator", Served::HostLinkTcp, [](plcsim::Faults &f) { f.missingTerminator = true; },
         "read", "unit 00", "noise", 1},
        {"host link other unit", Served::HostLinkTcp, [](plcsim::Faults &) {}, "read", "unit 2 answers",
         "--unit 2", 1, "", 2},
    };
    return rows;
}

// A loopback port nobody listens on: taken, then given back.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

quint16 closedUdpPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    const quint16 port = socket.localPort();
    socket.close();
    return port;
}

} // namespace

void TestPlcctlRun::doctorNamesTheFailingStep_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < doctorRows().size(); ++i)
        QTest::newRow(doctorRows().at(i).name) << i;
}

// Doctor against the simulator's fault modes: the first failed step is the
// one the fault breaks, and it says why and what to check.
void TestPlcctlRun::doctorNamesTheFailingStep()
{
    QFETCH(int, row);
    const DoctorRow &r = doctorRows().at(row);
    plcsim::Simulator sim;
    plcsim::Faults faults;
    r.fault(faults);
    sim.setFaults(faults);
    sim.setUnit(r.simUnit);
    quint16 port = 0;
    switch (r.served) {
    case Served::FinsTcp: port = sim.startFins(); break;
    case Served::HostLinkTcp: port = sim.startHostLinkTcp(); break;
    case Served::ClosedPort:
    case Served::HostLinkClosedPort: port = closedPort(); break;
    case Served::FinsUdp: port = sim.startFinsUdp(); break;
    case Served::ClosedUdpPort: port = closedUdpPort(); break;
    }
    QVERIFY(port != 0);
    QString driver = QStringLiteral("fins");
    if (r.served == Served::HostLinkTcp || r.served == Served::HostLinkClosedPort)
        driver = QStringLiteral("hostlink");
    else if (r.served == Served::FinsUdp || r.served == Served::ClosedUdpPort)
        driver = QStringLiteral(PLC_FINSUDP_PLUGIN);
    const Run run = plcctl({QStringLiteral("--json"), QStringLiteral("--unit=0"), driver, QStringLiteral("doctor"),
                            QStringLiteral("127.0.0.1:%1%2").arg(port).arg(QLatin1String(r.settings))});
    VERIFY_RUN(!run.crashed && run.exitCode == r.exitCode && outLines(run).size() == 1, run);
    const QJsonObject o = jsonObject(run.out);
    QCOMPARE(o.value("ok").toBool(true), false);
    QCOMPARE(o.value("failedStep").toString(), QString::fromLatin1(r.failedStep));
    QJsonObject failed;
    bool after = false;
    for (const QJsonValue &value : o.value("steps").toArray()) {
        const QJsonObject step = value.toObject();
        if (after) // nothing runs after the failed step
            QCOMPARE(step.value("outcome").toString(), QStringLiteral("skipped"));
        if (step.value("step").toString() == QLatin1String(r.failedStep)) {
            failed = step;
            after = true;
        }
    }
    QCOMPARE(failed.value("outcome").toString(), QStringLiteral("failed"));
    const QString found = failed.value("found").toString();
    // Doctor learns the refusal's code from the plug-in's warning line only.
    if (row == 0)
        QVERIFY(run.err.contains(QString::fromUtf8("节点地址请求被拒绝")));
    QVERIFY2(found.contains(QLatin1String(r.found)), qPrintable(found));
    QVERIFY2(failed.value("check").toString().contains(QLatin1String(r.check)),
             qPrintable(failed.value("check").toString()));
}

QTEST_GUILESS_MAIN(TestPlcctlRun)
#include "tst_plcctl_run.moc"
