#include "CmdHLink.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QTcpSocket>

#include "HLinkFrame.h"

namespace {

constexpr int kConnectWaitMs = 30000;
constexpr int kFirstByteMs = 2000;
constexpr int kMinRestMs = 50;
// Raw bytes of one exchange kept for the log (a little beyond the largest answer).
constexpr int kRawLogCap = 2 * HLinkFrame::ReceiveCap;

QString lowerHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

void logLine(QtMsgType type, const QString &text)
{
    if (type == QtWarningMsg)
        qWarning("%s", qUtf8Printable(text));
    else
        qDebug("%s", qUtf8Printable(text));
}

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

CmdHLink::CmdHLink(QObject *parent)
    : QObject(parent)
{
}

CmdHLink::~CmdHLink()
{
    DestroyFree();
}

// ---------------------------------------------------------------- transport

int CmdHLink::serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity)
{
    if (!serialPort) {
        serialPort = new QSerialPort(this);
        connect(serialPort, &QSerialPort::readyRead, this, &CmdHLink::serialreadyRead);
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

    if (medium == TcpMedium && tcpSocket)
        tcpSocket->abort();
    medium = SerialMedium;
    sid = 0;
    recvBuffer.clear();
    return 0;
}

int CmdHLink::serialDisConnectDrive()
{
    if (!serialPort || !serialPort->isOpen())
        return 1;
    serialPort->clear(QSerialPort::AllDirections);
    serialPort->close();
    return 0;
}

int CmdHLink::EthConnectDrive(QString ip, int port)
{
    if (!tcpSocket) {
        tcpSocket = new QTcpSocket(this);
        connect(tcpSocket, &QTcpSocket::connected, this, &CmdHLink::Ethconnected);
        connect(tcpSocket, &QTcpSocket::disconnected, this, &CmdHLink::Ethdisconnected);
        connect(tcpSocket, &QTcpSocket::readyRead, this, &CmdHLink::EthreadyRead);
    }
    QHostAddress address;
    if (!address.setAddress(ip))
        return -1;
    // A new connection replaces the old one; it never stays on the old host.
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
        tcpSocket->abort();
    hostAddress = address;
    hostPort = port;
    recvBuffer.clear();
    tcpSocket->connectToHost(hostAddress, static_cast<quint16>(port), QIODevice::ReadWrite);
    if (!tcpSocket->waitForConnected(kConnectWaitMs)) {
        tcpSocket->abort();
        return -3;
    }
    if (medium == SerialMedium)
        serialDisConnectDrive();
    medium = TcpMedium;
    sid = 0;
    return 0;
}

int CmdHLink::EthDisConnectDrive()
{
    if (!tcpSocket)
        return 1;
    tcpSocket->disconnectFromHost();
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState && !tcpSocket->waitForDisconnected(kConnectWaitMs))
        tcpSocket->abort();
    recvBuffer.clear();
    return 0;
}

int CmdHLink::DestroyFree()
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

int CmdHLink::deletetcpSocket()
{
    if (tcpSocket) {
        disconnect(tcpSocket, nullptr, this, nullptr);
        tcpSocket->abort();
        delete tcpSocket;
        tcpSocket = nullptr;
    }
    return 0;
}

int CmdHLink::deleteSerialPort()
{
    if (serialPort) {
        disconnect(serialPort, nullptr, this, nullptr);
        delete serialPort;
        serialPort = nullptr;
    }
    return 0;
}

QIODevice *CmdHLink::activeDevice() const
{
    if (medium == TcpMedium)
        return tcpSocket;
    if (medium == SerialMedium)
        return serialPort;
    return nullptr;
}

bool CmdHLink::linkUp() const
{
    if (medium == TcpMedium)
        return tcpSocket && tcpSocket->state() == QAbstractSocket::ConnectedState;
    if (medium == SerialMedium)
        return serialPort && serialPort->isOpen();
    return false;
}

int CmdHLink::Only_send(QByteArray frame)
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

void CmdHLink::Ethconnected()
{
}

void CmdHLink::Ethdisconnected()
{
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

void CmdHLink::EthreadyRead()
{
    if (!tcpSocket)
        return;
    const QByteArray bytes = takeBuffered(tcpSocket);
    if (medium == TcpMedium && !bytes.isEmpty())
        appendReceived(bytes);
}

void CmdHLink::serialreadyRead()
{
    if (!serialPort)
        return;
    const QByteArray bytes = takeBuffered(serialPort);
    if (medium == SerialMedium && !bytes.isEmpty())
        appendReceived(bytes);
}

void CmdHLink::takeAvailable()
{
    QIODevice *device = activeDevice();
    if (!device)
        return;
    const QByteArray bytes = takeBuffered(device);
    if (!bytes.isEmpty())
        appendReceived(bytes);
}

void CmdHLink::appendReceived(const QByteArray &bytes)
{
    arrived += bytes.size();
    if (rawReceived.size() < kRawLogCap)
        rawReceived += bytes.left(kRawLogCap - rawReceived.size());
    if (HLinkFrame::appendReceived(&recvBuffer, bytes))
        garbageSeen = true;
}

int CmdHLink::lineTimeMs(int chars) const
{
    if (medium != SerialMedium || lineBaud <= 0)
        return 0;
    return int((static_cast<long long>(chars) * 10 * 1000 + lineBaud - 1) / lineBaud);
}

int CmdHLink::restLimitMs(int words, int answerChars) const
{
    return qMax(kMinRestMs, words * frameGap * 6 + lineTimeMs(answerChars));
}

bool CmdHLink::waitFailedSoftly()
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

int CmdHLink::SendData(QByteArray frame, QByteArray &answer, int restMs)
{
    return resultCode(transfer(frame, &answer, restMs));
}

int CmdHLink::resultCode(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done: return 0;
    case Outcome::BadAnswer: return -1;
    case Outcome::NoAnswer: return -2;
    case Outcome::NoLink: break;
    }
    return -3;
}

void CmdHLink::startExchange()
{
    // Whatever is already here answers no request of this exchange.
    takeAvailable();
    recvBuffer.clear();
    garbageSeen = false;
    arrived = 0;
    droppedAnswers = 0;
    rawReceived.clear();
}

CmdHLink::Outcome CmdHLink::transfer(const QByteArray &frame, QByteArray *answer, int restMs)
{
    QIODevice *device = activeDevice();
    if (!device || !linkUp())
        return Outcome::NoLink;
    startExchange();
    if (Only_send(frame) != 0)
        return Outcome::NoLink;
    const QDeadlineTimer firstByte(kFirstByteMs + lineTimeMs(frame.size()));
    QDeadlineTimer rest(QDeadlineTimer::Forever);
    bool answering = false;
    for (;;) {
        takeAvailable();
        if (takeOwnAnswer(frame, answer, &answering))
            return Outcome::Done;
        if (!answering && arrived > 0) {
            answering = true;
            rest.setRemainingTime(restMs);
        }
        const QDeadlineTimer &deadline = answering ? rest : firstByte;
        if (deadline.hasExpired())
            break;
        if (!linkUp())
            return Outcome::NoLink;
        if (!device->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))) && !waitFailedSoftly())
            return Outcome::NoLink;
    }
    if (!recvBuffer.isEmpty() || garbageSeen) {
        *answer += rawReceived;
        recvBuffer.clear();
        return Outcome::BadAnswer;
    }
    return Outcome::NoAnswer;
}

// Takes complete frames off the buffer until one belongs to `request`;
// another unit's answers and late ones to earlier requests are dropped.
bool CmdHLink::takeOwnAnswer(const QByteArray &request, QByteArray *answer, bool *answering)
{
    QByteArray candidate;
    bool noise = false;
    while (HLinkFrame::takeFrame(&recvBuffer, &candidate, &noise)) {
        garbageSeen = garbageSeen || noise;
        if (candidate.isEmpty())
            continue;
        if (HLinkFrame::checkAnswer(candidate, request).verdict != HLinkFrame::Verdict::Foreign) {
            *answer += candidate;
            return true;
        }
        ++droppedAnswers;
        // Nothing else came: the first-byte wait for our own answer goes on.
        if (recvBuffer.isEmpty() && !garbageSeen) {
            *answering = false;
            arrived = 0;
        }
    }
    return false;
}

// ------------------------------------------------------------------- frames

unsigned char CmdHLink::Fcs_Check(QByteArray data, int n) const
{
    return HLinkFrame::fcs(data, n);
}

unsigned short CmdHLink::GetHexconversionchar(unsigned short value) const
{
    return HLinkFrame::hexChar(value);
}

unsigned short CmdHLink::GetcharconversionHex(unsigned short character) const
{
    return HLinkFrame::digitOf(character);
}

int CmdHLink::nextSid()
{
    const int current = sid;
    sid = (sid + 1) & 0xFF;
    return current;
}

QString CmdHLink::peerText() const
{
    // A serial line has no peer address.
    if (medium == TcpMedium)
        return QStringLiteral("%1:%2").arg(hostAddress.toString()).arg(hostPort);
    return QStringLiteral(":0");
}

void CmdHLink::logFrames(Kind kind, const QString &tagAddress, const QByteArray &request,
                         const QByteArray &answer) const
{
    if (!debugOn)
        return;
    const QString what = kind == Kind::Read ? QString::fromUtf8("读命令") : QString::fromUtf8("写命令");
    logLine(QtDebugMsg, QStringLiteral("lib[HLink]%1 %2 Area=%3  msg : %4")
                            .arg(what, peerText(), tagAddress, lowerHex(request)));
    logLine(QtDebugMsg, QStringLiteral("lib[HLink]%1 %2 Area=%3  msg : %4")
                            .arg(QString::fromUtf8("响应"), peerText(), tagAddress, lowerHex(answer)));
}

void CmdHLink::warnBadAnswer(const QString &tagAddress, const QString &why, const QByteArray &answer) const
{
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 bad answer: %3  msg : %4")
                              .arg(peerText(), tagAddress, why, lowerHex(answer)));
}

CmdHLink::Outcome CmdHLink::exchange(const QByteArray &request, Kind kind, int words, const QString &tagAddress,
                                     QByteArray *digits)
{
    QByteArray answer;
    const Outcome outcome =
        transfer(request, &answer, restLimitMs(qMax(words, 1), HLinkFrame::expectedAnswerLength(request)));
    logFrames(kind, tagAddress, request, answer);
    if (outcome == Outcome::BadAnswer) {
        warnBadAnswer(tagAddress, garbageSeen && answer.indexOf("*\r") < 0 ? QStringLiteral("no frame in what came")
                                                                            : QStringLiteral("incomplete answer"),
                      answer);
        return outcome;
    }
    if (outcome == Outcome::NoAnswer && droppedAnswers > 0) {
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 no answer; dropped %3 answer(s) for another unit or request")
                                  .arg(peerText(), tagAddress)
                                  .arg(droppedAnswers));
    }
    if (outcome != Outcome::Done)
        return outcome;
    const HLinkFrame::AnswerCheck check = HLinkFrame::checkAnswer(answer, request);
    if (check.verdict != HLinkFrame::Verdict::Accepted) {
        warnBadAnswer(tagAddress, check.failure, answer);
        return Outcome::BadAnswer;
    }
    if (digits)
        *digits = check.digits;
    return Outcome::Done;
}

int CmdHLink::read_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray *out)
{
    if (wordCount <= 0 || !out)
        return -2;
    QByteArray all;
    for (int done = 0; done < wordCount;) {
        const int n = qMin(HLinkFrame::MaxReadWords, wordCount - done);
        const QByteArray request = HLinkFrame::readRequest(unit, nextSid(), area, wordAddress + done, n);
        QByteArray part;
        const Outcome outcome = exchange(request, Kind::Read, n, tagAddress, &part);
        if (outcome != Outcome::Done)
            return resultCode(outcome);
        all += part;
        done += n;
    }
    out->append(all);
    return 0;
}

int CmdHLink::write_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray data)
{
    if (wordCount <= 0 || data.size() < 4LL * wordCount)
        return -1;
    for (int done = 0; done < wordCount;) {
        const int n = qMin(HLinkFrame::MaxWriteWords, wordCount - done);
        const QByteArray request =
            HLinkFrame::writeRequest(unit, nextSid(), area, wordAddress + done, data.mid(4 * done, 4 * n));
        const Outcome outcome = exchange(request, Kind::Write, n, tagAddress, nullptr);
        if (outcome != Outcome::Done)
            return resultCode(outcome);
        done += n;
    }
    return 0;
}

int CmdHLink::writeBits_cmd(int unit, int bitArea, int wordAddress, int bitNumber, QString tagAddress, QByteArray bits)
{
    if (bits.isEmpty() || bitNumber < 0)
        return -1;
    for (int done = 0; done < bits.size();) {
        const int n = qMin(HLinkFrame::MaxBitItems, bits.size() - done);
        const long long position = static_cast<long long>(bitNumber) + done;
        const QByteArray request = HLinkFrame::bitWriteRequest(unit, nextSid(), bitArea,
                                                               int(wordAddress + position / 16), int(position % 16),
                                                               bits.mid(done, n));
        const Outcome outcome = exchange(request, Kind::Write, (n + 15) / 16, tagAddress, nullptr);
        if (outcome != Outcome::Done)
            return resultCode(outcome);
        done += n;
    }
    return 0;
}
