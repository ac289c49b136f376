#include "JsonLine.h"

#include "ValueText.h"

#include <cmath>

namespace plcctl {

JsonLine &JsonLine::raw(const QString &key, const QString &literal)
{
    m_fields.append(quote(key) + QLatin1Char(':') + literal);
    return *this;
}

JsonLine &JsonLine::text(const QString &key, const QString &value)
{
    return raw(key, quote(value));
}

JsonLine &JsonLine::number(const QString &key, qint64 value)
{
    return raw(key, QString::number(value));
}

JsonLine &JsonLine::real(const QString &key, double value)
{
    return raw(key, std::isfinite(value) ? realText(value) : QStringLiteral("null"));
}

JsonLine &JsonLine::boolean(const QString &key, bool value)
{
    return raw(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

JsonLine &JsonLine::array(const QString &key, const QStringList &literals)
{
    return raw(key, QLatin1Char('[') + literals.join(QLatin1Char(',')) + QLatin1Char(']'));
}

JsonLine &JsonLine::null(const QString &key)
{
    return raw(key, QStringLiteral("null"));
}

QString JsonLine::toString() const
{
    return QLatin1Char('{') + m_fields.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString JsonLine::quote(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

} // namespace plcctl
