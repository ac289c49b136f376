#ifndef FINSE2E_H
#define FINSE2E_H

// Helpers for driving the built FINS plug-in against the simulator.

#include <QString>
#include <QVariant>

#include <cstdlib>
#include <initializer_list>

#include "CDriveBaseClass.h"

namespace fins_e2e {

// Readable text of a value's element list, for comparisons in failures.
QString describe(const QVariant &value);

template <typename T>
QVariant listOf(std::initializer_list<T> elements)
{
    return QVariant::fromValue(QList<T>(elements));
}

template <typename T>
CLabelVariable valueOf(std::initializer_list<T> elements)
{
    CLabelVariable value;
    value.value = listOf(elements);
    return value;
}

// A seed after which the C library's next rand() has `lowByte` as low byte:
// the driver asks the PLC for that client node on its next connect.
unsigned seedForNode(int lowByte);

// The host never deletes a driver; tests do, so sanitizer runs stay clean.
void release(CDriveBaseClass *driver);

QString endpoint(quint16 port);

} // namespace fins_e2e

#endif // FINSE2E_H
