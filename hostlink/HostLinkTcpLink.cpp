#include "HostLinkTcpLink.h"

#include <QTcpSocket>

#include "LinkWatch.h"
#include "SocketIo.h"

namespace {

constexpr int kConnectAttemptMs = 1000;

} // namespace

HostLinkTcpLink::HostLinkTcpLink(QObject *parent)
    : QObject(parent)
{
}

HostLinkTcpLink::~HostLinkTcpLink()
{
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
    }
}

void HostLinkTcpLink::setSettings(const HostLinkConnectionText::Tcp &settings)
{
    m_settings = settings;
    m_address.setAddress(settings.address);
}

void HostLinkTcpLink::warn(const QString &text) const
{
    qWarning("%s", qUtf8Printable(logPrefix() + text));
}

int HostLinkTcpLink::open()
{
    if (!m_socket) {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, &HostLinkTcpLink::onConnected);
        connect(m_socket, &QTcpSocket::disconnected, this, &HostLinkTcpLink::onDisconnected);
        connect(m_socket, &QTcpSocket::readyRead, this, &HostLinkTcpLink::onReadyRead);
    }
    if (connectWithin(ConnectTimeoutMs))
        return 0;
    setError(QStringLiteral("no TCP connection to %1: %2")
                 .arg(peerText(), m_socket->error() == QAbstractSocket::ConnectionRefusedError
                                      ? QStringLiteral("refused: the address answers, but nothing listens on port %1")
                                            .arg(m_settings.port)
                                      : m_socket->errorString()));
    return -3;
}

// A new connection replaces the old one; it never stays on the old host.
bool HostLinkTcpLink::connectWithin(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        abort();
        m_socket->connectToHost(m_address, m_settings.port, QIODevice::ReadWrite);
        const int attempt = int(qMin<qint64>(kConnectAttemptMs, deadline.remainingTime()));
        if (m_socket->waitForConnected(qMax(1, attempt)))
            return true;
        const bool unanswered = m_socket->state() == QAbstractSocket::ConnectingState
            || m_socket->error() == QAbstractSocket::SocketTimeoutError;
        if (!unanswered || deadline.hasExpired())
            break;
    }
    abort();
    return false;
}

bool HostLinkTcpLink::reopen(int timeoutMs)
{
    if (isOpen() || !m_settings.reconnect || !m_socket || !m_pacer.mayTry())
        return isOpen();
    warn(QStringLiteral("%1 link lost: connecting again (reconnect=on)").arg(peerText()));
    if (!connectWithin(timeoutMs))
        return false;
    m_pacer.reset();
    return true;
}

void HostLinkTcpLink::abort()
{
    if (!m_socket)
        return;
    m_closing = true;
    m_socket->abort();
    m_closing = false;
    discardInput();
}

int HostLinkTcpLink::close()
{
    if (!m_socket)
        return 1;
    m_settings.reconnect = false; // a link the host closed is not lost
    m_closing = true;
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState && !m_socket->waitForDisconnected(ConnectTimeoutMs))
        m_socket->abort();
    m_closing = false;
    discardInput();
    return 0;
}

bool HostLinkTcpLink::isOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool HostLinkTcpLink::send(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    return SocketIo::writeAll(m_socket, m_socket->socketDescriptor(), bytes, ExchangeDeadlineMs);
}

bool HostLinkTcpLink::unacknowledged() const
{
    return m_socket && LinkWatch::unacknowledged(m_socket->socketDescriptor());
}

QString HostLinkTcpLink::peerText() const
{
    return QStringLiteral("%1:%2").arg(m_address.toString()).arg(m_settings.port);
}

void HostLinkTcpLink::onConnected()
{
    if (!LinkWatch::arm(m_socket->socketDescriptor(), LinkWatch::deadTimeMs(ExchangeDeadlineMs)))
        warn(QStringLiteral("%1 dead-link detection not available").arg(peerText()));
}

void HostLinkTcpLink::onReadyRead()
{
    takeIn(readAvailable());
}

void HostLinkTcpLink::onDisconnected()
{
    if (!m_closing && m_socket && m_socket->error() != QAbstractSocket::RemoteHostClosedError)
        warn(QStringLiteral("%1 link found dead (no acknowledgement or keep-alive answer within %2 ms)")
                 .arg(peerText())
                 .arg(LinkWatch::deadTimeMs(ExchangeDeadlineMs)));
    warn(QStringLiteral("%1 Disconnected=%2").arg(peerText()).arg(m_socket ? int(m_socket->error()) : -1));
}

// What came, in one read on the descriptor (see SocketIo).
QByteArray HostLinkTcpLink::readAvailable()
{
    QByteArray bytes;
    if (isOpen())
        SocketIo::readAvailable(m_socket, m_socket->socketDescriptor(), &bytes);
    return bytes;
}

bool HostLinkTcpLink::waitForBytes(const QDeadlineTimer &deadline)
{
    if (!isOpen())
        return false;
    if (m_socket->QIODevice::bytesAvailable() == 0)
        SocketIo::waitReadable(m_socket->socketDescriptor(), deadline);
    return true;
}
