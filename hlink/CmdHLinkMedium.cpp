#include "CmdHLinkMedium.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QTcpSocket>

#include "HLinkFrame.h"
#include "LinkWatch.h"

namespace {

constexpr int kConnectWaitMs = 30000;
// A connect attempt that got no answer is begun afresh after this long: the
// system's own resends of its first packet back off to many seconds.
constexpr int kConnectAttemptMs = 1000;
// Longest exchange: the first-byte wait plus a 4-word answer's rest.
constexpr int kDeadlineMs = 2050;
constexpr int kMinRestMs = 50;
// Raw bytes of one exchange kept for the log (a little beyond the largest answer).
constexpr int kRawLogCap = 2 * HLinkFrame::ReceiveCap;

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

} // namespace

CmdHLinkMedium::CmdHLinkMedium(QObject *parent)
    : QObject(parent)
{
}

CmdHLinkMedium::~CmdHLinkMedium()
{
    DestroyFree();
}

// ---------------------------------------------------------------- media

int CmdHLinkMedium::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity)
{
    if (!serialPort) {
        serialPort = new QSerialPort(this);
        connect(serialPort, &QSerialPort::readyRead, this, &CmdHLinkMedium::serialreadyRead);
    }
    if (serialPort->isOpen()) {
        serialPort->clear(QSerialPort::AllDirections);
        serialPort->close();
    }
    serialPort->setPortName(portName);
    if (!serialPort->open(QIODevice::ReadWrite))
        return -1;

    switch (baudRate) {
    case 2400: frameGap = 10; break;
    case 4800: frameGap = 6; break;
    case 9600: frameGap = 3; break;
    default: break;
    }
    switch (baudRate) {
    case 1200: case 2400: case 4800: case 9600:
    case 19200: case 38400: case 57600: case 115200:
        serialPort->setBaudRate(baudRate);
        break;
    default:
        break;
    }
    if (dataBits >= 5 && dataBits <= 8)
        serialPort->setDataBits(static_cast<QSerialPort::DataBits>(dataBits));
    if (stopBits == 1 || stopBits == 2 || stopBits == 3)
        serialPort->setStopBits(static_cast<QSerialPort::StopBits>(stopBits));
    QSerialPort::Parity p;
    if (parityFrom(parity, &p))
        serialPort->setParity(p); // fails on a pseudo-terminal; the line still works
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    // A setting the device refused leaves an error behind that would make
    // the first wait look like a broken line.
    serialPort->clearError();
    lineBaud = serialPort->baudRate();

    if (medium == TcpMedium && tcpSocket) {
        closing = true;
        tcpSocket->abort();
        closing = false;
    }
    medium = SerialMedium;
    sid = 0;
    recvBuffer.clear();
    return 0;
}

int CmdHLinkMedium::serialDisConnectDrive()
{
    if (!serialPort || !serialPort->isOpen())
        return 1;
    serialPort->clear(QSerialPort::AllDirections);
    serialPort->close();
    return 0;
}

int CmdHLinkMedium::EthConnectDrive(QString ip, int port)
{
    if (!tcpSocket) {
        tcpSocket = new QTcpSocket(this);
        connect(tcpSocket, &QTcpSocket::connected, this, &CmdHLinkMedium::Ethconnected);
        connect(tcpSocket, &QTcpSocket::disconnected, this, &CmdHLinkMedium::Ethdisconnected);
        connect(tcpSocket, &QTcpSocket::readyRead, this, &CmdHLinkMedium::EthreadyRead);
    }
    QHostAddress address;
    if (!address.setAddress(ip))
        return -1;
    hostAddress = address;
    hostPort = port;
    if (!openTcp(kConnectWaitMs))
        return -3;
    if (medium == SerialMedium)
        serialDisConnectDrive();
    medium = TcpMedium;
    sid = 0;
    return 0;
}

// A new connection replaces the old one; it never stays on the old host. A
// refused connection fails at once; one that gets no answer is tried again
// every second until `timeoutMs` has passed.
bool CmdHLinkMedium::openTcp(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        closing = true;
        tcpSocket->abort();
        closing = false;
        recvBuffer.clear();
        dropped = 0;
        tcpSocket->connectToHost(hostAddress, static_cast<quint16>(hostPort), QIODevice::ReadWrite);
        const int attempt = int(qMin<qint64>(kConnectAttemptMs, deadline.remainingTime()));
        if (tcpSocket->waitForConnected(qMax(1, attempt)))
            return true;
        const bool unanswered = tcpSocket->state() == QAbstractSocket::ConnectingState
            || tcpSocket->error() == QAbstractSocket::SocketTimeoutError;
        if (!unanswered || deadline.hasExpired())
            break;
    }
    closing = true;
    tcpSocket->abort();
    closing = false;
    return false;
}

bool CmdHLinkMedium::linkReadyWithin(int timeoutMs)
{
    if (linkUp() || !reconnectOn || medium != TcpMedium || !tcpSocket)
        return linkUp();
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 link lost: connecting again (reconnect=on)").arg(peerText()));
    if (!openTcp(timeoutMs))
        return false;
    sid = 0;
    return true;
}

bool CmdHLinkMedium::unacknowledged() const
{
    return medium == TcpMedium && tcpSocket && LinkWatch::unacknowledged(tcpSocket->socketDescriptor());
}

int CmdHLinkMedium::EthDisConnectDrive()
{
    if (!tcpSocket)
        return 1;
    closing = true;
    tcpSocket->disconnectFromHost();
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState && !tcpSocket->waitForDisconnected(kConnectWaitMs))
        tcpSocket->abort();
    closing = false;
    recvBuffer.clear();
    return 0;
}

int CmdHLinkMedium::DestroyFree()
{
    if (!serialPort && !tcpSocket)
        return 1;
    if (serialPort) {
        serialDisConnectDrive();
        deleteSerialPort();
    }
    if (tcpSocket) {
        if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
            EthDisConnectDrive();
        deletetcpSocket();
    }
    medium = NoMedium;
    recvBuffer.clear();
    return 0;
}

int CmdHLinkMedium::deletetcpSocket()
{
    if (tcpSocket) {
        disconnect(tcpSocket, nullptr, this, nullptr);
        tcpSocket->abort();
        delete tcpSocket;
        tcpSocket = nullptr;
    }
    return 0;
}

int CmdHLinkMedium::deleteSerialPort()
{
    if (serialPort) {
        disconnect(serialPort, nullptr, this, nullptr);
        delete serialPort;
        serialPort = nullptr;
    }
    return 0;
}

QIODevice *CmdHLinkMedium::activeDevice() const
{
    if (medium == TcpMedium)
        return tcpSocket;
    if (medium == SerialMedium)
        return serialPort;
    return nullptr;
}

bool CmdHLinkMedium::linkUp() const
{
    if (medium == TcpMedium)
        return tcpSocket && tcpSocket->state() == QAbstractSocket::ConnectedState;
    if (medium == SerialMedium)
        return serialPort && serialPort->isOpen();
    return false;
}

int CmdHLinkMedium::Only_send(QByteArray frame)
{
    if (medium == TcpMedium && tcpSocket) {
        tcpSocket->write(frame);
        tcpSocket->flush();
        return 0;
    }
    if (medium == SerialMedium && serialPort) {
        serialPort->write(frame);
        serialPort->flush();
        return 0;
    }
    return 1;
}

QString CmdHLinkMedium::tcpErrorText() const
{
    if (tcpSocket && tcpSocket->error() == QAbstractSocket::ConnectionRefusedError)
        return QStringLiteral("refused: the address answers, but nothing listens on port %1").arg(hostPort);
    return tcpSocket ? tcpSocket->errorString() : QStringLiteral("no socket");
}

void CmdHLinkMedium::Ethconnected()
{
    if (!LinkWatch::arm(tcpSocket->socketDescriptor(), LinkWatch::deadTimeMs(kDeadlineMs)))
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1:%2 dead-link detection not available")
                                  .arg(hostAddress.toString()).arg(hostPort));
}

void CmdHLinkMedium::Ethdisconnected()
{
    if (!closing && tcpSocket && tcpSocket->error() != QAbstractSocket::RemoteHostClosedError)
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1:%2 link found dead (no acknowledgement or keep-alive "
                                             "answer within %3 ms)")
                                  .arg(hostAddress.toString()).arg(hostPort).arg(LinkWatch::deadTimeMs(kDeadlineMs)));
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1:%2 Disconnected=%3")
                              .arg(hostAddress.toString())
                              .arg(hostPort)
                              .arg(tcpSocket ? int(tcpSocket->error()) : -1));
}

namespace {

// Exactly what the device holds: asking for more (readAll) makes a socket
// re-arm its read notifier on every call.
QByteArray takeBuffered(QIODevice *device)
{
    const qint64 available = device->isOpen() ? device->bytesAvailable() : 0;
    return available > 0 ? device->read(available) : QByteArray();
}

} // namespace

void CmdHLinkMedium::EthreadyRead()
{
    if (!tcpSocket)
        return;
    const QByteArray bytes = takeBuffered(tcpSocket);
    if (medium == TcpMedium && !bytes.isEmpty())
        appendReceived(bytes);
}

void CmdHLinkMedium::serialreadyRead()
{
    if (!serialPort)
        return;
    const QByteArray bytes = takeBuffered(serialPort);
    if (medium == SerialMedium && !bytes.isEmpty())
        appendReceived(bytes);
}

void CmdHLinkMedium::takeAvailable()
{
    QIODevice *device = activeDevice();
    if (!device)
        return;
    const QByteArray bytes = takeBuffered(device);
    if (!bytes.isEmpty())
        appendReceived(bytes);
}

void CmdHLinkMedium::appendReceived(const QByteArray &bytes)
{
    arrived += bytes.size();
    if (rawReceived.size() < kRawLogCap)
        rawReceived += bytes.left(kRawLogCap - rawReceived.size());
    if (HLinkFrame::appendReceived(&recvBuffer, bytes))
        garbageSeen = true;
}

int CmdHLinkMedium::lineTimeMs(int chars) const
{
    if (medium != SerialMedium || lineBaud <= 0)
        return 0;
    return int((static_cast<long long>(chars) * 10 * 1000 + lineBaud - 1) / lineBaud);
}

int CmdHLinkMedium::restLimitMs(int words, int answerChars) const
{
    return qMax(kMinRestMs, words * frameGap * 6 + lineTimeMs(answerChars));
}

bool CmdHLinkMedium::waitFailedSoftly()
{
    if (!linkUp())
        return false;
    if (medium != SerialMedium)
        return true;
    // A serial wait that ends early on an error other than the timeout means
    // the device went away (a USB adapter pulled, the other side of a
    // pseudo-terminal closed): waiting on would only spin.
    const QSerialPort::SerialPortError error = serialPort->error();
    serialPort->clearError();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return true;
    serialPort->close();
    return false;
}

void CmdHLinkMedium::startExchange()
{
    // Whatever is already here answers no request of this exchange.
    takeAvailable();
    recvBuffer.clear();
    garbageSeen = false;
    arrived = 0;
    rawReceived.clear();
}

bool CmdHLinkMedium::takeFrame(QByteArray *frame)
{
    bool noise = false;
    const bool taken = HLinkFrame::takeFrame(&recvBuffer, frame, &noise);
    garbageSeen = garbageSeen || noise;
    return taken;
}

bool CmdHLinkMedium::waitForBytes(const QDeadlineTimer &deadline)
{
    QIODevice *device = activeDevice();
    if (!device || !linkUp())
        return false;
    return device->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))) || waitFailedSoftly();
}

// ---------------------------------------------------------------- for the commands

int CmdHLinkMedium::nextSid()
{
    const int current = sid;
    sid = (sid + 1) & 0xFF;
    return current;
}

QString CmdHLinkMedium::peerText() const
{
    // A serial line has no peer address.
    if (medium == TcpMedium)
        return QStringLiteral("%1:%2").arg(hostAddress.toString()).arg(hostPort);
    return QStringLiteral(":0");
}

void CmdHLinkMedium::logLine(QtMsgType type, const QString &text)
{
    if (type == QtWarningMsg)
        qWarning("%s", qUtf8Printable(text));
    else
        qDebug("%s", qUtf8Printable(text));
}
