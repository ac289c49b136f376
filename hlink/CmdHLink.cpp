#include "CmdHLink.h"

#include <QDeadlineTimer>

#include "FinsSplit.h"
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

int CmdHLink::resultCode(Result outcome)
{
    switch (outcome) {
    case Result::Done: return 0;
    case Result::BadAnswer: return -1;
    case Result::NoAnswer: return -2;
    case Result::NoLink: break;
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
bool CmdHLink::awaitEarlierAnswer(const QDeadlineTimer &deadline, Result *why)
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
            *why = Result::NoAnswer;
            return false;
        }
        if (!waitForBytes(QDeadlineTimer(qMin<qint64>(kAckPollMs, deadline.remainingTime())))) {
            *why = Result::NoLink;
            return false;
        }
    }
    return true;
}

CmdHLink::Result CmdHLink::transfer(const QByteArray &frame, QByteArray *answer, int restMs)
{
    const QDeadlineTimer firstByte(kFirstByteMs + lineTimeMs(frame.size()));
    if (!linkUp()) {
        unanswered.clear();
        if (!linkReadyWithin(int(firstByte.remainingTime())))
            return Result::NoLink;
    }
    Result held = Result::Done;
    if (!awaitEarlierAnswer(firstByte, &held))
        return held;
    startExchange();
    droppedNow = 0;
    if (Only_send(frame) != 0)
        return Result::NoLink;
    unanswered = frame;
    QDeadlineTimer rest(QDeadlineTimer::Forever);
    bool answering = false;
    for (;;) {
        takeAvailable();
        if (takeOwnAnswer(frame, answer, &answering))
            return Result::Done;
        if (!answering && bytesArrived() > 0) {
            answering = true;
            rest.setRemainingTime(restMs);
        }
        const QDeadlineTimer &deadline = answering ? rest : firstByte;
        if (deadline.hasExpired())
            break;
        if (!waitForBytes(deadline))
            return Result::NoLink;
    }
    if (!bufferEmpty() || garbageDropped()) {
        // Something came: the controller answered, if badly.
        unanswered.clear();
        *answer += rawBytes();
        clearBuffer();
        return Result::BadAnswer;
    }
    return Result::NoAnswer;
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
        ++droppedNow;
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

void CmdHLink::record(Result result, const QString &reason, int endCode, const QByteArray &request,
                      const QByteArray &answer)
{
    static const ::Outcome::Kind kinds[] = {::Outcome::Kind::Done, ::Outcome::Kind::BadAnswer,
                                            ::Outcome::Kind::NoAnswer, ::Outcome::Kind::NotConnected};
    ::Outcome::Kind kind = kinds[int(result)];
    if (kind == ::Outcome::Kind::BadAnswer && endCode >= 0)
        kind = ::Outcome::Kind::EndCode;
    m_last = result == Result::Done ? ::Outcome::done()
                                    : ::Outcome::make(kind, result == Result::NoLink ? QStringLiteral("send")
                                                                                     : QStringLiteral("answer"),
                                                      reason, endCode);
    m_last.request = request;
    m_last.answer = answer;
}

CmdHLink::Result CmdHLink::exchange(const QByteArray &request, Kind kind, int words, const QString &tagAddress,
                                    QByteArray *digits)
{
    QByteArray answer;
    const Result outcome =
        transfer(request, &answer, restLimitMs(qMax(words, 1), HLinkFrame::expectedAnswerLength(request)));
    logFrames(kind, tagAddress, request, answer);
    const QString unit = QStringLiteral("unit %1").arg(QString::fromLatin1(request.mid(1, 2)));
    if (outcome == Result::BadAnswer) {
        const QString why = garbageDropped() && answer.indexOf("*\r") < 0 ? QStringLiteral("no frame in what came")
                                                                          : QStringLiteral("incomplete answer");
        warnBadAnswer(tagAddress, why, answer);
        record(outcome, QStringLiteral("%1 (%2)").arg(why, unit), -1, request, answer);
        return outcome;
    }
    if (outcome == Result::NoAnswer && droppedNow > 0) {
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 no answer; dropped %3 answer(s) for another unit or request")
                                  .arg(peerText(), tagAddress)
                                  .arg(droppedNow));
    }
    if (outcome == Result::NoAnswer)
        record(outcome, droppedNow > 0 ? QStringLiteral("no answer from %1; %2 answer(s) came for another unit or request")
                                                 .arg(unit).arg(droppedNow)
                                           : QStringLiteral("no answer from %1").arg(unit),
               -1, request, answer);
    if (outcome == Result::NoLink)
        record(outcome, QStringLiteral("the link is not open (%1)").arg(unit), -1, request, answer);
    if (outcome != Result::Done)
        return outcome;
    const HLinkFrame::AnswerCheck check = HLinkFrame::checkAnswer(answer, request);
    if (check.verdict != HLinkFrame::Verdict::Accepted) {
        warnBadAnswer(tagAddress, check.failure, answer);
        record(Result::BadAnswer, QStringLiteral("%1 (%2)").arg(check.failure, unit), check.endCode, request, answer);
        // An end code of the Host Link frame itself, not of the FINS command in it.
        if (check.hostLinkEndCode)
            m_last.step = QStringLiteral("frame");
        return Result::BadAnswer;
    }
    record(Result::Done, QString(), -1, request, answer);
    if (digits)
        *digits = check.digits;
    return Result::Done;
}

int CmdHLink::read_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray *out)
{
    if (wordCount <= 0 || !out)
        return -2;
    QByteArray all;
    for (const FinsSplit::Part &part : FinsSplit::words(wordAddress, wordCount, HLinkFrame::MaxReadWords)) {
        const QByteArray request = HLinkFrame::readRequest(unit, nextSid(), area, part.word, part.count);
        QByteArray digits;
        const Result outcome = exchange(request, Kind::Read, part.count, tagAddress, &digits);
        if (outcome != Result::Done)
            return resultCode(outcome);
        all += digits;
    }
    out->append(all);
    return 0;
}

int CmdHLink::write_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray data)
{
    if (wordCount <= 0 || data.size() < 4LL * wordCount)
        return -1;
    for (const FinsSplit::Part &part : FinsSplit::words(wordAddress, wordCount, HLinkFrame::MaxWriteWords)) {
        const QByteArray request =
            HLinkFrame::writeRequest(unit, nextSid(), area, part.word, data.mid(4 * part.offset, 4 * part.count));
        const Result outcome = exchange(request, Kind::Write, part.count, tagAddress, nullptr);
        if (outcome != Result::Done)
            return resultCode(outcome);
    }
    return 0;
}

int CmdHLink::writeBits_cmd(int unit, int bitArea, int wordAddress, int bitNumber, QString tagAddress, QByteArray bits)
{
    if (bits.isEmpty() || bitNumber < 0)
        return -1;
    for (const FinsSplit::Part &part : FinsSplit::bits(wordAddress, bitNumber, bits.size(), HLinkFrame::MaxBitItems)) {
        const QByteArray request =
            HLinkFrame::bitWriteRequest(unit, nextSid(), bitArea, part.word, part.bit, bits.mid(part.offset, part.count));
        const Result outcome = exchange(request, Kind::Write, (part.count + 15) / 16, tagAddress, nullptr);
        if (outcome != Result::Done)
            return resultCode(outcome);
    }
    return 0;
}
