#include "EmbeddedSimulator.h"

#include "PlcSimulator.h"

namespace plcctl {

EmbeddedSimulator::EmbeddedSimulator() = default;

EmbeddedSimulator::~EmbeddedSimulator()
{
    if (m_simulator)
        m_simulator->stop();
}

QString EmbeddedSimulator::start(const QString &driverName, int unit, QString *error)
{
    m_simulator = std::make_unique<plcsim::Simulator>();
    if (driverName == QLatin1String("FinsNet")) {
        const quint16 port = m_simulator->startFins(0);
        if (port == 0) {
            *error = QStringLiteral("the built-in simulator could not listen for FINS/TCP on 127.0.0.1");
            return QString();
        }
        m_description = QStringLiteral("FINS/TCP on 127.0.0.1:%1").arg(port);
        return QStringLiteral("127.0.0.1:%1").arg(port);
    }
    if (driverName == QLatin1String("FinsUdp")) {
        // Bound to 127.0.0.10 it is FINS node 10, and the plug-in's default
        // node numbers (the last octets of both addresses) fit.
        const quint16 port = m_simulator->startFinsUdp(0, QStringLiteral("127.0.0.10"));
        if (port == 0) {
            *error = QStringLiteral("the built-in simulator could not bind 127.0.0.10 for FINS/UDP");
            return QString();
        }
        m_description = QStringLiteral("FINS/UDP on 127.0.0.10:%1, node 10").arg(port);
        return QStringLiteral("127.0.0.10:%1").arg(port);
    }
    if (driverName == QLatin1String("CipNet")) {
        const quint16 port = m_simulator->startCip(0);
        if (port == 0) {
            *error = QStringLiteral("the built-in simulator could not listen for EtherNet/IP on 127.0.0.1");
            return QString();
        }
        m_description = QStringLiteral("EtherNet/IP (an NX102 with named variables) on 127.0.0.1:%1").arg(port);
        return QStringLiteral("127.0.0.1:%1").arg(port);
    }
    if (driverName == QLatin1String("HLink") || driverName == QLatin1String("HLinkC")) {
        m_simulator->setUnit(unit);
        const QString device = m_simulator->startHostLinkSerial(SerialBaud);
        if (device.isEmpty()) {
            *error = QStringLiteral("the built-in simulator could not open a pseudo-terminal for Host Link");
            return QString();
        }
        m_description = QStringLiteral("Host Link on %1 at %2 baud, unit %3").arg(device).arg(SerialBaud).arg(unit);
        return QStringLiteral("%1,%2,8,1,E").arg(device).arg(SerialBaud);
    }
    *error = QStringLiteral("no --connect given, and the built-in simulator serves only the FinsNet, "
                            "FinsUdp, HLink, HLinkC and CipNet drivers (this one is '%1')").arg(driverName);
    return QString();
}

} // namespace plcctl
