#ifndef HOSTLINKLINES_H
#define HOSTLINKLINES_H

// The two lines a Host Link driver may talk over, one active at a time: a
// serial port and a TCP connection. Connecting one of them makes it the
// active line and closes the other (a failed connect leaves the active one
// as it was, except that a TCP connect always replaces the old connection).
// What every Host Link command set keeps the same way.

#include <QObject>
#include <QString>

#include "HostLinkConnectionText.h"
#include "HostLinkSerialLink.h"
#include "HostLinkTcpLink.h"

class HostLinkLines
{
public:
    enum class Medium { None, Serial, Tcp };

    explicit HostLinkLines(const QString &logPrefix);
    ~HostLinkLines();

    // 0 open; else ConnectDrive's number (-1 the port, -3 no TCP
    // connection) and error() says why in words.
    int openSerial(const HostLinkConnectionText::Serial &settings);
    int openTcp(const HostLinkConnectionText::Tcp &settings);
    // DisConnectDrive and DestroyFree: 0 done, 1 nothing to act on.
    int disconnect();
    int destroy();

    Medium medium() const { return m_medium; }
    // The active line, or null.
    HostLinkLink *active() const;
    bool isUp() const;
    // Up, or (reconnect=on, TCP) connected again within `timeoutMs`.
    bool readyWithin(int timeoutMs);
    QString error() const { return m_error; }
    // "address:port" on TCP, ":0" otherwise (as the log lines have it).
    QString peerText() const;

private:
    HostLinkSerialLink *serial();
    HostLinkTcpLink *tcp();

    QObject m_owner; // parent of the links
    QString m_prefix;
    HostLinkSerialLink *m_serial = nullptr;
    HostLinkTcpLink *m_tcp = nullptr;
    Medium m_medium = Medium::None;
    QString m_error;
};

#endif // HOSTLINKLINES_H
