#include "HLinkLog.h"

#include "FinsCommand.h"
#include "HLinkFrame.h"

namespace {

QString hex4(int code)
{
    return QStringLiteral("%1").arg(code & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

HLinkLog::HLinkLog(const HostLinkLines &lines)
    : FinsLog(QStringLiteral("lib[HLink]"))
    , m_lines(lines)
{
}

QString HLinkLog::text(Line line, const QString &tag, int count, const QByteArray &bytes, quint16 endCode) const
{
    const QString peer = m_lines.peerText();
    const QString hex = QString::fromLatin1(bytes.toHex());
    switch (line) {
    case Line::ReadCommand:
        return prefix() + QString::fromUtf8("读命令 %1 Area=%2  msg : %3").arg(peer, tag, hex);
    case Line::WriteCommand:
    case Line::WordWriteCommand:
        return prefix() + QString::fromUtf8("写命令 %1 Area=%2  msg : %3").arg(peer, tag, hex);
    case Line::Response:
    case Line::WordWriteResponse:
        return prefix() + QString::fromUtf8("响应 %1 Area=%2  msg : %3").arg(peer, tag, hex);
    case Line::Shrunk:
        return prefix() + QString::fromUtf8("%1 Area=%2 报文过长，减半重发 len = %3 code = %4")
                              .arg(peer, tag, QString::number(count), hex4(endCode));
    default:
        return FinsLog::text(line, tag, count, bytes, endCode);
    }
}

void HLinkLog::trace(Line line, const QString &tag, int count, const QByteArray &bytes) const
{
    FinsLog::trace(line, tag, count, bytes);
    if (line != Line::Response && line != Line::WordWriteResponse)
        return;
    for (const QString &warning : qAsConst(m_held))
        warnText(warning);
    m_held.clear();
}

QString HLinkLog::badAnswer(const QString &tag, const QString &why, const QByteArray &answer) const
{
    return QStringLiteral("%1 Area=%2 bad answer: %3  msg : %4")
        .arg(m_lines.peerText(), tag, why, QString::fromLatin1(answer.toHex()));
}

void HLinkLog::holdBadAnswer(const QString &tag, const QString &why, const QByteArray &answer) const
{
    m_held << badAnswer(tag, why, answer);
}

void HLinkLog::holdDropped(const QString &tag, int dropped) const
{
    m_held << QStringLiteral("%1 Area=%2 no answer; dropped %3 answer(s) for another unit or request")
                  .arg(m_lines.peerText(), tag)
                  .arg(dropped);
}

QString HLinkLog::unitOf(const QByteArray &request)
{
    return QStringLiteral("unit %1").arg(QString::fromLatin1(request.mid(1, 2)));
}

QString HLinkLog::why(const FinsFailure &f)
{
    const QByteArray &answer = f.answer;
    switch (f.fault) {
    case FinsAnswer::Fault::Command:
        return QStringLiteral("command %1 echoed")
            .arg(QString::fromLatin1(answer.mid(FinsCommand::OffCommand, 2).toHex().toUpper()));
    case FinsAnswer::Fault::EndCode: return QStringLiteral("FINS end code %1").arg(hex4(f.outcome.endCode));
    case FinsAnswer::Fault::Length:
        return HLinkFrame::dataLengthText(2 * (answer.size() - FinsCommand::ResponseHeadSize), 2 * f.dataBytes);
    default: return f.outcome.reason;
    }
}

Outcome HLinkLog::failed(const FinsFailure &f) const
{
    if (f.fault == FinsAnswer::Fault::None)
        return f.outcome;
    const QString reason = why(f);
    if (!f.quiet)
        warnText(badAnswer(f.tag, reason, f.outcome.answer));
    Outcome outcome = f.outcome;
    outcome.reason = QStringLiteral("%1 (%2)").arg(reason, unitOf(outcome.request));
    if (f.fault != FinsAnswer::Fault::EndCode)
        outcome.endCode = -1;
    return outcome;
}
