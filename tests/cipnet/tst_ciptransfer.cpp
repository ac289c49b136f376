// Variable transfers over a scripted channel, no sockets: what goes out for
// split writes, learned type codes, the pad-byte fallback and BOOL writes,
// and which replies are refused. Replies are written from the protocol notes.
#include <QtTest>

#include "CDriveBaseClass.h"
#include "CipChannel.h"
#include "CipTransfer.h"
#include "TestSupport.h"

using testsupport::fromHex;

namespace {

class ScriptedChannel : public CipChannel
{
public:
    int limit = 502;
    QList<QByteArray> replies; // one per request, in order
    QList<QByteArray> requests;
    mutable QStringList warnings;

    int messageLimit() const override { return limit; }
    Outcome exchange(const QByteArray &request, const QString &, QByteArray *reply) override
    {
        requests.append(request);
        if (replies.isEmpty())
            return Outcome::make(Outcome::Kind::NoAnswer, QStringLiteral("answer"), QStringLiteral("silence"));
        *reply = replies.takeFirst();
        return Outcome::done();
    }
    void warn(const Outcome &outcome, const QString &) const override { warnings.append(outcome.reason); }
};

template <typename T>
QVariant listOf(const QList<T> &list)
{
    return QVariant::fromValue(list);
}

CipPath::Path path(const char *text)
{
    return CipPath::parse(QString::fromLatin1(text));
}

} // namespace

class TestCipTransfer : public QObject
{
    Q_OBJECT

private slots:
    // A failure part-way through a write ends it: the earlier part stays
    // written, nothing after the failure is sent.
    void splitWriteStopsAtTheFirstFailure()
    {
        ScriptedChannel channel;
        channel.replies = {fromHex("CD 00 00 00"), fromHex("CD 00 05 00"), fromHex("CD 00 00 00")};
        CipTransfer transfer(channel);
        QList<float> values;
        for (int i = 0; i < 300; ++i)
            values << float(i);
        const Outcome o = transfer.write(path("Levels[0]"), QStringLiteral("Levels[0]"), Float, 300, listOf(values));
        QCOMPARE(o.resultCode(), 7);
        QCOMPARE(channel.requests.size(), 2);
        // 121 REALs fit a 502-byte request with this 10-byte path.
        QCOMPARE(channel.requests.at(0).left(16).toHex(' '),
                 fromHex("4D 05 91 06 4C6576656C73 28 00 CA 00 79 00").toHex(' '));
        QCOMPARE(channel.requests.at(0).size(), 16 + 121 * 4); // within 502
        QCOMPARE(channel.requests.at(1).left(16).toHex(' '),
                 fromHex("4D 05 91 06 4C6576656C73 28 79 CA 00 79 00").toHex(' '));
        QVERIFY(channel.warnings.last().contains(QLatin1String("not published")));
    }

    // UINT and WORD both answer UInt16: the variable's own code is read
    // first, once, and every write carries it.
    void unsignedWritesCarryTheLearnedCode()
    {
        ScriptedChannel channel;
        channel.replies = {fromHex("CC 00 00 00 D2 00 EF BE"), fromHex("CD 00 00 00"), fromHex("CD 00 00 00")};
        CipTransfer transfer(channel);
        const QVariant value = listOf(QList<unsigned short>{0x1234});
        QVERIFY(transfer.write(path("Mask"), QStringLiteral("Mask"), UInt16, 1, value).ok());
        QVERIFY(transfer.write(path("Mask"), QStringLiteral("Mask"), UInt16, 1, value).ok());
        QCOMPARE(channel.requests.size(), 3);
        QCOMPARE(channel.requests.at(0).toHex(' '), fromHex("4C 03 91 04 4D61736B 01 00").toHex(' '));
        QCOMPARE(channel.requests.at(2).toHex(' '), fromHex("4D 03 91 04 4D61736B D2 00 01 00 34 12").toHex(' '));
        // A signed variable is no target for an unsigned value.
        channel.replies = {fromHex("CC 00 00 00 C4 00 E8 03 00 00")};
        const Outcome o = transfer.write(path("Speed"), QStringLiteral("Speed"), UInt16, 1, value);
        QCOMPARE(o.resultCode(), 7);
        QVERIFY(o.reason.contains(QLatin1String("Speed is DINT, not UInt16")));
        QCOMPARE(channel.requests.size(), 4);
    }

    void oneByteWritesFallBackToThePad()
    {
        ScriptedChannel channel;
        channel.replies = {fromHex("CD 00 13 00"), fromHex("CD 00 00 00"), fromHex("CD 00 00 00")};
        CipTransfer transfer(channel);
        const QVariant value = listOf(QList<char>{char(0xFB)});
        QVERIFY(transfer.write(path("Small"), QStringLiteral("Small"), Int8, 1, value).ok());
        QVERIFY(transfer.write(path("Small"), QStringLiteral("Small"), Int8, 1, value).ok());
        QCOMPARE(channel.requests.size(), 3);
        QVERIFY(channel.requests.at(0).endsWith(fromHex("C2 00 01 00 FB")));
        QVERIFY(channel.requests.at(1).endsWith(fromHex("C2 00 01 00 FB 00")));
        QVERIFY(channel.requests.at(2).endsWith(fromHex("C2 00 01 00 FB 00")));
        // Another refusal is no reason to send again.
        channel.replies = {fromHex("CD 00 0F 00")};
        transfer.forget();
        QCOMPARE(transfer.write(path("Small"), QStringLiteral("Small"), Int8, 1, value).resultCode(), 7);
        QCOMPARE(channel.requests.size(), 4);
    }

    void boolWritesGoOneElementEach()
    {
        ScriptedChannel channel;
        channel.replies = {fromHex("CD 00 00 00"), fromHex("CD 00 00 00"), fromHex("CD 00 00 00")};
        CipTransfer transfer(channel);
        QVERIFY(transfer.write(path("Flags[4]"), QStringLiteral("Flags[4]"), Bool, 3,
                               listOf(QList<bool>{true, false, true}))
                    .ok());
        QCOMPARE(channel.requests.size(), 3);
        QCOMPARE(channel.requests.at(0).toHex(' '),
                 fromHex("4D 05 91 05 466C616773 00 28 04 C1 00 01 00 01 00").toHex(' '));
        QCOMPARE(channel.requests.at(1).toHex(' '),
                 fromHex("4D 05 91 05 466C616773 00 28 05 C1 00 01 00 00 00").toHex(' '));
    }

    void refusedReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a write's reply") << fromHex("CD 00 00 00") << "answers service 0xcd";
        QTest::newRow("no type") << fromHex("CC 00 00 00") << "carries no type";
        QTest::newRow("structure") << fromHex("CC 00 00 00 A0 02 3C 5A 00 00 C0 3F") << "Recipe is structure";
        QTest::newRow("another type") << fromHex("CC 00 00 00 CA 00 00 00 C0 3F") << "Recipe is REAL, not Int32 (it reads as Float)";
        QTest::newRow("cut short") << fromHex("CC 00 00 00 C4 00 E8 03") << "holds 2 value bytes, not 4";
        QTest::newRow("too long") << fromHex("CC 00 00 00 C4 00 E8 03 00 00 00") << "holds 5 value bytes, not 4";
        QTest::newRow("status fields cut") << fromHex("CC 00 0C 02 10 80") << "too short for its status fields";
    }
    void refusedReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, reason);
        ScriptedChannel channel;
        channel.replies = {reply};
        CipTransfer transfer(channel);
        QVariant out;
        const Outcome o = transfer.read(path("Recipe"), QStringLiteral("Recipe"), Int32, 1, &out);
        QCOMPARE(o.resultCode(), 7);
        QVERIFY2(o.reason.contains(reason), qPrintable(o.reason));
        QVERIFY(!out.isValid());
        QCOMPARE(channel.warnings.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCipTransfer)
#include "tst_ciptransfer.moc"
