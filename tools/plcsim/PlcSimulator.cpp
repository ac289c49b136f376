#include "PlcSimulator.h"
#include "ControllerCommands.h"
#include "Hub.h"
#include "SimState.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace plcsim {

// Runs functions on the simulator's thread for callers on other threads.
// The queue is guarded by a mutex of our own, and each function signals its
// end through one: Qt's event queue and blocking queued calls hand over
// inside Qt's library, where a thread checker cannot see it, and everything
// the function did would look unordered to it.
class TaskAnchor : public QObject
{
public:
    ~TaskAnchor() override { std::lock_guard<std::mutex> lock(m_mutex); } // after the thread's last drain
    void post(std::function<void()> task)
    {
        QEvent *wake = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_tasks.push_back(std::move(task));
            wake = new QEvent(QEvent::User);
        }
        QCoreApplication::postEvent(this, wake);
    }

protected:
    bool event(QEvent *e) override
    {
        std::unique_lock<std::mutex> lock(m_mutex); // before touching the event
        if (e->type() != QEvent::User) {
            lock.unlock();
            return QObject::event(e);
        }
        while (!m_tasks.empty()) {
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
};

struct Simulator::Private
{
    SimState state;
    QThread thread;
    TaskAnchor *anchor = nullptr; // lives on `thread`: the context of run()
    Hub *hub = nullptr;

    // Runs `fn` on the simulator's thread and waits for it.
    template <typename Fn>
    void run(Fn fn)
    {
        if (QThread::currentThread() == &thread) {
            fn();
            return;
        }
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        anchor->post([&] {
            fn();
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
            ended.notify_one();
        });
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait(lock, [&] { return done; });
    }
};

Simulator::Simulator() : d(std::make_unique<Private>())
{
    d->thread.setObjectName(QStringLiteral("plcsim"));
    d->anchor = new TaskAnchor;
    d->anchor->moveToThread(&d->thread);
    d->hub = new Hub(&d->state);
    d->hub->moveToThread(&d->thread);
    d->thread.start();
}

Simulator::~Simulator()
{
    Hub *hub = d->hub;
    d->run([hub] { delete hub; });
    d->thread.quit();
    d->thread.wait();
    delete d->anchor; // its thread has ended

}

quint16 Simulator::startFins(quint16 port, const QString &bindAddress)
{
    quint16 result = 0;
    d->run([&] { result = d->hub->startFins(port, bindAddress); });
    return result;
}

quint16 Simulator::startHostLinkTcp(quint16 port, const QString &bindAddress)
{
    quint16 result = 0;
    d->run([&] { result = d->hub->startHostLinkTcp(port, bindAddress); });
    return result;
}

QString Simulator::startHostLinkSerial(int baud)
{
    QString result;
    d->run([&] { result = d->hub->startHostLinkSerial(baud); });
    return result;
}

quint16 Simulator::startFinsUdp(quint16 port, const QString &bindAddress)
{
    quint16 result = 0;
    d->run([&] { result = d->hub->startFinsUdp(port, bindAddress); });
    return result;
}

void Simulator::setFinsUdpAnswerPort(quint16 port)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.udpAnswerPort = port;
}

quint16 Simulator::startCip(quint16 port, const QString &bindAddress)
{
    quint16 result = 0;
    d->run([&] { result = d->hub->startCip(port, bindAddress); });
    return result;
}

QString Simulator::setCipVariables(const QString &text)
{
    CipVariables table;
    const QString why = table.load(text);
    if (why.isEmpty()) {
        QMutexLocker lock(&d->state.mutex);
        d->state.cip = table;
    }
    return why;
}

QByteArray Simulator::cipBytes(const QString &key) const
{
    QMutexLocker lock(&d->state.mutex);
    const CipVariable *v = d->state.cip.find(key);
    return v ? v->bytes : QByteArray();
}

void Simulator::setCipBytes(const QString &key, const QByteArray &bytes)
{
    QMutexLocker lock(&d->state.mutex);
    if (CipVariable *v = d->state.cip.find(key))
        v->bytes.replace(0, qMin(bytes.size(), v->bytes.size()), bytes.left(v->bytes.size()));
}

void Simulator::stop()
{
    d->run([&] { d->hub->stop(); });
}

void Simulator::dropConnections()
{
    d->run([&] { d->hub->dropConnections(); });
}

void Simulator::setUnit(int unit)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.unit = unit;
}

void Simulator::setServerNode(int node)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.serverNode = node;
    d->state.serverNodeSet = true;
}

void Simulator::setModel(const ControllerModel &model)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.model = model;
    d->state.memory.setLayout(model.dWords, model.emBanks);
}

ControllerModel Simulator::model() const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.model;
}

void Simulator::setCondition(const ControllerCondition &condition)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.condition = condition;
}

ControllerCondition Simulator::condition() const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.condition;
}

QDateTime Simulator::clock() const
{
    QMutexLocker lock(&d->state.mutex);
    return controllerClock(d->state);
}

void Simulator::setClock(const QDateTime &time)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.clockOffsetMs = QDateTime::currentDateTime().msecsTo(time);
}

int Simulator::unit() const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.unit;
}

int Simulator::serverNode() const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.serverNode;
}

void Simulator::setFaults(const Faults &faults)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.faults = faults;
}

Faults Simulator::faults() const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.faults;
}

void Simulator::setCMode(const CModeSettings &settings)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.cmode = settings;
}

CModeSettings Simulator::cmode() const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.cmode;
}

Stats Simulator::stats() const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.stats;
}

void Simulator::resetStats()
{
    QMutexLocker lock(&d->state.mutex);
    d->state.stats = Stats();
}

void Simulator::setTraceHandler(std::function<void(const QString &)> handler)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.trace = std::move(handler);
}

quint16 Simulator::word(Area area, int address) const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.memory.word(static_cast<quint8>(area), address);
}

void Simulator::setWord(Area area, int address, quint16 value)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.memory.setWord(static_cast<quint8>(area), address, value);
}

QByteArray Simulator::words(Area area, int address, int count) const
{
    QByteArray out;
    if (count <= 0)
        return out;
    out.reserve(2 * count);
    QMutexLocker lock(&d->state.mutex);
    for (int k = 0; k < count; ++k) {
        const quint16 w = d->state.memory.word(static_cast<quint8>(area), address + k);
        out.append(static_cast<char>(w >> 8));
        out.append(static_cast<char>(w & 0xFF));
    }
    return out;
}

void Simulator::setWords(Area area, int address, const QByteArray &bytes)
{
    QMutexLocker lock(&d->state.mutex);
    for (int k = 0; 2 * k + 1 < bytes.size(); ++k) {
        const quint16 w = static_cast<quint16>((static_cast<quint8>(bytes.at(2 * k)) << 8)
                                               | static_cast<quint8>(bytes.at(2 * k + 1)));
        d->state.memory.setWord(static_cast<quint8>(area), address + k, w);
    }
}

int Simulator::areaSize(Area area) const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.memory.size(static_cast<quint8>(area));
}

void Simulator::clearMemory()
{
    QMutexLocker lock(&d->state.mutex);
    d->state.memory.clear();
}

bool Simulator::bit(Area area, int address, int bit) const
{
    QMutexLocker lock(&d->state.mutex);
    return d->state.memory.bit(static_cast<quint8>(area), address, bit);
}

void Simulator::setBit(Area area, int address, int bit, bool on)
{
    QMutexLocker lock(&d->state.mutex);
    d->state.memory.setBit(static_cast<quint8>(area), address, bit, on);
}

} // namespace plcsim
