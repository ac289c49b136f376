#ifndef PLCCTL_DOCTORCONTROLLERSTEP_H
#define PLCCTL_DOCTORCONTROLLERSTEP_H

// The doctor's step after the test read: the controller's model, mode and
// error state in words. A controller in PROGRAM mode or with a fatal error
// explains many "wrong" values, so that is a warning; a controller without
// these commands is reported, not failed. Pure: the caller asks the driver.

#include "DoctorStep.h"
#include "DriveController.h"
#include "Outcome.h"

namespace plcctl {

struct ControllerFindings {
    bool face = false; // the plug-in offers DriveController
    Outcome identityOutcome;
    ControllerIdentity identity;
    Outcome statusOutcome;
    ControllerStatus status;
};

DoctorStep controllerStep(const ControllerFindings &findings);
QString controllerStepTitle();

} // namespace plcctl

#endif // PLCCTL_DOCTORCONTROLLERSTEP_H
