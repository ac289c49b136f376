// The doctor's controller step, from the named fields of the controller face.

#include "ControllerReport.h"
#include "DoctorControllerStep.h"

#include <QtTest>

using namespace plcctl;

Q_DECLARE_METATYPE(plcctl::DoctorStep::Outcome)
Q_DECLARE_METATYPE(ControllerStatus)

namespace {
ControllerStatus status(const char *mode, bool running, bool fatal, bool nonFatal)
{
    ControllerStatus s;
    s.mode = QLatin1String(mode);
    s.running = running;
    s.fatalError = fatal;
    s.nonFatalError = nonFatal;
    return s;
}
} // namespace

class TestPlcctlController : public QObject
{
    Q_OBJECT

private slots:
    void doctorStep_data()
    {
        QTest::addColumn<int>("statusKind"); // Outcome::Kind of the status read
        QTest::addColumn<ControllerStatus>("status");
        QTest::addColumn<DoctorStep::Outcome>("outcome");
        QTest::addColumn<QString>("found");
        using K = Outcome::Kind;
        using O = DoctorStep::Outcome;
        QTest::newRow("run") << int(K::Done) << status("RUN", true, false, false) << O::Passed
                             << "CJ2M-CPU33 (revision 02.01); RUN mode (the program runs), no error";
        QTest::newRow("program, non-fatal") << int(K::Done) << status("PROGRAM", false, false, true) << O::Warning
                                            << "PROGRAM mode (the program does not run; outputs are off), a non-fatal error";
        QTest::newRow("run, fatal") << int(K::Done) << status("RUN", false, true, false) << O::Warning
                                    << "RUN mode (the program has stopped), a FATAL error";
        QTest::newRow("unsupported") << int(K::Unsupported) << ControllerStatus() << O::Passed
                                     << "mode and errors: not supported by this controller";
        QTest::newRow("no answer") << int(K::NoAnswer) << ControllerStatus() << O::Warning << "mode and errors: ";
    }
    void doctorStep()
    {
        QFETCH(int, statusKind);
        QFETCH(ControllerStatus, status);
        ControllerFindings f;
        f.face = true;
        f.identity.model = QStringLiteral("CJ2M-CPU33");
        f.identity.version = QStringLiteral("02.01");
        f.statusOutcome = Outcome::make(Outcome::Kind(statusKind), QStringLiteral("answer"), QString());
        f.status = status;
        const DoctorStep step = controllerStep(f);
        QTEST(step.outcome, "outcome");
        QFETCH(QString, found);
        QVERIFY2(step.found.contains(found), qPrintable(step.found));
        QCOMPARE(step.check.isEmpty(), step.outcome == DoctorStep::Outcome::Passed);
    }
};

QTEST_GUILESS_MAIN(TestPlcctlController)
#include "tst_plcctl_controller.moc"
