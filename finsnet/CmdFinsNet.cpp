#include "CmdFinsNet.h"

#include <QMessageLogger>
#include <QTcpSocket>

#include <cstdlib>

#include "FinsFrame.h"

namespace {

// Traces and warnings; %1 address, %2 port, %3 tag, %4 count, %5 bytes.
const char kReadCommand[] = "lib[FinsNet]读命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kResponse[] = "lib[FinsNet]响应 %1:%2 Area=%3  len = %4 msg : %5";
const char kBitWriteCommand[] = "lib[FinsNet]写命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kWordWriteCommand[] = "写命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kWordWriteResponse[] = "响应 %1:%2 Area=%3  len = %4 msg : %5";
const char kEmptyAnswer[] = "lib[FinsNet]返回的报文长度为0 %1:%2 Area=%3  len = %4 msg : %5";
const char kBadLength[] = "lib[FinsNet]报文返回长度错误 %1:%2 Area=%3  len = %4 msg : %5";
const char kBadNodes[] = "lib[FinsNet]目标地址，源地址错误 %1:%2 Area=%3  len = %4 msg : %5";
// The end code replaces %6 before the other fields are filled in.
const char kBadEndCode[] = "lib[FinsNet]报文结束码错误 %1:%2 Area=%3  len = %4 code = %6 msg : %5";

constexpr int kMaxBuffered = 64 * 1024;

} // namespace

CmdFinsNet::CmdFinsNet()
    : FinsAreaTransfer(100, 0)
{
}

CmdFinsNet::~CmdFinsNet()
{
    if (tcpSocket) {
        if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
            DisConnectDrive();
        deletetcpSocket();
    }
}

int CmdFinsNet::ConnectDrive(QString ip, int port)
{
    if (!tcpSocket) {
        tcpSocket = new QTcpSocket(this);
        connect(tcpSocket, &QTcpSocket::connected, this, &CmdFinsNet::myconnected);
        connect(tcpSocket, &QTcpSocket::disconnected, this, &CmdFinsNet::mydisconnected);
        connect(tcpSocket, &QTcpSocket::readyRead, this, &CmdFinsNet::myreadyRead);
    }
    hostPort = port;
    if (!hostAddress.setAddress(ip))
        return -1;
    // A port the socket cannot take would be truncated to another one.
    if (port < 1 || port > 65535)
        return -1;
    if (!openConnection())
        return -3;
    if (First_handshake() == 0)
        return 0;
    DisConnectDrive();
    return -2;
}

bool CmdFinsNet::openConnection()
{
    tcpSocket->abort();
    recvBuffer.clear();
    tcpSocket->connectToHost(hostAddress, quint16(hostPort), QIODevice::ReadWrite);
    tcpSocket->waitForConnected(ConnectTimeoutMs);
    const auto state = tcpSocket->state();
    return state == QAbstractSocket::ConnectingState || state == QAbstractSocket::ConnectedState;
}

int CmdFinsNet::First_handshake()
{
    // Node 255 does not exist; node 0 lets the PLC assign one.
    quint8 requested = quint8(std::rand() & 0xFF);
    if (requested == 0xFF)
        requested = 0;
    Handshake answer = askNode(requested);
    if (answer == Handshake::NodeRefused && requested != 0) {
        // A refusal by error notice is followed by the PLC closing the
        // connection: ask again on a fresh one.
        if (!openConnection())
            return 1;
        answer = askNode(0);
    }
    if (answer != Handshake::Assigned)
        return 1;
    sid = 0;
    return 0;
}

CmdFinsNet::Handshake CmdFinsNet::askNode(quint8 requested)
{
    QByteArray answer;
    if (SendData(FinsFrame::nodeRequest(requested), answer, 50) != 0)
        return Handshake::Failed;
    const FinsFrame::NodeReply reply = FinsFrame::readNodeAnswer(answer);
    switch (reply.outcome) {
    case FinsFrame::NodeReply::Assigned:
        clientNode = reply.clientNode;
        serverNode = reply.serverNode;
        return Handshake::Assigned;
    case FinsFrame::NodeReply::NodeRefused:
        return Handshake::NodeRefused;
    case FinsFrame::NodeReply::Rejected:
    case FinsFrame::NodeReply::Malformed:
        break;
    }
    return Handshake::Failed;
}

int CmdFinsNet::SendData(QByteArray frame, QByteArray &answer, int gate)
{
    if (gate < 1)
        return -1;
    QByteArray received;
    if (sendFrame(frame) != Exchange::Done
        || nextFrame(QDeadlineTimer(ExchangeTimeoutMs), &received) != Exchange::Done)
        return -1;
    answer.append(received);
    return 0;
}

int CmdFinsNet::Connection_status() const
{
    return isConnected() ? 0 : -3;
}

bool CmdFinsNet::isConnected() const
{
    return tcpSocket && tcpSocket->state() == QAbstractSocket::ConnectedState;
}

int CmdFinsNet::DisConnectDrive()
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

int CmdFinsNet::deletetcpSocket()
{
    if (tcpSocket) {
        disconnect(tcpSocket, nullptr, this, nullptr);
        delete tcpSocket;
        tcpSocket = nullptr;
    }
    return 0;
}

int CmdFinsNet::DestroyFree()
{
    if (!tcpSocket)
        return 1;
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
        DisConnectDrive();
    deletetcpSocket();
    return 0;
}

void CmdFinsNet::myconnected()
{
}

void CmdFinsNet::mydisconnected()
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[FinsNet]%1 Disconnected=").arg(peer())
        << (tcpSocket ? tcpSocket->error() : QAbstractSocket::UnknownSocketError);
}

void CmdFinsNet::myreadyRead()
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

bool CmdFinsNet::socketGone() const
{
    if (!tcpSocket)
        return true;
    const auto state = tcpSocket->state();
    return state != QAbstractSocket::ConnectedState && state != QAbstractSocket::ConnectingState
        && state != QAbstractSocket::HostLookupState;
}

void CmdFinsNet::dropStale()
{
    recvBuffer.clear();
    if (tcpSocket && tcpSocket->bytesAvailable() > 0)
        tcpSocket->read(tcpSocket->bytesAvailable());
}

CmdFinsNet::Exchange CmdFinsNet::sendFrame(const QByteArray &frame)
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
CmdFinsNet::Exchange CmdFinsNet::nextFrame(const QDeadlineTimer &deadline, QByteArray *frame)
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
CmdFinsNet::Exchange CmdFinsNet::transact(const QByteArray &request, QByteArray *answer)
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
    }
}

// ---- log lines ------------------------------------------------------------

QString CmdFinsNet::peer() const
{
    return QStringLiteral("%1:%2").arg(hostAddress.toString()).arg(hostPort);
}

// ---- memory-area commands -------------------------------------------------

int CmdFinsNet::Message_parsing(QByteArray frame, QByteArray *out, int byteLen, QString addressText)
{
    return resultCode(readExchange(frame, out, byteLen, addressText));
}

CmdFinsNet::Exchange CmdFinsNet::readPart(const QByteArray &command, int byteLen, const QString &addressText,
                                          QByteArray *out)
{
    return readExchange(FinsFrame::commandFrame(command), out, byteLen, addressText);
}

CmdFinsNet::Exchange CmdFinsNet::readExchange(const QByteArray &frame, QByteArray *out, int byteLen,
                                              const QString &addressText)
{
    // Only a complete command frame can be matched with its answer.
    if (frame.size() < FinsFrame::OffData + 4 || byteLen < 0)
        return Exchange::BadRequest;
    trace(kReadCommand, addressText, byteLen, frame);
    QByteArray answer;
    const Exchange result = transact(frame, &answer);
    trace(kResponse, addressText, byteLen, answer);
    if (result == Exchange::NotConnected)
        return result;
    if (answer.isEmpty()) {
        warn(kEmptyAnswer, addressText, byteLen, answer);
        return Exchange::NoAnswer;
    }
    if (result != Exchange::Done) {
        warn(kBadLength, addressText, byteLen, answer);
        return Exchange::BadAnswer;
    }
    if (!FinsFrame::nodesMatch(frame, answer)) {
        warn(kBadNodes, addressText, byteLen, answer);
        return Exchange::BadAnswer;
    }
    if (!FinsFrame::isNormalCompletion(FinsFrame::endCode(answer))) {
        warnEndCode(kBadEndCode, FinsFrame::endCode(answer), addressText, byteLen, answer);
        return Exchange::BadAnswer;
    }
    if (answer.size() != byteLen + FinsFrame::ResponseHeadSize) {
        warn(kBadLength, addressText, byteLen, answer);
        return Exchange::BadAnswer;
    }
    out->append(answer.mid(FinsFrame::OffData, byteLen));
    return Exchange::Done;
}

CmdFinsNet::Exchange CmdFinsNet::writePart(const QByteArray &command, int itemCount, WriteKind kind,
                                           const QString &addressText)
{
    const QByteArray frame = FinsFrame::commandFrame(command);
    const bool bits = kind == WriteKind::Bits;
    trace(bits ? kBitWriteCommand : kWordWriteCommand, addressText, itemCount, frame);
    QByteArray answer;
    const Exchange result = transact(frame, &answer);
    trace(bits ? kResponse : kWordWriteResponse, addressText, itemCount, answer);
    if (result == Exchange::NotConnected)
        return result;
    if (answer.isEmpty())
        return Exchange::NoAnswer;
    if (result != Exchange::Done || answer.size() < FinsFrame::ResponseHeadSize)
        return Exchange::BadAnswer;
    if (!FinsFrame::isNormalCompletion(FinsFrame::endCode(answer))) {
        warnEndCode(kBadEndCode, FinsFrame::endCode(answer), addressText, itemCount, answer);
        return Exchange::BadAnswer;
    }
    return Exchange::Done;
}
