#include "libfinsudp.h"

LibFinsUdp::LibFinsUdp() = default;
LibFinsUdp::~LibFinsUdp() = default;

QString LibFinsUdp::getDriveName()
{
    return QStringLiteral("FinsUdp");
}

QString LibFinsUdp::getversion_number()
{
    return QStringLiteral("V1.0.0 20261209");
}

QString LibFinsUdp::versionPattern() const
{
    return QStringLiteral("v1.0.0 %1 %2");
}

FinsMemoryAccess &LibFinsUdp::memory()
{
    return cmd;
}

int LibFinsUdp::ConnectDrive(QString connection)
{
    return cmd.ConnectDrive(connection);
}

int LibFinsUdp::DisConnectDrive()
{
    return cmd.DisConnectDrive();
}

int LibFinsUdp::DestroyFree()
{
    return cmd.DestroyFree();
}
