#include "CipDoctor.h"

#include "CDriveBaseClass.h"
#include "Console.h"
#include "CtlSession.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "TraceOutput.h"
#include "ValueText.h"

#include <QElapsedTimer>
#include <QTcpSocket>

namespace plcctl {

namespace {

constexpr int kReachTimeoutMs = 3000;

DoctorStep step(const char *id, const char *title, DoctorStep::Outcome outcome, const QString &found,
                const QString &check = QString(), qint64 elapsedMs = -1)
{
    DoctorStep s;
    s.id = QLatin1String(id);
    s.title = QLatin1String(title);
    s.outcome = outcome;
    s.found = found;
    s.check = check;
    s.elapsedMs = elapsedMs;
    return s;
}

// The likely cause of a refused test read, from the outcome's kind, step
// and status.
QString likelyCause(const Outcome &o, int errorCode, bool typeGiven)
{
    if (o.step == QLatin1String("type"))
        return typeGiven ? QStringLiteral("wrong type: read the variable as the type named above") : QString();
    switch (errorCode) {
    case 2: return QStringLiteral("a TYPE plcctl knows: %1").arg(typeNames().join(QLatin1String(", ")));
    case 5: return QStringLiteral("the name is no variable path (Speed, Recipe.Speed, Temps[3], Grid[1,2])");
    case 8: return QStringLiteral("the controller did not answer in time: its load, or timeout=MS");
    case 9: return QStringLiteral("the controller closed the connection");
    default: break;
    }
    switch (o.endCode) {
    case 0x04: return QStringLiteral("the path is not valid for the controller: its spelling, members and indexes");
    case 0x05: return QStringLiteral("a wrong name (names as in the controller, members with '.'), or the variable is "
                                     "not published: set its Network Publish attribute to Input or Output");
    case 0x0C: return QStringLiteral("the controller is downloading or starting up: try again shortly");
    case 0x0F: return QStringLiteral("the variable may not be accessed this way");
    case 0x20: return QStringLiteral("the count or the index does not fit the variable");
    default: return QStringLiteral("the controller's status above");
    }
}

} // namespace

CipDoctor::CipDoctor(CDriveBaseClass *driver, const QString &connection, const QString &probe, bool simulated,
                     bool json)
    : m_driver(driver), m_connection(connection), m_probe(probe), m_simulated(simulated), m_json(json)
{
    QObject *object = dynamic_cast<QObject *>(driver);
    m_diag = qobject_cast<DriveDiagnostics *>(object);
    m_controller = qobject_cast<DriveController *>(object);
}

void CipDoctor::add(const DoctorStep &s)
{
    m_steps.append(s);
    if (!m_json)
        printOut(stepText(s));
}

int CipDoctor::run()
{
    if (!m_json)
        printOut(QStringLiteral("doctor: CipNet on '%1'").arg(m_connection));
    if (!m_diag || !m_controller) {
        printError(QStringLiteral("this plug-in has no diagnostics face; doctor cannot check it"));
        return ExitSetup;
    }
    const bool connected = syntax() && reach() && session();
    bool readOk = false;
    if (connected) {
        identity();
        readOk = read();
    }
    if (m_json)
        printOut(doctorJson(QStringLiteral("CipNet"), m_connection, m_simulated, m_steps));
    else
        printOut(doctorVerdict(m_steps));
    if (!connected)
        return ExitConnectFailed;
    return readOk && !firstFailure(m_steps) ? ExitOk : ExitFailed;
}

bool CipDoctor::syntax()
{
    const QString why = m_diag->checkConnectionText(m_connection);
    if (why.isEmpty()) {
        add(step("syntax", "connection text", DoctorStep::Outcome::Passed, m_connection));
        return true;
    }
    add(step("syntax", "connection text", DoctorStep::Outcome::Failed, why,
             QStringLiteral("ip[:port][,timeout=MS][,connected=on] with a numeric IPv4 address")));
    return false;
}

bool CipDoctor::reach()
{
    const QString address = m_connection.section(QLatin1Char(','), 0, 0);
    const QString host = address.section(QLatin1Char(':'), 0, 0);
    const int port = address.contains(QLatin1Char(':')) ? address.section(QLatin1Char(':'), 1).toInt() : 44818;
    QTcpSocket socket;
    QElapsedTimer timer;
    timer.start();
    socket.connectToHost(host, quint16(port));
    const bool ok = socket.waitForConnected(kReachTimeoutMs);
    const qint64 elapsed = timer.elapsed();
    const QString error = socket.errorString();
    socket.abort();
    if (ok) {
        add(step("reach", "TCP connection", DoctorStep::Outcome::Passed,
                 QStringLiteral("%1:%2 accepts TCP connections").arg(host).arg(port), QString(), elapsed));
        return true;
    }
    add(step("reach", "TCP connection", DoctorStep::Outcome::Failed,
             QStringLiteral("%1:%2: %3").arg(host).arg(port).arg(error),
             QStringLiteral("the controller's address, that it is on and cabled, port 44818 and firewalls between"),
             elapsed));
    return false;
}

bool CipDoctor::session()
{
    QElapsedTimer timer;
    timer.start();
    const int result = m_driver->ConnectDrive(m_connection);
    const qint64 elapsed = timer.elapsed();
    if (result == 0) {
        const QVariantMap a = m_diag->addressing();
        add(step("session", "EtherNet/IP session", DoctorStep::Outcome::Passed,
                 QStringLiteral("session 0x%1, %2 messages of up to %3 bytes")
                     .arg(a.value(QStringLiteral("session")).toUInt(), 8, 16, QLatin1Char('0'))
                     .arg(a.value(QStringLiteral("connected")).toBool() ? QStringLiteral("connected")
                                                                          : QStringLiteral("unconnected"))
                     .arg(a.value(QStringLiteral("messageLimit")).toInt()),
                 QString(), elapsed));
        return true;
    }
    add(step("session", "EtherNet/IP session", DoctorStep::Outcome::Failed,
             QStringLiteral("ConnectDrive %1: %2").arg(result).arg(m_diag->lastOutcome().reason),
             QStringLiteral("that this port serves EtherNet/IP (an NJ/NX CPU port, 44818); with connected=on, "
                            "that the controller takes Large_Forward_Open (try without it)"),
             elapsed));
    return false;
}

void CipDoctor::identity()
{
    ControllerIdentity id;
    const Outcome o = m_controller->readIdentity(&id);
    if (!o.ok()) {
        add(step("identity", "controller identity", DoctorStep::Outcome::Warning, o.reason,
                 QStringLiteral("the controller answers variables, but not ListIdentity")));
        return;
    }
    add(step("identity", "controller identity", DoctorStep::Outcome::Passed,
             QStringLiteral("%1, product code 0x%2, revision %3")
                 .arg(id.model)
                 .arg(id.details.value(QStringLiteral("productCode")).toInt(), 4, 16, QLatin1Char('0'))
                 .arg(id.version)));
}

bool CipDoctor::read()
{
    if (m_probe.isEmpty()) {
        add(step("read", "test read", DoctorStep::Outcome::Skipped,
                 QStringLiteral("no --probe NAME[:TYPE] given; a variable's name is the controller's own")));
        return false;
    }
    const QString name = m_probe.section(QLatin1Char(':'), 0, 0);
    const bool typeGiven = m_probe.contains(QLatin1Char(':'));
    const int type = typeGiven ? typeFromName(m_probe.section(QLatin1Char(':'), 1)) : int(Int32);
    QElapsedTimer timer;
    timer.start();
    CLabelVariable result = m_driver->ReadVariable(name, DataType(type), 1);
    const qint64 elapsed = timer.elapsed();
    const Outcome o = m_diag->lastOutcome();
    if (result.errorCode == 0) {
        add(step("read", "test read", DoctorStep::Outcome::Passed,
                 QStringLiteral("%1 %2 = %3").arg(name, typeName(type), formatValues(result, type).join(QLatin1Char(' '))),
                 QString(), elapsed));
        return true;
    }
    if (!typeGiven && o.step == QLatin1String("type")) {
        // Found and published; only its type is not the one tried.
        add(step("read", "test read", DoctorStep::Outcome::Passed,
                 QStringLiteral("the variable is there and published: %1").arg(o.reason), QString(), elapsed));
        return true;
    }
    add(step("read", "test read", DoctorStep::Outcome::Failed,
             QStringLiteral("%1: result %2, %3").arg(name, resultText(result.errorCode), o.reason),
             QStringLiteral("likely cause: ") + likelyCause(o, result.errorCode, typeGiven), elapsed));
    return false;
}

} // namespace plcctl
