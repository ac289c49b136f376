// Random reads and writes of random tags while the simulator injects random
// faults. Whatever happens on the wire: a read that reports success returns
// exactly the simulator's memory, and no write changes memory outside the
// words (for bits: the bits) it names.
#include <QtTest>

#include <cstring>
#include <memory>
#include <random>

#include "FinsE2E.h"
#include "PlcSimulator.h"
#include "TestSupport.h"

using namespace fins_e2e;
using plcsim::Area;

namespace {

constexpr int kOperations = 260;
constexpr int kWordsD = 64; // tags live in D0..D63 and W0..W15
constexpr int kWordsW = 16;

int wordsPerElement(int type)
{
    switch (type) {
    case Int32: case UInt32: case Float: return 2;
    case Int64: case UInt64: case Double: return 4;
    default: return 1;
    }
}

// Words the tag covers from its first word.
int tagWords(int type, int bit, int count)
{
    if (type == Bool)
        return (bit + count + 15) / 16;
    if (type == Int8 || type == UInt8)
        return (count + 1) / 2;
    return count * wordsPerElement(type);
}

quint16 wordAt(const QByteArray &mem, int i)
{
    return quint16(quint8(mem.at(2 * i)) << 8 | quint8(mem.at(2 * i + 1)));
}

template <typename T>
T fromBits(quint64 bits)
{
    T value;
    std::memcpy(&value, &bits, sizeof(T)); // little-endian host: the low bytes
    return value;
}

template <typename T>
QVariant elementsFrom(const QByteArray &mem, int count)
{
    QList<T> list;
    const int n = int(sizeof(T)) / 2;
    for (int e = 0; e < count; ++e) {
        quint64 bits = 0;
        for (int w = 0; w < n; ++w)
            bits |= quint64(wordAt(mem, e * n + w)) << (16 * w);
        list << fromBits<T>(bits);
    }
    return QVariant::fromValue(list);
}

// The tag's value as the controller's memory holds it, computed here from
// the memory words alone.
QVariant expectedValue(int type, const QByteArray &mem, int bit, int count)
{
    switch (type) {
    case Bool: {
        QList<bool> bits;
        for (int i = bit; i < bit + count; ++i)
            bits << (((wordAt(mem, i / 16) >> (i % 16)) & 1) != 0);
        return QVariant::fromValue(bits);
    }
    case Int8: {
        QList<char> bytes;
        for (int i = 0; i < count; ++i)
            bytes << mem.at(i);
        return QVariant::fromValue(bytes);
    }
    case UInt8: {
        QList<unsigned char> bytes;
        for (int i = 0; i < count; ++i)
            bytes << quint8(mem.at(i));
        return QVariant::fromValue(bytes);
    }
    case Int16: return elementsFrom<short>(mem, count);
    case UInt16: return elementsFrom<unsigned short>(mem, count);
    case Int32: return elementsFrom<int>(mem, count);
    case UInt32: return elementsFrom<unsigned int>(mem, count);
    case Float: return elementsFrom<float>(mem, count);
    case Int64: return elementsFrom<long long>(mem, count);
    case UInt64: return elementsFrom<unsigned long long>(mem, count);
    case Double: return elementsFrom<double>(mem, count);
    }
    return QVariant();
}

template <typename T>
QVariant randomList(std::mt19937_64 &rng, int count)
{
    QList<T> list;
    for (int i = 0; i < count; ++i)
        list << fromBits<T>(rng());
    return QVariant::fromValue(list);
}

QVariant randomValue(std::mt19937_64 &rng, int type, int count)
{
    switch (type) {
    case Bool: {
        QList<bool> bits;
        for (int i = 0; i < count; ++i)
            bits << ((rng() & 1) != 0);
        return QVariant::fromValue(bits);
    }
    case Int8: return randomList<char>(rng, count);
    case UInt8: return randomList<unsigned char>(rng, count);
    case Int16: return randomList<short>(rng, count);
    case UInt16: return randomList<unsigned short>(rng, count);
    case Int32: return randomList<int>(rng, count);
    case UInt32: return randomList<unsigned int>(rng, count);
    case Float: return randomList<float>(rng, count);
    case Int64: return randomList<long long>(rng, count);
    case UInt64: return randomList<unsigned long long>(rng, count);
    default: return randomList<double>(rng, count);
    }
}

plcsim::Faults randomFaults(std::mt19937_64 &rng, QString *name)
{
    plcsim::Faults f;
    if (rng() % 10 < 7) {
        *name = QStringLiteral("none");
        return f;
    }
    switch (rng() % 11) {
    case 0: f.delayMs = int(rng() % 200); *name = QStringLiteral("delay"); break;
    case 1: f.chunkSize = 1 + int(rng() % 9); f.chunkGapMs = int(rng() % 4); *name = QStringLiteral("split"); break;
    case 2: f.silent = true; *name = QStringLiteral("silent"); break;
    case 3: f.delayMs = 560 + int(rng() % 100); *name = QStringLiteral("late"); break;
    case 4: f.wrongNode = true; *name = QStringLiteral("wrong node"); break;
    case 5: f.wrongSid = true; *name = QStringLiteral("wrong SID"); break;
    case 6: f.endCode = (rng() & 1) ? 0x1103 : 0x0040; *name = QStringLiteral("end code"); break;
    case 7: f.garbage = true; *name = QStringLiteral("garbage"); break;
    case 8: f.oversizedLength = true; *name = QStringLiteral("oversized length"); break;
    case 9: f.closeAfterFrames = 1 + int(rng() % 2); *name = QStringLiteral("close"); break;
    default: f.staleFirst = true; *name = QStringLiteral("stale first"); break;
    }
    return f;
}

} // namespace

class TestFinsNetRandom : public QObject
{
    Q_OBJECT

private slots:
    void randomTagsUnderRandomFaults();
};

void TestFinsNetRandom::randomTagsUnderRandomFaults()
{
    QVERIFY(testsupport::finsPlugin().isLoaded());
    const quint64 seed = qEnvironmentVariableIsSet("FINS_RANDOM_SEED")
        ? qEnvironmentVariable("FINS_RANDOM_SEED").toULongLong()
        : 20261208ull;
    qInfo("random seed %llu (set FINS_RANDOM_SEED to repeat another run)", seed);
    std::mt19937_64 rng(seed);

    plcsim::Simulator sim;
    const quint16 port = sim.startFins();
    QVERIFY(port != 0);
    for (int i = 0; i < kWordsD; ++i)
        sim.setWord(Area::D, i, quint16(rng()));
    CDriveBaseClass *drv = testsupport::finsPlugin().create();
    QCOMPARE(drv->ConnectDrive(endpoint(port)), 0);
    testsupport::LogCapture quiet; // the faults make the driver warn a lot

    int reads = 0, goodReads = 0, writes = 0, goodWrites = 0;
    for (int op = 0; op < kOperations; ++op) {
        const bool inW = rng() % 4 == 0;
        const Area area = inW ? Area::W : Area::D;
        const int areaWords = inW ? kWordsW : kWordsD;
        const int type = 1 + int(rng() % 11);
        const int bit = type == Bool ? int(rng() % 16) : 0;
        int count = 1 + int(rng() % (type == Bool ? 40 : 6));
        while (tagWords(type, bit, count) > areaWords / 2)
            --count;
        const int word = int(rng() % quint64(areaWords - tagWords(type, bit, count) + 1));
        const QString address = QStringLiteral("%1%2%3")
                                    .arg(inW ? QStringLiteral("W") : QStringLiteral("D"))
                                    .arg(word)
                                    .arg(type == Bool ? QStringLiteral(".%1").arg(bit) : QString());
        const bool isWrite = rng() % 2 == 0;
        QString faultName;
        sim.setFaults(randomFaults(rng, &faultName));
        const QString what = QStringLiteral("op %1 %2 %3 type %4 count %5 fault %6")
                                 .arg(op)
                                 .arg(isWrite ? QStringLiteral("write") : QStringLiteral("read"), address)
                                 .arg(type)
                                 .arg(count)
                                 .arg(faultName);
        const QByteArray before = sim.words(area, 0, areaWords);
        int errorCode = 0;
        if (isWrite) {
            ++writes;
            CLabelVariable value;
            value.value = randomValue(rng, type, count);
            errorCode = drv->WriteVariable(address, DataType(type), value, count).errorCode;
            const QByteArray after = sim.words(area, 0, areaWords);
            const int span = tagWords(type, bit, count);
            // Outside the named words nothing changes, whatever the outcome.
            QVERIFY2(after.left(2 * word) == before.left(2 * word), qPrintable(what));
            QVERIFY2(after.mid(2 * (word + span)) == before.mid(2 * (word + span)), qPrintable(what));
            const QByteArray tag = after.mid(2 * word, 2 * span);
            const QByteArray old = before.mid(2 * word, 2 * span);
            if (type == Bool) { // the other bits of those words stay as they were
                for (int i = 0; i < 16 * span; ++i) {
                    if (i >= bit && i < bit + count)
                        continue;
                    QVERIFY2(((wordAt(tag, i / 16) ^ wordAt(old, i / 16)) >> (i % 16) & 1) == 0, qPrintable(what));
                }
            }
            if ((type == Int8 || type == UInt8) && count % 2 == 1)
                QVERIFY2(tag.at(count) == old.at(count), qPrintable(what));
            if (errorCode == 0) {
                ++goodWrites;
                QCOMPARE(describe(expectedValue(type, tag, bit, count)), describe(value.value));
            }
        } else {
            ++reads;
            CLabelVariable result = drv->ReadVariable(address, DataType(type), count);
            errorCode = result.errorCode;
            if (errorCode == 0) {
                ++goodReads;
                const QByteArray mem = sim.words(area, word, tagWords(type, bit, count));
                QVERIFY2(describe(result.value) == describe(expectedValue(type, mem, bit, count)), qPrintable(what));
            } else {
                QVERIFY2(!result.value.isValid(), qPrintable(what));
            }
        }
        QVERIFY2(errorCode == 0 || errorCode == 7 || errorCode == 8 || errorCode == 9, qPrintable(what));
        if (faultName == QLatin1String("none") || faultName == QLatin1String("delay")
            || faultName == QLatin1String("split"))
            QVERIFY2(errorCode == 0, qPrintable(what));
        sim.setFaults(plcsim::Faults());
        if (errorCode == 9 || faultName == QLatin1String("close"))
            QCOMPARE(drv->ConnectDrive(endpoint(port)), 0);
    }
    qInfo("reads %d (%d succeeded), writes %d (%d succeeded)", reads, goodReads, writes, goodWrites);
    QVERIFY(goodReads > reads / 2);
    QVERIFY(goodWrites > writes / 2);
    delete dynamic_cast<QObject *>(drv);
}

QTEST_GUILESS_MAIN(TestFinsNetRandom)
#include "tst_finsnet_random.moc"
