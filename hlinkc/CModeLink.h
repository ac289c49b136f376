#ifndef CMODELINK_H
#define CMODELINK_H

// What the C-mode exchange needs of a line: send bytes, take the next piece
// that ends in CR (a whole "@" ... "*" CR frame, a long-block piece or a
// lone CR) before a deadline, and whether the line is up. Pieces come as
// they arrived; telling frames from noise is the exchange's job.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

class CModeLink
{
public:
    enum class Received { Piece, TimedOut, Down };

    virtual ~CModeLink() = default;
    virtual bool isUp() const = 0;
    virtual bool send(const QByteArray &bytes) = 0;
    // `continuation`: inside a long block, where pieces carry no "@" (a
    // later frame, a lone CR); else what stands before "@" is noise.
    virtual Received receive(QByteArray *piece, const QDeadlineTimer &deadline, bool continuation) = 0;
    // A lost line connects again when its connection text asked for it
    // (reconnect=on), within `timeoutMs`; true when it is up.
    virtual bool reopen(int timeoutMs) { Q_UNUSED(timeoutMs); return isUp(); }
    // Drops whatever arrived before a new command goes out.
    virtual void dropInput() = 0;
    // Time `chars` characters take on the line (0 where there is no line rate).
    virtual int lineTimeMs(int chars) const = 0;
    // "address:port" or the serial device, for log lines.
    virtual QString peerText() const = 0;
};

#endif // CMODELINK_H
