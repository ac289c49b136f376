#include "FinsUdpServer.h"
#include "ControllerCommands.h"
#include "FinsExecutor.h"
#include "FinsUdpFrames.h"
#include "SimState.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace plcsim {

namespace {

QString hexText(const QByteArray &b) { return QString::fromLatin1(b.toHex(' ')); }

QString peerText(const QHostAddress &address, quint16 port)
{
    return QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}

} // namespace

FinsUdpServer::FinsUdpServer(SimState *state, int defaultNode, QObject *parent)
    : QObject(parent), m_state(state), m_defaultNode(defaultNode)
{
}

quint16 FinsUdpServer::start(const QHostAddress &address, quint16 port)
{
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(address, port)) {
        delete m_socket;
        m_socket = nullptr;
        return 0;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &FinsUdpServer::readPending);
    return m_socket->localPort();
}

int FinsUdpServer::node() const
{
    return (m_state->serverNodeSet || m_defaultNode == 0) ? m_state->serverNode : m_defaultNode;
}

void FinsUdpServer::readPending()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket->receiveDatagram();
        if (!d.isValid())
            break;
        handle(d.data(), {d.senderAddress(), static_cast<quint16>(d.senderPort())});
    }
}

void FinsUdpServer::handle(const QByteArray &datagram, const Destination &sender)
{
    if (tracing())
        trace(QStringLiteral("FINS/UDP %1 <- %2").arg(peerText(sender.address, sender.port), hexText(datagram)));
    const Outcome o = take(datagram, sender);
    if (!o.answer) {
        if (!o.note.isEmpty())
            trace(QStringLiteral("FINS/UDP %1: %2").arg(peerText(sender.address, sender.port), o.note));
        return;
    }
    const QByteArray answer = finsudp::answer(datagram, o.result, o.faults);
    QList<QByteArray> out;
    if (o.faults.staleFirst && !m_lastAnswer.isEmpty())
        out.append(m_lastAnswer);
    out.append(answer);
    if (o.faults.duplicateAnswer)
        out.append(answer);
    m_lastAnswer = answer;
    const Destination to = o.to;
    const bool other = o.faults.answerFromOtherPort;
    if (o.faults.delayMs > 0)
        QTimer::singleShot(o.faults.delayMs, this, [this, out, to, other] { send(out, to, other); });
    else
        send(out, to, other);
}

FinsUdpServer::Outcome FinsUdpServer::take(const QByteArray &datagram, const Destination &sender)
{
    Outcome o;
    QMutexLocker lock(&m_state->mutex);
    const finsudp::Verdict verdict = finsudp::classify(datagram, node());
    if (verdict == finsudp::Verdict::ForeignNode || verdict == finsudp::Verdict::NotCommand) {
        ++m_state->stats.udpDropped;
        o.note = verdict == finsudp::Verdict::NotCommand ? QStringLiteral("no command, dropped")
                                                         : QStringLiteral("not for this node, dropped");
        return o;
    }
    ++m_state->stats.finsFrames;
    Faults &live = m_state->faults;
    if (live.silent)
        return o; // dropped unexecuted
    if (live.loseCommands > 0) {
        --live.loseCommands;
        o.note = QStringLiteral("command lost");
        return o;
    }
    o.faults = live;
    if (datagram.size() > finsudp::kMaxFrame)
        o.result.endCode = endcode::CommandTooLong;
    else
        o.result = executeCommand(*m_state, live, datagram.mid(finsudp::kHeaderSize), finsudp::kMaxAnswerData);
    if (o.result.wrote)
        ++m_state->stats.writes;
    if (verdict == finsudp::Verdict::NoAnswer)
        return o;
    if (live.loseAnswers > 0) {
        --live.loseAnswers;
        o.note = QStringLiteral("answer lost");
        return o;
    }
    o.answer = true;
    o.to = sender;
    if (m_state->udpAnswerPort != 0)
        o.to.port = m_state->udpAnswerPort;
    return o;
}

QUdpSocket *FinsUdpServer::otherPortSocket()
{
    if (!m_otherPort) {
        m_otherPort = new QUdpSocket(this);
        if (!m_otherPort->bind(m_socket->localAddress(), 0)) {
            delete m_otherPort;
            m_otherPort = nullptr;
        }
    }
    return m_otherPort ? m_otherPort : m_socket;
}

void FinsUdpServer::send(const QList<QByteArray> &datagrams, const Destination &to, bool fromOtherPort)
{
    QUdpSocket *socket = fromOtherPort ? otherPortSocket() : m_socket;
    const bool traced = tracing();
    for (const QByteArray &d : datagrams) {
        socket->writeDatagram(d, to.address, to.port);
        if (traced)
            trace(QStringLiteral("FINS/UDP %1 -> %2%3").arg(peerText(to.address, to.port), hexText(d),
                      fromOtherPort ? QStringLiteral(" (from port %1)").arg(socket->localPort()) : QString()));
    }
}

bool FinsUdpServer::tracing() const
{
    QMutexLocker lock(&m_state->mutex);
    return bool(m_state->trace);
}

void FinsUdpServer::trace(const QString &text) const
{
    std::function<void(const QString &)> fn;
    {
        QMutexLocker lock(&m_state->mutex);
        fn = m_state->trace;
    }
    if (fn)
        fn(text);
}

} // namespace plcsim
