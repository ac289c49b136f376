#ifndef CMODECONTROLLER_H
#define CMODECONTROLLER_H

// What the MS and MM answers say, in words.

#include <QByteArray>
#include <QString>

#include "DriveController.h"

namespace CModeController {

// MS answer text: status (4 hex digits), then a 16-character FAL/FALS
// message when one exists. False when the text is no status.
bool status(const QByteArray &text, ControllerStatus *out);
// MM answer text: model code (2 hex digits). False when it is none.
bool identity(const QByteArray &text, ControllerIdentity *out);

} // namespace CModeController

#endif // CMODECONTROLLER_H
