#ifndef CMDFINSUDP_H
#define CMDFINSUDP_H

// The FINS/UDP link: one UDP socket connected to the controller's address
// and port, behind the FinsLink seam.
//
// UDP loses, duplicates and delays datagrams without notice, and nothing but
// the FINS header says whom a datagram is for. So every exchange sends its
// command, waits until the per-attempt deadline for the one datagram that
// answers it (a response with our SID, command code and node numbers; all
// others are dropped), and sends the same frame (same SID) again up to
// `retries` times. Each exchange takes a new SID, so a late answer never
// becomes the answer of a later request. The socket is connected, so the
// kernel passes on only datagrams from the controller's address and port,
// and reports an ICMP port unreachable as ECONNREFUSED on the next receive.
//
// Waits block the calling thread on the socket's own waits; no event loop
// is needed.

#include <QAbstractSocket>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "FinsLink.h"
#include "UdpConnectionText.h"
#include "WarningBudget.h"

class QUdpSocket;

class CmdFinsUdp : public QObject, public FinsLink
{
    Q_OBJECT

public:
    CmdFinsUdp();
    ~CmdFinsUdp() override;

    // Opens the socket and sets the node numbers: 0; -1 no node number can
    // be derived; -3 the socket could not be set up, or the address is
    // unreachable. A warning says why, and connectOutcome() in words.
    int open(const UdpConnectionText::Settings &settings);
    const Outcome &connectOutcome() const { return m_connect; }
    void setConnectOutcome(const Outcome &outcome) { m_connect = outcome; }
    int DisConnectDrive();
    int DestroyFree();

    quint16 localPort() const;
    QString peerAddress() const { return hostAddress.toString(); }
    int peerPort() const { return hostPort; }

    Outcome exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer) override;
    QByteArray wireFrame(const QByteArray &command) const override { return command; }
    bool isOpen() const override;
    FinsCommand::Nodes nodes() const override { return FinsCommand::Nodes{serverNode, clientNode}; }
    quint64 droppedAnswers() const override { return dropped; }

private:
    enum class Wait { Datagram, Timeout, Failed };

    bool openSocket(quint16 localPort);
    qint64 peekDatagram() const;
    Wait receive(const QDeadlineTimer &deadline, QByteArray *datagram, QAbstractSocket::SocketError *error);
    void readDatagram(qint64 size, QByteArray *datagram);
    void dropPending();
    Outcome failed(QAbstractSocket::SocketError error);
    void warnUnreachable(QAbstractSocket::SocketError error) const;
    void warnMisrouted(const FinsExchangeContext &context, const QByteArray &datagram);
    void warnMisrouted(const QString &addressText, int count, const QByteArray &datagram);

    QUdpSocket *udpSocket = nullptr;
    QHostAddress hostAddress;
    int hostPort = 0;
    int serverNode = 0; // DA1
    int clientNode = 0; // SA1
    int timeoutMs = UdpConnectionText::DefaultTimeoutMs;
    int retries = UdpConnectionText::DefaultRetries;
    quint64 dropped = 0;
    Outcome m_connect;
    WarningBudget misroutedBudget;
};

#endif // CMDFINSUDP_H
