#include "AddressGrammar.h"

#include <limits>

namespace AddressGrammar {
namespace {

struct AreaEntry {
    const char *name;
    const char *codeText; // may be null
    int wordCode;
    int bitCode;
};

// Order matters: the first entry found anywhere in the text wins.
const AreaEntry kAreas[] = {
    {"CIO", "B0", 0xB0, 0x30},
    {"W", "B1", 0xB1, 0x31},
    {"H", "B2", 0xB2, 0x32},
    {"A", "B3", 0xB3, 0x33},
    {"EM1", nullptr, 0xA0, 0x20},
    {"EM2", nullptr, 0xA1, 0x21},
    {"EM3", nullptr, 0xA2, 0x22},
    {"EM4", nullptr, 0xA3, 0x23},
    {"EM5", nullptr, 0xA4, 0x24},
    {"D", "82", 0x82, 0x02},
};

const AreaEntry *findArea(const QString &text)
{
    for (const AreaEntry &entry : kAreas) {
        if (text.contains(QLatin1String(entry.name), Qt::CaseInsensitive))
            return &entry;
        if (entry.codeText && text.contains(QLatin1String(entry.codeText), Qt::CaseInsensitive))
            return &entry;
    }
    return nullptr;
}

const AreaEntry *entryForCode(int wordArea)
{
    for (const AreaEntry &entry : kAreas) {
        if (entry.wordCode == wordArea)
            return &entry;
    }
    return nullptr;
}

// A complete decimal number with an optional leading minus: no blanks, no
// plus sign, no letters, nothing beyond int.
bool parseDecimal(const QString &text, bool allowMinus, int *out)
{
    int pos = 0;
    bool negative = false;
    if (allowMinus && text.startsWith(QLatin1Char('-'))) {
        negative = true;
        pos = 1;
    }
    if (pos >= text.size())
        return false;
    long long number = 0;
    for (; pos < text.size(); ++pos) {
        const QChar c = text.at(pos);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        number = number * 10 + (c.unicode() - '0');
        if (number > std::numeric_limits<int>::max())
            return false;
    }
    *out = static_cast<int>(negative ? -number : number);
    return true;
}

// The part of the text after the area name, or a null string when the text
// does not begin with the name of `entry`.
QString afterAreaName(const QString &text, const AreaEntry &entry)
{
    if (!text.startsWith(QLatin1String(entry.name), Qt::CaseInsensitive))
        return QString();
    return text.mid(int(qstrlen(entry.name)));
}

} // namespace

int areaCode(const QString &text)
{
    const AreaEntry *entry = findArea(text);
    return entry ? entry->wordCode : 0;
}

int bitAreaCode(const QString &text)
{
    const AreaEntry *entry = findArea(text);
    return entry ? entry->bitCode : 0;
}

int bitAreaFor(int wordArea)
{
    const AreaEntry *entry = entryForCode(wordArea);
    return entry ? entry->bitCode : 0;
}

int wordAddress(const QString &text, int area)
{
    const AreaEntry *entry = entryForCode(area);
    if (!entry)
        return 0; // unknown area: the caller reports the area, not the word
    const QString rest = afterAreaName(text, *entry);
    if (rest.isNull())
        return Invalid;
    const int dot = rest.indexOf(QLatin1Char('.'));
    int word = 0;
    if (!parseDecimal(dot < 0 ? rest : rest.left(dot), true, &word))
        return Invalid;
    return word;
}

int bitNumber(const QString &text, int area)
{
    const AreaEntry *entry = entryForCode(area);
    if (!entry)
        return 0;
    const QString rest = afterAreaName(text, *entry);
    if (rest.isNull())
        return Invalid;
    const int dot = rest.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return 0;
    int bit = 0;
    if (!parseDecimal(rest.mid(dot + 1), false, &bit))
        return Invalid;
    return bit;
}

} // namespace AddressGrammar
