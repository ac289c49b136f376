#include "CmdHLinkMedium.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

#include "LinkWatch.h"

namespace {

constexpr int kConnectWaitMs = 30000;
// A connect attempt that got no answer is begun afresh after this long: the
// system's own resends of its first packet back off to many seconds.
constexpr int kConnectAttemptMs = 1000;
// Longest exchange: the first-byte wait plus a 4-word answer's rest.
constexpr int kDeadlineMs = 2050;

} // namespace

int CmdHLinkMedium::EthConnectDrive(QString ip, int port)
{
    if (!tcpSocket) {
        tcpSocket = new QTcpSocket(this);
        connect(tcpSocket, &QTcpSocket::connected, this, &CmdHLinkMedium::Ethconnected);
        connect(tcpSocket, &QTcpSocket::disconnected, this, &CmdHLinkMedium::Ethdisconnected);
        connect(tcpSocket, &QTcpSocket::readyRead, this, &CmdHLinkMedium::EthreadyRead);
    }
    QHostAddress address;
    if (!address.setAddress(ip))
        return -1;
    hostAddress = address;
    hostPort = port;
    if (!openTcp(kConnectWaitMs))
        return -3;
    if (medium == SerialMedium)
        serialDisConnectDrive();
    medium = TcpMedium;
    sid = 0;
    return 0;
}

// A new connection replaces the old one; it never stays on the old host. A
// refused connection fails at once; one that gets no answer is tried again
// every second until `timeoutMs` has passed.
bool CmdHLinkMedium::openTcp(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    bool connected = false, unanswered = true;
    while (!connected && unanswered && !deadline.hasExpired()) {
        abortTcp();
        dropped = 0;
        tcpSocket->connectToHost(hostAddress, static_cast<quint16>(hostPort), QIODevice::ReadWrite);
        connected = tcpSocket->waitForConnected(int(qBound<qint64>(1, deadline.remainingTime(), kConnectAttemptMs)));
        unanswered = tcpSocket->state() == QAbstractSocket::ConnectingState
            || tcpSocket->error() == QAbstractSocket::SocketTimeoutError;
    }
    if (!connected)
        abortTcp();
    return connected;
}

void CmdHLinkMedium::abortTcp()
{
    closing = true;
    tcpSocket->abort();
    closing = false;
    recvBuffer.clear();
}

bool CmdHLinkMedium::linkReadyWithin(int timeoutMs)
{
    if (linkUp() || !reconnectOn || medium != TcpMedium || !tcpSocket)
        return linkUp();
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 link lost: connecting again (reconnect=on)").arg(peerText()));
    const bool up = openTcp(timeoutMs);
    sid = up ? 0 : sid;
    return up;
}

int CmdHLinkMedium::EthDisConnectDrive()
{
    if (!tcpSocket)
        return 1;
    reconnectOn = false; // a link the host closed is not lost
    closing = true;
    tcpSocket->disconnectFromHost();
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState && !tcpSocket->waitForDisconnected(kConnectWaitMs))
        tcpSocket->abort();
    closing = false;
    recvBuffer.clear();
    return 0;
}

bool CmdHLinkMedium::unacknowledged() const
{
    return medium == TcpMedium && tcpSocket && LinkWatch::unacknowledged(tcpSocket->socketDescriptor());
}

void CmdHLinkMedium::Ethconnected()
{
    if (!LinkWatch::arm(tcpSocket->socketDescriptor(), LinkWatch::deadTimeMs(kDeadlineMs)))
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1:%2 dead-link detection not available")
                                  .arg(hostAddress.toString()).arg(hostPort));
}

void CmdHLinkMedium::Ethdisconnected()
{
    if (!closing && tcpSocket && tcpSocket->error() != QAbstractSocket::RemoteHostClosedError)
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1:%2 link found dead (no acknowledgement or keep-alive "
                                             "answer within %3 ms)")
                                  .arg(hostAddress.toString()).arg(hostPort).arg(LinkWatch::deadTimeMs(kDeadlineMs)));
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1:%2 Disconnected=%3")
                              .arg(hostAddress.toString())
                              .arg(hostPort)
                              .arg(tcpSocket ? int(tcpSocket->error()) : -1));
}
