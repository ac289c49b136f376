#include "CipOptions.h"
#include "PlcSimulator.h"

#include <QCommandLineParser>
#include <QFile>

namespace plcsim {

QList<QCommandLineOption> cipOptions()
{
    return {
        {"cip-port", "Serve EtherNet/IP explicit messages on port N (0 picks a free one; 44818 is the usual).",
         "N"},
        {"cip-vars", "EtherNet/IP variables from FILE instead of the built-in table (format in plcsim(1)).",
         "FILE"},
        {"cip-status", "Fault: answer every CIP variable read and write with general status HEX.", "HEX"},
        {"cip-additional", "Fault: with --cip-status, this additional status HEX.", "HEX"},
        {"cip-wrong-session", "Fault: CIP replies carry another session handle."},
        {"cip-wrong-context", "Fault: CIP replies carry another sender context."},
        {"cip-pad-required", "Fault: CIP 1-byte writes of an odd count need the pad byte."},
    };
}

QString applyCipOptions(const QCommandLineParser &parser, Faults &faults, int *port)
{
    auto hex = [&](const char *name, int max, int *out) {
        if (!parser.isSet(QLatin1String(name)))
            return true;
        bool ok = false;
        const int v = parser.value(QLatin1String(name)).toInt(&ok, 16);
        if (!ok || v < 0 || v > max)
            return false;
        *out = v;
        return true;
    };
    if (parser.isSet(QStringLiteral("cip-port"))) {
        bool ok = false;
        *port = parser.value(QStringLiteral("cip-port")).toInt(&ok, 10);
        if (!ok || *port < 0 || *port > 65535)
            return QStringLiteral("invalid value for --cip-port: %1").arg(parser.value(QStringLiteral("cip-port")));
    }
    if (!hex("cip-status", 0xFF, &faults.cipStatus) || !hex("cip-additional", 0xFFFF, &faults.cipAdditional))
        return QStringLiteral("invalid value for --cip-status or --cip-additional");
    faults.cipWrongSession = parser.isSet(QStringLiteral("cip-wrong-session"));
    faults.cipWrongContext = parser.isSet(QStringLiteral("cip-wrong-context"));
    faults.cipPadRequired = parser.isSet(QStringLiteral("cip-pad-required"));
    return QString();
}

QString loadCipVariables(const QCommandLineParser &parser, Simulator &sim)
{
    if (!parser.isSet(QStringLiteral("cip-vars")))
        return QString();
    QFile file(parser.value(QStringLiteral("cip-vars")));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(file.fileName());
    const QString why = sim.setCipVariables(QString::fromUtf8(file.readAll()));
    return why.isEmpty() ? why : QStringLiteral("%1: %2").arg(file.fileName(), why);
}

} // namespace plcsim
