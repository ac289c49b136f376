#include "DoctorSession.h"

#include "CDriveBaseClass.h"
#include "DoctorCMode.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "Console.h"
#include "CtlSession.h"
#include "TraceOutput.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace plcctl {

namespace {

// The word every CS/CJ-class controller has.
const char kTestAddress[] = "D0";

DeviceFacts deviceFacts(const QString &path)
{
    DeviceFacts facts;
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    facts.exists = ::stat(name.constData(), &st) == 0;
    facts.characterDevice = facts.exists && S_ISCHR(st.st_mode);
    facts.readable = ::access(name.constData(), R_OK) == 0;
    facts.writable = ::access(name.constData(), W_OK) == 0;
    return facts;
}

Reach reachOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return Reach::Refused;
    case QAbstractSocket::SocketTimeoutError: return Reach::TimedOut;
    default: return Reach::Unreachable;
    }
}

QList<QPair<QString, QString>> planFor(DriverKind kind, bool serial)
{
    const QPair<QString, QString> read{QStringLiteral("read"), QStringLiteral("test read of D0 (one word)")};
    switch (kind) {
    case DriverKind::FinsTcp:
        return {{QStringLiteral("reach"), QStringLiteral("TCP connection")},
                {QStringLiteral("handshake"), QStringLiteral("FINS/TCP node handshake")}, read};
    case DriverKind::HostLink:
        if (serial)
            return {{QStringLiteral("port"), QStringLiteral("Host Link port")}, read};
        return {{QStringLiteral("reach"), QStringLiteral("TCP connection")},
                {QStringLiteral("port"), QStringLiteral("Host Link port")}, read};
    case DriverKind::FinsUdp:
        return {{QStringLiteral("nodes"), QStringLiteral("FINS/UDP node numbers")},
                {QStringLiteral("answer"), QStringLiteral("FINS/UDP answer")}, read};
    case DriverKind::HostLinkC: {
        QList<QPair<QString, QString>> plan;
        if (!serial)
            plan << qMakePair(QStringLiteral("reach"), QStringLiteral("TCP connection"));
        return plan << qMakePair(QStringLiteral("port"), QStringLiteral("Host Link port"))
                    << qMakePair(QStringLiteral("status"), QStringLiteral("C-mode status (MS)")) << read
                    << qMakePair(QStringLiteral("mode"), QStringLiteral("operating mode"));
    }
    case DriverKind::Other:
        break;
    }
    return {};
}

} // namespace

DoctorSession::DoctorSession(CDriveBaseClass *driver, const QString &driverName, const QString &connection,
                             int unit, bool simulated, bool json)
    : m_driver(driver), m_driverName(driverName), m_connection(connection), m_unit(unit), m_simulated(simulated),
      m_json(json),
      m_kind(driverKind(driverName))
{
}

int DoctorSession::run()
{
    if (!m_json)
        printOut(QStringLiteral("doctor: %1 on '%2'").arg(m_driverName, m_connection));
    // Frame traces tell the node numbers; they are read, not shown (unless --trace).
    m_driver->DebugCmd(StartDebug);
    takeDriverLines();
    const DoctorStep syntax = syntaxStep(m_kind, m_connection, &m_target);
    m_plan = planFor(m_kind, m_target.serial);
    add(syntax);
    bool reachedRead = false;
    if (syntax.outcome != DoctorStep::Outcome::Failed) {
        switch (m_kind) {
        case DriverKind::FinsTcp: reachedRead = runFinsTcp(); break;
        case DriverKind::HostLink: reachedRead = runHostLink(); break;
        case DriverKind::FinsUdp: reachedRead = runFinsUdp(); break;
        case DriverKind::HostLinkC: reachedRead = runHostLinkC(); break;
        case DriverKind::Other: break;
        }
    }
    skipRest();
    if (m_json)
        printOut(doctorJson(m_driverName, m_connection, m_simulated, m_steps));
    else
        printOut(doctorVerdict(m_steps));
    if (!firstFailure(m_steps) && reachedRead)
        return ExitOk;
    return reachedRead ? ExitFailed : ExitConnectFailed;
}

bool DoctorSession::checkReach()
{
    QTcpSocket socket;
    QElapsedTimer timer;
    timer.start();
    socket.connectToHost(m_target.host, quint16(m_target.port));
    const bool connected = socket.waitForConnected(ReachTimeoutMs);
    const qint64 elapsed = timer.elapsed();
    const Reach reach = connected ? Reach::Connected : reachOf(socket.error());
    const QString error = socket.errorString();
    socket.abort();
    add(reachStep(m_target, reach, error, elapsed));
    return connected;
}

QStringList DoctorSession::connect(int *result, qint64 *elapsedMs)
{
    takeDriverLines();
    QElapsedTimer timer;
    timer.start();
    *result = m_driver->ConnectDrive(m_connection);
    *elapsedMs = timer.elapsed();
    return takeDriverLines();
}

TestRead DoctorSession::testRead()
{
    TestRead read;
    read.address = QString::fromLatin1(kTestAddress);
    takeDriverLines();
    QElapsedTimer timer;
    timer.start();
    CLabelVariable result = m_driver->ReadVariable(read.address, UInt16, 1); // element access sets accessStatus
    read.elapsedMs = timer.elapsed();
    read.lines = takeDriverLines();
    read.errorCode = result.errorCode;
    if (result.errorCode == 0)
        read.value = result.atUInt16(0);
    return read;
}

bool DoctorSession::runFinsTcp()
{
    if (!checkReach())
        return false;
    int result = 0;
    qint64 elapsed = 0;
    const QStringList lines = connect(&result, &elapsed);
    if (result != 0) {
        add(handshakeStep(result, lines, {}, elapsed));
        return false;
    }
    // The node numbers show in the test read's traced request: the
    // handshake's step is shown once that is in (a bounded wait).
    const TestRead read = testRead();
    add(handshakeStep(result, lines, read.lines, elapsed));
    add(readStep(m_kind, m_target, m_unit, read));
    return true;
}

bool DoctorSession::runHostLink()
{
    if (!m_target.serial && !checkReach())
        return false;
    const DeviceFacts device = m_target.serial ? deviceFacts(m_target.device) : DeviceFacts{true, true, true, true};
    int result = -1;
    qint64 elapsed = 0;
    QStringList lines;
    if (device.exists && device.characterDevice && device.readable && device.writable)
        lines = connect(&result, &elapsed);
    const DoctorStep port = hostLinkPortStep(m_target, device, result, lines, m_unit);
    add(port);
    if (port.outcome == DoctorStep::Outcome::Failed)
        return false;
    add(readStep(m_kind, m_target, m_unit, testRead()));
    return true;
}

bool DoctorSession::runFinsUdp()
{
    int result = 0;
    qint64 elapsed = 0;
    const QStringList lines = connect(&result, &elapsed);
    add(udpNodesStep(result, lines));
    add(udpAnswerStep(m_target, result, lines, elapsed));
    if (result != 0)
        return false;
    add(readStep(m_kind, m_target, m_unit, testRead()));
    return true;
}

// C-mode: the port as for Host Link, then MS (unit, mode), the test read
// and what the mode means for writes, read through the plug-in's faces.
bool DoctorSession::runHostLinkC()
{
    QObject *object = dynamic_cast<QObject *>(m_driver);
    DriveController *controller = qobject_cast<DriveController *>(object);
    DriveDiagnostics *diagnostics = qobject_cast<DriveDiagnostics *>(object);
    if (!controller || !diagnostics || (!m_target.serial && !checkReach()))
        return false;
    const DeviceFacts device = m_target.serial ? deviceFacts(m_target.device) : DeviceFacts{true, true, true, true};
    int result = -1;
    qint64 elapsed = 0;
    QStringList lines;
    if (device.exists && device.characterDevice && device.readable && device.writable)
        lines = connect(&result, &elapsed);
    const DoctorStep port = hostLinkPortStep(m_target, device, result, lines, m_unit);
    add(port);
    if (port.outcome == DoctorStep::Outcome::Failed)
        return false;
    ControllerStatus status;
    QElapsedTimer timer;
    timer.start();
    const Outcome ms = controller->readStatus(&status);
    add(cmodeStatusStep(ms, status, m_unit, timer.elapsed()));
    takeDriverLines();
    timer.restart();
    CLabelVariable read = m_driver->ReadVariable(QString::fromLatin1(kTestAddress), UInt16, 1);
    const qint64 readMs = timer.elapsed();
    takeDriverLines();
    add(cmodeReadStep(diagnostics->lastOutcome(), read.errorCode, read.errorCode == 0 ? read.atUInt16(0) : 0, m_unit, readMs));
    if (ms.ok())
        add(cmodeModeStep(status));
    return true;
}

void DoctorSession::add(const DoctorStep &step)
{
    m_steps.append(step);
    if (!m_json)
        printOut(stepText(step));
}

void DoctorSession::skipRest()
{
    for (const auto &planned : m_plan) {
        bool done = false;
        for (const DoctorStep &step : m_steps)
            done = done || step.id == planned.first;
        if (!done)
            add(skippedStep(planned.first, planned.second));
    }
}

} // namespace plcctl
