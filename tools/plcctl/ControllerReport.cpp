#include "ControllerReport.h"

#include "EndCodeText.h"

#include <QLocale>

namespace plcctl {

namespace {

QString modeMeaning(const ControllerStatus &s)
{
    if (s.mode == QLatin1String("PROGRAM"))
        return QStringLiteral("the program does not run; outputs are off");
    if (!s.running)
        return QStringLiteral("the program has stopped");
    if (s.mode == QLatin1String("MONITOR"))
        return QStringLiteral("the program runs and memory may be changed online");
    if (s.mode == QLatin1String("RUN"))
        return QStringLiteral("the program runs");
    return s.running ? QStringLiteral("the program runs") : QStringLiteral("the program does not run");
}

QString hex4(int v) { return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper(); }

QStringList quoted(const QStringList &words)
{
    QStringList out;
    for (const QString &w : words)
        out << JsonLine::quote(w);
    return out;
}

} // namespace

QStringList identityLines(const ControllerIdentity &id)
{
    QStringList out;
    out << QStringLiteral("model:       %1").arg(id.model.isEmpty() ? QStringLiteral("(no model text)") : id.model);
    out << QStringLiteral("revision:    %1").arg(id.version.isEmpty() ? QStringLiteral("(none)") : id.version);
    if (id.details.contains(QStringLiteral("dmWords"))) {
        const int em = id.details.value(QStringLiteral("emBanks")).toInt();
        out << QStringLiteral("memory:      DM %1 words, %2")
                   .arg(id.details.value(QStringLiteral("dmWords")).toInt())
                   .arg(em > 0 ? QStringLiteral("EM banks 0-%1").arg(QString::number(em - 1, 16).toUpper())
                               : QStringLiteral("no EM"));
    }
    return out;
}

QStringList statusLines(const ControllerStatus &s)
{
    QStringList out;
    out << QStringLiteral("mode:        %1 (%2)").arg(s.mode, modeMeaning(s));
    QStringList errors = s.errors;
    if (s.errorCode != 0)
        errors << QStringLiteral("error code %1").arg(hex4(s.errorCode));
    if (!s.errorMessage.isEmpty())
        errors << QStringLiteral("message \"%1\"").arg(s.errorMessage);
    if (errors.isEmpty())
        errors << QStringLiteral("none");
    out << QStringLiteral("errors:      %1").arg(errors.takeFirst());
    for (const QString &e : errors)
        out << QStringLiteral("             %1").arg(e);
    return out;
}

QString clockText(const QDateTime &time)
{
    return QStringLiteral("%1 (%2)").arg(time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                         QLocale::c().dayName(time.date().dayOfWeek()));
}

QString statusSummary(const ControllerStatus &s)
{
    QString errors;
    if (s.fatalError)
        errors = QStringLiteral("a FATAL error");
    if (s.nonFatalError)
        errors += (errors.isEmpty() ? QString() : QStringLiteral(" and ")) + QStringLiteral("a non-fatal error");
    if (errors.isEmpty())
        errors = QStringLiteral("no error");
    QString text = QStringLiteral("%1 mode (%2), %3").arg(s.mode, modeMeaning(s), errors);
    if (s.errorCode != 0)
        text += QStringLiteral(", error code %1").arg(hex4(s.errorCode));
    if (!s.errorMessage.isEmpty())
        text += QStringLiteral(", message \"%1\"").arg(s.errorMessage);
    return text;
}

QString outcomeText(const Outcome &o)
{
    if (o.kind == Outcome::Kind::Unsupported)
        return QStringLiteral("not supported by this controller%1")
            .arg(o.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(o.reason));
    QString text = o.reason.isEmpty() ? QString::fromLatin1(Outcome::kindName(o.kind)) : o.reason;
    if (o.kind == Outcome::Kind::EndCode && o.endCode >= 0 && !text.contains(hex4(o.endCode & 0x7F3F)))
        text += QStringLiteral(" (end code %1)").arg(finsEndCodeText(quint16(o.endCode)));
    return text;
}

void addIdentity(JsonLine &line, const ControllerIdentity &id)
{
    line.text(QStringLiteral("model"), id.model).text(QStringLiteral("revision"), id.version);
    for (auto it = id.details.cbegin(); it != id.details.cend(); ++it) {
        bool isNumber = false;
        const qint64 n = it.value().toLongLong(&isNumber);
        if (isNumber)
            line.number(it.key(), n);
        else
            line.text(it.key(), it.value().toString());
    }
}

void addStatus(JsonLine &line, const ControllerStatus &s)
{
    line.text(QStringLiteral("mode"), s.mode)
        .boolean(QStringLiteral("running"), s.running)
        .boolean(QStringLiteral("fatalError"), s.fatalError)
        .boolean(QStringLiteral("nonFatalError"), s.nonFatalError)
        .text(QStringLiteral("errorCode"), hex4(s.errorCode))
        .text(QStringLiteral("errorMessage"), s.errorMessage)
        .array(QStringLiteral("errors"), quoted(s.errors));
}

QString clockJson(const QDateTime &time) { return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")); }

bool parseClockTime(const QString &text, QDateTime *out, QString *error)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char('T'), QLatin1Char(' '));
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime dt = QDateTime::fromString(t, QLatin1String(format));
        if (dt.isValid()) {
            *out = dt;
            return true;
        }
    }
    *error = QStringLiteral("bad TIME '%1' (now, or YYYY-MM-DD HH:MM[:SS])").arg(text);
    return false;
}

} // namespace plcctl
