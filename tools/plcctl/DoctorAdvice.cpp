#include "DoctorAdvice.h"

#include "EndCodeText.h"

namespace plcctl {

namespace {

using Result = DoctorStep::Outcome;

DoctorStep makeStep(const QString &id, const QString &title, Result result, const QString &found,
                    const QString &check = QString(), qint64 elapsedMs = -1)
{
    DoctorStep s;
    s.id = id;
    s.title = title;
    s.outcome = result;
    s.found = found;
    s.check = check;
    s.elapsedMs = elapsedMs;
    return s;
}

QString peer(const StepFacts &f)
{
    return QStringLiteral("%1:%2").arg(f.addressing.value(QStringLiteral("address")).toString())
        .arg(f.addressing.value(QStringLiteral("port")).toInt());
}

int unitOf(const StepFacts &f)
{
    return f.addressing.value(QStringLiteral("unit")).toInt();
}

const char kNodeAdvice[] =
    "DA1 (plc=) must be the unit's FINS node number (its node switches or unit settings; factory: the last "
    "octet of its address), SA1 (node=) a node the unit answers; wrong ones look exactly like silence";
const char kStaticAdvice[] =
    "a unit with static address conversion answers to its own port: add local=9600 and make node= the last "
    "octet of this machine's address; a firewall must let UDP through both ways";

QString refusalCheck(int code)
{
    switch (code) {
    case 0x20: return QStringLiteral("all of the unit's FINS/TCP connections are in use: close other clients, then try again");
    case 0x21: return QStringLiteral("another client holds the node number, and automatic assignment was refused too: "
                                     "close the other client or give it another node");
    case 0x22: return QStringLiteral("the unit only takes clients from listed addresses: add this machine's address "
                                     "to the unit's FINS/TCP settings");
    case 0x23: return QStringLiteral("the node number is outside the unit's range for clients: its FINS/TCP settings");
    case 0x24: return QStringLiteral("the client node equals the unit's own node: the unit's node number setting");
    case 0x25: return QStringLiteral("the unit has no node left to assign (its automatic range is used up): "
                                     "close clients that hold nodes");
    default: return QStringLiteral("the unit's FINS/TCP settings (connections, node numbers, protection)");
    }
}

// Likely causes of a FINS end code by its class, where the notes name none.
QString finsClassCheck(quint16 code)
{
    const QString hint = finsEndCodeHint(code);
    if (!hint.isEmpty())
        return hint;
    switch ((code & 0x7F00) >> 8) {
    case 0x01: case 0x02: case 0x05: return QStringLiteral("routing tables or node numbers do not fit the network");
    case 0x03: return QStringLiteral("the controller or its unit reports a hardware error: its indicators and error log");
    case 0x04: return QStringLiteral("this controller does not take memory area reads: its model");
    case 0x10: return QStringLiteral("a frame the unit cannot take: its model's frame size, or wrong node numbers");
    case 0x11: return QStringLiteral("the controller has no such word: its model and memory areas");
    case 0x20: case 0x21: case 0x22: return QStringLiteral("the controller's mode or settings forbid the command");
    case 0x30: return QStringLiteral("another node holds the access right, or the controller is protected");
    default: return QStringLiteral("the end code in the controller's manual");
    }
}

QString hostLinkCodeCheck(int code)
{
    switch (code) {
    case 0x10: case 0x11: case 0x12:
        return QStringLiteral("baud rate, data bits, parity and stop bits must equal the PLC port's settings; noise on the line");
    case 0x13: return QStringLiteral("noise on the line, or data bits and parity that differ from the PLC port's");
    case 0x14: case 0x15: case 0x18: return QStringLiteral("the frame reached the PLC damaged: line quality and settings");
    case 0x16: return QStringLiteral("the PLC takes no FINS commands over Host Link (FA): its model and port mode");
    case 0x19: case 0x21: return QStringLiteral("the PLC's state: its mode and error indicators");
    default: return QStringLiteral("the end code in the controller's manual");
    }
}

QString hostLinkSilenceCheck(const StepFacts &f)
{
    const bool serial = f.addressing.contains(QStringLiteral("baud"));
    if (f.dropped > 0)
        return QStringLiteral("answers came for another unit: --unit (now %1) must be the PLC's Host Link unit "
                              "number; or another master shares the line").arg(unitOf(f));
    return QStringLiteral("the PLC's Host Link unit number: --unit (now %1); %2 must be the PLC port's settings "
                          "(CS/CJ factory: 9600 baud, 7 data bits, 2 stop bits, even parity); the port in Host Link "
                          "mode; the cable (RS-232C send and receive crossed, RS-422A/485 wiring)")
        .arg(unitOf(f))
        .arg(serial ? QStringLiteral("the line's settings") : QStringLiteral("the converter's serial settings"));
}

QString noAnswerCheck(const StepFacts &f)
{
    switch (f.kind) {
    case DriverKind::HostLink:
    case DriverKind::HostLinkC: return hostLinkSilenceCheck(f);
    case DriverKind::FinsUdp:
        return QStringLiteral("the node numbers (plc=, node=); a static unit answers to port 9600 (local=9600); "
                              "firewalls; the controller's load");
    default:
        return QStringLiteral("the unit took the connection but the controller does not answer: the CPU unit behind "
                              "the Ethernet unit (powered, no fatal error), and the unit's routing");
    }
}

QString endCodeFound(const StepFacts &f)
{
    const Outcome &o = f.outcome;
    if (f.kind == DriverKind::HostLink && o.step == QLatin1String("frame"))
        return QStringLiteral("Host Link end code ")
            + hostLinkEndCodeText(QStringLiteral("%1").arg(o.endCode, 2, 16, QLatin1Char('0')).toUpper());
    return QStringLiteral("FINS end code ") + finsEndCodeText(quint16(o.endCode));
}

QString failureCheck(const StepFacts &f)
{
    const Outcome &o = f.outcome;
    if (o.kind == Outcome::Kind::EndCode && f.kind == DriverKind::HostLink && o.step == QLatin1String("frame"))
        return hostLinkCodeCheck(o.endCode);
    if (o.kind == Outcome::Kind::EndCode)
        return finsClassCheck(quint16(o.endCode));
    if (o.step == QLatin1String("nodes"))
        return QStringLiteral("another client uses the same node number, or something between rewrites node numbers");
    if (o.kind == Outcome::Kind::NoAnswer)
        return noAnswerCheck(f);
    if (o.kind == Outcome::Kind::NotConnected)
        return QStringLiteral("the PLC closed the connection: it may take fewer clients, or it restarted");
    if (f.kind == DriverKind::HostLink)
        return QStringLiteral("noise on the line, or line settings (baud, data bits, parity) that differ from the PLC "
                              "port's (unit %1)").arg(unitOf(f));
    return QStringLiteral("the device on this port speaks another protocol, or something between damages frames");
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

DoctorStep syntaxStep(DriverKind kind, const QString &connection, const QString &refusal)
{
    const QString id = QStringLiteral("syntax");
    const QString title = QStringLiteral("connection text");
    if (kind == DriverKind::Other)
        return makeStep(id, title, Result::Failed, QStringLiteral("this plug-in has no diagnostics face"),
                        QStringLiteral("doctor knows the FINS/TCP, FINS/UDP and Host Link plug-ins"));
    if (refusal.isEmpty())
        return makeStep(id, title, Result::Passed, QStringLiteral("the plug-in takes '%1'").arg(connection));
    static const char *const forms[] = {"", "ip:port, a numeric address", "port,baud,databits,stopbits,parity or ip:port",
                                        "ip:port[,plc=N][,node=N][,local=PORT][,timeout=MS][,retries=N]",
                                        "port,baud,databits,stopbits,parity or ip:port"};
    return makeStep(id, title, Result::Failed, QStringLiteral("the plug-in refuses '%1': %2").arg(connection, refusal),
                    QStringLiteral("the form %1").arg(QLatin1String(forms[int(kind)])));
}

DoctorStep reachStep(const StepFacts &f)
{
    const QString id = QStringLiteral("reach");
    const QString title = QStringLiteral("TCP connection to %1").arg(peer(f));
    if (f.outcome.step != QLatin1String("connect"))
        return makeStep(id, title, Result::Passed, QStringLiteral("accepted"), {}, f.elapsedMs);
    const bool hostLink = f.kind == DriverKind::HostLink || f.kind == DriverKind::HostLinkC;
    const QString service = hostLink ? QStringLiteral("the converter's or PLC port's TCP port")
                                                           : QStringLiteral("FINS/TCP is 9600 unless changed");
    return makeStep(id, title, Result::Failed, f.outcome.reason,
                    QStringLiteral("the port number (%1), that the device is powered and cabled, a route to it "
                                   "(ip route get %2), and firewalls")
                        .arg(service, f.addressing.value(QStringLiteral("address")).toString()),
                    f.elapsedMs);
}

DoctorStep handshakeStep(int connectResult, const StepFacts &f)
{
    const QString id = QStringLiteral("handshake");
    const QString title = QStringLiteral("FINS/TCP node handshake");
    const Outcome &o = f.outcome;
    if (connectResult == 0)
        return makeStep(id, title, Result::Passed,
                        QStringLiteral("we are node %1, the PLC is node %2")
                            .arg(f.addressing.value(QStringLiteral("node")).toInt())
                            .arg(f.addressing.value(QStringLiteral("plc")).toInt()),
                        {}, f.elapsedMs);
    if (o.endCode >= 0)
        return makeStep(id, title, Result::Failed,
                        QStringLiteral("refused: header error %1").arg(finsHeaderErrorText(quint32(o.endCode))),
                        refusalCheck(o.endCode), f.elapsedMs);
    if (o.kind == Outcome::Kind::NoAnswer)
        return makeStep(id, title, Result::Failed, QStringLiteral("no node answer within %1 ms").arg(f.elapsedMs),
                        QStringLiteral("that the port speaks FINS/TCP: a FINS/UDP-only unit or a Host Link "
                                       "converter takes the connection but never answers a node request"),
                        f.elapsedMs);
    return makeStep(id, title, Result::Failed, o.reason,
                    o.kind == Outcome::Kind::BadAnswer ? QStringLiteral("that the port speaks FINS/TCP, not another protocol")
                                                       : refusalCheck(-1),
                    f.elapsedMs);
}

DoctorStep hostLinkPortStep(int connectResult, const StepFacts &f)
{
    const QString id = QStringLiteral("port");
    const QString title = QStringLiteral("Host Link port");
    const bool serial = f.addressing.contains(QStringLiteral("baud"));
    const QString where = serial ? QStringLiteral("%1 at %2 baud")
                                       .arg(f.addressing.value(QStringLiteral("port")).toString())
                                       .arg(f.addressing.value(QStringLiteral("baud")).toInt())
                                 : QStringLiteral("%1 over TCP").arg(peer(f));
    if (connectResult == 0)
        return makeStep(id, title, Result::Passed, QStringLiteral("opened %1; unit %2").arg(where).arg(unitOf(f)));
    return makeStep(id, title, Result::Failed, f.outcome.reason,
                    serial ? QStringLiteral("the device name (ls /dev/ttyUSB* /dev/ttyS* /dev/serial/by-id/), that the "
                                            "user may use it (usually the dialout group), and that no other program "
                                            "holds it (fuser %1)")
                                 .arg(f.addressing.value(QStringLiteral("port")).toString())
                           : QStringLiteral("the converter's address and port, and firewalls"));
}

DoctorStep udpNodesStep(int connectResult, const StepFacts &f)
{
    const QString id = QStringLiteral("nodes");
    const QString title = QStringLiteral("FINS/UDP node numbers");
    const QString found = QStringLiteral("DA1 (the PLC, plc=) %1, SA1 (us, node=) %2")
                              .arg(f.addressing.value(QStringLiteral("plc")).toInt())
                              .arg(f.addressing.value(QStringLiteral("node")).toInt());
    if (f.outcome.step == QLatin1String("nodes"))
        return makeStep(id, title, Result::Failed, f.outcome.reason, QStringLiteral("give plc= and node= in the connection text"));
    if (connectResult == -3)
        return makeStep(id, title, Result::Skipped, QStringLiteral("none used: nothing was sent"));
    if (connectResult == -2)
        return makeStep(id, title, Result::Warning, found + QStringLiteral(", and nothing answered them"),
                        QString::fromUtf8(kNodeAdvice));
    return makeStep(id, title, Result::Passed, found);
}

DoctorStep udpAnswerStep(int connectResult, const StepFacts &f)
{
    const QString id = QStringLiteral("answer");
    const QString title = QStringLiteral("FINS/UDP answer from %1").arg(peer(f));
    if (connectResult == 0)
        return makeStep(id, title, Result::Passed,
                        QStringLiteral("a FINS node answered the probe read in %1 ms").arg(f.elapsedMs), {}, f.elapsedMs);
    if (connectResult == -2)
        return makeStep(id, title, Result::Failed,
                        QStringLiteral("no answer within %1 ms: %2").arg(f.elapsedMs).arg(f.outcome.reason),
                        QString::fromUtf8(kNodeAdvice) + QStringLiteral("; ") + QString::fromUtf8(kStaticAdvice),
                        f.elapsedMs);
    const bool localPort = f.outcome.step == QLatin1String("local port");
    return makeStep(id, title, Result::Failed, f.outcome.reason,
                    localPort ? QStringLiteral("which program receives on it (ss -ulpn); choose another local= or stop it")
                              : QStringLiteral("the port number (9600 unless changed), that FINS/UDP is on in the "
                                               "unit's settings, and a route to the unit"),
                    f.elapsedMs);
}

DoctorStep readStep(int errorCode, quint16 value, const StepFacts &f, const QString &scan)
{
    const QString id = QStringLiteral("read");
    const QString title = QStringLiteral("test read of D0 (one word)");
    if (errorCode == 0)
        return makeStep(id, title, Result::Passed,
                        QStringLiteral("D0 = %1 (0x%2) in %3 ms").arg(value).arg(value, 4, 16, QLatin1Char('0')).arg(f.elapsedMs),
                        {}, f.elapsedMs);
    const Outcome &o = f.outcome;
    QString found = o.kind == Outcome::Kind::EndCode ? endCodeFound(f)
        : o.kind == Outcome::Kind::NoAnswer         ? QStringLiteral("no answer within %1 ms: %2").arg(f.elapsedMs).arg(o.reason)
                                                    : QStringLiteral("result %1: %2").arg(errorCode).arg(o.reason);
    QString check = failureCheck(f);
    if (!scan.isEmpty()) {
        found += QStringLiteral("; ") + scan;
        check = scan.startsWith(QLatin1String("unit")) ? scan + QStringLiteral(" (now %1)").arg(unitOf(f)) : check;
    }
    return makeStep(id, title, Result::Failed, found, check, f.elapsedMs);
}

DoctorStep skippedStep(const QString &id, const QString &title)
{
    return makeStep(id, title, Result::Skipped, QStringLiteral("not run: an earlier step failed"));
}

} // namespace plcctl
