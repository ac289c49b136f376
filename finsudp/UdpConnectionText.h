#ifndef UDPCONNECTIONTEXT_H
#define UDPCONNECTIONTEXT_H

// The FINS/UDP connection text:
//
//   ip:port[,plc=N][,node=N][,local=PORT][,timeout=MS][,retries=N]
//
// a numeric IPv4 unicast address and the controller's UDP port, then
// optional settings in any order, each at most once. Pure function, no
// sockets: nothing is opened or resolved.

#include <QString>
#include <QtGlobal>

namespace UdpConnectionText {

constexpr int DefaultTimeoutMs = 500;
constexpr int DefaultRetries = 2;
constexpr int MaxTimeoutMs = 60000;
constexpr int MaxRetries = 10;

struct Settings {
    QString address;      // dotted IPv4 text, as normalised by the parser
    quint16 port = 0;     // the controller's FINS/UDP port
    int plcNode = 0;      // DA1; 0: the last octet of the controller's address
    int localNode = 0;    // SA1; 0: the last octet of our own address towards it
    quint16 localPort = 0; // 0: an ephemeral port
    int timeoutMs = DefaultTimeoutMs; // per attempt
    int retries = DefaultRetries;     // sends after the first
};

// True when `text` is a valid connection text; `*settings` then holds it.
// Otherwise `*error` names the part of the text that is wrong and why, and
// `*settings` is left unchanged.
bool parse(const QString &text, Settings *settings, QString *error);

} // namespace UdpConnectionText

#endif // UDPCONNECTIONTEXT_H
