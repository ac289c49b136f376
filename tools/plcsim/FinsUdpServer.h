#ifndef PLCSIM_FINSUDPSERVER_H
#define PLCSIM_FINSUDPSERVER_H

// The controller's FINS/UDP port: every datagram is one command, taken up
// on its own (there is no connection). Commands for another node and
// datagrams that are no command are dropped without a word, as an Ethernet
// unit does. Answers go to the sender's address and port, or to the
// sender's address at a fixed port when the unit is set up that way.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include "FinsExecutor.h"
#include "PlcSimulator.h"

class QUdpSocket;

namespace plcsim {

struct SimState;

class FinsUdpServer : public QObject
{
    Q_OBJECT
public:
    // `defaultNode` is this unit's node number unless one is set explicitly
    // on the simulator; 0 means it has none of its own.
    FinsUdpServer(SimState *state, int defaultNode, QObject *parent = nullptr);

    // Binds to `address`:`port` (0 takes a free port); the port, 0 on failure.
    quint16 start(const QHostAddress &address, quint16 port);

private:
    struct Destination
    {
        QHostAddress address;
        quint16 port = 0;
    };

    // What became of one command, decided under the state's mutex.
    struct Outcome
    {
        bool answer = false; // false: dropped, lost or no answer wanted
        Faults faults;
        FinsResult result;
        Destination to;
        QString note; // why there is no answer, for the trace
    };

    void readPending();
    void handle(const QByteArray &datagram, const Destination &sender);
    Outcome take(const QByteArray &datagram, const Destination &sender);
    void send(const QList<QByteArray> &datagrams, const Destination &to, bool fromOtherPort);
    QUdpSocket *otherPortSocket();
    int node() const; // caller holds the state's mutex
    void trace(const QString &text) const;
    bool tracing() const;

    SimState *m_state;
    int m_defaultNode;
    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_otherPort = nullptr; // for answerFromOtherPort, made when first needed
    QByteArray m_lastAnswer; // for staleFirst
};

} // namespace plcsim

#endif
