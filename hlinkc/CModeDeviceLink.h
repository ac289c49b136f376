#ifndef CMODEDEVICELINK_H
#define CMODEDEVICELINK_H

// The line under the C-mode exchange: a serial port or a TCP connection,
// one at a time, with a capped receive buffer cut into CR-ended pieces.

#include <QByteArray>
#include <QObject>
#include <QString>

#include "CModeLink.h"

class QIODevice;
class QSerialPort;
class QTcpSocket;

class CModeDeviceLink : public QObject, public CModeLink
{
    Q_OBJECT

public:
    struct SerialSettings {
        QString port;
        int baud = 0;
        int dataBits = 0;
        int stopBits = 0;
        QString parity;
    };

    explicit CModeDeviceLink(QObject *parent = nullptr);
    ~CModeDeviceLink() override;

    // 0 open; -1 the port could not be opened / the address is no IP address;
    // -3 no TCP connection.
    int openSerial(const SerialSettings &settings);
    int openTcp(const QString &address, int port, int waitMs);
    // 0 closed, 1 nothing open.
    int close();
    // Closes and deletes the device objects: 0, or 1 when there were none.
    int release();

    bool isUp() const override;
    bool send(const QByteArray &bytes) override;
    Received receive(QByteArray *piece, const QDeadlineTimer &deadline) override;
    void dropInput() override;
    int lineTimeMs(int chars) const override;
    QString peerText() const override { return peer; }

private:
    QIODevice *device() const;
    void onDisconnected();
    bool takePiece(QByteArray *piece);

    QSerialPort *serial = nullptr;
    QTcpSocket *tcp = nullptr;
    QByteArray buffer;
    QString peer;
    int baud = 0;
};

#endif // CMODEDEVICELINK_H
