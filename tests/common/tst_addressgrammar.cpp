#include <QtTest>

#include "AddressGrammar.h"

using namespace AddressGrammar;

class TstAddressGrammar : public QObject
{
    Q_OBJECT

private slots:
    void validTexts_data();
    void validTexts();
    void invalidTexts_data();
    void invalidTexts();
    void unknownArea_data();
    void unknownArea();
    void bitAreaForWordArea_data();
    void bitAreaForWordArea();
};

void TstAddressGrammar::validTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("bitArea");
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("bit");

    QTest::newRow("D100") << "D100" << 0x82 << 0x02 << 100 << 0;
    QTest::newRow("lower-case d100") << "d100" << 0x82 << 0x02 << 100 << 0;
    QTest::newRow("D100.5") << "D100.5" << 0x82 << 0x02 << 100 << 5;
    QTest::newRow("D0") << "D0" << 0x82 << 0x02 << 0 << 0;
    QTest::newRow("D32767") << "D32767" << 0x82 << 0x02 << 32767 << 0;
    QTest::newRow("D130.5 digits pick no bit area") << "D130.5" << 0x82 << 0x02 << 130 << 5;
    QTest::newRow("D820 digits are no code text") << "D820" << 0x82 << 0x02 << 820 << 0;
    QTest::newRow("bit beyond 15 is kept") << "D100.20" << 0x82 << 0x02 << 100 << 20;
    QTest::newRow("negative word") << "D-3" << 0x82 << 0x02 << -3 << 0;
    QTest::newRow("CIO10.3") << "CIO10.3" << 0xB0 << 0x30 << 10 << 3;
    QTest::newRow("cio10.3") << "cio10.3" << 0xB0 << 0x30 << 10 << 3;
    QTest::newRow("CIO10.12 bit after the dot") << "CIO10.12" << 0xB0 << 0x30 << 10 << 12;
    QTest::newRow("CIO105 has no bit") << "CIO105" << 0xB0 << 0x30 << 105 << 0;
    QTest::newRow("W5") << "W5" << 0xB1 << 0x31 << 5 << 0;
    QTest::newRow("w5") << "w5" << 0xB1 << 0x31 << 5 << 0;
    QTest::newRow("W511.15") << "W511.15" << 0xB1 << 0x31 << 511 << 15;
    QTest::newRow("H20.3") << "H20.3" << 0xB2 << 0x32 << 20 << 3;
    QTest::newRow("H30.1 digits pick no bit area") << "H30.1" << 0xB2 << 0x32 << 30 << 1;
    QTest::newRow("A10") << "A10" << 0xB3 << 0x33 << 10 << 0;
    QTest::newRow("A100 carries its word") << "A100" << 0xB3 << 0x33 << 100 << 0;
    QTest::newRow("a448.7") << "a448.7" << 0xB3 << 0x33 << 448 << 7;
    QTest::newRow("EM1100") << "EM1100" << 0xA0 << 0x20 << 100 << 0;
    QTest::newRow("EM2") << "EM20" << 0xA1 << 0x21 << 0 << 0;
    QTest::newRow("EM3100") << "EM3100" << 0xA2 << 0x22 << 100 << 0;
    QTest::newRow("EM3200.4") << "EM3200.4" << 0xA2 << 0x22 << 200 << 4;
    QTest::newRow("em4 lower case") << "em47.1" << 0xA3 << 0x23 << 7 << 1;
    QTest::newRow("EM5") << "EM532000" << 0xA4 << 0x24 << 32000 << 0;
}

void TstAddressGrammar::validTexts()
{
    QFETCH(QString, text);
    QFETCH(int, area);
    QFETCH(int, bitArea);
    QFETCH(int, word);
    QFETCH(int, bit);

    QCOMPARE(areaCode(text), area);
    QCOMPARE(bitAreaCode(text), bitArea);
    QCOMPARE(wordAddress(text, area), word);
    QCOMPARE(bitNumber(text, area), bit);
}

// Texts whose word or bit must never turn into a number (word 0 above all):
// the drivers refuse them before anything is sent.
void TstAddressGrammar::invalidTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("area");
    QTest::addColumn<bool>("wordInvalid");
    QTest::addColumn<bool>("bitInvalid");

    QTest::newRow("area alone") << "D" << 0x82 << true << false;
    QTest::newRow("DM100") << "DM100" << 0x82 << true << false;
    QTest::newRow("letter in the word") << "D1O0" << 0x82 << true << false;
    QTest::newRow("DW10 is the W area") << "DW10" << 0xB1 << true << true;
    QTest::newRow("letter as bit") << "D100.x" << 0x82 << false << true;
    QTest::newRow("no word before the bit") << "CIO.3" << 0xB0 << true << false;
    QTest::newRow("dot without bit") << "D100." << 0x82 << false << true;
    QTest::newRow("negative bit") << "D100.-1" << 0x82 << false << true;
    QTest::newRow("two dots") << "D100.1.2" << 0x82 << false << true;
    QTest::newRow("code text form") << "B0100" << 0xB0 << true << true;
    QTest::newRow("code text 82") << "82100" << 0x82 << true << true;
    QTest::newRow("leading blank") << " D100" << 0x82 << true << true;
    QTest::newRow("trailing blank") << "D100 " << 0x82 << true << false;
    QTest::newRow("plus sign") << "D+5" << 0x82 << true << false;
    QTest::newRow("beyond int") << "D99999999999" << 0x82 << true << false;
    QTest::newRow("hex word") << "D0x10" << 0x82 << true << false;
    QTest::newRow("empty") << "" << 0 << false << false;
}

void TstAddressGrammar::invalidTexts()
{
    QFETCH(QString, text);
    QFETCH(int, area);
    QFETCH(bool, wordInvalid);
    QFETCH(bool, bitInvalid);

    QCOMPARE(areaCode(text), area);
    const int word = wordAddress(text, area);
    const int bit = bitNumber(text, area);
    if (wordInvalid)
        QCOMPARE(word, Invalid);
    else
        QVERIFY2(word >= 0, qPrintable(QString::number(word)));
    if (bitInvalid)
        QCOMPARE(bit, Invalid);
    else
        QVERIFY2(bit >= 0, qPrintable(QString::number(bit)));
}

void TstAddressGrammar::unknownArea_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("X100") << "X100";
    QTest::newRow("digits only") << "100";
    QTest::newRow("E100") << "E100";
    QTest::newRow("EM6 is no bank here") << "EM6100";
}

void TstAddressGrammar::unknownArea()
{
    QFETCH(QString, text);
    QCOMPARE(areaCode(text), 0);
    QCOMPARE(bitAreaCode(text), 0);
    QCOMPARE(wordAddress(text, 0), 0);
    QCOMPARE(bitNumber(text, 0), 0);
}

void TstAddressGrammar::bitAreaForWordArea_data()
{
    QTest::addColumn<int>("wordArea");
    QTest::addColumn<int>("bitArea");
    QTest::newRow("CIO") << 0xB0 << 0x30;
    QTest::newRow("W") << 0xB1 << 0x31;
    QTest::newRow("H") << 0xB2 << 0x32;
    QTest::newRow("A") << 0xB3 << 0x33;
    QTest::newRow("EM1") << 0xA0 << 0x20;
    QTest::newRow("EM5") << 0xA4 << 0x24;
    QTest::newRow("D") << 0x82 << 0x02;
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("EM6 code") << 0xA5 << 0;
}

void TstAddressGrammar::bitAreaForWordArea()
{
    QFETCH(int, wordArea);
    QFETCH(int, bitArea);
    QCOMPARE(bitAreaFor(wordArea), bitArea);
}

QTEST_GUILESS_MAIN(TstAddressGrammar)
#include "tst_addressgrammar.moc"
