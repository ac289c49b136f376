#ifndef PLCCTL_CONTROLLERREPORT_H
#define PLCCTL_CONTROLLERREPORT_H

// What plcctl says about a controller (info, clock, doctor): its identity,
// mode and errors, its clock, and a controller call that failed, as lines
// and as JSON fields. Pure: no I/O.

#include "DriveController.h"
#include "JsonLine.h"
#include "Outcome.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace plcctl {

// "model:  CJ2M-CPU33" ... aligned like plcctl info's other lines.
QStringList identityLines(const ControllerIdentity &id);
// Mode with what it means, then the errors (or "none").
QStringList statusLines(const ControllerStatus &status);
// "2026-12-09 15:04:05 (Wednesday)".
QString clockText(const QDateTime &time);
// One line for the mode and error state, for doctor.
QString statusSummary(const ControllerStatus &status);
// Why a controller call gave no answer, in words: "not supported by this
// controller" for Unsupported, else the reason with the end code's meaning.
QString outcomeText(const Outcome &outcome);

void addIdentity(JsonLine &line, const ControllerIdentity &id);
void addStatus(JsonLine &line, const ControllerStatus &status);
// ISO 8601 without a zone: the controller's clock has none.
QString clockJson(const QDateTime &time);

// A time for clock --set: "YYYY-MM-DD HH:MM[:SS]" or with a "T" between.
// False (with `error` in words) for anything else.
bool parseClockTime(const QString &text, QDateTime *out, QString *error);

} // namespace plcctl

#endif // PLCCTL_CONTROLLERREPORT_H
