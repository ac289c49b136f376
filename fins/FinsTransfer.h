#ifndef FINSTRANSFER_H
#define FINSTRANSFER_H

// The FINS core of every FINS plug-in: memory-area reads and writes of any
// size over one FinsLink, split by the limits (FinsLimits), with the SIDs,
// the one answer check (FinsAnswer) and the log lines (FinsLog). It does no
// I/O of its own: the link sends and waits. A read goes out in address
// order; a write sends its last part first (a tag that runs off the end of
// an area fails before anything is written), then the others in address
// order. A transfer stops at the first part that fails, so a write that
// fails part-way leaves the parts before it written; a read hands over all
// of its data or none.
//
// Every call ends in an Outcome, which is also kept as lastOutcome() for
// the diagnostics face.

#include <QByteArray>
#include <QString>

#include "FinsLimits.h"
#include "FinsLink.h"
#include "FinsSplit.h"
#include "FinsLog.h"
#include "Outcome.h"

class FinsTransfer
{
public:
    FinsTransfer(FinsLink &link, FinsLog &log);

    // `words` words from `word` of `area`: two bytes per word, high byte
    // first, appended to `*out` when Done.
    Outcome readWords(int area, int word, int words, const QString &tag, QByteArray *out);
    // Whole words of `bytes` (a stray odd byte is not sent) from `word` on.
    Outcome writeWords(int area, int word, const QByteArray &bytes, const QString &tag);
    // One byte (00/01) per bit in `flags`, from bit `bit` of `word` on.
    Outcome writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag);
    // Any other command (controller data, status, clock): `parameters`
    // after the command code; Done with the data after the end code in
    // `*data`, which must be `dataBytes` long (-1: any length). `what`
    // stands for the tag in the log lines.
    Outcome command(quint16 commandCode, const QByteArray &parameters, const QString &what, int dataBytes,
                    QByteArray *data);

    // One Memory Area Read of one word, for a link without a handshake to
    // find out whether a FINS node answers at all: Done whatever end code
    // came back (no check, no warning).
    Outcome probeRead(int area, int word, const QString &tag);

    // The limits in use. A part refused as too long for the controller
    // (1001, 1002, 110B) is halved and sent again, down to one word (16
    // bits), and the size that worked stays for the rest of the connection;
    // restoreLimits() (a new connection) starts again from those last set.
    FinsLimits limits() const { return m_limits; }
    void setLimits(const FinsLimits &limits) { m_limits = m_fullLimits = limits; }
    void restoreLimits() { m_limits = m_fullLimits; }

    // The SID the next command takes; a new connection starts again at 0.
    void resetSid() { m_sid = 0; }
    quint8 nextSid() { return m_sid++; }

    const Outcome &lastOutcome() const { return m_last; }
    // Connecting is the link's: it reports how that ended here.
    void setLastOutcome(const Outcome &outcome) { m_last = outcome; }

private:
    Outcome readPart(const QByteArray &command, int byteLen, const QString &tag, QByteArray *out, bool mayShrink);
    Outcome writePart(const QByteArray &command, int itemCount, bool bits, const QString &tag, bool mayShrink);
    Outcome exchangePart(FinsFailure &part, FinsLog::Line sent, FinsLog::Line answered, bool mayShrink);
    Outcome traced(const QByteArray &command, const FinsExchangeContext &context, FinsLog::Line sent,
                   FinsLog::Line answered, QByteArray *answer);
    Outcome finish(Outcome outcome);
    Outcome writeWordPart(int area, const FinsSplit::Part &part, const QByteArray &bytes, const QString &tag);
    Outcome writeBitPart(int bitArea, const FinsSplit::Part &part, const QByteArray &flags, const QString &tag);
    // Whether `outcome` of a part of `tried` items says "too long for this
    // controller" and a smaller part can still be tried: then `*limit` is
    // halved (in steps of `unit` items) and the caller sends again.
    bool shrinks(const Outcome &outcome, int tried, int unit, int *limit);
    // The one warning line of a transfer that had to shrink, once a part of
    // the new size has gone through.
    void reportShrink(const QString &tag, int perCommand);
    bool linkReady();

    FinsLink &m_link;
    FinsLog &m_log;
    FinsLimits m_limits;
    FinsLimits m_fullLimits;
    Outcome m_shrunk; // the refusal that made a transfer shrink; kind Done when none
    Outcome m_last;
    quint8 m_sid = 0;
};

#endif // FINSTRANSFER_H
