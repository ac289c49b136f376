#include "CtlSession.h"
#include "CipDoctor.h"

#include "CDriveBaseClass.h"
#include "Console.h"
#include "ControllerSession.h"
#include "DoctorSession.h"
#include "DriveDiagnostics.h"
#include "DoctorCMode.h"
#include "EndCodeText.h"
#include "JsonLine.h"
#include "PluginLoader.h"
#include "ReconnectText.h"
#include "ResultReport.h"
#include "TraceOutput.h"
#include "ValueText.h"
#include "WatchLoop.h"

#include <QElapsedTimer>

namespace plcctl {

namespace {

QStringList quotedAll(const QStringList &words)
{
    QStringList quoted;
    for (const QString &word : words)
        quoted.append(JsonLine::quote(word));
    return quoted;
}

// `"driverSaid":[..]` for a JSON line: the driver's warnings in words.
QString driverSaidJson(const QStringList &words)
{
    return QStringLiteral("\"driverSaid\":[%1]").arg(quotedAll(words).join(QLatin1Char(',')));
}

// A call that got no answer: how long it waited, measured here, says more
// than the driver's plain "no answer".
QStringList withWait(QStringList words, int errorCode, qint64 waitedMs)
{
    if (errorCode != 8)
        return words;
    words.removeAll(QStringLiteral("no answer"));
    words.prepend(QStringLiteral("no answer within %1 ms").arg(waitedMs));
    words.removeDuplicates();
    return words;
}

QString saidText(const QStringList &words)
{
    return words.isEmpty() ? QString() : QStringLiteral("; the driver said: ") + words.join(QStringLiteral("; "));
}

} // namespace

// Hosts never delete a driver (the interface has no public destructor);
// the object stays referenced here for the life of the process. External
// linkage, so the store is not optimised away and leak checkers see the
// object as still in use.
CDriveBaseClass *g_keptDriver = nullptr;

CtlSession::CtlSession(const CtlArguments &args, const QString &programDir)
    : m_args(args), m_programDir(programDir)
{
}

int CtlSession::run()
{
    const bool doctoring = m_args.command == Command::Doctor;
    installTraceOutput(m_args.trace);
    const int opened = doctoring ? load() : open();
    if (opened != ExitOk)
        return opened;
    int status = ExitOk;
    switch (m_args.command) {
    case Command::Info: status = info(); break;
    case Command::Doctor: status = doctor(); break;
    case Command::Clock: status = runClock(m_driver, m_args); break;
    case Command::Read: status = read(); break;
    case Command::Write: status = write(); break;
    case Command::Watch:
        status = runWatch(m_driver, m_args,
                          QStringLiteral("plcctl watch %1 %2, every %3 ms")
                              .arg(m_driverName, m_connection).arg(m_args.intervalMs));
        break;
    case Command::None: break;
    }
    close();
    return status;
}

int CtlSession::open()
{
    const int loaded = load();
    return loaded != ExitOk ? loaded : connect();
}

// Loads the plug-in, sets the unit and, without --connect, starts the
// built-in simulator; nothing is connected yet.
int CtlSession::load()
{
    const LoadResult loaded = loadDriver(m_args.driver, m_programDir);
    if (!loaded.driver) {
        printError(loaded.error);
        return ExitSetup;
    }
    m_driver = g_keptDriver = loaded.driver;
    m_pluginPath = loaded.path;
    m_driverName = m_driver->getDriveName();
    if (m_args.trace)
        m_driver->DebugCmd(StartDebug); // before connecting, so the handshake shows too

    // Controllers leave the factory as Host Link unit 0: so does plcctl,
    // whatever the plug-in's own default.
    m_unit = m_args.unitGiven ? m_args.unit : QStringLiteral("0");
    m_connection = m_args.connect;
    if (m_connection.isEmpty()) {
        QString error;
        m_connection = m_simulator.start(m_driverName, m_unit.toInt(), &error);
        if (m_connection.isEmpty()) {
            printError(error);
            return ExitSetup;
        }
        m_simulated = true;
        printNote(QStringLiteral("plcctl: no --connect given: using the built-in simulator, %1")
                      .arg(m_simulator.description()));
    }
    m_driver->SetConnectPar(m_unit);
    return ExitOk;
}

int CtlSession::connect()
{
    QElapsedTimer timer;
    timer.start();
    const bool watching = m_args.command == Command::Watch;
    const int result = m_driver->ConnectDrive(watching ? withReconnect(m_driverName, m_connection) : m_connection);
    if (result == 0)
        return ExitOk;
    const QString meaning = connectMeaning(result, m_driverName);
    QStringList words = driverWords();
    if (result == -2 || result == -3)
        words.append(QStringLiteral("it gave up after %1 ms").arg(timer.elapsed()));
    printError(QStringLiteral("cannot connect %1 to '%2': ConnectDrive returned %3 (%4)%5")
                   .arg(m_driverName, m_connection).arg(result).arg(meaning, saidText(words)));
    if (m_args.json) {
        printOut(JsonLine()
                     .text(QStringLiteral("op"), QStringLiteral("connect"))
                     .text(QStringLiteral("connection"), m_connection)
                     .number(QStringLiteral("code"), result)
                     .text(QStringLiteral("result"), meaning)
                     .array(QStringLiteral("driverSaid"), quotedAll(words))
                     .toString());
    }
    return ExitConnectFailed;
}

int CtlSession::doctor()
{
    if (m_driverName == QLatin1String("CipNet"))
        return CipDoctor(m_driver, m_connection, m_args.probe, m_simulated, m_args.json).run();
    return DoctorSession(m_driver, m_driverName, m_connection, m_unit.toInt(), m_simulated, m_args.json).run();
}

void CtlSession::close()
{
    setWarningsShown(false);
    m_driver->DisConnectDrive();
    m_driver->DestroyFree();
    setWarningsShown(true);
}

int CtlSession::info()
{
    const QString version = m_driver->getversion_number();
    const QString build = m_driver->DebugCmd(GetVersion);
    JsonLine json;
    json.text(QStringLiteral("op"), QStringLiteral("info"))
        .text(QStringLiteral("driver"), m_driverName)
        .text(QStringLiteral("version"), version)
        .text(QStringLiteral("buildVersion"), build)
        .text(QStringLiteral("plugin"), m_pluginPath)
        .text(QStringLiteral("connection"), m_connection)
        .boolean(QStringLiteral("simulator"), m_simulated);
    QStringList controller;
    const int status = describeController(m_driver, &controller, &json) ? ExitOk : ExitFailed;
    if (m_args.json) {
        printOut(json.toString());
        return status;
    }
    printOut(QStringLiteral("driver:      %1").arg(m_driverName));
    printOut(QStringLiteral("version:     %1").arg(version));
    printOut(QStringLiteral("build:       %1").arg(build));
    printOut(QStringLiteral("plug-in:     %1").arg(m_pluginPath));
    printOut(QStringLiteral("connection:  %1%2")
                 .arg(m_connection, m_simulated ? QStringLiteral(" (built-in simulator)") : QString()));
    for (const QString &line : controller)
        printOut(line);
    return status;
}

// How the plug-in's last call went, in words, from its diagnostics face.
QStringList CtlSession::driverWords() const
{
    const DriveDiagnostics *face = qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(m_driver));
    if (face && m_driverName == QLatin1String("HLinkC"))
        return cmodeOutcomeWords(face->lastOutcome());
    return face ? outcomeWords(face->lastOutcome(), m_driverName == QLatin1String("HLink")) : QStringList();
}

void CtlSession::reportFailure(const QString &what, int errorCode, const QStringList &words)
{
    printError(QStringLiteral("%1: result %2%3").arg(what, resultText(errorCode), saidText(words)));
}

int CtlSession::read()
{
    QElapsedTimer timer;
    timer.start();
    const CLabelVariable result = m_driver->ReadVariable(m_args.address, DataType(m_args.type), m_args.count);
    const QStringList words =
        result.errorCode != 0 ? withWait(driverWords(), result.errorCode, timer.elapsed()) : QStringList();
    if (m_args.json)
        printOut(resultJson(QStringLiteral("read"), m_args.address, m_args.type, m_args.count, result,
                            words.isEmpty() ? QString() : driverSaidJson(words)));
    if (result.errorCode != 0) {
        reportFailure(QStringLiteral("read ") + tagTitle(m_args.address, m_args.type, m_args.count), result.errorCode,
                      words);
        return ExitFailed;
    }
    if (!m_args.json)
        printOut(resultLine(m_args.address, m_args.type, m_args.count, result));
    return ExitOk;
}

int CtlSession::write()
{
    QString error;
    CLabelVariable value;
    value.value = parseValues(m_args.type, m_args.values, &error);
    value.dataType = m_args.type;
    value.count = m_args.count;
    if (!value.value.isValid()) { // the argument parser has checked them already
        printError(error);
        return ExitUsage;
    }
    const QString title = tagTitle(m_args.address, m_args.type, m_args.count);
    const QString written = formatValues(value, m_args.type).join(QLatin1Char(' '));

    QElapsedTimer timer;
    timer.start();
    const CLabelVariable result = m_driver->WriteVariable(m_args.address, DataType(m_args.type), value, m_args.count);
    const QStringList writeWords = withWait(driverWords(), result.errorCode, timer.restart());
    // Read back whatever the write did: after a failure it shows what the PLC holds now.
    const CLabelVariable back = m_driver->ReadVariable(m_args.address, DataType(m_args.type), m_args.count);
    const QStringList backWords = withWait(driverWords(), back.errorCode, timer.elapsed());
    const bool matches = result.errorCode == 0 && back.errorCode == 0 && sameElements(value, back, m_args.type);

    if (m_args.json) {
        const QString matchField = QStringLiteral("\"matches\":%1").arg(matches ? "true" : "false");
        printOut(resultJson(QStringLiteral("write"), m_args.address, m_args.type, m_args.count, result,
                            result.errorCode != 0 ? driverSaidJson(writeWords) : QString()));
        printOut(resultJson(QStringLiteral("readback"), m_args.address, m_args.type, m_args.count, back,
                            back.errorCode != 0 ? matchField + QLatin1Char(',') + driverSaidJson(backWords)
                                                : matchField));
    } else {
        if (result.errorCode == 0)
            printOut(QStringLiteral("wrote     %1 = %2").arg(title, written));
        if (back.errorCode == 0)
            printOut(QStringLiteral("read back ") + resultLine(m_args.address, m_args.type, m_args.count, back));
    }
    if (result.errorCode != 0) {
        reportFailure(QStringLiteral("write %1 = %2").arg(title, written), result.errorCode, writeWords);
        return ExitFailed;
    }
    if (back.errorCode != 0) {
        reportFailure(QStringLiteral("read back ") + title, back.errorCode, backWords);
        return ExitFailed;
    }
    if (!matches) {
        printError(QStringLiteral("read back of %1 differs from the written values").arg(title));
        return ExitFailed;
    }
    return ExitOk;
}

} // namespace plcctl
