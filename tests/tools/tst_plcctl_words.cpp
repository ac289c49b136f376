// What plcctl says about a failure: the meaning of each class of end code
// (words from the controller manuals' tables) and the failure words it takes
// from the plug-ins' own warning lines.

#include "EndCodeText.h"

#include <QtTest>

using namespace plcctl;

class TestPlcctlWords : public QObject
{
    Q_OBJECT

private slots:
    void finsEndCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("starts");
        // One code of each main class, and the flag bits masked off.
        QTest::newRow("normal") << 0x0000 << "0000 normal completion";
        QTest::newRow("local node") << 0x0101 << "0101 local node not in network";
        QTest::newRow("destination") << 0x0205 << "0205 response timeout";
        QTest::newRow("controller") << 0x0302 << "0302 CPU unit error";
        QTest::newRow("not supported") << 0x0401 << "0401 undefined command";
        QTest::newRow("routing") << 0x0502 << "0502 no routing tables";
        QTest::newRow("format") << 0x1004 << "1004 command format error";
        QTest::newRow("parameter") << 0x1103 << "1103 address range error";
        QTest::newRow("read only") << 0x2101 << "2101 read-only";
        QTest::newRow("status") << 0x2203 << "2203 wrong PLC mode (program)";
        QTest::newRow("access right") << 0x3001 << "3001 no access right";
        QTest::newRow("abort") << 0x4001 << "4001 service aborted";
        QTest::newRow("relay flag") << 0x9101 << "1101 area classification missing";
        QTest::newRow("cpu flags") << 0x11C4 << "1104 address range exceeded";
        QTest::newRow("unknown") << 0x0F0F << "0F0F ";
    }
    void finsEndCodes()
    {
        QFETCH(int, code);
        QFETCH(QString, starts);
        QVERIFY2(finsEndCodeText(quint16(code)).startsWith(starts), qPrintable(finsEndCodeText(quint16(code))));
    }

    void finsHints()
    {
        QVERIFY(finsEndCodeHint(0x1005).contains(QLatin1String("DA1")));
        QVERIFY(!finsEndCodeHint(0x0201).isEmpty());
        QVERIFY(!finsEndCodeHint(0x2201).isEmpty());
        QVERIFY(finsEndCodeHint(0x1103).isEmpty());
    }

    void hostLinkAndHeaderCodes()
    {
        QCOMPARE(hostLinkEndCodeText(QStringLiteral("13")), QStringLiteral("13 FCS error"));
        QVERIFY(hostLinkEndCodeText(QStringLiteral("A3")).startsWith(QLatin1String("A3 aborted")));
        QVERIFY(hostLinkEndCodeText(QStringLiteral("7")).contains(QLatin1String("unknown")));
        QVERIFY(finsHeaderErrorText(0x21).startsWith(QLatin1String("21 ")));
        QVERIFY(finsHeaderErrorText(0x21).contains(QLatin1String("already")));
        QVERIFY(finsHeaderErrorText(0x99).contains(QLatin1String("unknown")));
    }

    void warningLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("contains");
        // Lines as the plug-ins write them.
        QTest::newRow("fins end code") << QString::fromUtf8(
            "lib[FinsNet]报文结束码错误 127.0.0.1:9600 Area=D100  len = 4 code = 1103 msg : c0") << "1103 address range error";
        QTest::newRow("fins flagged") << QString::fromUtf8(
            "lib[FinsNet]报文结束码错误 127.0.0.1:9600 Area=D100  len = 4 code = 9005 msg : c0") << "(likely:";
        QTest::newRow("hostlink fins") << "lib[HLink] D100 FINS end code 2101" << "2101 read-only";
        QTest::newRow("hostlink code") << "lib[HLink] D100 Host Link end code 13" << "13 FCS error";
        QTest::newRow("lost") << "lib[FinsNet]127.0.0.1:9600 Disconnected= QAbstractSocket::RemoteHostClosedError"
                              << "connection was lost";
        QTest::newRow("empty answer") << QString::fromUtf8(
            "lib[FinsNet]返回的报文长度为0 127.0.0.1:9600 Area=D100  len = 4 msg : ") << "no answer";
        QTest::newRow("nodes") << QString::fromUtf8(
            "lib[FinsNet]目标地址，源地址错误 127.0.0.1:9600 Area=D100  len = 4 msg : c0") << "node numbers";
        // A refused node request: the header error code as 8 upper-case hex digits.
        QTest::newRow("node refused") << QString::fromUtf8(
            "lib[FinsNet]节点地址请求被拒绝 192.168.250.1:9600 code = 00000021")
                                      << "node refused: header error 21 the requested client node is already connected";
        QTest::newRow("no node left") << QString::fromUtf8(
            "lib[FinsNet]节点地址请求被拒绝 127.0.0.1:9600 code = 00000025") << "header error 25 no node left to assign";
        QTest::newRow("node request unanswered") << QString::fromUtf8("lib[FinsNet]节点地址请求无应答 10.0.0.1:9600")
                                                 << "node address request got no answer";
        QTest::newRow("tcp refused") << QString::fromUtf8(
            "lib[FinsNet]10.0.0.1:9600 连接失败= QAbstractSocket::ConnectionRefusedError") << "TCP connection was refused";
        QTest::newRow("trace only") << QString::fromUtf8(
            "lib[FinsNet]响应 127.0.0.1:9600 Area=D100  len = 4 msg : c0") << "";
    }
    void warningLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, contains);
        const QString words = explainWarning(line);
        if (contains.isEmpty())
            QVERIFY2(words.isEmpty(), qPrintable(words));
        else
            QVERIFY2(words.contains(contains), qPrintable(words));
    }
};

QTEST_GUILESS_MAIN(TestPlcctlWords)
#include "tst_plcctl_words.moc"
