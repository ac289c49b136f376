// The test read's step of `doctor`: the result in words and, on a failure,
// the likely cause by protocol, end code class and the driver's warnings.

#include "DoctorFindings.h"

#include "EndCodeText.h"
#include "ValueText.h"

#include <QRegularExpression>

namespace plcctl {

namespace {

QString capture(const QStringList &lines, const char *pattern)
{
    const QRegularExpression re(QString::fromUtf8(pattern));
    for (int i = lines.size() - 1; i >= 0; --i) {
        const QRegularExpressionMatch m = re.match(lines.at(i));
        if (m.hasMatch())
            return m.captured(1);
    }
    return QString();
}

// Likely causes of a FINS end code by its class, where the notes name none.
QString finsClassCheck(quint16 code)
{
    const QString hint = finsEndCodeHint(code);
    if (!hint.isEmpty())
        return hint;
    switch ((code & 0x7F00) >> 8) {
    case 0x01: case 0x02: case 0x05:
        return QStringLiteral("routing tables or node numbers do not fit the network");
    case 0x03: return QStringLiteral("the controller or its unit reports a hardware error: its indicators and error log");
    case 0x04: return QStringLiteral("this controller does not take memory area reads: its model");
    case 0x10: return QStringLiteral("a frame the unit cannot take: its model's frame size, or wrong node numbers");
    case 0x11: return QStringLiteral("the controller has no such word: its model and memory areas");
    case 0x20: case 0x21: case 0x22: return QStringLiteral("the controller's mode or settings forbid the command");
    case 0x30: return QStringLiteral("another node holds the access right, or the controller is protected");
    default: return QStringLiteral("the end code in the controller's manual");
    }
}

QString hostLinkCodeCheck(quint16 code)
{
    switch (code) {
    case 0x10: case 0x11: case 0x12:
        return QStringLiteral("baud rate, data bits, parity and stop bits must equal the PLC port's settings; noise on the line");
    case 0x13: return QStringLiteral("noise on the line, or data bits and parity that differ from the PLC port's");
    case 0x14: case 0x15: case 0x18:
        return QStringLiteral("the frame reached the PLC damaged: line quality and settings");
    case 0x16: return QStringLiteral("the PLC takes no FINS commands over Host Link (FA): its model and port mode");
    case 0x19: case 0x21: return QStringLiteral("the PLC's state: its mode and error indicators");
    default: return QStringLiteral("the end code in the controller's manual");
    }
}

QString noAnswerCheck(DriverKind kind, const ConnectionTarget &t, int unit, const QStringList &lines)
{
    if (kind == DriverKind::HostLink && !capture(lines, "dropped (\\d+) answer").isEmpty())
        return QStringLiteral("answers came for another unit: --unit (now %1) must be the PLC's Host Link unit "
                              "number; or another master shares the line").arg(unit);
    if (kind == DriverKind::HostLink)
        return QStringLiteral("the PLC's Host Link unit number (--unit, now %1); %2 must be the PLC port's settings "
                              "(CS/CJ factory: 9600 baud, 7 data bits, 2 stop bits, even parity); the port in "
                              "Host Link mode; the cable (RS-232C send and receive crossed, RS-422A/485 wiring)")
            .arg(unit)
            .arg(t.serial ? serialSettingsText(t) : QStringLiteral("the converter's serial settings"));
    if (kind == DriverKind::FinsUdp)
        return QStringLiteral("the node numbers (plc=, node=); a static unit answers to port 9600 (local=9600); "
                              "firewalls; the controller's load");
    return QStringLiteral("the unit took the connection but the controller does not answer: the CPU unit behind "
                          "the Ethernet unit (powered, no fatal error), and the unit's routing");
}

QString failureCheck(DriverKind kind, const ConnectionTarget &t, int unit, const TestRead &read)
{
    const QString fins = capture(read.lines, "(?:code = |FINS end code )([0-9A-Fa-f]{4})\\b");
    if (!fins.isEmpty())
        return finsClassCheck(quint16(fins.toUInt(nullptr, 16)));
    const QString hostLink = capture(read.lines, "Host Link end code ([0-9A-Fa-f]{2})\\b");
    if (!hostLink.isEmpty())
        return hostLinkCodeCheck(quint16(hostLink.toUInt(nullptr, 16)));
    if (!capture(read.lines, "(目标地址，源地址错误)").isEmpty())
        return QStringLiteral("another client uses the same node number, or something between rewrites node numbers");
    switch (read.errorCode) {
    case 8: return noAnswerCheck(kind, t, unit, read.lines);
    case 9: return QStringLiteral("the PLC closed the connection: it may take fewer clients, or it restarted");
    default: return QStringLiteral("the device on this port speaks another protocol, or noise on the line");
    }
}

QString failureFound(const TestRead &read)
{
    QString found = read.errorCode == 8 ? QStringLiteral("no answer within %1 ms").arg(read.elapsedMs)
                                        : QStringLiteral("result ") + resultText(read.errorCode);
    QStringList words;
    for (const QString &line : read.lines) {
        const QString w = explainWarning(line);
        // The measured wait says more than a plain "no answer".
        if (!w.isEmpty() && !words.contains(w) && !w.startsWith(QLatin1String("no answer")))
            words.append(w);
    }
    if (!words.isEmpty())
        found += QStringLiteral("; the driver said: ") + words.join(QStringLiteral("; "));
    return found;
}

} // namespace

DoctorStep readStep(DriverKind kind, const ConnectionTarget &target, int unit, const TestRead &read)
{
    DoctorStep s;
    s.id = QStringLiteral("read");
    s.title = QStringLiteral("test read of %1 (one word)").arg(read.address);
    s.elapsedMs = read.elapsedMs;
    if (read.errorCode == 0) {
        s.outcome = DoctorStep::Outcome::Passed;
        s.found = QStringLiteral("%1 = %2 (0x%3) in %4 ms")
                      .arg(read.address)
                      .arg(read.value)
                      .arg(read.value, 4, 16, QLatin1Char('0'))
                      .arg(read.elapsedMs);
        return s;
    }
    s.outcome = DoctorStep::Outcome::Failed;
    s.found = failureFound(read);
    s.check = failureCheck(kind, target, unit, read);
    return s;
}

} // namespace plcctl
