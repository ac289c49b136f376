#ifndef HOSTLINKSERIALLINK_H
#define HOSTLINKSERIALLINK_H

// Host Link over a serial port. Waits block on the port's descriptor and
// wake when bytes arrive (a terminator completes a piece at once), never on
// a timer; a device that goes away (a USB adapter pulled, the other side of
// a pseudo-terminal closed) ends the wait as Gone.

#include <QObject>

#include "HostLinkConnectionText.h"
#include "HostLinkLink.h"

class QSerialPort;

class HostLinkSerialLink : public QObject, public HostLinkLink
{
    Q_OBJECT

public:
    explicit HostLinkSerialLink(QObject *parent = nullptr);
    ~HostLinkSerialLink() override;

    // The port and settings the next open() uses.
    void setSettings(const HostLinkConnectionText::Serial &settings) { m_settings = settings; }

    int open() override;
    int close() override;
    bool isOpen() const override;
    bool isSerial() const override { return true; }
    bool send(const QByteArray &bytes) override;
    int lineTimeMs(int chars) const override;
    int frameGapMs() const override { return m_frameGap; }
    QString peerText() const override;

private slots:
    void onReadyRead();

protected:
    QByteArray readAvailable() override;
    bool waitForBytes(const QDeadlineTimer &deadline) override;

private:
    void applySettings();

    HostLinkConnectionText::Serial m_settings;
    QSerialPort *m_port = nullptr;
    int m_baud = 0;
    int m_frameGap = 2;
    bool m_hungUp = false; // the last wait saw the device hang up
};

#endif // HOSTLINKSERIALLINK_H
