#include "CountFile.h"

#include <QSaveFile>

#include "PlcSimulator.h"
#include "SimState.h"

namespace plcsim {

CountFile::CountFile(const Simulator &sim, const QString &path)
    : m_sim(sim)
    , m_path(path)
{
    connect(&m_timer, &QTimer::timeout, this, &CountFile::write);
    m_timer.start(20);
    write();
}

void CountFile::write()
{
    // Taken before the counters: they include all that came before it.
    const qint64 at = nowNs() / 1000;
    const Stats s = m_sim.stats();
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("at %1\nconnections %2\nfins %3\nhost-link %4\nwrites %5\n")
                   .arg(at).arg(s.connections).arg(s.finsFrames).arg(s.hostLinkFrames).arg(s.writes)
                   .toLatin1());
    file.commit();
}

} // namespace plcsim
