#ifndef LIBFINSNET_H
#define LIBFINSNET_H

// The FINS/TCP driver object the host holds: the FINS facade and core over
// one CmdFinsNet link, with the plug-in's name and its `ip:port` connection
// text.

#include <QObject>
#include <QString>

#include "CmdFinsNet.h"
#include "FinsDriveFacade.h"

class LibFinsNet : public FinsPlugin<CmdFinsNet>
{
    Q_OBJECT

public:
    LibFinsNet();
    ~LibFinsNet() override;

    int ConnectDrive(QString connection) override;

    QString checkConnectionText(const QString &text) const override;
    QVariantMap addressing() const override;
};

#endif // LIBFINSNET_H
