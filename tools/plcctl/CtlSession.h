#ifndef PLCCTL_CTLSESSION_H
#define PLCCTL_CTLSESSION_H

// One run of plcctl as a host runs a driver: load the plug-in, set the unit,
// connect (to the built-in simulator when no connection text is given), do
// the command, disconnect and release.

#include "CtlArguments.h"
#include "EmbeddedSimulator.h"

#include <QString>
#include <QStringList>

class CDriveBaseClass;

namespace plcctl {

enum ExitStatus {
    ExitOk = 0,
    ExitFailed = 1,        // a read or write reported a result code other than 0
    ExitUsage = 2,         // bad arguments
    ExitSetup = 3,         // plug-in or simulator could not be started
    ExitConnectFailed = 4, // ConnectDrive failed
};

class CtlSession
{
public:
    CtlSession(const CtlArguments &args, const QString &programDir);
    int run();

private:
    int open();
    int load();
    int connect();
    void close();
    int doctor();
    int info();
    int read();
    int write();
    QStringList driverWords() const;
    void reportFailure(const QString &what, int errorCode, const QStringList &words);

    CtlArguments m_args;
    QString m_programDir;
    CDriveBaseClass *m_driver = nullptr;
    QString m_driverName;
    QString m_pluginPath;
    QString m_connection;
    EmbeddedSimulator m_simulator;
    QString m_unit;          // SetConnectPar text given to the driver; empty: none
    bool m_simulated = false;
};

} // namespace plcctl

#endif // PLCCTL_CTLSESSION_H
