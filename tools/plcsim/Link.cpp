#include "Link.h"
#include "SimState.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>

#include <cerrno>
#include <sys/socket.h>

namespace plcsim {

qint64 nowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

TcpLink::TcpLink(QTcpSocket *socket, QObject *parent) : Link(parent), m_socket(socket)
{
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpLink::readAll);
    connect(m_socket, &QTcpSocket::disconnected, this, &Link::closed);
}

void TcpLink::readAll()
{
    const QByteArray bytes = m_socket->readAll();
    if (!bytes.isEmpty() && !m_closing)
        emit received(bytes);
}

void TcpLink::write(const QByteArray &bytes, qint64 notBeforeNs, Done done)
{
    const qint64 waitNs = notBeforeNs - nowNs();
    if (waitNs <= 0) {
        if (!m_closing)
            m_socket->write(bytes);
        if (done)
            done();
        return;
    }
    const int ms = static_cast<int>((waitNs + 999999) / 1000000);
    QTimer::singleShot(ms, Qt::PreciseTimer, this, [this, bytes, notBeforeNs, done] {
        write(bytes, notBeforeNs, done);
    });
}

void TcpLink::close()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        emit closed();
        return;
    }
    m_socket->disconnectFromHost(); // emits disconnected once the bytes are out
}

QString TcpLink::peerName() const
{
    return QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());
}

bool TcpLink::peerGone() const
{
    if (m_closing || m_socket->state() != QAbstractSocket::ConnectedState)
        return true;
    char c;
    const ssize_t n = ::recv(static_cast<int>(m_socket->socketDescriptor()), &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0)
        return true;
    return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
}

} // namespace plcsim
