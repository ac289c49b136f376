#include "DoctorControllerStep.h"

#include "ControllerReport.h"

namespace plcctl {

namespace {

bool answered(const Outcome &o) { return o.ok() || o.kind == Outcome::Kind::Unsupported; }

QString identityText(const ControllerFindings &f)
{
    if (!f.identityOutcome.ok())
        return QStringLiteral("model: ") + outcomeText(f.identityOutcome);
    return f.identity.version.isEmpty() ? f.identity.model
                                        : QStringLiteral("%1 (revision %2)").arg(f.identity.model, f.identity.version);
}

} // namespace

QString controllerStepTitle() { return QStringLiteral("controller model, mode and errors"); }

DoctorStep controllerStep(const ControllerFindings &f)
{
    DoctorStep step;
    step.id = QStringLiteral("controller");
    step.title = controllerStepTitle();
    if (!f.face) {
        step.outcome = DoctorStep::Outcome::Passed;
        step.found = QStringLiteral("this plug-in cannot ask the controller about itself");
        return step;
    }
    const QString state = f.statusOutcome.ok() ? statusSummary(f.status)
                                               : QStringLiteral("mode and errors: ") + outcomeText(f.statusOutcome);
    step.found = identityText(f) + QStringLiteral("; ") + state;
    step.outcome = DoctorStep::Outcome::Passed;
    QStringList checks;
    if (!answered(f.identityOutcome) || !answered(f.statusOutcome))
        checks << QStringLiteral("the test read worked but a controller command did not: a gateway or unit that "
                                 "passes only memory commands, or a link that dropped");
    if (f.statusOutcome.ok() && f.status.fatalError)
        checks << QStringLiteral("a fatal error has stopped the program: values the program computes stay as "
                                 "they were; clear the error (a programming tool shows its cause)");
    else if (f.statusOutcome.ok() && f.status.mode == QLatin1String("PROGRAM"))
        checks << QStringLiteral("the program does not run in PROGRAM mode: values it computes do not change; "
                                 "switch to MONITOR or RUN when it should run");
    if (f.statusOutcome.ok() && f.status.nonFatalError)
        checks << QStringLiteral("a non-fatal error is set (the program runs on); its code and message say which");
    if (!checks.isEmpty()) {
        step.outcome = DoctorStep::Outcome::Warning;
        step.check = checks.join(QStringLiteral("; "));
    }
    return step;
}

} // namespace plcctl
