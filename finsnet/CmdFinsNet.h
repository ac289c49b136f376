#ifndef CMDFINSNET_H
#define CMDFINSNET_H

// The FINS/TCP protocol object: one TCP connection to the PLC, the node
// address handshake, and the exchange of one memory-area command at a time
// (FinsAreaTransfer splits larger transfers).
//
// Every exchange blocks the calling thread on the socket's own waits with one
// deadline; no event loop is needed. Answers are reassembled from a buffer by
// the FINS/TCP length field and matched to their request by SID and command
// code, so a late answer never becomes the answer of a later request.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include "FinsAreaTransfer.h"

class QTcpSocket;

class CmdFinsNet : public QObject, public FinsAreaTransfer
{
    Q_OBJECT

public:
    // Time one exchange may take, from sending the request to the last byte
    // of its answer.
    static constexpr int ExchangeTimeoutMs = 500;
    static constexpr int ConnectTimeoutMs = 1000;
    static constexpr int DisconnectTimeoutMs = 30000;

    CmdFinsNet();
    ~CmdFinsNet() override;

    // 0 connected; -1 not a numeric address or no valid port; -2 the node
    // address handshake failed; -3 no TCP connection.
    int ConnectDrive(QString ip, int port);
    // 0 node numbers set; 1 the handshake failed.
    int First_handshake();
    int SendData(QByteArray frame, QByteArray &answer, int gate);
    int Connection_status() const;
    int DisConnectDrive();
    int deletetcpSocket();
    int DestroyFree();

    // One Memory Area Read command frame (FINS/TCP header on); 0, -1, -2, -3.
    int Message_parsing(QByteArray frame, QByteArray *out, int byteLen, QString addressText);

public slots:
    void myconnected();
    void mydisconnected();
    void myreadyRead();

private:
    enum class Handshake { Assigned, Failed, NodeRefused };

    bool isConnected() const override;
    Exchange readPart(const QByteArray &command, int byteLen, const QString &addressText, QByteArray *out) override;
    Exchange writePart(const QByteArray &command, int itemCount, WriteKind kind, const QString &addressText) override;

    bool openConnection();
    Handshake askNode(quint8 requested);
    void dropStale();
    Exchange sendFrame(const QByteArray &frame);
    Exchange nextFrame(const QDeadlineTimer &deadline, QByteArray *frame);
    Exchange transact(const QByteArray &request, QByteArray *answer);
    Exchange readExchange(const QByteArray &frame, QByteArray *out, int byteLen, const QString &addressText);
    bool socketGone() const;
    QString peer() const;

    QByteArray recvBuffer;
    QTcpSocket *tcpSocket = nullptr;
};

#endif // CMDFINSNET_H
