// Controller data, status and clock answers read into named fields; the
// answer bytes are laid out by hand after the protocol notes.

#include "FinsControllerCommands.h"
#include "TestSupport.h"

#include <QtTest>

using namespace FinsControllerCommands;
using testsupport::fromHex;

namespace {
// 20-byte model (blank padded), 20-byte version (NUL padded).
QByteArray texts(const QByteArray &model, const QByteArray &version)
{
    return model.leftJustified(20, ' ') + version.leftJustified(20, '\0');
}
// 40 bytes system use, then program size 0040, IOM 17, DM words, timer 08, EM banks, 0000, card 00, 0000.
QByteArray areas(const char *dmWords, const char *emBanks)
{
    return QByteArray(40, '\0') + fromHex("0040 17") + fromHex(dmWords) + fromHex("08") + fromHex(emBanks)
        + fromHex("0000 00 0000");
}
} // namespace

class TestFinsControllerCommands : public QObject
{
    Q_OBJECT

private slots:
    void controllerData_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("dmWords"); // -1: not in the answer
        QTest::newRow("CJ2 with areas") << texts("CJ2M-CPU33", "02.01") + areas("8000", "0D") << 0
                                         << "CJ2M-CPU33" << "02.01" << 32768;
        QTest::newRow("CP1E no EM") << texts("CP1E-N40DT-D", "01.00") + areas("2000", "00") << 0
                                    << "CP1E-N40DT-D" << "01.00" << 8192;
        QTest::newRow("too short") << QByteArray("CJ2M") << int(Outcome::Kind::BadAnswer) << "" << "" << -1;
    }
    void controllerData()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, kind);
        ControllerIdentity id;
        const Outcome o = parseControllerData(data, &id);
        QCOMPARE(int(o.kind), kind);
        QTEST(id.model, "model");
        QTEST(id.version, "version");
        QFETCH(int, dmWords);
        QCOMPARE(id.details.value(QStringLiteral("dmWords"), -1).toInt(), dmWords);
    }

    void status_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("fatal");
        QTest::addColumn<bool>("nonFatal");
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("errorLines");
        const QByteArray blanks(16, ' ');
        QTest::newRow("run, no error") << fromHex("01 04 0000 0000 0000 0000") + blanks << true << "RUN" << false
                                       << false << 0 << "" << 0;
        QTest::newRow("program, non-fatal") << fromHex("00 00 0000 0801 0001 00F7") + QByteArray("BATTERY LOW     ")
                                            << false << "PROGRAM" << false << true << 0xF7 << "BATTERY LOW" << 2;
        QTest::newRow("monitor, fatal") << fromHex("00 02 4000 0000 0000 80F1") + blanks << false << "MONITOR"
                                        << true << false << 0x80F1 << "" << 1;
        QTest::newRow("standby, mode byte unknown") << fromHex("80 07") << false << "MODE 07" << false << false << 0
                                                    << "" << 0;
    }
    void status()
    {
        QFETCH(QByteArray, data);
        ControllerStatus s;
        QVERIFY(parseStatus(data, &s).ok());
        QTEST(s.running, "running");
        QTEST(s.mode, "mode");
        QTEST(s.fatalError, "fatal");
        QTEST(s.nonFatalError, "nonFatal");
        QTEST(s.errorCode, "errorCode");
        QTEST(s.errorMessage, "message");
        QTEST(int(s.errors.size()), "errorLines");
    }

    void clock_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QDateTime>("time"); // invalid: a bad answer
        QTest::newRow("2026") << fromHex("26 12 09 15 04 05 03") << QDateTime(QDate(2026, 12, 9), QTime(15, 4, 5));
        QTest::newRow("no day of week") << fromHex("00 02 29 00 00 00") << QDateTime(QDate(2000, 2, 29), QTime(0, 0));
        QTest::newRow("not BCD") << fromHex("2A 12 09 15 04 05 03") << QDateTime();
        QTest::newRow("30 February") << fromHex("26 02 30 00 00 00 01") << QDateTime();
        QTest::newRow("short") << fromHex("26 12 09 15 04") << QDateTime();
    }
    void clock()
    {
        QFETCH(QByteArray, data);
        QFETCH(QDateTime, time);
        QDateTime got;
        const Outcome o = parseClock(data, &got);
        QCOMPARE(o.ok(), time.isValid());
        if (time.isValid())
            QCOMPARE(got, time);
    }
};

QTEST_GUILESS_MAIN(TestFinsControllerCommands)
#include "tst_finscontrollercommands.moc"
