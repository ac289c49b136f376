// plcctl's command line: what good command lines mean, and that every bad
// one is refused with a message naming the wrong argument.

#include "CDriveBaseClass.h"
#include "CtlArguments.h"

#include <QtTest>

using namespace plcctl;

Q_DECLARE_METATYPE(plcctl::Command)

class TestPlcctlArguments : public QObject
{
    Q_OBJECT

private slots:
    void goodCommandLines_data();
    void goodCommandLines();
    void optionsAndValues();
    void watchTags();
    void badCommandLines_data();
    void badCommandLines();
    void helpWinsOverEverything();
};

namespace {
QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
} // namespace

void TestPlcctlArguments::goodCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<plcctl::Command>("command");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");

    QTest::newRow("info") << words("fins info") << "fins" << Command::Info << "" << 0 << 1;
    QTest::newRow("read default count") << words("fins read D100 Int16") << "fins" << Command::Read << "D100"
                                        << int(Int16) << 1;
    QTest::newRow("read count, lower-case type") << words("hostlink read CIO10.3 bool 12") << "hostlink"
                                                 << Command::Read << "CIO10.3" << int(Bool) << 12;
    // The driver answers count 0 with its own result code: plcctl passes it on.
    QTest::newRow("read count 0") << words("fins read D100 Int16 0") << "fins" << Command::Read << "D100"
                                  << int(Int16) << 0;
    QTest::newRow("options after") << words("fins read W5 UInt32 2 --json --trace") << "fins" << Command::Read
                                   << "W5" << int(UInt32) << 2;
    QTest::newRow("plug-in path") << words("./libLibHLink.so read D0 Double") << "./libLibHLink.so"
                                  << Command::Read << "D0" << int(Double) << 1;
    QTest::newRow("write negative values") << words("fins write D100 Int16 -5 7 -32768") << "fins"
                                           << Command::Write << "D100" << int(Int16) << 3;
    QTest::newRow("write -inf") << words("fins write D100 Float -inf -1.5") << "fins" << Command::Write << "D100"
                                << int(Float) << 2;
    QTest::newRow("double dash") << words("--trace -- fins write D100 Int16 -1") << "fins" << Command::Write
                                 << "D100" << int(Int16) << 1;
    QTest::newRow("watch") << words("fins watch D100:Int16:4 W5.3:Bool") << "fins" << Command::Watch << "" << 0 << 1;
    QTest::newRow("clock") << words("finsudp clock --json") << "finsudp" << Command::Clock << "" << 0 << 1;
    QTest::newRow("clock set now") << words("fins clock --set now --yes") << "fins" << Command::Clock << "" << 0 << 1;
    QTest::newRow("clock set time") << words("hostlink clock --set=2027-01-02T03:04") << "hostlink"
                                    << Command::Clock << "" << 0 << 1;
}

void TestPlcctlArguments::goodCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, driver);
    QFETCH(plcctl::Command, command);
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    const ParseResult r = parseArguments(arguments);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.args.driver, driver);
    QVERIFY(r.args.command == command);
    QCOMPARE(r.args.address, address);
    QCOMPARE(r.args.type, type);
    QCOMPARE(r.args.count, count);
}

void TestPlcctlArguments::optionsAndValues()
{
    ParseResult r = parseArguments(words("--connect /dev/ttyUSB0,9600,8,1,E --unit=5 hostlink write D100 Int16 -5 7"));
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.args.connect, QStringLiteral("/dev/ttyUSB0,9600,8,1,E"));
    QVERIFY(r.args.unitGiven);
    QCOMPARE(r.args.unit, QStringLiteral("5"));
    QCOMPARE(r.args.values, (QStringList{"-5", "7"}));
    QVERIFY(!r.args.trace);
    QVERIFY(!r.args.json);

    r = parseArguments(words("fins --connect=10.0.0.5:9600 --trace --json info"));
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.args.connect, QStringLiteral("10.0.0.5:9600"));
    QVERIFY(!r.args.unitGiven);
    QVERIFY(r.args.trace);
    QVERIFY(r.args.json);

    // doctor's CONNECTION is the connection text, as --connect is.
    for (const char *line : {"fins doctor 10.0.0.5:9600", "--connect 10.0.0.5:9600 fins doctor"}) {
        r = parseArguments(words(line));
        QVERIFY2(r.ok() && r.args.command == Command::Doctor, qPrintable(r.error));
        QCOMPARE(r.args.connect, QStringLiteral("10.0.0.5:9600"));
    }
    r = parseArguments(words("hostlink doctor"));
    QVERIFY2(r.ok() && r.args.connect.isEmpty(), qPrintable(r.error));
}

void TestPlcctlArguments::watchTags()
{
    const ParseResult r = parseArguments(words("fins watch D100:Int16:4 w5.3:BOOL EM3200:double --interval 250 --count 3"));
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.args.intervalMs, 250);
    QCOMPARE(r.args.rounds, 3);
    QCOMPARE(r.args.tags.size(), 3);
    QCOMPARE(r.args.tags.at(0).address, QStringLiteral("D100"));
    QCOMPARE(r.args.tags.at(0).type, int(Int16));
    QCOMPARE(r.args.tags.at(0).count, 4);
    QCOMPARE(r.args.tags.at(1).address, QStringLiteral("w5.3"));
    QCOMPARE(r.args.tags.at(1).type, int(Bool));
    QCOMPARE(r.args.tags.at(1).count, 1);
    QCOMPARE(r.args.tags.at(2).type, int(Double));
    QCOMPARE(r.args.tags.at(2).text, QStringLiteral("EM3200:double"));

    const ParseResult defaults = parseArguments(words("fins watch D1:Int16 --interval 0"));
    QVERIFY2(defaults.ok(), qPrintable(defaults.error));
    QCOMPARE(defaults.args.intervalMs, 0);
    QCOMPARE(defaults.args.rounds, 0); // until interrupted
}

void TestPlcctlArguments::badCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named"); // what the message must name

    QTest::newRow("nothing") << QStringList() << "DRIVER";
    QTest::newRow("no command") << words("fins") << "COMMAND";
    QTest::newRow("unknown command") << words("fins frobnicate") << "'frobnicate'";
    QTest::newRow("clock bad time") << words("fins clock --set 2027-13-01T00:00") << "bad TIME";
    QTest::newRow("clock argument") << words("fins clock now") << "'now'";
    QTest::newRow("--yes on a read") << words("fins read D0 Int16 --yes") << "only for clock";
    QTest::newRow("read without address") << words("fins read") << "ADDRESS";
    QTest::newRow("read without type") << words("fins read D100") << "TYPE";
    QTest::newRow("unknown type") << words("fins read D100 Int17") << "'Int17'";
    QTest::newRow("String type") << words("fins read D100 String") << "'String'";
    QTest::newRow("bad count") << words("fins read D100 Int16 4x") << "'4x'";
    QTest::newRow("count beyond int") << words("fins read D100 Int16 99999999999") << "'99999999999'";
    QTest::newRow("extra after count") << words("fins read D100 Int16 4 5") << "'5'";
    QTest::newRow("extra after info") << words("fins info now") << "'now'";
    QTest::newRow("write without values") << words("fins write D100 Int16") << "VALUE";
    QTest::newRow("write value out of range") << words("fins write D100 Int16 1 70000") << "'70000'";
    QTest::newRow("write value format") << words("fins write D100 UInt8 0x1G") << "'0x1G'";
    QTest::newRow("write bool word") << words("fins write D100.1 Bool yes") << "'yes'";
    QTest::newRow("watch without tags") << words("fins watch") << "TAG";
    QTest::newRow("watch tag without type") << words("fins watch D100") << "'D100'";
    QTest::newRow("watch tag bad type") << words("fins watch D100:Int99") << "'Int99'";
    QTest::newRow("watch tag bad count") << words("fins watch D100:Int16:z") << "'z'";
    QTest::newRow("watch tag too many parts") << words("fins watch D100:Int16:1:2") << "'D100:Int16:1:2'";
    QTest::newRow("doctor, two connections") << words("--connect 10.0.0.1:1 fins doctor 10.0.0.2:2") << "once";
    QTest::newRow("doctor, extra argument") << words("fins doctor 10.0.0.1:1 D0") << "'D0'";
    QTest::newRow("doctor, --count") << words("fins doctor --count 2") << "--count";
    QTest::newRow("unknown option") << words("--bogus fins info") << "'--bogus'";
    QTest::newRow("unknown short option") << words("-x fins info") << "'-x'";
    QTest::newRow("connect without value") << words("fins info --connect") << "--connect";
    QTest::newRow("empty connect") << QStringList{"--connect=", "fins", "info"} << "--connect";
    QTest::newRow("unit not a number") << words("--unit x hostlink info") << "'x'";
    QTest::newRow("unit too large") << words("--unit 32 hostlink info") << "'32'";
    QTest::newRow("negative interval") << words("--interval -5 fins watch D1:Int16") << "'-5'";
    QTest::newRow("zero rounds") << words("--count 0 fins watch D1:Int16") << "'0'";
    QTest::newRow("interval for read") << words("fins read D1 Int16 --interval 5") << "--interval";
    QTest::newRow("count option for read") << words("fins read D1 Int16 --count 2") << "--count";
}

void TestPlcctlArguments::badCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const ParseResult r = parseArguments(arguments);
    QVERIFY(!r.ok());
    QVERIFY2(r.error.contains(named), qPrintable(r.error));
}

void TestPlcctlArguments::helpWinsOverEverything()
{
    QVERIFY(parseArguments(words("-h")).args.help);
    QVERIFY(parseArguments(words("fins read --help")).args.help);
    QVERIFY(usageText().contains(QLatin1String("--connect")));
    QVERIFY(usageText().contains(QLatin1String("watch TAG")));
}

QTEST_GUILESS_MAIN(TestPlcctlArguments)
#include "tst_plcctl_arguments.moc"
