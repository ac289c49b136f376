#include "ControllerOptions.h"
#include "PlcSimulator.h"

#include <QCommandLineParser>

namespace plcsim {

namespace {

bool hexWord(const QCommandLineParser &parser, const char *name, quint16 *out, QString *error)
{
    if (!parser.isSet(QLatin1String(name)))
        return true;
    bool ok = false;
    const uint v = parser.value(QLatin1String(name)).toUInt(&ok, 16);
    if (ok && v <= 0xFFFF) {
        *out = quint16(v);
        return true;
    }
    *error = QStringLiteral("invalid value for --%1: %2 (four hex digits)")
                 .arg(QLatin1String(name), parser.value(QLatin1String(name)));
    return false;
}

} // namespace

QList<QCommandLineOption> controllerOptions()
{
    return {
        {"model", QStringLiteral("Controller to play: %1 (default: default).")
                      .arg(ControllerModel::names().join(QStringLiteral(", "))), "NAME"},
        {"mode", "Controller mode: program, monitor or run (default run).", "MODE"},
        {"fatal", "Fatal error flags HEX (06 01 bytes 2-3); the program stops.", "HEX"},
        {"non-fatal", "Non-fatal error flags HEX (06 01 bytes 4-5).", "HEX"},
        {"error-code", "Error code HEX the controller reports with its errors.", "HEX"},
        {"message", "Message text (at most 16 characters) the controller reports.", "TEXT"},
    };
}

QString applyControllerOptions(const QCommandLineParser &parser, Simulator &sim)
{
    ControllerModel model = sim.model();
    const QString name = parser.value(QStringLiteral("model"));
    if (parser.isSet(QStringLiteral("model")) && !ControllerModel::byName(name, &model))
        return QStringLiteral("unknown model %1 (known: %2)")
            .arg(name, ControllerModel::names().join(QStringLiteral(", ")));
    ControllerCondition c = sim.condition();
    const QString mode = parser.value(QStringLiteral("mode"));
    if (parser.isSet(QStringLiteral("mode")) && !ControllerCondition::modeByName(mode, &c.mode))
        return QStringLiteral("invalid value for --mode: %1 (program, monitor or run)").arg(mode);
    QString error;
    if (!hexWord(parser, "fatal", &c.fatalFlags, &error) || !hexWord(parser, "non-fatal", &c.nonFatalFlags, &error)
        || !hexWord(parser, "error-code", &c.errorCode, &error))
        return error;
    const QByteArray message = parser.value(QStringLiteral("message")).toLatin1();
    if (message.size() > 16)
        return QStringLiteral("--message holds at most 16 characters");
    c.message = message;
    if (parser.isSet(QStringLiteral("model")))
        sim.setModel(model);
    sim.setCondition(c);
    return QString();
}

} // namespace plcsim
