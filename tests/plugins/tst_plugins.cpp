// What a plug-in shows a host: one dynamic symbol, the entry point; driver
// objects whose faces a host reaches by qobject_cast; and, beside another
// plug-in in the same process (loaded RTLD_GLOBAL), its own copy of the kit.
#include <QtTest>

#include <QDirIterator>
#include <QLibrary>
#include <QProcess>

#include "CDriveBaseClass.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"

namespace {

// Every library made with plc_add_plugin: target -> file.
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
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), QStringLiteral("-j"), file});
    if (!nm.waitForFinished(60000) || nm.exitCode() != 0)
        return {QStringLiteral("<nm failed: %1>").arg(QString::fromLocal8Bit(nm.readAllStandardError()))};
    return QString::fromLatin1(nm.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestPlugins : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheEntryPoint()
    {
        const QMap<QString, QString> plugins = registeredPlugins();
        QVERIFY(plugins.size() >= 5);
        QStringList known;
        for (auto it = plugins.cbegin(); it != plugins.cend(); ++it) {
            QCOMPARE(definedDynamicSymbols(it.value()), QStringList{QStringLiteral("getSharedLibrary")});
            known << QFileInfo(it.value()).canonicalFilePath();
        }
        // A plug-in made without plc_add_plugin would escape the check above.
        QStringList strays;
        for (QDirIterator it(QStringLiteral(PLC_BUILD_DIR), {QStringLiteral("*.so")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = QFileInfo(it.next()).canonicalFilePath();
            if (!known.contains(file) && !file.contains(QLatin1String("/_CPack_Packages/")) // staged package copies
                && definedDynamicSymbols(file).contains(QStringLiteral("getSharedLibrary")))
                strays << file;
        }
        QVERIFY2(strays.isEmpty(), qPrintable(strays.join(QLatin1Char(' '))));
    }

    // Two probe plug-ins, built alike from one source with a different kit answer.
    void ownKitAndFaces()
    {
        for (const char *copy : {"probe-a", "probe-b"}) {
            QLibrary library(registeredPlugins().value(QStringLiteral("plcprobe_") + QLatin1Char(copy[6])));
            library.setLoadHints(QLibrary::ExportExternalSymbolsHint); // the host most prone to mixing
            auto entry = reinterpret_cast<GetSharedLibraryFn>(library.resolve("getSharedLibrary"));
            QVERIFY2(entry, qPrintable(library.errorString()));
            CDriveBaseClass *drive = entry();
            QCOMPARE(drive->getDriveName(), QLatin1String(copy)); // its own kit's answer
            QObject *object = dynamic_cast<QObject *>(drive);
            QVERIFY(object && qobject_cast<CDriveBaseClass *>(object) == drive);
            auto *diagnostics = qobject_cast<DriveDiagnostics *>(object);
            QVERIFY(diagnostics && diagnostics->checkConnectionText(QStringLiteral("x")) == QStringLiteral("x@") + copy);
            auto *controller = qobject_cast<DriveController *>(object);
            ControllerIdentity identity;
            QVERIFY(controller && controller->readIdentity(&identity).ok() && identity.model == QLatin1String(copy));
            delete object;
        }
    }
};

QTEST_GUILESS_MAIN(TestPlugins)
#include "tst_plugins.moc"
