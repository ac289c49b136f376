#ifndef PLCCTL_WATCHTABLE_H
#define PLCCTL_WATCHTABLE_H

// What `watch` shows: per tag the latest value, its result, the time of the
// last successful read and the read rate. Pure: the loop feeds it results
// and a clock in nanoseconds; it renders a table or plain lines.

#include "CLabelVariable.h"
#include "CtlArguments.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>

namespace plcctl {

// Reads per second over the latest reads (a sliding window of at most
// `window` of them), so the figure follows changes in the link's speed.
class RateMeter
{
public:
    explicit RateMeter(int window = 20) : m_window(window) {}
    void record(qint64 ns);
    // 0 until two reads are in.
    double perSecond() const;
    bool known() const { return m_times.size() >= 2 && m_times.back() > m_times.front(); }

private:
    int m_window;
    std::deque<qint64> m_times;
};

class WatchTable
{
public:
    explicit WatchTable(const QList<TagSpec> &tags);

    int size() const { return m_rows.size(); }
    void update(int row, const CLabelVariable &result, qint64 nowNs);

    // Header and one line per tag, each cut to `width` columns (0: no limit)
    // so that a refresh in place never wraps.
    QStringList tableLines(int width) const;
    // "2026-12-08T17:04:32.123 D100:Int16:2 = 1 2 result 0 (success) 9.8 reads/s"
    QString plainLine(int row) const;
    // One JSON object for the latest result of a row.
    QString jsonLine(int row, int round) const;

    int reads() const;
    int failures() const;

private:
    struct Row {
        TagSpec tag;
        CLabelVariable last;
        QString values;      // texts of the latest result, "-" when it failed
        QString lastSuccess; // time of the latest successful read
        RateMeter rate;
        int reads = 0;
        int failures = 0;
    };
    QList<Row> m_rows;
};

} // namespace plcctl

#endif // PLCCTL_WATCHTABLE_H
