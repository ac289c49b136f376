#ifndef FINSTCPPEER_H
#define FINSTCPPEER_H

// What the FINS/TCP link keeps about its peer: the address and port, the
// node numbers the handshake gave, and how a wait on the socket ended.

#include <QHostAddress>

class FinsTcpPeer
{
protected:
    enum class Exchange { Done, BadAnswer, NoAnswer, NotConnected };

    FinsTcpPeer(int server, int client)
        : serverNode(server)
        , clientNode(client)
    {
    }
    ~FinsTcpPeer() = default;

    virtual bool isConnected() const = 0;

    QHostAddress hostAddress;
    int hostPort = 0;
    int serverNode; // DA1 of every command
    int clientNode; // SA1 of every command
};

#endif // FINSTCPPEER_H
