#include "CModeConnectionText.h"

#include <QHostAddress>
#include <QStringList>

#include "DriveFacade.h"

namespace CModeConnectionText {
namespace {

// DriveFacade keeps its host:port splitter for its drivers; this reaches it.
struct HostPort : DriveFacade {
    static bool split(const QString &text, QString *address, int *port) { return splitHostPort(text, address, port); }
};

Parsed refuse(int code, const QString &reason)
{
    Parsed p;
    p.code = code;
    p.reason = reason;
    return p;
}

} // namespace

Parsed parse(const QString &text)
{
    Parsed p;
    if (text.contains(QLatin1Char(','))) {
        const QStringList f = text.split(QLatin1Char(','));
        auto number = [&f](int i) { return i < f.size() ? f.at(i).trimmed().toInt() : 0; };
        p.serial = true;
        p.line = {f.at(0), number(1), number(2), number(3), f.size() > 4 ? f.at(4) : QString()};
        if (p.line.port.isEmpty() || p.line.baud == 0 || p.line.dataBits == 0 || p.line.stopBits == 0)
            return refuse(-1, QStringLiteral("a serial text needs port,baud,databits,stopbits[,parity]"));
        return p;
    }
    if (!text.contains(QLatin1Char(':')))
        return refuse(-4, QStringLiteral("neither a serial text (with \",\") nor ip:port"));
    if (!HostPort::split(text, &p.address, &p.port))
        return refuse(-1, QStringLiteral("ip:port needs an address and a port 1-65535"));
    if (QHostAddress(p.address).isNull())
        return refuse(-1, QStringLiteral("\"%1\" is no numeric IP address").arg(p.address));
    return p;
}

} // namespace CModeConnectionText
