#ifndef LIBCIPNET_H
#define LIBCIPNET_H

// The EtherNet/IP driver object the host holds: published NJ/NX variables
// by name over explicit messages. Tag texts are variable paths (CipPath),
// the connection text `ip[:port][,timeout=MS][,connected=on]`. String (12)
// is a transfer type here: its values are QList<QString>.

#include <QObject>
#include <QString>

#include "CDriveBaseClass.h"
#include "CipLink.h"
#include "CipPath.h"
#include "CipTransfer.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"

class LibCipNet : public QObject, public CDriveBaseClass, public DriveDiagnostics, public DriveController
{
    Q_OBJECT
    Q_INTERFACES(CDriveBaseClass DriveDiagnostics DriveController)

public:
    LibCipNet();
    ~LibCipNet() override;

    QString getDriveName() override;
    QString getversion_number() override;
    QString DebugCmd(EDebugCmdType cmd) override;
    int ConnectDrive(QString connection) override;
    void SetConnectPar(QString parameter) override;
    int DisConnectDrive() override;
    CLabelVariable ReadVariable(QString address, DataType type) override;
    CLabelVariable ReadVariable(QString address, DataType type, int count) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value, int count) override;
    int DestroyFree() override;

    QString checkConnectionText(const QString &text) const override;
    QVariantMap addressing() const override;
    Outcome lastOutcome() const override;
    quint64 droppedAnswers() const override;

    Outcome readIdentity(ControllerIdentity *out) override;
    Outcome readStatus(ControllerStatus *out) override;
    Outcome readClock(QDateTime *out) override;
    Outcome writeClock(const QDateTime &time) override;

private:
    // The checks before anything is sent; 0 or the result code.
    int check(const QString &address, int type, int count, CipPath::Path *path, bool writing);
    CLabelVariable readStep(const CipPath::Path &path, const QString &tag, int type, int count);
    CLabelVariable writeStep(const CipPath::Path &path, const QString &tag, int type, int count,
                             CLabelVariable value);
    Outcome readAttribute(quint8 attribute, QByteArray *data);
    Outcome remember(const Outcome &outcome);

    CipLink link;
    CipTransfer transfer{link};
    CipLink::Settings settings;
    QString connectPar;
    Outcome last;
};

#endif // LIBCIPNET_H
