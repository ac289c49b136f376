#ifndef CMDHLINK_H
#define CMDHLINK_H

// Host Link protocol object: one PLC link over a serial port or a TCP
// connection (one medium active at a time), one request/answer exchange at a
// time, with the "FA" frames of HLinkFrame.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QIODevice;
class QSerialPort;
class QTcpSocket;

class CmdHLink : public QObject
{
    Q_OBJECT

public:
    enum Medium { NoMedium, SerialMedium, TcpMedium };

    explicit CmdHLink(QObject *parent = nullptr);
    ~CmdHLink() override;

    // Transport. 0 success, 1 nothing to act on, negative failure.
    int serialConnectDrive(QString portName, int baudRate, int dataBits, int stopBits, QString parity);
    int serialDisConnectDrive();
    int EthConnectDrive(QString ip, int port);
    int EthDisConnectDrive();
    int DestroyFree();
    int deletetcpSocket();
    int deleteSerialPort();
    // Writes the frame to the active medium: 0, or 1 without one.
    int Only_send(QByteArray frame);
    // One exchange: drops stale input, sends `frame` and waits for the first
    // complete answer that belongs to it (answers for another unit or SID are
    // dropped). Up to 2000 ms (plus the request's own line time) for the
    // first byte, then `restMs` for the rest. 0: the answer is appended to
    // `answer`; -1 bytes came but no complete answer (they are appended);
    // -2 no answer; -3 no link.
    int SendData(QByteArray frame, QByteArray &answer, int restMs);

    // Frames. 0 success; -1 bad answer; -2 no answer; -3 no link.
    // Reads `wordCount` words and appends their 4 digit values per word.
    int read_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray *out);
    // Writes `wordCount` words from `data` (4 digit values per word).
    int write_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray data);
    // Writes one bit per byte of `bits` (0/1) from bit `bitNumber` of `wordAddress` on.
    int writeBits_cmd(int unit, int bitArea, int wordAddress, int bitNumber, QString tagAddress, QByteArray bits);

    unsigned char Fcs_Check(QByteArray data, int n) const;
    unsigned short GetHexconversionchar(unsigned short value) const;
    unsigned short GetcharconversionHex(unsigned short character) const;

    Medium activeMedium() const { return medium; }
    int frameGapMs() const { return frameGap; }
    // Rest-of-answer limit for an answer of `answerChars` carrying `words` words.
    int restLimitMs(int words, int answerChars) const;

    bool debugOn = false;

public slots:
    void Ethconnected();
    void Ethdisconnected();
    void EthreadyRead();
    void serialreadyRead();

private:
    enum class Kind { Read, Write };
    // How an exchange ended; resultCode gives the public operations' numbers.
    enum class Outcome { Done, BadAnswer, NoAnswer, NoLink };
    static int resultCode(Outcome outcome);

    QIODevice *activeDevice() const;
    bool linkUp() const;
    bool waitFailedSoftly();
    void takeAvailable();
    void appendReceived(const QByteArray &bytes);
    int lineTimeMs(int chars) const;
    int nextSid();
    void startExchange();
    Outcome transfer(const QByteArray &frame, QByteArray *answer, int restMs);
    bool takeOwnAnswer(const QByteArray &request, QByteArray *answer, bool *answering);
    Outcome exchange(const QByteArray &request, Kind kind, int words, const QString &tagAddress, QByteArray *digits);
    QString peerText() const;
    void logFrames(Kind kind, const QString &tagAddress, const QByteArray &request, const QByteArray &answer) const;
    void warnBadAnswer(const QString &tagAddress, const QString &why, const QByteArray &answer) const;

    QByteArray recvBuffer;
    QByteArray rawReceived; // every byte of the current exchange, for the log
    QSerialPort *serialPort = nullptr;
    QHostAddress hostAddress;
    QTcpSocket *tcpSocket = nullptr;
    int hostPort = 0;
    int frameGap = 2;
    int lineBaud = 0;      // baud rate of the open serial line (0: none known)
    Medium medium = NoMedium;
    int sid = 0;           // SID of the next request
    bool garbageSeen = false; // bytes before an "@" were dropped in this exchange
    long long arrived = 0;    // bytes received in this exchange since its last mark
    int droppedAnswers = 0;   // foreign answers dropped in this exchange
};

#endif // CMDHLINK_H
