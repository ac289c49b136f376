#include "DoctorCMode.h"

namespace plcctl {

namespace {

DoctorStep make(const char *id, const char *title, DoctorStep::Outcome outcome, const QString &found,
                const QString &check = QString(), qint64 elapsedMs = -1)
{
    DoctorStep s;
    s.id = QString::fromLatin1(id);
    s.title = QString::fromLatin1(title);
    s.outcome = outcome;
    s.found = found;
    s.check = check;
    s.elapsedMs = elapsedMs;
    return s;
}

// What to look at when an exchange of the C-mode plug-in failed.
QString checkFor(const Outcome &o, int unit)
{
    switch (o.kind) {
    case Outcome::Kind::NoAnswer:
        return QStringLiteral("the unit number (%1: the controller's Host Link unit setting), the cable, and that the "
                              "port is set to Host Link with the same baud rate, data bits, stop bits and parity")
            .arg(unit);
    case Outcome::Kind::Unsupported:
        return QStringLiteral("the port answers but not in C-mode: a port set to another protocol, or a device that "
                              "is no controller of the family");
    case Outcome::Kind::EndCode:
        if (o.endCode == 0x13 || o.endCode == 0x10 || o.endCode == 0x11 || o.endCode == 0x12)
            return QStringLiteral("noise or wrong line settings (parity, data bits, baud rate)");
        if (o.endCode == 0x15)
            return QStringLiteral("the address is beyond this controller's memory: its model");
        return QStringLiteral("the end code in the controller's manual");
    case Outcome::Kind::NotConnected:
        return QStringLiteral("the line: the device or TCP connection went away");
    default:
        return QStringLiteral("the line settings and noise on the line (a wrong FCS or cut answers)");
    }
}

QString failure(const Outcome &o)
{
    QString text = o.reason;
    if (o.endCode >= 0)
        text += QStringLiteral(" (end code %1)").arg(QString::number(o.endCode, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    return text;
}

} // namespace

DoctorStep cmodeStatusStep(const Outcome &o, const ControllerStatus &status, int unit, qint64 elapsedMs)
{
    if (!o.ok()) {
        return make("status", "C-mode status (MS)", DoctorStep::Outcome::Failed,
                    QStringLiteral("unit %1: %2").arg(unit).arg(failure(o)), checkFor(o, unit), elapsedMs);
    }
    QString found = QStringLiteral("unit %1 answers: %2 mode").arg(unit).arg(status.mode);
    if (!status.errorMessage.isEmpty())
        found += QStringLiteral(", message \"%1\"").arg(status.errorMessage);
    return make("status", "C-mode status (MS)", DoctorStep::Outcome::Passed, found, QString(), elapsedMs);
}

DoctorStep cmodeReadStep(const Outcome &o, int errorCode, quint16 value, int unit, qint64 elapsedMs)
{
    if (errorCode == 0) {
        return make("read", "test read of D0 (one word)", DoctorStep::Outcome::Passed,
                    QStringLiteral("D0 = %1 (0x%2)").arg(value).arg(value, 4, 16, QLatin1Char('0')), QString(),
                    elapsedMs);
    }
    return make("read", "test read of D0 (one word)", DoctorStep::Outcome::Failed,
                QStringLiteral("result %1: %2").arg(errorCode).arg(failure(o)), checkFor(o, unit), elapsedMs);
}

QStringList cmodeOutcomeWords(const Outcome &o)
{
    if (o.ok())
        return {};
    return {failure(o).replace(QLatin1String(" (end code"), QLatin1String(" (C-mode end code"))};
}

DoctorStep cmodeModeStep(const ControllerStatus &status)
{
    if (status.mode == QLatin1String("RUN")) {
        return make("mode", "operating mode", DoctorStep::Outcome::Warning,
                    QStringLiteral("RUN: C-mode writes are refused in RUN mode (end code 01); reads work"),
                    QStringLiteral("to write, switch the controller to MONITOR mode (it keeps running)"));
    }
    if (status.mode == QLatin1String("PROGRAM")) {
        return make("mode", "operating mode", DoctorStep::Outcome::Warning,
                    QStringLiteral("PROGRAM: reads and writes work, but the program does not run"),
                    QStringLiteral("MONITOR mode runs the program and still takes writes"));
    }
    return make("mode", "operating mode", DoctorStep::Outcome::Passed,
                QStringLiteral("%1: reads and writes work").arg(status.mode));
}

} // namespace plcctl
