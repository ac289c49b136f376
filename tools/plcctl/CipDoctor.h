#ifndef PLCCTL_CIPDOCTOR_H
#define PLCCTL_CIPDOCTOR_H

// `plcctl cip doctor [CONNECTION] [--probe NAME[:TYPE]]`: the connection
// text, TCP, the session, the controller's identity and one test read of a
// named variable, with the likely cause of a failure (not published, a
// wrong name, a wrong type). What it learns of the plug-in's side comes
// through the plug-in's diagnostics and controller faces.

#include "DoctorStep.h"

#include <QList>
#include <QString>

class CDriveBaseClass;
class DriveDiagnostics;
class DriveController;

namespace plcctl {

class CipDoctor
{
public:
    CipDoctor(CDriveBaseClass *driver, const QString &connection, const QString &probe, bool simulated, bool json);
    // 0 when the test read worked, 4 when a step before it failed, 1 when
    // the read itself failed (or was not asked for).
    int run();

private:
    bool syntax();
    bool reach();
    bool session();
    void identity();
    bool read();
    void add(const DoctorStep &step);

    CDriveBaseClass *m_driver;
    DriveDiagnostics *m_diag = nullptr;
    DriveController *m_controller = nullptr;
    QString m_connection;
    QString m_probe;
    bool m_simulated;
    bool m_json;
    QList<DoctorStep> m_steps;
};

} // namespace plcctl

#endif // PLCCTL_CIPDOCTOR_H
