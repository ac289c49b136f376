#ifndef LIBFINSUDP_H
#define LIBFINSUDP_H

// The FINS/UDP driver object the host holds: the FINS facade over one
// CmdFinsUdp, with the plug-in's name and its connection text
// (`ip:port[,plc=N][,node=N][,local=PORT][,timeout=MS][,retries=N]`).

#include <QObject>
#include <QString>

#include "CmdFinsUdp.h"
#include "FinsDriveFacade.h"

class LibFinsUdp : public FinsPlugin<CmdFinsUdp>
{
    Q_OBJECT

public:
    LibFinsUdp();
    ~LibFinsUdp() override;

    int ConnectDrive(QString connection) override;
};

#endif // LIBFINSUDP_H
