#ifndef PLCCTL_CONSOLE_H
#define PLCCTL_CONSOLE_H

// Output of plcctl: results on stdout, diagnostics on stderr, UTF-8, each
// line flushed at once so that pipes and `watch` see it when it happens.

#include <QString>

namespace plcctl {

void printOut(const QString &line);
// "plcctl: " + line, on stderr.
void printError(const QString &line);
// As it is, on stderr (usage texts, notes).
void printNote(const QString &text);
// Without a newline: for the watch table, which moves the cursor itself.
void writeOut(const QString &text);

bool stdoutIsTerminal();
// Columns of the terminal on stdout; 0 when unknown.
int terminalColumns();

} // namespace plcctl

#endif // PLCCTL_CONSOLE_H
