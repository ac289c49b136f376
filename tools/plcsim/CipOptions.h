#ifndef PLCSIM_CIPOPTIONS_H
#define PLCSIM_CIPOPTIONS_H

// plcsim's EtherNet/IP options: --cip-port, --cip-vars and the CIP faults.

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace plcsim {

struct Faults;
class Simulator;

QList<QCommandLineOption> cipOptions();
// The port to serve on (-1: none) and the faults; empty, or why not.
QString applyCipOptions(const QCommandLineParser &parser, Faults &faults, int *port);
// Loads --cip-vars into `sim`; empty, or why not.
QString loadCipVariables(const QCommandLineParser &parser, Simulator &sim);

} // namespace plcsim

#endif
