#ifndef HOSTLINKTCPLINK_H
#define HOSTLINKTCPLINK_H

// Host Link over TCP (a serial-to-Ethernet converter, or a controller port
// that speaks Host Link over TCP). A closed connection ends a wait as Gone
// and is said in a warning line.

#include <QHostAddress>
#include <QObject>

#include "HostLinkConnectionText.h"
#include "HostLinkLink.h"

class QTcpSocket;

class HostLinkTcpLink : public QObject, public HostLinkLink
{
    Q_OBJECT

public:
    static constexpr int ConnectTimeoutMs = 30000;

    explicit HostLinkTcpLink(const HostLinkConnectionText::Tcp &settings, QObject *parent = nullptr);
    ~HostLinkTcpLink() override;

    int open() override;
    int close() override;
    bool isOpen() const override;
    bool isSerial() const override { return false; }
    bool send(const QByteArray &bytes) override;
    int lineTimeMs(int) const override { return 0; }
    int frameGapMs() const override { return 2; }
    QString peerText() const override;

private slots:
    void onReadyRead();
    void onDisconnected();

protected:
    QByteArray readAvailable() override;
    bool waitForBytes(const QDeadlineTimer &deadline) override;

private:
    HostLinkConnectionText::Tcp m_settings;
    QHostAddress m_address;
    QTcpSocket *m_socket = nullptr;
};

#endif // HOSTLINKTCPLINK_H
