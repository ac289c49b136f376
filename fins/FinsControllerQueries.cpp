#include "FinsControllerQueries.h"

#include "FinsCommand.h"
#include "FinsControllerCommands.h"

namespace fcc = FinsControllerCommands;

Outcome FinsControllerQueries::run(quint16 commandCode, const QByteArray &parameters, const QString &what,
                                   QByteArray *data)
{
    Outcome o = m_transfer.command(commandCode, parameters, what, -1, data);
    if (o.kind == Outcome::Kind::EndCode && o.endCode >= 0 && fcc::meansUnsupported(quint16(o.endCode))) {
        o.kind = Outcome::Kind::Unsupported;
        o.reason = QStringLiteral("the controller has no %1 command (end code %2)")
                       .arg(what).arg(o.endCode & 0x7F3F, 4, 16, QLatin1Char('0'));
    }
    return o;
}

Outcome FinsControllerQueries::readIdentity(ControllerIdentity *out)
{
    QByteArray data;
    const Outcome o = run(FinsCommand::ControllerDataRead, fcc::controllerDataParameters(),
                          QStringLiteral("controller data read"), &data);
    return o.ok() ? fcc::parseControllerData(data, out) : o;
}

Outcome FinsControllerQueries::readStatus(ControllerStatus *out)
{
    QByteArray data;
    const Outcome o = run(FinsCommand::ControllerStatusRead, QByteArray(), QStringLiteral("controller status read"),
                          &data);
    return o.ok() ? fcc::parseStatus(data, out) : o;
}

Outcome FinsControllerQueries::readClock(QDateTime *out)
{
    QByteArray data;
    const Outcome o = run(FinsCommand::ClockRead, QByteArray(), QStringLiteral("clock read"), &data);
    return o.ok() ? fcc::parseClock(data, out) : o;
}

Outcome FinsControllerQueries::writeClock(const QDateTime &time)
{
    QByteArray parameters;
    const Outcome refused = fcc::clockWriteParameters(time, &parameters);
    if (!refused.ok())
        return refused;
    QByteArray data;
    return run(FinsCommand::ClockWrite, parameters, QStringLiteral("clock write"), &data);
}
