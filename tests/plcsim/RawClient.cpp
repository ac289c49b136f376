#include "RawClient.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QHostAddress>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace rawclient {

QByteArray Buffered::readLine(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_buffer.contains('\r') && clock.elapsed() < timeoutMs)
        if (!fill(int(qMax<qint64>(1, timeoutMs - clock.elapsed()))))
            break;
    const int cr = m_buffer.indexOf('\r');
    const QByteArray out = cr >= 0 ? m_buffer.left(cr + 1) : m_buffer;
    m_buffer.remove(0, out.size());
    return out;
}

QByteArray Buffered::readFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        fill(int(qMax<qint64>(1, ms - clock.elapsed())));
    const QByteArray out = m_buffer;
    m_buffer.clear();
    return out;
}

bool Tcp::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(kWaitMs);
}

void Tcp::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.waitForBytesWritten(kWaitMs);
}

bool Tcp::fill(int timeoutMs)
{
    if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(timeoutMs))
        return false;
    m_buffer.append(m_socket.readAll());
    return true;
}

QByteArray Tcp::read(int n, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (m_buffer.size() < n && clock.elapsed() < timeoutMs)
        if (!fill(int(qMax<qint64>(1, timeoutMs - clock.elapsed()))))
            break;
    const QByteArray out = m_buffer.left(n);
    m_buffer.remove(0, out.size());
    return out;
}

QByteArray Tcp::readFinsFrame(int timeoutMs)
{
    QByteArray head = read(8, timeoutMs);
    if (head.size() < 8)
        return head;
    const quint32 len = (quint32(quint8(head[4])) << 24) | (quint32(quint8(head[5])) << 16)
        | (quint32(quint8(head[6])) << 8) | quint8(head[7]);
    if (len > 4096)
        return head + m_buffer;
    return head + read(int(len), timeoutMs);
}

bool Tcp::waitClosed(int timeoutMs)
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return true;
    m_buffer.append(m_socket.readAll());
    return m_socket.waitForDisconnected(timeoutMs)
        || m_socket.state() == QAbstractSocket::UnconnectedState;
}

bool Udp::bind(const QString &address, quint16 port)
{
    return m_socket.bind(QHostAddress(address), port);
}

void Udp::sendTo(const QByteArray &datagram, quint16 port, const QString &address)
{
    m_socket.writeDatagram(datagram, QHostAddress(address), port);
}

QByteArray Udp::receive(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_socket.hasPendingDatagrams() && clock.elapsed() < timeoutMs)
        m_socket.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - clock.elapsed())));
    if (!m_socket.hasPendingDatagrams())
        return {};
    QByteArray out(int(qMax<qint64>(0, m_socket.pendingDatagramSize())), '\0');
    const qint64 n = m_socket.readDatagram(out.data(), out.size(), &m_sender, &m_senderPort);
    out.resize(int(qMax<qint64>(0, n)));
    return out;
}

Pty::~Pty()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Pty::open(const QString &path)
{
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    termios tio{};
    ::tcgetattr(m_fd, &tio);
    ::cfmakeraw(&tio);
    return ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
}

void Pty::send(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            pollfd pfd{m_fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
            continue;
        }
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

bool Pty::fill(int timeoutMs)
{
    pollfd pfd{m_fd, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0)
        return false;
    char chunk[4096];
    const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
    if (n > 0)
        m_buffer.append(chunk, int(n));
    return n > 0;
}

QByteArray finsCommand(const char *commandHex, quint8 sid)
{
    QByteArray fins = testsupport::fromHex("80 00 02 00 01 00 00 05 00");
    fins.append(char(sid));
    fins.append(testsupport::fromHex(commandHex));
    QByteArray out("FINS");
    const quint32 len = quint32(8 + fins.size());
    out.append(testsupport::fromHex("00 00"));
    out.append(char((len >> 8) & 0xFF));
    out.append(char(len & 0xFF));
    out.append(testsupport::fromHex("00000002 00000000"));
    return out + fins;
}

QByteArray nodeRequest(quint32 node)
{
    QByteArray out = testsupport::fromHex("46494E53 0000000C 00000000 00000000");
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((node >> shift) & 0xFF));
    return out;
}

int endCodeOf(const QByteArray &answer)
{
    if (answer.size() < 30)
        return -1;
    return (quint8(answer[28]) << 8) | quint8(answer[29]);
}

QByteArray hostLinkFrame(const QByteArray &body)
{
    QByteArray out = "@" + body;
    quint8 fcs = 0;
    for (char c : out)
        fcs ^= quint8(c);
    out += QByteArray::number(fcs, 16).rightJustified(2, '0').toUpper();
    out += "*\r";
    return out;
}

} // namespace rawclient
