#include "ConnectionCheck.h"

#include <QStringList>

namespace plcctl {

namespace {

using Outcome = DoctorStep::Outcome;

const char kTcpExample[] = "write it as ip:port with a numeric IPv4 address, e.g. 192.168.250.1:9600";
const char kSerialExample[] = "write it as port,baud,databits,stopbits,parity, e.g. /dev/ttyUSB0,9600,7,2,E";
const int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

DoctorStep step(Outcome outcome, const QString &found, const QString &check = QString())
{
    DoctorStep s;
    s.id = QStringLiteral("syntax");
    s.title = QStringLiteral("connection text");
    s.outcome = outcome;
    s.found = found;
    s.check = check;
    return s;
}

DoctorStep failed(const QString &found, const char *check)
{
    return step(Outcome::Failed, found, QString::fromUtf8(check));
}

// Digits only, within [low, high].
bool decimal(const QString &text, int low, int high, int *value)
{
    if (text.isEmpty() || text.size() > 6)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    *value = text.toInt();
    return *value >= low && *value <= high;
}

// Four decimal octets of 0-255.
bool isIpv4(const QString &text)
{
    const QStringList octets = text.split(QLatin1Char('.'));
    int value = 0;
    for (const QString &octet : octets) {
        if (!decimal(octet, 0, 255, &value) || octet.size() > 3)
            return false;
    }
    return octets.size() == 4;
}

// "ip:port": an empty error means it is good.
QString readEndpoint(const QString &text, ConnectionTarget *target)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return QStringLiteral("'%1' has no ':port'").arg(text);
    const QString host = text.left(colon);
    if (!isIpv4(host))
        return QStringLiteral("'%1' is not a numeric IPv4 address (host names are not looked up)").arg(host);
    const QString port = text.mid(colon + 1);
    if (!decimal(port, 1, 65535, &target->port))
        return QStringLiteral("port '%1' is not a number from 1 to 65535").arg(port);
    target->host = host;
    return QString();
}

QString parityName(const QString &text)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("E") || t == QLatin1String("EVEN"))
        return QStringLiteral("even");
    if (t == QLatin1String("O") || t == QLatin1String("ODD"))
        return QStringLiteral("odd");
    if (t == QLatin1String("N") || t == QLatin1String("NONE"))
        return QStringLiteral("none");
    return QString();
}

QString serialFieldError(const QStringList &f, ConnectionTarget *t)
{
    if (f.size() < 4 || f.size() > 5)
        return QStringLiteral("a serial text has 5 fields, this one %1").arg(f.size());
    if (f.at(0).trimmed().isEmpty())
        return QStringLiteral("the serial port name is empty");
    if (!decimal(f.at(1).trimmed(), 1, 4000000, &t->baud))
        return QStringLiteral("baud rate '%1' is not a number").arg(f.at(1));
    if (!decimal(f.at(2).trimmed(), 5, 8, &t->dataBits))
        return QStringLiteral("data bits '%1' are not 5, 6, 7 or 8").arg(f.at(2));
    if (!decimal(f.at(3).trimmed(), 1, 3, &t->stopBits))
        return QStringLiteral("stop bits '%1' are not 1, 2 or 3 (one and a half)").arg(f.at(3));
    if (f.size() == 5 && parityName(f.at(4)).isEmpty())
        return QStringLiteral("parity '%1' is not E, O or N").arg(f.at(4));
    t->device = f.at(0).trimmed();
    t->parity = f.size() == 5 ? parityName(f.at(4)) : QString();
    t->serial = true;
    return QString();
}

DoctorStep serialStep(const QString &connection, ConnectionTarget *target)
{
    const QString error = serialFieldError(connection.split(QLatin1Char(',')), target);
    if (!error.isEmpty())
        return failed(error, kSerialExample);
    const QString found = QStringLiteral("Host Link on serial port %1, %2").arg(target->device, serialSettingsText(*target));
    bool standard = false;
    for (const int rate : kBaudRates)
        standard = standard || rate == target->baud;
    if (!standard)
        return step(Outcome::Warning, found,
                    QStringLiteral("%1 baud is no rate the driver sets (1200 .. 115200): the port keeps the rate it has")
                        .arg(target->baud));
    if (target->parity.isEmpty())
        return step(Outcome::Warning, found, QStringLiteral("no parity given: the port keeps the parity it has"));
    return step(Outcome::Passed, found);
}

DoctorStep tcpStep(const QString &what, const QString &connection, ConnectionTarget *target)
{
    if (connection.contains(QLatin1Char(',')))
        return failed(QStringLiteral("a %1 text takes no settings after the port").arg(what), kTcpExample);
    const QString error = readEndpoint(connection, target);
    if (!error.isEmpty())
        return failed(error, kTcpExample);
    return step(Outcome::Passed, QStringLiteral("%1 to %2 port %3").arg(what, target->host).arg(target->port));
}

DoctorStep udpStep(const QString &connection, ConnectionTarget *target)
{
    const int comma = connection.indexOf(QLatin1Char(','));
    const QString error = readEndpoint(connection.left(comma), target);
    if (!error.isEmpty())
        return failed(error, "write it as ip:port[,plc=N][,node=N][,local=PORT][,timeout=MS][,retries=N]");
    target->settings = comma < 0 ? QString() : connection.mid(comma + 1);
    static const QStringList names = {QStringLiteral("plc"), QStringLiteral("node"), QStringLiteral("local"),
                                      QStringLiteral("timeout"), QStringLiteral("retries")};
    const QStringList settings = target->settings.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &setting : settings) {
        if (!names.contains(setting.section(QLatin1Char('='), 0, 0).trimmed()) || !setting.contains(QLatin1Char('=')))
            return failed(QStringLiteral("unknown setting '%1'").arg(setting),
                          "settings are plc=N, node=N, local=PORT, timeout=MS and retries=N");
    }
    QString found = QStringLiteral("FINS/UDP to %1 port %2").arg(target->host).arg(target->port);
    if (!settings.isEmpty())
        found += QStringLiteral(", ") + settings.join(QStringLiteral(", "));
    return step(Outcome::Passed, found);
}

} // namespace

DriverKind driverKind(const QString &driverName)
{
    if (driverName == QLatin1String("FinsNet"))
        return DriverKind::FinsTcp;
    if (driverName == QLatin1String("HLink"))
        return DriverKind::HostLink;
    if (driverName == QLatin1String("FinsUdp"))
        return DriverKind::FinsUdp;
    if (driverName == QLatin1String("HLinkC"))
        return DriverKind::HostLinkC;
    return DriverKind::Other;
}

QString serialSettingsText(const ConnectionTarget &t)
{
    const QString stop = t.stopBits == 3 ? QStringLiteral("1.5") : QString::number(t.stopBits);
    return QStringLiteral("%1 baud, %2 data bits, %3 stop bits, %4 parity")
        .arg(t.baud)
        .arg(t.dataBits)
        .arg(stop, t.parity.isEmpty() ? QStringLiteral("unchanged") : t.parity);
}

DoctorStep syntaxStep(DriverKind kind, const QString &connection, ConnectionTarget *target)
{
    *target = ConnectionTarget();
    switch (kind) {
    case DriverKind::FinsTcp:
        return tcpStep(QStringLiteral("FINS/TCP"), connection, target);
    case DriverKind::FinsUdp:
        return udpStep(connection, target);
    case DriverKind::HostLink:
    case DriverKind::HostLinkC:
        if (connection.contains(QLatin1Char(',')))
            return serialStep(connection, target);
        if (connection.contains(QLatin1Char(':')))
            return tcpStep(QStringLiteral("Host Link over TCP"), connection, target);
        return failed(QStringLiteral("'%1' has neither ',' (a serial port) nor ':' (TCP)").arg(connection),
                      "port,baud,databits,stopbits,parity for a serial port, ip:port for TCP");
    case DriverKind::Other:
        break;
    }
    return step(Outcome::Skipped, QStringLiteral("doctor does not know this plug-in's connection texts"));
}

} // namespace plcctl
