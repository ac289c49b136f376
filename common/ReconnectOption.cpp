#include "ReconnectOption.h"

namespace ReconnectOption {

bool take(QString *text, bool *reconnect)
{
    *reconnect = false;
    const int comma = text->lastIndexOf(QLatin1Char(','));
    const QString field = text->mid(comma + 1).trimmed();
    if (comma < 0 || !field.startsWith(QLatin1String("reconnect="), Qt::CaseInsensitive))
        return true;
    const QString value = field.mid(10);
    if (value.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
        *reconnect = true;
    else if (value.compare(QLatin1String("off"), Qt::CaseInsensitive) != 0)
        return false;
    text->truncate(comma);
    return true;
}

} // namespace ReconnectOption
