#ifndef CMDHLINKMEDIUM_H
#define CMDHLINKMEDIUM_H

// The link under the Host Link commands: a serial port or a TCP connection
// (one medium active at a time), sending frames and gathering what comes
// back into a receive buffer (HLinkFrame's assembly: noise before "@"
// dropped, capped), with waits that end early when the medium goes away.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QDeadlineTimer;
class QIODevice;
class QSerialPort;
class QTcpSocket;

class CmdHLinkMedium : public QObject
{
    Q_OBJECT

public:
    enum Medium { NoMedium, SerialMedium, TcpMedium };

    explicit CmdHLinkMedium(QObject *parent = nullptr);
    ~CmdHLinkMedium() override;

    // 0 success, 1 nothing to act on, negative failure.
    int serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity);
    int serialDisConnectDrive();
    int EthConnectDrive(QString ip, int port);
    int EthDisConnectDrive();
    int DestroyFree();
    int deletetcpSocket();
    int deleteSerialPort();
    // Writes the frame to the active medium: 0, or 1 without one.
    int Only_send(QByteArray frame);

    Medium activeMedium() const { return medium; }
    // How the last TCP connect failed, in words.
    QString tcpErrorText() const;
    // A call on a lost or dead TCP link connects again first.
    void setReconnect(bool on) { reconnectOn = on; }
    // Answers dropped as stale or foreign since the last connect.
    quint64 droppedAnswers() const { return dropped; }
    int frameGapMs() const { return frameGap; }
    // Rest-of-answer limit for an answer of `answerChars` carrying `words` words.
    int restLimitMs(int words, int answerChars) const;

public slots:
    void Ethconnected();
    void Ethdisconnected();
    void EthreadyRead();
    void serialreadyRead();

protected:
    bool linkUp() const;
    // With reconnect=on, a lost or dead TCP link is connected again within
    // `timeoutMs`; true when the link is up.
    bool linkReadyWithin(int timeoutMs);
    // Bytes written to the TCP link that its peer has not acknowledged.
    bool unacknowledged() const;
    void countDropped() { ++dropped; }
    // Line time of `chars` characters at the serial rate (0 on TCP).
    int lineTimeMs(int chars) const;
    int nextSid();
    QString peerText() const;
    static void logLine(QtMsgType type, const QString &text);

    // One exchange's receiving: startExchange drops what came before it.
    void startExchange();
    void takeAvailable();
    // The next "*" CR-terminated piece of the buffer (HLinkFrame::takeFrame).
    bool takeFrame(QByteArray *frame);
    // False when the medium went away while waiting.
    bool waitForBytes(const QDeadlineTimer &deadline);
    bool bufferEmpty() const { return recvBuffer.isEmpty(); }
    void clearBuffer() { recvBuffer.clear(); }
    // Bytes before an "@" were dropped since startExchange.
    bool garbageDropped() const { return garbageSeen; }
    // Bytes received since startExchange or resetArrived.
    long long bytesArrived() const { return arrived; }
    void resetArrived() { arrived = 0; }
    // Every byte of this exchange (up to a cap), for the log.
    const QByteArray &rawBytes() const { return rawReceived; }

private:
    QIODevice *activeDevice() const;
    bool openTcp(int timeoutMs);
    bool waitFailedSoftly();
    void appendReceived(const QByteArray &bytes);

    QByteArray recvBuffer;
    QByteArray rawReceived;
    QSerialPort *serialPort = nullptr;
    QHostAddress hostAddress;
    QTcpSocket *tcpSocket = nullptr;
    int hostPort = 0;
    int frameGap = 2;
    int lineBaud = 0;         // baud rate of the open serial line (0: none known)
    Medium medium = NoMedium;
    int sid = 0;              // SID of the next request; 0 after every connect
    bool garbageSeen = false;
    bool reconnectOn = false;
    bool closing = false;      // the driver itself ends the TCP connection
    long long arrived = 0;
    quint64 dropped = 0;
};

#endif // CMDHLINKMEDIUM_H
