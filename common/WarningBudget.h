#ifndef WARNINGBUDGET_H
#define WARNINGBUDGET_H

// A warning that may repeat for every packet of a flood is written at most
// `perSecond` times a second; the next one written says how many were left
// out in between.

#include <QElapsedTimer>
#include <QString>

class WarningBudget
{
public:
    explicit WarningBudget(int perSecond = 5) : m_perSecond(perSecond) {}

    // True when this one may be written; `*suffix` is then empty or tells
    // how many like it were left out before it.
    bool take(QString *suffix)
    {
        if (!m_window.isValid() || m_window.elapsed() >= 1000) {
            m_window.start();
            m_used = 0;
        }
        if (m_used >= m_perSecond) {
            ++m_left;
            return false;
        }
        ++m_used;
        *suffix = m_left ? QStringLiteral(" (%1 more like it left out)").arg(m_left) : QString();
        m_left = 0;
        return true;
    }

private:
    QElapsedTimer m_window;
    int m_perSecond;
    int m_used = 0;
    quint64 m_left = 0;
};

#endif // WARNINGBUDGET_H
