#include "DoctorFindings.h"

#include "EndCodeText.h"
#include "ValueText.h"

#include <QRegularExpression>

namespace plcctl {

namespace {

using Outcome = DoctorStep::Outcome;

DoctorStep makeStep(const QString &id, const QString &title, Outcome outcome, const QString &found,
                    const QString &check = QString(), qint64 elapsedMs = -1)
{
    DoctorStep s;
    s.id = id;
    s.title = title;
    s.outcome = outcome;
    s.found = found;
    s.check = check;
    s.elapsedMs = elapsedMs;
    return s;
}

QString lastCapture(const QStringList &lines, const QRegularExpression &pattern, int group = 1)
{
    for (int i = lines.size() - 1; i >= 0; --i) {
        const QRegularExpressionMatch m = pattern.match(lines.at(i));
        if (m.hasMatch())
            return m.captured(group);
    }
    return QString();
}

bool anyContains(const QStringList &lines, const char *text)
{
    for (const QString &line : lines) {
        if (line.contains(QString::fromUtf8(text)))
            return true;
    }
    return false;
}

// The plug-ins' warnings in words, each once.
QStringList driverWords(const QStringList &lines)
{
    QStringList words;
    for (const QString &line : lines) {
        const QString w = explainWarning(line);
        if (!w.isEmpty() && !words.contains(w))
            words.append(w);
    }
    return words;
}

QString withWords(const QString &found, const QStringList &lines)
{
    const QStringList words = driverWords(lines);
    return words.isEmpty() ? found : found + QStringLiteral("; the driver said: ") + words.join(QStringLiteral("; "));
}

int resends(const QStringList &lines)
{
    int n = 0;
    for (const QString &line : lines)
        n += line.contains(QString::fromUtf8("无响应，重发")) ? 1 : 0;
    return n;
}

const char kNodeAdvice[] =
    "DA1 (plc=) must be the unit's FINS node number (its node switches or unit settings; factory: the last "
    "octet of its address), SA1 (node=) a node the unit answers; wrong ones look exactly like silence";
const char kStaticAdvice[] =
    "a unit with static address conversion answers to its own port: add local=9600 and make node= the last "
    "octet of this machine's address; a firewall must let UDP through both ways";

QString refusalCheck(qint64 code)
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

} // namespace

NodeNumbers nodesInTrace(const QStringList &lines)
{
    static const QRegularExpression request(QString::fromUtf8("(?:读命令|写命令) .*msg : ([0-9a-fA-F]+)"));
    const QByteArray frame = QByteArray::fromHex(lastCapture(lines, request).toLatin1());
    const int header = frame.startsWith("FINS") ? 16 : 0; // FINS/TCP frames carry their own header first
    NodeNumbers nodes;
    // A FINS command's ICF has bit 6 clear; DA1 is byte 4 of the FINS header, SA1 byte 7.
    if (frame.size() >= header + 10 && (quint8(frame.at(header)) & 0x40) == 0) {
        nodes.plc = quint8(frame.at(header + 4));
        nodes.ours = quint8(frame.at(header + 7));
    }
    return nodes;
}

qint64 refusedNodeCode(const QStringList &lines)
{
    static const QRegularExpression refusal(QString::fromUtf8("节点地址请求被拒绝 \\S+ code = ([0-9A-Fa-f]{8})\\b"));
    const QString code = lastCapture(lines, refusal);
    return code.isEmpty() ? -1 : qint64(code.toUInt(nullptr, 16));
}

DoctorStep reachStep(const ConnectionTarget &target, Reach reach, const QString &error, qint64 elapsedMs)
{
    const QString id = QStringLiteral("reach");
    const QString title = QStringLiteral("TCP connection to %1:%2").arg(target.host).arg(target.port);
    switch (reach) {
    case Reach::Connected:
        return makeStep(id, title, Outcome::Passed, QStringLiteral("accepted in %1 ms").arg(elapsedMs), {}, elapsedMs);
    case Reach::Refused:
        return makeStep(id, title, Outcome::Failed,
                        QStringLiteral("refused: the address answers, but nothing listens on port %1").arg(target.port),
                        QStringLiteral("the port number (FINS/TCP is 9600 unless changed), that the service is on "
                                       "in the unit's settings, and firewalls that reject"),
                        elapsedMs);
    case Reach::TimedOut:
        return makeStep(id, title, Outcome::Failed, QStringLiteral("no answer within %1 ms").arg(elapsedMs),
                        QStringLiteral("the IP address, that the device is powered and cabled, a route to it "
                                       "(ip route get %1), and firewalls that drop packets")
                            .arg(target.host),
                        elapsedMs);
    case Reach::Unreachable:
        break;
    }
    return makeStep(id, title, Outcome::Failed, QStringLiteral("unreachable: %1").arg(error),
                    QStringLiteral("this machine's network settings: an address in the PLC's subnet, or a route "
                                   "to it (ip route get %1)")
                        .arg(target.host),
                    elapsedMs);
}

DoctorStep hostLinkPortStep(const ConnectionTarget &t, const DeviceFacts &device, int connectResult,
                            const QStringList &lines, int unit)
{
    const QString id = QStringLiteral("port");
    const QString title = QStringLiteral("Host Link port");
    if (t.serial && !device.exists)
        return makeStep(id, title, Outcome::Failed, QStringLiteral("no such device %1").arg(t.device),
                        QStringLiteral("the device name (ls /dev/ttyUSB* /dev/ttyS* /dev/serial/by-id/), and that "
                                       "the adapter is plugged in (dmesg)"));
    if (t.serial && !device.characterDevice)
        return makeStep(id, title, Outcome::Failed, QStringLiteral("%1 is not a serial device").arg(t.device),
                        QStringLiteral("the device name"));
    if (t.serial && !(device.readable && device.writable))
        return makeStep(id, title, Outcome::Failed, QStringLiteral("no permission to read and write %1").arg(t.device),
                        QStringLiteral("add the user to the device's group (usually dialout) and log in again"));
    const QString where = t.serial ? QStringLiteral("%1 at %2").arg(t.device, serialSettingsText(t))
                                   : QStringLiteral("%1:%2 over TCP").arg(t.host).arg(t.port);
    if (connectResult == 0)
        return makeStep(id, title, Outcome::Passed, QStringLiteral("opened %1; unit %2").arg(where).arg(unit));
    const QString check = t.serial ? QStringLiteral("that no other program holds the port (fuser %1), and that "
                                                    "the port takes these settings").arg(t.device)
                                   : QStringLiteral("the converter's address and port, and firewalls");
    return makeStep(id, title, Outcome::Failed,
                    withWords(QStringLiteral("the driver could not open %1: ConnectDrive returned %2 (%3)")
                                  .arg(where).arg(connectResult)
                                  .arg(connectMeaning(connectResult, QStringLiteral("HLink"))),
                              lines),
                    check);
}

DoctorStep handshakeStep(int connectResult, const QStringList &lines, const QStringList &readLines,
                         qint64 elapsedMs)
{
    const QString id = QStringLiteral("handshake");
    const QString title = QStringLiteral("FINS/TCP node handshake");
    const qint64 refused = refusedNodeCode(lines);
    if (connectResult == 0) {
        const NodeNumbers nodes = nodesInTrace(readLines);
        QString found = nodes.known() ? QStringLiteral("we are node %1, the PLC is node %2").arg(nodes.ours).arg(nodes.plc)
                                      : QStringLiteral("node number assigned");
        if (refused >= 0)
            found += QStringLiteral(" (a first request was refused: header error %1)").arg(finsHeaderErrorText(quint32(refused)));
        return makeStep(id, title, Outcome::Passed, found, {}, elapsedMs);
    }
    if (refused >= 0)
        return makeStep(id, title, Outcome::Failed,
                        QStringLiteral("refused: header error %1").arg(finsHeaderErrorText(quint32(refused))),
                        refusalCheck(refused), elapsedMs);
    if (connectResult == -2 && anyContains(lines, "节点地址应答错误"))
        return makeStep(id, title, Outcome::Failed, QStringLiteral("the node answer was malformed"),
                        QStringLiteral("that the port speaks FINS/TCP, not another protocol"), elapsedMs);
    // The driver closes too after a failed handshake: only the remote side's
    // close says the unit hung up.
    if (connectResult == -2 && anyContains(lines, "RemoteHostClosedError"))
        return makeStep(id, title, Outcome::Failed,
                        QStringLiteral("the unit closed the connection without a node answer"),
                        refusalCheck(-1), elapsedMs);
    if (connectResult == -2)
        return makeStep(id, title, Outcome::Failed, QStringLiteral("no node answer within %1 ms").arg(elapsedMs),
                        QStringLiteral("that the port speaks FINS/TCP: a FINS/UDP-only unit or a Host Link "
                                       "converter takes the connection but never answers a node request"),
                        elapsedMs);
    return makeStep(id, title, Outcome::Failed,
                    withWords(QStringLiteral("ConnectDrive returned %1 (%2) after %3 ms")
                                  .arg(connectResult)
                                  .arg(connectMeaning(connectResult, QStringLiteral("FinsNet")))
                                  .arg(elapsedMs),
                              lines),
                    QStringLiteral("whether the unit still takes connections"), elapsedMs);
}

DoctorStep udpNodesStep(int connectResult, const QStringList &lines)
{
    const QString id = QStringLiteral("nodes");
    const QString title = QStringLiteral("FINS/UDP node numbers");
    static const QRegularExpression used(QStringLiteral("plc=(-?\\d+) node=(-?\\d+)"));
    NodeNumbers nodes = nodesInTrace(lines);
    const QRegularExpressionMatch m = used.match(lines.filter(QStringLiteral("plc=")).value(0));
    if (m.hasMatch())
        nodes = NodeNumbers{m.captured(1).toInt(), m.captured(2).toInt()};
    if (!nodes.known())
        return makeStep(id, title, Outcome::Skipped, QStringLiteral("none used: nothing was sent"));
    const QString found = QStringLiteral("DA1 (the PLC, plc=) %1, SA1 (us, node=) %2").arg(nodes.plc).arg(nodes.ours);
    if (connectResult == -1)
        return makeStep(id, title, Outcome::Failed, found + QStringLiteral(": not both within 1-254"),
                        QStringLiteral("give plc= and node= in the connection text"));
    if (connectResult == -2)
        return makeStep(id, title, Outcome::Warning, found + QStringLiteral(", and nothing answered them"),
                        QString::fromUtf8(kNodeAdvice));
    return makeStep(id, title, Outcome::Passed, found);
}

DoctorStep udpAnswerStep(const ConnectionTarget &t, int connectResult, const QStringList &lines, qint64 elapsedMs)
{
    const QString id = QStringLiteral("answer");
    const QString title = QStringLiteral("FINS/UDP answer from %1:%2").arg(t.host).arg(t.port);
    const int sent = resends(lines);
    const QString again = sent > 0 ? QStringLiteral(" (%1 resends)").arg(sent) : QString();
    if (connectResult == 0)
        return makeStep(id, title, Outcome::Passed,
                        QStringLiteral("a FINS node answered the probe read in %1 ms%2").arg(elapsedMs).arg(again), {},
                        elapsedMs);
    if (connectResult == -2)
        return makeStep(id, title, Outcome::Failed, QStringLiteral("no answer within %1 ms%2").arg(elapsedMs).arg(again),
                        QString::fromUtf8(kNodeAdvice) + QStringLiteral("; ") + QString::fromUtf8(kStaticAdvice),
                        elapsedMs);
    if (connectResult == -3 && anyContains(lines, "本地端口"))
        return makeStep(id, title, Outcome::Failed, QStringLiteral("the local UDP port of local= is taken"),
                        QStringLiteral("which program receives on it (ss -ulpn); choose another local= or stop it"),
                        elapsedMs);
    if (connectResult == -3 && anyContains(lines, "ConnectionRefused"))
        return makeStep(id, title, Outcome::Failed,
                        QStringLiteral("port unreachable: nothing listens for FINS/UDP on port %1").arg(t.port),
                        QStringLiteral("the port number (9600 unless changed), and that FINS/UDP is on in the unit's settings"),
                        elapsedMs);
    if (connectResult == -3)
        return makeStep(id, title, Outcome::Failed, withWords(QStringLiteral("the address is unreachable"), lines),
                        QStringLiteral("a route to %1 (ip route get %1)").arg(t.host), elapsedMs);
    return makeStep(id, title, Outcome::Failed,
                    QStringLiteral("the plug-in refused the text: %1").arg(lines.filter(QStringLiteral("lib[FinsUdp]")).join(QStringLiteral("; "))),
                    QStringLiteral("the settings the warning names"), elapsedMs);
}

DoctorStep skippedStep(const QString &id, const QString &title)
{
    return makeStep(id, title, Outcome::Skipped, QStringLiteral("not run: an earlier step failed"));
}

} // namespace plcctl
