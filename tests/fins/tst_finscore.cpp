// The FINS core's one answer check and its split, on the captured frames of
// the protocol notes (read D100, 2 words, and its answer).
#include <QtTest>

#include "FinsAnswer.h"
#include "FinsLimits.h"
#include "FinsSplit.h"
#include "TestSupport.h"

using testsupport::fromHex;

Q_DECLARE_METATYPE(Outcome::Kind)

namespace {

const char kRead[] = "80 00 02 00 17 00 00 18 00 FF 0101 82 0064 00 0002";
const char kAnswer[] = "C0 00 02 00 18 00 00 17 00 FF 0101 0000 AABB CCDD";

QByteArray answerWith(int offset, const char *bytes)
{
    QByteArray a = fromHex(kAnswer);
    const QByteArray b = fromHex(bytes);
    a.replace(offset, b.size(), b);
    return a;
}

} // namespace

class TestFinsCore : public QObject
{
    Q_OBJECT

private slots:
    void answerCheck_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Outcome::Kind>("kind");
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("endCode");
        using K = Outcome::Kind;
        QTest::newRow("captured") << fromHex(kAnswer) << K::Done << "" << 0;
        QTest::newRow("non-fatal flag") << answerWith(12, "0040") << K::Done << "" << 0x40;
        QTest::newRow("relay flag") << answerWith(12, "8000") << K::Done << "" << 0x8000;
        QTest::newRow("area unknown") << answerWith(12, "1101").left(14) << K::EndCode << "answer" << 0x1101;
        QTest::newRow("flagged error") << answerWith(12, "91C4").left(14) << K::EndCode << "answer" << 0x91C4;
        QTest::newRow("other command") << answerWith(10, "0102") << K::BadAnswer << "answer" << 0;
        QTest::newRow("other DA1") << answerWith(4, "19") << K::BadAnswer << "nodes" << 0;
        QTest::newRow("other SA1") << answerWith(7, "16") << K::BadAnswer << "nodes" << 0;
        QTest::newRow("one word short") << fromHex(kAnswer).left(16) << K::BadAnswer << "answer" << 0;
        QTest::newRow("one byte long") << fromHex(kAnswer) + '\0' << K::BadAnswer << "answer" << 0;
        QTest::newRow("no end code") << fromHex(kAnswer).left(12) << K::BadAnswer << "answer" << -1;
    }
    void answerCheck()
    {
        QFETCH(QByteArray, answer);
        QFETCH(Outcome::Kind, kind);
        QFETCH(QString, step);
        QFETCH(int, endCode);
        const Outcome outcome = FinsAnswer::check(fromHex(kRead), answer, 4);
        QCOMPARE(outcome.kind, kind);
        QCOMPARE(outcome.step, step);
        QCOMPARE(outcome.endCode, endCode);
        QCOMPARE(outcome.reason.isEmpty(), kind == Outcome::Kind::Done);
        if (outcome.ok())
            QCOMPARE(FinsAnswer::data(answer), fromHex("AABB CCDD"));
    }

    void matching()
    {
        QCOMPARE(FinsAnswer::match(fromHex(kRead), fromHex(kAnswer)), FinsAnswer::Match::Ours);
        QCOMPARE(FinsAnswer::match(fromHex(kRead), answerWith(9, "FE")), FinsAnswer::Match::Foreign);
        QCOMPARE(FinsAnswer::match(fromHex(kRead), answerWith(4, "19")), FinsAnswer::Match::WrongNodes);
        // A command is no answer, even with our SID.
        QCOMPARE(FinsAnswer::match(fromHex(kRead), answerWith(0, "80")), FinsAnswer::Match::Malformed);
    }

    void split()
    {
        using Parts = QVector<FinsSplit::Part>;
        const auto parts = [](const Parts &p) {
            QStringList s;
            for (const FinsSplit::Part &x : p)
                s << QStringLiteral("%1.%2+%3@%4").arg(x.word).arg(x.bit).arg(x.count).arg(x.offset);
            return s.join(QLatin1Char(' '));
        };
        const FinsLimits limits = FinsLimits::frame2012();
        QCOMPARE(parts(FinsSplit::words(100, 2000, limits.readWords)), QStringLiteral("100.0+999@0 1099.0+999@999 2098.0+2@1998"));
        QCOMPARE(parts(FinsSplit::words(0, 997, limits.writeWords)), QStringLiteral("0.0+997@0"));
        QCOMPARE(parts(FinsSplit::words(7, 0, limits.readWords)), QStringLiteral("7.0+0@0"));
        // Every bit part starts at the same bit number; bit 20 is bit 4 of the next word.
        QCOMPARE(parts(FinsSplit::bits(10, 5, 4000, limits.writeBits)),
                 QStringLiteral("10.5+1984@0 134.5+1984@1984 258.5+32@3968"));
        QCOMPARE(parts(FinsSplit::bits(10, 20, 3, 256)), QStringLiteral("11.4+3@0"));
        FinsLimits lowered = limits;
        QVERIFY(lowered.lowerTo(500, 2000, 1000));
        QCOMPARE(QString("%1 %2 %3").arg(lowered.readWords).arg(lowered.writeWords).arg(lowered.writeBits),
                 QStringLiteral("500 997 992"));
        QVERIFY(!lowered.lowerTo(500, 997, 992));
        QVERIFY(lowered.lowerTo(0, 0, 0));
        QCOMPARE(QString("%1 %2 %3").arg(lowered.readWords).arg(lowered.writeWords).arg(lowered.writeBits),
                 QStringLiteral("1 1 16"));
    }
};

QTEST_GUILESS_MAIN(TestFinsCore)
#include "tst_finscore.moc"
