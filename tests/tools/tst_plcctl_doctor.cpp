// What doctor makes of a connection text and of the plug-ins' own lines: the
// frames in the trace lines are the captured ones of the protocol notes, the
// warning lines are written as the plug-ins write them.

#include "ConnectionCheck.h"
#include "DoctorFindings.h"
#include "DoctorStep.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace plcctl;
using Outcome = DoctorStep::Outcome;

Q_DECLARE_METATYPE(plcctl::DriverKind)
Q_DECLARE_METATYPE(plcctl::DoctorStep::Outcome)

namespace {

const char kRefused21[] = "lib[FinsNet]节点地址请求被拒绝 192.168.250.1:9600 code = 00000021";

QString show(const DoctorStep &step)
{
    return outcomeName(step.outcome) + QLatin1Char(' ') + step.found + QStringLiteral(" | ") + step.check;
}

} // namespace

class TestPlcctlDoctor : public QObject
{
    Q_OBJECT

private slots:
    void connectionTexts_data()
    {
        QTest::addColumn<DriverKind>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("found");
        const auto fins = DriverKind::FinsTcp, hl = DriverKind::HostLink, udp = DriverKind::FinsUdp;
        QTest::newRow("fins") << fins << "192.168.250.1:9600" << Outcome::Passed << "FINS/TCP to 192.168.250.1 port 9600";
        QTest::newRow("fins no port") << fins << "192.168.250.1" << Outcome::Failed << "has no ':port'";
        QTest::newRow("fins host name") << fins << "plc.local:9600" << Outcome::Failed << "not a numeric IPv4";
        QTest::newRow("fins three octets") << fins << "10.0.1:9600" << Outcome::Failed << "not a numeric IPv4";
        QTest::newRow("fins octet 256") << fins << "10.0.0.256:9600" << Outcome::Failed << "not a numeric IPv4";
        QTest::newRow("fins port 0") << fins << "10.0.0.1:0" << Outcome::Failed << "port '0'";
        QTest::newRow("fins port 65536") << fins << "10.0.0.1:65536" << Outcome::Failed << "port '65536'";
        QTest::newRow("fins settings") << fins << "10.0.0.1:9600,node=3" << Outcome::Failed << "no settings";
        QTest::newRow("serial") << hl << "/dev/ttyUSB0,9600,7,2,E" << Outcome::Passed
                                << "serial port /dev/ttyUSB0, 9600 baud, 7 data bits, 2 stop bits, even parity";
        QTest::newRow("serial 1.5 stop bits") << hl << "/dev/ttyS0,19200,8,3,None" << Outcome::Passed
                                              << "1.5 stop bits, none parity";
        QTest::newRow("serial odd rate") << hl << "/dev/ttyS0,14400,7,2,E" << Outcome::Warning << "14400 baud";
        QTest::newRow("serial no parity") << hl << "/dev/ttyS0,9600,7,2" << Outcome::Warning << "unchanged parity";
        QTest::newRow("serial data bits") << hl << "/dev/ttyS0,9600,9,2,E" << Outcome::Failed << "data bits '9'";
        QTest::newRow("serial parity") << hl << "/dev/ttyS0,9600,7,2,X" << Outcome::Failed << "parity 'X'";
        QTest::newRow("serial fields") << hl << "/dev/ttyS0,9600" << Outcome::Failed << "5 fields, this one 2";
        QTest::newRow("hostlink tcp") << hl << "10.0.0.20:9600" << Outcome::Passed << "Host Link over TCP to 10.0.0.20";
        QTest::newRow("hostlink tcp reconnect") << hl << "10.0.0.20:9600,reconnect=on" << Outcome::Passed << "Host Link over TCP to 10.0.0.20";
        QTest::newRow("fins reconnect") << fins << "10.0.0.1:9600,reconnect=off" << Outcome::Passed << "FINS/TCP to 10.0.0.1 port 9600";
        QTest::newRow("fins reconnect=yes") << fins << "10.0.0.1:9600,reconnect=yes" << Outcome::Failed << "on or off";
        QTest::newRow("hostlink neither") << hl << "ttyS0" << Outcome::Failed << "neither ','";
        QTest::newRow("udp") << udp << "10.0.0.1:9600,local=9600,node=20" << Outcome::Passed
                             << "FINS/UDP to 10.0.0.1 port 9600, local=9600, node=20";
        QTest::newRow("udp unknown setting") << udp << "10.0.0.1:9600,nodes=2" << Outcome::Failed
                                             << "unknown setting 'nodes=2'";
    }
    void connectionTexts()
    {
        QFETCH(DriverKind, kind);
        QFETCH(QString, text);
        QFETCH(Outcome, outcome);
        QFETCH(QString, found);
        ConnectionTarget target;
        const DoctorStep step = syntaxStep(kind, text, &target);
        QVERIFY2(step.outcome == outcome && step.found.contains(found), qPrintable(show(step)));
        QCOMPARE(step.id, QStringLiteral("syntax"));
        // Every failure and warning says what to check.
        QCOMPARE(step.check.isEmpty(), outcome == Outcome::Passed);
    }

    // DA1 and SA1 from the traced request, FINS/TCP (after its 16-byte
    // header) and FINS/UDP (the FINS header alone); answers do not count.
    void nodeNumbersFromTraces()
    {
        const QString tcp = QString::fromUtf8("lib[FinsNet]读命令 127.0.0.1:9600 Area=D100  len = 4 msg : "
                                              "46494e530000001a0000000200000000800002001700001800ff0101820064000002");
        const QString answer = QString::fromUtf8("lib[FinsNet]响应 127.0.0.1:9600 Area=D100  len = 4 msg : "
                                                 "46494e530000001a0000000200000000c00002001800001700ff01010000aabbccdd");
        NodeNumbers nodes = nodesInTrace({tcp, answer});
        QCOMPARE(nodes.plc, 0x17);
        QCOMPARE(nodes.ours, 0x18);
        const QString udp = QString::fromUtf8("lib[FinsUdp]读命令 10.0.0.1:9600 Area=D0  len = 2 msg : "
                                              "80000200010000140005010182000000000001");
        nodes = nodesInTrace({udp});
        QCOMPARE(nodes.plc, 1);
        QCOMPARE(nodes.ours, 20);
        QVERIFY(!nodesInTrace({answer}).known());
        QVERIFY(!nodesInTrace({}).known());
    }

    void handshake_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("check");
        const QString refused = QString::fromUtf8(kRefused21);
        QTest::newRow("refused") << -2 << QStringList{refused} << Outcome::Failed
                                 << "refused: header error 21 the requested client node is already connected"
                                 << "another client holds the node number";
        QTest::newRow("all in use") << -2
                                    << QStringList{QString::fromUtf8(
                                           "lib[FinsNet]节点地址请求被拒绝 10.0.0.1:9600 code = 00000020")}
                                    << Outcome::Failed << "header error 20 all connections in use" << "close other clients";
        QTest::newRow("malformed answer") << -2
                                          << QStringList{QString::fromUtf8("lib[FinsNet]节点地址应答错误 10.0.0.1:9600 msg : 46494e53")}
                                          << Outcome::Failed << "malformed" << "speaks FINS/TCP";
        QTest::newRow("retry worked") << 0 << QStringList{refused} << Outcome::Passed
                                      << "a first request was refused: header error 21" << "";
        QTest::newRow("closed") << -2 << QStringList{QStringLiteral("lib[FinsNet]10.0.0.1:9600 Disconnected= QAbstractSocket::RemoteHostClosedError")}
                                << Outcome::Failed << "closed the connection without a node answer" << "settings";
        // The driver's own close after the wait is no hang-up by the unit.
        QTest::newRow("silent") << -2
                                << QStringList{QStringLiteral("lib[FinsNet]10.0.0.1:9600 Disconnected= QAbstractSocket::UnknownSocketError")}
                                << Outcome::Failed << "no node answer within 1200 ms" << "speaks FINS/TCP";
    }
    void handshake()
    {
        QFETCH(int, result);
        QFETCH(QStringList, lines);
        QFETCH(Outcome, outcome);
        QFETCH(QString, found);
        QFETCH(QString, check);
        const DoctorStep step = handshakeStep(result, lines, {}, 1200);
        QVERIFY2(step.outcome == outcome && step.found.contains(found) && step.check.contains(check),
                 qPrintable(show(step)));
    }

    void readFailures_data()
    {
        QTest::addColumn<DriverKind>("kind");
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("check");
        QTest::newRow("fins end code, field hint")
            << DriverKind::FinsTcp << 7
            << QString::fromUtf8("lib[FinsNet]报文结束码错误 10.0.0.1:9600 Area=D0  len = 2 code = 1005 msg : c0")
            << "FINS end code 1005 header error" << "wrong DNA/DA1/DA2";
        QTest::newRow("fins end code, class hint")
            << DriverKind::FinsTcp << 7
            << QString::fromUtf8("lib[FinsNet]报文结束码错误 10.0.0.1:9600 Area=D0  len = 2 code = 1101 msg : c0")
            << "1101 area classification missing" << "no such word";
        QTest::newRow("fins mode") << DriverKind::FinsUdp << 7
                                   << QString::fromUtf8("lib[FinsUdp]报文结束码错误 10.0.0.1:9600 Area=D0  len = 2 code = 2202 msg : c0")
                                   << "2202 not possible while running" << "mode or settings";
        QTest::newRow("host link end code") << DriverKind::HostLink << 7 << "lib[HLink] D0 Host Link end code 13"
                                            << "13 FCS error" << "noise on the line";
        QTest::newRow("host link other unit")
            << DriverKind::HostLink << 8
            << "lib[HLink]127.0.0.1:9600 Area=D0 no answer; dropped 1 answer(s) for another unit or request"
            << "no answer within 2010 ms" << "--unit (now 0)";
        QTest::newRow("host link silent") << DriverKind::HostLink << 8 << "" << "no answer within 2010 ms"
                                          << "9600 baud, 7 data bits, 2 stop bits, even parity";
        QTest::newRow("node numbers")
            << DriverKind::FinsTcp << 7
            << QString::fromUtf8("lib[FinsNet]目标地址，源地址错误 10.0.0.1:9600 Area=D0  len = 2 msg : c0")
            << "other node numbers" << "same node number";
        QTest::newRow("lost") << DriverKind::FinsTcp << 9 << "lib[FinsNet]10.0.0.1:9600 Disconnected= x"
                              << "the connection was lost" << "closed the connection";
    }
    void readFailures()
    {
        QFETCH(DriverKind, kind);
        QFETCH(int, errorCode);
        QFETCH(QString, line);
        QFETCH(QString, found);
        QFETCH(QString, check);
        ConnectionTarget target;
        syntaxStep(DriverKind::HostLink, QStringLiteral("/dev/ttyS0,9600,7,2,E"), &target);
        TestRead read;
        read.address = QStringLiteral("D0");
        read.errorCode = errorCode;
        read.lines = line.isEmpty() ? QStringList() : QStringList{line};
        read.elapsedMs = 2010;
        const DoctorStep step = readStep(kind, target, 0, read);
        QVERIFY2(step.outcome == Outcome::Failed && step.found.contains(found) && step.check.contains(check),
                 qPrintable(show(step)));
    }

    void udpSteps()
    {
        ConnectionTarget target;
        syntaxStep(DriverKind::FinsUdp, QStringLiteral("10.0.0.1:9600"), &target);
        const QStringList silence = {
            QString::fromUtf8("lib[FinsUdp]无响应，重发 10.0.0.1:9600 Area=D0  len = 2 msg : 80"),
            QString::fromUtf8("lib[FinsUdp]无响应，重发 10.0.0.1:9600 Area=D0  len = 2 msg : 80"),
            QString::fromUtf8("lib[FinsUdp]10.0.0.1:9600 无应答，请检查节点号 plc=1 node=20 local=40000")};
        DoctorStep step = udpNodesStep(-2, silence);
        QVERIFY2(step.outcome == Outcome::Warning && step.found.contains(QLatin1String("DA1 (the PLC, plc=) 1, SA1 (us, node=) 20")),
                 qPrintable(show(step)));
        step = udpAnswerStep(target, -2, silence, 1500);
        QVERIFY2(step.outcome == Outcome::Failed && step.found == QLatin1String("no answer within 1500 ms (2 resends)")
                     && step.check.contains(QLatin1String("local=9600")),
                 qPrintable(show(step)));
        step = udpAnswerStep(target, -3,
                             {QStringLiteral("lib[FinsUdp]10.0.0.1:9600 Disconnected= QAbstractSocket::ConnectionRefusedError")},
                             3);
        QVERIFY2(step.found.contains(QLatin1String("port unreachable")), qPrintable(show(step)));
        step = udpAnswerStep(target, -3, {QString::fromUtf8("lib[FinsUdp]10.0.0.1:9600 本地端口 9600 不可用 x")}, 1);
        QVERIFY2(step.found.contains(QLatin1String("local UDP port")), qPrintable(show(step)));
    }

    void report()
    {
        ConnectionTarget target;
        QList<DoctorStep> steps{syntaxStep(DriverKind::FinsTcp, QStringLiteral("10.0.0.1:9600"), &target),
                                reachStep(target, Reach::Refused, QString(), 2), skippedStep("read", "test read")};
        const QJsonObject o = QJsonDocument::fromJson(doctorJson("FinsNet", "10.0.0.1:9600", false, steps).toUtf8()).object();
        QCOMPARE(o.value("ok").toBool(true), false);
        QCOMPARE(o.value("failedStep").toString(), QStringLiteral("reach"));
        const QJsonArray array = o.value("steps").toArray();
        QCOMPARE(array.size(), 3);
        QCOMPARE(array.at(1).toObject().value("outcome").toString(), QStringLiteral("failed"));
        QCOMPARE(array.at(1).toObject().value("elapsedMs").toInt(), 2);
        QVERIFY(array.at(0).toObject().value("check").isNull());
        QCOMPARE(array.at(2).toObject().value("outcome").toString(), QStringLiteral("skipped"));
        QVERIFY(doctorVerdict(steps).startsWith(QLatin1String("doctor: failed at TCP connection to 10.0.0.1:9600: refused")));
        QVERIFY(stepText(steps.at(1)).startsWith(QLatin1String("[FAIL] TCP connection")));
        QVERIFY(stepText(steps.at(1)).contains(QLatin1String("\n       check: the port number")));
    }
};

QTEST_GUILESS_MAIN(TestPlcctlDoctor)
#include "tst_plcctl_doctor.moc"
