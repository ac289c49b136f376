#include "FinsUdpServer.h"
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
    const QString peer = peerText(sender.address, sender.port);
    if (tracing())
        trace(QStringLiteral("FINS/UDP %1 <- %2").arg(peer, hexText(datagram)));
    Faults f;
    FinsResult result;
    finsudp::Verdict verdict;
    Destination to = sender;
    {
        QMutexLocker lock(&m_state->mutex);
        verdict = finsudp::classify(datagram, node());
        if (verdict == finsudp::Verdict::ForeignNode || verdict == finsudp::Verdict::NotCommand) {
            ++m_state->stats.udpDropped;
            lock.unlock();
            trace(QStringLiteral("FINS/UDP %1: %2, dropped")
                      .arg(peer, verdict == finsudp::Verdict::NotCommand ? QStringLiteral("no command")
                                                                         : QStringLiteral("not for this node")));
            return;
        }
        ++m_state->stats.finsFrames;
        f = m_state->faults;
        if (f.silent)
            return; // dropped unexecuted
        if (datagram.size() > finsudp::kMaxFrame)
            result.endCode = endcode::CommandTooLong;
        else
            result = executeWithFaults(m_state->memory, f, datagram.mid(finsudp::kHeaderSize),
                                       finsudp::kMaxAnswerData);
        if (result.wrote)
            ++m_state->stats.writes;
        if (m_state->udpAnswerPort != 0)
            to.port = m_state->udpAnswerPort;
    }
    if (verdict == finsudp::Verdict::NoAnswer)
        return;
    const QByteArray answer = finsudp::answer(datagram, result, f);
    QList<QByteArray> out;
    if (f.staleFirst && !m_lastAnswer.isEmpty())
        out.append(m_lastAnswer);
    out.append(answer);
    m_lastAnswer = answer;
    if (f.delayMs > 0)
        QTimer::singleShot(f.delayMs, this, [this, out, to] { send(out, to); });
    else
        send(out, to);
}

void FinsUdpServer::send(const QList<QByteArray> &datagrams, const Destination &to)
{
    const bool traced = tracing();
    for (const QByteArray &d : datagrams) {
        m_socket->writeDatagram(d, to.address, to.port);
        if (traced)
            trace(QStringLiteral("FINS/UDP %1 -> %2").arg(peerText(to.address, to.port), hexText(d)));
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
