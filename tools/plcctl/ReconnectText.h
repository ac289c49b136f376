#ifndef RECONNECTTEXT_H
#define RECONNECTTEXT_H

// Tools that keep a connection for a long time (watch, doctor) ask the TCP
// plug-ins to connect again by themselves, so that a watch survives a
// controller restart or a network outage.

#include <QString>

// `connection` with ",reconnect=on" added when it is a FINS/TCP, Host Link
// TCP (FA or C-mode: first field ip:port) or EtherNet/IP text that has no
// reconnect setting yet.
QString withReconnect(const QString &driverName, const QString &connection);

#endif // RECONNECTTEXT_H
