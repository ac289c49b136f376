#include "DoctorStep.h"

#include "JsonLine.h"

namespace plcctl {

QString outcomeName(DoctorStep::Outcome outcome)
{
    switch (outcome) {
    case DoctorStep::Outcome::Passed: return QStringLiteral("ok");
    case DoctorStep::Outcome::Warning: return QStringLiteral("warning");
    case DoctorStep::Outcome::Failed: return QStringLiteral("failed");
    case DoctorStep::Outcome::Skipped: return QStringLiteral("skipped");
    }
    return QString();
}

QString stepText(const DoctorStep &step)
{
    static const char *const marks[] = {"[ ok ]", "[warn]", "[FAIL]", "[skip]"};
    QString text = QString::fromLatin1(marks[int(step.outcome)]) + QLatin1Char(' ') + step.title;
    if (!step.found.isEmpty())
        text += QStringLiteral(": ") + step.found;
    if (!step.check.isEmpty())
        text += QStringLiteral("\n       check: ") + step.check;
    return text;
}

const DoctorStep *firstFailure(const QList<DoctorStep> &steps)
{
    for (const DoctorStep &step : steps) {
        if (step.outcome == DoctorStep::Outcome::Failed)
            return &step;
    }
    return nullptr;
}

QString doctorJson(const QString &driverName, const QString &connection, bool simulated,
                   const QList<DoctorStep> &steps)
{
    QStringList objects;
    for (const DoctorStep &step : steps) {
        JsonLine o;
        o.text(QStringLiteral("step"), step.id)
            .text(QStringLiteral("title"), step.title)
            .text(QStringLiteral("outcome"), outcomeName(step.outcome))
            .text(QStringLiteral("found"), step.found);
        if (step.check.isEmpty())
            o.null(QStringLiteral("check"));
        else
            o.text(QStringLiteral("check"), step.check);
        if (step.elapsedMs < 0)
            o.null(QStringLiteral("elapsedMs"));
        else
            o.number(QStringLiteral("elapsedMs"), step.elapsedMs);
        objects.append(o.toString());
    }
    const DoctorStep *failed = firstFailure(steps);
    JsonLine line;
    line.text(QStringLiteral("op"), QStringLiteral("doctor"))
        .text(QStringLiteral("driver"), driverName)
        .text(QStringLiteral("connection"), connection)
        .boolean(QStringLiteral("simulator"), simulated)
        .boolean(QStringLiteral("ok"), !failed && !steps.isEmpty());
    if (failed)
        line.text(QStringLiteral("failedStep"), failed->id);
    else
        line.null(QStringLiteral("failedStep"));
    return line.array(QStringLiteral("steps"), objects).toString();
}

QString doctorVerdict(const QList<DoctorStep> &steps)
{
    const DoctorStep *failed = firstFailure(steps);
    if (!failed)
        return QStringLiteral("doctor: the test read worked");
    return QStringLiteral("doctor: failed at %1: %2").arg(failed->title, failed->found);
}

} // namespace plcctl
