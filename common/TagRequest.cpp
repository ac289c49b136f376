#include "TagRequest.h"

#include <QList>

#include "CDriveBaseClass.h"
#include "LocalTimestamp.h"
#include "WordLayout.h"

namespace TagRequest {

bool isTransferType(int type)
{
    return type >= Bool && type <= Double;
}

long long boolWords(int bit, int count)
{
    return (static_cast<long long>(bit) + count + 15) / 16;
}

int check(int word, int bit, int area, int count, int type, long long wordsNeeded)
{
    if (word < 0 || bit < 0)
        return BadAddress;
    if (area == 0)
        return UnknownArea;
    if (count < 1)
        return BadCount;
    if (static_cast<long long>(word) + count > MaxWord)
        return BadAddress;
    if (!isTransferType(type))
        return TypeNotHandled;
    // A multi-word type can pass the element check and still run past the
    // last word; 16-bit addressing would then wrap to word 0.
    if (static_cast<long long>(word) + wordsNeeded > MaxWord)
        return BadAddress;
    return Success;
}

namespace {

template <typename T>
bool holds(const QVariant &value, int count)
{
    return value.userType() == qMetaTypeId<QList<T>>() && value.value<QList<T>>().size() >= count;
}

} // namespace

bool holdsElements(const CLabelVariable &value, int type, int count)
{
    return WordLayout::withElementType(type, false,
                                       [&](auto element) { return holds<decltype(element)>(value.value, count); });
}

void adopt(CLabelVariable &into, const CLabelVariable &done)
{
    into.errorCode = done.errorCode;
    into.value = done.value;
    into.timestamp = done.timestamp;
    into.auxText = done.auxText;
}

CLabelVariable freshResult()
{
    CLabelVariable result;
    result.timestamp = LocalTimestamp::now();
    return result;
}

} // namespace TagRequest
