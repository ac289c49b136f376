#ifndef FINSCONTROLLERCOMMANDS_H
#define FINSCONTROLLERCOMMANDS_H

// The controller commands of FINS, addressed to the CPU unit: controller
// data read (05 01), controller status read (06 01), clock read (07 01) and
// clock write (07 02). Parameters to send and the data of their answers (the
// bytes after the end code) read into named fields. Pure functions.

#include <QByteArray>
#include <QDateTime>

#include "DriveController.h"
#include "Outcome.h"

namespace FinsControllerCommands {

// 05 01 parameter 00: model, version and area data.
QByteArray controllerDataParameters();
// Bytes the answers carry at least.
constexpr int ControllerDataBytes = 40; // model and version; area data follows
constexpr int StatusBytes = 2;          // status and mode; flags, code and message follow
constexpr int ClockBytes = 6;           // year .. second; the day of week follows

// Model and version (trimmed of blanks and NULs); details "dmWords" and
// "emBanks" from the area data when the answer holds it.
Outcome parseControllerData(const QByteArray &data, ControllerIdentity *out);
// Run state, mode ("PROGRAM", "MONITOR", "RUN"), error flags, code and
// message; each error flag that is set in words in `errors`.
Outcome parseStatus(const QByteArray &data, ControllerStatus *out);
// Seven BCD bytes: two-digit year (70-99 are 19xx), month, day, hour,
// minute, second, day of week. A local time without a zone.
Outcome parseClock(const QByteArray &data, QDateTime *out);

// 07 02 parameters for `time` (years 1970-2069); Refused (5) outside.
Outcome clockWriteParameters(const QDateTime &time, QByteArray *out);

// The answer's end code says the controller has no such command (0401
// undefined command, 0402 not supported by the model or version).
bool meansUnsupported(quint16 endCode);

} // namespace FinsControllerCommands

#endif // FINSCONTROLLERCOMMANDS_H
