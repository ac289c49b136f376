#ifndef CMDFINSNET_H
#define CMDFINSNET_H

// The FINS/TCP link: the node address handshake on CmdFinsNetLink's
// connection, and the FinsLink seam over it (a FINS command goes out in a
// FINS/TCP command 2 frame; its own answer comes back without that header).

#include <QByteArray>
#include <QString>

#include "CmdFinsNetLink.h"
#include "FinsFrame.h"
#include "FinsLink.h"
#include "Outcome.h"

class CmdFinsNet : public CmdFinsNetLink, public FinsLink
{
    Q_OBJECT

public:
    // 0 connected; -1 not a numeric address or no valid port; -2 the node
    // address handshake failed; -3 no TCP connection. Every failure leaves a
    // warning line that says why, and connectOutcome() says it in words.
    int ConnectDrive(QString ip, int port);
    // 0 node numbers set; 1 the handshake failed.
    int First_handshake();
    const Outcome &connectOutcome() const { return m_connect; }

    int serverNodeNumber() const { return serverNode; }
    int clientNodeNumber() const { return clientNode; }
    QString peerAddress() const { return hostAddress.toString(); }
    int peerPort() const { return hostPort; }

    Outcome exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer) override;
    QByteArray wireFrame(const QByteArray &command) const override { return FinsFrame::commandFrame(command); }
    bool isOpen() const override { return isConnected(); }
    bool ready(bool *reopened) override;
    FinsCommand::Nodes nodes() const override { return FinsCommand::Nodes{serverNode, clientNode}; }
    quint64 droppedAnswers() const override { return CmdFinsNetLink::droppedAnswers(); }

private:
    enum class Handshake { Assigned, Failed, NodeRefused };

    Handshake askNode(quint8 requested, const QDeadlineTimer &deadline);
    void warnNodeRefused(quint32 errorCode) const;
    Outcome outcomeOf(Exchange result, const QByteArray &received) const;
    void failConnect(Outcome::Kind kind, const QString &step, const QString &reason, int code = -1);

    Outcome m_connect;
};

#endif // CMDFINSNET_H
