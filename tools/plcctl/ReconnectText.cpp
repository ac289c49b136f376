#include "ReconnectText.h"

#include <QStringList>

QString withReconnect(const QString &driverName, const QString &connection)
{
    const QStringList fields = connection.split(QLatin1Char(','));
    // An EtherNet/IP text is always TCP (its port may be left out); a Host
    // Link text is when its first field is ip:port.
    const bool cip = driverName == QLatin1String("CipNet");
    const bool tcpDriver = cip || driverName == QLatin1String("FinsNet") || driverName == QLatin1String("HLink")
        || driverName == QLatin1String("HLinkC");
    if (!tcpDriver || (!cip && !fields.first().contains(QLatin1Char(':')))
        || connection.contains(QLatin1String("reconnect="), Qt::CaseInsensitive))
        return connection;
    return connection + QStringLiteral(",reconnect=on");
}
