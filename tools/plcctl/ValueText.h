#ifndef PLCCTL_VALUETEXT_H
#define PLCCTL_VALUETEXT_H

// Tag types by name (result codes in words: ResultWords.h), and the conversion between the
// values a user types and the lists a CLabelVariable carries. Everything here
// is a pure function: no driver, no I/O.

#include <QString>
#include <QStringList>
#include <QVariant>

#include "ResultWords.h"

class CLabelVariable;

namespace plcctl {

// DataType code (Bool 1 .. Double 11) for a name, case-insensitive; 0 when
// the name is no transferable type.
int typeFromName(const QString &name);
// Canonical name of a type code ("Int16"); "type N" for codes without a name.
QString typeName(int type);
// The names typeFromName accepts, in code order, for usage texts.
QStringList typeNames();

// Parses `texts` as elements of `type` into a QVariant holding the list type
// the drivers expect (QList<short> for Int16 ...). Strict: every text must be
// a complete number (or Bool word) within the type's range. On failure the
// result is invalid and `error` names the offending text and why.
QVariant parseValues(int type, const QStringList &texts, QString *error);

// The elements of `value` (a read or write result) as display texts, using
// the accessor of `type`; empty when the value holds no list of that type.
QStringList formatValues(CLabelVariable value, int type);
// The same elements as JSON literals: numbers written exactly (64-bit
// integers are not squeezed through a double), true/false for Bool, and
// the strings "NaN", "Infinity", "-Infinity" for non-finite reals.
QStringList jsonValues(CLabelVariable value, int type);

// Shortest text that reads back as exactly the same float / double.
QString realText(float value);
QString realText(double value);

// True when both values hold the same elements bit for bit (NaN == NaN of
// the same pattern): what a write compares its read-back against.
bool sameElements(CLabelVariable a, CLabelVariable b, int type);

} // namespace plcctl

#endif // PLCCTL_VALUETEXT_H
