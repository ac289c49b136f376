#include "CModeDeviceLink.h"

#include <QHostAddress>
#include <QMessageLogger>
#include <QSignalBlocker>
#include <QSerialPort>
#include <QTcpSocket>

namespace {

// A C-mode frame is at most 131 characters and a controller gives up on
// 280 without CR; beyond this no frame can be in the buffer.
constexpr int kReceiveCap = 512;

bool parityFrom(const QString &text, QSerialPort::Parity *parity)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("N") || t == QLatin1String("NONE"))
        *parity = QSerialPort::NoParity;
    else if (t == QLatin1String("E") || t == QLatin1String("EVEN"))
        *parity = QSerialPort::EvenParity;
    else if (t == QLatin1String("O") || t == QLatin1String("ODD"))
        *parity = QSerialPort::OddParity;
    else
        return false;
    return true;
}

bool knownBaud(int baud)
{
    for (int b : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        if (b == baud)
            return true;
    }
    return false;
}

} // namespace

CModeDeviceLink::CModeDeviceLink(QObject *parent)
    : QObject(parent)
{
}

CModeDeviceLink::~CModeDeviceLink()
{
    release();
}

int CModeDeviceLink::openSerial(const SerialSettings &s)
{
    if (tcp) {
        const QSignalBlocker quiet(tcp);
        tcp->abort();
    }
    if (!serial)
        serial = new QSerialPort(this);
    if (serial->isOpen())
        serial->close();
    serial->setPortName(s.port);
    if (!serial->open(QIODevice::ReadWrite))
        return -1;
    if (knownBaud(s.baud))
        serial->setBaudRate(s.baud);
    if (s.dataBits >= 5 && s.dataBits <= 8)
        serial->setDataBits(QSerialPort::DataBits(s.dataBits));
    if (s.stopBits >= 1 && s.stopBits <= 3)
        serial->setStopBits(QSerialPort::StopBits(s.stopBits));
    QSerialPort::Parity parity;
    if (parityFrom(s.parity, &parity))
        serial->setParity(parity); // refused on a pseudo-terminal; the line still works
    serial->setFlowControl(QSerialPort::NoFlowControl);
    serial->clearError();
    baud = serial->baudRate();
    peer = s.port;
    buffer.clear();
    return 0;
}

int CModeDeviceLink::openTcp(const QString &address, int port, int waitMs)
{
    QHostAddress host;
    if (!host.setAddress(address))
        return -1;
    if (serial && serial->isOpen())
        serial->close();
    if (!tcp) {
        tcp = new QTcpSocket(this);
        connect(tcp, &QTcpSocket::disconnected, this, &CModeDeviceLink::onDisconnected);
    }
    close();
    peer = QStringLiteral("%1:%2").arg(host.toString()).arg(port);
    baud = 0;
    buffer.clear();
    tcp->connectToHost(host, quint16(port));
    if (!tcp->waitForConnected(waitMs)) {
        tcp->abort();
        return -3;
    }
    return 0;
}

void CModeDeviceLink::onDisconnected()
{
    QMessageLogger().warning("%s", qPrintable(QStringLiteral("lib[HLinkC]%1 Disconnected=%2")
                                                  .arg(peer)
                                                  .arg(int(tcp->error()))));
}

int CModeDeviceLink::close()
{
    if (tcp && tcp->state() != QAbstractSocket::UnconnectedState) {
        // Our own close is no loss of the line: no warning for it.
        const QSignalBlocker quiet(tcp);
        tcp->abort();
        return 0;
    }
    if (serial && serial->isOpen()) {
        serial->close();
        return 0;
    }
    return 1;
}

int CModeDeviceLink::release()
{
    if (!tcp && !serial)
        return 1;
    close();
    delete tcp;
    delete serial;
    tcp = nullptr;
    serial = nullptr;
    return 0;
}

QIODevice *CModeDeviceLink::device() const
{
    if (tcp && tcp->state() == QAbstractSocket::ConnectedState)
        return tcp;
    if (serial && serial->isOpen())
        return serial;
    return nullptr;
}

bool CModeDeviceLink::isUp() const
{
    return device() != nullptr;
}

bool CModeDeviceLink::send(const QByteArray &bytes)
{
    QIODevice *dev = device();
    if (!dev || dev->write(bytes) != bytes.size())
        return false;
    // Out on the wire before the answer is waited for: a flush writes at
    // once what the device takes; only the rest needs a wait.
    if (tcp == dev)
        tcp->flush();
    else
        serial->flush();
    while (dev->bytesToWrite() > 0) {
        if (!dev->waitForBytesWritten(1000 + lineTimeMs(bytes.size())))
            return false;
    }
    return true;
}

bool CModeDeviceLink::takePiece(QByteArray *piece)
{
    const int cr = buffer.indexOf('\r');
    if (cr < 0) {
        if (buffer.size() > kReceiveCap)
            buffer.clear(); // no frame ends in this: noise
        return false;
    }
    *piece = buffer.left(cr + 1);
    buffer.remove(0, cr + 1);
    return true;
}

CModeLink::Received CModeDeviceLink::receive(QByteArray *piece, const QDeadlineTimer &deadline)
{
    for (;;) {
        QIODevice *dev = device();
        if (dev)
            buffer += dev->readAll();
        if (takePiece(piece))
            return Received::Piece;
        if (!dev)
            return Received::Down;
        if (deadline.hasExpired())
            return Received::TimedOut;
        // Waits end early on data; a device error that is not a timeout means
        // the line went away.
        const int ms = int(qBound<qint64>(1, deadline.remainingTime(), 100));
        if (!dev->waitForReadyRead(ms) && tcp == dev && tcp->state() != QAbstractSocket::ConnectedState)
            return Received::Down;
    }
}

void CModeDeviceLink::dropInput()
{
    if (QIODevice *dev = device())
        dev->readAll();
    buffer.clear();
}

int CModeDeviceLink::lineTimeMs(int chars) const
{
    return baud > 0 ? int((10LL * chars * 1000 + baud - 1) / baud) : 0;
}
