#include "Hub.h"
#include "CipSession.h"
#include "FinsTcpSession.h"
#include "FinsUdpFrames.h"
#include "FinsUdpServer.h"
#include "HostLinkSession.h"
#include "Link.h"
#include "SerialLine.h"
#include "SimState.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace plcsim {

Hub::Hub(SimState *state) : m_state(state) {}

Hub::~Hub()
{
    stop();
}

quint16 Hub::startFins(quint16 port, const QString &bindAddress)
{
    return listen(Protocol::Fins, port, bindAddress);
}

quint16 Hub::startHostLinkTcp(quint16 port, const QString &bindAddress)
{
    return listen(Protocol::HostLink, port, bindAddress);
}

QString Hub::startHostLinkSerial(int baud)
{
    if (baud <= 0)
        return {};
    auto *line = new SerialLine(baud);
    if (!line->open()) {
        delete line;
        return {};
    }
    auto *session = new HostLinkSession(m_state, line, this);
    line->setParent(session);
    return line->path();
}

quint16 Hub::startFinsUdp(quint16 port, const QString &bindAddress)
{
    QHostAddress address;
    if (bindAddress.isEmpty() || bindAddress == QLatin1String("any"))
        address = QHostAddress::Any;
    else if (!address.setAddress(bindAddress))
        return 0;
    auto *server = new FinsUdpServer(m_state, finsudp::nodeOfAddress(bindAddress), this);
    const quint16 bound = server->start(address, port);
    if (bound == 0)
        delete server;
    return bound;
}

quint16 Hub::startCip(quint16 port, const QString &bindAddress)
{
    return listen(Protocol::Cip, port, bindAddress);
}

quint16 Hub::listen(Protocol protocol, quint16 port, const QString &bindAddress)
{
    QHostAddress address;
    if (bindAddress.isEmpty() || bindAddress == QLatin1String("any"))
        address = QHostAddress::Any;
    else if (!address.setAddress(bindAddress))
        return 0;
    auto *server = new QTcpServer(this);
    if (!server->listen(address, port)) {
        delete server;
        return 0;
    }
    connect(server, &QTcpServer::newConnection, this, [this, server, protocol] { accept(server, protocol); });
    return server->serverPort();
}

void Hub::accept(QTcpServer *server, Protocol protocol)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        {
            QMutexLocker lock(&m_state->mutex);
            ++m_state->stats.connections;
        }
        auto *link = new TcpLink(socket);
        Session *session;
        if (protocol == Protocol::Fins)
            session = new FinsTcpSession(m_state, link, this);
        else if (protocol == Protocol::Cip)
            session = new CipSession(m_state, link, this);
        else
            session = new HostLinkSession(m_state, link, this);
        link->setParent(session);
        connect(link, &Link::closed, session, &QObject::deleteLater);
    }
}

void Hub::stop()
{
    // Sessions first: they hand their FINS nodes back on destruction.
    const auto sessions = findChildren<Session *>(QString(), Qt::FindDirectChildrenOnly);
    qDeleteAll(sessions);
    const auto servers = findChildren<QTcpServer *>(QString(), Qt::FindDirectChildrenOnly);
    qDeleteAll(servers);
    const auto rest = children();
    qDeleteAll(rest);
}

void Hub::dropConnections()
{
    const auto links = findChildren<TcpLink *>();
    for (TcpLink *link : links)
        link->close();
}

} // namespace plcsim
