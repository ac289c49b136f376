#include "ReconnectText.h"

#include <QStringList>

QString withReconnect(const QString &driverName, const QString &connection)
{
    const QStringList fields = connection.split(QLatin1Char(','));
    const bool tcpDriver = driverName == QLatin1String("FinsNet") || driverName == QLatin1String("HLink");
    if (!tcpDriver || !fields.first().contains(QLatin1Char(':'))
        || connection.contains(QLatin1String("reconnect="), Qt::CaseInsensitive))
        return connection;
    return connection + QStringLiteral(",reconnect=on");
}
