#ifndef PLCCTL_PLUGINLOADER_H
#define PLCCTL_PLUGINLOADER_H

// Finds and loads a driver plug-in the way a host does: QLibrary, resolve
// the C entry point getSharedLibrary, call it for one driver object.

#include <QString>
#include <QStringList>

class CDriveBaseClass;

namespace plcctl {

// File name of a short driver name ("fins" -> "libLibFinsNet.so"); empty when
// `name` is no short name.
QString pluginFileName(const QString &name);

// Where a plug-in given as `driver` is looked for, in order. A path (with a
// "/" or ending in ".so") is taken as it is; a short name is searched next to
// the program, in the install tree relative to it and in the build tree.
QStringList pluginCandidates(const QString &driver, const QString &programDir);

struct LoadResult {
    CDriveBaseClass *driver = nullptr; // never deleted: hosts keep drivers for the process's life
    QString path;                      // the file that was loaded
    QString error;                     // why nothing was loaded
};

// Loads the first candidate that exists and creates one driver object.
LoadResult loadDriver(const QString &driver, const QString &programDir);

} // namespace plcctl

#endif // PLCCTL_PLUGINLOADER_H
