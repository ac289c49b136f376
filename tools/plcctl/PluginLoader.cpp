#include "PluginLoader.h"

#include "CDriveBaseClass.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace plcctl {

namespace {

// Directories relative to the program: the program's own, the install tree
// (bin/../lib...), then the build tree's plug-in directories.
QStringList searchDirs(const QString &programDir)
{
    QStringList dirs;
    dirs << programDir;
#ifdef PLCCTL_INSTALL_LIBDIR
    dirs << programDir + QStringLiteral("/../" PLCCTL_INSTALL_LIBDIR "/plcdrivers")
         << programDir + QStringLiteral("/../" PLCCTL_INSTALL_LIBDIR);
#endif
    dirs << programDir + QStringLiteral("/../lib/plcdrivers") << programDir + QStringLiteral("/../lib");
#ifdef PLCCTL_BUILD_FINS_DIR
    dirs << QStringLiteral(PLCCTL_BUILD_FINS_DIR);
#endif
#ifdef PLCCTL_BUILD_HLINK_DIR
    dirs << QStringLiteral(PLCCTL_BUILD_HLINK_DIR);
#endif
#ifdef PLCCTL_BUILD_FINSUDP_DIR
    dirs << QStringLiteral(PLCCTL_BUILD_FINSUDP_DIR);
#endif
#ifdef PLCCTL_BUILD_HLINKC_DIR
    dirs << QStringLiteral(PLCCTL_BUILD_HLINKC_DIR);
#endif
#ifdef PLCCTL_BUILD_CIPNET_DIR
    dirs << QStringLiteral(PLCCTL_BUILD_CIPNET_DIR);
#endif
    dirs.removeDuplicates();
    return dirs;
}

bool isPath(const QString &driver)
{
    return driver.contains(QLatin1Char('/')) || driver.endsWith(QLatin1String(".so"))
           || driver.contains(QLatin1String(".so."));
}

} // namespace

QString pluginFileName(const QString &name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("fins") || n == QLatin1String("finsnet"))
        return QStringLiteral("libLibFinsNet.so");
    if (n == QLatin1String("finsudp"))
        return QStringLiteral("libLibFinsUdp.so");
    if (n == QLatin1String("cip") || n == QLatin1String("cipnet"))
        return QStringLiteral("libLibCipNet.so");
    if (n == QLatin1String("hostlink") || n == QLatin1String("hlink"))
        return QStringLiteral("libLibHLink.so");
    if (n == QLatin1String("hostlinkc") || n == QLatin1String("hlinkc"))
        return QStringLiteral("libLibHLinkC.so");
    return QString();
}

QStringList pluginCandidates(const QString &driver, const QString &programDir)
{
    if (isPath(driver))
        return {driver};
    const QString file = pluginFileName(driver);
    if (file.isEmpty())
        return {};
    QStringList out;
    for (const QString &dir : searchDirs(programDir))
        out << QDir::cleanPath(dir + QLatin1Char('/') + file);
    out.removeDuplicates();
    return out;
}

LoadResult loadDriver(const QString &driver, const QString &programDir)
{
    LoadResult result;
    const QStringList candidates = pluginCandidates(driver, programDir);
    if (candidates.isEmpty()) {
        result.error = QStringLiteral("unknown driver '%1' (fins, finsudp, hostlink, hostlinkc, cip or a path to a plug-in .so)").arg(driver);
        return result;
    }
    QString path;
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty()) {
        result.error = QStringLiteral("driver plug-in '%1' not found; looked for:\n  %2")
                           .arg(driver, candidates.join(QStringLiteral("\n  ")));
        return result;
    }
    // The QLibrary object may go; the library stays loaded (no unload() is
    // ever called), as the driver object and its meta-objects live in it.
    QLibrary library(QFileInfo(path).absoluteFilePath());
    if (!library.load()) {
        result.error = QStringLiteral("cannot load %1: %2").arg(path, library.errorString());
        return result;
    }
    auto entry = reinterpret_cast<GetSharedLibraryFn>(library.resolve("getSharedLibrary"));
    if (!entry) {
        result.error = QStringLiteral("%1 is no driver plug-in: it has no getSharedLibrary").arg(path);
        return result;
    }
    result.driver = entry();
    result.path = path;
    if (!result.driver)
        result.error = QStringLiteral("getSharedLibrary of %1 returned no driver").arg(path);
    return result;
}

} // namespace plcctl
