#include "CLabelVariable.h"

namespace {

enum AccessStatus { AccessDone = 0, AccessOutOfRange = 10, AccessWrongType = 11 };

// Element access is strict on purpose: a QList<short> is never read as
// QList<int>, so a host that asks for the wrong type learns it (status 11)
// instead of receiving a converted number.
template <typename T>
T elementAt(const QVariant &value, int index, int &status, T fallback)
{
    if (value.userType() != qMetaTypeId<QList<T>>()) {
        status = AccessWrongType;
        return fallback;
    }
    const QList<T> list = value.value<QList<T>>();
    if (index < 0 || index >= list.size()) {
        status = AccessOutOfRange;
        return fallback;
    }
    status = AccessDone;
    return list.at(index);
}

} // namespace

CLabelVariable::CLabelVariable(const CLabelVariable &other) = default;
CLabelVariable &CLabelVariable::operator=(const CLabelVariable &other) = default;
CLabelVariable::~CLabelVariable() = default;

bool CLabelVariable::atbool(int index) { return elementAt<bool>(value, index, accessStatus, false); }
char CLabelVariable::atchar(int index) { return elementAt<char>(value, index, accessStatus, 0); }
char CLabelVariable::atInt8(int index) { return atchar(index); }
unsigned char CLabelVariable::atUInt8(int index) { return elementAt<unsigned char>(value, index, accessStatus, 0); }
short CLabelVariable::atInt16(int index) { return elementAt<short>(value, index, accessStatus, 0); }
unsigned short CLabelVariable::atUInt16(int index) { return elementAt<unsigned short>(value, index, accessStatus, 0); }
int CLabelVariable::atInt32(int index) { return elementAt<int>(value, index, accessStatus, 0); }
unsigned int CLabelVariable::atUInt32(int index) { return elementAt<unsigned int>(value, index, accessStatus, 0u); }
float CLabelVariable::atFloat(int index) { return elementAt<float>(value, index, accessStatus, 0.0f); }
long long CLabelVariable::atInt64(int index) { return elementAt<long long>(value, index, accessStatus, 0ll); }
unsigned long long CLabelVariable::atUInt64(int index) { return elementAt<unsigned long long>(value, index, accessStatus, 0ull); }
double CLabelVariable::atDouble(int index) { return elementAt<double>(value, index, accessStatus, 0.0); }
QString CLabelVariable::atQString(int index) { return elementAt<QString>(value, index, accessStatus, QString()); }
