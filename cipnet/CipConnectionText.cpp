#include "CipConnectionText.h"

#include <QStringList>

namespace CipConnectionText {

namespace {

bool number(const QString &text, int min, int max, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < min || v > max || text.startsWith(QLatin1Char('+')))
        return false;
    *out = v;
    return true;
}

QString parseAddress(const QString &text, CipLink::Settings *out)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString ip = (colon < 0 ? text : text.left(colon)).trimmed();
    QHostAddress address;
    if (ip.count(QLatin1Char('.')) != 3 || !address.setAddress(ip)
        || address.protocol() != QAbstractSocket::IPv4Protocol)
        return QStringLiteral("'%1' is no numeric IPv4 address").arg(ip);
    out->address = address;
    int port = 44818;
    if (colon >= 0 && !number(text.mid(colon + 1).trimmed(), 1, 65535, &port))
        return QStringLiteral("'%1' is no port from 1 to 65535").arg(text.mid(colon + 1));
    out->port = quint16(port);
    return QString();
}

} // namespace

QString parse(const QString &text, CipLink::Settings *out)
{
    CipLink::Settings s;
    const QStringList parts = text.split(QLatin1Char(','));
    QString why = parseAddress(parts.first(), &s);
    if (!why.isEmpty())
        return why;
    QStringList seen;
    for (int k = 1; k < parts.size(); ++k) {
        const QString part = parts.at(k).trimmed();
        const int eq = part.indexOf(QLatin1Char('='));
        const QString key = part.left(eq);
        const QString value = part.mid(eq + 1);
        if (eq < 0 || seen.contains(key))
            return QStringLiteral("'%1' is %2").arg(part, eq < 0 ? QStringLiteral("no setting")
                                                                 : QStringLiteral("given twice"));
        seen.append(key);
        if (key == QLatin1String("timeout")) {
            if (!number(value, 1, 60000, &s.timeoutMs))
                return QStringLiteral("timeout '%1' is not 1 to 60000 ms").arg(value);
        } else if (key == QLatin1String("connected") || key == QLatin1String("reconnect")) {
            if (value != QLatin1String("on") && value != QLatin1String("off"))
                return QStringLiteral("%1 '%2' is neither on nor off").arg(key, value);
            (key == QLatin1String("connected") ? s.connected : s.reconnect) = value == QLatin1String("on");
        } else {
            return QStringLiteral("unknown setting '%1'").arg(key);
        }
    }
    *out = s;
    return QString();
}

} // namespace CipConnectionText
