#include "CmdHLinkC.h"

#include <QMessageLogger>

using CModeFrame::FrameCheck;
using CModeFrame::Verdict;

namespace {

// For the first answer character; the answer's own line time comes on top.
constexpr int kAnswerWaitMs = 2000;
constexpr char kLoneCr[] = "\r";

void warn(const QString &text)
{
    QMessageLogger().warning("%s", qPrintable(text));
}

} // namespace

struct CmdHLinkC::Exchange {
    int unit = 0;
    QByteArray header;
    QString tag;
    bool writing = false;
    Outcome outcome;
    quint64 droppedBefore = 0; // answers dropped before this exchange began
};

CmdHLinkC::CmdHLinkC(CModeLink *link)
    : link(link)
{
}

int CmdHLinkC::deadlineMs(int chars) const
{
    return kAnswerWaitMs + link->lineTimeMs(chars + CModeFrame::MaxFirstFrame);
}

void CmdHLinkC::trace(const Exchange &x, bool sent, const QByteArray &bytes) const
{
    if (!debugOn)
        return;
    const QString what = !sent ? QString::fromUtf8("响应")
                               : QString::fromUtf8(x.writing ? "写命令" : "读命令");
    QMessageLogger().debug("%s", qPrintable(QStringLiteral("lib[HLinkC]%1 %2 Area=%3  msg : %4")
                                                .arg(what, link->peerText(), x.tag,
                                                     QString::fromLatin1(bytes.toHex()))));
}

bool CmdHLinkC::transmit(Exchange &x, const QByteArray &bytes)
{
    x.outcome.request = bytes;
    trace(x, true, bytes);
    return link->send(bytes);
}

Outcome CmdHLinkC::fail(Exchange &x, Outcome::Kind kind, const QString &reason, bool abort)
{
    Outcome o = Outcome::make(kind, x.outcome.step, reason, x.outcome.endCode);
    o.request = x.outcome.request;
    o.answer = x.outcome.answer;
    if (kind == Outcome::Kind::BadAnswer || kind == Outcome::Kind::NoAnswer) {
        warn(QStringLiteral("lib[HLinkC]%1 Area=%2 %3%4  msg : %5")
                 .arg(link->peerText(), x.tag,
                      kind == Outcome::Kind::NoAnswer ? QString() : QStringLiteral("bad answer: "), reason,
                      QString::fromLatin1(o.answer.toHex())));
    }
    // The controller holds the rest of a long answer until told: XZ ends it.
    if (abort && link->isUp()) {
        const QByteArray xz = CModeFrame::abortCommand(x.unit);
        trace(x, true, xz);
        link->send(xz);
    }
    link->dropInput();
    return o;
}

Outcome CmdHLinkC::begin(Exchange &x, const QByteArray &frame)
{
    x.outcome.step = QStringLiteral("send");
    x.droppedBefore = dropped;
    // Two decimal digits carry the unit: any other number would reach another controller.
    if (x.unit < 0 || x.unit > 31) {
        const QString why = QStringLiteral("unit %1 is outside 0-31 (SetConnectPar): nothing sent").arg(x.unit);
        warn(QStringLiteral("lib[HLinkC]%1 Area=%2 %3").arg(link->peerText(), x.tag, why));
        return Outcome::refused(1, why);
    }
    if (!link->isUp() && !link->reopen(kAnswerWaitMs))
        return fail(x, Outcome::Kind::NotConnected, QStringLiteral("no link"));
    link->dropInput();
    if (!transmit(x, frame))
        return fail(x, Outcome::Kind::NotConnected, QStringLiteral("the line took no bytes"));
    x.outcome.step = QStringLiteral("answer");
    return Outcome::done();
}

// The first frame of the answer: noise before "@" and other units' or other
// commands' answers are dropped; the rest is checked.
Outcome CmdHLinkC::awaitFirst(Exchange &x, FrameCheck *check)
{
    const QDeadlineTimer deadline(deadlineMs(x.outcome.request.size()));
    for (;;) {
        QByteArray piece;
        const CModeLink::Received got = link->receive(&piece, deadline, false);
        if (got == CModeLink::Received::Down)
            return fail(x, Outcome::Kind::NotConnected, QStringLiteral("the link went away"));
        if (got == CModeLink::Received::TimedOut) {
            // A late first frame of a long answer would hold the line: XZ ends it.
            return fail(x, Outcome::Kind::NoAnswer, QStringLiteral("no answer within %1 ms%2")
                                                        .arg(deadlineMs(x.outcome.request.size()))
                                                        .arg(dropped > x.droppedBefore ? QStringLiteral(" (answers for another unit or command dropped)")
                                                                     : QString()), true);
        }
        const int at = piece.lastIndexOf('@');
        if (at < 0)
            continue; // noise, or a handshake CR that belongs to nothing
        piece = piece.mid(at);
        *check = CModeFrame::checkFirst(piece, x.unit, x.header);
        if (check->verdict == Verdict::Foreign) {
            ++dropped;
            continue;
        }
        x.outcome.answer += piece;
        trace(x, false, piece);
        return finishFirst(x, *check);
    }
}

Outcome CmdHLinkC::finishFirst(Exchange &x, const FrameCheck &check)
{
    switch (check.verdict) {
    case Verdict::Undecoded: return fail(x, Outcome::Kind::BadAnswer, check.failure);
    case Verdict::Broken:
        // A broken first frame may still be followed by more: abort it.
        return fail(x, Outcome::Kind::BadAnswer, check.failure, !x.outcome.answer.endsWith("*\r"));
    default: break;
    }
    x.outcome.endCode = check.endCode;
    if (check.endCode == 0)
        return Outcome::done();
    QString words = CModeFrame::endCodeText(check.endCode);
    if (x.writing && check.endCode == 0x01) {
        words += QStringLiteral(": the controller must be in MONITOR mode");
        warn(QStringLiteral("lib[HLinkC]%1 Area=%2 write refused (end code 01): %3").arg(link->peerText(), x.tag, words));
    } else {
        warn(QStringLiteral("lib[HLinkC]%1 Area=%2 end code %3: %4  msg : %5")
                 .arg(link->peerText(), x.tag, QString::number(check.endCode, 16).toUpper().rightJustified(2, '0'),
                      words, QString::fromLatin1(x.outcome.answer.toHex())));
    }
    Outcome o = Outcome::make(Outcome::Kind::EndCode, x.outcome.step, words, check.endCode);
    o.request = x.outcome.request;
    o.answer = x.outcome.answer;
    return o;
}

Outcome CmdHLinkC::readRest(Exchange &x, FrameCheck frame, int count, Words *out)
{
    Words words;
    for (;;) {
        if (!CModeFrame::parseWords(frame.text, &words))
            return fail(x, Outcome::Kind::BadAnswer, QStringLiteral("data are no whole hex words"), !frame.last);
        if (words.size() > count)
            return fail(x, Outcome::Kind::BadAnswer, QStringLiteral("more words than asked"), !frame.last);
        if (frame.last)
            break;
        if (!transmit(x, kLoneCr))
            return fail(x, Outcome::Kind::NotConnected, QStringLiteral("the line took no bytes"));
        QByteArray piece;
        const CModeLink::Received got = link->receive(&piece, QDeadlineTimer(deadlineMs(0)), true);
        if (got == CModeLink::Received::Down)
            return fail(x, Outcome::Kind::NotConnected, QStringLiteral("the link went away"));
        if (got == CModeLink::Received::TimedOut)
            return fail(x, Outcome::Kind::NoAnswer, QStringLiteral("no answer: the later frames of a long answer never came"), true);
        x.outcome.answer += piece;
        trace(x, false, piece);
        frame = CModeFrame::checkLater(piece);
        if (frame.verdict != Verdict::Accepted)
            return fail(x, Outcome::Kind::BadAnswer, QStringLiteral("later frame: ") + frame.failure, !frame.last);
    }
    if (words.size() != count)
        return fail(x, Outcome::Kind::BadAnswer, QStringLiteral("%1 words in the answer, %2 asked").arg(words.size()).arg(count));
    *out += words;
    return Outcome::done();
}

// A finished exchange: done, with its frames for the diagnostics face.
static Outcome doneWith(const Outcome &frames)
{
    Outcome o = Outcome::done();
    o.step = QStringLiteral("answer");
    o.request = frames.request;
    o.answer = frames.answer;
    return o;
}

Outcome CmdHLinkC::read(int unit, int area, int word, int count, const QString &tag, Words *out)
{
    Words all;
    Outcome last;
    for (int done = 0; done < count;) {
        const int n = qMin(CModeFrame::MaxCommandWords, count - done);
        Exchange x{unit, CModeFrame::commandsFor(area).read, tag, false, Outcome()};
        Outcome o = begin(x, CModeFrame::readCommand(unit, area, word + done, n));
        FrameCheck first;
        if (o.ok())
            o = awaitFirst(x, &first);
        if (o.ok())
            o = readRest(x, first, n, &all);
        if (!o.ok())
            return o;
        last = x.outcome;
        done += n;
    }
    *out += all;
    return doneWith(last);
}

// Later write frames go out one by one, each after the controller's lone CR;
// an answer instead of the CR ends the write (a refusal of its first frame).
Outcome CmdHLinkC::sendRest(Exchange &x, const QList<QByteArray> &frames)
{
    for (int i = 1; i < frames.size(); ++i) {
        const QDeadlineTimer deadline(deadlineMs(frames.at(i - 1).size()));
        for (;;) {
            QByteArray piece;
            const CModeLink::Received got = link->receive(&piece, deadline, true);
            if (got == CModeLink::Received::Down)
                return fail(x, Outcome::Kind::NotConnected, QStringLiteral("the link went away"));
            if (got == CModeLink::Received::TimedOut)
                return fail(x, Outcome::Kind::NoAnswer, QStringLiteral("no answer: no handshake CR after write frame %1").arg(i));
            if (piece == kLoneCr) {
                x.outcome.answer += piece;
                trace(x, false, piece);
                break;
            }
            const int at = piece.lastIndexOf('@');
            if (at < 0)
                continue;
            const FrameCheck check = CModeFrame::checkFirst(piece.mid(at), x.unit, x.header);
            if (check.verdict == Verdict::Foreign) {
                ++dropped;
                continue;
            }
            x.outcome.answer += piece.mid(at);
            trace(x, false, piece.mid(at));
            const Outcome o = finishFirst(x, check);
            return o.ok() ? fail(x, Outcome::Kind::BadAnswer, QStringLiteral("answered before the last frame")) : o;
        }
        if (!transmit(x, frames.at(i)))
            return fail(x, Outcome::Kind::NotConnected, QStringLiteral("the line took no bytes"));
    }
    return Outcome::done();
}

Outcome CmdHLinkC::write(int unit, int area, int word, const Words &words, const QString &tag)
{
    Outcome last;
    for (int done = 0; done < words.size();) {
        const int n = qMin(CModeFrame::MaxCommandWords, words.size() - done);
        const QList<QByteArray> frames = CModeFrame::writeFrames(unit, area, word + done, words.mid(done, n));
        Exchange x{unit, CModeFrame::commandsFor(area).write, tag, true, Outcome()};
        Outcome o = begin(x, frames.value(0));
        if (o.ok())
            o = sendRest(x, frames);
        FrameCheck answer;
        if (o.ok())
            o = awaitFirst(x, &answer);
        if (o.ok() && !answer.last)
            o = fail(x, Outcome::Kind::BadAnswer, QStringLiteral("write answer is no single frame"), true);
        if (!o.ok())
            return o;
        last = x.outcome;
        done += n;
    }
    return doneWith(last);
}

Outcome CmdHLinkC::query(int unit, const QByteArray &header, QByteArray *text)
{
    Exchange x{unit, header, QString::fromLatin1(header), false, Outcome()};
    Outcome o = begin(x, CModeFrame::command(unit, header));
    FrameCheck answer;
    if (o.ok())
        o = awaitFirst(x, &answer);
    if (o.ok() && !answer.last)
        o = fail(x, Outcome::Kind::BadAnswer, QStringLiteral("answer is no single frame"), true);
    if (o.ok()) {
        *text = answer.text;
        o = doneWith(x.outcome);
    }
    if (o.kind == Outcome::Kind::BadAnswer && x.outcome.answer.mid(3, 2) == "IC")
        o.kind = Outcome::Kind::Unsupported;
    return o;
}
