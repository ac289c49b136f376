#ifndef PLCCTL_DOCTORCMODE_H
#define PLCCTL_DOCTORCMODE_H

// The steps of `doctor` that only the Host Link C-mode plug-in has: the MS
// status (does a controller answer C-mode at this unit, and in which mode),
// the test read, and what the mode means for writes. They read the plug-in's
// outcomes through its diagnostics and controller faces, not its log lines.
// Pure: the session does the I/O and hands the outcomes in.

#include "DoctorStep.h"
#include "DriveController.h"
#include "Outcome.h"

#include <QStringList>

namespace plcctl {

DoctorStep cmodeStatusStep(const Outcome &outcome, const ControllerStatus &status, int unit, qint64 elapsedMs);
DoctorStep cmodeReadStep(const Outcome &outcome, int errorCode, quint16 value, int unit, qint64 elapsedMs);
DoctorStep cmodeModeStep(const ControllerStatus &status);

// A failed exchange of the C-mode plug-in in words for plcctl's messages:
// its end codes are C-mode's own, not FINS end codes.
QStringList cmodeOutcomeWords(const Outcome &outcome);

} // namespace plcctl

#endif // PLCCTL_DOCTORCMODE_H
