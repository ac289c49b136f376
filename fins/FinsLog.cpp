#include "FinsLog.h"

#include <QDebug>

namespace {

// %1 address, %2 port, %3 tag, %4 count, %5 bytes; %6 the end code.
const char *body(FinsLog::Line line)
{
    switch (line) {
    case FinsLog::Line::ReadCommand: return "读命令 %1:%2 Area=%3  len = %4 msg : %5";
    case FinsLog::Line::WriteCommand:
    case FinsLog::Line::WordWriteCommand: return "写命令 %1:%2 Area=%3  len = %4 msg : %5";
    case FinsLog::Line::Response:
    case FinsLog::Line::WordWriteResponse: return "响应 %1:%2 Area=%3  len = %4 msg : %5";
    case FinsLog::Line::EmptyAnswer: return "返回的报文长度为0 %1:%2 Area=%3  len = %4 msg : %5";
    case FinsLog::Line::BadLength: return "报文返回长度错误 %1:%2 Area=%3  len = %4 msg : %5";
    case FinsLog::Line::BadNodes: return "目标地址，源地址错误 %1:%2 Area=%3  len = %4 msg : %5";
    case FinsLog::Line::BadEndCode: return "报文结束码错误 %1:%2 Area=%3  len = %4 code = %6 msg : %5";
    case FinsLog::Line::Resend: return "无响应，重发 %1:%2 Area=%3  len = %4 msg : %5";
    case FinsLog::Line::Shrunk: return "报文过长，减半重发 %1:%2 Area=%3  len = %4 code = %6 msg : %5";
    }
    return "";
}

} // namespace

FinsLog::FinsLog(const QString &prefix, bool prefixWordWrites)
    : m_prefix(prefix)
    , m_prefixWordWrites(prefixWordWrites)
{
}

FinsLog::~FinsLog() = default;

void FinsLog::setPeer(const QString &address, int port)
{
    m_address = address;
    m_port = QString::number(port);
}

QString FinsLog::text(Line line, const QString &tag, int count, const QByteArray &bytes, quint16 endCode) const
{
    const bool wordWrite = line == Line::WordWriteCommand || line == Line::WordWriteResponse;
    QString format = (wordWrite && !m_prefixWordWrites ? QString() : m_prefix) + QString::fromUtf8(body(line));
    // The end code goes in first: the other fields may hold "%6".
    if (line == Line::BadEndCode || line == Line::Shrunk)
        format.replace(QLatin1String("%6"), QStringLiteral("%1").arg(endCode, 4, 16, QLatin1Char('0')).toUpper());
    // One pass, so a tag text holding "%4" is not substituted again.
    return format.arg(m_address, m_port, tag, QString::number(count), QString::fromLatin1(bytes.toHex()));
}

void FinsLog::trace(Line line, const QString &tag, int count, const QByteArray &bytes) const
{
    if (m_debug)
        QMessageLogger().debug().noquote() << text(line, tag, count, bytes);
}

void FinsLog::warn(Line line, const QString &tag, int count, const QByteArray &bytes, quint16 endCode) const
{
    QMessageLogger().warning().noquote() << text(line, tag, count, bytes, endCode);
}

void FinsLog::warnText(const QString &line) const
{
    QMessageLogger().warning().noquote() << m_prefix + line;
}

Outcome FinsLog::failed(const FinsFailure &f) const
{
    Outcome outcome = f.outcome;
    const QByteArray &wire = outcome.answer;
    const bool nodes = outcome.step == QLatin1String("nodes");
    using Fault = FinsAnswer::Fault;
    switch (f.fault) {
    case Fault::None:
        // Answers for other node numbers have been named by the link already.
        if (!f.write && wire.isEmpty() && !nodes)
            warn(Line::EmptyAnswer, f.tag, f.count, wire);
        else if (!f.write && !wire.isEmpty() && !nodes)
            warn(Line::BadLength, f.tag, f.count, wire);
        outcome.kind = wire.isEmpty() || nodes ? Outcome::Kind::NoAnswer : Outcome::Kind::BadAnswer;
        break;
    case Fault::Nodes: warn(Line::BadNodes, f.tag, f.count, wire); break;
    case Fault::EndCode:
        if (!f.quiet)
            warn(Line::BadEndCode, f.tag, f.count, wire, quint16(outcome.endCode));
        break;
    case Fault::Malformed:
    case Fault::Command:
    case Fault::Length:
        if (!f.write)
            warn(Line::BadLength, f.tag, f.count, wire);
        break;
    }
    return outcome;
}
