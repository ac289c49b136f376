#ifndef CIPIDENTITY_H
#define CIPIDENTITY_H

// What the controller says about itself: the ListIdentity item and the
// controller object's attributes (mode, model). Pure functions.

#include <QByteArray>

#include "DriveController.h"

namespace CipIdentity {

// Controller object, class C4 instance 0.
constexpr quint8 ControllerClass = 0xC4;
constexpr quint8 ModeAttribute = 0x64;
constexpr quint8 ModelAttribute = 0x66;

// ListIdentity reply data (item count, items) into `out`; false when no
// identity item is there or it is cut short.
bool parseListIdentity(const QByteArray &data, ControllerIdentity *out);
// The mode attribute (0000 PROGRAM, 0004 RUN); false when it is no 2 bytes.
bool parseMode(const QByteArray &data, ControllerStatus *out);
// The model attribute: 2-byte size and that many bytes of text.
bool parseModel(const QByteArray &data, QString *model);

} // namespace CipIdentity

#endif // CIPIDENTITY_H
