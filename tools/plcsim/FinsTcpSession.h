#ifndef PLCSIM_FINSTCPSESSION_H
#define PLCSIM_FINSTCPSESSION_H

// The controller's side of one FINS/TCP connection: node address handshake
// and FINS command frames (command 2), with the fault modes applied to the
// command answers.

#include "Session.h"

namespace plcsim {

class TcpLink;

class FinsTcpSession : public Session
{
    Q_OBJECT
public:
    FinsTcpSession(SimState *state, TcpLink *link, QObject *parent = nullptr);
    ~FinsTcpSession() override;

    int clientNode() const { return m_clientNode; }
    void releaseNode();

protected:
    Take takeFrame(QByteArray &buffer, QByteArray &frame, Reply &fatalReply) override;
    Reply handleFrame(const QByteArray &frame) override;

private:
    Reply nodeRequest(const QByteArray &frame);
    Reply command(const QByteArray &frame);
    int assignNode(int requested, quint32 &error);

    TcpLink *m_tcp;
    int m_clientNode = -1;
    QByteArray m_lastAnswer; // for staleFirst
};

} // namespace plcsim

#endif
