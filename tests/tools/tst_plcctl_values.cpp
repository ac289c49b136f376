// plcctl's value parsing and formatting, JSON lines and the watch table.

#include "CDriveBaseClass.h"
#include "CLabelVariable.h"
#include "JsonLine.h"
#include "PluginLoader.h"
#include "ResultReport.h"
#include "ValueText.h"
#include "WatchTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace plcctl;

namespace {

CLabelVariable holding(const QVariant &value, int type, int errorCode = 0)
{
    CLabelVariable v;
    v.value = value;
    v.dataType = type;
    v.errorCode = errorCode;
    v.timestamp = QDateTime(QDate(2026, 12, 8), QTime(17, 4, 32, 123));
    return v;
}

QJsonObject parseObject(const QString &line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        qWarning() << "not a JSON object:" << line << error.errorString();
    return doc.object();
}

} // namespace

class TestPlcctlValues : public QObject
{
    Q_OBJECT

private slots:
    void typeNamesAreCaseInsensitive_data();
    void typeNamesAreCaseInsensitive();
    void resultCodesInWords();

    void parseGoodValues_data();
    void parseGoodValues();
    void parseBadValues_data();
    void parseBadValues();
    void parsedListsHaveTheDriversElementTypes();

    void realsAreShortestExact();
    void formatRefusesAnotherListType();
    void jsonValuesAreExact();

    void jsonLineQuotesEverything();
    void resultJsonOfSuccessAndFailure();
    void resultLines();

    void rateFollowsTheWindow();
    void watchTableKeepsNoStaleValueNextToAFailure();
    void watchTableFitsTheTerminal();
    void watchJsonLine();

    void pluginCandidates();
};

void TestPlcctlValues::typeNamesAreCaseInsensitive_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::newRow("Bool") << "Bool" << int(Bool);
    QTest::newRow("bool") << "bool" << int(Bool);
    QTest::newRow("INT16") << "INT16" << int(Int16);
    QTest::newRow("uint64") << "uint64" << int(UInt64);
    QTest::newRow("float") << "float" << int(Float);
    QTest::newRow("Double") << "Double" << int(Double);
    QTest::newRow("String (the EtherNet/IP plug-in's texts)") << "string" << 12;
    QTest::newRow("prefix only") << "Int" << 0;
    QTest::newRow("number") << "4" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestPlcctlValues::typeNamesAreCaseInsensitive()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QCOMPARE(typeFromName(name), type);
    if (type != 0)
        QCOMPARE(typeFromName(typeName(type)), type);
}

void TestPlcctlValues::resultCodesInWords()
{
    QCOMPARE(resultText(0), QStringLiteral("0 (success)"));
    QCOMPARE(resultText(1), QStringLiteral("1 (not performed)"));
    QCOMPARE(resultText(2), QStringLiteral("2 (type not handled)"));
    QCOMPARE(resultText(3), QStringLiteral("3 (unknown area)"));
    QCOMPARE(resultText(4), QStringLiteral("4 (count below 1)"));
    QCOMPARE(resultText(5), QStringLiteral("5 (address out of range)"));
    QCOMPARE(resultText(7), QStringLiteral("7 (protocol error or bad answer)"));
    QCOMPARE(resultText(8), QStringLiteral("8 (no answer)"));
    QCOMPARE(resultText(9), QStringLiteral("9 (not connected)"));
    QVERIFY(resultMeaning(6).contains(QLatin1String("unknown")));
    QVERIFY(connectMeaning(-4, QStringLiteral("HLink")).contains(QLatin1String("neither")));
    QVERIFY(connectMeaning(-2, QStringLiteral("FinsNet")).contains(QLatin1String("handshake")));
}

void TestPlcctlValues::parseGoodValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("shown"); // formatValues of the parsed list

    QTest::newRow("Bool words") << int(Bool) << QStringList{"1", "0", "true", "FALSE", "on", "Off"}
                                << QStringList{"1", "0", "1", "0", "1", "0"};
    QTest::newRow("Int8 limits") << int(Int8) << QStringList{"-128", "127", "-1", "0x7f"}
                                 << QStringList{"-128", "127", "-1", "127"};
    QTest::newRow("UInt8 limits") << int(UInt8) << QStringList{"0", "255", "0xFF"} << QStringList{"0", "255", "255"};
    QTest::newRow("Int16 limits") << int(Int16) << QStringList{"-32768", "32767", "+5", "-0"}
                                  << QStringList{"-32768", "32767", "5", "0"};
    QTest::newRow("UInt16 hex") << int(UInt16) << QStringList{"65535", "0x8000", "0X1f"}
                                << QStringList{"65535", "32768", "31"};
    QTest::newRow("Int32 limits") << int(Int32) << QStringList{"-2147483648", "2147483647"}
                                  << QStringList{"-2147483648", "2147483647"};
    QTest::newRow("UInt32 max") << int(UInt32) << QStringList{"4294967295"} << QStringList{"4294967295"};
    QTest::newRow("Int64 limits") << int(Int64) << QStringList{"-9223372036854775808", "9223372036854775807"}
                                  << QStringList{"-9223372036854775808", "9223372036854775807"};
    QTest::newRow("UInt64 max") << int(UInt64) << QStringList{"18446744073709551615", "0xFFFFFFFFFFFFFFFF"}
                                << QStringList{"18446744073709551615", "18446744073709551615"};
    QTest::newRow("Float") << int(Float) << QStringList{"-123.456", "0.1", "1e10", ".5", "3.", "-0"}
                           << QStringList{"-123.456", "0.1", "1e+10", "0.5", "3", "-0"};
    QTest::newRow("Float limits") << int(Float) << QStringList{"3.4028234e38", "1.1754944e-38"}
                                  << QStringList{"3.4028235e+38", "1.1754944e-38"};
    QTest::newRow("Float special") << int(Float) << QStringList{"nan", "inf", "-Infinity"}
                                   << QStringList{"nan", "inf", "-inf"};
    QTest::newRow("Double") << int(Double) << QStringList{"0.1", "-2.5E-3", "1.7976931348623157e308"}
                            << QStringList{"0.1", "-0.0025", "1.7976931348623157e+308"};
}

void TestPlcctlValues::parseGoodValues()
{
    QFETCH(int, type);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, shown);
    QString error;
    const QVariant parsed = parseValues(type, texts, &error);
    QVERIFY2(parsed.isValid(), qPrintable(error));
    QCOMPARE(formatValues(holding(parsed, type), type), shown);
}

void TestPlcctlValues::parseBadValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kind"); // "out of range" or "not a valid"

    const QString range = QStringLiteral("out of range");
    const QString format = QStringLiteral("not a valid");
    QTest::newRow("Bool 2") << int(Bool) << "2" << format;
    QTest::newRow("Bool yes") << int(Bool) << "yes" << format;
    QTest::newRow("Int8 128") << int(Int8) << "128" << range;
    QTest::newRow("Int8 -129") << int(Int8) << "-129" << range;
    QTest::newRow("UInt8 256") << int(UInt8) << "256" << range;
    QTest::newRow("UInt8 -1") << int(UInt8) << "-1" << range;
    QTest::newRow("Int16 32768") << int(Int16) << "32768" << range;
    QTest::newRow("Int16 -32769") << int(Int16) << "-32769" << range;
    QTest::newRow("Int16 0x8000") << int(Int16) << "0x8000" << range;
    QTest::newRow("Int16 letters") << int(Int16) << "12a" << format;
    QTest::newRow("Int16 blank inside") << int(Int16) << "1 2" << format;
    QTest::newRow("Int16 leading blank") << int(Int16) << " 5" << format;
    QTest::newRow("Int16 real") << int(Int16) << "1.5" << format;
    QTest::newRow("Int16 empty") << int(Int16) << "" << format;
    QTest::newRow("Int16 sign only") << int(Int16) << "-" << format;
    QTest::newRow("Int16 hex prefix only") << int(Int16) << "0x" << format;
    QTest::newRow("Int16 arabic digits") << int(Int16) << QString::fromUtf8("\u0661\u0662") << format;
    QTest::newRow("UInt16 65536") << int(UInt16) << "65536" << range;
    QTest::newRow("Int32 2^31") << int(Int32) << "2147483648" << range;
    QTest::newRow("UInt32 2^32") << int(UInt32) << "4294967296" << range;
    QTest::newRow("Int64 2^63") << int(Int64) << "9223372036854775808" << range;
    QTest::newRow("Int64 -2^63-1") << int(Int64) << "-9223372036854775809" << range;
    QTest::newRow("UInt64 2^64") << int(UInt64) << "18446744073709551616" << range;
    QTest::newRow("UInt64 huge") << int(UInt64) << "99999999999999999999999" << range;
    QTest::newRow("UInt64 -1") << int(UInt64) << "-1" << range;
    QTest::newRow("Float beyond") << int(Float) << "3.5e38" << range;
    QTest::newRow("Float underflow") << int(Float) << "1e-50" << range;
    QTest::newRow("Float comma") << int(Float) << "1,5" << format;
    QTest::newRow("Float hex") << int(Float) << "0x10" << format;
    QTest::newRow("Float trailing") << int(Float) << "1.5x" << format;
    QTest::newRow("Double beyond") << int(Double) << "1e309" << range;
    QTest::newRow("Double two points") << int(Double) << "1.2.3" << format;
    QTest::newRow("Double exponent only") << int(Double) << "e5" << format;
}

void TestPlcctlValues::parseBadValues()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(QString, kind);
    QString error;
    // A good value before the bad one: the whole list is refused.
    const QString good = type == Bool ? QStringLiteral("1") : QStringLiteral("0");
    QVERIFY(!parseValues(type, {good, text}, &error).isValid());
    QVERIFY2(error.contains(kind), qPrintable(error));
    QVERIFY2(error.contains(QLatin1Char('\'') + text + QLatin1Char('\'')), qPrintable(error));
    QVERIFY2(error.contains(typeName(type)), qPrintable(error));
}

void TestPlcctlValues::parsedListsHaveTheDriversElementTypes()
{
    QString error;
    QCOMPARE(parseValues(Bool, {"1"}, &error).userType(), qMetaTypeId<QList<bool>>());
    QCOMPARE(parseValues(Int8, {"1"}, &error).userType(), qMetaTypeId<QList<char>>());
    QCOMPARE(parseValues(UInt8, {"1"}, &error).userType(), qMetaTypeId<QList<unsigned char>>());
    QCOMPARE(parseValues(Int16, {"1"}, &error).userType(), qMetaTypeId<QList<short>>());
    QCOMPARE(parseValues(UInt16, {"1"}, &error).userType(), qMetaTypeId<QList<unsigned short>>());
    QCOMPARE(parseValues(Int32, {"1"}, &error).userType(), qMetaTypeId<QList<int>>());
    QCOMPARE(parseValues(UInt32, {"1"}, &error).userType(), qMetaTypeId<QList<unsigned int>>());
    QCOMPARE(parseValues(Float, {"1"}, &error).userType(), qMetaTypeId<QList<float>>());
    QCOMPARE(parseValues(Int64, {"1"}, &error).userType(), qMetaTypeId<QList<long long>>());
    QCOMPARE(parseValues(UInt64, {"1"}, &error).userType(), qMetaTypeId<QList<unsigned long long>>());
    QCOMPARE(parseValues(Double, {"1"}, &error).userType(), qMetaTypeId<QList<double>>());
    QCOMPARE(parseValues(String, {"1"}, &error).userType(), qMetaTypeId<QList<QString>>());
    QVERIFY(!parseValues(13, {"1"}, &error).isValid());

    // Int8 keeps the bit pattern of the byte, whatever the signedness of char.
    const QList<char> bytes = parseValues(Int8, {"-1", "-128"}, &error).value<QList<char>>();
    QCOMPARE(static_cast<unsigned char>(bytes.at(0)), static_cast<unsigned char>(0xFF));
    QCOMPARE(static_cast<unsigned char>(bytes.at(1)), static_cast<unsigned char>(0x80));
}

void TestPlcctlValues::realsAreShortestExact()
{
    QCOMPARE(realText(0.1f), QStringLiteral("0.1"));
    QCOMPARE(realText(-123.456f), QStringLiteral("-123.456"));
    QCOMPARE(realText(0.1), QStringLiteral("0.1"));
    QCOMPARE(realText(1.0 / 3.0), QStringLiteral("0.3333333333333333"));
    QCOMPARE(realText(1e20), QStringLiteral("1e+20"));
    // Every shown float reads back as the same float.
    for (float f : {0.1f, 16777217.0f, 1e-38f, -3.4028235e38f, 123.456f}) {
        QString error;
        const QVariant back = parseValues(Float, {realText(f)}, &error);
        QCOMPARE(back.value<QList<float>>().value(0), f);
    }
}

void TestPlcctlValues::formatRefusesAnotherListType()
{
    // A QList<short> is not shown as Int32: no silent conversion.
    const CLabelVariable v = holding(QVariant::fromValue(QList<short>{1, 2}), Int16);
    QVERIFY(formatValues(v, Int32).isEmpty());
    QCOMPARE(formatValues(v, Int16), (QStringList{"1", "2"}));
    QVERIFY(formatValues(CLabelVariable(), Int16).isEmpty());
}

void TestPlcctlValues::jsonValuesAreExact()
{
    const CLabelVariable u64 = holding(QVariant::fromValue(QList<unsigned long long>{18446744073709551615ull}), UInt64);
    QCOMPARE(jsonValues(u64, UInt64), QStringList{"18446744073709551615"});
    const CLabelVariable bits = holding(QVariant::fromValue(QList<bool>{true, false}), Bool);
    QCOMPARE(jsonValues(bits, Bool), (QStringList{"true", "false"}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const CLabelVariable reals = holding(QVariant::fromValue(QList<double>{nan, inf, -inf, 2.5}), Double);
    QCOMPARE(jsonValues(reals, Double), (QStringList{"\"NaN\"", "\"Infinity\"", "\"-Infinity\"", "2.5"}));
}

void TestPlcctlValues::jsonLineQuotesEverything()
{
    const QString nasty = QStringLiteral("a\"b\\c\nd\te\x01 \u00e9");
    const QString line = JsonLine()
                             .text(QStringLiteral("t"), nasty)
                             .number(QStringLiteral("n"), std::numeric_limits<qint64>::min())
                             .real(QStringLiteral("r"), 0.1)
                             .real(QStringLiteral("nan"), std::nan(""))
                             .boolean(QStringLiteral("b"), true)
                             .array(QStringLiteral("a"), {"1", "\"x\""})
                             .null(QStringLiteral("z"))
                             .toString();
    QVERIFY(!line.contains(QLatin1Char('\n')));
    const QJsonObject o = parseObject(line);
    QCOMPARE(o.value("t").toString(), nasty);
    QCOMPARE(o.value("r").toDouble(), 0.1);
    QVERIFY(o.value("nan").isNull());
    QCOMPARE(o.value("b").toBool(), true);
    QCOMPARE(o.value("a").toArray().size(), 2);
    QVERIFY(o.value("z").isNull());
    QVERIFY(line.contains(QLatin1String("\"n\":-9223372036854775808")));
}

void TestPlcctlValues::resultJsonOfSuccessAndFailure()
{
    const CLabelVariable ok = holding(QVariant::fromValue(QList<short>{1, -2}), Int16);
    QJsonObject o = parseObject(resultJson(QStringLiteral("read"), QStringLiteral("D100"), Int16, 2, ok));
    QCOMPARE(o.value("op").toString(), QStringLiteral("read"));
    QCOMPARE(o.value("address").toString(), QStringLiteral("D100"));
    QCOMPARE(o.value("type").toString(), QStringLiteral("Int16"));
    QCOMPARE(o.value("count").toInt(), 2);
    QCOMPARE(o.value("errorCode").toInt(), 0);
    QCOMPARE(o.value("result").toString(), QStringLiteral("success"));
    QCOMPARE(o.value("values").toArray(), (QJsonArray{1, -2}));
    QCOMPARE(o.value("timestamp").toString(), QStringLiteral("2026-12-08T17:04:32.123"));

    CLabelVariable failed;
    failed.errorCode = 3;
    o = parseObject(resultJson(QStringLiteral("read"), QStringLiteral("X100"), Int16, 1, failed,
                               QStringLiteral("\"extra\":1")));
    QCOMPARE(o.value("errorCode").toInt(), 3);
    QCOMPARE(o.value("result").toString(), QStringLiteral("unknown area"));
    QVERIFY(o.value("values").isNull());
    QVERIFY(o.value("timestamp").isNull());
    QCOMPARE(o.value("extra").toInt(), 1);
}

void TestPlcctlValues::resultLines()
{
    const CLabelVariable ok = holding(QVariant::fromValue(QList<float>{-123.456f}), Float);
    QCOMPARE(resultLine(QStringLiteral("D100"), Float, 1, ok), QStringLiteral("D100 Float = -123.456"));
    const CLabelVariable two = holding(QVariant::fromValue(QList<bool>{true, false}), Bool);
    QCOMPARE(resultLine(QStringLiteral("W5.3"), Bool, 2, two), QStringLiteral("W5.3 Bool[2] = 1 0"));
    CLabelVariable failed;
    failed.errorCode = 8;
    QCOMPARE(resultLine(QStringLiteral("D1"), Int32, 3, failed), QStringLiteral("D1 Int32[3]: result 8 (no answer)"));
}

void TestPlcctlValues::rateFollowsTheWindow()
{
    RateMeter meter(5);
    QCOMPARE(meter.perSecond(), 0.0);
    meter.record(0);
    QCOMPARE(meter.perSecond(), 0.0); // one read is no rate
    QVERIFY(!meter.known());
    for (int i = 1; i <= 10; ++i)
        meter.record(qint64(i) * 100'000'000); // every 100 ms
    QCOMPARE(meter.perSecond(), 10.0);
    QVERIFY(meter.known());
    for (int i = 1; i <= 4; ++i)
        meter.record(1'000'000'000 + qint64(i) * 500'000'000); // slows to every 500 ms
    QCOMPARE(meter.perSecond(), 2.0); // the window holds only the slow reads now
    RateMeter same(5);
    same.record(7);
    same.record(7);
    QCOMPARE(same.perSecond(), 0.0); // no division by a zero span
}

void TestPlcctlValues::watchTableKeepsNoStaleValueNextToAFailure()
{
    QString error;
    TagSpec tag{QStringLiteral("D100"), Int16, 2, QStringLiteral("D100:Int16:2")};
    WatchTable table({tag});
    table.update(0, holding(QVariant::fromValue(QList<short>{5, 6}), Int16), 0);
    QStringList lines = table.tableLines(0);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).startsWith(QLatin1String("TAG")));
    QVERIFY(lines.at(1).contains(QLatin1String("5 6")));
    QVERIFY(lines.at(1).contains(QLatin1String("0 (success)")));
    QVERIFY(lines.at(1).contains(QLatin1String("17:04:32.123")));
    QVERIFY(lines.at(1).endsWith(QLatin1String(" -"))); // no rate from one read

    CLabelVariable failed;
    failed.errorCode = 8;
    table.update(0, failed, 1'000'000'000);
    lines = table.tableLines(0);
    QVERIFY(!lines.at(1).contains(QLatin1String("5 6")));
    QVERIFY(lines.at(1).contains(QLatin1String("8 (no answer)")));
    QVERIFY(lines.at(1).contains(QLatin1String("17:04:32.123"))); // time of the last good value stays
    QVERIFY(lines.at(1).endsWith(QLatin1String("1.0")));
    QCOMPARE(table.reads(), 2);
    QCOMPARE(table.failures(), 1);
    QVERIFY(table.plainLine(0).contains(QLatin1String("D100:Int16:2 result 8 (no answer) 1.0 reads/s")));
}

void TestPlcctlValues::watchTableFitsTheTerminal()
{
    TagSpec tag{QStringLiteral("D0"), Int16, 100, QStringLiteral("D0:Int16:100")};
    WatchTable table({tag, TagSpec{QStringLiteral("D1"), Bool, 1, QStringLiteral("D1:Bool")}});
    QList<short> many;
    for (int i = 0; i < 100; ++i)
        many.append(short(-1000 - i));
    table.update(0, holding(QVariant::fromValue(many), Int16), 0);
    for (const QString &line : table.tableLines(40))
        QVERIFY2(line.size() <= 40, qPrintable(line));
    // On a wide enough terminal only the value gives way: the rate stays whole.
    const QStringList wide = table.tableLines(90);
    for (const QString &line : wide)
        QVERIFY2(line.size() <= 90, qPrintable(line));
    QVERIFY2(wide.at(0).endsWith(QLatin1String("READS/S")), qPrintable(wide.at(0)));
    QVERIFY2(wide.at(1).contains(QLatin1String("...")), qPrintable(wide.at(1)));
    for (const QString &line : table.tableLines(0))
        QVERIFY2(line.size() < 140, qPrintable(line)); // a long value is cut even without a width
}

void TestPlcctlValues::watchJsonLine()
{
    WatchTable table({TagSpec{QStringLiteral("D1"), UInt16, 1, QStringLiteral("D1:UInt16")}});
    table.update(0, holding(QVariant::fromValue(QList<unsigned short>{65535}), UInt16), 0);
    const QJsonObject o = parseObject(table.jsonLine(0, 3));
    QCOMPARE(o.value("op").toString(), QStringLiteral("watch"));
    QCOMPARE(o.value("round").toInt(), 3);
    QCOMPARE(o.value("values").toArray(), QJsonArray{65535});
    QCOMPARE(o.value("lastSuccess").toString(), QStringLiteral("17:04:32.123"));
    QVERIFY(o.value("readsPerSecond").isNull()); // one read is no rate yet
}

void TestPlcctlValues::pluginCandidates()
{
    const QStringList fins = plcctl::pluginCandidates(QStringLiteral("fins"), QStringLiteral("/opt/plc/bin"));
    QCOMPARE(fins.value(0), QStringLiteral("/opt/plc/bin/libLibFinsNet.so"));
    QVERIFY(fins.contains(QStringLiteral("/opt/plc/lib/plcdrivers/libLibFinsNet.so")));
    QVERIFY(fins.contains(QStringLiteral("/opt/plc/lib/libLibFinsNet.so")));
    const QStringList hl = plcctl::pluginCandidates(QStringLiteral("HostLink"), QStringLiteral("/opt/plc/bin"));
    QCOMPARE(hl.value(0), QStringLiteral("/opt/plc/bin/libLibHLink.so"));
    QCOMPARE(plcctl::pluginCandidates(QStringLiteral("./x/my.so"), QStringLiteral("/b")), QStringList{"./x/my.so"});
    QVERIFY(plcctl::pluginCandidates(QStringLiteral("modbus"), QStringLiteral("/b")).isEmpty());
    QVERIFY(!loadDriver(QStringLiteral("modbus"), QStringLiteral("/b")).error.isEmpty());
    const LoadResult missing = loadDriver(QStringLiteral("/nonexistent/libLibFinsNet.so"), QStringLiteral("/b"));
    QVERIFY(!missing.driver);
    QVERIFY(missing.error.contains(QLatin1String("not found")));
}

QTEST_GUILESS_MAIN(TestPlcctlValues)
#include "tst_plcctl_values.moc"
