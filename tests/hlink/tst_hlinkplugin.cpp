// The Host Link plug-in end to end, loaded as a host loads it, against the
// simulator over TCP and over a pseudo-terminal at 115200 and 9600 baud.
#include <QtTest>

#include <QRandomGenerator>

#include <cmath>
#include <cstring>
#include <functional>

#include "CDriveBaseClass.h"
#include "HLinkTestValues.h"
#include "PlcSimulator.h"
#include "TestSupport.h"

using plcsim::Area;

Q_DECLARE_METATYPE(CLabelVariable)
Q_DECLARE_METATYPE(plcsim::Faults)

namespace {

// A driver object from the plug-in; deleted through its QObject face so
// that leak checkers stay quiet (a host never deletes it).
class Driver
{
public:
    explicit Driver(testsupport::Plugin &plugin = testsupport::hlinkPlugin())
        : m_driver(plugin.create())
    {
    }
    ~Driver() { delete dynamic_cast<QObject *>(m_driver); }
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;
    CDriveBaseClass *operator->() const { return m_driver; }
    bool isValid() const { return m_driver != nullptr; }

private:
    CDriveBaseClass *m_driver;
};

// Element list as text, floats by their exact bit pattern, so two values
// compare exactly and a failure shows both.
template <typename T>
QString listText(const QVariant &v)
{
    if (v.userType() != qMetaTypeId<QList<T>>())
        return QStringLiteral("<%1>").arg(QLatin1String(v.typeName() ? v.typeName() : "null"));
    QStringList parts;
    for (const T &x : v.value<QList<T>>()) {
        if constexpr (std::is_same<T, float>::value) {
            quint32 bits;
            std::memcpy(&bits, &x, 4);
            parts << QString::number(x) + QLatin1Char('/') + QString::number(bits, 16);
        } else if constexpr (std::is_same<T, double>::value) {
            quint64 bits;
            std::memcpy(&bits, &x, 8);
            parts << QString::number(x) + QLatin1Char('/') + QString::number(bits, 16);
        } else if constexpr (std::is_unsigned<T>::value) {
            parts << QString::number(static_cast<qulonglong>(x));
        } else {
            parts << QString::number(static_cast<qlonglong>(x));
        }
    }
    return parts.join(QLatin1Char(','));
}

QString valueText(int type, const QVariant &v)
{
    switch (type) {
    case Bool: return listText<bool>(v);
    case Int8: return listText<char>(v);
    case UInt8: return listText<unsigned char>(v);
    case Int16: return listText<short>(v);
    case UInt16: return listText<unsigned short>(v);
    case Int32: return listText<int>(v);
    case UInt32: return listText<unsigned int>(v);
    case Float: return listText<float>(v);
    case Int64: return listText<long long>(v);
    case UInt64: return listText<unsigned long long>(v);
    case Double: return listText<double>(v);
    }
    return QStringLiteral("?");
}

int elementCount(int type, const QVariant &v)
{
    switch (type) {
    case Bool: return v.value<QList<bool>>().size();
    case Int8: return v.value<QList<char>>().size();
    case UInt8: return v.value<QList<unsigned char>>().size();
    case Int16: return v.value<QList<short>>().size();
    case UInt16: return v.value<QList<unsigned short>>().size();
    case Int32: return v.value<QList<int>>().size();
    case UInt32: return v.value<QList<unsigned int>>().size();
    case Float: return v.value<QList<float>>().size();
    case Int64: return v.value<QList<long long>>().size();
    case UInt64: return v.value<QList<unsigned long long>>().size();
    case Double: return v.value<QList<double>>().size();
    }
    return 0;
}

// Where a tag lives in the simulator (word-area code as the grammar gives it).
struct Place {
    Area area;
    int word;
};

Place placeOf(const QString &address)
{
    struct Prefix { const char *name; Area area; };
    static const Prefix prefixes[] = {
        {"CIO", Area::CIO}, {"EM1", plcsim::emBank(0)}, {"EM2", plcsim::emBank(1)}, {"W", Area::W},
        {"H", Area::H}, {"A", Area::A}, {"D", Area::D},
    };
    for (const Prefix &p : prefixes) {
        if (address.startsWith(QLatin1String(p.name))) {
            const QString rest = address.mid(int(qstrlen(p.name)));
            return {p.area, rest.section(QLatin1Char('.'), 0, 0).toInt()};
        }
    }
    return {Area::D, -1};
}

QList<quint16> wordsAt(plcsim::Simulator &sim, Place place, int count)
{
    QList<quint16> words;
    for (int i = 0; i < count; ++i)
        words << sim.word(place.area, place.word + i);
    return words;
}

void fill(plcsim::Simulator &sim, Place place, int count, quint16 value)
{
    for (int i = 0; i < count; ++i)
        sim.setWord(place.area, place.word + i, value);
}

constexpr quint16 kBackground = 0x5555;

} // namespace

class TestHLinkPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyType_data();
    void everyType();
    void slowLine_data();
    void slowLine();
    void largeTransfersAreSplit();
    void frameLogLines();
    void refusalsSendNothing();
    void unitNumberFromSetConnectPar();
    void faults_data();
    void faults();
    void unansweredRequests_data();
    void unansweredRequests();
    void lateAnswerNeverBecomesNextValue();
    void droppedConnection();
    void switchingMedium();
    void serialLineGone();
    void twoDriversAreIndependent();
    void crossDriver_data();
    void crossDriver();
    void randomFaults();

private:
    QString tcpText() const { return QStringLiteral("127.0.0.1:%1").arg(m_tcpPort); }
    QString serialText(const QString &pts, int baud) const
    {
        return QStringLiteral("%1,%2,8,1,E").arg(pts).arg(baud);
    }
    void addTypeRows();

    plcsim::Simulator m_sim;      // TCP and the 115200 baud line share this memory
    plcsim::Simulator m_slowSim;  // the 9600 baud line
    quint16 m_tcpPort = 0;
    quint16 m_finsPort = 0;
    quint16 m_finsUdpPort = 0;
    QString m_pts;
    QString m_slowPts;
};

void TestHLinkPlugin::initTestCase()
{
    QVERIFY2(testsupport::hlinkPlugin().isLoaded(), qPrintable(testsupport::hlinkPlugin().errorString()));
    m_tcpPort = m_sim.startHostLinkTcp();
    QVERIFY(m_tcpPort != 0);
    m_finsPort = m_sim.startFins();
    m_finsUdpPort = m_sim.startFinsUdp(0, QStringLiteral("127.0.0.10")); // FINS/UDP node 10
    m_pts = m_sim.startHostLinkSerial(115200);
    QVERIFY(!m_pts.isEmpty());
    m_slowPts = m_slowSim.startHostLinkSerial(9600);
    QVERIFY(!m_slowPts.isEmpty());
    // A driver talks to unit 1 until SetConnectPar says otherwise.
    m_sim.setUnit(1);
    m_slowSim.setUnit(1);
}

void TestHLinkPlugin::cleanupTestCase()
{
    m_sim.stop();
    m_slowSim.stop();
}

// Rows: a value, the words it is in PLC memory, over a background of 0x5555
// (which shows that words and bytes nobody named stay untouched).
void TestHLinkPlugin::addTypeRows()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<QList<quint16>>("words");
    QTest::newRow("Int16 D100 x2") << "D100" << int(Int16) << tag(QList<short>{0x1234, -21555})
                                   << QList<quint16>{0x1234, 0xABCD};
    QTest::newRow("UInt16 W10") << "W10" << int(UInt16) << tag(QList<unsigned short>{0xBEEF}) << QList<quint16>{0xBEEF};
    QTest::newRow("Int8 D200 x3 (odd)") << "D200" << int(Int8) << tag(QList<char>{char(0x12), char(0xFF), char(0x80)})
                                        << QList<quint16>{0x12FF, 0x8055};
    QTest::newRow("UInt8 H5 x2") << "H5" << int(UInt8) << tag(QList<unsigned char>{0xA5, 0x01}) << QList<quint16>{0xA501};
    QTest::newRow("UInt8 H6 x1") << "H6" << int(UInt8) << tag(QList<unsigned char>{0xC3}) << QList<quint16>{0xC355};
    QTest::newRow("Int32 D300") << "D300" << int(Int32) << tag(QList<int>{0x14020187}) << QList<quint16>{0x0187, 0x1402};
    QTest::newRow("UInt32 CIO20") << "CIO20" << int(UInt32) << tag(QList<unsigned int>{0xDEADBEEFu})
                                  << QList<quint16>{0xBEEF, 0xDEAD};
    QTest::newRow("Float D400") << "D400" << int(Float) << tag(QList<float>{-123.456f}) << QList<quint16>{0xE979, 0xC2F6};
    QTest::newRow("Int64 D500") << "D500" << int(Int64) << tag(QList<long long>{0x0123456789ABCDEFll})
                                << QList<quint16>{0xCDEF, 0x89AB, 0x4567, 0x0123};
    QTest::newRow("UInt64 EM1100") << "EM1100" << int(UInt64) << tag(QList<unsigned long long>{0xFEDCBA9876543210ull})
                                   << QList<quint16>{0x3210, 0x7654, 0xBA98, 0xFEDC};
    QTest::newRow("Double A500") << "A500" << int(Double) << tag(QList<double>{1.0}) << QList<quint16>{0, 0, 0, 0x3FF0};
    QTest::newRow("Bool D600.3 x3") << "D600.3" << int(Bool) << tag(QList<bool>{true, false, true})
                                    << QList<quint16>{0x556D};
    QTest::newRow("Bool W20.15 x2") << "W20.15" << int(Bool) << tag(QList<bool>{true, true})
                                    << QList<quint16>{0xD555, 0x5555};
    QTest::newRow("Bool D700.20") << "D700.20" << int(Bool) << tag(QList<bool>{false}) << QList<quint16>{0x5555, 0x5545};
    QTest::newRow("Bool CIO10.12") << "CIO10.12" << int(Bool) << tag(QList<bool>{false}) << QList<quint16>{0x4555};
}

void TestHLinkPlugin::everyType_data()
{
    addTypeRows();
}

void TestHLinkPlugin::everyType()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(QList<quint16>, words);
    const int elements = elementCount(type, value.value);
    const Place place = placeOf(address);

    for (const QString &text : {tcpText(), serialText(m_pts, 115200)}) {
        Driver driver;
        QCOMPARE(driver->ConnectDrive(text), 0);

        // Read what the PLC holds.
        fill(m_sim, place, words.size() + 1, kBackground);
        for (int i = 0; i < words.size(); ++i)
            m_sim.setWord(place.area, place.word + i, words.at(i));
        CLabelVariable read = driver->ReadVariable(address, DataType(type), elements);
        QCOMPARE(read.errorCode, 0);
        QCOMPARE(read.count, elements);
        QCOMPARE(valueText(type, read.value), valueText(type, value.value));

        // Write it into a background and find exactly those words changed.
        fill(m_sim, place, words.size() + 1, kBackground);
        const QDateTime before = QDateTime::currentDateTime();
        const CLabelVariable written = driver->WriteVariable(address, DataType(type), value, elements);
        QCOMPARE(written.errorCode, 0);
        QVERIFY(written.timestamp >= before);
        QCOMPARE(wordsAt(m_sim, place, words.size()), words);
        QCOMPARE(m_sim.word(place.area, place.word + words.size()), kBackground);
        QCOMPARE(driver->DisConnectDrive(), 0);
    }
}

void TestHLinkPlugin::slowLine_data()
{
    addTypeRows();
}

// 9600 baud: an answer takes about 1 ms per character on the line.
void TestHLinkPlugin::slowLine()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(QList<quint16>, words);
    const int elements = elementCount(type, value.value);
    const Place place = placeOf(address);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(serialText(m_slowPts, 9600)), 0);
    fill(m_slowSim, place, words.size() + 1, kBackground);
    const CLabelVariable written = driver->WriteVariable(address, DataType(type), value, elements);
    QCOMPARE(written.errorCode, 0);
    QCOMPARE(wordsAt(m_slowSim, place, words.size()), words);
    CLabelVariable read = driver->ReadVariable(address, DataType(type), elements);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(valueText(type, read.value), valueText(type, value.value));
}

void TestHLinkPlugin::largeTransfersAreSplit()
{
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    const int n = 600; // three reads (269 + 269 + 62) and three writes (256 + 256 + 88)
    QList<unsigned short> values;
    for (int i = 0; i < n; ++i)
        values << static_cast<unsigned short>(i * 7 + 1);
    fill(m_sim, {Area::D, 1000}, n + 1, 0);
    const int framesBefore = m_sim.stats().hostLinkFrames;
    QCOMPARE(driver->WriteVariable(QStringLiteral("D1000"), UInt16, tag(values), n).errorCode, 0);
    QCOMPARE(m_sim.stats().hostLinkFrames - framesBefore, 3);
    for (int i = 0; i < n; ++i)
        QCOMPARE(m_sim.word(Area::D, 1000 + i), values.at(i));
    QCOMPARE(m_sim.word(Area::D, 1000 + n), quint16(0));
    CLabelVariable read = driver->ReadVariable(QStringLiteral("D1000"), UInt16, n);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(m_sim.stats().hostLinkFrames - framesBefore, 6);
    QCOMPARE(read.value.value<QList<unsigned short>>(), values);

    // One part failing fails the tag.
    plcsim::Faults faults;
    faults.closeAfterFrames = 2;
    m_sim.setFaults(faults);
    read = driver->ReadVariable(QStringLiteral("D1000"), UInt16, n);
    m_sim.setFaults(plcsim::Faults());
    QVERIFY(read.errorCode != 0);
    QVERIFY(!read.value.isValid());
}

void TestHLinkPlugin::frameLogLines()
{
    m_sim.setUnit(0);
    Driver driver;
    driver->SetConnectPar(QStringLiteral("0"));
    QCOMPARE(driver->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    m_sim.setWord(Area::D, 0, 0x1234);
    const QString peer = QStringLiteral("127.0.0.1:%1").arg(m_tcpPort);

    // First frame after a connect: SID 00, exactly the captured frames.
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    {
        testsupport::LogCapture log;
        QCOMPARE(driver->WriteVariable(QStringLiteral("D100"), Int16, tag(QList<short>{12})).errorCode, 0);
        QCOMPARE(log.messages(QtDebugMsg),
                 (QStringList{QString::fromUtf8("lib[HLink]写命令 %1 Area=D100  msg : ").arg(peer)
                                  + testsupport::hex("@00FA0000000000102820064000001000C0E*\r"),
                              QString::fromUtf8("lib[HLink]响应 %1 Area=D100  msg : ").arg(peer)
                                  + testsupport::hex("@00FA00400000000102000040*\r")}));
    }
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    {
        testsupport::LogCapture log;
        const CLabelVariable read = driver->ReadVariable(QStringLiteral("D0"), UInt16);
        QCOMPARE(read.errorCode, 0);
        QCOMPARE(read.value.value<QList<unsigned short>>(), QList<unsigned short>{0x1234});
        QCOMPARE(log.messages(QtDebugMsg),
                 (QStringList{QString::fromUtf8("lib[HLink]读命令 %1 Area=D0  msg : ").arg(peer)
                                  + testsupport::hex("@00FA00000000001018200000000017C*\r"),
                              QString::fromUtf8("lib[HLink]响应 %1 Area=D0  msg : ").arg(peer)
                                  + testsupport::hex("@00FA004000000001010000123447*\r")}));
        // The next request counts the SID up.
        log.clear();
        QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
        QCOMPARE(log.messages(QtDebugMsg).value(0),
                 QString::fromUtf8("lib[HLink]读命令 %1 Area=D0  msg : ").arg(peer)
                     + testsupport::hex("@00FA000000001" "0101820000000001" "7D*\r"));
    }
    {
        // A warning about an answer follows the answer's trace line.
        testsupport::LogCapture log;
        m_sim.setFaults([] { plcsim::Faults f; f.badFcs = true; return f; }());
        QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 7);
        m_sim.setFaults(plcsim::Faults());
        const QStringList lines = log.lines();
        QVERIFY2(lines.value(1).contains(QString::fromUtf8("响应")) && lines.value(2).startsWith(QLatin1String("warning:")),
                 qPrintable(lines.join(QLatin1Char('\n'))));
    }
    // Over the serial line the peer is empty.
    QCOMPARE(driver->ConnectDrive(serialText(m_pts, 115200)), 0);
    {
        testsupport::LogCapture log;
        QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
        QCOMPARE(log.messages(QtDebugMsg).value(0),
                 QString::fromUtf8("lib[HLink]读命令 :0 Area=D0  msg : ")
                     + testsupport::hex("@00FA00000000001018200000000017C*\r"));
    }
    QCOMPARE(driver->DebugCmd(StopDebug), QStringLiteral("StopDebug"));
    {
        testsupport::LogCapture log;
        QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
        QVERIFY(log.messages(QtDebugMsg).isEmpty());
    }
    m_sim.setUnit(1);
}

void TestHLinkPlugin::refusalsSendNothing()
{
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    const int before = m_sim.stats().hostLinkFrames;
    struct Case { const char *address; int type; int count; int code; };
    const Case cases[] = {
        {"D-3", Int16, 1, 5}, {"X100", Int16, 1, 3}, {"D100", Int16, 0, 4}, {"D65535", Int16, 2, 5},
        {"D100", 0, 1, 2}, {"D100", String, 1, 2}, {"D100", 20, 1, 2}, {"D1O0", Int16, 1, 5},
        {"D65534", Double, 1, 5},
    };
    for (const Case &c : cases) {
        const CLabelVariable r = driver->ReadVariable(QLatin1String(c.address), DataType(c.type), c.count);
        QCOMPARE(r.errorCode, c.code);
        QCOMPARE(r.dataType, c.type);
        const CLabelVariable w = driver->WriteVariable(QLatin1String(c.address), DataType(c.type),
                                                       tag(QList<short>{1, 2}), c.count);
        QCOMPARE(w.errorCode, c.code);
    }
    // Values that do not hold what the tag needs.
    QCOMPARE(driver->WriteVariable(QStringLiteral("D100"), Int16, tag(QList<int>{1})).errorCode, 2);
    QCOMPARE(driver->WriteVariable(QStringLiteral("D100"), Int16, tag(QList<short>{1}), 2).errorCode, 2);
    QCOMPARE(driver->WriteVariable(QStringLiteral("D100.1"), Bool, tag(QList<short>{1})).errorCode, 2);
    QCOMPARE(m_sim.stats().hostLinkFrames, before);
}

void TestHLinkPlugin::unitNumberFromSetConnectPar()
{
    m_sim.setUnit(5);
    m_sim.setWord(Area::D, 50, 0x0505);
    Driver driver;
    driver->SetConnectPar(QStringLiteral("5"));
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    CLabelVariable r = driver->ReadVariable(QStringLiteral("D50"), UInt16);
    QCOMPARE(r.errorCode, 0);
    QCOMPARE(r.atUInt16(0), quint16(0x0505));
    // A request for another unit is not answered, as on a multidrop line.
    driver->SetConnectPar(QStringLiteral("6"));
    r = driver->ReadVariable(QStringLiteral("D50"), UInt16);
    QCOMPARE(r.errorCode, 8);
    QVERIFY(r.timestamp.isNull());
    m_sim.setUnit(1);
}

void TestHLinkPlugin::faults_data()
{
    QTest::addColumn<QString>("medium");
    QTest::addColumn<plcsim::Faults>("faults");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("warning");
    auto rows = [](const char *medium) {
        plcsim::Faults f;
        auto row = [&](const char *name, int code, const char *warning) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(medium), QLatin1String(name))))
                << QString::fromLatin1(medium) << f << code << QString::fromLatin1(warning);
            f = plcsim::Faults();
        };
        f.delayMs = 300;
        row("delay", 0, "");
        f.chunkSize = 8;
        f.chunkGapMs = 5;
        row("chunks", 0, "");
        f.staleFirst = true;
        row("stale answer first", 0, "");
        f.endCode = 0x0040;
        row("FINS end code 0040 is success", 0, "");
        f.badFcs = true;
        row("bad FCS", 7, "FCS");
        f.hostLinkEndCode = 0x13;
        row("Host Link end code", 7, "Host Link end code 13");
        f.endCode = 0x1101;
        row("FINS end code", 7, "FINS end code 1101");
        f.missingTerminator = true;
        row("missing terminator", 7, "incomplete");
        f.cutShort = true;
        row("cut short", 7, "bad answer");
        f.garbage = true;
        row("garbage", 7, "bad answer");
    };
    rows("tcp");
    rows("serial");
}

void TestHLinkPlugin::faults()
{
    QFETCH(QString, medium);
    QFETCH(plcsim::Faults, faults);
    QFETCH(int, code);
    QFETCH(QString, warning);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(medium == QLatin1String("tcp") ? tcpText() : serialText(m_pts, 115200)), 0);
    fill(m_sim, {Area::D, 40}, 3, 0);
    m_sim.setWord(Area::D, 40, 0x1111);
    m_sim.setWord(Area::D, 41, 0x2222);
    // An answer to have something to repeat as the stale one.
    QCOMPARE(driver->ReadVariable(QStringLiteral("D41"), UInt16).errorCode, 0);

    testsupport::LogCapture log;
    m_sim.setFaults(faults);
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D40"), UInt16, 2);
    const CLabelVariable written = driver->WriteVariable(QStringLiteral("D42"), UInt16, tag(QList<unsigned short>{7}));
    m_sim.setFaults(plcsim::Faults());
    QCOMPARE(read.errorCode, code);
    QCOMPARE(written.errorCode, code);
    if (code == 0) {
        QCOMPARE(read.value.value<QList<unsigned short>>(), (QList<unsigned short>{0x1111, 0x2222}));
        QCOMPARE(m_sim.word(Area::D, 42), quint16(7));
    } else {
        QVERIFY(!read.value.isValid());
        QVERIFY(read.timestamp.isNull());
        QVERIFY2(log.contains(QtWarningMsg, QStringLiteral("lib[HLink]127.0.0.1")) || medium != QLatin1String("tcp"),
                 qPrintable(log.lines().join(QLatin1Char('\n'))));
        QVERIFY2(log.contains(QtWarningMsg, warning), qPrintable(log.lines().join(QLatin1Char('\n'))));
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("Area=D40")));
    }
    // The link is still good for the next request.
    QCOMPARE(driver->ReadVariable(QStringLiteral("D41"), UInt16).errorCode, 0);
}

void TestHLinkPlugin::unansweredRequests_data()
{
    QTest::addColumn<plcsim::Faults>("faults");
    plcsim::Faults f;
    f.silent = true;
    QTest::newRow("silent") << f;
    f = plcsim::Faults();
    f.wrongSid = true;
    QTest::newRow("wrong SID is dropped") << f;
    f = plcsim::Faults();
    f.wrongUnit = true;
    QTest::newRow("wrong unit is dropped") << f;
}

// Each costs the first-byte wait (how long is a benchmark figure).
void TestHLinkPlugin::unansweredRequests()
{
    QFETCH(plcsim::Faults, faults);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    m_sim.setFaults(faults);
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D40"), UInt16);
    m_sim.setFaults(plcsim::Faults());
    QCOMPARE(read.errorCode, 8);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D40"), UInt16).errorCode, 0);
}

void TestHLinkPlugin::lateAnswerNeverBecomesNextValue()
{
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    m_sim.setWord(Area::D, 60, 0x0BAD);
    plcsim::Faults late;
    late.delayMs = 2300; // after the driver has given up on it
    m_sim.setFaults(late);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D60"), UInt16).errorCode, 8);
    m_sim.setFaults(plcsim::Faults());
    m_sim.setWord(Area::D, 60, 0x600D);
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D60"), UInt16);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(read.value.value<QList<unsigned short>>(), QList<unsigned short>{0x600D});
}

void TestHLinkPlugin::droppedConnection()
{
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
    testsupport::LogCapture log;
    m_sim.dropConnections();
    const QString warning = QStringLiteral("lib[HLink]127.0.0.1:%1 Disconnected=1").arg(m_tcpPort);
    // The drop is noticed by the next exchange at the latest.
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D0"), UInt16);
    QCOMPARE(read.errorCode, 9);
    QTRY_VERIFY2(log.messages(QtWarningMsg).contains(warning), qPrintable(log.lines().join(QLatin1Char('\n'))));
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
    QCOMPARE(driver->DisConnectDrive(), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 9);
    QCOMPARE(driver->DestroyFree(), 0);
    QCOMPARE(driver->DestroyFree(), 1);
    QCOMPARE(driver->DisConnectDrive(), 1);
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
}

void TestHLinkPlugin::switchingMedium()
{
    Driver driver;
    m_sim.setWord(Area::D, 70, 0x7070);
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D70"), UInt16).atUInt16(0), quint16(0x7070));
    {
        // To serial: the TCP connection goes away.
        testsupport::LogCapture log;
        QCOMPARE(driver->ConnectDrive(serialText(m_pts, 115200)), 0);
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("Disconnected=")));
        CLabelVariable r = driver->ReadVariable(QStringLiteral("D70"), UInt16);
        QCOMPARE(r.errorCode, 0);
        QCOMPARE(r.atUInt16(0), quint16(0x7070));
    }
    // Back to TCP: the serial line is closed, so a second driver may open it.
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D70"), UInt16).errorCode, 0);
    {
        Driver other;
        QCOMPARE(other->ConnectDrive(serialText(m_pts, 115200)), 0);
        QCOMPARE(other->ReadVariable(QStringLiteral("D70"), UInt16).errorCode, 0);
    }
    // Disconnecting acts on the active medium only.
    QCOMPARE(driver->DisConnectDrive(), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D70"), UInt16).errorCode, 9);
    // A TCP connect while connected replaces the connection.
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D70"), UInt16).errorCode, 0); // the simulator has it
    const int connections = m_sim.stats().connections;
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    QTRY_COMPARE(m_sim.stats().connections, connections + 1);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D70"), UInt16).errorCode, 0);
}

// The other end of the line disappears: the read fails as not connected
// instead of waiting out its limits on a dead device.
void TestHLinkPlugin::serialLineGone()
{
    plcsim::Simulator sim;
    sim.setUnit(1);
    const QString pts = sim.startHostLinkSerial(115200);
    QVERIFY(!pts.isEmpty());
    Driver driver;
    QCOMPARE(driver->ConnectDrive(serialText(pts, 115200)), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
    sim.stop();
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D0"), UInt16);
    QVERIFY2(read.errorCode == 9 || read.errorCode == 8, qPrintable(QString::number(read.errorCode)));
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 9);
}

void TestHLinkPlugin::twoDriversAreIndependent()
{
    Driver a;
    Driver b;
    QVERIFY(a.operator->() != b.operator->());
    QCOMPARE(a->ConnectDrive(tcpText()), 0);
    QCOMPARE(b->ConnectDrive(tcpText()), 0);
    a->DebugCmd(StartDebug);
    testsupport::LogCapture log;
    QCOMPARE(b->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
    QVERIFY(log.messages(QtDebugMsg).isEmpty());
    QCOMPARE(a->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
    QCOMPARE(log.messages(QtDebugMsg).size(), 2);
    QCOMPARE(a->DisConnectDrive(), 0);
    QCOMPARE(b->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
}

void TestHLinkPlugin::crossDriver_data()
{
    addTypeRows();
}

// One memory, one value: what any of the four plug-ins writes, each of the
// others reads alike (C-mode has no command for W: it sits those rows out).
void TestHLinkPlugin::crossDriver()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(QList<quint16>, words);
    if (!testsupport::finsPlugin().isLoaded() || !testsupport::finsUdpPlugin().isLoaded()
        || !testsupport::hlinkcPlugin().isLoaded())
        PLC_SKIP_OR_FAIL_IN_CI("the other plug-ins do not load: " + testsupport::finsPlugin().errorString() + ' '
                               + testsupport::finsUdpPlugin().errorString() + ' '
                               + testsupport::hlinkcPlugin().errorString());
    const int elements = elementCount(type, value.value);
    const Place place = placeOf(address);
    Driver hlink;
    Driver fins(testsupport::finsPlugin());
    Driver finsUdp(testsupport::finsUdpPlugin());
    Driver cmode(testsupport::hlinkcPlugin());
    QVERIFY(fins.isValid() && finsUdp.isValid() && cmode.isValid());
    QCOMPARE(hlink->ConnectDrive(tcpText()), 0);
    QCOMPARE(fins->ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(m_finsPort)), 0);
    QCOMPARE(finsUdp->ConnectDrive(QStringLiteral("127.0.0.10:%1").arg(m_finsUdpPort)), 0);
    QCOMPARE(cmode->ConnectDrive(serialText(m_pts, 115200)), 0);
    Driver *const drivers[] = {&hlink, &fins, &finsUdp, &cmode};
    const char *const names[] = {"Host Link", "FINS/TCP", "FINS/UDP", "C-mode"};
    const int count = address.startsWith(QLatin1Char('W')) ? 3 : 4;
    for (int w = 0; w < count; ++w) {
        fill(m_sim, place, words.size() + 1, kBackground);
        QVERIFY2((*drivers[w])->WriteVariable(address, DataType(type), value, elements).errorCode == 0, names[w]);
        QCOMPARE(wordsAt(m_sim, place, words.size()), words);
        for (int r = 0; r < count; ++r) {
            if (r == w)
                continue;
            CLabelVariable read = (*drivers[r])->ReadVariable(address, DataType(type), elements);
            QVERIFY2(read.errorCode == 0, qPrintable(QStringLiteral("%1 -> %2").arg(names[w], names[r])));
            QCOMPARE(valueText(type, read.value), valueText(type, value.value));
        }
    }
}

// Random tags while the simulator injects random faults: a read that reports
// success returns exactly the simulator's memory; a write never touches
// words it did not name.
void TestHLinkPlugin::randomFaults()
{
    const quint32 seed = 20261208;
    qInfo("randomFaults seed %u", seed);
    QRandomGenerator random(seed);
    Driver driver;
    QCOMPARE(driver->ConnectDrive(tcpText()), 0);
    const int base = 2000;
    const int span = 64;
    fill(m_sim, {Area::D, base - 1}, span + 2, 0);
    for (int i = 0; i < span; ++i)
        m_sim.setWord(Area::D, base + i, quint16(random.generate()));

    const std::function<void(plcsim::Faults &)> faultKinds[] = {
        [](plcsim::Faults &) {},
        [](plcsim::Faults &f) { f.delayMs = 20; },
        [](plcsim::Faults &f) { f.chunkSize = 7; f.chunkGapMs = 3; },
        [](plcsim::Faults &f) { f.badFcs = true; },
        [](plcsim::Faults &f) { f.hostLinkEndCode = 0x15; },
        [](plcsim::Faults &f) { f.endCode = 0x1103; },
        [](plcsim::Faults &f) { f.cutShort = true; },
        [](plcsim::Faults &f) { f.staleFirst = true; },
        [](plcsim::Faults &f) { f.missingTerminator = true; },
        [](plcsim::Faults &f) { f.garbage = true; },
    };
    int succeeded = 0;
    int failed = 0;
    for (int round = 0; round < 150; ++round) {
        plcsim::Faults faults;
        if (random.bounded(3) != 0)
            faultKinds[random.bounded(int(std::size(faultKinds)))](faults);
        const int type = QList<int>{Bool, Int16, UInt16, Int32}.at(random.bounded(4));
        const int count = 1 + random.bounded(4);
        const int perElement = type == Int32 ? 2 : 1;
        const int word = base + random.bounded(span - 8);
        const int bit = type == Bool ? random.bounded(16) : -1;
        const QString address = bit >= 0 ? QStringLiteral("D%1.%2").arg(word).arg(bit) : QStringLiteral("D%1").arg(word);
        const int wordsCovered = type == Bool ? (bit + count + 15) / 16 : count * perElement;
        QList<quint16> memoryBefore = wordsAt(m_sim, {Area::D, base - 1}, span + 2);
        m_sim.setFaults(faults);
        const bool writing = random.bounded(2) == 0;
        QString context = QStringLiteral("round %1 %2 %3 type %4 count %5")
                              .arg(round).arg(writing ? "write" : "read", address).arg(type).arg(count);
        if (writing) {
            CLabelVariable value;
            if (type == Bool) {
                QList<bool> bits;
                for (int i = 0; i < count; ++i)
                    bits << (random.bounded(2) == 1);
                value = tag(bits);
            } else if (type == Int32) {
                QList<int> list;
                for (int i = 0; i < count; ++i)
                    list << int(random.generate());
                value = tag(list);
            } else if (type == Int16) {
                QList<short> list;
                for (int i = 0; i < count; ++i)
                    list << short(random.generate());
                value = tag(list);
            } else {
                QList<unsigned short> list;
                for (int i = 0; i < count; ++i)
                    list << quint16(random.generate());
                value = tag(list);
            }
            const CLabelVariable result = driver->WriteVariable(address, DataType(type), value, count);
            m_sim.setFaults(plcsim::Faults());
            (result.errorCode == 0 ? succeeded : failed)++;
            const QList<quint16> memoryAfter = wordsAt(m_sim, {Area::D, base - 1}, span + 2);
            for (int i = 0; i < memoryAfter.size(); ++i) {
                const int at = base - 1 + i;
                const bool named = at >= word && at < word + wordsCovered;
                if (!named)
                    QVERIFY2(memoryAfter.at(i) == memoryBefore.at(i), qPrintable(context));
            }
            if (type == Bool) {
                // Bits beside the named ones stay as they were.
                for (int b = 0; b < wordsCovered * 16; ++b) {
                    const bool namedBit = b >= bit && b < bit + count;
                    const int i = word - (base - 1) + b / 16;
                    if (!namedBit)
                        QVERIFY2(((memoryAfter.at(i) ^ memoryBefore.at(i)) >> (b % 16) & 1) == 0, qPrintable(context));
                }
            }
        } else {
            const CLabelVariable result = driver->ReadVariable(address, DataType(type), count);
            m_sim.setFaults(plcsim::Faults());
            (result.errorCode == 0 ? succeeded : failed)++;
            if (result.errorCode != 0) {
                QVERIFY2(!result.value.isValid(), qPrintable(context));
                continue;
            }
            const QList<quint16> w = wordsAt(m_sim, {Area::D, word}, wordsCovered);
            QString expected;
            if (type == Bool) {
                QList<bool> bits;
                for (int k = 0; k < count; ++k)
                    bits << (((w.at((bit + k) / 16) >> ((bit + k) % 16)) & 1) != 0);
                expected = listText<bool>(QVariant::fromValue(bits));
            } else if (type == Int32) {
                QList<int> list;
                for (int k = 0; k < count; ++k)
                    list << int(quint32(w.at(2 * k)) | (quint32(w.at(2 * k + 1)) << 16));
                expected = listText<int>(QVariant::fromValue(list));
            } else if (type == Int16) {
                QList<short> list;
                for (quint16 x : w)
                    list << short(x);
                expected = listText<short>(QVariant::fromValue(list));
            } else {
                QList<unsigned short> list;
                for (quint16 x : w)
                    list << x;
                expected = listText<unsigned short>(QVariant::fromValue(list));
            }
            QVERIFY2(valueText(type, result.value) == expected, qPrintable(context));
        }
    }
    qInfo("randomFaults: %d succeeded, %d failed", succeeded, failed);
    QVERIFY(succeeded > 20);
    QVERIFY(failed > 10);
}

QTEST_GUILESS_MAIN(TestHLinkPlugin)
#include "tst_hlinkplugin.moc"
