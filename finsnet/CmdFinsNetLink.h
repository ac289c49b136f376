#ifndef CMDFINSNETLINK_H
#define CMDFINSNETLINK_H

// The TCP connection under the FINS/TCP commands: connecting, and sending
// frames and waiting for complete ones in return.
//
// Every wait blocks the calling thread on the socket's own waits with one
// deadline; no event loop is needed. Answers are reassembled from a buffer by
// the FINS/TCP length field and matched to their request by SID and command
// code, so a late answer never becomes the answer of a later request. One
// command is in flight at a time: a command sent while an earlier one is
// still unanswered would queue behind it, and a burst of queued commands
// would reach the controller when a lost network comes back.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include "FinsTcpPeer.h"
#include "ReconnectOption.h"

class QTcpSocket;

class CmdFinsNetLink : public QObject, public FinsTcpPeer
{
    Q_OBJECT

public:
    // Time one exchange may take, from sending the request to the last byte
    // of its answer.
    static constexpr int ExchangeTimeoutMs = 500;
    static constexpr int ConnectTimeoutMs = 1000;
    static constexpr int DisconnectTimeoutMs = 30000;

    CmdFinsNetLink();
    ~CmdFinsNetLink() override;

    int Connection_status() const;
    int DisConnectDrive();
    int deletetcpSocket();
    int DestroyFree();

    // Answers dropped as stale or foreign since the last connect.
    quint64 droppedAnswers() const { return dropped; }
    // A call on a lost or dead link connects again first.
    void setReconnect(bool on) { reconnectOn = on; }

public slots:
    void myconnected();
    void mydisconnected();
    void myreadyRead();

protected:
    void ensureSocket();
    // A fresh connection to hostAddress:hostPort (a warning says why not).
    bool openConnection(int timeoutMs = ConnectTimeoutMs);
    // Ends the connection at once, without the goodbye DisConnectDrive waits for.
    void dropConnection();
    bool isConnected() const override;
    Exchange sendFrame(const QByteArray &frame);
    // The next complete frame, connection confirmations skipped.
    Exchange nextFrame(const QDeadlineTimer &deadline, QByteArray *frame);
    // A command frame out, its own answer back. `*misrouted`: the last
    // answer dropped for carrying other node numbers.
    Exchange transact(const QByteArray &request, QByteArray *answer, QByteArray *misrouted);
    QString peer() const;
    // How the last connect failed, in words.
    QString socketErrorText() const;

    bool reconnectOn = false;
    ReconnectOption::Pacer reconnectPacer;

private:
    void dropStale();
    void receiveMore(const QDeadlineTimer &deadline);
    bool socketGone() const;
    bool awaitEarlierAnswer(const QDeadlineTimer &deadline, Exchange *why);
    void warnDeadLink() const;

    QByteArray recvBuffer;
    QTcpSocket *tcpSocket = nullptr;
    QByteArray unanswered; // the command in flight whose answer has not come
    quint64 dropped = 0;
    bool closing = false;  // the driver itself ends the connection
};

#endif // CMDFINSNETLINK_H
