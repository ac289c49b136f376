#include "CipPath.h"

#include <QStringList>

namespace CipPath {

namespace {

constexpr int kMaxNameBytes = 255; // the segment's length is one byte

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || (c.unicode() >= 0x80 && !c.isSpace() && c.isPrint());
}

bool parseName(const QString &text, int &at, Member *member, QString *why)
{
    const int start = at;
    while (at < text.size() && isNameChar(text.at(at)))
        ++at;
    if (at == start) {
        *why = QStringLiteral("a variable or member name is missing at position %1").arg(start + 1);
        return false;
    }
    const QString name = text.mid(start, at - start);
    if (name.at(0).isDigit()) {
        *why = QStringLiteral("the name '%1' starts with a digit").arg(name);
        return false;
    }
    member->name = name.toUtf8();
    if (member->name.size() > kMaxNameBytes) {
        *why = QStringLiteral("the name '%1' is longer than %2 bytes").arg(name).arg(kMaxNameBytes);
        return false;
    }
    return true;
}

bool parseIndexes(const QString &text, int &at, Member *member, QString *why)
{
    const int close = text.indexOf(QLatin1Char(']'), at);
    if (close < 0) {
        *why = QStringLiteral("'[' without ']'");
        return false;
    }
    const QStringList parts = text.mid(at + 1, close - at - 1).split(QLatin1Char(','));
    for (const QString &part : parts) {
        bool ok = false;
        const QString digits = part.trimmed();
        const int index = digits.toInt(&ok, 10);
        if (!ok || digits.startsWith(QLatin1Char('+')) || index < 0 || index > MaxIndex) {
            *why = QStringLiteral("'%1' is no index from 0 to %2").arg(digits).arg(MaxIndex);
            return false;
        }
        member->indexes.append(index);
    }
    if (member->indexes.size() > MaxDimensions) {
        *why = QStringLiteral("more than %1 dimensions").arg(MaxDimensions);
        return false;
    }
    at = close + 1;
    return true;
}

void appendIndex(QByteArray &out, int index)
{
    if (index <= 0xFF) {
        out.append('\x28');
        out.append(char(index));
    } else {
        out.append('\x29');
        out.append('\0');
        out.append(char(index & 0xFF));
        out.append(char(index >> 8));
    }
}

} // namespace

int Path::lastIndex() const
{
    if (members.isEmpty() || members.last().indexes.isEmpty())
        return 0;
    return members.last().indexes.last();
}

Path Path::withLastIndex(int index) const
{
    Path p = *this;
    if (p.members.isEmpty())
        return p;
    QVector<int> &indexes = p.members.last().indexes;
    if (indexes.isEmpty())
        indexes.append(index);
    else
        indexes.last() = index;
    return p;
}

Path parse(const QString &input, QString *why)
{
    QString ignored;
    QString &reason = why ? *why : ignored;
    const QString text = input.trimmed();
    Path path;
    int at = 0;
    for (;;) {
        Member member;
        if (!parseName(text, at, &member, &reason))
            return Path();
        if (at < text.size() && text.at(at) == QLatin1Char('[') && !parseIndexes(text, at, &member, &reason))
            return Path();
        path.members.append(member);
        if (at == text.size())
            return path;
        if (text.at(at) != QLatin1Char('.')) {
            reason = QStringLiteral("unexpected '%1' at position %2").arg(text.at(at)).arg(at + 1);
            return Path();
        }
        ++at;
    }
}

QByteArray encode(const Path &path)
{
    QByteArray out;
    for (const Member &member : path.members) {
        out.append('\x91');
        out.append(char(member.name.size()));
        out.append(member.name);
        if (member.name.size() % 2)
            out.append('\0');
        for (int index : member.indexes)
            appendIndex(out, index);
    }
    return out;
}

} // namespace CipPath
