#ifndef PLCCTL_CONTROLLERSESSION_H
#define PLCCTL_CONTROLLERSESSION_H

// plcctl's talk with the controller itself (info, clock) through the
// driver's controller face, DriveController. A plug-in without that face
// is told apart from a controller that lacks a command.

#include "CtlArguments.h"
#include "DoctorControllerStep.h"
#include "JsonLine.h"

#include <QStringList>

class CDriveBaseClass;
class DriveController;

namespace plcctl {

// The driver object's controller face, null when the plug-in has none.
DriveController *controllerFace(CDriveBaseClass *driver);

// Model, mode, errors and clock, as lines and into `json`. False when a
// call failed for another reason than "not supported".
bool describeController(CDriveBaseClass *driver, QStringList *lines, JsonLine *json);

// What the doctor's controller step needs: identity and status.
ControllerFindings askController(CDriveBaseClass *driver);

// plcctl clock [--set now|TIME] [--yes]: an exit status.
int runClock(CDriveBaseClass *driver, const CtlArguments &args);

} // namespace plcctl

#endif // PLCCTL_CONTROLLERSESSION_H
