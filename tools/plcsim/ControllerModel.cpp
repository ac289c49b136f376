#include "ControllerModel.h"

namespace plcsim {

namespace {

ControllerModel model(const char *name, const char *modelText, const char *version, int frameBytes,
                      int dWords, int emBanks)
{
    ControllerModel m;
    m.name = QString::fromLatin1(name);
    m.modelText = modelText;
    m.versionText = version;
    m.frameBytes = frameBytes;
    m.dWords = dWords;
    m.emBanks = emBanks;
    return m;
}

QList<ControllerModel> table()
{
    return {
        model("default", "PLCSIM", "plcsim", 2012, 32768, 13),
        model("cj2", "CJ2M-CPU33", "02.01", 2012, 32768, 13),
        model("cp1l-e", "CP1L-EM40DT-D", "01.10", 1016, 32768, 0),
        model("cp1e", "CP1E-N40DT-D", "01.00", 552, 8192, 0),
    };
}

} // namespace

bool ControllerModel::byName(const QString &name, ControllerModel *out)
{
    for (const ControllerModel &m : table()) {
        if (m.name.compare(name, Qt::CaseInsensitive) == 0) {
            *out = m;
            return true;
        }
    }
    return false;
}

QStringList ControllerModel::names()
{
    QStringList out;
    for (const ControllerModel &m : table())
        out << m.name;
    return out;
}

bool ControllerCondition::modeByName(const QString &name, Mode *out)
{
    const QString n = name.toLower();
    if (n == QLatin1String("program"))
        *out = Mode::Program;
    else if (n == QLatin1String("monitor"))
        *out = Mode::Monitor;
    else if (n == QLatin1String("run"))
        *out = Mode::Run;
    else
        return false;
    return true;
}

} // namespace plcsim
