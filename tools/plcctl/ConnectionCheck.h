#ifndef PLCCTL_CONNECTIONCHECK_H
#define PLCCTL_CONNECTIONCHECK_H

// The first step of `doctor`: reading a connection text the way the plug-in
// of its kind will, and saying in words what it names or what is wrong with
// it. Pure, no I/O.

#include "DoctorStep.h"

#include <QString>

namespace plcctl {

// The plug-ins doctor knows, by their getDriveName().
enum class DriverKind { Other, FinsTcp, HostLink, FinsUdp, HostLinkC };
DriverKind driverKind(const QString &driverName);

struct ConnectionTarget {
    bool serial = false;
    QString host;        // numeric IPv4 address (TCP and UDP)
    int port = 0;
    QString settings;    // FINS/UDP: what follows ip:port, without the first ','
    QString device;      // serial
    int baud = 0;
    int dataBits = 0;
    int stopBits = 0;    // 3 is one and a half
    QString parity;      // "even", "odd", "none"; empty when not given
};

// The "syntax" step; `target` is filled in when the step did not fail.
DoctorStep syntaxStep(DriverKind kind, const QString &connection, ConnectionTarget *target);

// "9600 baud, 7 data bits, 2 stop bits, even parity"
QString serialSettingsText(const ConnectionTarget &target);

} // namespace plcctl

#endif // PLCCTL_CONNECTIONCHECK_H
