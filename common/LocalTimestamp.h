#ifndef LOCALTIMESTAMP_H
#define LOCALTIMESTAMP_H

// The timestamp of a transfer: QDateTime::currentDateTime(), local time, to
// the millisecond. Making a local-time QDateTime has the C library check the
// time zone again (a stat of /etc/localtime, two or three times per value);
// a host polling in a loop asks many times within one millisecond, so the
// value is made once per millisecond and handed out again until the clock
// moves on. What it says is unchanged: the same instant, the same kind
// (Qt::LocalTime), and a new time zone counts from the next millisecond.

#include <QDateTime>

namespace LocalTimestamp {

QDateTime now();

} // namespace LocalTimestamp

#endif // LOCALTIMESTAMP_H
