// The Host Link receive buffer: the pieces of what a line delivers (the
// captured answers of the protocol notes), with noise, cut-off answers, the
// cap, the frames of a long block and lone CRs.
#include <QtTest>

#include "HostLinkReceiveBuffer.h"

namespace {

using Expect = HostLinkReceiveBuffer::Expect;

const QByteArray kRead = "@00FA0040000000010100001234" "47*\r";  // read answer (capture)
const QByteArray kWrite = "@00FA004000000001020000" "40*\r";      // write answer (capture)
constexpr int kCap = HostLinkReceiveBuffer::DefaultCap;

QString shown(const HostLinkPiece &piece)
{
    return QStringLiteral("%1:%2").arg(QLatin1Char("FBD"[int(piece.kind)])).arg(QString::fromLatin1(piece.bytes));
}

} // namespace

class TestHostLinkBuffer : public QObject
{
    Q_OBJECT

private slots:
    void pieces_data();
    void pieces();
    void everySplitOfTheCapture();
};

void TestHostLinkBuffer::pieces_data()
{
    QTest::addColumn<QByteArrayList>("reads");
    QTest::addColumn<int>("expect");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<QByteArray>("left");
    const QString read = QStringLiteral("F:") + QString::fromLatin1(kRead);
    const QString write = QStringLiteral("F:") + QString::fromLatin1(kWrite);
    const QByteArray simGarbage = "#%GARBAGE!NOISE?~*\r";
    const int first = int(Expect::First);
    const int later = int(Expect::Continuation);
    QTest::newRow("one answer") << QByteArrayList{kRead} << first << QStringList{read} << false << QByteArray();
    QTest::newRow("in three reads") << QByteArrayList{kRead.left(5), kRead.mid(5, 20), kRead.mid(25)} << first
                                    << QStringList{read} << false << QByteArray();
    QTest::newRow("star and CR apart") << QByteArrayList{kRead.chopped(1), "\r"} << first << QStringList{read} << false
                                       << QByteArray();
    QTest::newRow("two answers in one read") << QByteArrayList{kRead + kWrite} << first << QStringList{read, write}
                                             << false << QByteArray();
    QTest::newRow("start of the next one kept") << QByteArrayList{kRead + kWrite.left(7)} << first
                                                << QStringList{read} << false << kWrite.left(7);
    QTest::newRow("line noise before the @") << QByteArrayList{QByteArray("\x00\xff\x13", 3) + kRead} << first
                                             << QStringList{read} << true << QByteArray();
    QTest::newRow("noise alone") << QByteArrayList{QByteArray("\x11\x13", 2)} << first << QStringList{} << true
                                 << QByteArray();
    QTest::newRow("terminated garbage, then the answer") << QByteArrayList{simGarbage, kRead} << first
                                                         << QStringList{read} << true << QByteArray();
    QTest::newRow("garbage and answer in one read") << QByteArrayList{simGarbage + kRead} << first
                                                    << QStringList{read} << true << QByteArray();
    // A cut-off answer followed by a whole one: the last "@" starts the frame.
    QTest::newRow("cut-off answer, then a whole one") << QByteArrayList{kRead.left(12) + kRead} << first
                                                      << QStringList{read} << true << QByteArray();
    // Over the cap without a terminator: nothing in it can be an answer.
    QTest::newRow("over the cap, no terminator") << QByteArrayList{"@" + QByteArray(kCap, '0')} << first
                                                 << QStringList{} << true << QByteArray();
    QTest::newRow("over the cap, kept from the next @")
        << QByteArrayList{"@" + QByteArray(kCap - 4, '0') + "@00FA", kRead.mid(5)} << first
        << QStringList{read} << true << QByteArray();
    QTest::newRow("largest answer fits under the cap")
        << QByteArrayList{"@" + QByteArray(1112, '0') + "*\r"} << first
        << QStringList{QStringLiteral("F:@") + QString(1112, QLatin1Char('0')) + QStringLiteral("*\r")} << false
        << QByteArray();
    // A long block: the first frame ends FCS CR, later ones carry no "@".
    QTest::newRow("first frame of a long block") << QByteArrayList{"@00RD00123456\r"} << first
                                                 << QStringList{"B:@00RD00123456\r"} << false << QByteArray();
    QTest::newRow("last frame of a long block") << QByteArrayList{"56789A4C*\r"} << later
                                                << QStringList{"F:56789A4C*\r"} << false << QByteArray();
    QTest::newRow("lone CR") << QByteArrayList{"\r"} << later << QStringList{"D:\r"} << false << QByteArray();
}

void TestHostLinkBuffer::pieces()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(int, expect);
    QFETCH(QStringList, taken);
    QFETCH(bool, noise);
    QFETCH(QByteArray, left);
    HostLinkReceiveBuffer buffer;
    QStringList got;
    HostLinkPiece piece;
    for (const QByteArray &bytes : reads) {
        buffer.append(bytes);
        QVERIFY(buffer.pending().size() <= kCap);
        while (buffer.take(Expect(expect), &piece))
            got << shown(piece);
        QVERIFY(expect == int(Expect::Continuation) || buffer.isEmpty() || buffer.pending().startsWith('@'));
    }
    QCOMPARE(got, taken);
    QCOMPARE(buffer.noiseDropped(), noise);
    QCOMPARE(buffer.pending(), left);
}

void TestHostLinkBuffer::everySplitOfTheCapture()
{
    // However the line splits the capture, exactly it comes out, once.
    for (int cut = 1; cut < kRead.size(); ++cut) {
        HostLinkReceiveBuffer buffer;
        HostLinkPiece piece;
        buffer.append(kRead.left(cut));
        QVERIFY(!buffer.take(Expect::First, &piece));
        buffer.append(kRead.mid(cut));
        QVERIFY(buffer.take(Expect::First, &piece));
        QCOMPARE(piece.bytes, kRead);
        QVERIFY(!buffer.noiseDropped() && buffer.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestHostLinkBuffer)
#include "tst_hostlinkbuffer.moc"
