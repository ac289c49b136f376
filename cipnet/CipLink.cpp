#include "CipLink.h"

#include <QMessageLogger>
#include <QTcpSocket>

#include "CipEncap.h"
#include "CipMessage.h"
#include "LinkWatch.h"

namespace {

constexpr int kMaxBuffered = 2 * CipEncap::MaxFrame;
// Time a close may take for each of its two requests.
constexpr int kCloseTimeoutMs = 500;
constexpr quint16 kOurVendor = 0xFFFE;

Outcome failed(Outcome::Kind kind, const QString &step, const QString &reason, const QByteArray &request,
               const QByteArray &answer = QByteArray(), int endCode = -1)
{
    Outcome o = Outcome::make(kind, step, reason, endCode);
    o.request = request;
    o.answer = answer;
    return o;
}

} // namespace

CipLink::CipLink() = default;

CipLink::~CipLink()
{
    destroy();
}

QString CipLink::peer() const
{
    return QStringLiteral("%1:%2").arg(current.address.toString()).arg(current.port);
}

bool CipLink::isOpen() const
{
    return !socketGone() && session != 0;
}

int CipLink::messageLimit() const
{
    return classThree ? CipConnection::LargeLimit : CipConnection::UnconnectedLimit;
}

bool CipLink::socketGone() const
{
    return !socket || socket->state() != QAbstractSocket::ConnectedState;
}

void CipLink::trace(const char *what, const QString &tag, const QByteArray &frame) const
{
    if (debug)
        QMessageLogger().debug().noquote() << QStringLiteral("lib[CipNet]%1 %2 Tag=%3  len = %4 msg : %5")
                                                  .arg(QString::fromUtf8(what), peer(), tag)
                                                  .arg(frame.size())
                                                  .arg(QString::fromLatin1(frame.toHex()));
}

void CipLink::warn(const Outcome &outcome, const QString &tag) const
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[CipNet]报文错误 %1 Tag=%2 %3 msg : %4")
               .arg(peer(), tag, outcome.reason,
                    QString::fromLatin1((outcome.answer.isEmpty() ? outcome.request : outcome.answer).toHex()));
}

Outcome CipLink::open(const Settings &settings)
{
    destroy();
    current = settings;
    Outcome o = connectTcp();
    if (o.ok())
        o = registerSession();
    if (o.ok() && settings.connected)
        o = openConnection();
    if (!o.ok() && o.kind != Outcome::Kind::NotConnected && socket)
        socket->abort();
    keepConnecting = o.ok() && settings.reconnect;
    return o;
}

// The whole of open() again, each step with its own timeout; a failed
// attempt leaves the next request to try once more.
bool CipLink::reopen()
{
    if (!keepConnecting || !pacer.mayTry())
        return false;
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[CipNet]%1 link lost: connecting again (reconnect=on)").arg(peer());
    const Settings settings = current;
    const bool ok = open(settings).ok();
    keepConnecting = true;
    if (ok)
        pacer.reset();
    return ok;
}

Outcome CipLink::connectTcp()
{
    socket = new QTcpSocket(this);
    socket->connectToHost(current.address, current.port);
    if (socket->waitForConnected(current.timeoutMs)) {
        // A controller that vanishes is found by the system, even while idle.
        if (!LinkWatch::arm(socket->socketDescriptor(), LinkWatch::deadTimeMs(current.timeoutMs)))
            QMessageLogger().warning().noquote()
                << QStringLiteral("lib[CipNet]%1 keep-alive and dead-link time not set").arg(peer());
        return Outcome::done();
    }
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[CipNet]%1 连接失败=").arg(peer()) << socket->errorString();
    Outcome o = Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("connect"),
                              QStringLiteral("no TCP connection to %1: %2").arg(peer(), socket->errorString()));
    socket->abort();
    return o;
}

Outcome CipLink::registerSession()
{
    const quint64 context = nextContext++;
    const QByteArray request = CipEncap::registerSession(context);
    QByteArray answer;
    Outcome o = transact(request, CipEncap::RegisterSession, context, &answer);
    if (o.ok() && answer.size() != CipEncap::HeaderSize + 4)
        o = failed(Outcome::Kind::BadAnswer, QStringLiteral("session"),
                   QStringLiteral("the RegisterSession reply has %1 data bytes, not 4")
                       .arg(answer.size() - CipEncap::HeaderSize),
                   request, answer);
    if (o.ok())
        session = CipEncap::le32(answer, 4);
    if (o.ok() && session == 0)
        o = failed(Outcome::Kind::BadAnswer, QStringLiteral("session"),
                   QStringLiteral("the controller gave session handle 0"), request, answer);
    if (!o.ok()) {
        o.step = QStringLiteral("session");
        QMessageLogger().warning().noquote()
            << QStringLiteral("lib[CipNet]会话注册失败 %1 %2 msg : %3")
                   .arg(peer(), o.reason, QString::fromLatin1(answer.toHex()));
    }
    return o;
}

Outcome CipLink::openConnection()
{
    ids.serial = quint16(nextContext * 7919u);
    ids.vendor = kOurVendor;
    ids.originatorSerial = 0x43495031; // "CIP1"
    ids.toOriginatorId = 0x80000000u | quint32(nextContext);
    QByteArray reply;
    Outcome o = exchange(CipConnection::largeForwardOpen(ids, CipConnection::LargeLimit),
                         QStringLiteral("Large_Forward_Open"), &reply);
    CipMessage::Reply fields;
    if (o.ok())
        o = CipMessage::check(reply, CipMessage::LargeForwardOpen, &fields);
    if (o.ok() && !CipConnection::parseForwardOpenReply(fields.data, &ids))
        o = failed(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                   QStringLiteral("the Large_Forward_Open reply names another connection"), QByteArray(), reply);
    if (!o.ok()) {
        o.step = QStringLiteral("forward-open");
        o.reason = QStringLiteral("Large_Forward_Open refused: ") + o.reason;
        warn(o, QStringLiteral("Large_Forward_Open"));
        return o;
    }
    classThree = true;
    sequence = 0;
    return o;
}

int CipLink::close()
{
    if (!socket)
        return 1;
    if (!socketGone() && session != 0) {
        const int timeout = current.timeoutMs;
        current.timeoutMs = qMin(timeout, kCloseTimeoutMs);
        if (classThree) {
            classThree = false; // the close itself goes unconnected
            QByteArray reply;
            exchange(CipConnection::forwardClose(ids), QStringLiteral("Forward_Close"), &reply);
        }
        // No reply: the controller closes the connection.
        socket->write(CipEncap::unregisterSession(session));
        socket->flush();
        current.timeoutMs = timeout;
    }
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState && !socket->waitForDisconnected(kCloseTimeoutMs))
        socket->abort();
    session = 0;
    classThree = false;
    keepConnecting = false;
    buffer.clear();
    return 0;
}

int CipLink::destroy()
{
    if (!socket)
        return 1;
    close();
    delete socket;
    socket = nullptr;
    return 0;
}

Outcome CipLink::exchange(const QByteArray &request, const QString &tag, QByteArray *reply)
{
    if ((socketGone() || session == 0) && !reopen())
        return failed(Outcome::Kind::NotConnected, QStringLiteral("send"),
                      QStringLiteral("not connected to %1").arg(peer()), QByteArray());
    const quint64 context = nextContext++;
    const bool connected = classThree;
    const quint16 seq = ++sequence;
    const QByteArray frame = connected ? CipEncap::sendUnitData(session, context, ids.toTargetId, seq, request)
                                       : CipEncap::sendRRData(session, context, request);
    trace(request.startsWith(char(CipMessage::WriteTag)) ? "写命令" : "读命令", tag, frame);
    QByteArray answer;
    const quint16 command = connected ? CipEncap::SendUnitData : CipEncap::SendRRData;
    Outcome o = transact(frame, command, context, &answer);
    if (!o.ok())
        return o;
    trace("响应", tag, answer);
    quint16 echoed = seq;
    if (!CipEncap::unwrapReply(answer, reply, &echoed))
        return failed(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                      QStringLiteral("the reply's items are malformed"), frame, answer);
    if (echoed != seq)
        return failed(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                      QStringLiteral("the reply carries sequence count %1, not %2").arg(echoed).arg(seq), frame,
                      answer);
    return o;
}

Outcome CipLink::listIdentity(QByteArray *data)
{
    if (socketGone() && !reopen())
        return failed(Outcome::Kind::NotConnected, QStringLiteral("send"),
                      QStringLiteral("not connected to %1").arg(peer()), QByteArray());
    const quint64 context = nextContext++;
    QByteArray answer;
    Outcome o = transact(CipEncap::listIdentity(context), CipEncap::ListIdentity, context, &answer);
    if (o.ok())
        *data = answer.mid(CipEncap::HeaderSize);
    return o;
}

// Sends `frame` and waits for the frame of `command` with `context`; its
// session handle and status are checked, the rest is the caller's.
Outcome CipLink::transact(const QByteArray &frame, quint16 command, quint64 context, QByteArray *answer)
{
    if (socketGone())
        return failed(Outcome::Kind::NotConnected, QStringLiteral("send"),
                      QStringLiteral("not connected to %1").arg(peer()), frame);
    // Bytes still buffered stay: on a byte stream they may be the start of a
    // late reply, which is dropped by its context once complete.
    readAvailable();
    if (socket->write(frame) != frame.size() || !socket->flush())
        return failed(Outcome::Kind::NotConnected, QStringLiteral("send"),
                      QStringLiteral("the request could not be sent: %1").arg(socket->errorString()), frame);
    const QDeadlineTimer deadline(current.timeoutMs);
    Outcome o = awaitFrame(command, context, deadline, answer);
    o.request = frame;
    o.answer = *answer;
    if (!o.ok())
        return o;
    CipEncap::Header h;
    CipEncap::parseHeader(*answer, &h);
    if (command != CipEncap::RegisterSession && command != CipEncap::ListIdentity && h.session != session)
        return failed(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                      QStringLiteral("the reply carries session handle 0x%1, not 0x%2")
                          .arg(h.session, 8, 16, QLatin1Char('0')).arg(session, 8, 16, QLatin1Char('0')),
                      frame, *answer);
    if (h.status != 0)
        return failed(Outcome::Kind::EndCode, QStringLiteral("answer"),
                      QStringLiteral("encapsulation status 0x%1: %2")
                          .arg(h.status, 4, 16, QLatin1Char('0')).arg(QLatin1String(CipEncap::statusText(h.status))),
                      frame, *answer, int(h.status));
    return o;
}

Outcome CipLink::awaitFrame(quint16 command, quint64 context, const QDeadlineTimer &deadline, QByteArray *answer)
{
    for (;;) {
        if (buffer.size() >= CipEncap::HeaderSize && !CipEncap::isReplyCommand(CipEncap::le16(buffer, 0))) {
            // No frame starts here: the stream cannot be followed any more.
            *answer = buffer;
            buffer.clear();
            ++dropped;
            return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                                 QStringLiteral("bytes that are no EtherNet/IP frame came back"));
        }
        const int size = CipEncap::completeFrame(buffer);
        if (size > 0) {
            const QByteArray frame = buffer.left(size);
            buffer.remove(0, size);
            CipEncap::Header h;
            CipEncap::parseHeader(frame, &h);
            if (h.context != context) {
                ++dropped; // stale or foreign
                continue;
            }
            *answer = frame;
            if (h.command != command)
                return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                                     QStringLiteral("the reply is command 0x%1, not 0x%2")
                                         .arg(h.command, 4, 16, QLatin1Char('0')).arg(command, 4, 16, QLatin1Char('0')));
            return Outcome::done();
        }
        if (socketGone()) {
            readAvailable(); // a reply may have come with the close
            if (CipEncap::completeFrame(buffer) > 0)
                continue;
            *answer = buffer;
            return Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("answer"),
                                 QStringLiteral("the controller closed the connection"));
        }
        if (deadline.hasExpired()) {
            *answer = buffer;
            if (buffer.isEmpty())
                return Outcome::make(Outcome::Kind::NoAnswer, QStringLiteral("answer"),
                                     QStringLiteral("no reply within %1 ms").arg(current.timeoutMs));
            return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                                 QStringLiteral("the reply was cut short (%1 bytes)").arg(buffer.size()));
        }
        socket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        readAvailable();
    }
}

void CipLink::readAvailable()
{
    if (!socket)
        return;
    const qint64 available = socket->bytesAvailable();
    if (available > 0)
        buffer.append(socket->read(available));
    if (buffer.size() > kMaxBuffered)
        buffer.clear();
}
