// The Host Link receive buffer: the pieces of what a line delivers, from the
// captured answer of the protocol notes, with noise, cut-off answers, the
// frames of a long block and lone CRs.
#include <QtTest>

#include "HostLinkReceiveBuffer.h"

namespace {

const QByteArray kAnswer = "@00FA0040000000010100001234" "47*\r";

QString pieces(const QList<QByteArray> &chunks, HostLinkReceiveBuffer::Expect expect, bool *noise)
{
    HostLinkReceiveBuffer buffer(64);
    QStringList out;
    HostLinkPiece piece;
    for (const QByteArray &chunk : chunks) {
        buffer.append(chunk);
        while (buffer.take(expect, &piece))
            out << QStringLiteral("%1:%2").arg("FBD"[int(piece.kind)]).arg(QString::fromLatin1(piece.bytes.trimmed()));
    }
    *noise = buffer.noiseDropped();
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestHostLinkBuffer : public QObject
{
    Q_OBJECT

private slots:
    void pieces_data()
    {
        using E = HostLinkReceiveBuffer::Expect;
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("expect");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<bool>("noise");
        const QString answer = QStringLiteral("F:") + QString::fromLatin1(kAnswer.trimmed());
        QTest::newRow("whole") << QList<QByteArray>{kAnswer} << int(E::First) << answer << false;
        QTest::newRow("byte by byte") << [] { QList<QByteArray> l; for (char c : kAnswer) l << QByteArray(1, c); return l; }()
                                      << int(E::First) << answer << false;
        QTest::newRow("noise first") << QList<QByteArray>{"~#!", kAnswer} << int(E::First) << answer << true;
        QTest::newRow("cut off, then whole") << QList<QByteArray>{"@00FA00", kAnswer} << int(E::First) << answer << true;
        QTest::newRow("over the cap") << QList<QByteArray>{QByteArray(70, 'A'), kAnswer} << int(E::First) << answer << true;
        QTest::newRow("incomplete") << QList<QByteArray>{kAnswer.left(20)} << int(E::First) << QString() << false;
        // A long block: the first frame ends FCS CR, a later one has no "@".
        QTest::newRow("long block") << QList<QByteArray>{"@00RD00123456\r"} << int(E::First) << "B:@00RD00123456" << false;
        QTest::newRow("later frame") << QList<QByteArray>{"56789A4C*\r"} << int(E::Continuation) << "F:56789A4C*" << false;
        QTest::newRow("lone CR") << QList<QByteArray>{"\r"} << int(E::Continuation) << "D:" << false;
    }
    void pieces()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, expect);
        QFETCH(QString, taken);
        QFETCH(bool, noise);
        bool dropped = false;
        QCOMPARE(::pieces(chunks, HostLinkReceiveBuffer::Expect(expect), &dropped), taken);
        QCOMPARE(dropped, noise);
    }
};

QTEST_GUILESS_MAIN(TestHostLinkBuffer)
#include "tst_hostlinkbuffer.moc"
