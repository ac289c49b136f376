// What plcctl says about a failure: end codes with their flag bits masked
// and named, and a plug-in's Outcome in words (a Host Link frame's end code
// told apart from the FINS one it carries).

#include "EndCodeText.h"

#include <QtTest>

using namespace plcctl;

Q_DECLARE_METATYPE(Outcome)

class TestPlcctlWords : public QObject
{
    Q_OBJECT

private slots:
    void finsEndCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("starts");
        // The flag bits are masked before the lookup, and named after it.
        QTest::newRow("normal") << 0x0000 << "0000 normal completion";
        QTest::newRow("parameter") << 0x1103 << "1103 address range error";
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

    void outcomes_data()
    {
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("hostLink");
        QTest::addColumn<QString>("words");
        Outcome frame = Outcome::make(Outcome::Kind::EndCode, QStringLiteral("frame"), QStringLiteral("unit 03"), 0x13);
        Outcome fins = Outcome::make(Outcome::Kind::EndCode, QStringLiteral("answer"), QStringLiteral("unit 03"), 0x9005);
        Outcome refused = Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("handshake"), QString(), 0x25);
        // A Host Link frame's end code is not a FINS one, even where the numbers meet.
        QTest::newRow("host link frame") << frame << true << "Host Link end code 13 FCS error (unit 03)";
        QTest::newRow("fins in host link") << fins << true << "FINS end code 1005 ";
        QTest::newRow("fins flagged") << fins << false << ", network relay error (likely: ";
        QTest::newRow("node refused") << refused << false << "node refused: header error 25 no node left to assign";
        QTest::newRow("reason") << Outcome::make(Outcome::Kind::NoAnswer, QStringLiteral("answer"),
                                                 QStringLiteral("no answer from unit 07"))
                                << true << "no answer from unit 07";
        QTest::newRow("done") << Outcome::done() << false << "";
    }
    void outcomes()
    {
        QFETCH(Outcome, outcome);
        QFETCH(bool, hostLink);
        QFETCH(QString, words);
        const QStringList said = outcomeWords(outcome, hostLink);
        if (words.isEmpty())
            QVERIFY(said.isEmpty());
        else
            QVERIFY2(said.size() == 1 && said.at(0).contains(words), qPrintable(said.join(QLatin1Char('|'))));
    }
};

QTEST_GUILESS_MAIN(TestPlcctlWords)
#include "tst_plcctl_words.moc"
