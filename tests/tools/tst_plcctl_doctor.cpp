// Doctor's verdict on a connection text is the plug-in's own: over a table
// of good and bad texts, doctor's syntax step fails exactly where the
// loaded plug-in's ConnectDrive refuses the text. Good texts name closed
// loopback ports, so nothing leaves this machine; bad ones are refused by
// the parser before anything is opened.

#include "DoctorAdvice.h"
#include "DoctorStep.h"

#include "CDriveBaseClass.h"
#include "DriveDiagnostics.h"
#include "TestSupport.h"

#include <QTcpServer>
#include <QUdpSocket>
#include <QtTest>

using namespace plcctl;

namespace {

quint16 closedTcpPort()
{
    QTcpServer server;
    server.listen(QHostAddress(QStringLiteral("127.0.0.5")));
    return server.serverPort();
}

quint16 closedUdpPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress(QStringLiteral("127.0.0.5")), 0);
    return socket.localPort();
}

testsupport::Plugin &pluginFor(const QString &name)
{
    if (name == QLatin1String("fins"))
        return testsupport::finsPlugin();
    if (name == QLatin1String("udp"))
        return testsupport::finsUdpPlugin();
    return testsupport::hlinkPlugin();
}

} // namespace

class TestPlcctlDoctor : public QObject
{
    Q_OBJECT

private slots:
    void verdictIsThePluginsOwn_data();
    void verdictIsThePluginsOwn();
    void report();
};

void TestPlcctlDoctor::verdictIsThePluginsOwn_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QString>("text"); // %1: a closed loopback port
    QTest::addColumn<bool>("good");
    const auto row = [](const char *plugin, const char *text, bool good) {
        QTest::addRow("%s %s", plugin, text) << QString::fromLatin1(plugin) << QString::fromLatin1(text) << good;
    };
    row("fins", "127.0.0.5:%1", true);
    row("fins", "127.1:%1", false);
    row("fins", "1.2.3:%1", false);
    row("fins", "2130706433:%1", false);
    row("fins", "127.0.0.010:%1", false);
    row("fins", "plc.local:%1", false);
    row("fins", "127.0.0.5:0", false);
    row("fins", "127.0.0.5", false);
    row("fins", "127.0.0.5:%1,reconnect=off", true);
    row("fins", "127.0.0.5:%1,reconnect=yes", false);
    row("hostlink", "127.0.0.5:%1,reconnect=on", true);
    row("hostlink", "127.0.0.5:%1", true);
    row("hostlink", "127.1:%1", false);
    row("hostlink", "/dev/ttyS0,9600", false);
    row("hostlink", "ttyS0", false);
    row("udp", "127.0.0.5:%1,RETRIES=0,timeout=50", true);
    row("udp", " 127.0.0.5:%1 , node=1,retries=0,timeout=50", true);
    row("udp", "127.0.0.5:%1,plc=0", false);
    row("udp", "127.0.0.010:%1", false);
    row("udp", "224.0.0.1:%1", false);
    row("udp", "127.0.0.5:%1,plc=1,plc=2", false);
    row("udp", "127.0.0.5:%1,plc=abc", false);
}

void TestPlcctlDoctor::verdictIsThePluginsOwn()
{
    QFETCH(QString, plugin);
    QFETCH(QString, text);
    QFETCH(bool, good);
    const quint16 port = plugin == QLatin1String("udp") ? closedUdpPort() : closedTcpPort();
    const QString connection = text.contains(QLatin1String("%1")) ? text.arg(port) : text;
    CDriveBaseClass *driver = pluginFor(plugin).create();
    DriveDiagnostics *face = qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(driver));
    QVERIFY(face);
    const DoctorStep syntax = syntaxStep(driverKind(driver->getDriveName()), connection,
                                         face->checkConnectionText(connection));
    testsupport::LogCapture quiet;
    const int result = good ? driver->ConnectDrive(connection) : -1;
    // A bad text is refused by ConnectDrive as by the face, and opens nothing.
    const int refused = good ? 0 : driver->ConnectDrive(connection);
    const QString step = face->lastOutcome().step;
    driver->DestroyFree();
    delete dynamic_cast<QObject *>(driver); // a host never does; a clean leak check wants it
    QCOMPARE(syntax.outcome == DoctorStep::Outcome::Passed, good);
    if (good)
        QVERIFY2(result != -1 && result != -4, qPrintable(QString::number(result)));
    else
        QVERIFY2((refused == -1 || refused == -4) && step == QLatin1String("text"),
                 qPrintable(QString::number(refused)));
}

void TestPlcctlDoctor::report()
{
    const QList<DoctorStep> steps{syntaxStep(DriverKind::FinsTcp, QStringLiteral("10.0.0.1:9600"), QString()),
                                  skippedStep(QStringLiteral("read"), QStringLiteral("test read"))};
    DoctorStep failed = steps.at(1);
    failed.id = QStringLiteral("reach");
    failed.outcome = DoctorStep::Outcome::Failed;
    failed.found = QStringLiteral("refused");
    failed.check = QStringLiteral("the port number");
    failed.elapsedMs = 2;
    const QList<DoctorStep> all{steps.at(0), failed, steps.at(1)};
    const QString json = doctorJson(QStringLiteral("FinsNet"), QStringLiteral("10.0.0.1:9600"), false, all);
    QVERIFY(json.contains(QLatin1String("\"ok\":false")));
    QVERIFY(json.contains(QLatin1String("\"failedStep\":\"reach\"")));
    QVERIFY(json.contains(QLatin1String("\"elapsedMs\":2")));
    QVERIFY(stepText(failed).contains(QLatin1String("\n       check: the port number")));
    QCOMPARE(doctorVerdict(all), QStringLiteral("doctor: failed at test read: refused"));
}

QTEST_GUILESS_MAIN(TestPlcctlDoctor)
#include "tst_plcctl_doctor.moc"
