#ifndef CMDFINSUDP_H
#define CMDFINSUDP_H

// The FINS/UDP protocol object: one UDP socket connected to the controller's
// address and port, and the memory-area commands sent over it.
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

#include <QByteArray>
#include <QDeadlineTimer>
#include <QAbstractSocket>
#include <QObject>
#include <QString>

#include "FinsAreaTransfer.h"
#include "UdpConnectionText.h"
#include "WarningBudget.h"

class QUdpSocket;

class CmdFinsUdp : public QObject, public FinsAreaTransfer
{
    Q_OBJECT

public:
    CmdFinsUdp();
    ~CmdFinsUdp() override;

    // Parses the connection text (a bad one is refused with a warning naming
    // the setting, and nothing is touched), then connects as below.
    int ConnectDrive(const QString &connection);
    // 0 once the controller answered a one-word read; -1 no node number can
    // be derived, -2 no answer after all attempts, -3 the socket could not be
    // set up, or the address is unreachable or the port closed.
    int ConnectDrive(const UdpConnectionText::Settings &settings);
    int Connection_status() const;
    int DisConnectDrive();
    int DestroyFree();

    quint16 localPort() const;

private:
    bool isConnected() const override;
    Exchange readPart(const QByteArray &command, int byteLen, const QString &addressText, QByteArray *out) override;
    Exchange writePart(const QByteArray &command, int itemCount, WriteKind kind, const QString &addressText) override;

    bool openSocket(quint16 localPort);
    Exchange probe();
    qint64 peekDatagram() const;
    Exchange receive(const QDeadlineTimer &deadline, QByteArray *datagram, QAbstractSocket::SocketError *error);
    void readDatagram(qint64 size, QByteArray *datagram);
    void dropPending();
    Exchange exchange(const QByteArray &request, QByteArray *answer, const QString &addressText, int count);
    void warnUnreachable(QAbstractSocket::SocketError error) const;
    void warnMisrouted(const QString &addressText, int count, const QByteArray &datagram);

    QUdpSocket *udpSocket = nullptr;
    int timeoutMs = UdpConnectionText::DefaultTimeoutMs;
    int retries = UdpConnectionText::DefaultRetries;
    WarningBudget misroutedBudget;
};

#endif // CMDFINSUDP_H
