#ifndef PLCCTL_DOCTORSESSION_H
#define PLCCTL_DOCTORSESSION_H

// `plcctl DRIVER doctor [CONNECTION]`: the steps of a connection one by one
// (the text, the address, the handshake or port, one test read), each shown
// when it ends, with what to check when it fails. Everything it learns about
// the plug-in's side comes from the plug-in's results and its own log lines.

#include "ConnectionCheck.h"
#include "DoctorFindings.h"
#include "DoctorStep.h"

#include <QPair>

#include <QList>
#include <QString>
#include <QStringList>

class CDriveBaseClass;

namespace plcctl {

class DoctorSession
{
public:
    DoctorSession(CDriveBaseClass *driver, const QString &driverName, const QString &connection, int unit,
                  bool simulated, bool json);
    // The exit status: 0 when the test read worked, 4 when a step before it
    // failed, 1 when the read itself failed.
    int run();

    static constexpr int ReachTimeoutMs = 3000;

private:
    bool checkReach();
    bool runFinsTcp();
    bool runHostLink();
    bool runFinsUdp();
    bool runHostLinkC();
    QStringList connect(int *result, qint64 *elapsedMs);
    TestRead testRead();
    void add(const DoctorStep &step);
    void skipRest();

    CDriveBaseClass *m_driver;
    QString m_driverName;
    QString m_connection;
    int m_unit;
    bool m_simulated;
    bool m_json;
    DriverKind m_kind;
    ConnectionTarget m_target;
    QList<DoctorStep> m_steps;
    QList<QPair<QString, QString>> m_plan; // id and title of every step, for the skipped ones
};

} // namespace plcctl

#endif // PLCCTL_DOCTORSESSION_H
