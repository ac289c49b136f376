#ifndef LIBFINSUDP_H
#define LIBFINSUDP_H

// The FINS/UDP driver object the host holds: the FINS facade over one
// CmdFinsUdp, with the plug-in's name and its connection text
// (`ip:port[,plc=N][,node=N][,local=PORT][,timeout=MS][,retries=N]`).

#include <QObject>
#include <QString>

#include "CmdFinsUdp.h"
#include "FinsDriveFacade.h"

class LibFinsUdp : public FinsDriveFacade
{
    Q_OBJECT

public:
    LibFinsUdp();
    ~LibFinsUdp() override;

    QString getDriveName() override;
    QString getversion_number() override;
    int ConnectDrive(QString connection) override;
    int DisConnectDrive() override;
    int DestroyFree() override;

protected:
    FinsMemoryAccess &memory() override;
    QString versionPattern() const override;

private:
    CmdFinsUdp cmd;
};

#endif // LIBFINSUDP_H
