#ifndef CMDFINSNET_H
#define CMDFINSNET_H

// The FINS/TCP protocol object: one TCP connection to the PLC, the node
// address handshake, and the memory-area commands sent over it.
//
// Every exchange blocks the calling thread on the socket's own waits with one
// deadline; no event loop is needed. Answers are reassembled from a buffer by
// the FINS/TCP length field and matched to their request by SID and command
// code, so a late answer never becomes the answer of a later request.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "FinsMemoryAccess.h"

class QTcpSocket;

class CmdFinsNet : public QObject, public FinsMemoryAccess
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

    int ConnectDrive(QString ip, int port);
    int First_handshake();
    int SendData(QByteArray frame, QByteArray &answer, int gate);
    int Connection_status();
    int DisConnectDrive();
    int deletetcpSocket();
    int DestroyFree();

    int Read_area(int wordAddress, int byteLen, QByteArray *out, int areaCode, QString addressText) override;
    int Message_parsing(QByteArray frame, QByteArray *out, int byteLen, QString addressText);
    int Write_area(int wordAddress, int byteLen, QByteArray data, int areaCode, QString addressText) override;
    int Write_bool(int wordAddress, int itemCount, QByteArray data, int bitNumber, int areaCode,
                   QString addressText) override;

    void setDebug(bool on) override { debugOn = on; }
    bool debug() const { return debugOn; }
    int serverNodeNumber() const { return serverNode; }
    int clientNodeNumber() const { return clientNode; }

public slots:
    void myconnected();
    void mydisconnected();
    void myreadyRead();

private:
    enum class NodeAnswer { Assigned, Failed, Refused };

    int openConnection();
    NodeAnswer askNode(quint8 requested);
    quint8 nextSid();
    void dropStale();
    int sendFrame(const QByteArray &frame);
    int nextFrame(const QDeadlineTimer &deadline, QByteArray *frame);
    int transact(const QByteArray &request, QByteArray *answer);
    int writeCommand(const QByteArray &frame, int itemCount, bool bitWrite, const QString &addressText);
    bool socketGone() const;
    QString logLine(const char *format, const QString &addressText, int count, const QByteArray &bytes) const;
    void warnEndCode(const QString &addressText, int count, const QByteArray &answer) const;

    QByteArray recvBuffer;
    QHostAddress hostAddress;
    QTcpSocket *tcpSocket = nullptr;
    int hostPort = 0;
    bool debugOn = false;
    int serverNode = 100;
    int clientNode = 0;
    quint8 sid = 0; // SID of the next command frame; 0 after every handshake
};

#endif // CMDFINSNET_H
