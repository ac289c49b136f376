#include "ResultReport.h"

#include "CLabelVariable.h"
#include "JsonLine.h"
#include "ValueText.h"

namespace plcctl {

QString tagTitle(const QString &address, int type, int count)
{
    const QString title = address + QLatin1Char(' ') + typeName(type);
    return count == 1 ? title : title + QStringLiteral("[%1]").arg(count);
}

QString resultLine(const QString &address, int type, int count, const CLabelVariable &result)
{
    const QString title = tagTitle(address, type, count);
    if (result.errorCode != 0)
        return title + QStringLiteral(": result ") + resultText(result.errorCode);
    return title + QStringLiteral(" = ") + formatValues(result, type).join(QLatin1Char(' '));
}

QString timeText(const CLabelVariable &result)
{
    if (result.timestamp.isNull())
        return QString();
    return result.timestamp.toString(Qt::ISODateWithMs);
}

QString resultJson(const QString &op, const QString &address, int type, int count,
                   const CLabelVariable &result, const QString &extra)
{
    JsonLine line;
    line.text(QStringLiteral("op"), op)
        .text(QStringLiteral("address"), address)
        .text(QStringLiteral("type"), typeName(type))
        .number(QStringLiteral("count"), count)
        .number(QStringLiteral("errorCode"), result.errorCode)
        .text(QStringLiteral("result"), resultMeaning(result.errorCode));
    const QStringList values = jsonValues(result, type);
    if (result.errorCode == 0 || !values.isEmpty())
        line.array(QStringLiteral("values"), values);
    else
        line.null(QStringLiteral("values"));
    const QString time = timeText(result);
    if (time.isEmpty())
        line.null(QStringLiteral("timestamp"));
    else
        line.text(QStringLiteral("timestamp"), time);
    QString text = line.toString();
    if (!extra.isEmpty())
        text.insert(text.size() - 1, QLatin1Char(',') + extra);
    return text;
}

} // namespace plcctl
