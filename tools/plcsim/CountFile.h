#ifndef PLCSIM_COUNTFILE_H
#define PLCSIM_COUNTFILE_H

// plcsim --count-file PATH: the simulator's counters, for tests that run it
// as a program. Every 20 ms the file is replaced (write, then rename) by
//   at US            (monotonic clock, microseconds, when written)
//   connections N
//   fins N           (FINS commands received, node requests excluded)
//   host-link N      (Host Link frames received with a valid FCS)
//   writes N         (memory writes executed)
// A reader that sees an "at" later than some moment has counts that include
// everything received before it.

#include <QObject>
#include <QString>
#include <QTimer>

namespace plcsim {

class Simulator;

class CountFile : public QObject
{
public:
    CountFile(const Simulator &sim, const QString &path);

private:
    void write();

    const Simulator &m_sim;
    QString m_path;
    QTimer m_timer;
};

} // namespace plcsim

#endif
