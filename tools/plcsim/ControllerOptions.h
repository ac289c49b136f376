#ifndef PLCSIM_CONTROLLEROPTIONS_H
#define PLCSIM_CONTROLLEROPTIONS_H

// plcsim's options for the controller it plays: --model, --mode, --fatal,
// --non-fatal, --error-code, --message.

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace plcsim {

class Simulator;

QList<QCommandLineOption> controllerOptions();
// Sets model and condition from the parsed options; an empty result when
// they are good, else what is wrong with them (nothing is set then).
QString applyControllerOptions(const QCommandLineParser &parser, Simulator &sim);

} // namespace plcsim

#endif
