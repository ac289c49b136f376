#ifndef PLCCTL_TRACEOUTPUT_H
#define PLCCTL_TRACEOUTPUT_H

// Where the plug-ins' log lines go: a Qt message handler writing to stderr,
// so stdout keeps only results (and stays parseable with --json). Frame
// traces (debug level) are shown with --trace; warnings always.

#include <QStringList>

namespace plcctl {

// `keepLines`: also keep every warning and frame trace line for
// takeDriverLines() (doctor reads what the plug-in logged).
void installTraceOutput(bool showFrames, bool keepLines = false);

// While false, warnings are dropped (frame traces stay as chosen): for
// plcctl's own DisConnectDrive at the end, whose "Disconnected" warning
// reports plcctl's own doing and would read like a fault.
void setWarningsShown(bool shown);

// What the driver's warning lines said went wrong since the last call, in
// words (end codes, refused node, no answer, lost connection); then forgets them.
QStringList takeDriverWords();

// The plug-ins' warning and trace lines as logged since the last call, while
// kept (see installTraceOutput); then forgets them.
QStringList takeDriverLines();

} // namespace plcctl

#endif // PLCCTL_TRACEOUTPUT_H
