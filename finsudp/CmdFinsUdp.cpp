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

CmdFinsUdp::CmdFinsUdp() = default;

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
    const int opened = openSocket(settings.localPort);
    if (opened != 0)
        return opened;
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
    const int probed = probe();
    if (probed == 0)
        return 0;
    if (probed == -2) {
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
    return probed;
}

int CmdFinsUdp::openSocket(quint16 port)
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
        return -3;
    }
    udpSocket->connectToHost(hostAddress, quint16(hostPort), QIODevice::ReadWrite);
    if (udpSocket->state() != QAbstractSocket::ConnectedState) {
        warnUnreachable(udpSocket->error());
        udpSocket->abort();
        return -3;
    }
    return 0;
}

int CmdFinsUdp::probe()
{
    const QByteArray frame = FinsCommand::readCommand(serverNode, clientNode, nextSid(), kProbeArea, 0, 1);
    const QString tag = QString::fromLatin1(kProbeTag);
    trace(kReadCommand, tag, 2, frame);
    QByteArray answer;
    const int result = exchange(frame, &answer, tag, 2);
    trace(kResponse, tag, 2, answer);
    // Any end code will do: a FINS node has answered.
    return result;
}

int CmdFinsUdp::Connection_status() const
{
    return udpSocket && udpSocket->state() == QAbstractSocket::ConnectedState ? 0 : -3;
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

quint8 CmdFinsUdp::nextSid()
{
    return sid++;
}

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

// Waits for the next datagram. 0: `*datagram` holds it (empty when it could
// not be read or came from elsewhere); -2: the deadline passed; -3: the
// socket reports an error (`*error`) or is gone.
int CmdFinsUdp::receive(const QDeadlineTimer &deadline, QByteArray *datagram, QAbstractSocket::SocketError *error)
{
    for (;;) {
        if (Connection_status() != 0) {
            *error = udpSocket ? udpSocket->error() : QAbstractSocket::UnknownSocketError;
            return -3;
        }
        // The peek that finds an error consumes it: it is reported here.
        const qint64 size = peekDatagram();
        if (size >= 0) {
            readDatagram(size, datagram);
            return 0;
        }
        if (size != -EAGAIN) {
            *error = socketErrorOf(int(-size));
            return -3;
        }
        if (deadline.hasExpired())
            return -2;
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
        if (receive(QDeadlineTimer(0), &datagram, &error) == -2 || Connection_status() != 0)
            return;
    }
}

// Sends `request` and waits for its answer, resending on silence. 0 with our
// answer in `*answer`; -2 no answer after all attempts; -3 the socket failed
// or the controller's port is closed.
int CmdFinsUdp::exchange(const QByteArray &request, QByteArray *answer, const QString &addressText, int count)
{
    if (Connection_status() != 0)
        return -3;
    dropPending();
    for (int attempt = 0; attempt <= retries; ++attempt) {
        if (attempt > 0)
            warn(kResend, addressText, count, request);
        if (udpSocket->write(request) != request.size()) {
            warnUnreachable(udpSocket->error());
            return -3;
        }
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            QByteArray datagram;
            QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
            const int result = receive(deadline, &datagram, &error);
            if (result == -2)
                break;
            if (result != 0) {
                warnUnreachable(error);
                return -3;
            }
            switch (FinsCommand::checkAnswer(request, datagram)) {
            case FinsCommand::Verdict::Ours:
                *answer = datagram;
                return 0;
            case FinsCommand::Verdict::WrongNodes:
                warn(kBadNodes, addressText, count, datagram);
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
    return -2;
}

// ---- memory-area commands ------------------------------------------------------

int CmdFinsUdp::Read_area(int wordAddress, int byteLen, QByteArray *out, int areaCode, QString addressText)
{
    if (Connection_status() != 0)
        return -3;
    if (byteLen < 0)
        return -1;
    // Larger reads go out as several commands in address order; the caller
    // gets all of the data or none of it.
    const int maxBytes = 2 * FinsCommand::MaxReadWords;
    QByteArray collected;
    int done = 0;
    do {
        const int partBytes = qMin(byteLen - done, maxBytes);
        const QByteArray frame = FinsCommand::readCommand(serverNode, clientNode, nextSid(), areaCode,
                                                          wordAddress + done / 2, partBytes / 2);
        const int result = readCommand(frame, &collected, partBytes, addressText);
        if (result != 0)
            return result;
        done += partBytes;
    } while (done < byteLen);
    out->append(collected);
    return 0;
}

int CmdFinsUdp::readCommand(const QByteArray &frame, QByteArray *out, int byteLen, const QString &addressText)
{
    trace(kReadCommand, addressText, byteLen, frame);
    QByteArray answer;
    const int result = exchange(frame, &answer, addressText, byteLen);
    trace(kResponse, addressText, byteLen, answer);
    if (result == -3)
        return -3;
    if (result != 0) {
        warn(kEmptyAnswer, addressText, byteLen, answer);
        return -2;
    }
    if (!FinsCommand::isNormalCompletion(FinsCommand::endCode(answer))) {
        warnEndCode(addressText, byteLen, answer);
        return -1;
    }
    if (answer.size() != byteLen + FinsCommand::ResponseHeadSize) {
        warn(kBadLength, addressText, byteLen, answer);
        return -1;
    }
    out->append(answer.mid(FinsCommand::OffData, byteLen));
    return 0;
}

int CmdFinsUdp::Write_area(int wordAddress, int byteLen, QByteArray data, int areaCode, QString addressText)
{
    if (Connection_status() != 0)
        return -3;
    if (byteLen < 0)
        return -1;
    // Whole words only, and never more than the caller gave.
    const int words = qMin(byteLen, data.size()) / 2;
    int done = 0;
    do {
        const int partWords = qMin(words - done, FinsCommand::MaxWriteWords);
        const QByteArray frame = FinsCommand::writeWordsCommand(serverNode, clientNode, nextSid(), areaCode,
                                                                wordAddress + done, data.mid(2 * done, 2 * partWords));
        const int result = writeCommand(frame, 2 * partWords, addressText);
        if (result != 0)
            return result;
        done += partWords;
    } while (done < words);
    return 0;
}

int CmdFinsUdp::Write_bool(int wordAddress, int itemCount, QByteArray data, int bitNumber, int areaCode,
                           QString addressText)
{
    if (Connection_status() != 0)
        return -3;
    if (itemCount < 0 || bitNumber < 0)
        return -1;
    const int items = qMin(itemCount, data.size());
    int done = 0;
    do {
        const int partItems = qMin(items - done, FinsCommand::MaxWriteBits);
        const int firstBit = bitNumber + done;
        const QByteArray frame =
            FinsCommand::writeBitsCommand(serverNode, clientNode, nextSid(), areaCode, wordAddress + firstBit / 16,
                                          firstBit % 16, data.mid(done, partItems));
        const int result = writeCommand(frame, partItems, addressText);
        if (result != 0)
            return result;
        done += partItems;
    } while (done < items);
    return 0;
}

int CmdFinsUdp::writeCommand(const QByteArray &frame, int itemCount, const QString &addressText)
{
    trace(kWriteCommand, addressText, itemCount, frame);
    QByteArray answer;
    const int result = exchange(frame, &answer, addressText, itemCount);
    trace(kResponse, addressText, itemCount, answer);
    if (result != 0)
        return result;
    if (!FinsCommand::isNormalCompletion(FinsCommand::endCode(answer))) {
        warnEndCode(addressText, itemCount, answer);
        return -1;
    }
    return 0;
}

// ---- log lines -------------------------------------------------------------------

QString CmdFinsUdp::logLine(const char *format, const QString &addressText, int count,
                            const QByteArray &bytes) const
{
    // One pass, so a tag text holding "%4" is not substituted again.
    return QString::fromUtf8(format).arg(hostAddress.toString(), QString::number(hostPort), addressText,
                                         QString::number(count), QString::fromLatin1(bytes.toHex()));
}

void CmdFinsUdp::trace(const char *format, const QString &addressText, int count, const QByteArray &bytes) const
{
    if (debugOn)
        QMessageLogger().debug().noquote() << logLine(format, addressText, count, bytes);
}

void CmdFinsUdp::warn(const char *format, const QString &addressText, int count, const QByteArray &bytes) const
{
    QMessageLogger().warning().noquote() << logLine(format, addressText, count, bytes);
}

void CmdFinsUdp::warnEndCode(const QString &addressText, int count, const QByteArray &answer) const
{
    const QString code =
        QStringLiteral("%1").arg(FinsCommand::endCode(answer), 4, 16, QLatin1Char('0')).toUpper();
    const QString format = QString::fromUtf8(kBadEndCode).replace(QLatin1String("%6"), code);
    warn(format.toUtf8().constData(), addressText, count, answer);
}

void CmdFinsUdp::warnUnreachable(QAbstractSocket::SocketError error) const
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[FinsUdp]%1:%2 Disconnected=").arg(hostAddress.toString()).arg(hostPort)
        << error;
}
