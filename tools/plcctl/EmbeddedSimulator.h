#ifndef PLCCTL_EMBEDDEDSIMULATOR_H
#define PLCCTL_EMBEDDEDSIMULATOR_H

// The PLC plcctl talks to when no --connect is given: the bundled simulator,
// in this process on a thread of its own, with zeroed memory.

#include <QString>

#include <memory>

namespace plcsim {
class Simulator;
}

namespace plcctl {

class EmbeddedSimulator
{
public:
    EmbeddedSimulator();
    ~EmbeddedSimulator();

    // Starts the side that fits the driver ("FinsNet": FINS/TCP on a free
    // loopback port; "FinsUdp": FINS/UDP on a free port of 127.0.0.10;
    // "HLink": Host Link on a pseudo-terminal at 115200 baud,
    // answering `unit`). Returns the connection text for ConnectDrive, empty
    // on failure with `error` set.
    QString start(const QString &driverName, int unit, QString *error);

    // "FINS/TCP on 127.0.0.1:40123" or "Host Link on /dev/pts/5 at 115200 baud".
    QString description() const { return m_description; }

    static constexpr int SerialBaud = 115200;

private:
    std::unique_ptr<plcsim::Simulator> m_simulator;
    QString m_description;
};

} // namespace plcctl

#endif // PLCCTL_EMBEDDEDSIMULATOR_H
