#include "libfinsnet.h"

LibFinsNet::LibFinsNet() = default;
LibFinsNet::~LibFinsNet() = default;

QString LibFinsNet::getDriveName()
{
    return QStringLiteral("FinsNet");
}

QString LibFinsNet::getversion_number()
{
    return QStringLiteral("V1.7.4 20230221");
}

QString LibFinsNet::versionPattern() const
{
    return QStringLiteral("v1.7.4 %1 %2");
}

FinsMemoryAccess &LibFinsNet::memory()
{
    return cmd;
}

int LibFinsNet::ConnectDrive(QString connection)
{
    const int colon = connection.indexOf(QLatin1Char(':'));
    ipAddress = colon < 0 ? connection : connection.left(colon);
    bool ok = false;
    ipPort = (colon < 0 ? connection : connection.mid(colon + 1)).toInt(&ok, 10);
    if (!ok)
        ipPort = 0;
    if (ipAddress.isEmpty() || ipPort < 1 || ipPort > 65535)
        return -1;
    return cmd.ConnectDrive(ipAddress, ipPort);
}

int LibFinsNet::DisConnectDrive()
{
    return cmd.DisConnectDrive();
}

int LibFinsNet::DestroyFree()
{
    return cmd.DestroyFree();
}
