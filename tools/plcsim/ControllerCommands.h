#ifndef PLCSIM_CONTROLLERCOMMANDS_H
#define PLCSIM_CONTROLLERCOMMANDS_H

// Runs one FINS command (command code and parameters, as they follow the
// 10-byte FINS header) as the controller of `state` would: its frame limit,
// its controller data (05 01), status (06 01) and clock (07 01, 07 02),
// the memory-area commands against its memory image, and the CPU status
// flags of its condition in every answer's end code. The caller holds
// state.mutex. Shared by FINS/TCP, FINS/UDP and Host Link.

#include "FinsExecutor.h"

#include <QByteArray>
#include <QDateTime>

namespace plcsim {

struct SimState;

// `transportMaxData` is the most data the carrier's answer may hold (Host
// Link's 538 bytes); the controller's own frame limit applies as well.
FinsResult executeCommand(SimState &state, const Faults &faults, const QByteArray &command,
                          int transportMaxData);

// The controller's clock as it reads now.
QDateTime controllerClock(const SimState &state);

} // namespace plcsim

#endif
