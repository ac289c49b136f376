#include "CmdFinsNetLink.h"

#include <QMessageLogger>
#include <QTcpSocket>

#include "FinsFrame.h"

namespace {

// %1 address, %2 port; the socket error follows.
const char kConnectFailed[] = "lib[FinsNet]%1:%2 连接失败=";

constexpr int kMaxBuffered = 64 * 1024;

} // namespace

CmdFinsNetLink::CmdFinsNetLink()
    : FinsTcpPeer(100, 0)
{
}

CmdFinsNetLink::~CmdFinsNetLink()
{
    DestroyFree();
}

void CmdFinsNetLink::ensureSocket()
{
    if (tcpSocket)
        return;
    tcpSocket = new QTcpSocket(this);
    connect(tcpSocket, &QTcpSocket::connected, this, &CmdFinsNetLink::myconnected);
    connect(tcpSocket, &QTcpSocket::disconnected, this, &CmdFinsNetLink::mydisconnected);
    connect(tcpSocket, &QTcpSocket::readyRead, this, &CmdFinsNetLink::myreadyRead);
}

bool CmdFinsNetLink::openConnection()
{
    tcpSocket->abort();
    recvBuffer.clear();
    tcpSocket->connectToHost(hostAddress, quint16(hostPort), QIODevice::ReadWrite);
    tcpSocket->waitForConnected(ConnectTimeoutMs);
    const auto state = tcpSocket->state();
    if (state == QAbstractSocket::ConnectingState || state == QAbstractSocket::ConnectedState)
        return true;
    QMessageLogger().warning().noquote() << QString::fromUtf8(kConnectFailed).arg(hostAddress.toString()).arg(hostPort)
                                         << tcpSocket->error();
    return false;
}

int CmdFinsNetLink::Connection_status() const
{
    return isConnected() ? 0 : -3;
}

bool CmdFinsNetLink::isConnected() const
{
    return tcpSocket && tcpSocket->state() == QAbstractSocket::ConnectedState;
}

int CmdFinsNetLink::DisConnectDrive()
{
    if (!tcpSocket)
        return 1;
    tcpSocket->close();
    tcpSocket->disconnectFromHost();
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState
        && !tcpSocket->waitForDisconnected(DisconnectTimeoutMs))
        tcpSocket->abort();
    recvBuffer.clear();
    return 0;
}

int CmdFinsNetLink::deletetcpSocket()
{
    if (tcpSocket) {
        disconnect(tcpSocket, nullptr, this, nullptr);
        delete tcpSocket;
        tcpSocket = nullptr;
    }
    return 0;
}

int CmdFinsNetLink::DestroyFree()
{
    if (!tcpSocket)
        return 1;
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
        DisConnectDrive();
    deletetcpSocket();
    return 0;
}

void CmdFinsNetLink::myconnected()
{
}

void CmdFinsNetLink::mydisconnected()
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[FinsNet]%1 Disconnected=").arg(peer())
        << (tcpSocket ? tcpSocket->error() : QAbstractSocket::UnknownSocketError);
}

void CmdFinsNetLink::myreadyRead()
{
    if (!tcpSocket)
        return;
    // Exactly what is buffered: asking the socket for more than that makes
    // it re-arm its read notifier on every call.
    const qint64 available = tcpSocket->bytesAvailable();
    if (available > 0)
        recvBuffer.append(tcpSocket->read(available));
    // Nobody asked for this much: it is stale, and keeping it would only grow.
    if (recvBuffer.size() > kMaxBuffered)
        recvBuffer.clear();
}

// ---- exchanges ----------------------------------------------------------

bool CmdFinsNetLink::socketGone() const
{
    if (!tcpSocket)
        return true;
    const auto state = tcpSocket->state();
    return state != QAbstractSocket::ConnectedState && state != QAbstractSocket::ConnectingState
        && state != QAbstractSocket::HostLookupState;
}

void CmdFinsNetLink::dropStale()
{
    recvBuffer.clear();
    if (tcpSocket && tcpSocket->bytesAvailable() > 0)
        tcpSocket->read(tcpSocket->bytesAvailable());
}

CmdFinsNetLink::Exchange CmdFinsNetLink::sendFrame(const QByteArray &frame)
{
    if (socketGone())
        return Exchange::NotConnected;
    dropStale();
    if (tcpSocket->write(frame) != frame.size())
        return Exchange::BadAnswer;
    tcpSocket->flush();
    return Exchange::Done;
}

// Waits for the next complete frame, which `*frame` then holds. BadAnswer:
// garbage was dropped (`*frame` holds it); NoAnswer: the deadline passed
// (`*frame` holds what came of an incomplete frame); NotConnected: the
// connection is gone. Connection confirmations (command 6) are skipped.
CmdFinsNetLink::Exchange CmdFinsNetLink::nextFrame(const QDeadlineTimer &deadline, QByteArray *frame)
{
    for (;;) {
        int size = 0;
        switch (FinsFrame::findFrame(recvBuffer, &size)) {
        case FinsFrame::Scan::Complete:
            *frame = recvBuffer.left(size);
            recvBuffer.remove(0, size);
            if (FinsFrame::tcpCommand(*frame) == FinsFrame::ConnectionConfirm)
                continue;
            return Exchange::Done;
        case FinsFrame::Scan::Garbage:
            *frame = recvBuffer;
            dropStale();
            return Exchange::BadAnswer;
        case FinsFrame::Scan::Incomplete:
            break;
        }
        *frame = recvBuffer;
        if (socketGone())
            return Exchange::NotConnected;
        if (deadline.hasExpired())
            return Exchange::NoAnswer;
        tcpSocket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        if (tcpSocket)
            myreadyRead();
    }
}

// Sends a command frame and waits for its own answer: frames with another SID
// or command code are stale or foreign and are dropped while waiting goes on.
// Done with the answer; BadAnswer: garbage, an error notice, a malformed or
// partial answer (`*answer` holds it); NoAnswer: nothing came in time.
CmdFinsNetLink::Exchange CmdFinsNetLink::transact(const QByteArray &request, QByteArray *answer)
{
    const Exchange sent = sendFrame(request);
    if (sent != Exchange::Done)
        return sent;
    const QDeadlineTimer deadline(ExchangeTimeoutMs);
    for (;;) {
        QByteArray frame;
        const Exchange result = nextFrame(deadline, &frame);
        if (result != Exchange::Done) {
            *answer = frame;
            return (result == Exchange::NoAnswer && !frame.isEmpty()) ? Exchange::BadAnswer : result;
        }
        const quint32 command = FinsFrame::tcpCommand(frame);
        if (command == FinsFrame::ErrorNotice) {
            *answer = frame;
            return Exchange::BadAnswer;
        }
        if (command != FinsFrame::FinsPayload)
            continue;
        const FinsFrame::Match match = FinsFrame::matchAnswer(request, frame);
        if (match != FinsFrame::Match::Foreign) {
            *answer = frame;
            return match == FinsFrame::Match::Ours ? Exchange::Done : Exchange::BadAnswer;
        }
        ++dropped;
    }
}

// ---- log lines ------------------------------------------------------------

QString CmdFinsNetLink::peer() const
{
    return QStringLiteral("%1:%2").arg(hostAddress.toString()).arg(hostPort);
}

QString CmdFinsNetLink::socketErrorText() const
{
    const auto error = tcpSocket ? tcpSocket->error() : QAbstractSocket::UnknownSocketError;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connection refused: nothing listens on port %1").arg(hostPort);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("no TCP connection within %1 ms").arg(ConnectTimeoutMs);
    default:
        return tcpSocket ? tcpSocket->errorString() : QStringLiteral("no socket");
    }
}
