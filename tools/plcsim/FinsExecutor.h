#ifndef PLCSIM_FINSEXECUTOR_H
#define PLCSIM_FINSEXECUTOR_H

// Runs one FINS command (command code and parameters, as they follow the
// 10-byte FINS header) against the memory image. Shared by FINS/TCP and
// Host Link, which differ only in how large an answer may be.

#include "MemoryImage.h"
#include "PlcSimulator.h"

#include <QByteArray>

namespace plcsim {

namespace endcode {
constexpr quint16 Normal = 0x0000;
constexpr quint16 NotSupported = 0x0401;
constexpr quint16 CommandTooLong = 0x1001;
constexpr quint16 CommandTooShort = 0x1002;
constexpr quint16 AreaUnknown = 0x1101;
constexpr quint16 AddressOutOfRange = 0x1103;
constexpr quint16 BeyondAreaEnd = 0x1104;
constexpr quint16 ResponseTooLong = 0x110B;
constexpr quint16 ParameterError = 0x110C;
constexpr quint16 ReadOnly = 0x2101;
} // namespace endcode

// The end code proper, without the relay and CPU status flag bits.
constexpr bool isErrorEndCode(quint16 code) { return (code & 0x7F3F) != 0; }

struct FinsResult
{
    quint16 endCode = endcode::Normal;
    QByteArray data;    // read data; empty on any error
    bool wrote = false; // memory was changed (or a zero-item write completed)
};

// `command` starts with the 2-byte command code. `maxDataBytes` is the most
// data an answer may carry (1998 on FINS/TCP, 538 on Host Link).
FinsResult executeFins(MemoryImage &memory, const QByteArray &command, int maxDataBytes);

// Lowest A-area word a command may write; everything below is system data.
constexpr int kFirstWritableAWord = 448;

// Runs `command` as a controller under `faults` would: an error end code in
// the faults rejects the command unexecuted (no data, memory untouched); a
// normal end code with status flags (such as 0040) runs it and answers with
// those flags.
FinsResult executeWithFaults(MemoryImage &memory, const Faults &faults, const QByteArray &command,
                             int maxDataBytes);

} // namespace plcsim

#endif
