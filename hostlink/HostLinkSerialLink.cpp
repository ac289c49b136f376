#include "HostLinkSerialLink.h"

#include <QSerialPort>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// Parity from the connection text: whole names and letters first ("Even",
// "none", "O"), then the letter search hosts have always relied on.
bool parityFrom(const QString &text, QSerialPort::Parity *parity)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("N") || t == QLatin1String("NONE"))
        *parity = QSerialPort::NoParity;
    else if (t == QLatin1String("E") || t == QLatin1String("EVEN"))
        *parity = QSerialPort::EvenParity;
    else if (t == QLatin1String("O") || t == QLatin1String("ODD"))
        *parity = QSerialPort::OddParity;
    else if (t.contains(QLatin1Char('N')))
        *parity = QSerialPort::NoParity;
    else if (t.contains(QLatin1Char('E')))
        *parity = QSerialPort::EvenParity;
    else if (t.contains(QLatin1Char('O')))
        *parity = QSerialPort::OddParity;
    else
        return false;
    return true;
}

// The pause a controller may leave between characters at the slow rates;
// 0 for the others, which keep the pause the line had.
int frameGapFor(int baud)
{
    switch (baud) {
    case 2400: return 10;
    case 4800: return 6;
    case 9600: return 3;
    default: return 0;
    }
}

bool isLineRate(int baud)
{
    switch (baud) {
    case 1200: case 2400: case 4800: case 9600:
    case 19200: case 38400: case 57600: case 115200:
        return true;
    default:
        return false;
    }
}

} // namespace

HostLinkSerialLink::HostLinkSerialLink(QObject *parent)
    : QObject(parent)
{
}

HostLinkSerialLink::~HostLinkSerialLink()
{
    close();
}

int HostLinkSerialLink::open()
{
    if (!m_port) {
        m_port = new QSerialPort(this);
        connect(m_port, &QSerialPort::readyRead, this, &HostLinkSerialLink::onReadyRead);
    }
    close();
    m_port->setPortName(m_settings.port);
    if (!m_port->open(QIODevice::ReadWrite)) {
        setError(QStringLiteral("could not open %1: %2").arg(m_settings.port, m_port->errorString()));
        return -1;
    }
    applySettings();
    m_hungUp = false;
    discardInput();
    return 0;
}

void HostLinkSerialLink::applySettings()
{
    // Rates the port does not take leave its rate as it is.
    if (frameGapFor(m_settings.baud) > 0)
        m_frameGap = frameGapFor(m_settings.baud);
    if (isLineRate(m_settings.baud))
        m_port->setBaudRate(m_settings.baud);
    if (m_settings.dataBits >= 5 && m_settings.dataBits <= 8)
        m_port->setDataBits(static_cast<QSerialPort::DataBits>(m_settings.dataBits));
    if (m_settings.stopBits >= 1 && m_settings.stopBits <= 3)
        m_port->setStopBits(static_cast<QSerialPort::StopBits>(m_settings.stopBits));
    QSerialPort::Parity parity;
    if (parityFrom(m_settings.parity, &parity))
        m_port->setParity(parity); // fails on a pseudo-terminal; the line still works
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    // A setting the device refused leaves an error behind that would make
    // the first wait look like a broken line.
    m_port->clearError();
    m_baud = m_port->baudRate();
}

int HostLinkSerialLink::close()
{
    if (!m_port || !m_port->isOpen())
        return 1;
    m_port->clear(QSerialPort::AllDirections);
    m_port->close();
    return 0;
}

bool HostLinkSerialLink::isOpen() const
{
    return m_port && m_port->isOpen();
}

bool HostLinkSerialLink::send(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    m_port->write(bytes);
    m_port->flush();
    return true;
}

int HostLinkSerialLink::lineTimeMs(int chars) const
{
    if (m_baud <= 0)
        return 0;
    return int((static_cast<long long>(chars) * 10 * 1000 + m_baud - 1) / m_baud);
}

QString HostLinkSerialLink::peerText() const
{
    // A serial line has no peer address.
    return QStringLiteral(":0");
}

void HostLinkSerialLink::onReadyRead()
{
    takeIn(readAvailable());
}

// What came, read on the descriptor: Qt's buffer first (filled when an
// event loop ran), then the device itself, without asking how much.
QByteArray HostLinkSerialLink::readAvailable()
{
    QByteArray bytes;
    if (!isOpen())
        return bytes;
    const qint64 buffered = m_port->QIODevice::bytesAvailable();
    if (buffered > 0)
        bytes = m_port->read(buffered);
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(int(m_port->handle()), chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0)
            bytes.append(chunk, int(got));
    }
    // Hung up and drained: the device is gone.
    if (bytes.isEmpty() && m_hungUp)
        m_port->close();
    return bytes;
}

// Wakes as soon as a byte arrives (the terminator completes a piece at
// once), never on a timer. A device that went away (a USB adapter pulled,
// the other side of a pseudo-terminal closed) ends the wait: waiting on
// would only spin.
bool HostLinkSerialLink::waitForBytes(const QDeadlineTimer &deadline)
{
    if (!isOpen())
        return false;
    if (m_port->QIODevice::bytesAvailable() > 0)
        return true;
    pollfd fd{int(m_port->handle()), POLLIN, 0};
    const int ms = int(qBound<qint64>(0, deadline.remainingTime(), 60000));
    int ready = 0;
    while ((ready = ::poll(&fd, 1, ms)) < 0 && errno == EINTR) {
    }
    m_hungUp = ready > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL));
    return true;
}
