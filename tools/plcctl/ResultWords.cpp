#include "ResultWords.h"

namespace plcctl {

QString resultMeaning(int errorCode)
{
    switch (errorCode) {
    case 0: return QStringLiteral("success");
    case 1: return QStringLiteral("not performed");
    case 2: return QStringLiteral("type not handled");
    case 3: return QStringLiteral("unknown area");
    case 4: return QStringLiteral("count below 1");
    case 5: return QStringLiteral("address out of range");
    case 7: return QStringLiteral("protocol error or bad answer");
    case 8: return QStringLiteral("no answer");
    case 9: return QStringLiteral("not connected");
    default: return QStringLiteral("unknown result code");
    }
}

QString resultText(int errorCode)
{
    return QStringLiteral("%1 (%2)").arg(errorCode).arg(resultMeaning(errorCode));
}

QString connectMeaning(int result, const QString &driverName)
{
    const bool hostLink = driverName == QLatin1String("HLink") || driverName == QLatin1String("HLinkC");
    const bool udp = driverName == QLatin1String("FinsUdp");
    if (driverName == QLatin1String("CipNet") && result == -1)
        return QStringLiteral("bad connection text (expected ip[:port][,timeout=MS][,connected=on])");
    if (driverName == QLatin1String("CipNet") && result == -2)
        return QStringLiteral("TCP connected, but the controller registered no session (or refused the "
                              "class 3 connection); is this an EtherNet/IP port?");
    if (udp && result == -2)
        return QStringLiteral("no FINS node answered: check the plc= and node= numbers, or whether the unit "
                              "answers to a fixed port (local=)");
    if (udp && result == -3)
        return QStringLiteral("the address is unreachable or the controller's UDP port is closed");
    switch (result) {
    case 0:
        return QStringLiteral("connected");
    case -1:
        return hostLink ? QStringLiteral("bad connection text, or the serial port could not be opened, "
                                         "or the IP address is not valid")
                        : QStringLiteral("bad connection text (expected ip:port with a port of 1-65535%1) "
                                         "or the IP address is not valid")
                              .arg(udp ? QStringLiteral(", then plc=, node=, local=, timeout=, retries=") : QString());
    case -2:
        return QStringLiteral("the PLC refused or did not answer the node address handshake");
    case -3:
        return QStringLiteral("no TCP connection could be established");
    case -4:
        return QStringLiteral("connection text has neither ',' (serial) nor ':' (TCP)");
    default:
        return QStringLiteral("connection failed");
    }
}

} // namespace plcctl
