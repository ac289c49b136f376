#include "libfinsudp.h"

LibFinsUdp::LibFinsUdp()
    : FinsPlugin({QStringLiteral("FinsUdp"), QStringLiteral("V1.0.0 20261209"), QStringLiteral("v1.0.0 %1 %2")})
{
}

LibFinsUdp::~LibFinsUdp() = default;

int LibFinsUdp::ConnectDrive(QString connection)
{
    return cmd.ConnectDrive(connection);
}
