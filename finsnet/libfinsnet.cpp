#include "libfinsnet.h"

LibFinsNet::LibFinsNet()
    : FinsPlugin({QStringLiteral("FinsNet"), QStringLiteral("V1.7.4 20230221"), QStringLiteral("v1.7.4 %1 %2")})
{
}

LibFinsNet::~LibFinsNet() = default;

int LibFinsNet::ConnectDrive(QString connection)
{
    QString address;
    int port = 0;
    if (!splitHostPort(connection, &address, &port))
        return -1;
    return cmd.ConnectDrive(address, port);
}
