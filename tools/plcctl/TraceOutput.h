#ifndef PLCCTL_TRACEOUTPUT_H
#define PLCCTL_TRACEOUTPUT_H

// Where the plug-ins' log lines go: a Qt message handler writing to stderr,
// so stdout keeps only results (and stays parseable with --json). Frame
// traces (debug level) are shown with --trace; warnings always.

#include <QStringList>

namespace plcctl {

void installTraceOutput(bool showFrames);

// While false, warnings are dropped (frame traces stay as chosen): for
// plcctl's own DisConnectDrive at the end, whose "Disconnected" warning
// reports plcctl's own doing and would read like a fault.
void setWarningsShown(bool shown);


} // namespace plcctl

#endif // PLCCTL_TRACEOUTPUT_H
