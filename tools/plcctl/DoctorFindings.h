#ifndef PLCCTL_DOCTORFINDINGS_H
#define PLCCTL_DOCTORFINDINGS_H

// What `doctor` makes of each step's outcome: the plug-in's result code, how
// long the call waited, and the plug-in's own log lines (warnings and, with
// debug on, frame traces) that came meanwhile. Pure: the session does the
// I/O and hands the facts in.

#include "ConnectionCheck.h"
#include "DoctorStep.h"

#include <QString>
#include <QStringList>

namespace plcctl {

// FINS node numbers of a traced command frame (DA1: the PLC's, SA1: ours).
struct NodeNumbers {
    int plc = -1;
    int ours = -1;
    bool known() const { return plc >= 0 && ours >= 0; }
};

// The node numbers of the last traced request in `lines` (FINS/TCP or
// FINS/UDP frame); unknown when there is none.
NodeNumbers nodesInTrace(const QStringList &lines);

// The header error code of the last refused node request, or -1.
qint64 refusedNodeCode(const QStringList &lines);

// How a plain TCP connect to the target went.
enum class Reach { Connected, Refused, TimedOut, Unreachable };
DoctorStep reachStep(const ConnectionTarget &target, Reach reach, const QString &error, qint64 elapsedMs);

// Whether the serial device is there and usable.
struct DeviceFacts {
    bool exists = false;
    bool characterDevice = false;
    bool readable = false;
    bool writable = false;
};

// Host Link: the serial device (facts; when usable, ConnectDrive's result)
// or the TCP connection (ConnectDrive's result only), with the unit number.
DoctorStep hostLinkPortStep(const ConnectionTarget &target, const DeviceFacts &device, int connectResult,
                            const QStringList &lines, int unit);

// FINS/TCP: ConnectDrive's handshake. `readLines` are the lines of the test
// read, whose traced request shows the node numbers the handshake gave.
DoctorStep handshakeStep(int connectResult, const QStringList &lines, const QStringList &readLines,
                         qint64 elapsedMs);

// FINS/UDP: the node numbers in use, and whether anything answered the
// plug-in's probe in ConnectDrive.
DoctorStep udpNodesStep(int connectResult, const QStringList &lines);
DoctorStep udpAnswerStep(const ConnectionTarget &target, int connectResult, const QStringList &lines,
                         qint64 elapsedMs);

// The test read of one word: its result code, the word read, the lines.
struct TestRead {
    QString address;
    int errorCode = 1;
    quint16 value = 0;
    QStringList lines;
    qint64 elapsedMs = -1;
};
DoctorStep readStep(DriverKind kind, const ConnectionTarget &target, int unit, const TestRead &read);

// A step that was not run because an earlier one failed.
DoctorStep skippedStep(const QString &id, const QString &title);

} // namespace plcctl

#endif // PLCCTL_DOCTORFINDINGS_H
