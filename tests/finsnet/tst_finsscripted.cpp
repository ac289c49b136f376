// The FINS/TCP plug-in (loaded as a host does) against a scripted peer that answers exactly the bytes a test
// gives it: handshake answers of the wrong size or with an error, connection
// confirmations, error notices and merged frames, which a well-behaved
// controller (or the simulator) does not send on demand.
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "CDriveBaseClass.h"
#include "DriveDiagnostics.h"
#include "TestSupport.h"

using testsupport::fromHex;

namespace {

// One connection at a time; every complete frame received is answered by
// `reply(frame)` (an empty reply sends nothing).
class ScriptedPeer
{
public:
    using Reply = std::function<QByteArray(const QByteArray &request)>;

    explicit ScriptedPeer(Reply reply)
        : m_reply(std::move(reply))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), len);
        ::listen(m_listen, 4);
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~ScriptedPeer()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        m_thread.join();
    }
    quint16 port() const { return m_port; }
    int connections() const { return m_connections; }

private:
    void serve()
    {
        while (!m_stop) {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                return;
            ++m_connections;
            QByteArray buffer;
            char chunk[4096];
            for (;;) {
                const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0)
                    break;
                buffer.append(chunk, int(n));
                while (buffer.size() >= 8) {
                    const int total = 8 + int(quint8(buffer.at(6)) << 8 | quint8(buffer.at(7)));
                    if (buffer.size() < total)
                        break;
                    const QByteArray answer = m_reply(buffer.left(total));
                    buffer.remove(0, total);
                    if (answer == "close") {
                        ::shutdown(fd, SHUT_RDWR);
                        break;
                    }
                    if (!answer.isEmpty())
                        ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
                }
            }
            ::close(fd);
        }
    }

    Reply m_reply;
    int m_listen = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_connections {0};
};

// The warnings about the node address handshake, with "PEER" for the address.
QStringList handshakeWarnings(const testsupport::LogCapture &log, quint16 port)
{
    QStringList lines;
    for (const QString &line : log.messages(QtWarningMsg)) {
        if (line.contains(QString::fromUtf8("节点地址")))
            lines << QString(line).replace(QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("PEER"));
    }
    return lines;
}

bool isNodeRequest(const QByteArray &frame)
{
    return quint8(frame.at(11)) == 0;
}

QByteArray nodeAnswer(int client, int server)
{
    QByteArray a = fromHex("46494E53 00000010 00000001 00000000 00000000 00000000");
    a[19] = char(client);
    a[23] = char(server);
    return a;
}

// A read answer to `request` with the data words given.
QByteArray readAnswer(const QByteArray &request, const QByteArray &data, quint8 sidDelta = 0)
{
    QByteArray a = fromHex("46494E53 00000000 00000002 00000000 C0 00 02 00");
    a += request.mid(23, 1); // DA1 <- SA1
    a += fromHex("00 00");
    a += request.mid(20, 1); // SA1 <- DA1
    a += fromHex("00");
    a += char(quint8(request.at(25)) + sidDelta);
    a += request.mid(26, 2);
    a += fromHex("0000");
    a += data;
    const int length = a.size() - 8;
    a[6] = char(length >> 8);
    a[7] = char(length & 0xFF);
    return a;
}

// A driver whose connection is closed when the test ends, so the scripted
// peer's thread sees the end of its connection.
class Driver
{
public:
    Driver() : m_driver(testsupport::finsPlugin().create()) {}
    ~Driver()
    {
        m_driver->DestroyFree();
        delete dynamic_cast<QObject *>(m_driver); // a host never does; a clean leak check wants it
    }
    CDriveBaseClass *operator->() const { return m_driver; }
    operator CDriveBaseClass *() const { return m_driver; }

private:
    CDriveBaseClass *m_driver;
};

DriveDiagnostics *diagnostics(CDriveBaseClass *driver)
{
    return qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(driver));
}

QString at(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

int readD(CDriveBaseClass *driver, int word, quint16 *value = nullptr)
{
    CLabelVariable result = driver->ReadVariable(QStringLiteral("D%1").arg(word), UInt16, 1);
    if (value && result.errorCode == 0)
        *value = result.atUInt16(0);
    return result.errorCode;
}

} // namespace

class TestFinsScripted : public QObject
{
    Q_OBJECT

private slots:
    void handshakeStoresNodes();
    void handshakeRefused_data();
    void handshakeRefused();
    void connectFailuresSayWhy();
    void refusedNodeIsAskedAgainAsAutomatic();
    void connectionConfirmationIsIgnored();
    void errorNoticeFailsAtOnce();
    void mergedStaleAndOwnAnswer();
};

void TestFinsScripted::handshakeStoresNodes()
{
    ScriptedPeer peer([](const QByteArray &frame) {
        return isNodeRequest(frame) ? nodeAnswer(0x05, 0x0A) : readAnswer(frame, fromHex("1234"));
    });
    Driver cmd;
    QCOMPARE(diagnostics(cmd)->addressing().value(QStringLiteral("plc")).toInt(), 100);
    QCOMPARE(diagnostics(cmd)->addressing().value(QStringLiteral("node")).toInt(), 0);
    QCOMPARE(cmd->ConnectDrive(at(peer.port())), 0);
    QCOMPARE(diagnostics(cmd)->addressing().value(QStringLiteral("node")).toInt(), 5);
    QCOMPARE(diagnostics(cmd)->addressing().value(QStringLiteral("plc")).toInt(), 10);
    quint16 value = 0;
    QCOMPARE(readD(cmd, 100, &value), 0);
    QCOMPARE(value, quint16(0x1234));
    QVERIFY(diagnostics(cmd)->lastOutcome().ok());
}

void TestFinsScripted::handshakeRefused_data()
{
    QTest::addColumn<QByteArray>("answer");
    // Every way the handshake fails says why, once per node request.
    QTest::addColumn<QStringList>("warnings");
    const QString badAnswer = QString::fromUtf8("lib[FinsNet]节点地址应答错误 PEER msg : ");
    const QString refused = QString::fromUtf8("lib[FinsNet]节点地址请求被拒绝 PEER code = ");
    QTest::newRow("23 bytes") << fromHex("46494E53 0000000F 00000001 00000000 00000005 000000")
                              << QStringList{badAnswer + "46494e530000000f000000010000000000000005000000"};
    QTest::newRow("25 bytes") << fromHex("46494E53 00000011 00000001 00000000 00000005 0000000A 00")
                              << QStringList{badAnswer + "46494e5300000011000000010000000000000005" "0000000a00"};
    QTest::newRow("error in byte 15") << fromHex("46494E53 00000010 00000001 00000001 00000005 0000000A")
                                      << QStringList{refused + "00000001"};
    QTest::newRow("all connections in use") << fromHex("46494E53 00000008 00000003 00000020")
                                            << QStringList{refused + "00000020"};
    QTest::newRow("node in use, and again when automatic") << fromHex("46494E53 00000008 00000003 00000021")
                                                           << QStringList{refused + "00000021", refused + "00000021"};
    QTest::newRow("no answer") << QByteArray()
                               << QStringList{QString::fromUtf8("lib[FinsNet]节点地址请求无应答 PEER")};
}

void TestFinsScripted::handshakeRefused()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, warnings);
    ScriptedPeer peer([&](const QByteArray &) { return answer; });
    std::srand(3); // asks for a node other than 0 first
    Driver cmd;
    testsupport::LogCapture log;
    QCOMPARE(cmd->ConnectDrive(at(peer.port())), -2);
    const Outcome outcome = diagnostics(cmd)->lastOutcome();
    QCOMPARE(outcome.step, QStringLiteral("handshake"));
    QVERIFY(!outcome.reason.isEmpty());
    QCOMPARE(diagnostics(cmd)->addressing().value(QStringLiteral("plc")).toInt(), 100);
    QCOMPARE(diagnostics(cmd)->addressing().value(QStringLiteral("node")).toInt(), 0);
    QCOMPARE(readD(cmd, 0), 9);
    QCOMPARE(handshakeWarnings(log, peer.port()), warnings);
}

void TestFinsScripted::connectFailuresSayWhy()
{
    Driver cmd;
    testsupport::LogCapture log;
    // Only the address a text shows is ever reached: short and plain-number
    // forms of IPv4 are refused like host names (checked by the parser
    // only: nothing is sent).
    const QStringList refused{QStringLiteral("plc.local:9600"), QStringLiteral("1.2.3:9600"),
                              QStringLiteral("127.1:9600"), QStringLiteral("2130706433:9600"),
                              QStringLiteral("127.0.0.010:9600"), QStringLiteral("127.0.0.1:0")};
    QStringList expected;
    for (const QString &text : refused) {
        QCOMPARE(cmd->ConnectDrive(text), -1);
        QVERIFY2(!diagnostics(cmd)->checkConnectionText(text).isEmpty(), qPrintable(text));
        expected << QString::fromUtf8("lib[FinsNet]连接参数错误 ") + text;
    }
    QCOMPARE(log.messages(QtWarningMsg), expected);
    QCOMPARE(diagnostics(cmd)->checkConnectionText(QStringLiteral("127.0.0.5:9600")), QString());
    QCOMPARE(diagnostics(cmd)->checkConnectionText(QStringLiteral("::1:9600")), QString());
    // A port nobody listens on any more: the kernel refuses the connection.
    quint16 closedPort = 0;
    {
        ScriptedPeer gone([](const QByteArray &) { return QByteArray(); });
        closedPort = gone.port();
    }
    log.clear();
    QCOMPARE(cmd->ConnectDrive(at(closedPort)), -3);
    QCOMPARE(log.messages(QtWarningMsg),
             QStringList(QString::fromUtf8("lib[FinsNet]127.0.0.1:%1 连接失败= QAbstractSocket::ConnectionRefusedError")
                             .arg(closedPort)));
    QVERIFY(diagnostics(cmd)->lastOutcome().reason.contains(QStringLiteral("refused")));
}

void TestFinsScripted::refusedNodeIsAskedAgainAsAutomatic()
{
    std::srand(3);
    const int requested = std::rand() & 0xFF;
    std::srand(3);
    QVERIFY(requested != 0 && requested != 0xFF);
    QList<int> asked;
    QMutex mutex;
    ScriptedPeer peer([&](const QByteArray &frame) {
        if (!isNodeRequest(frame))
            return readAnswer(frame, fromHex("0001"));
        QMutexLocker lock(&mutex);
        asked << quint8(frame.at(19));
        // A controller refuses a node in use with an error notice, then closes.
        return frame.at(19) != 0 ? fromHex("46494E53 00000008 00000003 00000021") : nodeAnswer(0xEF, 1);
    });
    Driver cmd;
    QCOMPARE(cmd->ConnectDrive(at(peer.port())), 0);
    QCOMPARE(diagnostics(cmd)->addressing().value(QStringLiteral("node")).toInt(), 0xEF);
    QMutexLocker lock(&mutex);
    QCOMPARE(asked, (QList<int>{requested, 0}));
}

void TestFinsScripted::connectionConfirmationIsIgnored()
{
    ScriptedPeer peer([](const QByteArray &frame) {
        const QByteArray confirm = fromHex("46494E53 00000010 00000006 00000000 00000005 0000000A");
        return isNodeRequest(frame) ? confirm + nodeAnswer(5, 10) : confirm + readAnswer(frame, fromHex("BEEF"));
    });
    Driver cmd;
    QCOMPARE(cmd->ConnectDrive(at(peer.port())), 0);
    quint16 value = 0;
    QCOMPARE(readD(cmd, 0, &value), 0);
    QCOMPARE(value, quint16(0xBEEF));
}

void TestFinsScripted::errorNoticeFailsAtOnce()
{
    ScriptedPeer peer([](const QByteArray &frame) {
        return isNodeRequest(frame) ? nodeAnswer(5, 10) : fromHex("46494E53 00000008 00000003 00000003");
    });
    Driver cmd;
    QCOMPARE(cmd->ConnectDrive(at(peer.port())), 0);
    testsupport::LogCapture log;
    QCOMPARE(readD(cmd, 0), 7);
    QCOMPARE(log.messages(QtWarningMsg).size(), 1);
    QVERIFY(log.messages(QtWarningMsg).at(0).endsWith(QStringLiteral("len = 2 msg : 46494e530000000800000003" "00000003")));
    QCOMPARE(diagnostics(cmd)->lastOutcome().kind, Outcome::Kind::BadAnswer);
    CLabelVariable one;
    one.value = QVariant::fromValue(QList<quint16>{1});
    QCOMPARE(cmd->WriteVariable(QStringLiteral("D0"), UInt16, one, 1).errorCode, 7);
}

void TestFinsScripted::mergedStaleAndOwnAnswer()
{
    ScriptedPeer peer([](const QByteArray &frame) {
        if (isNodeRequest(frame))
            return nodeAnswer(5, 10);
        // An answer to an earlier SID, then ours, in one segment.
        return readAnswer(frame, fromHex("DEAD"), 0xFF) + readAnswer(frame, fromHex("0042"));
    });
    Driver cmd;
    QCOMPARE(cmd->ConnectDrive(at(peer.port())), 0);
    for (int i = 0; i < 3; ++i) {
        quint16 value = 0;
        QCOMPARE(readD(cmd, 0, &value), 0);
        QCOMPARE(value, quint16(0x0042));
    }
    QCOMPARE(diagnostics(cmd)->droppedAnswers(), quint64(3));
}

QTEST_GUILESS_MAIN(TestFinsScripted)
#include "tst_finsscripted.moc"
