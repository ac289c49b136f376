#include "RawClient.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QHostAddress>

namespace rawclient {

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

QByteArray Tcp::readLine(int timeoutMs)
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

QByteArray Tcp::readFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        fill(int(qMax<qint64>(1, ms - clock.elapsed())));
    const QByteArray out = m_buffer;
    m_buffer.clear();
    return out;
}

bool Tcp::waitClosed(int timeoutMs)
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return true;
    m_buffer.append(m_socket.readAll());
    return m_socket.waitForDisconnected(timeoutMs)
        || m_socket.state() == QAbstractSocket::UnconnectedState;
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
