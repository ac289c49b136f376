#include "ControllerSession.h"

#include "CDriveBaseClass.h"
#include "Console.h"
#include "ControllerReport.h"
#include "CtlSession.h"
#include "DriveController.h"

#include <QObject>

#include <cstdio>
#include <unistd.h>

namespace plcctl {

namespace {

bool failed(const Outcome &o) { return !o.ok() && o.kind != Outcome::Kind::Unsupported; }

// One controller call's failure, as an info line and a JSON field.
void noAnswer(const QString &what, const Outcome &o, QStringList *lines, JsonLine *json)
{
    lines->append(QStringLiteral("%1 %2").arg(what + QLatin1Char(':'), -12).arg(outcomeText(o)));
    json->text(what + QStringLiteral("Error"), outcomeText(o));
}

bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool askYes(const QString &question)
{
    printNote(question + QStringLiteral(" [y/N] "));
    char line[64] = {};
    if (!std::fgets(line, sizeof line, stdin))
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}

int readClock(DriveController *face, bool json)
{
    QDateTime time;
    const Outcome o = face->readClock(&time);
    if (!o.ok()) {
        printError(QStringLiteral("clock read: ") + outcomeText(o));
        if (json)
            printOut(JsonLine().text(QStringLiteral("op"), QStringLiteral("clock")).text(QStringLiteral("error"), outcomeText(o)).toString());
        return ExitFailed;
    }
    if (json)
        printOut(JsonLine().text(QStringLiteral("op"), QStringLiteral("clock")).text(QStringLiteral("clock"), clockJson(time)).toString());
    else
        printOut(QStringLiteral("clock:       ") + clockText(time));
    return ExitOk;
}

// A write to the controller: say what it will set, then ask (a terminal)
// or require --yes (anything else).
int setClock(DriveController *face, const CtlArguments &args)
{
    const bool now = args.clockSet == QLatin1String("now");
    QDateTime time;
    QString error;
    if (!now && !parseClockTime(args.clockSet, &time, &error)) {
        printError(error);
        return ExitUsage;
    }
    const QString what = now ? QStringLiteral("this machine's local time at the moment of writing (now %1)")
                                   .arg(clockText(QDateTime::currentDateTime()))
                             : clockText(time);
    printNote(QStringLiteral("plcctl: will set the controller's clock to %1").arg(what));
    if (!args.yes) {
        if (!stdinIsTerminal()) {
            printError(QStringLiteral("clock not set: stdin is not a terminal; give --yes to set it"));
            return ExitUsage;
        }
        if (!askYes(QStringLiteral("Set the clock?"))) {
            printError(QStringLiteral("clock not set"));
            return ExitFailed;
        }
    }
    if (now)
        time = QDateTime::currentDateTime();
    const Outcome o = face->writeClock(time);
    if (!o.ok()) {
        printError(QStringLiteral("clock write: ") + outcomeText(o));
        if (args.json)
            printOut(JsonLine().text(QStringLiteral("op"), QStringLiteral("clock-set")).text(QStringLiteral("error"), outcomeText(o)).toString());
        return ExitFailed;
    }
    if (args.json)
        printOut(JsonLine().text(QStringLiteral("op"), QStringLiteral("clock-set")).text(QStringLiteral("set"), clockJson(time)).toString());
    else
        printOut(QStringLiteral("set clock:   ") + clockText(time));
    return readClock(face, args.json);
}

} // namespace

DriveController *controllerFace(CDriveBaseClass *driver)
{
    return qobject_cast<DriveController *>(dynamic_cast<QObject *>(driver));
}

bool describeController(CDriveBaseClass *driver, QStringList *lines, JsonLine *json)
{
    DriveController *face = controllerFace(driver);
    if (!face) {
        lines->append(QStringLiteral("controller:  this plug-in cannot ask the controller about itself"));
        json->boolean(QStringLiteral("controllerFace"), false);
        return true;
    }
    ControllerIdentity id;
    const Outcome identity = face->readIdentity(&id);
    if (identity.ok()) {
        *lines += identityLines(id);
        addIdentity(*json, id);
    } else {
        noAnswer(QStringLiteral("model"), identity, lines, json);
    }
    ControllerStatus status;
    const Outcome state = face->readStatus(&status);
    if (state.ok()) {
        *lines += statusLines(status);
        addStatus(*json, status);
    } else {
        noAnswer(QStringLiteral("mode"), state, lines, json);
    }
    QDateTime time;
    const Outcome clock = face->readClock(&time);
    if (clock.ok()) {
        lines->append(QStringLiteral("clock:       ") + clockText(time));
        json->text(QStringLiteral("clock"), clockJson(time));
    } else {
        noAnswer(QStringLiteral("clock"), clock, lines, json);
    }
    return !failed(identity) && !failed(state) && !failed(clock);
}

ControllerFindings askController(CDriveBaseClass *driver)
{
    ControllerFindings f;
    DriveController *face = controllerFace(driver);
    f.face = face != nullptr;
    if (face) {
        f.identityOutcome = face->readIdentity(&f.identity);
        f.statusOutcome = face->readStatus(&f.status);
    }
    return f;
}

int runClock(CDriveBaseClass *driver, const CtlArguments &args)
{
    DriveController *face = controllerFace(driver);
    if (!face) {
        printError(QStringLiteral("this plug-in cannot read or set the controller's clock"));
        return ExitFailed;
    }
    return args.clockSet.isEmpty() ? readClock(face, args.json) : setClock(face, args);
}

} // namespace plcctl
