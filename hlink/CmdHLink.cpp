#include "CmdHLink.h"

#include <QDeadlineTimer>

#include "HLinkFrame.h"

namespace {

constexpr int kFirstByteMs = 2000;

QString lowerHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

} // namespace

CmdHLink::CmdHLink(QObject *parent)
    : CmdHLinkMedium(parent)
{
}

int CmdHLink::SendData(QByteArray frame, QByteArray &answer, int restMs)
{
    return resultCode(transfer(frame, &answer, restMs));
}

int CmdHLink::resultCode(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done: return 0;
    case Outcome::BadAnswer: return -1;
    case Outcome::NoAnswer: return -2;
    case Outcome::NoLink: break;
    }
    return -3;
}

// The gate before every request. A request the TCP peer has not
// acknowledged yet is still in the system's send queue: sending another
// would queue it behind, and a lost network that comes back would deliver
// the queue as a burst. So while the request in flight is unanswered and
// unacknowledged, wait (within this call's first-byte deadline) for its
// answer and drop it; when the deadline passes nothing is sent. A request
// the medium has delivered (acknowledged, or on a serial line) holds
// nothing: a late answer is dropped by its unit and SID.
bool CmdHLink::awaitEarlierAnswer(const QDeadlineTimer &deadline, Outcome *why)
{
    constexpr int kAckPollMs = 20;
    while (!unanswered.isEmpty()) {
        takeAvailable();
        QByteArray frame;
        while (!unanswered.isEmpty() && takeFrame(&frame)) {
            if (frame.isEmpty())
                continue;
            if (HLinkFrame::checkAnswer(frame, unanswered).verdict != HLinkFrame::Verdict::Foreign)
                unanswered.clear();
            countDropped();
        }
        if (unanswered.isEmpty() || !unacknowledged()) {
            unanswered.clear();
            break;
        }
        if (deadline.hasExpired()) {
            *why = Outcome::NoAnswer;
            return false;
        }
        if (!waitForBytes(QDeadlineTimer(qMin<qint64>(kAckPollMs, deadline.remainingTime())))) {
            *why = Outcome::NoLink;
            return false;
        }
    }
    return true;
}

CmdHLink::Outcome CmdHLink::transfer(const QByteArray &frame, QByteArray *answer, int restMs)
{
    // A reconnect has a deadline of its own; the exchange's starts after it.
    if (!linkUp()) {
        unanswered.clear();
        if (!linkReadyWithin(kFirstByteMs))
            return Outcome::NoLink;
    }
    const QDeadlineTimer firstByte(kFirstByteMs + lineTimeMs(frame.size()));
    Outcome held = Outcome::Done;
    if (!awaitEarlierAnswer(firstByte, &held))
        return held;
    startExchange();
    droppedAnswers = 0;
    if (Only_send(frame) != 0)
        return Outcome::NoLink;
    unanswered = frame;
    QDeadlineTimer rest(QDeadlineTimer::Forever);
    bool answering = false;
    for (;;) {
        takeAvailable();
        if (takeOwnAnswer(frame, answer, &answering))
            return Outcome::Done;
        if (!answering && bytesArrived() > 0) {
            answering = true;
            rest.setRemainingTime(restMs);
        }
        const QDeadlineTimer &deadline = answering ? rest : firstByte;
        if (deadline.hasExpired())
            break;
        if (!waitForBytes(deadline))
            return Outcome::NoLink;
    }
    if (!bufferEmpty() || garbageDropped()) {
        // Something came: the controller answered, if badly.
        unanswered.clear();
        *answer += rawBytes();
        clearBuffer();
        return Outcome::BadAnswer;
    }
    return Outcome::NoAnswer;
}

// Takes complete frames off the buffer until one belongs to `request`;
// another unit's answers and late ones to earlier requests are dropped.
bool CmdHLink::takeOwnAnswer(const QByteArray &request, QByteArray *answer, bool *answering)
{
    QByteArray candidate;
    while (takeFrame(&candidate)) {
        if (candidate.isEmpty())
            continue;
        if (HLinkFrame::checkAnswer(candidate, request).verdict != HLinkFrame::Verdict::Foreign) {
            *answer += candidate;
            unanswered.clear();
            return true;
        }
        ++droppedAnswers;
        countDropped();
        // Nothing else came: the first-byte wait for our own answer goes on.
        if (bufferEmpty() && !garbageDropped()) {
            *answering = false;
            resetArrived();
        }
    }
    return false;
}

// ---------------------------------------------------------------- commands

unsigned char CmdHLink::Fcs_Check(QByteArray data, int n) const
{
    return HLinkFrame::fcs(data, n);
}

unsigned short CmdHLink::GetHexconversionchar(unsigned short value) const
{
    return HLinkFrame::hexChar(value);
}

unsigned short CmdHLink::GetcharconversionHex(unsigned short character) const
{
    return HLinkFrame::digitOf(character);
}

void CmdHLink::logFrames(Kind kind, const QString &tagAddress, const QByteArray &request,
                         const QByteArray &answer) const
{
    if (!debugOn)
        return;
    const QString what = kind == Kind::Read ? QString::fromUtf8("读命令") : QString::fromUtf8("写命令");
    logLine(QtDebugMsg, QStringLiteral("lib[HLink]%1 %2 Area=%3  msg : %4")
                            .arg(what, peerText(), tagAddress, lowerHex(request)));
    logLine(QtDebugMsg, QStringLiteral("lib[HLink]%1 %2 Area=%3  msg : %4")
                            .arg(QString::fromUtf8("响应"), peerText(), tagAddress, lowerHex(answer)));
}

void CmdHLink::warnBadAnswer(const QString &tagAddress, const QString &why, const QByteArray &answer) const
{
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 bad answer: %3  msg : %4")
                              .arg(peerText(), tagAddress, why, lowerHex(answer)));
}

CmdHLink::Outcome CmdHLink::exchange(const QByteArray &request, Kind kind, int words, const QString &tagAddress,
                                     QByteArray *digits)
{
    QByteArray answer;
    const Outcome outcome =
        transfer(request, &answer, restLimitMs(qMax(words, 1), HLinkFrame::expectedAnswerLength(request)));
    logFrames(kind, tagAddress, request, answer);
    if (outcome == Outcome::BadAnswer) {
        warnBadAnswer(tagAddress, garbageDropped() && answer.indexOf("*\r") < 0 ? QStringLiteral("no frame in what came")
                                                                            : QStringLiteral("incomplete answer"),
                      answer);
        return outcome;
    }
    if (outcome == Outcome::NoAnswer && droppedAnswers > 0) {
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 no answer; dropped %3 answer(s) for another unit or request")
                                  .arg(peerText(), tagAddress)
                                  .arg(droppedAnswers));
    }
    if (outcome != Outcome::Done)
        return outcome;
    const HLinkFrame::AnswerCheck check = HLinkFrame::checkAnswer(answer, request);
    if (check.verdict != HLinkFrame::Verdict::Accepted) {
        warnBadAnswer(tagAddress, check.failure, answer);
        return Outcome::BadAnswer;
    }
    if (digits)
        *digits = check.digits;
    return Outcome::Done;
}

int CmdHLink::read_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray *out)
{
    if (wordCount <= 0 || !out)
        return -2;
    QByteArray all;
    for (int done = 0; done < wordCount;) {
        const int n = qMin(HLinkFrame::MaxReadWords, wordCount - done);
        const QByteArray request = HLinkFrame::readRequest(unit, nextSid(), area, wordAddress + done, n);
        QByteArray part;
        const Outcome outcome = exchange(request, Kind::Read, n, tagAddress, &part);
        if (outcome != Outcome::Done)
            return resultCode(outcome);
        all += part;
        done += n;
    }
    out->append(all);
    return 0;
}

int CmdHLink::write_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray data)
{
    if (wordCount <= 0 || data.size() < 4LL * wordCount)
        return -1;
    for (int done = 0; done < wordCount;) {
        const int n = qMin(HLinkFrame::MaxWriteWords, wordCount - done);
        const QByteArray request =
            HLinkFrame::writeRequest(unit, nextSid(), area, wordAddress + done, data.mid(4 * done, 4 * n));
        const Outcome outcome = exchange(request, Kind::Write, n, tagAddress, nullptr);
        if (outcome != Outcome::Done)
            return resultCode(outcome);
        done += n;
    }
    return 0;
}

int CmdHLink::writeBits_cmd(int unit, int bitArea, int wordAddress, int bitNumber, QString tagAddress, QByteArray bits)
{
    if (bits.isEmpty() || bitNumber < 0)
        return -1;
    for (int done = 0; done < bits.size();) {
        const int n = qMin(HLinkFrame::MaxBitItems, bits.size() - done);
        const long long position = static_cast<long long>(bitNumber) + done;
        const QByteArray request = HLinkFrame::bitWriteRequest(unit, nextSid(), bitArea,
                                                               int(wordAddress + position / 16), int(position % 16),
                                                               bits.mid(done, n));
        const Outcome outcome = exchange(request, Kind::Write, (n + 15) / 16, tagAddress, nullptr);
        if (outcome != Outcome::Done)
            return resultCode(outcome);
        done += n;
    }
    return 0;
}
