#ifndef PLCCTL_DOCTORADVICE_H
#define PLCCTL_DOCTORADVICE_H

// What `doctor` makes of how a step ended: the plug-in's own Outcome (read
// through its diagnostics face), turned into what was found and what to
// check, by driver and step. Pure: the session asks the plug-in.

#include "DoctorStep.h"
#include "Outcome.h"

#include <QString>
#include <QVariantMap>

namespace plcctl {

// The plug-ins doctor knows, by their getDriveName().
enum class DriverKind { Other, FinsTcp, HostLink, FinsUdp, HostLinkC };
DriverKind driverKind(const QString &driverName);

// The facts of one step: the plug-in's outcome, its addressing and unit,
// how long the call waited.
struct StepFacts {
    DriverKind kind = DriverKind::Other;
    Outcome outcome;
    QVariantMap addressing;
    qint64 elapsedMs = -1;
    quint64 dropped = 0; // answers the plug-in dropped as foreign during the step
};

DoctorStep syntaxStep(DriverKind kind, const QString &connection, const QString &refusal);
DoctorStep reachStep(const StepFacts &facts);
DoctorStep handshakeStep(int connectResult, const StepFacts &facts);
DoctorStep hostLinkPortStep(int connectResult, const StepFacts &facts);
DoctorStep udpNodesStep(int connectResult, const StepFacts &facts);
DoctorStep udpAnswerStep(int connectResult, const StepFacts &facts);
// The test read of one word: its result code and the word read; `scan`
// says which Host Link unit answered when the one asked was silent.
DoctorStep readStep(int errorCode, quint16 value, const StepFacts &facts, const QString &scan);

// A step that was not run because an earlier one failed.
DoctorStep skippedStep(const QString &id, const QString &title);

} // namespace plcctl

#endif // PLCCTL_DOCTORADVICE_H
