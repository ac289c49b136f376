#ifndef PLCSIM_HUB_H
#define PLCSIM_HUB_H

// Lives on the simulator's thread and owns every server, session and the
// serial line. Only ever called on that thread.

#include <QHostAddress>
#include <QObject>
#include <QString>

class QTcpServer;

namespace plcsim {

struct SimState;
class Link;
class Session;

class Hub : public QObject
{
    Q_OBJECT
public:
    explicit Hub(SimState *state);
    ~Hub() override;

    quint16 startFins(quint16 port, const QString &bindAddress);
    quint16 startHostLinkTcp(quint16 port, const QString &bindAddress);
    QString startHostLinkSerial(int baud);
    quint16 startFinsUdp(quint16 port, const QString &bindAddress);
    quint16 startCip(quint16 port, const QString &bindAddress);
    void stop();
    void dropConnections();

private:
    enum class Protocol { Fins, HostLink, Cip };
    quint16 listen(Protocol protocol, quint16 port, const QString &bindAddress);
    void accept(QTcpServer *server, Protocol protocol);

    SimState *m_state;
};

} // namespace plcsim

#endif
