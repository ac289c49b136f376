// Every plug-in from several host threads at once: three driver objects per
// plug-in, each made, used and deleted on its own thread, one simulator; each
// thread writes its own tag and reads it back. scripts/tsan.sh runs it under
// ThreadSanitizer.
#include <QtTest>

#include <QLibrary>
#include <QThread>

#include <atomic>
#include <memory>

#include "CDriveBaseClass.h"
#include "PlcSimulator.h"

namespace {

constexpr int kThreadsPerPlugin = 3, kRounds = 100, kWords = 8;

class HostThread : public QThread
{
public:
    HostThread(GetSharedLibraryFn entry, const QString &connection, const QString &unit, int base)
        : entry(entry), connection(connection), unit(unit), base(base) {}
    const GetSharedLibraryFn entry;
    const QString connection, unit;
    const int base; // the thread's tag: D(base) .. D(base + kWords - 1); on CipNet the variable D<base>, UINT[8]
    QStringList failures;
    QList<unsigned short> last;
    // Set last in run(): QThread::wait alone orders nothing a thread checker sees.
    std::atomic<bool> finished{false};

private:
    void run() override
    {
        CDriveBaseClass *drive = entry();
        if (!unit.isEmpty())
            drive->SetConnectPar(unit);
        const int connected = drive->ConnectDrive(connection);
        if (connected != 0)
            failures << QStringLiteral("ConnectDrive %1: %2").arg(connection).arg(connected);
        const QString tag = QStringLiteral("D%1").arg(base);
        for (int round = 0; connected == 0 && round < kRounds && failures.size() < 5; ++round) {
            last.clear();
            for (int i = 0; i < kWords; ++i)
                last << quint16(base * 7 + round * 31 + i);
            CLabelVariable value;
            value.value = QVariant::fromValue(last);
            const int written = drive->WriteVariable(tag, UInt16, value, kWords).errorCode;
            const CLabelVariable read = drive->ReadVariable(tag, UInt16, kWords);
            if (written != 0 || read.errorCode != 0 || read.value.value<QList<unsigned short>>() != last)
                failures << QStringLiteral("round %1: write %2, read %3").arg(round).arg(written).arg(read.errorCode);
        }
        drive->DisConnectDrive();
        delete dynamic_cast<QObject *>(drive);
        finished.store(true, std::memory_order_release);
    }
};

} // namespace

class TestThreads : public QObject
{
    Q_OBJECT

private slots:
    void allPluginsAtOnce()
    {
        plcsim::Simulator sim;
        const quint16 fins = sim.startFins(), hostLink = sim.startHostLinkTcp(), udp = sim.startFinsUdp(0, QStringLiteral("127.0.0.10"));
        const quint16 cip = sim.startCip();
        QVERIFY(fins && hostLink && udp && cip);
        // Connection text per plug-in (%1: the thread's number). A new plug-in needs its row.
        const QMap<QString, QString> connections = {
            {QStringLiteral("LibFinsNet"), QStringLiteral("127.0.0.1:%1").arg(fins)},
            {QStringLiteral("LibHLink"), QStringLiteral("127.0.0.1:%1").arg(hostLink)},
            {QStringLiteral("LibHLinkC"), QStringLiteral("127.0.0.1:%1").arg(hostLink)},
            {QStringLiteral("LibFinsUdp"), QStringLiteral("127.0.0.10:%1,node=2%2").arg(udp).arg(QLatin1String("%1"))},
            {QStringLiteral("LibCipNet"), QStringLiteral("127.0.0.1:%1").arg(cip)}};
        QString cipTable; // the CipNet threads' variables, named like the others' tags
        QList<int> cipBases;
        std::vector<std::unique_ptr<QLibrary>> libraries;
        std::vector<std::unique_ptr<HostThread>> threads;
        for (const QString &item : QStringLiteral(PLC_PLUGIN_FILES).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
            const QString target = item.section(QLatin1Char('='), 0, 0);
            if (target.startsWith(QLatin1String("plcprobe")))
                continue; // tst_plugins' probes, no drivers
            QVERIFY2(connections.contains(target), qPrintable("no connection for the plug-in " + target));
            libraries.emplace_back(new QLibrary(item.section(QLatin1Char('='), 1)));
            libraries.back()->setLoadHints(QLibrary::ExportExternalSymbolsHint); // RTLD_GLOBAL
            auto entry = reinterpret_cast<GetSharedLibraryFn>(libraries.back()->resolve("getSharedLibrary"));
            QVERIFY2(entry, qPrintable(libraries.back()->errorString()));
            const QString text = connections[target], unit = target.startsWith(QLatin1String("LibHLink")) ? QStringLiteral("0") : QString();
            for (int k = 0; k < kThreadsPerPlugin; ++k) {
                const int base = 1000 + 100 * int(threads.size());
                if (target == QLatin1String("LibCipNet")) {
                    cipTable += QStringLiteral("D%1 UINT [%2]\n").arg(base).arg(kWords);
                    cipBases << base;
                }
                threads.emplace_back(new HostThread(entry, text.contains(QLatin1Char('%')) ? text.arg(k) : text, unit, base));
            }
        }
        QCOMPARE(sim.setCipVariables(cipTable), QString());
        for (auto &t : threads)
            t->start();
        for (auto &t : threads) {
            QVERIFY2(t->wait(300000) && t->finished.load(std::memory_order_acquire), "a host thread did not end");
            QVERIFY2(t->failures.isEmpty(), qPrintable(t->failures.join(QLatin1String("; "))));
            const QByteArray cipBytes = sim.cipBytes(QStringLiteral("D%1").arg(t->base));
            for (int w = 0; w < kWords; ++w) {
                if (cipBases.contains(t->base)) // little-endian UINTs of the variable
                    QCOMPARE(quint16(quint8(cipBytes.at(2 * w)) | quint8(cipBytes.at(2 * w + 1)) << 8), t->last.at(w));
                else
                    QCOMPARE(sim.word(plcsim::Area::D, t->base + w), t->last.at(w));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestThreads)
#include "tst_threads.moc"
