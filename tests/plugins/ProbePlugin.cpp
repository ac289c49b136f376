// A driver object with all three faces and no protocol, built as a plug-in
// like the real ones (plc_add_plugin), for tst_plugins: the faces must be
// reachable from a host through qobject_cast with nothing exported but the
// entry point, and the kit copy it calls must be its own.
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
    QString getversion_number() override { return QStringLiteral("0"); }
    QString DebugCmd(EDebugCmdType) override { return QString(); }
    int ConnectDrive(QString) override { return -1; }
    void SetConnectPar(QString) override {}
    int DisConnectDrive() override { return 1; }
    CLabelVariable ReadVariable(QString, DataType) override { return CLabelVariable(); }
    CLabelVariable ReadVariable(QString, DataType, int) override { return CLabelVariable(); }
    CLabelVariable WriteVariable(QString, DataType, CLabelVariable v) override { return v; }
    CLabelVariable WriteVariable(QString, DataType, CLabelVariable v, int) override { return v; }
    int DestroyFree() override { return 1; }

    QString checkConnectionText(const QString &text) const override { return text + QStringLiteral("@") + probeKitCopy(); }
    QVariantMap addressing() const override { return {{QStringLiteral("copy"), probeKitCopy()}}; }
    Outcome lastOutcome() const override { return Outcome::make(Outcome::Kind::NoAnswer, probeKitCopy(), QString()); }
    quint64 droppedAnswers() const override { return 7; }

    Outcome readIdentity(ControllerIdentity *out) override
    {
        out->model = probeKitCopy();
        return Outcome::done();
    }
    Outcome readStatus(ControllerStatus *) override { return Outcome::make(Outcome::Kind::Unsupported, {}, {}); }
    Outcome readClock(QDateTime *) override { return Outcome::make(Outcome::Kind::Unsupported, {}, {}); }
    Outcome writeClock(const QDateTime &) override { return Outcome::make(Outcome::Kind::Unsupported, {}, {}); }
};

} // namespace

extern "C" Q_DECL_EXPORT CDriveBaseClass *getSharedLibrary()
{
    return new ProbeDrive;
}

#include "ProbePlugin.moc"
