#ifndef PLCSIM_HOSTLINKSESSION_H
#define PLCSIM_HOSTLINKSESSION_H

// The controller's side of Host Link on one link (a TCP connection or the
// serial line): "FA" frames carrying FINS commands, with the unit number
// and FCS checked and the fault modes applied to the answers.

#include "CModeResponder.h"
#include "PlcSimulator.h"
#include "Session.h"

namespace plcsim {

namespace hostlink {
struct Request;
}

class HostLinkSession : public Session
{
    Q_OBJECT
public:
    HostLinkSession(SimState *state, Link *link, QObject *parent = nullptr);

protected:
    Take takeFrame(QByteArray &buffer, QByteArray &frame, Reply &fatalReply) override;
    Reply handleFrame(const QByteArray &frame) override;

private:
    Reply finsAnswer(const hostlink::Request &request, const Faults &faults, int unit,
                     quint16 endCode, const QByteArray &data);

    Reply cmodeAnswer(const QByteArray &piece);

    QByteArray m_lastAnswer; // for staleFirst
    CModeResponder m_cmode;  // C-mode commands beside FA, told apart by the header
};

} // namespace plcsim

#endif
