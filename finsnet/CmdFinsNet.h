#ifndef CMDFINSNET_H
#define CMDFINSNET_H

// The FINS/TCP protocol object: the node address handshake and the exchange
// of one memory-area command at a time over CmdFinsNetLink's connection
// (FinsAreaTransfer splits larger transfers), with the checks of each answer
// and the log lines.

#include <QByteArray>
#include <QString>

#include "CmdFinsNetLink.h"

class CmdFinsNet : public CmdFinsNetLink
{
    Q_OBJECT

public:
    // 0 connected; -1 not a numeric address or no valid port; -2 the node
    // address handshake failed; -3 no TCP connection. Every failure leaves a
    // warning line that says why.
    int ConnectDrive(QString ip, int port);
    // 0 node numbers set; 1 the handshake failed.
    int First_handshake();
    int SendData(QByteArray frame, QByteArray &answer, int gate);

    // One Memory Area Read command frame (FINS/TCP header on); 0, -1, -2, -3.
    int Message_parsing(QByteArray frame, QByteArray *out, int byteLen, QString addressText);

private:
    enum class Handshake { Assigned, Failed, NodeRefused };

    Exchange readPart(const QByteArray &command, int byteLen, const QString &addressText, QByteArray *out) override;
    Exchange writePart(const QByteArray &command, int itemCount, WriteKind kind, const QString &addressText) override;

    bool linkReady() override;
    Handshake askNode(quint8 requested, const QDeadlineTimer &deadline);
    void warnNodeRefused(quint32 errorCode) const;
    Exchange readExchange(const QByteArray &frame, QByteArray *out, int byteLen, const QString &addressText);
};

#endif // CMDFINSNET_H
