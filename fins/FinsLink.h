#ifndef FINSLINK_H
#define FINSLINK_H

// The seam between the FINS core (FinsTransfer) and a transport: one command
// out, its answer or an outcome back. A link owns its socket, its framing
// (FINS/TCP header, datagrams), its waits and deadlines, its resends and its
// matching of answers to the one command in flight (stale and foreign frames
// are dropped and counted); it knows nothing of memory areas, splits or
// values. The core builds the commands, checks the answers and writes the
// log lines.

#include <QByteArray>
#include <QString>

#include "FinsCommand.h"
#include "FinsLog.h"
#include "Outcome.h"

// What the core tells the link about the command in flight, so the link's
// own warnings (a resend, an answer for another node) name the tag.
struct FinsExchangeContext {
    const FinsLog *log = nullptr;
    QString tag;
    int count = 0;
    bool write = false; // a memory-area write (its lines differ from a read's)
};

class FinsLink
{
public:
    // Sends `command` (FINS header first, no transport header) and waits
    // for its own answer. Done: `*answer` holds it (FINS header first; SID
    // and command code checked, and on links where nothing else says whom a
    // frame is for, the node numbers too). Otherwise NoAnswer, NotConnected
    // or BadAnswer (bytes came, but no answer: `*answer` holds what came,
    // as on the wire). The Outcome's `request` and `answer` hold the frames
    // as on the wire, for the log.
    virtual Outcome exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer) = 0;
    // `command` as this link puts it on the wire, for the trace before it goes.
    virtual QByteArray wireFrame(const QByteArray &command) const = 0;
    virtual bool isOpen() const = 0;
    // Before every transfer: true when commands can be sent. A link that was
    // asked to (reconnect=on) may connect again here; `*reopened` then says
    // so, and the next command starts again at SID 0.
    virtual bool ready(bool *reopened)
    {
        *reopened = false;
        return isOpen();
    }
    // The node numbers commands must carry on this link (after connecting).
    virtual FinsCommand::Nodes nodes() const = 0;
    // Answers dropped as stale or foreign since the link was opened.
    virtual quint64 droppedAnswers() const = 0;

protected:
    ~FinsLink() = default;
};

#endif // FINSLINK_H
