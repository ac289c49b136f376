#ifndef LIBFINSNET_H
#define LIBFINSNET_H

// The FINS/TCP driver object the host holds: the FINS facade over one
// CmdFinsNet, with the plug-in's name and its `ip:port` connection text.

#include <QObject>
#include <QString>

#include "CmdFinsNet.h"
#include "FinsDriveFacade.h"

class LibFinsNet : public FinsDriveFacade
{
    Q_OBJECT

public:
    LibFinsNet();
    ~LibFinsNet() override;

    QString getDriveName() override;
    QString getversion_number() override;
    int ConnectDrive(QString connection) override;
    int DisConnectDrive() override;
    int DestroyFree() override;

protected:
    FinsMemoryAccess &memory() override;
    QString versionPattern() const override;

private:
    CmdFinsNet cmd;
    QString ipAddress;
    int ipPort = 0;
};

#endif // LIBFINSNET_H
