#include "CmdFinsNet.h"

#include <QMessageLogger>

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

// Why a connect failed; %1 address, %2 port.
const char kBadConnection[] = "lib[FinsNet]连接参数错误 %1:%2";
const char kNodeNoAnswer[] = "lib[FinsNet]节点地址请求无应答 %1:%2";
// %3 the bytes that came, as lower-case hex.
const char kNodeBadAnswer[] = "lib[FinsNet]节点地址应答错误 %1:%2 msg : %3";
// %3 the header error code, eight upper-case hex digits.
const char kNodeRefused[] = "lib[FinsNet]节点地址请求被拒绝 %1:%2 code = %3";
const char kReconnecting[] = "lib[FinsNet]%1:%2 link lost: connecting again (reconnect=on)";

} // namespace

int CmdFinsNet::ConnectDrive(QString ip, int port)
{
    ensureSocket();
    hostPort = port;
    // A port the socket cannot take would be truncated to another one.
    if (!hostAddress.setAddress(ip) || port < 1 || port > 65535) {
        QMessageLogger().warning().noquote() << QString::fromUtf8(kBadConnection).arg(ip, QString::number(port));
        return -1;
    }
    if (!openConnection())
        return -3;
    if (First_handshake() == 0)
        return 0;
    DisConnectDrive();
    return -2;
}

int CmdFinsNet::First_handshake()
{
    // Node 255 does not exist; node 0 lets the PLC assign one.
    quint8 requested = quint8(std::rand() & 0xFF);
    if (requested == 0xFF)
        requested = 0;
    Handshake answer = askNode(requested, QDeadlineTimer(ExchangeTimeoutMs));
    if (answer == Handshake::NodeRefused && requested != 0) {
        // A refusal by error notice is followed by the PLC closing the
        // connection: ask again on a fresh one.
        if (!openConnection())
            return 1;
        answer = askNode(0, QDeadlineTimer(ExchangeTimeoutMs));
    }
    if (answer != Handshake::Assigned)
        return 1;
    sid = 0;
    return 0;
}

// With reconnect=on a transfer on a lost or dead link first connects again,
// handshake included, within one exchange's deadline (the node number is
// the controller's choice: the old one may still be held by the dead link).
bool CmdFinsNet::linkReady()
{
    if (isConnected() || !reconnectOn || hostPort == 0)
        return isConnected();
    QMessageLogger().warning().noquote() << QString::fromUtf8(kReconnecting).arg(hostAddress.toString()).arg(hostPort);
    ensureSocket(); // DestroyFree may have taken it
    const QDeadlineTimer deadline(ExchangeTimeoutMs);
    if (!openConnection(int(deadline.remainingTime())) || askNode(0, deadline) != Handshake::Assigned) {
        dropConnection();
        return false;
    }
    sid = 0;
    return true;
}

CmdFinsNet::Handshake CmdFinsNet::askNode(quint8 requested, const QDeadlineTimer &deadline)
{
    QByteArray answer;
    Exchange result = sendFrame(FinsFrame::nodeRequest(requested));
    if (result == Exchange::Done)
        result = nextFrame(deadline, &answer);
    const FinsFrame::NodeReply reply =
        result == Exchange::Done ? FinsFrame::readNodeAnswer(answer) : FinsFrame::NodeReply();
    switch (reply.outcome) {
    case FinsFrame::NodeReply::Assigned:
        clientNode = reply.clientNode;
        serverNode = reply.serverNode;
        return Handshake::Assigned;
    case FinsFrame::NodeReply::NodeRefused:
    case FinsFrame::NodeReply::Rejected:
        warnNodeRefused(reply.errorCode);
        return reply.outcome == FinsFrame::NodeReply::NodeRefused ? Handshake::NodeRefused : Handshake::Failed;
    case FinsFrame::NodeReply::Malformed:
        break;
    }
    const QString line = answer.isEmpty()
        ? QString::fromUtf8(kNodeNoAnswer).arg(hostAddress.toString()).arg(hostPort)
        : QString::fromUtf8(kNodeBadAnswer)
              .arg(hostAddress.toString(), QString::number(hostPort), QString::fromLatin1(answer.toHex()));
    QMessageLogger().warning().noquote() << line;
    return Handshake::Failed;
}

void CmdFinsNet::warnNodeRefused(quint32 errorCode) const
{
    QMessageLogger().warning().noquote()
        << QString::fromUtf8(kNodeRefused)
               .arg(hostAddress.toString(), QString::number(hostPort),
                    QStringLiteral("%1").arg(errorCode, 8, 16, QLatin1Char('0')).toUpper());
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
    QByteArray answer, misrouted;
    const Exchange result = transact(frame, &answer, &misrouted);
    trace(kResponse, addressText, byteLen, answer);
    if (result == Exchange::NotConnected)
        return result;
    if (answer.isEmpty()) {
        warn(misrouted.isEmpty() ? kEmptyAnswer : kBadNodes, addressText, byteLen, misrouted);
        return Exchange::NoAnswer;
    }
    if (result != Exchange::Done) {
        warn(kBadLength, addressText, byteLen, answer);
        return Exchange::BadAnswer;
    }
    switch (FinsFrame::readAnswerFault(frame, answer, byteLen)) {
    case FinsFrame::AnswerFault::None:
        out->append(answer.mid(FinsFrame::OffData, byteLen));
        return Exchange::Done;
    case FinsFrame::AnswerFault::Nodes:
        warn(kBadNodes, addressText, byteLen, answer);
        break;
    case FinsFrame::AnswerFault::EndCode:
        warnEndCode(kBadEndCode, FinsFrame::endCode(answer), addressText, byteLen, answer);
        break;
    case FinsFrame::AnswerFault::Length:
        warn(kBadLength, addressText, byteLen, answer);
        break;
    }
    return Exchange::BadAnswer;
}

CmdFinsNet::Exchange CmdFinsNet::writePart(const QByteArray &command, int itemCount, WriteKind kind,
                                           const QString &addressText)
{
    const QByteArray frame = FinsFrame::commandFrame(command);
    const bool bits = kind == WriteKind::Bits;
    trace(bits ? kBitWriteCommand : kWordWriteCommand, addressText, itemCount, frame);
    QByteArray answer, misrouted;
    const Exchange result = transact(frame, &answer, &misrouted);
    trace(bits ? kResponse : kWordWriteResponse, addressText, itemCount, answer);
    if (result == Exchange::NotConnected)
        return result;
    if (!misrouted.isEmpty())
        warn(kBadNodes, addressText, itemCount, misrouted);
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
