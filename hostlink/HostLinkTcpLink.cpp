#include "HostLinkTcpLink.h"

#include <QTcpSocket>

HostLinkTcpLink::HostLinkTcpLink(const HostLinkConnectionText::Tcp &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_address(settings.address)
{
}

HostLinkTcpLink::~HostLinkTcpLink()
{
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
    }
}

int HostLinkTcpLink::open()
{
    if (!m_socket) {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::readyRead, this, &HostLinkTcpLink::onReadyRead);
        connect(m_socket, &QTcpSocket::disconnected, this, &HostLinkTcpLink::onDisconnected);
    }
    // A new connection replaces the old one; it never stays on the old host.
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    discardInput();
    m_socket->connectToHost(m_address, m_settings.port, QIODevice::ReadWrite);
    if (m_socket->waitForConnected(ConnectTimeoutMs))
        return 0;
    setError(QStringLiteral("no TCP connection to %1: %2").arg(peerText(), m_socket->errorString()));
    m_socket->abort();
    return -3;
}

int HostLinkTcpLink::close()
{
    if (!m_socket)
        return 1;
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState && !m_socket->waitForDisconnected(ConnectTimeoutMs))
        m_socket->abort();
    discardInput();
    return 0;
}

bool HostLinkTcpLink::isOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool HostLinkTcpLink::send(const QByteArray &bytes)
{
    if (!m_socket)
        return false;
    m_socket->write(bytes);
    m_socket->flush();
    return true;
}

QString HostLinkTcpLink::peerText() const
{
    return QStringLiteral("%1:%2").arg(m_address.toString()).arg(m_settings.port);
}

void HostLinkTcpLink::onReadyRead()
{
    takeIn(readAvailable());
}

void HostLinkTcpLink::onDisconnected()
{
    qWarning("%s", qUtf8Printable(QStringLiteral("lib[HLink]%1 Disconnected=%2")
                                      .arg(peerText())
                                      .arg(m_socket ? int(m_socket->error()) : -1)));
}

QByteArray HostLinkTcpLink::readAvailable()
{
    // Exactly what the socket holds: asking for more makes it re-arm its
    // read notifier on every call.
    const qint64 available = m_socket && m_socket->isOpen() ? m_socket->bytesAvailable() : 0;
    return available > 0 ? m_socket->read(available) : QByteArray();
}

bool HostLinkTcpLink::waitForBytes(const QDeadlineTimer &deadline)
{
    if (!isOpen())
        return false;
    m_socket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    return isOpen();
}
