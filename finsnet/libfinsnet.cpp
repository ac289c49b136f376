#include "libfinsnet.h"

#include <QMessageLogger>

#include "ReconnectOption.h"

LibFinsNet::LibFinsNet()
    : FinsPlugin({QStringLiteral("FinsNet"), QStringLiteral("V1.7.4 20230221"), QStringLiteral("v1.7.4 %1 %2")})
{
}

LibFinsNet::~LibFinsNet() = default;

int LibFinsNet::ConnectDrive(QString connection)
{
    QString address, hostPort = connection;
    int port = 0;
    bool reconnect = false;
    if (!ReconnectOption::take(&hostPort, &reconnect) || !splitHostPort(hostPort, &address, &port)) {
        // Nothing is opened; the line says which text was refused.
        QMessageLogger().warning().noquote() << QStringLiteral("lib[FinsNet]连接参数错误 %1").arg(connection);
        return -1;
    }
    const int result = cmd.ConnectDrive(address, port);
    // After the connect: a failed handshake's DisConnectDrive must not undo it.
    cmd.setReconnect(reconnect);
    return result;
}
