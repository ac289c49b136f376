#include "WatchTable.h"

#include "ResultReport.h"
#include "ValueText.h"

#include <algorithm>

namespace plcctl {

void RateMeter::record(qint64 ns)
{
    m_times.push_back(ns);
    while (int(m_times.size()) > m_window)
        m_times.pop_front();
}

double RateMeter::perSecond() const
{
    if (m_times.size() < 2)
        return 0.0;
    const qint64 span = m_times.back() - m_times.front();
    if (span <= 0)
        return 0.0;
    return double(m_times.size() - 1) * 1e9 / double(span);
}

namespace {

// "-" until the rate is known (one read is no rate).
QString rateText(const RateMeter &rate)
{
    return rate.known() ? QString::number(rate.perSecond(), 'f', 1) : QStringLiteral("-");
}

QString cut(const QString &text, int width)
{
    if (width <= 0 || text.size() <= width)
        return text;
    return text.left(std::max(0, width - 3)) + QStringLiteral("...");
}

} // namespace

WatchTable::WatchTable(const QList<TagSpec> &tags)
{
    for (const TagSpec &tag : tags) {
        Row row;
        row.tag = tag;
        row.values = QStringLiteral("-");
        m_rows.append(row);
    }
}

void WatchTable::update(int index, const CLabelVariable &result, qint64 nowNs)
{
    Row &row = m_rows[index];
    row.last = result;
    row.reads++;
    row.rate.record(nowNs);
    if (result.errorCode == 0) {
        row.values = formatValues(result, row.tag.type).join(QLatin1Char(' '));
        row.lastSuccess = result.timestamp.time().toString(QStringLiteral("hh:mm:ss.zzz"));
    } else {
        // No stale value next to a failure: the LAST OK column says how old
        // the latest good value is.
        row.values = QStringLiteral("-");
        row.failures++;
    }
}

QStringList WatchTable::tableLines(int width) const
{
    const QStringList headers = {QStringLiteral("TAG"), QStringLiteral("VALUE"), QStringLiteral("RESULT"),
                                 QStringLiteral("LAST OK"), QStringLiteral("READS/S")};
    QList<QStringList> cells;
    for (const Row &row : m_rows) {
        const QString result = row.reads == 0 ? QStringLiteral("-") : resultText(row.last.errorCode);
        cells.append({row.tag.text, row.values, result,
                      row.lastSuccess.isEmpty() ? QStringLiteral("-") : row.lastSuccess, rateText(row.rate)});
    }
    constexpr int ValueColumn = 1;
    constexpr int Gap = 2;
    QList<int> widths;
    for (int c = 0; c < headers.size(); ++c) {
        int w = headers.at(c).size();
        for (const QStringList &line : cells)
            w = std::max(w, int(line.at(c).size()));
        widths.append(w);
    }
    // Long values give way: the other columns stay whole when the terminal
    // is wide enough for them.
    int others = 0;
    for (int c = 0; c < widths.size(); ++c)
        others += c == ValueColumn ? Gap : widths.at(c) + Gap;
    const int valueRoom = width > 0 ? std::max(8, width - others) : 60;
    widths[ValueColumn] = std::min(widths.at(ValueColumn), valueRoom);
    for (QStringList &line : cells)
        line[ValueColumn] = cut(line.at(ValueColumn), widths.at(ValueColumn));

    auto render = [&](const QStringList &line) {
        QString text;
        for (int c = 0; c < line.size(); ++c) {
            // The rate is a number: right-aligned; the rest left-aligned.
            const bool last = c == line.size() - 1;
            text += last ? line.at(c).rightJustified(widths.at(c)) : line.at(c).leftJustified(widths.at(c));
            if (!last)
                text += QString(Gap, QLatin1Char(' '));
        }
        return cut(text, width);
    };
    QStringList out{render(headers)};
    for (const QStringList &line : cells)
        out.append(render(line));
    return out;
}

QString WatchTable::plainLine(int index) const
{
    const Row &row = m_rows.at(index);
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    QString text = now + QLatin1Char(' ') + row.tag.text;
    if (row.last.errorCode == 0)
        text += QStringLiteral(" = ") + row.values;
    text += QStringLiteral(" result ") + resultText(row.last.errorCode);
    text += QLatin1Char(' ') + rateText(row.rate) + QStringLiteral(" reads/s");
    return text;
}

QString WatchTable::jsonLine(int index, int round) const
{
    const Row &row = m_rows.at(index);
    const QString extra = QStringLiteral("\"round\":%1,\"readsPerSecond\":%2,\"lastSuccess\":%3")
                              .arg(round)
                              .arg(row.rate.known() ? rateText(row.rate) : QStringLiteral("null"))
                              .arg(row.lastSuccess.isEmpty() ? QStringLiteral("null")
                                                              : QLatin1Char('"') + row.lastSuccess + QLatin1Char('"'));
    return resultJson(QStringLiteral("watch"), row.tag.address, row.tag.type, row.tag.count, row.last, extra);
}

int WatchTable::reads() const
{
    int n = 0;
    for (const Row &row : m_rows)
        n += row.reads;
    return n;
}

int WatchTable::failures() const
{
    int n = 0;
    for (const Row &row : m_rows)
        n += row.failures;
    return n;
}

} // namespace plcctl
