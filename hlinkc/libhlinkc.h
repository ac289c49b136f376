#ifndef LIBHLINKC_H
#define LIBHLINKC_H

// The Host Link C-mode driver as the host sees it: the common tag handling
// of DriveFacade, the Host Link connection texts, and PLC words through the
// C-mode commands of CmdHLinkC. Also the diagnostics face and the controller
// face (MS status, MM model; C-mode has no clock command).

#include <QObject>
#include <QString>

#include "CModeHostLinkLink.h"
#include "CmdHLinkC.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "DriveFacade.h"

class LibHLinkC : public DriveFacade, public DriveDiagnostics, public DriveController
{
    Q_OBJECT
    Q_INTERFACES(DriveDiagnostics DriveController)

public:
    LibHLinkC();
    ~LibHLinkC() override;

    int ConnectDrive(QString connection) override;
    int DisConnectDrive() override;
    int DestroyFree() override;
    CLabelVariable ReadVariable(QString address, DataType type, int count) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value, int count) override;
    using DriveFacade::ReadVariable;
    using DriveFacade::WriteVariable;

    QString checkConnectionText(const QString &text) const override;
    QVariantMap addressing() const override;
    Outcome lastOutcome() const override { return last; }
    quint64 droppedAnswers() const override { return cmd.droppedAnswers(); }

    Outcome readIdentity(ControllerIdentity *out) override;
    Outcome readStatus(ControllerStatus *out) override;
    Outcome readClock(QDateTime *out) override;
    Outcome writeClock(const QDateTime &time) override;

protected:
    Outcome readWords(int area, int word, int count, const QString &tag, Words *out) override;
    Outcome writeWords(int area, int word, const Words &words, const QString &tag) override;
    Outcome writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag) override;
    void setDebug(bool on) override { cmd.debugOn = on; }

private:
    int unit() const { return int(connectParameter()); }
    int reachCode(const QString &address, DataType type, int count, int *checkCode);
    Outcome record(const Outcome &outcome);

    CModeHostLinkLink link;
    CmdHLinkC cmd{&link};
    Outcome last;
    QVariantMap peer;
};

#endif // LIBHLINKC_H
