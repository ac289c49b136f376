#ifndef PLCCTL_CTLARGUMENTS_H
#define PLCCTL_CTLARGUMENTS_H

// The command line of plcctl, parsed into plain data. Pure: no I/O, so every
// rule (which argument is wrong and why) is testable on its own.

#include <QList>
#include <QString>
#include <QStringList>

namespace plcctl {

enum class Command { None, Info, Read, Write, Watch, Doctor, Clock };

// One tag of a watch list: ADDRESS:TYPE[:COUNT].
struct TagSpec {
    QString address;
    int type = 0;
    int count = 1;
    QString text; // as given, for display
};

struct CtlArguments {
    bool help = false;
    QString driver;          // "fins", "hostlink" or a path to a plug-in
    Command command = Command::None;

    QString connect;         // empty: start the built-in simulator (doctor: its CONNECTION)
    bool unitGiven = false;
    QString unit;            // SetConnectPar text (Host Link unit number)
    bool trace = false;
    bool json = false;
    int intervalMs = 1000;   // watch
    int rounds = 0;          // watch; 0 = until interrupted

    // read / write
    QString address;
    int type = 0;
    int count = 1;
    QStringList values;      // write

    QList<TagSpec> tags;     // watch

    // clock
    QString clockSet;        // --set: "now" or a time text; empty: read the clock
    bool yes = false;        // --yes: write without asking
};

struct ParseResult {
    CtlArguments args;
    QString error;           // empty when the command line is good
    bool ok() const { return error.isEmpty(); }
};

// `arguments` without the program name.
ParseResult parseArguments(const QStringList &arguments);

// Parses one watch tag; an empty error means success.
TagSpec parseTag(const QString &text, QString *error);

QString usageText();

} // namespace plcctl

#endif // PLCCTL_CTLARGUMENTS_H
