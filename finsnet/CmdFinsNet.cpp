#include "CmdFinsNet.h"

#include <QMessageLogger>
#include <QTcpSocket>

#include <cstdlib>

#include "FinsFrame.h"

namespace {

// Traces and warnings; %1 address, %2 port, %3 tag, %4 count, %5 bytes.
const char kReadCommand[] = "lib[FinsNet]读命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kResponse[] = "lib[FinsNet]响应 %1:%2 Area=%3  len = %4 msg : %5";
const char kBitWriteCommand[] = "lib[FinsNet]写命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kWordWriteCommand[] = "写命令 %1:%2 Area=%3  len = %4 msg : %5";
const char kWordWriteResponse[] = "响应 %1:%2 Area=%3  len = %4 msg : %5";
const char kEmptyAnswer[] = "lib[FinsNet]返回的报文长度为0 %1:%2 Area=%3  len = %4 msg : %5";
const char kBadLength[] = "lib[FinsNet]报文返回长度错误 %1:%2 Area=%3  len = %4 msg : %5";
const char kBadNodes[] = "lib[FinsNet]目标地址，源地址错误 %1:%2 Area=%3  len = %4 msg : %5";
// The end code replaces %6 before the other fields are filled in.
const char kBadEndCode[] = "lib[FinsNet]报文结束码错误 %1:%2 Area=%3  len = %4 code = %6 msg : %5";

// Header error codes of a refused node request that asking for automatic
// assignment cures: node in use, node out of range, node equal to the PLC's.
bool isNodeRefusal(quint32 errorCode)
{
    return errorCode == 0x21 || errorCode == 0x23 || errorCode == 0x24;
}

constexpr int kMaxBuffered = 64 * 1024;

} // namespace

CmdFinsNet::CmdFinsNet() = default;

CmdFinsNet::~CmdFinsNet()
{
    if (tcpSocket) {
        if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
            DisConnectDrive();
        deletetcpSocket();
    }
}

int CmdFinsNet::ConnectDrive(QString ip, int port)
{
    if (!tcpSocket) {
        tcpSocket = new QTcpSocket(this);
        connect(tcpSocket, &QTcpSocket::connected, this, &CmdFinsNet::myconnected);
        connect(tcpSocket, &QTcpSocket::disconnected, this, &CmdFinsNet::mydisconnected);
        connect(tcpSocket, &QTcpSocket::readyRead, this, &CmdFinsNet::myreadyRead);
    }
    hostPort = port;
    if (!hostAddress.setAddress(ip))
        return -1;
    // A port the socket cannot take would be truncated to another one.
    if (port < 1 || port > 65535)
        return -1;
    const int opened = openConnection();
    if (opened != 0)
        return opened;
    if (First_handshake() == 0)
        return 0;
    DisConnectDrive();
    return -2;
}

int CmdFinsNet::openConnection()
{
    tcpSocket->abort();
    recvBuffer.clear();
    tcpSocket->connectToHost(hostAddress, quint16(hostPort), QIODevice::ReadWrite);
    tcpSocket->waitForConnected(ConnectTimeoutMs);
    const auto state = tcpSocket->state();
    if (state != QAbstractSocket::ConnectingState && state != QAbstractSocket::ConnectedState)
        return -3;
    return 0;
}

int CmdFinsNet::First_handshake()
{
    // Node 255 does not exist; node 0 lets the PLC assign one.
    quint8 requested = quint8(std::rand() & 0xFF);
    if (requested == 0xFF)
        requested = 0;
    NodeAnswer answer = askNode(requested);
    if (answer == NodeAnswer::Refused && requested != 0) {
        // A refusal by error notice is followed by the PLC closing the
        // connection: ask again on a fresh one.
        if (openConnection() != 0)
            return 1;
        answer = askNode(0);
    }
    if (answer != NodeAnswer::Assigned)
        return 1;
    sid = 0;
    return 0;
}

CmdFinsNet::NodeAnswer CmdFinsNet::askNode(quint8 requested)
{
    QByteArray answer;
    if (SendData(FinsFrame::nodeRequest(requested), answer, 50) != 0)
        return NodeAnswer::Failed;
    const quint32 command = FinsFrame::tcpCommand(answer);
    const quint32 error = FinsFrame::tcpErrorCode(answer);
    if ((command == FinsFrame::NodeAnswer || command == FinsFrame::ErrorNotice) && isNodeRefusal(error))
        return NodeAnswer::Refused;
    if (command != FinsFrame::NodeAnswer || answer.size() != 24 || error != 0)
        return NodeAnswer::Failed;
    clientNode = quint8(answer.at(19));
    serverNode = quint8(answer.at(23));
    return NodeAnswer::Assigned;
}

int CmdFinsNet::SendData(QByteArray frame, QByteArray &answer, int gate)
{
    if (gate < 1)
        return -1;
    if (sendFrame(frame) != 0)
        return -1;
    QByteArray received;
    const int result = nextFrame(QDeadlineTimer(ExchangeTimeoutMs), &received);
    if (result != 0)
        return -1;
    answer.append(received);
    return 0;
}

int CmdFinsNet::Connection_status()
{
    if (tcpSocket && tcpSocket->state() == QAbstractSocket::ConnectedState)
        return 0;
    return -3;
}

int CmdFinsNet::DisConnectDrive()
{
    if (!tcpSocket)
        return 1;
    tcpSocket->close();
    tcpSocket->disconnectFromHost();
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState
        && !tcpSocket->waitForDisconnected(DisconnectTimeoutMs))
        tcpSocket->abort();
    recvBuffer.clear();
    return 0;
}

int CmdFinsNet::deletetcpSocket()
{
    if (tcpSocket) {
        disconnect(tcpSocket, nullptr, this, nullptr);
        delete tcpSocket;
        tcpSocket = nullptr;
    }
    return 0;
}

int CmdFinsNet::DestroyFree()
{
    if (!tcpSocket)
        return 1;
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
        DisConnectDrive();
    deletetcpSocket();
    return 0;
}

void CmdFinsNet::myconnected()
{
}

void CmdFinsNet::mydisconnected()
{
    QMessageLogger().warning().noquote()
        << QStringLiteral("lib[FinsNet]%1:%2 Disconnected=").arg(hostAddress.toString()).arg(hostPort)
        << (tcpSocket ? tcpSocket->error() : QAbstractSocket::UnknownSocketError);
}

void CmdFinsNet::myreadyRead()
{
    if (!tcpSocket)
        return;
    // Exactly what is buffered: asking the socket for more than that makes
    // it re-arm its read notifier on every call.
    const qint64 available = tcpSocket->bytesAvailable();
    if (available > 0)
        recvBuffer.append(tcpSocket->read(available));
    // Nobody asked for this much: it is stale, and keeping it would only grow.
    if (recvBuffer.size() > kMaxBuffered)
        recvBuffer.clear();
}

// ---- exchanges ----------------------------------------------------------

quint8 CmdFinsNet::nextSid()
{
    return sid++;
}

bool CmdFinsNet::socketGone() const
{
    if (!tcpSocket)
        return true;
    const auto state = tcpSocket->state();
    return state != QAbstractSocket::ConnectedState && state != QAbstractSocket::ConnectingState
        && state != QAbstractSocket::HostLookupState;
}

void CmdFinsNet::dropStale()
{
    recvBuffer.clear();
    if (tcpSocket && tcpSocket->bytesAvailable() > 0)
        tcpSocket->read(tcpSocket->bytesAvailable());
}

int CmdFinsNet::sendFrame(const QByteArray &frame)
{
    if (socketGone())
        return -3;
    dropStale();
    if (tcpSocket->write(frame) != frame.size())
        return -1;
    tcpSocket->flush();
    return 0;
}

// Waits for the next complete frame. 0: `*frame` holds it; -1: garbage was
// dropped (`*frame` holds it); -2: the deadline passed (`*frame` holds what
// came of an incomplete frame); -3: the connection is gone. Connection
// confirmations (command 6) are skipped.
int CmdFinsNet::nextFrame(const QDeadlineTimer &deadline, QByteArray *frame)
{
    for (;;) {
        int size = 0;
        switch (FinsFrame::findFrame(recvBuffer, &size)) {
        case FinsFrame::Scan::Complete:
            *frame = recvBuffer.left(size);
            recvBuffer.remove(0, size);
            if (FinsFrame::tcpCommand(*frame) == FinsFrame::ConnectionConfirm)
                continue;
            return 0;
        case FinsFrame::Scan::Garbage:
            *frame = recvBuffer;
            dropStale();
            return -1;
        case FinsFrame::Scan::Incomplete:
            break;
        }
        if (socketGone()) {
            *frame = recvBuffer;
            return -3;
        }
        if (deadline.hasExpired()) {
            *frame = recvBuffer;
            return -2;
        }
        tcpSocket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        if (tcpSocket)
            myreadyRead();
    }
}

// Sends a command frame and waits for its own answer: frames with another SID
// or command code are stale or foreign and are dropped while waiting goes on.
// 0 with the answer; -1 garbage, error notice or malformed answer (`*answer`
// holds it); -2 no answer in time (`*answer` holds a partial one, if any);
// -3 no connection.
int CmdFinsNet::transact(const QByteArray &request, QByteArray *answer)
{
    const int sent = sendFrame(request);
    if (sent != 0)
        return sent;
    const QDeadlineTimer deadline(ExchangeTimeoutMs);
    for (;;) {
        QByteArray frame;
        const int result = nextFrame(deadline, &frame);
        if (result != 0) {
            *answer = frame;
            return (result == -2 && !frame.isEmpty()) ? -1 : result;
        }
        const quint32 command = FinsFrame::tcpCommand(frame);
        if (command == FinsFrame::ErrorNotice) {
            *answer = frame;
            return -1;
        }
        if (command != FinsFrame::FinsPayload)
            continue;
        switch (FinsFrame::matchAnswer(request, frame)) {
        case FinsFrame::Match::Ours:
            *answer = frame;
            return 0;
        case FinsFrame::Match::Malformed:
            *answer = frame;
            return -1;
        case FinsFrame::Match::Foreign:
            break;
        }
    }
}

QString CmdFinsNet::logLine(const char *format, const QString &addressText, int count,
                            const QByteArray &bytes) const
{
    // One pass, so a tag text holding "%4" is not substituted again.
    return QString::fromUtf8(format).arg(hostAddress.toString(), QString::number(hostPort), addressText,
                                         QString::number(count), QString::fromLatin1(bytes.toHex()));
}

void CmdFinsNet::warnEndCode(const QString &addressText, int count, const QByteArray &answer) const
{
    const QString code =
        QStringLiteral("%1").arg(FinsFrame::endCode(answer), 4, 16, QLatin1Char('0')).toUpper();
    const QString format = QString::fromUtf8(kBadEndCode).replace(QLatin1String("%6"), code);
    QMessageLogger().warning().noquote() << logLine(format.toUtf8().constData(), addressText, count, answer);
}

// ---- memory-area commands -------------------------------------------------

int CmdFinsNet::Read_area(int wordAddress, int byteLen, QByteArray *out, int areaCode, QString addressText)
{
    if (Connection_status() != 0)
        return -3;
    if (byteLen < 0)
        return -1;
    // Larger reads go out as several commands in address order; the caller
    // gets all of the data or none of it.
    const int maxBytes = 2 * FinsFrame::MaxReadWords;
    QByteArray collected;
    int done = 0;
    do {
        const int partBytes = qMin(byteLen - done, maxBytes);
        const QByteArray frame = FinsFrame::readFrame(serverNode, clientNode, nextSid(), areaCode,
                                                      wordAddress + done / 2, partBytes / 2);
        const int result = Message_parsing(frame, &collected, partBytes, addressText);
        if (result != 0)
            return result;
        done += partBytes;
    } while (done < byteLen);
    out->append(collected);
    return 0;
}

int CmdFinsNet::Message_parsing(QByteArray frame, QByteArray *out, int byteLen, QString addressText)
{
    // Only a complete command frame can be matched with its answer.
    if (frame.size() < FinsFrame::OffData + 4 || byteLen < 0)
        return -1;
    if (debugOn)
        QMessageLogger().debug().noquote() << logLine(kReadCommand, addressText, byteLen, frame);
    QByteArray answer;
    const int result = transact(frame, &answer);
    if (debugOn)
        QMessageLogger().debug().noquote() << logLine(kResponse, addressText, byteLen, answer);
    if (result == -3)
        return -3;
    if (answer.isEmpty()) {
        QMessageLogger().warning().noquote() << logLine(kEmptyAnswer, addressText, byteLen, answer);
        return -2;
    }
    if (result != 0) {
        QMessageLogger().warning().noquote() << logLine(kBadLength, addressText, byteLen, answer);
        return -1;
    }
    if (!FinsFrame::nodesMatch(frame, answer)) {
        QMessageLogger().warning().noquote() << logLine(kBadNodes, addressText, byteLen, answer);
        return -1;
    }
    if (!FinsFrame::isNormalCompletion(FinsFrame::endCode(answer))) {
        warnEndCode(addressText, byteLen, answer);
        return -1;
    }
    if (answer.size() != byteLen + FinsFrame::ResponseHeadSize) {
        QMessageLogger().warning().noquote() << logLine(kBadLength, addressText, byteLen, answer);
        return -1;
    }
    out->append(answer.mid(FinsFrame::OffData, byteLen));
    return 0;
}

int CmdFinsNet::Write_area(int wordAddress, int byteLen, QByteArray data, int areaCode, QString addressText)
{
    if (Connection_status() != 0)
        return -3;
    if (byteLen < 0)
        return -1;
    // Whole words only, and never more than the caller gave.
    const int words = qMin(byteLen, data.size()) / 2;
    int done = 0;
    do {
        const int partWords = qMin(words - done, FinsFrame::MaxWriteWords);
        const QByteArray frame = FinsFrame::writeWordsFrame(serverNode, clientNode, nextSid(), areaCode,
                                                            wordAddress + done, data.mid(2 * done, 2 * partWords));
        const int result = writeCommand(frame, 2 * partWords, false, addressText);
        if (result != 0)
            return result;
        done += partWords;
    } while (done < words);
    return 0;
}

int CmdFinsNet::Write_bool(int wordAddress, int itemCount, QByteArray data, int bitNumber, int areaCode,
                           QString addressText)
{
    if (Connection_status() != 0)
        return -3;
    if (itemCount < 0 || bitNumber < 0)
        return -1;
    const int items = qMin(itemCount, data.size());
    int done = 0;
    do {
        const int partItems = qMin(items - done, FinsFrame::MaxWriteBits);
        const int firstBit = bitNumber + done;
        const QByteArray frame =
            FinsFrame::writeBitsFrame(serverNode, clientNode, nextSid(), areaCode, wordAddress + firstBit / 16,
                                      firstBit % 16, data.mid(done, partItems));
        const int result = writeCommand(frame, partItems, true, addressText);
        if (result != 0)
            return result;
        done += partItems;
    } while (done < items);
    return 0;
}

int CmdFinsNet::writeCommand(const QByteArray &frame, int itemCount, bool bitWrite, const QString &addressText)
{
    if (debugOn) {
        QMessageLogger().debug().noquote()
            << logLine(bitWrite ? kBitWriteCommand : kWordWriteCommand, addressText, itemCount, frame);
    }
    QByteArray answer;
    const int result = transact(frame, &answer);
    if (debugOn) {
        QMessageLogger().debug().noquote()
            << logLine(bitWrite ? kResponse : kWordWriteResponse, addressText, itemCount, answer);
    }
    if (result == -3)
        return -3;
    if (answer.isEmpty())
        return -2;
    if (result != 0 || answer.size() < FinsFrame::ResponseHeadSize)
        return -1;
    if (!FinsFrame::isNormalCompletion(FinsFrame::endCode(answer))) {
        warnEndCode(addressText, itemCount, answer);
        return -1;
    }
    return 0;
}
