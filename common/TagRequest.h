#ifndef TAGREQUEST_H
#define TAGREQUEST_H

// What every facade does around every read and write: the checks that run
// before anything is sent, and the test that a write value really holds
// what it claims. Result codes of exchanges come from their Outcome.

#include <QDateTime>
#include <QString>

#include "CLabelVariable.h"

namespace TagRequest {

enum ResultCode {
    Success = 0,
    NotPerformed = 1,
    TypeNotHandled = 2,
    UnknownArea = 3,
    BadCount = 4,
    BadAddress = 5,
    ProtocolFailed = 7,
    NoAnswer = 8,
    NotConnected = 9
};

// Highest word address a tag may reach (word address + count must not pass it).
constexpr int MaxWord = 65535;

// True for the types the drivers transfer: Bool .. Double.
bool isTransferType(int type);

// PLC words a Bool tag covers: bits bit .. bit+count-1 counted from bit 0 of
// its first word.
long long boolWords(int bit, int count);

// The checks of every read and write, in their fixed order; 0 when the tag
// may be sent, else the result code. `wordsNeeded` is the number of PLC words
// the transfer covers from `word` on (computed by the facade for its type).
int check(int word, int bit, int area, int count, int type, long long wordsNeeded);

// True when `value` holds a QList of the element type of `type` (Bool ..
// Double) with at least `count` elements.
bool holdsElements(const CLabelVariable &value, int type, int count);

// A fresh read result as every read starts it: result code 1, timestamp now.
CLabelVariable freshResult();

// Takes over what a read or write step reports: result code, value,
// timestamp and auxText.
void adopt(CLabelVariable &into, const CLabelVariable &done);

// The common frame of every read: `checkCode` is check()'s verdict; `step`
// (the facade's read step) runs only when it is 0. A refused read carries the
// time of the call; a failed exchange a null time. Address, count and type
// are always those of the call.
template <typename Step>
CLabelVariable readFrame(const QString &address, int type, int count, int checkCode, Step step)
{
    CLabelVariable result;
    if (checkCode != Success) {
        result = freshResult();
        result.errorCode = checkCode;
    } else {
        adopt(result, step());
    }
    result.address = address;
    result.count = count;
    result.dataType = type;
    return result;
}

// The same for writes: the result is the caller's value with the outcome
// filled in, so a refused or failed write hands back the caller's own value
// and timestamp.
template <typename Step>
CLabelVariable writeFrame(CLabelVariable value, const QString &address, int type, int count, int checkCode,
                          Step step)
{
    if (checkCode != Success)
        value.errorCode = checkCode;
    else
        adopt(value, step());
    value.address = address;
    value.count = count;
    value.dataType = type;
    return value;
}

} // namespace TagRequest

#endif // TAGREQUEST_H
