#ifndef PLCSIM_LINK_H
#define PLCSIM_LINK_H

// One byte stream between the controller and a client: a TCP connection or
// the pseudo-terminal serial line. Sessions speak their protocol over it.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QTcpSocket;

namespace plcsim {

class Link : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void()>;
    explicit Link(QObject *parent = nullptr) : QObject(parent) {}

    // Puts `bytes` on the line, not before the monotonic time `notBeforeNs`;
    // `done` runs once the last byte is out (possibly before write returns).
    virtual void write(const QByteArray &bytes, qint64 notBeforeNs, Done done) = 0;
    virtual void close() = 0;
    // How long `chars` characters take on the line (0 for TCP).
    virtual qint64 lineNs(int chars) const { Q_UNUSED(chars); return 0; }
    virtual bool closable() const { return true; }
    virtual QString peerName() const = 0;

signals:
    void received(const QByteArray &bytes);
    void closed();
};

// A connection accepted by one of the TCP servers. Takes over the socket.
class TcpLink : public Link
{
    Q_OBJECT
public:
    explicit TcpLink(QTcpSocket *socket, QObject *parent = nullptr);
    void write(const QByteArray &bytes, qint64 notBeforeNs, Done done) override;
    void close() override;
    QString peerName() const override;
    // True when the peer has already closed or reset the connection, even if
    // the socket has not reported it yet.
    bool peerGone() const;

private:
    void readAll();
    QTcpSocket *m_socket;
    bool m_closing = false;
};

} // namespace plcsim

#endif
