#ifndef HLINKTESTVALUES_H
#define HLINKTESTVALUES_H

// Small helpers the Host Link tests share: hex texts as
// digit values, tags from value lists and back.

#include <QByteArray>
#include <QList>
#include <QVariant>

#include "CDriveBaseClass.h"

namespace hlinktest {

// Digit values from a hex text ("1234 ABCD"): one byte 0..15 per character.
inline QByteArray digits(const char *text)
{
    QByteArray out;
    for (const char *p = text; *p; ++p) {
        if (*p == ' ')
            continue;
        out += char(QByteArray(1, *p).toInt(nullptr, 16));
    }
    return out;
}

template <typename T>
CLabelVariable tag(const QList<T> &list)
{
    CLabelVariable v;
    v.value = QVariant::fromValue(list);
    return v;
}

template <typename T>
QList<T> listOf(const QVariant &v)
{
    return v.value<QList<T>>();
}

} // namespace hlinktest

using hlinktest::digits;
using hlinktest::listOf;
using hlinktest::tag;

#endif
