#ifndef FINSAREATRANSFER_H
#define FINSAREATRANSFER_H

// Memory-area reads and writes of any size, whatever carries the FINS
// frames: a transfer is split into the commands one 2,012-byte frame holds
// (999 words read, 997 written, 1,984 bits), sent in address order, and it
// stops at the first part that fails. The transport (TCP, UDP) exchanges one
// command at a time: connection, waiting, checks and logging are its own.

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include "FinsMemoryAccess.h"

class FinsAreaTransfer : public FinsMemoryAccess
{
public:
    int Read_area(int wordAddress, int byteLen, QByteArray *out, int areaCode, QString addressText) override;
    int Write_area(int wordAddress, int byteLen, QByteArray data, int areaCode, QString addressText) override;
    int Write_bool(int wordAddress, int itemCount, QByteArray data, int bitNumber, int areaCode,
                   QString addressText) override;

    void setDebug(bool on) override { debugOn = on; }
    bool debug() const { return debugOn; }
    int serverNodeNumber() const { return serverNode; }
    int clientNodeNumber() const { return clientNode; }

protected:
    // How an exchange (or a request refused before one) ended.
    enum class Exchange { Done, BadAnswer, NoAnswer, NotConnected, BadRequest };
    enum class WriteKind { Words, Bits };
    // The numbers FinsMemoryAccess reports: 0, -1, -2, -3.
    static int resultCode(Exchange outcome);

    FinsAreaTransfer(int serverNode, int clientNode);
    ~FinsAreaTransfer() = default;

    virtual bool isConnected() const = 0;
    // Before every transfer: true when commands can be sent (a transport
    // that was asked to may connect again here).
    virtual bool linkReady() { return isConnected(); }
    // One Memory Area Read (a FINS command, no transport header): appends
    // the `byteLen` data bytes of its answer to `*out` when it is Done.
    virtual Exchange readPart(const QByteArray &command, int byteLen, const QString &addressText,
                              QByteArray *out) = 0;
    // One Memory Area Write of `itemCount` bytes (words) or bit items.
    virtual Exchange writePart(const QByteArray &command, int itemCount, WriteKind kind,
                               const QString &addressText) = 0;

    quint8 nextSid() { return sid++; }

    // Log lines. `format` holds %1 address, %2 port, %3 tag, %4 count and
    // %5 the bytes as lower-case hex; the end code's has %6, the end code as
    // four upper-case hex digits.
    QString logLine(const char *format, const QString &addressText, int count, const QByteArray &bytes) const;
    // Debug level, only while frame logging is on.
    void trace(const char *format, const QString &addressText, int count, const QByteArray &bytes) const;
    void warn(const char *format, const QString &addressText, int count, const QByteArray &bytes) const;
    void warnEndCode(const char *format, quint16 endCode, const QString &addressText, int count,
                     const QByteArray &answer) const;

    QHostAddress hostAddress;
    int hostPort = 0;
    bool debugOn = false;

    int serverNode; // DA1 of every command
    int clientNode; // SA1 of every command
    quint8 sid = 0; // SID of the next command
};

#endif // FINSAREATRANSFER_H
