// EtherNet/IP frames, paths, status words and connection texts without
// sockets. Expected bytes are the captured frames of the protocol notes.
#include <QtTest>

#include "CDriveBaseClass.h"
#include "CipCodec.h"
#include "CipConnectionText.h"
#include "CipEncap.h"
#include "CipMessage.h"
#include "CipPath.h"
#include "CipTransfer.h"
#include "TestSupport.h"

using testsupport::fromHex;

class TestCipFrames : public QObject
{
    Q_OBJECT

private slots:
    void capturedFrames();
    void pathSegments_data();
    void pathSegments();
    void speedReplyDecodes();
    void statusInWords_data();
    void statusInWords();
    void connectionTexts_data();
    void connectionTexts();
    void messageSplit();
};

void TestCipFrames::capturedFrames()
{
    QCOMPARE(CipEncap::registerSession(0).toHex(' '),
             fromHex("65 00 04 00 00000000 00000000 0000000000000000 00000000 01 00 00 00").toHex(' '));
    const QByteArray speed = CipMessage::readTag(CipPath::encode(CipPath::parse(QStringLiteral("Speed"))), 1);
    QCOMPARE(CipEncap::sendRRData(0x12345678, 0, speed).toHex(' '),
             fromHex("6F 00 1C 00 78 56 34 12 00000000 0000000000000000 00000000"
                     " 00 00 00 00 0A 00 02 00 00 00 00 00 B2 00 0C 00 4C 04 91 05 53 70 65 65 64 00 01 00")
                 .toHex(' '));
    QByteArray value;
    QVERIFY(CipCodec::encode(Float, QVariant::fromValue(QList<float>{14.5f}), 0, 1, &value));
    const QByteArray setpoint = CipPath::encode(CipPath::parse(QStringLiteral("Setpoint")));
    QCOMPARE(CipMessage::writeTag(setpoint, fromHex("CA 00"), 1, value).toHex(' '),
             fromHex("4D 05 91 08 53 65 74 70 6F 69 6E 74 CA 00 01 00 00 00 68 41").toHex(' '));
}

void TestCipFrames::pathSegments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("segments"); // empty: no path
    QTest::newRow("member with two indexes") << "Var.M[1,2]" << fromHex("91 03 566172 00 91 01 4D 00 28 01 28 02");
    QTest::newRow("index above 255") << "Temps[300]" << fromHex("91 05 54656D7073 00 29 00 2C 01");
    QTest::newRow("member of an array element") << "Line.Axis[2].Pos"
        << fromHex("91 04 4C696E65 91 04 41786973 28 02 91 03 506F73 00");
    QTest::newRow("UTF-8 name") << QString::fromUtf8("Geschw\u00e4") << fromHex("91 08 476573636877 C3A4");
    QTest::newRow("blanks around and in indexes") << " Grid[1, 2] " << fromHex("91 04 47726964 28 01 28 02");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("digit first") << "1Speed" << QByteArray();
    QTest::newRow("two dots") << "Recipe..Speed" << QByteArray();
    QTest::newRow("trailing dot") << "Recipe." << QByteArray();
    QTest::newRow("unclosed index") << "Temps[3" << QByteArray();
    QTest::newRow("negative index") << "Temps[-1]" << QByteArray();
    QTest::newRow("index too large") << "Temps[65536]" << QByteArray();
    QTest::newRow("empty index") << "Temps[]" << QByteArray();
    QTest::newRow("four dimensions") << "Cube[1,2,3,4]" << QByteArray();
    QTest::newRow("blank inside a name") << "Sp eed" << QByteArray();
    QTest::newRow("memory area text") << "D100.3" << QByteArray();
    QTest::newRow("name too long") << QString(256, QLatin1Char('a')) << QByteArray();
}

void TestCipFrames::pathSegments()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, segments);
    QString why;
    const CipPath::Path path = CipPath::parse(text, &why);
    QCOMPARE(path.isValid(), !segments.isEmpty());
    if (path.isValid())
        QCOMPARE(CipPath::encode(path).toHex(' '), segments.toHex(' '));
    else
        QVERIFY(!why.isEmpty());
}

void TestCipFrames::speedReplyDecodes()
{
    CipMessage::Reply reply;
    QVERIFY(CipMessage::check(fromHex("CC 00 00 00 C4 00 E8 03 00 00"), CipMessage::ReadTag, &reply).ok());
    QCOMPARE(quint8(reply.data.at(0)), quint8(CipCodec::DINT));
    QVariant value;
    QVERIFY(CipCodec::decode(Int32, reply.data.mid(2), 1, &value));
    QCOMPARE(value.value<QList<int>>(), QList<int>{1000});
    QVERIFY(!CipCodec::decode(Int32, reply.data.mid(2, 3), 1, &value)); // cut short
    // A read answered as a write, and a reply too short for its status fields.
    QCOMPARE(CipMessage::check(fromHex("CD 00 00 00"), CipMessage::ReadTag, &reply).kind, Outcome::Kind::BadAnswer);
    QCOMPARE(CipMessage::check(fromHex("CC 00 0C 01 10"), CipMessage::ReadTag, &reply).kind,
             Outcome::Kind::BadAnswer);
    // BOOL: one element with its forced flag, a range bit-packed.
    QVERIFY(CipCodec::decode(Bool, fromHex("01 00"), 1, &value));
    QCOMPARE(value.value<QList<bool>>(), QList<bool>{true});
    QVERIFY(CipCodec::decode(Bool, fromHex("05 80 01 00"), 17, &value));
    QCOMPARE(value.value<QList<bool>>().mid(14), (QList<bool>{false, true, true}));
    QString text;
    QVERIFY(CipCodec::decodeString(fromHex("05 00 68 65 6C 6C 6F 00 00"), &text));
    QCOMPARE(text, QStringLiteral("hello"));
    QVERIFY(!CipCodec::decodeString(fromHex("09 00 68 65"), &text));
}

void TestCipFrames::statusInWords_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("words");
    QTest::newRow("05") << fromHex("CC 00 05 00") << 0x05 << "not published";
    QTest::newRow("0F") << fromHex("CD 00 0F 00") << 0x0F << "privilege violation";
    QTest::newRow("0C 8010") << fromHex("CC 00 0C 01 10 80") << 0x0C << "starting up";
    QTest::newRow("11") << fromHex("CC 00 11 00") << 0x11 << "reply too large";
    QTest::newRow("04") << fromHex("CC 00 04 00") << 0x04 << "path segment error";
}

void TestCipFrames::statusInWords()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(QString, words);
    CipMessage::Reply fields;
    const Outcome o = CipMessage::check(reply, quint8(reply.at(0)) & 0x7F, &fields);
    QCOMPARE(o.kind, Outcome::Kind::EndCode);
    QCOMPARE(o.resultCode(), 7);
    QCOMPARE(o.endCode, status);
    QVERIFY2(o.reason.contains(words), qPrintable(o.reason));
}

void TestCipFrames::connectionTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<bool>("connected");
    QTest::newRow("address alone") << "192.168.250.1" << true << 44818 << 1000 << false;
    QTest::newRow("all settings") << "10.0.0.5:2222,timeout=250,connected=on" << true << 2222 << 250 << true;
    QTest::newRow("connected off") << "10.0.0.5,connected=off" << true << 44818 << 1000 << false;
    QTest::newRow("host name") << "plc.local:44818" << false << 0 << 0 << false;
    QTest::newRow("short address") << "10.1:44818" << false << 0 << 0 << false;
    QTest::newRow("port 0") << "10.0.0.5:0" << false << 0 << 0 << false;
    QTest::newRow("port 65536") << "10.0.0.5:65536" << false << 0 << 0 << false;
    QTest::newRow("timeout 0") << "10.0.0.5,timeout=0" << false << 0 << 0 << false;
    QTest::newRow("timeout twice") << "10.0.0.5,timeout=5,timeout=6" << false << 0 << 0 << false;
    QTest::newRow("unknown setting") << "10.0.0.5,retries=2" << false << 0 << 0 << false;
    QTest::newRow("connected maybe") << "10.0.0.5,connected=yes" << false << 0 << 0 << false;
    QTest::newRow("reconnect on") << "10.0.0.5,reconnect=on,connected=on" << true << 44818 << 1000 << true;
    QTest::newRow("reconnect maybe") << "10.0.0.5,reconnect=yes" << false << 0 << 0 << false;
    QTest::newRow("reconnect twice") << "10.0.0.5,reconnect=on,reconnect=on" << false << 0 << 0 << false;
}

void TestCipFrames::connectionTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    CipLink::Settings s;
    const QString why = CipConnectionText::parse(text, &s);
    QCOMPARE(why.isEmpty(), valid);
    if (valid) {
        QFETCH(int, port);
        QFETCH(int, timeout);
        QFETCH(bool, connected);
        QCOMPARE(int(s.port), port);
        QCOMPARE(s.timeoutMs, timeout);
        QCOMPARE(s.connected, connected);
        QCOMPARE(s.reconnect, text.contains(QLatin1String("reconnect=on")));
    }
}

void TestCipFrames::messageSplit()
{
    const QByteArray levels = CipPath::encode(CipPath::parse(QStringLiteral("Levels[0]")));
    // Reply: 4 status bytes and the 2-byte type before the values.
    QCOMPARE(CipTransfer::readChunk(levels, Float, 502), 124);
    QCOMPARE(CipTransfer::readChunk(levels, Float, 1994), 497);
    QCOMPARE(CipTransfer::readChunk(levels, Bool, 502), 248 * 16);
    // Request: service, path size, path (10 bytes), type, AddInfo, count.
    QCOMPARE(CipTransfer::writeChunk(levels, Float, 502), (502 - 6 - 10) / 4);
    QCOMPARE(CipTransfer::writeChunk(levels, UInt8, 1994), 1994 - 6 - 10);
}

QTEST_GUILESS_MAIN(TestCipFrames)
#include "tst_cipframes.moc"
