#ifndef PLCSIM_CMODEOPTIONS_H
#define PLCSIM_CMODEOPTIONS_H

// plcsim's command-line options for Host Link C-mode.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include "CModeSettings.h"

namespace plcsim {

QList<QCommandLineOption> cmodeOptions();
// False (and *error says why) when a value is not usable.
bool cmodeSettingsFrom(const QCommandLineParser &parser, CModeSettings *out, QString *error);

} // namespace plcsim

#endif
