#ifndef PLCSIM_CIPSESSION_H
#define PLCSIM_CIPSESSION_H

// One EtherNet/IP client on TCP: RegisterSession, ListIdentity, SendRRData
// and SendUnitData (after a Forward_Open or Large_Forward_Open), each
// request answered in turn. A request with another session handle gets
// encapsulation status 0x64; an unknown command 0x0001; UnRegisterSession
// closes the connection unanswered.

#include "PlcSimulator.h"
#include "Session.h"

namespace plcsim {

class TcpLink;

class CipSession : public Session
{
    Q_OBJECT
public:
    CipSession(SimState *state, TcpLink *link, QObject *parent = nullptr);

protected:
    Take takeFrame(QByteArray &buffer, QByteArray &frame, Reply &fatalReply) override;
    Reply handleFrame(const QByteArray &frame) override;

private:
    QByteArray registerSession(const QByteArray &frame);
    QByteArray listIdentity(const QByteArray &frame) const;
    QByteArray request(const QByteArray &frame, bool connected, const Faults &f, bool *commandAnswer);
    QByteArray connectionManager(const QByteArray &request);
    QByteArray encapsulate(const QByteArray &header, quint32 status, const QByteArray &data) const;

    quint32 m_session = 0;
    quint32 m_toTarget = 0;     // O->T id we gave out; 0: no connection
    quint32 m_toOriginator = 0; // T->O id the client proposed
    int m_limit = 502;
};

} // namespace plcsim

#endif
