#include "CmdFinsNetLink.h"

#include <QMessageLogger>
#include <QTcpSocket>

#include "FinsFrame.h"
#include "LinkWatch.h"
#include "SocketIo.h"

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

bool CmdFinsNetLink::openConnection(int timeoutMs)
{
    dropConnection();
    dropped = 0;
    tcpSocket->connectToHost(hostAddress, quint16(hostPort), QIODevice::ReadWrite);
    tcpSocket->waitForConnected(qMax(1, timeoutMs));
    const auto state = tcpSocket->state();
    if (state == QAbstractSocket::ConnectingState || state == QAbstractSocket::ConnectedState)
        return true;
    QMessageLogger().warning().noquote() << QString::fromUtf8(kConnectFailed).arg(hostAddress.toString()).arg(hostPort)
                                         << tcpSocket->error();
    return false;
}

void CmdFinsNetLink::dropConnection()
{
    closing = true;
    tcpSocket->abort();
    closing = false;
    recvBuffer.clear();
    unanswered.clear();
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
    reconnectOn = false; // a link the host closed is not lost
    closing = true;
    tcpSocket->close();
    tcpSocket->disconnectFromHost();
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState
        && !tcpSocket->waitForDisconnected(DisconnectTimeoutMs))
        tcpSocket->abort();
    closing = false;
    recvBuffer.clear();
    unanswered.clear();
    return 0;
}

int CmdFinsNetLink::deletetcpSocket()
{
    if (tcpSocket) {
        disconnect(tcpSocket, nullptr, this, nullptr);
        delete tcpSocket;
        tcpSocket = nullptr;
    }
    unanswered.clear();
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
    if (!LinkWatch::arm(tcpSocket->socketDescriptor(), LinkWatch::deadTimeMs(ExchangeTimeoutMs)))
        QMessageLogger().warning().noquote() << QStringLiteral("lib[FinsNet]%1 dead-link detection not available")
                                                    .arg(peer());
}

void CmdFinsNetLink::mydisconnected()
{
    if (!closing && tcpSocket && tcpSocket->error() != QAbstractSocket::RemoteHostClosedError)
        warnDeadLink();
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
    QByteArray stale;
    if (tcpSocket)
        SocketIo::readAvailable(tcpSocket, tcpSocket->socketDescriptor(), &stale);
}

// Waits for more of the answer and takes what came in one read, on the
// descriptor (see SocketIo); bytes Qt already holds are taken at once.
void CmdFinsNetLink::receiveMore(const QDeadlineTimer &deadline)
{
    const qintptr descriptor = tcpSocket->socketDescriptor();
    if (tcpSocket->QIODevice::bytesAvailable() == 0)
        SocketIo::waitReadable(descriptor, deadline);
    SocketIo::readAvailable(tcpSocket, descriptor, &recvBuffer);
    // Nobody asked for this much: it is stale, and keeping it would only grow.
    if (recvBuffer.size() > kMaxBuffered)
        recvBuffer.clear();
}

CmdFinsNetLink::Exchange CmdFinsNetLink::sendFrame(const QByteArray &frame)
{
    if (socketGone())
        return Exchange::NotConnected;
    dropStale();
    // Dropping what came may have found the connection closed.
    if (socketGone())
        return Exchange::NotConnected;
    if (!SocketIo::writeAll(tcpSocket, tcpSocket->socketDescriptor(), frame, ExchangeTimeoutMs))
        return Exchange::BadAnswer;
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
        receiveMore(deadline);
    }
}

namespace {

bool answers(const QByteArray &request, const QByteArray &frame)
{
    return FinsFrame::tcpCommand(frame) == FinsFrame::FinsPayload
        && FinsFrame::matchAnswer(request, frame) == FinsFrame::Match::Ours && FinsFrame::nodesMatch(request, frame);
}

} // namespace

// The gate before every command. A command the peer has not acknowledged
// yet is still in the system's send queue: sending another would queue it
// behind, and a lost network that comes back would deliver the queue as a
// burst. So while the command in flight is unanswered and unacknowledged,
// wait (within this call's deadline) for its answer and drop it; when the
// deadline passes nothing is sent. An acknowledged one holds nothing: the
// controller has it, and a late answer is dropped by its SID.
bool CmdFinsNetLink::awaitEarlierAnswer(const QDeadlineTimer &deadline, Exchange *why)
{
    constexpr int kAckPollMs = 20;
    while (!unanswered.isEmpty()) {
        if (!LinkWatch::unacknowledged(tcpSocket->socketDescriptor())) {
            unanswered.clear();
            break;
        }
        QByteArray frame;
        const QDeadlineTimer slice(qMin<qint64>(kAckPollMs, deadline.remainingTime()));
        const Exchange result = nextFrame(slice, &frame);
        if (result == Exchange::NotConnected || (result == Exchange::NoAnswer && deadline.hasExpired())) {
            *why = result;
            return false;
        }
        if (result == Exchange::Done && answers(unanswered, frame))
            unanswered.clear();
        if (result != Exchange::NoAnswer)
            ++dropped;
    }
    return true;
}

// Sends a command frame and waits for its own answer: frames with another
// SID, command code or node numbers are stale or foreign and are dropped
// while waiting goes on. Done with the answer; BadAnswer: garbage, an error
// notice, a malformed or partial answer (`*answer` holds it); NoAnswer:
// nothing came in time, or the earlier command still holds the link.
CmdFinsNetLink::Exchange CmdFinsNetLink::transact(const QByteArray &request, QByteArray *answer,
                                                  QByteArray *misrouted)
{
    const QDeadlineTimer deadline(ExchangeTimeoutMs);
    Exchange held = Exchange::Done;
    if (!awaitEarlierAnswer(deadline, &held))
        return held;
    const Exchange sent = sendFrame(request);
    if (sent != Exchange::Done)
        return sent;
    unanswered = request;
    for (;;) {
        QByteArray frame;
        const Exchange result = nextFrame(deadline, &frame);
        if (result != Exchange::Done) {
            *answer = frame;
            if (frame.isEmpty())
                return result;
            // Something came: the controller answered, if badly.
            unanswered.clear();
            return result == Exchange::NotConnected ? result : Exchange::BadAnswer;
        }
        const quint32 command = FinsFrame::tcpCommand(frame);
        if (command == FinsFrame::ErrorNotice) {
            *answer = frame;
            unanswered.clear();
            return Exchange::BadAnswer;
        }
        const FinsFrame::Match match = FinsFrame::matchAnswer(request, frame);
        if (command == FinsFrame::FinsPayload && match == FinsFrame::Match::Malformed) {
            *answer = frame;
            unanswered.clear();
            return Exchange::BadAnswer;
        }
        if (answers(request, frame)) {
            *answer = frame;
            unanswered.clear();
            return Exchange::Done;
        }
        if (command == FinsFrame::FinsPayload && match == FinsFrame::Match::Ours)
            *misrouted = frame;
        ++dropped;
    }
}

// ---- log lines ------------------------------------------------------------

void CmdFinsNetLink::warnDeadLink() const
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[FinsNet]%1 link found dead (no acknowledgement or keep-alive answer within %2 ms)")
               .arg(peer())
               .arg(LinkWatch::deadTimeMs(ExchangeTimeoutMs));
}

QString CmdFinsNetLink::peer() const
{
    return QStringLiteral("%1:%2").arg(hostAddress.toString()).arg(hostPort);
}

QString CmdFinsNetLink::socketErrorText() const
{
    const auto error = tcpSocket ? tcpSocket->error() : QAbstractSocket::UnknownSocketError;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("refused: the address answers, but nothing listens on port %1").arg(hostPort);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("no TCP connection within %1 ms").arg(ConnectTimeoutMs);
    default:
        return tcpSocket ? tcpSocket->errorString() : QStringLiteral("no socket");
    }
}
