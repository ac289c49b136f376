#include "LocalTimestamp.h"

#include <mutex>

namespace LocalTimestamp {

QDateTime now()
{
    static std::mutex lock;
    static qint64 madeAt = -1;
    static QDateTime made;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const std::lock_guard<std::mutex> hold(lock);
    if (ms != madeAt) {
        made = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
        madeAt = ms;
    }
    return made;
}

} // namespace LocalTimestamp
