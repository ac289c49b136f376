#include "CmdHLink.h"

#include "FinsSplit.h"
#include "HLinkFrame.h"

namespace {

constexpr int kMinRestMs = 50;

// 1001 command too long, 1002 command too short, 110B response too long.
bool isTooLong(int endCode)
{
    const int proper = endCode & 0x7F3F;
    return endCode >= 0 && (proper == 0x1001 || proper == 0x1002 || proper == 0x110B);
}

QString lowerHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

void logLine(QtMsgType type, const QString &text)
{
    if (type == QtWarningMsg)
        qWarning("%s", qUtf8Printable(text));
    else
        qDebug("%s", qUtf8Printable(text));
}

} // namespace

CmdHLink::CmdHLink()
    : m_lines(QStringLiteral("lib[HLink]"))
    , m_transfer(m_lines)
{
}

int CmdHLink::connect(const HostLinkConnectionText::Settings &settings)
{
    const int result = settings.serial ? m_lines.openSerial(settings.line) : m_lines.openTcp(settings.tcp);
    // A TCP connect replaces the old connection even when it fails.
    if (result == 0 || !settings.serial) {
        m_transfer.restart();
        m_sid = 0;
        m_limits = fullLimits(); // another controller may be on the line now
    }
    return result;
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

CmdHLink::Result CmdHLink::transfer(const QByteArray &frame, QByteArray *answer, int restMs)
{
    const Result result = m_transfer.run(frame, answer, restMs);
    if (m_transfer.reopened())
        m_sid = 0;
    return result;
}

int CmdHLink::nextSid()
{
    const int current = m_sid;
    m_sid = (m_sid + 1) & 0xFF;
    return current;
}

int CmdHLink::restLimitMs(int words, int answerChars) const
{
    const HostLinkLink *line = m_lines.active();
    const int gap = line ? line->frameGapMs() : 2;
    return qMax(kMinRestMs, words * gap * 6 + (line ? line->lineTimeMs(answerChars) : 0));
}

void CmdHLink::logFrames(Kind kind, const QString &tagAddress, const QByteArray &request,
                         const QByteArray &answer) const
{
    if (!debugOn)
        return;
    const QString what = kind == Kind::Read ? QString::fromUtf8("读命令") : QString::fromUtf8("写命令");
    logLine(QtDebugMsg, QStringLiteral("lib[HLink]%1 %2 Area=%3  msg : %4")
                            .arg(what, m_lines.peerText(), tagAddress, lowerHex(request)));
    logLine(QtDebugMsg, QStringLiteral("lib[HLink]%1 %2 Area=%3  msg : %4")
                            .arg(QString::fromUtf8("响应"), m_lines.peerText(), tagAddress, lowerHex(answer)));
}

void CmdHLink::warnBadAnswer(const QString &tagAddress, const QString &why, const QByteArray &answer) const
{
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 bad answer: %3  msg : %4")
                              .arg(m_lines.peerText(), tagAddress, why, lowerHex(answer)));
}

void CmdHLink::record(Result result, const QString &reason, int endCode, const QByteArray &request,
                      const QByteArray &answer)
{
    static const Outcome::Kind kinds[] = {Outcome::Kind::Done, Outcome::Kind::BadAnswer,
                                            Outcome::Kind::NoAnswer, Outcome::Kind::NotConnected};
    Outcome::Kind kind = kinds[int(result)];
    if (kind == Outcome::Kind::BadAnswer && endCode >= 0)
        kind = Outcome::Kind::EndCode;
    m_last = result == Result::Done ? Outcome::done()
                                    : Outcome::make(kind, result == Result::NoLink ? QStringLiteral("send")
                                                                                     : QStringLiteral("answer"),
                                                      reason, endCode);
    m_last.request = request;
    m_last.answer = answer;
}

CmdHLink::Result CmdHLink::exchange(const QByteArray &request, Kind kind, int words, const QString &tagAddress,
                                    QByteArray *digits, bool mayShrink)
{
    QByteArray answer;
    const Result outcome =
        transfer(request, &answer, restLimitMs(qMax(words, 1), HLinkFrame::expectedAnswerLength(request)));
    logFrames(kind, tagAddress, request, answer);
    const QString unit = QStringLiteral("unit %1").arg(QString::fromLatin1(request.mid(1, 2)));
    if (outcome == Result::BadAnswer) {
        const QString why = m_transfer.noise() && answer.indexOf("*\r") < 0 ? QStringLiteral("no frame in what came")
                                                                          : QStringLiteral("incomplete answer");
        warnBadAnswer(tagAddress, why, answer);
        record(outcome, QStringLiteral("%1 (%2)").arg(why, unit), -1, request, answer);
        return outcome;
    }
    if (outcome == Result::NoAnswer && m_transfer.droppedNow() > 0) {
        logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 no answer; dropped %3 answer(s) for another unit or request")
                                  .arg(m_lines.peerText(), tagAddress)
                                  .arg(m_transfer.droppedNow()));
    }
    if (outcome == Result::NoAnswer)
        record(outcome, m_transfer.droppedNow() > 0 ? QStringLiteral("no answer from %1; %2 answer(s) came for another unit or request")
                                                 .arg(unit).arg(m_transfer.droppedNow())
                                           : QStringLiteral("no answer from %1").arg(unit),
               -1, request, answer);
    if (outcome == Result::NoLink)
        record(outcome, QStringLiteral("the link is not open (%1)").arg(unit), -1, request, answer);
    if (outcome != Result::Done)
        return outcome;
    const HLinkFrame::AnswerCheck check = HLinkFrame::checkAnswer(answer, request);
    if (check.verdict != HLinkFrame::Verdict::Accepted) {
        // A refusal the transfer answers by shrinking gets the shrink's one line instead.
        if (!mayShrink || check.hostLinkEndCode || !isTooLong(check.endCode))
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
    m_shrunk = false;
    int done = 0;
    while (done < wordCount) {
        const FinsSplit::Part part = FinsSplit::words(wordAddress + done, wordCount - done, m_limits.readWords).first();
        const QByteArray request = HLinkFrame::readRequest(unit, nextSid(), area, part.word, part.count);
        QByteArray digits;
        const Result outcome = exchange(request, Kind::Read, part.count, tagAddress, &digits, part.count > 1);
        if (shrinks(outcome, part.count, 1, &m_limits.readWords))
            continue;
        if (outcome != Result::Done)
            return resultCode(outcome);
        reportShrink(tagAddress, m_limits.readWords);
        all += digits;
        done += part.count;
    }
    out->append(all);
    return 0;
}

// One part of a word write.
CmdHLink::Result CmdHLink::writePart(int unit, int area, const FinsSplit::Part &part, const QByteArray &digits,
                                     const QString &tagAddress)
{
    const QByteArray request = HLinkFrame::writeRequest(unit, nextSid(), area, part.word, digits);
    return exchange(request, Kind::Write, part.count, tagAddress, nullptr, part.count > 1);
}

// The last part first (a tag that runs off the end of an area fails before
// anything is written), then the rest in address order.
int CmdHLink::write_cmd(int unit, int area, int wordAddress, int wordCount, QString tagAddress, QByteArray data)
{
    if (wordCount <= 0 || data.size() < 4LL * wordCount)
        return -1;
    m_shrunk = false;
    FinsSplit::Part last;
    Result outcome;
    do {
        last = FinsSplit::words(wordAddress, wordCount, m_limits.writeWords).last();
        outcome = writePart(unit, area, last, data.mid(4 * last.offset, 4 * last.count), tagAddress);
    } while (shrinks(outcome, last.count, 1, &m_limits.writeWords));
    if (outcome != Result::Done)
        return resultCode(outcome);
    reportShrink(tagAddress, m_limits.writeWords);
    int done = 0;
    while (done < last.offset) {
        const FinsSplit::Part part = FinsSplit::words(wordAddress + done, last.offset - done, m_limits.writeWords).first();
        outcome = writePart(unit, area, part, data.mid(4 * done, 4 * part.count), tagAddress);
        if (shrinks(outcome, part.count, 1, &m_limits.writeWords))
            continue;
        if (outcome != Result::Done)
            return resultCode(outcome);
        reportShrink(tagAddress, m_limits.writeWords);
        done += part.count;
    }
    return 0;
}

CmdHLink::Result CmdHLink::bitPart(int unit, int bitArea, const FinsSplit::Part &part, const QByteArray &bits,
                                   const QString &tagAddress)
{
    const QByteArray request = HLinkFrame::bitWriteRequest(unit, nextSid(), bitArea, part.word, part.bit, bits);
    return exchange(request, Kind::Write, (part.count + 15) / 16, tagAddress, nullptr, part.count > 16);
}

int CmdHLink::writeBits_cmd(int unit, int bitArea, int wordAddress, int bitNumber, QString tagAddress, QByteArray bits)
{
    if (bits.isEmpty() || bitNumber < 0)
        return -1;
    m_shrunk = false;
    FinsSplit::Part last;
    Result outcome;
    do {
        last = FinsSplit::bits(wordAddress, bitNumber, bits.size(), m_limits.writeBits).last();
        outcome = bitPart(unit, bitArea, last, bits.mid(last.offset, last.count), tagAddress);
    } while (shrinks(outcome, last.count, 16, &m_limits.writeBits));
    if (outcome != Result::Done)
        return resultCode(outcome);
    reportShrink(tagAddress, m_limits.writeBits);
    int done = 0;
    while (done < last.offset) {
        // bitNumber + done names the first bit not yet written (16 and above are later words).
        const FinsSplit::Part part = FinsSplit::bits(wordAddress, bitNumber + done, last.offset - done, m_limits.writeBits).first();
        outcome = bitPart(unit, bitArea, part, bits.mid(done, part.count), tagAddress);
        if (shrinks(outcome, part.count, 16, &m_limits.writeBits))
            continue;
        if (outcome != Result::Done)
            return resultCode(outcome);
        reportShrink(tagAddress, m_limits.writeBits);
        done += part.count;
    }
    return 0;
}

// A FINS "too long for this controller" refusal of a part that can still be
// halved (1104 is the end of the area, never a size).
bool CmdHLink::shrinks(Result outcome, int tried, int unit, int *limit)
{
    if (outcome != Result::BadAnswer || m_last.kind != Outcome::Kind::EndCode || m_last.step == QLatin1String("frame")
        || !isTooLong(m_last.endCode) || tried <= unit)
        return false;
    *limit = qMax(unit, tried / 2 / unit * unit);
    m_shrunk = true;
    m_shrunkCode = m_last.endCode & 0x7F3F;
    return true;
}

void CmdHLink::reportShrink(const QString &tagAddress, int perFrame)
{
    if (!m_shrunk)
        return;
    m_shrunk = false;
    logLine(QtWarningMsg, QStringLiteral("lib[HLink]%1 Area=%2 报文过长，减半重发 len = %3 code = %4")
                              .arg(m_lines.peerText(), tagAddress)
                              .arg(perFrame)
                              .arg(QStringLiteral("%1").arg(m_shrunkCode, 4, 16, QLatin1Char('0')).toUpper()));
}
