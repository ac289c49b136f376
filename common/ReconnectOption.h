#ifndef RECONNECTOPTION_H
#define RECONNECTOPTION_H

// The optional last field of a TCP connection text, ",reconnect=on" (or
// "=off", the default): a call on a lost or dead link connects again first.

#include <QElapsedTimer>
#include <QString>

namespace ReconnectOption {

// Takes a trailing "reconnect=on|off" field off `*text`. False when the
// field is there with another value (the text is then refused).
bool take(QString *text, bool *reconnect);

// Attempts to connect again come at most once per GapMs: a controller that
// refuses connections while it starts up is not met with one per call of a
// fast-polling host, nor the log with a warning per call. A call in between
// ends as not connected at once.
class Pacer
{
public:
    static constexpr int GapMs = 500;

    bool mayTry()
    {
        if (m_last.isValid() && !m_last.hasExpired(GapMs))
            return false;
        m_last.start();
        return true;
    }
    // A connection that worked: the next loss may be met at once.
    void reset() { m_last.invalidate(); }

private:
    QElapsedTimer m_last;
};

} // namespace ReconnectOption

#endif // RECONNECTOPTION_H
