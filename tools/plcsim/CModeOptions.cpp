#include "CModeOptions.h"

namespace plcsim {

QList<QCommandLineOption> cmodeOptions()
{
    return {
        {"cmode-old-units", "C-mode read answers in frames of 29 and 30 words, as old separate Host Link units."},
        {"cmode-bad-fcs-later", "Fault: the second frame of a long C-mode answer has a wrong FCS."},
        {"cmode-silent-later", "Fault: a long C-mode answer stops after its first frame."},
        {"cmode-ic", "Fault: every C-mode command is answered IC."},
        {"cmode-end-code", "Fault: every C-mode command is answered with end code HEX.", "HEX"},
    };
}

bool cmodeSettingsFrom(const QCommandLineParser &parser, CModeSettings *out, QString *error)
{
    // One --mode for the whole controller (ControllerOptions checks it): C-mode
    // refuses writes in RUN by it.
    const QString mode = parser.value(QStringLiteral("mode")).toLower();
    if (mode == QLatin1String("program"))
        out->mode = CpuMode::Program;
    else if (mode == QLatin1String("monitor"))
        out->mode = CpuMode::Monitor;
    else if (mode == QLatin1String("run"))
        out->mode = CpuMode::Run;
    out->oldUnits = parser.isSet(QStringLiteral("cmode-old-units"));
    out->badFcsLater = parser.isSet(QStringLiteral("cmode-bad-fcs-later"));
    out->silentAfterFirst = parser.isSet(QStringLiteral("cmode-silent-later"));
    out->undecoded = parser.isSet(QStringLiteral("cmode-ic"));
    if (parser.isSet(QStringLiteral("cmode-end-code"))) {
        bool ok = false;
        const uint code = parser.value(QStringLiteral("cmode-end-code")).toUInt(&ok, 16);
        if (!ok || code < 1 || code > 0xFF) {
            *error = QStringLiteral("invalid value for --cmode-end-code: %1").arg(parser.value(QStringLiteral("cmode-end-code")));
            return false;
        }
        out->endCode = quint8(code);
    }
    return true;
}

} // namespace plcsim
