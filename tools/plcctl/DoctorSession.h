#ifndef PLCCTL_DOCTORSESSION_H
#define PLCCTL_DOCTORSESSION_H

// `plcctl DRIVER doctor [CONNECTION]`: the steps of a connection one by one
// (the text, the connection, the handshake, port or node numbers, one test
// read), each shown when it ends, with what to check when it fails.
// Everything it learns about the plug-in's side comes from the plug-in's
// results and its diagnostics face (DriveDiagnostics): its own text check,
// its addressing and the outcome of its last exchange.

#include "DoctorAdvice.h"
#include "DoctorStep.h"

#include <QList>
#include <QPair>
#include <QString>

class CDriveBaseClass;
class DriveDiagnostics;

namespace plcctl {

class DoctorSession
{
public:
    DoctorSession(CDriveBaseClass *driver, const QString &driverName, const QString &connection, int unit,
                  bool simulated, bool json);
    // The exit status: 0 when the test read worked, 4 when a step before it
    // failed, 1 when the read itself failed.
    int run();

private:
    bool connectSteps();
    void readStepRun();
    void cmodeSteps();
    QString scanUnits();
    StepFacts facts(qint64 elapsedMs, quint64 droppedBefore) const;
    void add(const DoctorStep &step);
    void skipRest();

    CDriveBaseClass *m_driver;
    DriveDiagnostics *m_face;
    QString m_driverName;
    QString m_connection;
    int m_unit;
    bool m_simulated;
    bool m_json;
    DriverKind m_kind;
    QList<DoctorStep> m_steps;
    QList<QPair<QString, QString>> m_plan; // id and title of every step, for the skipped ones
};

} // namespace plcctl

#endif // PLCCTL_DOCTORSESSION_H
