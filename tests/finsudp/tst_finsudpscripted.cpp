// The FINS/UDP plug-in, loaded as a host loads it, against a scripted UDP
// peer that answers exactly what a test tells it: lost commands, stale,
// foreign, duplicated and wrongly addressed datagrams, answers from another
// port or to a fixed port, and a port that is closed.
#include <QtTest>

#include <QMutex>
#include <QNetworkDatagram>
#include <QThread>
#include <QUdpSocket>

#include <functional>

#include "CDriveBaseClass.h"
#include "TestSupport.h"

using testsupport::fromHex;

namespace {

struct Out {
    QByteArray bytes;
    bool fromOtherPort = false;
    quint16 toPort = 0; // 0: back to the sender's port
};
// Datagrams to send for the `index`th request (the probe is index 0).
using Script = std::function<QList<Out>(const QByteArray &request, int index)>;

// Lives on the peer's thread: the driver blocks the test's thread while it
// waits for an answer.
class PeerWorker : public QObject
{
    Q_OBJECT

public:
    Script script;
    mutable QMutex mutex;
    QList<QByteArray> requests;
    QList<quint16> senderPorts;
    quint16 port = 0;

public slots:
    void open(const QString &address)
    {
        m_main = new QUdpSocket(this);
        m_other = new QUdpSocket(this);
        m_main->bind(QHostAddress(address), 0);
        m_other->bind(QHostAddress(address), 0);
        port = m_main->localPort();
        connect(m_main, &QUdpSocket::readyRead, this, &PeerWorker::take);
    }
    void closeMain() { m_main->close(); }
    void shut()
    {
        delete m_main;
        delete m_other;
    }

private:
    void take()
    {
        while (m_main->hasPendingDatagrams()) {
            const QNetworkDatagram in = m_main->receiveDatagram();
            QList<Out> outs;
            {
                QMutexLocker lock(&mutex);
                requests << in.data();
                senderPorts << quint16(in.senderPort());
                outs = script(in.data(), requests.size() - 1);
            }
            for (const Out &out : outs) {
                QUdpSocket *from = out.fromOtherPort ? m_other : m_main;
                from->writeDatagram(out.bytes, in.senderAddress(), out.toPort ? out.toPort : quint16(in.senderPort()));
            }
        }
    }

    QUdpSocket *m_main = nullptr;
    QUdpSocket *m_other = nullptr;
};

class ScriptedPeer
{
public:
    explicit ScriptedPeer(Script script, const QString &address = QStringLiteral("127.0.0.10"))
    {
        m_worker.script = std::move(script);
        m_worker.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(&m_worker, "open", Qt::BlockingQueuedConnection, Q_ARG(QString, address));
    }
    ~ScriptedPeer()
    {
        QMetaObject::invokeMethod(&m_worker, "shut", Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_worker.port; }
    QString text(const QString &settings = QString()) const
    {
        return QStringLiteral("127.0.0.10:%1").arg(port()) + settings;
    }
    QList<QByteArray> requests() const
    {
        QMutexLocker lock(&m_worker.mutex);
        return m_worker.requests;
    }
    QList<quint16> senderPorts() const
    {
        QMutexLocker lock(&m_worker.mutex);
        return m_worker.senderPorts;
    }
    void closePort() { QMetaObject::invokeMethod(&m_worker, "closeMain", Qt::BlockingQueuedConnection); }

private:
    QThread m_thread;
    PeerWorker m_worker;
};

// A response as a controller builds it: ICF C0, destination and source
// exchanged, SID and command code echoed, end code, data.
QByteArray answerTo(const QByteArray &request, const QByteArray &data, quint16 endCode = 0)
{
    QByteArray out;
    out += char(0xC0);
    out += char(0x00);
    out += request.at(2);         // GCT
    out += request.mid(6, 3);     // SNA SA1 SA2 -> DNA DA1 DA2
    out += request.mid(3, 3);     // DNA DA1 DA2 -> SNA SA1 SA2
    out += request.mid(9, 3);     // SID, command code
    out += char(endCode >> 8);
    out += char(endCode & 0xFF);
    return out + data;
}

// A read answer holding `word` in every word asked for.
QByteArray words(const QByteArray &request, quint16 word, quint16 endCode = 0)
{
    if (request.mid(10, 2) != fromHex("0101") || endCode & 0x7F3F)
        return answerTo(request, QByteArray(), endCode);
    const int count = quint8(request.at(16)) << 8 | quint8(request.at(17));
    QByteArray data;
    for (int i = 0; i < count; ++i) {
        data += char(word >> 8);
        data += char(word & 0xFF);
    }
    return answerTo(request, data, endCode);
}

Script prompt(quint16 word = 0x1234)
{
    return [word](const QByteArray &request, int) { return QList<Out>{{words(request, word)}}; };
}

class Driver
{
public:
    Driver()
        : m_driver(testsupport::finsUdpPlugin().create())
    {
    }
    ~Driver() { delete dynamic_cast<QObject *>(m_driver); }
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;
    CDriveBaseClass *operator->() const { return m_driver; }

private:
    CDriveBaseClass *m_driver;
};

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

unsigned short firstWord(const CLabelVariable &v)
{
    const auto list = v.value.value<QList<unsigned short>>();
    return list.isEmpty() ? 0 : list.first();
}

enum Mode { Prompt, LoseTwo, LoseAll, Noise, WrongNodesOnly, MisroutedFlood, OtherPortOnly, EndCode1104, EndCode0040 };

Script scriptFor(Mode mode)
{
    return [mode](const QByteArray &request, int index) -> QList<Out> {
        if (index == 0)
            return {{words(request, 0)}}; // the probe
        QByteArray wrongSid = words(request, 0xBAD1);
        wrongSid[9] = char(request.at(9) + 1);
        QByteArray wrongNodes = words(request, 0xBAD2);
        wrongNodes[4] = char(wrongNodes.at(4) + 1);
        QByteArray writeAnswer = answerTo(request, QByteArray());
        writeAnswer[11] = 0x02;
        switch (mode) {
        case Prompt: return {{words(request, 0x1234)}};
        case LoseTwo: return index < 3 ? QList<Out>{} : QList<Out>{{words(request, 0x1234)}};
        case LoseAll: return {};
        case Noise:
            return {{wrongSid}, {writeAnswer}, {request}, {words(request, 0x1234).left(13)}, {QByteArray()},
                    {wrongNodes}, {words(request, 0xBAD3), true}, {words(request, 0x1234)}};
        case WrongNodesOnly: return {{wrongNodes}};
        case MisroutedFlood: return QVector<Out>(200, {wrongNodes}).toList() << Out{words(request, 0x1234)};
        case OtherPortOnly: return {{words(request, 0xBAD3), true}};
        case EndCode1104: return {{words(request, 0, 0x1104)}};
        case EndCode0040: return {{words(request, 0x1234, 0x0040)}};
        }
        return {};
    };
}

} // namespace

Q_DECLARE_METATYPE(CLabelVariable)

class TestFinsUdpScripted : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void requestFrames_data();
    void requestFrames();
    void exchanges_data();
    void exchanges();
    void lateAndDuplicatedAnswers();
    void staticModeFixedLocalPort();
    void connectRefusals_data();
    void connectRefusals();
    void closedPort();
};

void TestFinsUdpScripted::initTestCase()
{
    QVERIFY2(testsupport::finsUdpPlugin().isLoaded(), qPrintable(testsupport::finsUdpPlugin().errorString()));
}

void TestFinsUdpScripted::requestFrames_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("type");
    QTest::addColumn<CLabelVariable>("value"); // empty: a read
    QTest::addColumn<QByteArray>("probe");
    QTest::addColumn<QByteArray>("request");
    CLabelVariable none;
    CLabelVariable twoWords;
    twoWords.value = QVariant::fromValue(QList<unsigned short>{0xAABB, 0xCCDD});
    CLabelVariable oneBit;
    oneBit.value = QVariant::fromValue(QList<bool>{true});
    // On loopback the peer at 127.0.0.10 is reached from 127.0.0.1: the
    // default node numbers are DA1 0A and SA1 01. SID 0 is the probe's.
    QTest::newRow("defaults: read D100 2 words")
        << QString() << "D100" << int(UInt16) << none
        << fromHex("80 00 02 00 0A 00 00 01 00 00 0101 82 0000 00 0001")
        << fromHex("80 00 02 00 0A 00 00 01 00 01 0101 82 0064 00 0002");
    QTest::newRow("plc=23,node=24: write W10-W11")
        << ",plc=23,node=24" << "W10" << int(UInt16) << twoWords
        << fromHex("80 00 02 00 17 00 00 18 00 00 0101 82 0000 00 0001")
        << fromHex("80 00 02 00 17 00 00 18 00 01 0102 B1 000A 00 0002 AABBCCDD");
    QTest::newRow("plc=1: bit write CIO16.3")
        << ",plc=1" << "CIO16.3" << int(Bool) << oneBit
        << fromHex("80 00 02 00 01 00 00 01 00 00 0101 82 0000 00 0001")
        << fromHex("80 00 02 00 01 00 00 01 00 01 0102 30 0010 03 0001 01");
}

void TestFinsUdpScripted::requestFrames()
{
    QFETCH(QString, settings);
    QFETCH(QString, address);
    QFETCH(int, type);
    QFETCH(CLabelVariable, value);
    QFETCH(QByteArray, probe);
    QFETCH(QByteArray, request);
    ScriptedPeer peer(prompt());
    Driver driver;
    QCOMPARE(driver->ConnectDrive(peer.text(settings)), 0);
    const int count = value.value.isValid() ? 2 - (type == Bool) : 2;
    const int code = value.value.isValid() ? driver->WriteVariable(address, DataType(type), value, count).errorCode
                                           : driver->ReadVariable(address, DataType(type), count).errorCode;
    QCOMPARE(code, 0);
    const QList<QByteArray> requests = peer.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(0).toHex(' '), probe.toHex(' '));
    QCOMPARE(requests.at(1).toHex(' '), request.toHex(' '));
}

void TestFinsUdpScripted::exchanges_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<int>("word");     // the value read, on success
    QTest::addColumn<int>("sends");    // read commands the peer received
    QTest::addColumn<int>("misrouted"); // wrong-node warnings
    QTest::newRow("answered at once") << int(Prompt) << QString() << 0 << 0x1234 << 1 << 0;
    QTest::newRow("two commands lost, two resends") << int(LoseTwo) << ",timeout=100" << 0 << 0x1234 << 3 << 0;
    QTest::newRow("two lost, no resend allowed") << int(LoseTwo) << ",timeout=50,retries=0" << 8 << 0 << 1 << 0;
    QTest::newRow("no answer at all: 8") << int(LoseAll) << ",timeout=50,retries=3" << 8 << 0 << 4 << 0;
    QTest::newRow("stale, foreign, malformed, misrouted dropped")
        << int(Noise) << ",timeout=2000" << 0 << 0x1234 << 1 << 1;
    QTest::newRow("only wrong node numbers: 8") << int(WrongNodesOnly) << ",timeout=50,retries=1" << 8 << 0 << 2 << 2;
    // At most a few lines a second, however many datagrams.
    QTest::newRow("a flood of misrouted answers, then ours")
        << int(MisroutedFlood) << ",timeout=2000" << 0 << 0x1234 << 1 << 5;
    QTest::newRow("only from another port: 8") << int(OtherPortOnly) << ",timeout=50,retries=1" << 8 << 0 << 2 << 0;
    QTest::newRow("end code 1104: 7") << int(EndCode1104) << QString() << 7 << 0 << 1 << 0;
    QTest::newRow("end code 0040: data good") << int(EndCode0040) << QString() << 0 << 0x1234 << 1 << 0;
}

void TestFinsUdpScripted::exchanges()
{
    QFETCH(int, mode);
    QFETCH(QString, settings);
    QFETCH(int, errorCode);
    QFETCH(int, word);
    QFETCH(int, sends);
    QFETCH(int, misrouted);
    ScriptedPeer peer(scriptFor(Mode(mode)));
    Driver driver;
    QCOMPARE(driver->ConnectDrive(peer.text(settings)), 0);
    driver->DebugCmd(StartDebug);
    testsupport::LogCapture log;
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D100"), UInt16);
    QCOMPARE(read.errorCode, errorCode);
    if (errorCode == 0)
        QCOMPARE(firstWord(read), quint16(word));
    else
        QVERIFY(!read.value.isValid());
    // Every resend is the very same frame: same SID.
    QTRY_COMPARE(peer.requests().size(), 1 + sends);
    const QList<QByteArray> requests = peer.requests().mid(1);
    QCOMPARE(requests.count(requests.first()), sends);
    const QString where = QStringLiteral("127.0.0.10:%1 Area=D100  len = 2 msg : ").arg(peer.port());
    QCOMPARE(log.messages(QtWarningMsg).filter(QStringLiteral("lib[FinsUdp]无响应，重发 ") + where).size(), sends - 1);
    QCOMPARE(log.messages(QtWarningMsg).filter(QStringLiteral("lib[FinsUdp]目标地址，源地址错误 ")).size(), misrouted);
    QCOMPARE(log.messages(QtDebugMsg).filter(QStringLiteral("lib[FinsUdp]读命令 ") + where + testsupport::hex(requests.first())).size(), 1);
    QCOMPARE(log.messages(QtDebugMsg).filter(QStringLiteral("lib[FinsUdp]响应 ") + where).size(), 1);
    QCOMPARE(log.contains(QtWarningMsg, QStringLiteral("lib[FinsUdp]返回的报文长度为0 ") + where), errorCode == 8);
    QCOMPARE(log.contains(QtWarningMsg, QStringLiteral("code = 1104")), mode == EndCode1104);
}

// The answer to an unanswered read arrives during the next read, whose own
// answer arrives twice: neither the late nor the duplicated answer is taken.
void TestFinsUdpScripted::lateAndDuplicatedAnswers()
{
    QByteArray withheld;
    ScriptedPeer peer([&withheld](const QByteArray &request, int index) -> QList<Out> {
        switch (index) {
        case 0: return {{words(request, 0)}};
        case 1: withheld = words(request, 0xAAAA); return {};
        case 2: return {{withheld}, {words(request, 0x2222)}, {words(request, 0x2222)}};
        default: return {{words(request, quint16(0x1111 * index))}};
        }
    });
    Driver driver;
    QCOMPARE(driver->ConnectDrive(peer.text(QStringLiteral(",timeout=100,retries=0"))), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 8);
    const CLabelVariable second = driver->ReadVariable(QStringLiteral("D0"), UInt16);
    QCOMPARE(second.errorCode, 0);
    QCOMPARE(firstWord(second), quint16(0x2222));
    const CLabelVariable third = driver->ReadVariable(QStringLiteral("D0"), UInt16);
    QCOMPARE(third.errorCode, 0);
    QCOMPARE(firstWord(third), quint16(0x3333));
}

// A unit with the static method answers to its own port number, whatever
// port the command came from: only a driver receiving on that port hears it.
void TestFinsUdpScripted::staticModeFixedLocalPort()
{
    const quint16 fixed = freePort();
    ScriptedPeer peer([fixed](const QByteArray &request, int) { return QList<Out>{{words(request, 0x5A5A), false, fixed}}; });
    Driver driver;
    QCOMPARE(driver->ConnectDrive(peer.text(QStringLiteral(",timeout=50,retries=0"))), -2);
    QCOMPARE(driver->ConnectDrive(peer.text(QStringLiteral(",local=%1").arg(fixed))), 0);
    const CLabelVariable read = driver->ReadVariable(QStringLiteral("D7"), UInt16);
    QCOMPARE(read.errorCode, 0);
    QCOMPARE(firstWord(read), quint16(0x5A5A));
    QCOMPARE(peer.senderPorts().last(), fixed);
}

void TestFinsUdpScripted::connectRefusals_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<int>("sent");
    QTest::newRow("unknown setting") << ",unit=3" << -1 << "\"unit=3\"" << 0;
    QTest::newRow("repeated setting") << ",retries=1,retries=1" << -1 << "\"retries=1\"" << 0;
    QTest::newRow("malformed setting") << ",timeout=fast" << -1 << "\"timeout=fast\"" << 0;
    // The peer drops what is not addressed to its node, as a controller does.
    QTest::newRow("wrong plc node: -2, says so") << ",plc=99,timeout=50,retries=1" << -2 << "plc=99 node=1" << 2;
}

void TestFinsUdpScripted::connectRefusals()
{
    QFETCH(QString, settings);
    QFETCH(int, result);
    QFETCH(QString, warning);
    QFETCH(int, sent);
    ScriptedPeer peer([](const QByteArray &request, int) {
        return request.at(4) == 10 ? QList<Out>{{words(request, 1)}} : QList<Out>{};
    });
    Driver driver;
    testsupport::LogCapture log;
    QCOMPARE(driver->ConnectDrive(peer.text(settings)), result);
    QVERIFY2(log.contains(QtWarningMsg, warning), qPrintable(log.lines().join(QLatin1Char('\n'))));
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("lib[FinsUdp]")));
    QTRY_COMPARE(peer.requests().size(), sent);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 9);
}

void TestFinsUdpScripted::closedPort()
{
    Driver driver;
    const quint16 nobody = freePort();
    QCOMPARE(driver->ConnectDrive(QStringLiteral("127.0.0.1:%1,timeout=5000").arg(nobody)), -3);
    ScriptedPeer peer(prompt());
    QCOMPARE(driver->ConnectDrive(peer.text(QStringLiteral(",timeout=5000"))), 0);
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 0);
    peer.closePort();
    testsupport::LogCapture log;
    QCOMPARE(driver->ReadVariable(QStringLiteral("D0"), UInt16).errorCode, 9);
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("lib[FinsUdp]127.0.0.10:%1 Disconnected=").arg(peer.port())));
    CLabelVariable value;
    value.value = QVariant::fromValue(QList<short>{1});
    QCOMPARE(driver->WriteVariable(QStringLiteral("D0"), Int16, value).errorCode, 9);
    QCOMPARE(driver->DisConnectDrive(), 0);
    QCOMPARE(driver->DestroyFree(), 0);
    QCOMPARE(driver->DestroyFree(), 1);
}

QTEST_GUILESS_MAIN(TestFinsUdpScripted)
#include "tst_finsudpscripted.moc"
