#include "CmdFinsUdp.h"

#include <QMessageLogger>
#include <QUdpSocket>

#include <cerrno>
#include <sys/socket.h>

#include "FinsCommand.h"

namespace {

// Traces and warnings; %1 address, %2 port, %3 tag, %4 count, %5 bytes.
const char kReadCommand[] = "lib[FinsUdp]读命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kResponse[] = "lib[FinsUdp]响应 %1:%2 Area=%3  len = %4 msg : %5";
const char kWriteCommand[] = "lib[FinsUdp]写命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kEmptyAnswer[] = "lib[FinsUdp]返回的报文长度为0 %1:%2 Area=%3  len = %4 msg : %5";
const char kBadLength[] = "lib[FinsUdp]报文返回长度错误 %1:%2 Area=%3  len = %4 msg : %5";
const char kBadNodes[] = "lib[FinsUdp]目标地址，源地址错误 %1:%2 Area=%3  len = %4 msg : %5";
const char kResend[] = "lib[FinsUdp]无响应，重发 %1:%2 Area=%3  len = %4 msg : %5";
// The end code replaces %6 before the other fields are filled in.
const char kBadEndCode[] = "lib[FinsUdp]报文结束码错误 %1:%2 Area=%3  len = %4 code = %6 msg : %5";

// The harmless command ConnectDrive probes with: one word of D0.
const char kProbeTag[] = "D0";
constexpr int kProbeArea = 0x82;

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

CmdFinsUdp::CmdFinsUdp()
    : FinsAreaTransfer(0, 0)
{
}

CmdFinsUdp::~CmdFinsUdp()
{
    DestroyFree();
}

// ---- connection ------------------------------------------------------------

int CmdFinsUdp::ConnectDrive(const QString &connection)
{
    UdpConnectionText::Settings settings;
    QString error;
    if (!UdpConnectionText::parse(connection, &settings, &error)) {
        QMessageLogger().warning().noquote() << QStringLiteral("lib[FinsUdp]连接参数错误 %1").arg(error);
        return -1;
    }
    return ConnectDrive(settings);
}

int CmdFinsUdp::ConnectDrive(const UdpConnectionText::Settings &settings)
{
    hostAddress.setAddress(settings.address);
    hostPort = settings.port;
    timeoutMs = settings.timeoutMs;
    retries = settings.retries;
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
        udpSocket->abort();
        return -1;
    }
    const Exchange probed = probe();
    if (probed == Exchange::Done)
        return 0;
    if (probed == Exchange::NoAnswer) {
        // Wrong node numbers look exactly like this: the controller drops a
        // command for another node, or answers one it cannot route silently.
        QMessageLogger().warning().noquote()
            << QStringLiteral("lib[FinsUdp]%1:%2 无应答，请检查节点号 plc=%3 node=%4 local=%5")
                   .arg(hostAddress.toString())
                   .arg(hostPort)
                   .arg(serverNode)
                   .arg(clientNode)
                   .arg(localPort());
    }
    udpSocket->abort();
    return resultCode(probed);
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
        udpSocket->abort();
        return false;
    }
    udpSocket->connectToHost(hostAddress, quint16(hostPort), QIODevice::ReadWrite);
    if (udpSocket->state() != QAbstractSocket::ConnectedState) {
        warnUnreachable(udpSocket->error());
        udpSocket->abort();
        return false;
    }
    return true;
}

CmdFinsUdp::Exchange CmdFinsUdp::probe()
{
    const QByteArray frame = FinsCommand::readCommand(serverNode, clientNode, nextSid(), kProbeArea, 0, 1);
    const QString tag = QString::fromLatin1(kProbeTag);
    trace(kReadCommand, tag, 2, frame);
    QByteArray answer;
    const Exchange result = exchange(frame, &answer, tag, 2);
    trace(kResponse, tag, 2, answer);
    // Any end code will do: a FINS node has answered.
    return result;
}

int CmdFinsUdp::Connection_status() const
{
    return isConnected() ? 0 : -3;
}

bool CmdFinsUdp::isConnected() const
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

// Waits for the next datagram. Done: `*datagram` holds it (empty when it
// could not be read or came from elsewhere); NoAnswer: the deadline passed;
// NotConnected: the socket reports an error (`*error`) or is gone.
CmdFinsUdp::Exchange CmdFinsUdp::receive(const QDeadlineTimer &deadline, QByteArray *datagram,
                                         QAbstractSocket::SocketError *error)
{
    for (;;) {
        if (!isConnected()) {
            *error = udpSocket ? udpSocket->error() : QAbstractSocket::UnknownSocketError;
            return Exchange::NotConnected;
        }
        // The peek that finds an error consumes it: it is reported here.
        const qint64 size = peekDatagram();
        if (size >= 0) {
            readDatagram(size, datagram);
            return Exchange::Done;
        }
        if (size != -EAGAIN) {
            *error = socketErrorOf(int(-size));
            return Exchange::NotConnected;
        }
        if (deadline.hasExpired())
            return Exchange::NoAnswer;
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
        if (receive(QDeadlineTimer(0), &datagram, &error) == Exchange::NoAnswer || !isConnected())
            return;
    }
}

// Sends `request` and waits for its answer, resending on silence. Done with
// our answer in `*answer`; NoAnswer after all attempts; NotConnected: the
// socket failed or the controller's port is closed.
CmdFinsUdp::Exchange CmdFinsUdp::exchange(const QByteArray &request, QByteArray *answer,
                                          const QString &addressText, int count)
{
    if (!isConnected())
        return Exchange::NotConnected;
    dropPending();
    for (int attempt = 0; attempt <= retries; ++attempt) {
        if (attempt > 0)
            warn(kResend, addressText, count, request);
        if (udpSocket->write(request) != request.size()) {
            warnUnreachable(udpSocket->error());
            return Exchange::NotConnected;
        }
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            QByteArray datagram;
            QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
            const Exchange result = receive(deadline, &datagram, &error);
            if (result == Exchange::NoAnswer)
                break;
            if (result != Exchange::Done) {
                warnUnreachable(error);
                return result;
            }
            switch (FinsCommand::checkAnswer(request, datagram)) {
            case FinsCommand::Verdict::Ours:
                *answer = datagram;
                return Exchange::Done;
            case FinsCommand::Verdict::WrongNodes:
                warnMisrouted(addressText, count, datagram);
                break;
            case FinsCommand::Verdict::Foreign:
            case FinsCommand::Verdict::Malformed:
                break;
            }
            // A stream of foreign datagrams must not hold the deadline off.
            if (deadline.hasExpired())
                break;
        }
    }
    return Exchange::NoAnswer;
}

// ---- memory-area commands ------------------------------------------------------

CmdFinsUdp::Exchange CmdFinsUdp::readPart(const QByteArray &command, int byteLen, const QString &addressText,
                                          QByteArray *out)
{
    trace(kReadCommand, addressText, byteLen, command);
    QByteArray answer;
    const Exchange result = exchange(command, &answer, addressText, byteLen);
    trace(kResponse, addressText, byteLen, answer);
    if (result == Exchange::NotConnected)
        return result;
    if (result != Exchange::Done) {
        warn(kEmptyAnswer, addressText, byteLen, answer);
        return Exchange::NoAnswer;
    }
    if (!FinsCommand::isNormalCompletion(FinsCommand::endCode(answer))) {
        warnEndCode(kBadEndCode, FinsCommand::endCode(answer), addressText, byteLen, answer);
        return Exchange::BadAnswer;
    }
    if (answer.size() != byteLen + FinsCommand::ResponseHeadSize) {
        warn(kBadLength, addressText, byteLen, answer);
        return Exchange::BadAnswer;
    }
    out->append(answer.mid(FinsCommand::OffData, byteLen));
    return Exchange::Done;
}

CmdFinsUdp::Exchange CmdFinsUdp::writePart(const QByteArray &command, int itemCount, WriteKind,
                                           const QString &addressText)
{
    trace(kWriteCommand, addressText, itemCount, command);
    QByteArray answer;
    const Exchange result = exchange(command, &answer, addressText, itemCount);
    trace(kResponse, addressText, itemCount, answer);
    if (result != Exchange::Done)
        return result;
    if (!FinsCommand::isNormalCompletion(FinsCommand::endCode(answer))) {
        warnEndCode(kBadEndCode, FinsCommand::endCode(answer), addressText, itemCount, answer);
        return Exchange::BadAnswer;
    }
    return Exchange::Done;
}

// ---- log lines -------------------------------------------------------------------

// A flood of misrouted datagrams must not become a flood of lines.
void CmdFinsUdp::warnMisrouted(const QString &addressText, int count, const QByteArray &datagram)
{
    QString suffix;
    if (misroutedBudget.take(&suffix))
        QMessageLogger().warning().noquote() << logLine(kBadNodes, addressText, count, datagram) + suffix;
}

void CmdFinsUdp::warnUnreachable(QAbstractSocket::SocketError error) const
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[FinsUdp]%1:%2 Disconnected=").arg(hostAddress.toString()).arg(hostPort)
        << error;
}
