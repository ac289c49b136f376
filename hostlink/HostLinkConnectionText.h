#ifndef HOSTLINKCONNECTIONTEXT_H
#define HOSTLINKCONNECTIONTEXT_H

// The Host Link connection texts, for every Host Link command set:
//
//   serial   port,baud,databits,stopbits,parity     /dev/ttyUSB0,9600,7,2,E
//   TCP      ip:port[,reconnect=on|off]               192.168.250.20:9600
//
// A text whose first field has a colon is a TCP text (a serial port name has
// none); otherwise one with a comma is a serial text. Pure: nothing is opened.

#include <QString>
#include <QtGlobal>

namespace HostLinkConnectionText {

struct Serial {
    QString port;
    int baud = 0;      // a rate the port does not take leaves it as it is
    int dataBits = 0;  // 5-8; others leave the port's setting
    int stopBits = 0;  // 1, 2, 3 (one and a half); others leave it
    QString parity;    // as given ("E", "Even", "n" ...); empty: leave it
};

struct Tcp {
    QString address; // dotted-quad IPv4 or IPv6 text
    quint16 port = 0;
    bool reconnect = false; // a call on a lost or dead link connects again first
};

struct Settings {
    bool serial = false;
    Serial line;
    Tcp tcp;
};

// 0 when `text` is good (`*settings` then holds it); else ConnectDrive's
// number for it, -1 a bad text or -4 neither "," nor ":", and `*reason`
// says in words what is wrong.
int parse(const QString &text, Settings *settings, QString *reason);

} // namespace HostLinkConnectionText

#endif // HOSTLINKCONNECTIONTEXT_H
