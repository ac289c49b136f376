// A driver object with all three faces and no protocol, made a plug-in like
// the real ones (plc_add_plugin), for tst_plugins.
#include <QObject>

#include "CDriveBaseClass.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"

QString probeKitCopy();

namespace {

class ProbeDrive : public QObject, public CDriveBaseClass, public DriveDiagnostics, public DriveController
{
    Q_OBJECT
    Q_INTERFACES(CDriveBaseClass DriveDiagnostics DriveController)

public:
    QString getDriveName() override { return probeKitCopy(); }
    QString getversion_number() override { return {}; }
    QString DebugCmd(EDebugCmdType) override { return {}; }
    int ConnectDrive(QString) override { return -1; }
    void SetConnectPar(QString) override {}
    int DisConnectDrive() override { return 1; }
    CLabelVariable ReadVariable(QString a, DataType t) override { return ReadVariable(a, t, 1); }
    CLabelVariable ReadVariable(QString, DataType, int) override { return {}; }
    CLabelVariable WriteVariable(QString, DataType, CLabelVariable v) override { return v; }
    CLabelVariable WriteVariable(QString, DataType, CLabelVariable v, int) override { return v; }
    int DestroyFree() override { return 1; }

    QString checkConnectionText(const QString &text) const override { return text + QStringLiteral("@") + probeKitCopy(); }
    QVariantMap addressing() const override { return {}; }
    Outcome lastOutcome() const override { return Outcome::done(); }
    quint64 droppedAnswers() const override { return 0; }

    Outcome readIdentity(ControllerIdentity *out) override { return out->model = probeKitCopy(), Outcome::done(); }
    Outcome readStatus(ControllerStatus *) override { return Outcome::done(); }
    Outcome readClock(QDateTime *) override { return Outcome::done(); }
    Outcome writeClock(const QDateTime &) override { return Outcome::done(); }
};

} // namespace

extern "C" Q_DECL_EXPORT CDriveBaseClass *getSharedLibrary()
{
    return new ProbeDrive;
}

#include "ProbePlugin.moc"
