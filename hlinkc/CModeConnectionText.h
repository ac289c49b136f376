#ifndef CMODECONNECTIONTEXT_H
#define CMODECONNECTIONTEXT_H

// The Host Link connection texts, read as the FA plug-in reads them:
// "port,baud,databits,stopbits,parity" for a serial line, "ip:port" for TCP.

#include <QString>

#include "CModeDeviceLink.h"

namespace CModeConnectionText {

struct Parsed {
    int code = 0;  // 0 usable; -1 bad text; -4 neither "," nor ":"
    bool serial = false;
    CModeDeviceLink::SerialSettings line;
    QString address;
    int port = 0;
    QString reason; // why the text is refused
};

Parsed parse(const QString &text);

} // namespace CModeConnectionText

#endif // CMODECONNECTIONTEXT_H
