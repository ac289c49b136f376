// plcctl with the EtherNet/IP plug-in, run as a user runs it, against its
// built-in simulator: reads and writes by name, and what doctor says of a
// variable that is not published and of a wrong type.
#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run plcctl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(PLCCTL_PROGRAM), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class TestPlcctlCip : public QObject
{
    Q_OBJECT

private slots:
    void byName_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // in stdout
        QTest::newRow("member") << "cip read Recipe.Speed Float" << 0 << "Recipe.Speed Float = 1.5\n";
        QTest::newRow("write range") << "cip write Temps[0] Int16 1 2 3" << 0 << "read back Temps[0] Int16[3] = 1 2 3";
        QTest::newRow("string") << "--json cip read Names[0] String 2" << 0 << "\"values\":[\"first\",\"\"]";
        QTest::newRow("two dimensions") << "cip read Grid[2,1] Int32 3" << 0 << "= 21 22 23";
        QTest::newRow("wrong type") << "cip read Speed Int16" << 1 << "";
        QTest::newRow("doctor, published") << "cip doctor --probe Speed:Int32" << 0 << "test read: Speed Int32 = 1000";
        QTest::newRow("doctor, any type") << "cip doctor --probe Setpoint" << 0 << "Setpoint is REAL";
        QTest::newRow("doctor, not published") << "cip doctor --probe Hidden:Int32" << 1
                                               << "or the variable is not published";
        QTest::newRow("doctor, wrong type") << "cip doctor --probe Speed:Int16" << 1 << "likely cause: wrong type";
        QTest::newRow("doctor, identity") << "cip doctor" << 1 << "NX102-1200, product code 0x0bbb";
    }
    void byName()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const Run run = plcctl(arguments.split(QLatin1Char(' ')));
        QVERIFY2(run.exitCode == exitCode && run.out.contains(output), qPrintable(run.out + run.err));
    }
};

QTEST_GUILESS_MAIN(TestPlcctlCip)
#include "tst_plcctl_cip.moc"
