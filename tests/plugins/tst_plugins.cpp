// What a plug-in shows a host: one dynamic symbol, the entry point, and
// driver objects whose faces a host reaches by qobject_cast; two plug-ins in
// one process each keep their own copy of the kit, even when the host loads
// them with RTLD_GLOBAL.
#include <QtTest>

#include <QDirIterator>
#include <QLibrary>
#include <QProcess>

#include "CDriveBaseClass.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"

namespace {

// Every library made with plc_add_plugin, as "target=file" items joined by |.
QMap<QString, QString> registeredPlugins()
{
    QMap<QString, QString> plugins;
    for (const QString &item : QStringLiteral(PLC_PLUGIN_FILES).split(QLatin1Char('|'), Qt::SkipEmptyParts))
        plugins.insert(item.section(QLatin1Char('='), 0, 0), item.section(QLatin1Char('='), 1));
    return plugins;
}

QStringList definedDynamicSymbols(const QString &file)
{
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), QStringLiteral("--format=posix"), file});
    if (!nm.waitForFinished(60000) || nm.exitCode() != 0)
        return {QStringLiteral("<nm failed: %1>").arg(QString::fromLocal8Bit(nm.readAllStandardError()))};
    QStringList names;
    for (const QByteArray &line : nm.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            names << QString::fromLatin1(line.split(' ').value(0));
    return names;
}

CDriveBaseClass *createGlobal(QLibrary &library)
{
    library.setLoadHints(QLibrary::ExportExternalSymbolsHint); // RTLD_GLOBAL: the host most prone to mixing
    if (!library.load())
        return nullptr;
    auto entry = reinterpret_cast<GetSharedLibraryFn>(library.resolve("getSharedLibrary"));
    return entry ? entry() : nullptr;
}

} // namespace

class TestPlugins : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheEntryPoint_data()
    {
        QTest::addColumn<QString>("file");
        const QMap<QString, QString> plugins = registeredPlugins();
        for (auto it = plugins.cbegin(); it != plugins.cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.value();
    }

    void onlyTheEntryPoint()
    {
        QFETCH(QString, file);
        QCOMPARE(definedDynamicSymbols(file), QStringList{QStringLiteral("getSharedLibrary")});
    }

    // A plug-in made without plc_add_plugin would escape the check above.
    void everyPluginIsRegistered()
    {
        QStringList known;
        for (const QString &file : registeredPlugins())
            known << QFileInfo(file).canonicalFilePath();
        QVERIFY(known.size() >= 3);
        QStringList strays;
        QDirIterator it(QStringLiteral(PLC_BUILD_DIR), {QStringLiteral("*.so")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = QFileInfo(it.next()).canonicalFilePath();
            if (!known.contains(file) && definedDynamicSymbols(file).contains(QStringLiteral("getSharedLibrary")))
                strays << file;
        }
        QVERIFY2(strays.isEmpty(), qPrintable(strays.join(QLatin1Char(' '))));
    }

    // Two probe plug-ins, built alike from one source with a different kit
    // answer, loaded globally into this host.
    void ownKitAndFaces()
    {
        QLibrary first(QStringLiteral(PLC_PROBE_A)), second(QStringLiteral(PLC_PROBE_B));
        CDriveBaseClass *const drives[] = {createGlobal(first), createGlobal(second)};
        const QString copies[] = {QStringLiteral("probe-a"), QStringLiteral("probe-b")};
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(drives[i], qPrintable(first.errorString() + second.errorString()));
            QCOMPARE(drives[i]->getDriveName(), copies[i]);
            QObject *object = dynamic_cast<QObject *>(drives[i]);
            QVERIFY(object);
            QCOMPARE(qobject_cast<CDriveBaseClass *>(object), drives[i]);
            auto *diagnostics = qobject_cast<DriveDiagnostics *>(object);
            QVERIFY(diagnostics);
            QCOMPARE(diagnostics->checkConnectionText(QStringLiteral("x")), QStringLiteral("x@") + copies[i]);
            QCOMPARE(diagnostics->lastOutcome().step, copies[i]);
            QCOMPARE(diagnostics->droppedAnswers(), quint64(7));
            auto *controller = qobject_cast<DriveController *>(object);
            QVERIFY(controller);
            ControllerIdentity identity;
            QVERIFY(controller->readIdentity(&identity).ok());
            QCOMPARE(identity.model, copies[i]);
            delete object;
        }
    }
};

QTEST_GUILESS_MAIN(TestPlugins)
#include "tst_plugins.moc"
