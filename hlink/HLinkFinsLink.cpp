#include "HLinkFinsLink.h"

#include "HLinkFrame.h"

namespace {

constexpr int kMinRestMs = 50;
// Controller commands: answers of any length.
constexpr int kCommandRestMs = 2000;

Outcome make(Outcome::Kind kind, const QString &step, const QString &reason, const QByteArray &request,
             const QByteArray &answer)
{
    Outcome o = kind == Outcome::Kind::Done ? Outcome::done() : Outcome::make(kind, step, reason);
    o.request = request;
    o.answer = answer;
    return o;
}

quint16 u16At(const QByteArray &bytes, int at)
{
    return bytes.size() < at + 2 ? 0 : quint16(quint8(bytes.at(at)) << 8 | quint8(bytes.at(at + 1)));
}

} // namespace

HLinkFinsLink::HLinkFinsLink(HostLinkLines &lines, const HLinkLog &log, std::function<int()> unit)
    : m_lines(lines)
    , m_log(log)
    , m_transfer(lines)
    , m_unit(std::move(unit))
{
}

int HLinkFinsLink::connect(const HostLinkConnectionText::Settings &settings)
{
    const int result = settings.serial ? m_lines.openSerial(settings.line) : m_lines.openTcp(settings.tcp);
    // A TCP connect replaces the old connection even when it fails.
    if (result == 0 || !settings.serial)
        m_transfer.restart();
    return result;
}

bool HLinkFinsLink::ready(bool *reopened)
{
    *reopened = m_transfer.ready() && m_transfer.reopened();
    return true;
}

QByteArray HLinkFinsLink::wireFrame(const QByteArray &command) const
{
    return HLinkFrame::request(m_unit(), command);
}

int HLinkFinsLink::restLimitMs(int words, int answerChars) const
{
    const HostLinkLink *line = m_lines.active();
    const int gap = line ? line->frameGapMs() : 2;
    return qMax(kMinRestMs, words * gap * 6 + (line ? line->lineTimeMs(answerChars) : 0));
}

// Memory-area commands: by the words they carry (a bit write by the words
// its bits cover) and the answer they expect.
int HLinkFinsLink::restLimitFor(const QByteArray &command, const QByteArray &request) const
{
    const quint16 code = u16At(command, FinsCommand::OffCommand);
    if (code != FinsCommand::MemoryAreaRead && code != FinsCommand::MemoryAreaWrite)
        return kCommandRestMs;
    // Area, address (3 bytes), then the item count; the items follow it.
    const int countAt = FinsCommand::OffCommand + 6;
    const int items = u16At(command, countAt);
    // A word write carries two bytes per item, a bit write one.
    const bool bits = code == FinsCommand::MemoryAreaWrite && command.size() - (countAt + 2) != 2 * items;
    const int words = bits ? (items + 15) / 16 : items;
    return restLimitMs(qMax(words, 1), HLinkFrame::expectedAnswerLength(request));
}

Outcome HLinkFinsLink::transferFailed(HLinkTransfer::Result result, const QString &tag, const QByteArray &request,
                                      const QByteArray &fa) const
{
    const QString unit = HLinkLog::unitOf(request);
    using Result = HLinkTransfer::Result;
    if (result == Result::NoLink)
        return make(Outcome::Kind::NotConnected, QStringLiteral("send"),
                    QStringLiteral("the link is not open (%1)").arg(unit), request, fa);
    if (result == Result::BadAnswer) {
        const QString why = m_transfer.noise() && fa.indexOf("*\r") < 0 ? QStringLiteral("no frame in what came")
                                                                       : QStringLiteral("incomplete answer");
        m_log.holdBadAnswer(tag, why, fa);
        return make(Outcome::Kind::BadAnswer, QStringLiteral("answer"), QStringLiteral("%1 (%2)").arg(why, unit),
                    request, fa);
    }
    const int dropped = m_transfer.droppedNow();
    if (dropped == 0)
        return make(Outcome::Kind::NoAnswer, QStringLiteral("answer"), QStringLiteral("no answer from %1").arg(unit),
                    request, fa);
    m_log.holdDropped(tag, dropped);
    return make(Outcome::Kind::NoAnswer, QStringLiteral("answer"),
                QStringLiteral("no answer from %1; %2 answer(s) came for another unit or request").arg(unit).arg(dropped),
                request, fa);
}

Outcome HLinkFinsLink::exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer)
{
    const QByteArray request = wireFrame(command);
    QByteArray fa;
    const HLinkTransfer::Result result = m_transfer.run(request, &fa, restLimitFor(command, request));
    if (result != HLinkTransfer::Result::Done)
        return transferFailed(result, context.tag, request, fa);
    const HLinkFrame::AnswerCheck check = HLinkFrame::checkAnswer(fa, request);
    if (check.verdict != HLinkFrame::Verdict::Accepted) {
        m_log.holdBadAnswer(context.tag, check.failure, fa);
        // An end code of the Host Link frame itself, not of the FINS command in it.
        const bool frameCode = check.endCode >= 0;
        Outcome o = make(frameCode ? Outcome::Kind::EndCode : Outcome::Kind::BadAnswer,
                         frameCode ? QStringLiteral("frame") : QStringLiteral("answer"),
                         QStringLiteral("%1 (%2)").arg(check.failure, HLinkLog::unitOf(request)), request, fa);
        o.endCode = check.endCode;
        return o;
    }
    *answer = HLinkFrame::finsAnswer(fa, command);
    return make(Outcome::Kind::Done, QString(), QString(), request, fa);
}
