#ifndef PLCCTL_RESULTREPORT_H
#define PLCCTL_RESULTREPORT_H

// How one result of a read or write is shown: a text line for people, a JSON
// object for scripts. Pure formatting of a CLabelVariable.

#include <QString>

class CLabelVariable;

namespace plcctl {

// "D100 Int16[4]" (or "D100 Int16" for one element).
QString tagTitle(const QString &address, int type, int count);

// "D100 Int16[2] = 1 -2"; for a failed result "D100 Int16[2]: result 3 (unknown area)".
QString resultLine(const QString &address, int type, int count, const CLabelVariable &result);

// {"op":op,"address":..,"type":..,"count":..,"errorCode":..,"result":..,
//  "values":[..] or null,"timestamp":".." or null}
// `extra` is appended as further fields (already JSON, without braces), may be empty.
QString resultJson(const QString &op, const QString &address, int type, int count,
                   const CLabelVariable &result, const QString &extra = QString());

// Local time of a result as shown by plcctl ("2026-12-08T17:04:32.123"); empty when null.
QString timeText(const CLabelVariable &result);

} // namespace plcctl

#endif // PLCCTL_RESULTREPORT_H
