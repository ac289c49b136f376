#ifndef HOSTLINKFCS_H
#define HOSTLINKFCS_H

// The Host Link frame check sequence, shared by every Host Link command set:
// the exclusive OR of the characters from "@" through the last text
// character, written as two upper-case hex digits.

#include <QByteArray>

namespace HostLinkFcs {

// XOR of the first `n` bytes (bytes past the end are skipped). `sevenBit`
// masks the top bit of each character first, as on a 7-bit line.
unsigned char of(const QByteArray &data, int n, bool sevenBit = false);
// The two upper-case hex digits of the FCS over all of `body`.
QByteArray text(const QByteArray &body, bool sevenBit = false);
// Appends the FCS over `body`, then "*" CR.
QByteArray finish(QByteArray body, bool sevenBit = false);
// True when the two characters before `fcsEnd` are the FCS of everything
// before them (fcsEnd: index just past the FCS, before "*" CR or CR).
bool matches(const QByteArray &frame, int fcsEnd, bool sevenBit = false);

} // namespace HostLinkFcs

#endif // HOSTLINKFCS_H
