#ifndef CMDHLINK_H
#define CMDHLINK_H

// The Host Link "FA" command set: FINS memory-area commands in FA frames
// (HLinkFrame) over the active Host Link line (HostLinkLines), one exchange
// at a time (HLinkTransfer). Each answer is matched to its request (answers
// for another unit or SID are dropped) and checked; larger transfers are
// split into frames a controller takes (FinsSplit).

#include <QByteArray>
#include <QString>

#include "FinsLimits.h"
#include "FinsSplit.h"
#include "HLinkFrame.h"
#include "HLinkTransfer.h"
#include "HostLinkConnectionText.h"
#include "HostLinkLines.h"
#include "Outcome.h"

class CmdHLink
{
public:
    CmdHLink();

    // Opens the line the text names and makes it the active one: 0, -1 the
    // serial port could not be opened, -3 no TCP connection.
    int connect(const HostLinkConnectionText::Settings &settings);
    HostLinkLines &lines() { return m_lines; }
    const HostLinkLines &lines() const { return m_lines; }

    // One exchange: drops stale input, sends `frame` and waits for the first
    // complete answer that belongs to it. 0: the answer is appended to
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

    // Rest-of-answer limit for an answer of `answerChars` carrying `words` words.
    int restLimitMs(int words, int answerChars) const;

    bool debugOn = false;

    // How the last exchange ended, in words (the unit included).
    const Outcome &lastOutcome() const { return m_last; }
    void setLastOutcome(const Outcome &outcome) { m_last = outcome; }
    // Answers dropped as stale or foreign since the last connect.
    quint64 droppedAnswers() const { return m_transfer.dropped(); }

private:
    enum class Kind { Read, Write };
    using Result = HLinkTransfer::Result;
    static int resultCode(Result result);

    Result transfer(const QByteArray &frame, QByteArray *answer, int restMs);
    int nextSid();
    Result exchange(const QByteArray &request, Kind kind, int words, const QString &tagAddress, QByteArray *digits,
                    bool mayShrink = false);
    Result writePart(int unit, int area, const FinsSplit::Part &part, const QByteArray &digits, const QString &tagAddress);
    Result bitPart(int unit, int bitArea, const FinsSplit::Part &part, const QByteArray &bits, const QString &tagAddress);
    // A part refused as too long (1001, 1002, 110B) is halved and sent again,
    // down to one word (16 bits); the size stays until the next connect.
    bool shrinks(Result outcome, int tried, int unit, int *limit);
    void reportShrink(const QString &tagAddress, int perFrame);
    static FinsLimits fullLimits()
    {
        return FinsLimits{HLinkFrame::MaxReadWords, HLinkFrame::MaxWriteWords, HLinkFrame::MaxBitItems};
    }
    void record(Result result, const QString &reason, int endCode, const QByteArray &request, const QByteArray &answer);
    void logFrames(Kind kind, const QString &tagAddress, const QByteArray &request, const QByteArray &answer) const;
    void warnBadAnswer(const QString &tagAddress, const QString &why, const QByteArray &answer) const;

    HostLinkLines m_lines;
    HLinkTransfer m_transfer;
    int m_sid = 0; // SID of the next request; 0 after every connect
    FinsLimits m_limits = fullLimits();
    bool m_shrunk = false; // the transfer under way had to shrink
    int m_shrunkCode = 0;
    Outcome m_last;
};

#endif // CMDHLINK_H
