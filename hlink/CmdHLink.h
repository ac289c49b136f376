#ifndef CMDHLINK_H
#define CMDHLINK_H

// Host Link protocol object: one request/answer exchange at a time over the
// link of CmdHLinkMedium, with the "FA" frames of HLinkFrame. Each answer is
// matched to its request (answers for another unit or SID are dropped) and
// checked; larger transfers are split into frames a controller takes.

#include <QByteArray>
#include <QString>

class QDeadlineTimer;

#include "CmdHLinkMedium.h"
#include "Outcome.h"

class CmdHLink : public CmdHLinkMedium
{
    Q_OBJECT

public:
    explicit CmdHLink(QObject *parent = nullptr);

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

    bool debugOn = false;

    // How the last exchange ended, in words (the unit included).
    const ::Outcome &lastOutcome() const { return m_last; }
    void setLastOutcome(const ::Outcome &outcome) { m_last = outcome; }

private:
    enum class Kind { Read, Write };
    // How a transfer ended; resultCode gives the public operations' numbers.
    enum class Result { Done, BadAnswer, NoAnswer, NoLink };
    static int resultCode(Result result);

    Result transfer(const QByteArray &frame, QByteArray *answer, int restMs);
    bool awaitEarlierAnswer(const QDeadlineTimer &deadline, Result *why);
    bool takeOwnAnswer(const QByteArray &request, QByteArray *answer, bool *answering);
    Result exchange(const QByteArray &request, Kind kind, int words, const QString &tagAddress, QByteArray *digits);
    void record(Result result, const QString &reason, int endCode, const QByteArray &request, const QByteArray &answer);
    void logFrames(Kind kind, const QString &tagAddress, const QByteArray &request, const QByteArray &answer) const;
    void warnBadAnswer(const QString &tagAddress, const QString &why, const QByteArray &answer) const;

    int droppedNow = 0; // foreign answers dropped in this exchange
    ::Outcome m_last;
    QByteArray unanswered;  // the request in flight whose answer has not come
};

#endif // CMDHLINK_H
