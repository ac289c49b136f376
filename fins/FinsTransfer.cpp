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

// 1001 command too long, 1002 command too short, 110B response too long:
// the part does not fit this controller (1104 is the end of the area).
bool isTooLong(int endCode)
{
    const int proper = endCode & 0x7F3F;
    return endCode >= 0 && (proper == 0x1001 || proper == 0x1002 || proper == 0x110B);
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
    m_shrunk = Outcome::done();
    int done = 0;
    do {
        const FinsSplit::Part part = FinsSplit::words(word + done, words - done, m_limits.readWords).first();
        const QByteArray command =
            FinsCommand::readCommand(nodes.plc, nodes.ours, nextSid(), area, part.word, part.count);
        const Outcome outcome = readPart(command, 2 * part.count, tag, &collected, part.count > 1);
        if (shrinks(outcome, part.count, 1, &m_limits.readWords))
            continue;
        if (!outcome.ok())
            return finish(outcome);
        reportShrink(tag, m_limits.readWords);
        done += part.count;
    } while (done < words);
    out->append(collected);
    return finish(Outcome::done());
}

Outcome FinsTransfer::writeWords(int area, int word, const QByteArray &bytes, const QString &tag)
{
    if (!linkReady())
        return finish(notConnected());
    m_shrunk = Outcome::done();
    const int words = bytes.size() / 2;
    // The last part alone first, halved until the controller takes it.
    FinsSplit::Part last;
    Outcome outcome;
    do {
        last = FinsSplit::words(word, words, m_limits.writeWords).last();
        outcome = writeWordPart(area, last, bytes.mid(2 * last.offset, 2 * last.count), tag);
    } while (shrinks(outcome, last.count, 1, &m_limits.writeWords));
    if (outcome.ok())
        reportShrink(tag, m_limits.writeWords);
    if (!outcome.ok() || last.offset == 0)
        return finish(outcome);
    // Then the rest in address order.
    int done = 0;
    while (done < last.offset) {
        const FinsSplit::Part part = FinsSplit::words(word + done, last.offset - done, m_limits.writeWords).first();
        outcome = writeWordPart(area, part, bytes.mid(2 * done, 2 * part.count), tag);
        if (shrinks(outcome, part.count, 1, &m_limits.writeWords))
            continue;
        if (!outcome.ok())
            return finish(outcome);
        reportShrink(tag, m_limits.writeWords);
        done += part.count;
    }
    return finish(Outcome::done());
}

Outcome FinsTransfer::writeWordPart(int area, const FinsSplit::Part &part, const QByteArray &bytes, const QString &tag)
{
    const FinsCommand::Nodes nodes = m_link.nodes();
    const QByteArray command = FinsCommand::writeWordsCommand(nodes.plc, nodes.ours, nextSid(), area, part.word, bytes);
    return writePart(command, 2 * part.count, false, tag, part.count > 1);
}

Outcome FinsTransfer::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    if (!linkReady())
        return finish(notConnected());
    if (bit < 0)
        return finish(badRequest());
    m_shrunk = Outcome::done();
    FinsSplit::Part last;
    Outcome outcome;
    do {
        last = FinsSplit::bits(word, bit, flags.size(), m_limits.writeBits).last();
        outcome = writeBitPart(bitArea, last, flags.mid(last.offset, last.count), tag);
    } while (shrinks(outcome, last.count, 16, &m_limits.writeBits));
    if (outcome.ok())
        reportShrink(tag, m_limits.writeBits);
    if (!outcome.ok() || last.offset == 0)
        return finish(outcome);
    int done = 0;
    while (done < last.offset) {
        // bit + done names the first bit not yet written (16 and above are later words).
        const FinsSplit::Part part = FinsSplit::bits(word, bit + done, last.offset - done, m_limits.writeBits).first();
        outcome = writeBitPart(bitArea, part, flags.mid(done, part.count), tag);
        if (shrinks(outcome, part.count, 16, &m_limits.writeBits))
            continue;
        if (!outcome.ok())
            return finish(outcome);
        reportShrink(tag, m_limits.writeBits);
        done += part.count;
    }
    return finish(Outcome::done());
}

Outcome FinsTransfer::writeBitPart(int bitArea, const FinsSplit::Part &part, const QByteArray &flags,
                                   const QString &tag)
{
    const FinsCommand::Nodes nodes = m_link.nodes();
    const QByteArray command =
        FinsCommand::writeBitsCommand(nodes.plc, nodes.ours, nextSid(), bitArea, part.word, part.bit, flags);
    return writePart(command, part.count, true, tag, part.count > 16);
}

bool FinsTransfer::shrinks(const Outcome &outcome, int tried, int unit, int *limit)
{
    if (outcome.kind != Outcome::Kind::EndCode || !isTooLong(outcome.endCode) || tried <= unit)
        return false;
    *limit = qMax(unit, tried / 2 / unit * unit);
    m_shrunk = outcome;
    return true;
}

void FinsTransfer::reportShrink(const QString &tag, int perCommand)
{
    if (m_shrunk.ok())
        return;
    // The code proper: a controller in an error state adds its status flags.
    m_log.warn(FinsLog::Line::Shrunk, tag, perCommand, m_shrunk.answer, quint16(m_shrunk.endCode & 0x7F3F));
    m_shrunk = Outcome::done();
}

Outcome FinsTransfer::command(quint16 commandCode, const QByteArray &parameters, const QString &what, int dataBytes,
                              QByteArray *data)
{
    if (!linkReady())
        return finish(notConnected());
    const QByteArray command = FinsCommand::command(m_link.nodes(), nextSid(), commandCode, parameters);
    QByteArray answer;
    const Outcome exchanged = traced(command, FinsExchangeContext{&m_log, what, parameters.size()},
                                     FinsLog::Line::ReadCommand, FinsLog::Line::Response, &answer);
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
    QByteArray answer;
    return finish(traced(command, FinsExchangeContext{&m_log, tag, 2}, FinsLog::Line::ReadCommand,
                         FinsLog::Line::Response, &answer));
}

// One command out and its answer back, between their two trace lines (the
// frame is built for the first only while frame logging is on).
Outcome FinsTransfer::traced(const QByteArray &command, const FinsExchangeContext &context, FinsLog::Line sent,
                             FinsLog::Line answered, QByteArray *answer)
{
    if (m_log.debug())
        m_log.trace(sent, context.tag, context.count, m_link.wireFrame(command));
    const Outcome exchanged = m_link.exchange(command, context, answer);
    m_log.trace(answered, context.tag, context.count, exchanged.answer);
    return exchanged;
}

Outcome FinsTransfer::readPart(const QByteArray &command, int byteLen, const QString &tag, QByteArray *out,
                               bool mayShrink)
{
    FinsFailure part{Outcome(), FinsAnswer::Fault::None, command, QByteArray(), byteLen, tag, byteLen};
    const Outcome outcome = exchangePart(part, FinsLog::Line::ReadCommand, FinsLog::Line::Response, mayShrink);
    if (outcome.ok())
        out->append(FinsAnswer::data(part.answer));
    return outcome;
}

Outcome FinsTransfer::writePart(const QByteArray &command, int itemCount, bool bits, const QString &tag,
                                bool mayShrink)
{
    // A write answer carries no data; its length is not checked.
    FinsFailure part{Outcome(), FinsAnswer::Fault::None, command, QByteArray(), -1, tag, itemCount, true};
    return exchangePart(part, bits ? FinsLog::Line::WriteCommand : FinsLog::Line::WordWriteCommand,
                        bits ? FinsLog::Line::Response : FinsLog::Line::WordWriteResponse, mayShrink);
}

// One command of a transfer and its answer checked; a failure gets the
// log's warning and the outcome the log gives it.
Outcome FinsTransfer::exchangePart(FinsFailure &part, FinsLog::Line sent, FinsLog::Line answered, bool mayShrink)
{
    const Outcome exchanged = traced(part.command, FinsExchangeContext{&m_log, part.tag, part.count, part.write},
                                     sent, answered, &part.answer);
    if (exchanged.kind == Outcome::Kind::NotConnected)
        return exchanged;
    part.outcome = exchanged;
    if (!exchanged.ok())
        return m_log.failed(part);
    part.outcome = withFrames(FinsAnswer::check(part.command, part.answer, part.dataBytes, &part.fault), exchanged);
    if (part.fault == FinsAnswer::Fault::None)
        return part.outcome;
    part.quiet = mayShrink && part.fault == FinsAnswer::Fault::EndCode && isTooLong(part.outcome.endCode);
    return m_log.failed(part);
}
