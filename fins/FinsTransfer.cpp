#include "FinsTransfer.h"

#include "FinsAnswer.h"
#include "FinsCommand.h"
#include "FinsSplit.h"

namespace {

Outcome notConnected()
{
    return Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("send"), QStringLiteral("not connected"));
}

Outcome badRequest()
{
    return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("request"), QStringLiteral("a negative count"));
}

// The check's verdict with the frames the link saw.
Outcome withFrames(Outcome checked, const Outcome &exchanged)
{
    checked.request = exchanged.request;
    checked.answer = exchanged.answer;
    return checked;
}

} // namespace

FinsTransfer::FinsTransfer(FinsLink &link, FinsLog &log)
    : m_link(link)
    , m_log(log)
{
}

Outcome FinsTransfer::finish(Outcome outcome)
{
    m_last = outcome;
    return outcome;
}

bool FinsTransfer::linkReady()
{
    bool reopened = false;
    const bool ready = m_link.ready(&reopened);
    if (reopened)
        resetSid();
    return ready;
}

Outcome FinsTransfer::readWords(int area, int word, int words, const QString &tag, QByteArray *out)
{
    if (!linkReady())
        return finish(notConnected());
    if (words < 0)
        return finish(badRequest());
    // The caller gets all of the data or none of it.
    QByteArray collected;
    const FinsCommand::Nodes nodes = m_link.nodes();
    for (const FinsSplit::Part &part : FinsSplit::words(word, words, m_limits.readWords)) {
        const QByteArray command =
            FinsCommand::readCommand(nodes.plc, nodes.ours, nextSid(), area, part.word, part.count);
        const Outcome outcome = readPart(command, 2 * part.count, tag, &collected);
        if (!outcome.ok())
            return finish(outcome);
    }
    out->append(collected);
    return finish(Outcome::done());
}

Outcome FinsTransfer::writeWords(int area, int word, const QByteArray &bytes, const QString &tag)
{
    if (!linkReady())
        return finish(notConnected());
    const FinsCommand::Nodes nodes = m_link.nodes();
    for (const FinsSplit::Part &part : FinsSplit::words(word, bytes.size() / 2, m_limits.writeWords)) {
        const QByteArray command = FinsCommand::writeWordsCommand(nodes.plc, nodes.ours, nextSid(), area, part.word,
                                                                  bytes.mid(2 * part.offset, 2 * part.count));
        const Outcome outcome = writePart(command, 2 * part.count, false, tag);
        if (!outcome.ok())
            return finish(outcome);
    }
    return finish(Outcome::done());
}

Outcome FinsTransfer::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    if (!linkReady())
        return finish(notConnected());
    if (bit < 0)
        return finish(badRequest());
    const FinsCommand::Nodes nodes = m_link.nodes();
    for (const FinsSplit::Part &part : FinsSplit::bits(word, bit, flags.size(), m_limits.writeBits)) {
        const QByteArray command = FinsCommand::writeBitsCommand(nodes.plc, nodes.ours, nextSid(), bitArea, part.word,
                                                                 part.bit, flags.mid(part.offset, part.count));
        const Outcome outcome = writePart(command, part.count, true, tag);
        if (!outcome.ok())
            return finish(outcome);
    }
    return finish(Outcome::done());
}

Outcome FinsTransfer::command(quint16 commandCode, const QByteArray &parameters, const QString &what, int dataBytes,
                              QByteArray *data)
{
    if (!linkReady())
        return finish(notConnected());
    const QByteArray command = FinsCommand::command(m_link.nodes(), nextSid(), commandCode, parameters);
    m_log.trace(FinsLog::Line::ReadCommand, what, parameters.size(), m_link.wireFrame(command));
    QByteArray answer;
    const Outcome exchanged = m_link.exchange(command, FinsExchangeContext{&m_log, what, parameters.size()}, &answer);
    m_log.trace(FinsLog::Line::Response, what, parameters.size(), exchanged.answer);
    if (!exchanged.ok())
        return finish(exchanged);
    const Outcome checked = withFrames(FinsAnswer::check(command, answer, dataBytes), exchanged);
    if (checked.ok() && data)
        *data = FinsAnswer::data(answer);
    return finish(checked);
}

Outcome FinsTransfer::probeRead(int area, int word, const QString &tag)
{
    const FinsCommand::Nodes nodes = m_link.nodes();
    const QByteArray command = FinsCommand::readCommand(nodes.plc, nodes.ours, nextSid(), area, word, 1);
    m_log.trace(FinsLog::Line::ReadCommand, tag, 2, m_link.wireFrame(command));
    QByteArray answer;
    const Outcome exchanged = m_link.exchange(command, FinsExchangeContext{&m_log, tag, 2}, &answer);
    m_log.trace(FinsLog::Line::Response, tag, 2, exchanged.answer);
    return finish(exchanged);
}

Outcome FinsTransfer::readPart(const QByteArray &command, int byteLen, const QString &tag, QByteArray *out)
{
    m_log.trace(FinsLog::Line::ReadCommand, tag, byteLen, m_link.wireFrame(command));
    QByteArray answer;
    Outcome exchanged = m_link.exchange(command, FinsExchangeContext{&m_log, tag, byteLen}, &answer);
    m_log.trace(FinsLog::Line::Response, tag, byteLen, exchanged.answer);
    if (exchanged.kind == Outcome::Kind::NotConnected)
        return exchanged;
    if (!exchanged.ok() && (exchanged.answer.isEmpty() || exchanged.step == QLatin1String("nodes"))) {
        // Answers for other node numbers have been named by the link already.
        if (exchanged.step != QLatin1String("nodes"))
            m_log.warn(FinsLog::Line::EmptyAnswer, tag, byteLen, exchanged.answer);
        exchanged.kind = Outcome::Kind::NoAnswer;
        return exchanged;
    }
    if (!exchanged.ok()) {
        m_log.warn(FinsLog::Line::BadLength, tag, byteLen, exchanged.answer);
        exchanged.kind = Outcome::Kind::BadAnswer;
        return exchanged;
    }
    FinsAnswer::Fault fault = FinsAnswer::Fault::None;
    const Outcome checked = withFrames(FinsAnswer::check(command, answer, byteLen, &fault), exchanged);
    switch (fault) {
    case FinsAnswer::Fault::None: out->append(FinsAnswer::data(answer)); break;
    case FinsAnswer::Fault::Nodes: m_log.warn(FinsLog::Line::BadNodes, tag, byteLen, exchanged.answer); break;
    case FinsAnswer::Fault::EndCode:
        m_log.warn(FinsLog::Line::BadEndCode, tag, byteLen, exchanged.answer, quint16(checked.endCode));
        break;
    case FinsAnswer::Fault::Malformed:
    case FinsAnswer::Fault::Length: m_log.warn(FinsLog::Line::BadLength, tag, byteLen, exchanged.answer); break;
    }
    return checked;
}

Outcome FinsTransfer::writePart(const QByteArray &command, int itemCount, bool bits, const QString &tag)
{
    m_log.trace(bits ? FinsLog::Line::WriteCommand : FinsLog::Line::WordWriteCommand, tag, itemCount,
                m_link.wireFrame(command));
    QByteArray answer;
    Outcome exchanged = m_link.exchange(command, FinsExchangeContext{&m_log, tag, itemCount, true}, &answer);
    m_log.trace(bits ? FinsLog::Line::Response : FinsLog::Line::WordWriteResponse, tag, itemCount, exchanged.answer);
    if (exchanged.kind == Outcome::Kind::NotConnected)
        return exchanged;
    if (!exchanged.ok()) {
        exchanged.kind = exchanged.answer.isEmpty() || exchanged.step == QLatin1String("nodes")
            ? Outcome::Kind::NoAnswer
            : Outcome::Kind::BadAnswer;
        return exchanged;
    }
    // A write answer carries no data; its length is not checked.
    FinsAnswer::Fault fault = FinsAnswer::Fault::None;
    const Outcome checked = withFrames(FinsAnswer::check(command, answer, -1, &fault), exchanged);
    if (fault == FinsAnswer::Fault::Nodes)
        m_log.warn(FinsLog::Line::BadNodes, tag, itemCount, exchanged.answer);
    else if (fault == FinsAnswer::Fault::EndCode)
        m_log.warn(FinsLog::Line::BadEndCode, tag, itemCount, exchanged.answer, quint16(checked.endCode));
    return checked;
}
