#ifndef LIBFINSUDP_H
#define LIBFINSUDP_H

// The FINS/UDP driver object the host holds: the FINS facade and core over
// one CmdFinsUdp link, with the plug-in's name and its connection text
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

    // Parses the text (a bad one is refused with a warning naming the
    // setting, and nothing is touched), opens the socket and reads one word
    // (D0) as a probe: 0 once a FINS node answered, whatever its end code;
    // -1 bad text or no node number, -2 no answer after all attempts, -3
    // the local port is taken, the address unreachable or the port closed.
    int ConnectDrive(QString connection) override;

    QString checkConnectionText(const QString &text) const override;
    QVariantMap addressing() const override;

    quint16 localPort() const { return link.localPort(); }
};

#endif // LIBFINSUDP_H
