#ifndef PLCSIM_TEST_RAWCLIENT_H
#define PLCSIM_TEST_RAWCLIENT_H

// Blocking clients that speak to the simulator with hand-written bytes. The
// simulator runs on its own thread, so blocking the test thread is fine.

#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>
#include <QUdpSocket>

namespace rawclient {

constexpr int kWaitMs = 5000; // generous bound for anything that must arrive

// What both clients share: a receive buffer filled by the transport's own
// blocking wait, read out by line or by time.
class Buffered
{
public:
    virtual ~Buffered() = default;
    // Up to and including the next CR.
    QByteArray readLine(int timeoutMs = kWaitMs);
    // Whatever arrives within `ms` (for answers that must not come).
    QByteArray readFor(int ms);

protected:
    // Waits up to `timeoutMs` for bytes and appends them to m_buffer; false
    // when none came (timeout or a closed line).
    virtual bool fill(int timeoutMs) = 0;
    QByteArray m_buffer;
};

class Tcp : public Buffered
{
public:
    bool connectTo(quint16 port);
    void send(const QByteArray &bytes);
    // Reads until `n` bytes are in (or the bound passes); returns what came.
    QByteArray read(int n, int timeoutMs = kWaitMs);
    // One FINS/TCP frame by its length field.
    QByteArray readFinsFrame(int timeoutMs = kWaitMs);
    bool waitClosed(int timeoutMs = kWaitMs);
    QTcpSocket &socket() { return m_socket; }

private:
    bool fill(int timeoutMs) override;
    QTcpSocket m_socket;
};

// The client end of the simulator's serial line (the pseudo-terminal's
// slave side), opened raw like a serial device.
class Pty : public Buffered
{
public:
    ~Pty() override;
    bool open(const QString &path);
    void send(const QByteArray &bytes);

private:
    bool fill(int timeoutMs) override;
    int m_fd = -1;
};

// A UDP socket of its own port, sending bare FINS datagrams to the
// simulator and receiving whatever comes to that port.
class Udp
{
public:
    bool bind(const QString &address = QStringLiteral("127.0.0.1"), quint16 port = 0);
    quint16 port() const { return m_socket.localPort(); }
    void sendTo(const QByteArray &datagram, quint16 port,
                const QString &address = QStringLiteral("127.0.0.1"));
    // The next datagram, empty when none came within the bound.
    QByteArray receive(int timeoutMs = kWaitMs);
    // Where the last received datagram came from.
    quint16 senderPort() const { return m_senderPort; }
    QHostAddress sender() const { return m_sender; }

private:
    QUdpSocket m_socket;
    QHostAddress m_sender;
    quint16 m_senderPort = 0;
};

// FINS/TCP frame around a FINS command: "FINS", length, command 2, error 0,
// FINS header 80 00 02 00 01 00 00 05 00 <sid>, then `commandHex`.
QByteArray finsCommand(const char *commandHex, quint8 sid = 0x07);
// The node address request for `node`.
QByteArray nodeRequest(quint32 node);
// End code (bytes 28-29) of a FINS/TCP answer, -1 if too short.
int endCodeOf(const QByteArray &answer);

// Host Link request text: "@", `body`, FCS, "*", CR (FCS computed here from
// the protocol's definition, for frames not among the captured ones).
QByteArray hostLinkFrame(const QByteArray &body);

} // namespace rawclient

#endif
