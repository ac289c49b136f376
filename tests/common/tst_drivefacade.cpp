// The common driver facade over a recording word transport: which words a
// tag reads and writes, the bytes and bits a write must keep, and the
// result code each kind of Outcome reaches the host as.
#include <QtTest>

#include "DriveFacade.h"

Q_DECLARE_METATYPE(CLabelVariable)
Q_DECLARE_METATYPE(QVector<quint16>)

namespace {

constexpr quint16 kBackground = 0x5555;

// D words 0..63 in memory; every transfer is logged as "read WORD COUNT",
// "write WORD COUNT" or "bits WORD BIT COUNT". A transfer that fails changes
// nothing.
class RecordingDriver : public DriveFacade
{
public:
    RecordingDriver()
        : DriveFacade({QStringLiteral("Rec"), QStringLiteral("V9"), QStringLiteral("v9 %1 %2")})
    {
    }
    int ConnectDrive(QString) override { return 0; }
    int DisConnectDrive() override { return 0; }
    int DestroyFree() override { return 0; }
    unsigned int parameter() const { return connectParameter(); }

    QVector<quint16> memory = QVector<quint16>(64, kBackground);
    QStringList calls;
    Outcome::Kind readResult = Outcome::Kind::Done;
    Outcome::Kind writeResult = Outcome::Kind::Done;
    bool debug = false;

protected:
    static Outcome outcome(Outcome::Kind kind) { return Outcome::make(kind, "answer", "as the test says"); }
    Outcome readWords(int, int word, int count, const QString &, Words *out) override
    {
        calls << QStringLiteral("read %1 %2").arg(word).arg(count);
        if (readResult == Outcome::Kind::Done)
            *out = memory.mid(word, count);
        return outcome(readResult);
    }
    Outcome writeWords(int, int word, const Words &words, const QString &) override
    {
        calls << QStringLiteral("write %1 %2").arg(word).arg(words.size());
        for (int i = 0; writeResult == Outcome::Kind::Done && i < words.size(); ++i)
            memory[word + i] = words.at(i);
        return outcome(writeResult);
    }
    Outcome writeBits(int, int word, int bit, const QByteArray &flags, const QString &) override
    {
        calls << QStringLiteral("bits %1 %2 %3").arg(word).arg(bit).arg(flags.size());
        for (int i = 0; writeResult == Outcome::Kind::Done && i < flags.size(); ++i) {
            const int n = bit + i;
            quint16 &target = memory[word + n / 16];
            target = quint16(flags.at(i) ? target | (1 << (n % 16)) : target & ~(1 << (n % 16)));
        }
        return outcome(writeResult);
    }
    void setDebug(bool on) override { debug = on; }
};

constexpr int kDone = int(Outcome::Kind::Done);
constexpr int kBad = int(Outcome::Kind::BadAnswer);
constexpr int kSilent = int(Outcome::Kind::NoAnswer);
constexpr int kGone = int(Outcome::Kind::NotConnected);

template <typename T>
CLabelVariable tag(const QList<T> &list)
{
    CLabelVariable v;
    v.value = QVariant::fromValue(list);
    return v;
}

} // namespace

class TestDriveFacade : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes();
    void reads_data();
    void reads();
    void identityAndSettings();
};

void TestDriveFacade::writes_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<CLabelVariable>("value");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("readResult");
    QTest::addColumn<int>("writeResult");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QVector<quint16>>("words"); // D10, D11 afterwards
    const CLabelVariable odd = tag(QList<unsigned char>{0xA5, 0x01, 0xC3});
    QTest::newRow("odd UInt8 count keeps the PLC's low byte")
        << "D10" << int(UInt8) << odd << 3 << kDone << kDone << 0 << QStringList{"read 11 1", "write 10 2"}
        << QVector<quint16>{0xA501, 0xC355};
    QTest::newRow("that read failing writes nothing")
        << "D10" << int(UInt8) << odd << 3 << kSilent << kDone << 8 << QStringList{"read 11 1"}
        << QVector<quint16>{kBackground, kBackground};
    QTest::newRow("one Int8 is half a word") << "D11" << int(Int8) << tag(QList<char>{char(0x80)}) << 1 << kDone << kDone << 0
                                             << QStringList{"read 11 1", "write 11 1"}
                                             << QVector<quint16>{kBackground, 0x8055};
    QTest::newRow("even Int8 count reads nothing") << "D10" << int(Int8) << tag(QList<char>{0x12, 0x34}) << 2 << kDone << kDone
                                                   << 0 << QStringList{"write 10 1"}
                                                   << QVector<quint16>{0x1234, kBackground};
    QTest::newRow("Int32 lowest word first") << "D10" << int(Int32) << tag(QList<int>{0x14020187}) << 1 << kDone << kDone << 0
                                             << QStringList{"write 10 2"} << QVector<quint16>{0x0187, 0x1402};
    QTest::newRow("bad answer is 7") << "D10" << int(Int32) << tag(QList<int>{1}) << 1 << kDone << kBad << 7
                                     << QStringList{"write 10 2"} << QVector<quint16>{kBackground, kBackground};
    QTest::newRow("not connected is 9") << "D10" << int(UInt16) << tag(QList<unsigned short>{1}) << 1 << kDone << kGone << 9
                                        << QStringList{"write 10 1"} << QVector<quint16>{kBackground, kBackground};
    QTest::newRow("D10.20 is bit 4 of D11") << "D10.20" << int(Bool) << tag(QList<bool>{false, true, false}) << 3 << kDone
                                            << kDone << 0 << QStringList{"bits 11 4 3"}
                                            << QVector<quint16>{kBackground, 0x5525};
    QTest::newRow("bits, no answer is 8") << "D10.3" << int(Bool) << tag(QList<bool>{true}) << 1 << kDone << kSilent << 8
                                          << QStringList{"bits 10 3 1"} << QVector<quint16>{kBackground, kBackground};
    QTest::newRow("only count elements go out") << "D10" << int(UInt16) << tag(QList<unsigned short>{7, 8, 9}) << 1
                                                << kDone << kDone << 0 << QStringList{"write 10 1"}
                                                << QVector<quint16>{7, kBackground};
}

void TestDriveFacade::writes()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(int, count);
    QFETCH(int, readResult);
    QFETCH(int, writeResult);
    QFETCH(int, code);
    QFETCH(QStringList, calls);
    QFETCH(QVector<quint16>, words);
    RecordingDriver driver;
    driver.readResult = Outcome::Kind(readResult);
    driver.writeResult = Outcome::Kind(writeResult);
    const CLabelVariable result = driver.WriteVariable(address, DataType(type), value, count);
    QCOMPARE(result.errorCode, code);
    QCOMPARE(driver.calls, calls);
    QCOMPARE(driver.memory.mid(10, 2), words);
    QCOMPARE(driver.memory.mid(0, 10), QVector<quint16>(10, kBackground));
    QCOMPARE(driver.memory.mid(12), QVector<quint16>(52, kBackground));
    QCOMPARE(result.timestamp.isNull(), code != 0);
}

void TestDriveFacade::reads_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("readResult");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("call");
    QTest::newRow("Bool from bit 15 covers two words") << "D10.15" << int(Bool) << 2 << 0 << 0 << "read 10 2";
    QTest::newRow("Bool D10.20 starts at D10") << "D10.20" << int(Bool) << 1 << 0 << 0 << "read 10 2";
    QTest::newRow("three Int8 are two words") << "D10" << int(Int8) << 3 << 0 << 0 << "read 10 2";
    QTest::newRow("Double is four words") << "D10" << int(Double) << 2 << 0 << 0 << "read 10 8";
    QTest::newRow("bad answer") << "D10" << int(UInt16) << 1 << kBad << 7 << "read 10 1";
    QTest::newRow("end code") << "D10" << int(UInt16) << 1 << int(Outcome::Kind::EndCode) << 7 << "read 10 1";
    QTest::newRow("no answer") << "D10" << int(UInt16) << 1 << kSilent << 8 << "read 10 1";
    QTest::newRow("not connected") << "D10" << int(UInt16) << 1 << kGone << 9 << "read 10 1";
    QTest::newRow("no such command") << "D10" << int(UInt16) << 1 << int(Outcome::Kind::Unsupported) << 1
                                     << "read 10 1";
    QTest::newRow("refused: nothing read") << "D65535" << int(Int32) << 1 << kDone << 5 << "";
}

void TestDriveFacade::reads()
{
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, readResult);
    QFETCH(int, code);
    QFETCH(QString, call);
    RecordingDriver driver;
    driver.readResult = Outcome::Kind(readResult);
    driver.memory[10] = 0x8000;
    driver.memory[11] = 0x0011;
    const CLabelVariable result = driver.ReadVariable(address, DataType(type), count);
    QCOMPARE(result.errorCode, code);
    QCOMPARE(driver.calls.join(QLatin1Char(',')), call);
    QCOMPARE(result.value.isValid(), code == 0);
    QCOMPARE(result.timestamp.isNull(), code != 0 && code != 5);
    if (type == Bool && code == 0) {
        // D10 bit 15 and D11 bits 0 and 4.
        const QList<bool> expected = address == QLatin1String("D10.15") ? QList<bool>{true, true}
                                                                        : QList<bool>{true};
        QCOMPARE(result.value.value<QList<bool>>(), expected);
    }
}

void TestDriveFacade::identityAndSettings()
{
    RecordingDriver driver;
    CDriveBaseClass *face = &driver;
    QCOMPARE(face->getDriveName(), QStringLiteral("Rec"));
    QCOMPARE(face->getversion_number(), QStringLiteral("V9"));
    QCOMPARE(face->DebugCmd(GetDriveName), QStringLiteral("Rec"));
    QVERIFY(face->DebugCmd(GetVersion).startsWith(QStringLiteral("v9 ")));
    QCOMPARE(face->DebugCmd(StartDebug), QStringLiteral("StartDebug"));
    QVERIFY(driver.debug);
    QCOMPARE(face->DebugCmd(StopDebug), QStringLiteral("StopDebug"));
    QVERIFY(!driver.debug);
    QCOMPARE(driver.qt_metacast("CDriveBaseClass"), static_cast<void *>(face));
    QCOMPARE(driver.parameter(), 1u);
    face->SetConnectPar(QStringLiteral("17"));
    QCOMPARE(driver.parameter(), 17u);
    face->SetConnectPar(QStringLiteral("x"));
    QCOMPARE(driver.parameter(), 0u);
}

QTEST_GUILESS_MAIN(TestDriveFacade)
#include "tst_drivefacade.moc"
