#ifndef PLCSIM_SIMSTATE_H
#define PLCSIM_SIMSTATE_H

// What every server of one simulator shares: the memory image, the fault
// settings, the counters and the identity of the controller. Everything is
// guarded by `mutex`, since tests read and change it from their own thread.

#include "CipVariables.h"
#include "CModeSettings.h"
#include "ControllerModel.h"
#include "MemoryImage.h"
#include "PlcSimulator.h"

#include <QMutex>
#include <QHash>

#include <functional>

namespace plcsim {

class FinsTcpSession;

struct SimState
{
    mutable QMutex mutex;
    MemoryImage memory;
    Faults faults;
    CModeSettings cmode;
    Stats stats;
    int unit = 0;
    int serverNode = 1;
    bool serverNodeSet = false; // setServerNode was called: overrides FINS/UDP defaults
    quint16 udpAnswerPort = 0;  // FINS/UDP static mode: answer to this port; 0 = to the sender's
    CipVariables cip = CipVariables::defaults(); // EtherNet/IP variables by name
    QHash<int, FinsTcpSession *> finsNodes; // client nodes held by open FINS/TCP connections
    std::function<void(const QString &)> trace; // called on the simulator thread
    ControllerModel model = defaultModel();
    ControllerCondition condition;
    qint64 clockOffsetMs = 0; // the controller's clock minus the local time

    static ControllerModel defaultModel()
    {
        ControllerModel m;
        ControllerModel::byName(QStringLiteral("default"), &m);
        return m;
    }
};

// Monotonic clock in nanoseconds, shared by all pacing and delays.
qint64 nowNs();

} // namespace plcsim

#endif
