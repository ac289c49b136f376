#include "libfinsnet.h"

#include <QMessageLogger>

#include "NumericAddress.h"
#include "ReconnectOption.h"

namespace {

// The reason an `ip:port[,reconnect=on|off]` text is refused, or empty;
// `*address` and `*port` are its parts.
QString textFault(const QString &connection, QString *address, int *port)
{
    QString text = connection;
    bool reconnect = false;
    if (!ReconnectOption::take(&text, &reconnect))
        return QStringLiteral("reconnect= takes on or off");
    // The last colon: an IPv6 address has colons of its own.
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return QStringLiteral("no ':' between address and port (ip:port)");
    *address = text.left(colon);
    bool ok = false;
    *port = text.mid(colon + 1).toInt(&ok, 10);
    if (!ok || *port < 1 || *port > 65535)
        return QStringLiteral("the port must be a number 1-65535");
    if (!NumericAddress::parse(*address))
        return QStringLiteral("\"%1\" is not a numeric IPv4 (four decimal octets) or IPv6 address").arg(*address);
    return QString();
}

} // namespace

LibFinsNet::LibFinsNet()
    : FinsPlugin({QStringLiteral("FinsNet"), QStringLiteral("V1.7.4 20230221"), QStringLiteral("v1.7.4 %1 %2")},
                 QStringLiteral("lib[FinsNet]"), false)
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
        Outcome refused = Outcome::make(Outcome::Kind::Refused, QStringLiteral("text"), textFault(connection, &address, &port));
        refused.refusedCode = 1;
        transfer().setLastOutcome(refused);
        return -1;
    }
    const int result = link.ConnectDrive(address, port);
    // After the connect: a failed handshake's DisConnectDrive must not undo it.
    link.setReconnect(reconnect);
    log().setPeer(link.peerAddress(), link.peerPort());
    if (result == 0) {
        transfer().resetSid();
        transfer().restoreLimits(); // a new connection may reach another controller
    }
    transfer().setLastOutcome(link.connectOutcome());
    return result;
}

QString LibFinsNet::checkConnectionText(const QString &text) const
{
    QString address;
    int port = 0;
    return textFault(text, &address, &port);
}

QVariantMap LibFinsNet::addressing() const
{
    return QVariantMap{{QStringLiteral("plc"), link.serverNodeNumber()},
                       {QStringLiteral("node"), link.clientNodeNumber()},
                       {QStringLiteral("address"), link.peerAddress()},
                       {QStringLiteral("port"), link.peerPort()}};
}
