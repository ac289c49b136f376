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
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "FinsMemoryAccess.h"
#include "UdpConnectionText.h"

class QUdpSocket;

class CmdFinsUdp : public QObject, public FinsMemoryAccess
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

    int Read_area(int wordAddress, int byteLen, QByteArray *out, int areaCode, QString addressText) override;
    int Write_area(int wordAddress, int byteLen, QByteArray data, int areaCode, QString addressText) override;
    int Write_bool(int wordAddress, int itemCount, QByteArray data, int bitNumber, int areaCode,
                   QString addressText) override;
    void setDebug(bool on) override { debugOn = on; }

    bool debug() const { return debugOn; }
    int serverNodeNumber() const { return serverNode; }
    int clientNodeNumber() const { return clientNode; }
    quint16 localPort() const;

private:
    int openSocket(quint16 localPort);
    int probe();
    quint8 nextSid();
    qint64 peekDatagram() const;
    int receive(const QDeadlineTimer &deadline, QByteArray *datagram, QAbstractSocket::SocketError *error);
    void readDatagram(qint64 size, QByteArray *datagram);
    void dropPending();
    int exchange(const QByteArray &request, QByteArray *answer, const QString &addressText, int count);
    int readCommand(const QByteArray &frame, QByteArray *out, int byteLen, const QString &addressText);
    int writeCommand(const QByteArray &frame, int itemCount, const QString &addressText);
    QString logLine(const char *format, const QString &addressText, int count, const QByteArray &bytes) const;
    void trace(const char *format, const QString &addressText, int count, const QByteArray &bytes) const;
    void warn(const char *format, const QString &addressText, int count, const QByteArray &bytes) const;
    void warnEndCode(const QString &addressText, int count, const QByteArray &answer) const;
    void warnUnreachable(QAbstractSocket::SocketError error) const;

    QHostAddress hostAddress;
    QUdpSocket *udpSocket = nullptr;
    int hostPort = 0;
    bool debugOn = false;
    int serverNode = 0; // DA1 of every command
    int clientNode = 0; // SA1 of every command
    int timeoutMs = UdpConnectionText::DefaultTimeoutMs;
    int retries = UdpConnectionText::DefaultRetries;
    quint8 sid = 0; // SID of the next exchange
};

#endif // CMDFINSUDP_H
