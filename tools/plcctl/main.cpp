// plcctl: a command-line host for the PLC driver plug-ins.

#include "Console.h"
#include "CtlArguments.h"
#include "CtlSession.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // The drivers deliver socket and serial data through Qt signals: the
    // calling thread needs an event dispatcher, which the application brings.
    QCoreApplication app(argc, argv);
    const plcctl::ParseResult parsed = plcctl::parseArguments(app.arguments().mid(1));
    if (parsed.args.help) {
        plcctl::printOut(plcctl::usageText());
        return plcctl::ExitOk;
    }
    if (!parsed.ok()) {
        plcctl::printError(parsed.error);
        plcctl::printNote(plcctl::usageText());
        return plcctl::ExitUsage;
    }
    plcctl::CtlSession session(parsed.args, QCoreApplication::applicationDirPath());
    return session.run();
}
