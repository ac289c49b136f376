#ifndef HOSTLINKTCPLINK_H
#define HOSTLINKTCPLINK_H

// Host Link over TCP (a serial-to-Ethernet converter, or a controller port
// that speaks Host Link over TCP). A connect that gets no answer is begun
// afresh every second until its time is up (the system's own resends of the
// first packet back off to many seconds); a refused one fails at once. Once
// connected the socket is armed to find a dead link (LinkWatch); a closed
// connection ends a wait as Gone and is said in a warning line.

#include <QHostAddress>
#include <QObject>

#include "HostLinkConnectionText.h"
#include "HostLinkLink.h"
#include "ReconnectOption.h"

class QTcpSocket;

class HostLinkTcpLink : public QObject, public HostLinkLink
{
    Q_OBJECT

public:
    static constexpr int ConnectTimeoutMs = 30000;
    // Longest exchange (the first-byte wait plus a 4-word answer's rest),
    // which sizes the dead-link time.
    static constexpr int ExchangeDeadlineMs = 2050;

    explicit HostLinkTcpLink(QObject *parent = nullptr);
    ~HostLinkTcpLink() override;

    // The peer the next open() connects to.
    void setSettings(const HostLinkConnectionText::Tcp &settings);
    bool reconnects() const { return m_settings.reconnect; }

    int open() override;
    // Connects again within `timeoutMs` (reconnect=on); true when up.
    bool reopen(int timeoutMs);
    int close() override;
    // Ends the connection at once, without a goodbye.
    void abort();
    bool isOpen() const override;
    bool isSerial() const override { return false; }
    bool send(const QByteArray &bytes) override;
    bool unacknowledged() const override;
    int lineTimeMs(int) const override { return 0; }
    int frameGapMs() const override { return 2; }
    QString peerText() const override;

private slots:
    void onConnected();
    void onReadyRead();
    void onDisconnected();

protected:
    QByteArray readAvailable() override;
    bool waitForBytes(const QDeadlineTimer &deadline) override;

private:
    bool connectWithin(int timeoutMs);
    void warn(const QString &text) const;

    HostLinkConnectionText::Tcp m_settings;
    ReconnectOption::Pacer m_pacer;
    QHostAddress m_address;
    QTcpSocket *m_socket = nullptr;
    bool m_closing = false; // the driver itself ends the connection
};

#endif // HOSTLINKTCPLINK_H
