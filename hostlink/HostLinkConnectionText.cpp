#include "HostLinkConnectionText.h"

#include <QStringList>

#include "NumericAddress.h"
#include "ReconnectOption.h"

namespace HostLinkConnectionText {
namespace {

int number(const QStringList &fields, int i)
{
    return i < fields.size() ? fields.at(i).trimmed().toInt() : 0;
}

int parseSerial(const QString &text, Serial *line, QString *reason)
{
    const QStringList fields = text.split(QLatin1Char(','));
    line->port = fields.at(0);
    line->baud = number(fields, 1);
    line->dataBits = number(fields, 2);
    line->stopBits = number(fields, 3);
    line->parity = fields.size() > 4 ? fields.at(4) : QString();
    if (line->port.isEmpty())
        *reason = QStringLiteral("no serial port name before the first ','");
    else if (line->baud == 0 || line->dataBits == 0 || line->stopBits == 0)
        *reason = QStringLiteral("baud rate, data bits and stop bits must be numbers (port,baud,databits,stopbits,parity)");
    else
        return 0;
    return -1;
}

int parseTcp(const QString &connection, Tcp *tcp, QString *reason)
{
    QString text = connection;
    if (!ReconnectOption::take(&text, &tcp->reconnect)) {
        *reason = QStringLiteral("reconnect= takes on or off");
        return -1;
    }
    // The last colon: an IPv6 address has colons of its own.
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok, 10);
    const QString address = text.left(colon);
    if (!ok || port < 1 || port > 65535)
        *reason = QStringLiteral("the port must be a number 1-65535");
    else if (!NumericAddress::parse(address))
        *reason = QStringLiteral("\"%1\" is not a numeric IPv4 (four decimal octets) or IPv6 address").arg(address);
    else {
        tcp->address = address;
        tcp->port = quint16(port);
        return 0;
    }
    return -1;
}

} // namespace

int parse(const QString &text, Settings *settings, QString *reason)
{
    Settings parsed;
    int result = -4;
    if (text.section(QLatin1Char(','), 0, 0).contains(QLatin1Char(':'))) {
        result = parseTcp(text, &parsed.tcp, reason);
    } else if (text.contains(QLatin1Char(','))) {
        parsed.serial = true;
        result = parseSerial(text, &parsed.line, reason);
    } else {
        *reason = QStringLiteral("neither a serial text (port,baud,databits,stopbits,parity) nor ip:port");
    }
    if (result == 0)
        *settings = parsed;
    return result;
}

} // namespace HostLinkConnectionText
