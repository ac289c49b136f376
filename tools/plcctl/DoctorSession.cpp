#include "DoctorSession.h"

#include "ControllerSession.h"

#include "CDriveBaseClass.h"
#include "Console.h"
#include "CtlSession.h"
#include "DoctorCMode.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "ReconnectText.h"

#include <QElapsedTimer>

namespace plcctl {

namespace {

// The word every CS/CJ-class controller has.
const char kTestAddress[] = "D0";
constexpr int kHighestUnit = 31;

using Plan = QList<QPair<QString, QString>>;

Plan planFor(DriverKind kind, bool tcp)
{
    const QPair<QString, QString> read{QStringLiteral("read"), QStringLiteral("test read of D0 (one word)")};
    const QPair<QString, QString> reach{QStringLiteral("reach"), QStringLiteral("TCP connection")};
    switch (kind) {
    case DriverKind::FinsTcp: return {reach, {QStringLiteral("handshake"), QStringLiteral("FINS/TCP node handshake")}, read};
    case DriverKind::HostLink:
        if (tcp)
            return {reach, {QStringLiteral("port"), QStringLiteral("Host Link port")}, read};
        return {{QStringLiteral("port"), QStringLiteral("Host Link port")}, read};
    case DriverKind::FinsUdp:
        return {{QStringLiteral("nodes"), QStringLiteral("FINS/UDP node numbers")},
                {QStringLiteral("answer"), QStringLiteral("FINS/UDP answer")}, read};
    case DriverKind::HostLinkC: {
        Plan plan;
        if (tcp)
            plan << reach;
        return plan << qMakePair(QStringLiteral("port"), QStringLiteral("Host Link port"))
                    << qMakePair(QStringLiteral("status"), QStringLiteral("C-mode status (MS)")) << read
                    << qMakePair(QStringLiteral("mode"), QStringLiteral("operating mode"));
    }
    case DriverKind::Other: break;
    }
    return {};
}

bool failed(const DoctorStep &step)
{
    return step.outcome == DoctorStep::Outcome::Failed;
}

} // namespace

DoctorSession::DoctorSession(CDriveBaseClass *driver, const QString &driverName, const QString &connection,
                             int unit, bool simulated, bool json)
    : m_driver(driver)
    , m_face(qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(driver)))
    , m_driverName(driverName)
    , m_connection(connection)
    , m_unit(unit)
    , m_simulated(simulated)
    , m_json(json)
    , m_kind(m_face ? driverKind(driverName) : DriverKind::Other)
{
}

int DoctorSession::run()
{
    if (!m_json)
        printOut(QStringLiteral("doctor: %1 on '%2'").arg(m_driverName, m_connection));
    m_plan = planFor(m_kind, false);
    if (!m_plan.isEmpty())
        m_plan.append({QStringLiteral("controller"), controllerStepTitle()});
    add(syntaxStep(m_kind, m_connection, m_face ? m_face->checkConnectionText(m_connection) : QString()));
    bool reachedRead = false;
    if (!failed(m_steps.last()) && connectSteps()) {
        reachedRead = true;
        if (m_kind == DriverKind::HostLinkC) {
            cmodeSteps(); // MS is its controller step
        } else {
            readStepRun();
            if (!failed(m_steps.last()))
                add(controllerStep(askController(m_driver)));
        }
    }
    skipRest();
    printOut(m_json ? doctorJson(m_driverName, m_connection, m_simulated, m_steps) : doctorVerdict(m_steps));
    if (!firstFailure(m_steps) && reachedRead)
        return ExitOk;
    return reachedRead ? ExitFailed : ExitConnectFailed;
}

StepFacts DoctorSession::facts(qint64 elapsedMs, quint64 droppedBefore) const
{
    StepFacts f;
    f.kind = m_kind;
    f.outcome = m_face->lastOutcome();
    f.addressing = m_face->addressing();
    f.elapsedMs = elapsedMs;
    f.dropped = m_face->droppedAnswers() - qMin(droppedBefore, m_face->droppedAnswers());
    return f;
}

// ConnectDrive, and the steps its outcome answers; true when it connected.
bool DoctorSession::connectSteps()
{
    // Say why nothing happens for a while: the waits are the plug-in's own.
    if (!m_json && (m_kind == DriverKind::HostLink || m_kind == DriverKind::HostLinkC))
        printNote(QStringLiteral("doctor: connecting (over TCP the plug-in waits up to 30 s for a silent address)"));
    QElapsedTimer timer;
    timer.start();
    const int result = m_driver->ConnectDrive(withReconnect(m_driverName, m_connection));
    const StepFacts f = facts(timer.elapsed(), 0);
    const bool tcp = m_kind != DriverKind::FinsUdp && f.addressing.contains(QStringLiteral("address"));
    m_plan = planFor(m_kind, tcp);
    if (tcp) {
        add(reachStep(f));
        if (failed(m_steps.last()))
            return false;
    }
    switch (m_kind) {
    case DriverKind::FinsTcp: add(handshakeStep(result, f)); break;
    case DriverKind::HostLink:
    case DriverKind::HostLinkC: add(hostLinkPortStep(result, f)); break;
    case DriverKind::FinsUdp:
        add(udpNodesStep(result, f));
        add(udpAnswerStep(result, f));
        break;
    case DriverKind::Other: break;
    }
    return result == 0;
}

void DoctorSession::readStepRun()
{
    const quint64 dropped = m_face->droppedAnswers();
    QElapsedTimer timer;
    timer.start();
    CLabelVariable result = m_driver->ReadVariable(QString::fromLatin1(kTestAddress), UInt16, 1);
    const StepFacts f = facts(timer.elapsed(), dropped);
    const quint16 value = result.errorCode == 0 ? result.atUInt16(0) : 0;
    // Silence, and no answer for anyone else either: the unit number is the
    // likeliest cause, so every other one is asked once.
    const bool scan = m_kind == DriverKind::HostLink && result.errorCode == 8 && f.dropped == 0;
    add(readStep(result.errorCode, value, f, scan ? scanUnits() : QString()));
}

// C-mode: MS (does the unit answer C-mode, in which mode), the test read,
// and what the mode means for writes, read through the plug-in's faces.
void DoctorSession::cmodeSteps()
{
    DriveController *controller = qobject_cast<DriveController *>(dynamic_cast<QObject *>(m_driver));
    ControllerStatus status;
    QElapsedTimer timer;
    timer.start();
    const Outcome ms = controller ? controller->readStatus(&status)
                                  : Outcome::make(Outcome::Kind::Unsupported, QStringLiteral("request"),
                                                  QStringLiteral("the plug-in has no controller face"));
    add(cmodeStatusStep(ms, status, m_unit, timer.elapsed()));
    timer.restart();
    CLabelVariable read = m_driver->ReadVariable(QString::fromLatin1(kTestAddress), UInt16, 1);
    const quint16 value = read.errorCode == 0 ? read.atUInt16(0) : 0;
    add(cmodeReadStep(m_face->lastOutcome(), read.errorCode, value, m_unit, timer.elapsed()));
    if (ms.ok())
        add(cmodeModeStep(status));
}

QString DoctorSession::scanUnits()
{
    if (!m_json)
        printNote(QStringLiteral("doctor: no answer from unit %1; asking every other unit 0-%2 once (up to 2 s each)")
                      .arg(m_unit)
                      .arg(kHighestUnit));
    int found = -1;
    for (int unit = 0; unit <= kHighestUnit && found < 0; ++unit) {
        if (unit == m_unit)
            continue;
        m_driver->SetConnectPar(QString::number(unit));
        if (m_driver->ReadVariable(QString::fromLatin1(kTestAddress), UInt16, 1).errorCode != 8)
            found = unit;
    }
    m_driver->SetConnectPar(QString::number(m_unit));
    if (found < 0)
        return QStringLiteral("no other unit 0-%1 answers either").arg(kHighestUnit);
    return QStringLiteral("unit %1 answers: use --unit %1").arg(found);
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
