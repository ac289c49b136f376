#include "CmdHLink.h"

#include "FinsSplit.h"
#include "HLinkFrame.h"

namespace {

constexpr int kMinRestMs = 50;

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
                                    QByteArray *digits)
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
