#ifndef HOSTLINKLINK_H
#define HOSTLINKLINK_H

// The line under a Host Link command set (FA in hlink/, C-mode in hlinkc/):
// a serial port (HostLinkSerialLink) or a TCP connection (HostLinkTcpLink)
// behind one interface. It opens and closes, sends bytes, and hands back
// what comes as pieces of the capped reassembly buffer (frames, long-block
// frames, lone CRs), each wait with a deadline. It knows no command set:
// matching an answer to its request is the command set's.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include "HostLinkReceiveBuffer.h"

class HostLinkLink
{
public:
    enum class Wait {
        Piece,   // a complete piece was taken into *piece
        Bytes,   // bytes arrived, no piece complete yet (for a two-stage wait)
        Timeout, // the deadline passed
        Gone     // the line went away while waiting (closed, device pulled)
    };

    virtual ~HostLinkLink();

    // 0 open; else ConnectDrive's number (-1 the port could not be opened,
    // -3 no TCP connection) and lastError() says why in words.
    virtual int open() = 0;
    // 0 closed, 1 nothing was open.
    virtual int close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool isSerial() const = 0;
    // Writes all of `bytes`; false when the line is not open.
    virtual bool send(const QByteArray &bytes) = 0;
    // Bytes sent that the peer has not acknowledged yet (TCP; a serial line
    // has delivered what it sent).
    virtual bool unacknowledged() const { return false; }

    // Line time of `chars` characters at the serial rate (0 on TCP), and the
    // pause a controller may leave between characters of one answer.
    virtual int lineTimeMs(int chars) const = 0;
    virtual int frameGapMs() const = 0;
    // "address:port" on TCP, ":0" on a serial line (as the log lines have it).
    virtual QString peerText() const = 0;
    QString lastError() const { return m_error; }
    // The plug-in's prefix of the link's own warning lines ("lib[HLink]").
    void setLogPrefix(const QString &prefix) { m_prefix = prefix; }
    QString logPrefix() const { return m_prefix; }

    // Drops what came before a new request: it answers none of it.
    void discardInput();
    // Takes the next piece, waiting until `deadline` when none is complete.
    Wait receive(HostLinkReceiveBuffer::Expect expect, const QDeadlineTimer &deadline, HostLinkPiece *piece);
    // Noise was dropped since discardInput().
    bool noiseDropped() const { return m_buffer.noiseDropped(); }
    // What is buffered but no piece; every byte since discardInput (capped), for the log.
    const QByteArray &pending() const { return m_buffer.pending(); }
    const QByteArray &received() const { return m_received; }

protected:
    // What the device holds now, read without asking first; empty when none.
    virtual QByteArray readAvailable() = 0;
    // Blocks until bytes arrive or `deadline` passes; false when the line went away.
    virtual bool waitForBytes(const QDeadlineTimer &deadline) = 0;
    void setError(const QString &error) { m_error = error; }
    // Takes what arrived into the buffer; the named handlers call it.
    void takeIn(const QByteArray &bytes);

private:
    HostLinkReceiveBuffer m_buffer;
    QByteArray m_received;
    quint64 m_arrived = 0; // bytes taken in, ever
    QString m_error;
    QString m_prefix = QStringLiteral("lib[HLink]");
};

#endif // HOSTLINKLINK_H
