#include "CmdFinsUdp.h"

#include <QMessageLogger>
#include <QUdpSocket>

#include <cerrno>
#include <sys/socket.h>

#include "FinsAnswer.h"

namespace {

// More datagrams than any exchange can owe us: the rest is a flood.
constexpr int kMaxDropped = 1024;

int lastOctet(const QHostAddress &address)
{
    bool ok = false;
    const quint32 ipv4 = address.toIPv4Address(&ok);
    return ok ? int(ipv4 & 0xFF) : 0;
}

bool isNodeNumber(int node)
{
    return node >= 1 && node <= 254;
}

QAbstractSocket::SocketError socketErrorOf(int error)
{
    return error == ECONNREFUSED ? QAbstractSocket::ConnectionRefusedError : QAbstractSocket::NetworkError;
}

} // namespace

CmdFinsUdp::CmdFinsUdp() = default;

CmdFinsUdp::~CmdFinsUdp()
{
    DestroyFree();
}

// ---- connection ------------------------------------------------------------

int CmdFinsUdp::open(const UdpConnectionText::Settings &settings)
{
    hostAddress.setAddress(settings.address);
    hostPort = settings.port;
    timeoutMs = settings.timeoutMs;
    retries = settings.retries;
    dropped = 0;
    if (!openSocket(settings.localPort))
        return -3;
    // Factory settings: a node number is the last octet of its address.
    serverNode = settings.plcNode != 0 ? settings.plcNode : lastOctet(hostAddress);
    clientNode = settings.localNode != 0 ? settings.localNode : lastOctet(udpSocket->localAddress());
    if (!isNodeNumber(serverNode) || !isNodeNumber(clientNode)) {
        QMessageLogger().warning().noquote()
            << QStringLiteral("lib[FinsUdp]%1:%2 无法确定节点号 plc=%3 node=%4 (1-254)")
                   .arg(hostAddress.toString())
                   .arg(hostPort)
                   .arg(serverNode)
                   .arg(clientNode);
        m_connect = Outcome::make(Outcome::Kind::Refused, QStringLiteral("nodes"),
                                  QStringLiteral("no node number for plc= %1 / node= %2: give both, 1-254")
                                      .arg(serverNode)
                                      .arg(clientNode));
        m_connect.refusedCode = 1;
        udpSocket->abort();
        return -1;
    }
    m_connect = Outcome::done();
    return 0;
}

bool CmdFinsUdp::openSocket(quint16 port)
{
    if (!udpSocket)
        udpSocket = new QUdpSocket(this);
    udpSocket->abort();
    // A fixed port is ours alone: sharing it would split the answers.
    if (!udpSocket->bind(QHostAddress(QHostAddress::AnyIPv4), port, QAbstractSocket::DontShareAddress)) {
        QMessageLogger().warning().noquote()
            << QStringLiteral("lib[FinsUdp]%1:%2 本地端口 %3 不可用").arg(hostAddress.toString()).arg(hostPort).arg(port)
            << udpSocket->error();
        m_connect = Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("local port"),
                                  QStringLiteral("the local UDP port %1 is taken").arg(port));
        udpSocket->abort();
        return false;
    }
    udpSocket->connectToHost(hostAddress, quint16(hostPort), QIODevice::ReadWrite);
    if (udpSocket->state() != QAbstractSocket::ConnectedState) {
        m_connect = failed(udpSocket->error());
        udpSocket->abort();
        return false;
    }
    return true;
}

bool CmdFinsUdp::isOpen() const
{
    return udpSocket && udpSocket->state() == QAbstractSocket::ConnectedState;
}

quint16 CmdFinsUdp::localPort() const
{
    return udpSocket ? udpSocket->localPort() : 0;
}

int CmdFinsUdp::DisConnectDrive()
{
    if (!udpSocket)
        return 1;
    udpSocket->abort();
    return 0;
}

int CmdFinsUdp::DestroyFree()
{
    if (!udpSocket)
        return 1;
    udpSocket->abort();
    delete udpSocket;
    udpSocket = nullptr;
    return 0;
}

// ---- datagrams ---------------------------------------------------------------

// Size of the next datagram, or -errno (-EAGAIN: none). Peeking ourselves
// keeps the socket's pending error: Qt's own check would swallow it.
qint64 CmdFinsUdp::peekDatagram() const
{
    char byte;
    for (;;) {
        const ssize_t size =
            ::recv(int(udpSocket->socketDescriptor()), &byte, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (size >= 0)
            return size;
        if (errno != EINTR)
            return errno == EWOULDBLOCK ? -EAGAIN : -errno;
    }
}

// Waits for the next datagram. Datagram: `*datagram` holds it (empty when it
// could not be read or came from elsewhere); Failed: the socket reports an
// error (`*error`) or is gone.
CmdFinsUdp::Wait CmdFinsUdp::receive(const QDeadlineTimer &deadline, QByteArray *datagram,
                                     QAbstractSocket::SocketError *error)
{
    for (;;) {
        if (!isOpen()) {
            *error = udpSocket ? udpSocket->error() : QAbstractSocket::UnknownSocketError;
            return Wait::Failed;
        }
        // The peek that finds an error consumes it: it is reported here.
        const qint64 size = peekDatagram();
        if (size >= 0) {
            readDatagram(size, datagram);
            return Wait::Datagram;
        }
        if (size != -EAGAIN) {
            *error = socketErrorOf(int(-size));
            return Wait::Failed;
        }
        if (deadline.hasExpired())
            return Wait::Timeout;
        udpSocket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

void CmdFinsUdp::readDatagram(qint64 size, QByteArray *datagram)
{
    datagram->resize(int(qMax<qint64>(size, 1)));
    QHostAddress sender;
    quint16 senderPort = 0;
    const qint64 got = udpSocket->readDatagram(datagram->data(), datagram->size(), &sender, &senderPort);
    datagram->resize(int(qMax<qint64>(got, 0)));
    // The connected socket filters already; a stray one is no answer.
    if (sender != hostAddress || senderPort != hostPort)
        datagram->clear();
}

// What came before our request is stale (late answers, duplicates, an old
// ICMP error): none of it may be taken for the answer.
void CmdFinsUdp::dropPending()
{
    QByteArray datagram;
    QAbstractSocket::SocketError error;
    for (int i = 0; i < kMaxDropped; ++i) {
        if (receive(QDeadlineTimer(0), &datagram, &error) != Wait::Datagram || !isOpen())
            return;
        ++dropped;
    }
}

Outcome CmdFinsUdp::failed(QAbstractSocket::SocketError error)
{
    warnUnreachable(error);
    return Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("answer"),
                         error == QAbstractSocket::ConnectionRefusedError
                             ? QStringLiteral("port unreachable: nothing listens for FINS/UDP on port %1").arg(hostPort)
                             : QStringLiteral("the address is unreachable (%1)").arg(int(error)));
}

// Sends `command` and waits for its answer, resending on silence.
Outcome CmdFinsUdp::exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer)
{
    Outcome outcome = Outcome::make(Outcome::Kind::NoAnswer, QStringLiteral("answer"),
                                    QStringLiteral("no answer after %1 attempt(s) of %2 ms").arg(retries + 1).arg(timeoutMs));
    outcome.request = command;
    if (!isOpen())
        return Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("send"), QStringLiteral("not connected"));
    dropPending();
    int wrongNodes = 0;
    for (int attempt = 0; attempt <= retries; ++attempt) {
        if (attempt > 0 && context.log)
            context.log->warn(FinsLog::Line::Resend, context.tag, context.count, command);
        if (udpSocket->write(command) != command.size())
            return failed(udpSocket->error());
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            QByteArray datagram;
            QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
            const Wait result = receive(deadline, &datagram, &error);
            if (result == Wait::Timeout)
                break;
            if (result == Wait::Failed)
                return failed(error);
            const FinsAnswer::Match match = FinsAnswer::match(command, datagram);
            if (match == FinsAnswer::Match::Ours) {
                *answer = datagram;
                outcome = Outcome::done();
                outcome.request = command;
                outcome.answer = datagram;
                return outcome;
            }
            ++dropped;
            if (match == FinsAnswer::Match::WrongNodes) {
                ++wrongNodes;
                warnMisrouted(context, datagram);
            }
            // A stream of foreign datagrams must not hold the deadline off.
            if (deadline.hasExpired())
                break;
        }
    }
    if (wrongNodes > 0)
        outcome.reason = QStringLiteral("%1 answer(s) came addressed to other node numbers than plc=%2 node=%3")
                             .arg(wrongNodes)
                             .arg(serverNode)
                             .arg(clientNode);
    return outcome;
}

// A flood of misrouted datagrams must not become a flood of lines.
void CmdFinsUdp::warnMisrouted(const FinsExchangeContext &context, const QByteArray &datagram)
{
    QString suffix;
    if (context.log && misroutedBudget.take(&suffix))
        QMessageLogger().warning().noquote()
            << context.log->text(FinsLog::Line::BadNodes, context.tag, context.count, datagram) + suffix;
}

void CmdFinsUdp::warnUnreachable(QAbstractSocket::SocketError error) const
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[FinsUdp]%1:%2 Disconnected=").arg(hostAddress.toString()).arg(hostPort)
        << error;
}
