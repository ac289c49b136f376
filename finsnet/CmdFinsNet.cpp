#include "CmdFinsNet.h"

#include <QMessageLogger>

#include <cstdlib>

#include "NumericAddress.h"

namespace {

// Why a connect failed; %1 address, %2 port.
const char kBadConnection[] = "lib[FinsNet]连接参数错误 %1:%2";
const char kNodeNoAnswer[] = "lib[FinsNet]节点地址请求无应答 %1:%2";
// %3 the bytes that came, as lower-case hex.
const char kNodeBadAnswer[] = "lib[FinsNet]节点地址应答错误 %1:%2 msg : %3";
// %3 the header error code, eight upper-case hex digits.
const char kNodeRefused[] = "lib[FinsNet]节点地址请求被拒绝 %1:%2 code = %3";
const char kReconnecting[] = "lib[FinsNet]%1:%2 link lost: connecting again (reconnect=on)";

QString hex8(quint32 code)
{
    return QStringLiteral("%1").arg(code, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

void CmdFinsNet::failConnect(Outcome::Kind kind, const QString &step, const QString &reason, int code)
{
    m_connect = Outcome::make(kind, step, reason, code);
}

int CmdFinsNet::ConnectDrive(QString ip, int port)
{
    ensureSocket();
    hostPort = port;
    // Only the address the text shows: no short forms, no host names. A
    // port the socket cannot take would be truncated to another one.
    if (!NumericAddress::parse(ip) || !hostAddress.setAddress(ip) || port < 1 || port > 65535) {
        QMessageLogger().warning().noquote() << QString::fromUtf8(kBadConnection).arg(ip, QString::number(port));
        failConnect(Outcome::Kind::Refused, QStringLiteral("text"), QStringLiteral("not a numeric address and port"));
        m_connect.refusedCode = 1;
        return -1;
    }
    if (!openConnection()) {
        failConnect(Outcome::Kind::NotConnected, QStringLiteral("connect"), socketErrorText());
        return -3;
    }
    if (First_handshake() == 0) {
        m_connect = Outcome::done();
        return 0;
    }
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
        if (!openConnection()) {
            failConnect(Outcome::Kind::NotConnected, QStringLiteral("connect"), socketErrorText());
            return 1;
        }
        answer = askNode(0, QDeadlineTimer(ExchangeTimeoutMs));
    }
    return answer == Handshake::Assigned ? 0 : 1;
}

// With reconnect=on a transfer on a lost or dead link first connects again,
// handshake included, within one exchange's deadline (the node number is
// the controller's choice: the old one may still be held by the dead link).
bool CmdFinsNet::ready(bool *reopened)
{
    *reopened = false;
    if (isConnected() || !reconnectOn || hostPort == 0 || !reconnectPacer.mayTry())
        return isConnected();
    QMessageLogger().warning().noquote() << QString::fromUtf8(kReconnecting).arg(hostAddress.toString()).arg(hostPort);
    ensureSocket(); // DestroyFree may have taken it
    const QDeadlineTimer deadline(ExchangeTimeoutMs);
    if (!openConnection(int(deadline.remainingTime())) || askNode(0, deadline) != Handshake::Assigned) {
        dropConnection();
        return false;
    }
    *reopened = true;
    reconnectPacer.reset();
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
    const QString handshake = QStringLiteral("handshake");
    switch (reply.outcome) {
    case FinsFrame::NodeReply::Assigned:
        clientNode = reply.clientNode;
        serverNode = reply.serverNode;
        return Handshake::Assigned;
    case FinsFrame::NodeReply::NodeRefused:
    case FinsFrame::NodeReply::Rejected:
        warnNodeRefused(reply.errorCode);
        failConnect(Outcome::Kind::NotConnected, handshake,
                    QStringLiteral("the node request was refused with header error %1").arg(hex8(reply.errorCode)),
                    int(reply.errorCode));
        return reply.outcome == FinsFrame::NodeReply::NodeRefused ? Handshake::NodeRefused : Handshake::Failed;
    case FinsFrame::NodeReply::Malformed:
        break;
    }
    if (answer.isEmpty())
        failConnect(result == Exchange::NotConnected ? Outcome::Kind::NotConnected : Outcome::Kind::NoAnswer,
                    handshake,
                    result == Exchange::NotConnected ? QStringLiteral("the unit closed the connection without a node answer")
                                                     : QStringLiteral("no node answer within %1 ms").arg(ExchangeTimeoutMs));
    else
        failConnect(Outcome::Kind::BadAnswer, handshake, QStringLiteral("the node answer was malformed"));
    m_connect.answer = answer;
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
        << QString::fromUtf8(kNodeRefused).arg(hostAddress.toString(), QString::number(hostPort), hex8(errorCode));
}

Outcome CmdFinsNet::exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer)
{
    const QByteArray frame = wireFrame(command);
    QByteArray received, misrouted;
    const Exchange result = transact(frame, &received, &misrouted);
    Outcome outcome = outcomeOf(result, received);
    // Answers for other node numbers were dropped: a write names them, and
    // so does a read that got no answer of its own.
    if (!misrouted.isEmpty() && result != Exchange::NotConnected && (context.write || received.isEmpty())) {
        if (context.log)
            context.log->warn(FinsLog::Line::BadNodes, context.tag, context.count, misrouted);
        if (received.isEmpty()) {
            outcome.step = QStringLiteral("nodes");
            outcome.reason = QStringLiteral("answers came addressed to other node numbers than plc=%1 node=%2")
                                 .arg(serverNode)
                                 .arg(clientNode);
        }
    }
    if (result == Exchange::Done)
        *answer = received.mid(FinsFrame::HeaderSize);
    outcome.request = frame;
    outcome.answer = received;
    return outcome;
}

Outcome CmdFinsNet::outcomeOf(Exchange result, const QByteArray &received) const
{
    switch (result) {
    case Exchange::Done: break;
    case Exchange::NotConnected:
        return Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("send"), QStringLiteral("the connection is gone"));
    case Exchange::NoAnswer:
        return Outcome::make(Outcome::Kind::NoAnswer, QStringLiteral("answer"),
                             QStringLiteral("no answer within %1 ms").arg(ExchangeTimeoutMs));
    case Exchange::BadAnswer:
        return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                             FinsFrame::tcpCommand(received) == FinsFrame::ErrorNotice
                                 ? QStringLiteral("the unit sent an error notice")
                                 : QStringLiteral("what came is no complete FINS/TCP answer"));
    }
    return Outcome::done();
}
