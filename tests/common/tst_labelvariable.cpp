#include <QtTest>

#include <functional>

#include "CLabelVariable.h"

namespace {

// Every accessor, so each list type can be tried against all of them.
struct Accessor {
    const char *name;
    std::function<QVariant(CLabelVariable &, int)> read;
};

const QList<Accessor> &accessors()
{
    static const QList<Accessor> all = {
        {"atbool", [](CLabelVariable &v, int i) { return QVariant(v.atbool(i)); }},
        {"atchar", [](CLabelVariable &v, int i) { return QVariant(int(static_cast<unsigned char>(v.atchar(i)))); }},
        {"atInt8", [](CLabelVariable &v, int i) { return QVariant(int(static_cast<unsigned char>(v.atInt8(i)))); }},
        {"atUInt8", [](CLabelVariable &v, int i) { return QVariant(int(v.atUInt8(i))); }},
        {"atInt16", [](CLabelVariable &v, int i) { return QVariant(int(v.atInt16(i))); }},
        {"atUInt16", [](CLabelVariable &v, int i) { return QVariant(int(v.atUInt16(i))); }},
        {"atInt32", [](CLabelVariable &v, int i) { return QVariant(v.atInt32(i)); }},
        {"atUInt32", [](CLabelVariable &v, int i) { return QVariant(v.atUInt32(i)); }},
        {"atFloat", [](CLabelVariable &v, int i) { return QVariant(v.atFloat(i)); }},
        {"atInt64", [](CLabelVariable &v, int i) { return QVariant(v.atInt64(i)); }},
        {"atUInt64", [](CLabelVariable &v, int i) { return QVariant(v.atUInt64(i)); }},
        {"atDouble", [](CLabelVariable &v, int i) { return QVariant(v.atDouble(i)); }},
        {"atQString", [](CLabelVariable &v, int i) { return QVariant(v.atQString(i)); }},
    };
    return all;
}

CLabelVariable holding(const QVariant &list)
{
    CLabelVariable v;
    v.value = list;
    return v;
}

} // namespace

class TstLabelVariable : public QObject
{
    Q_OBJECT

private slots:
    void freshValue();
    void accessorsMatchOnlyTheirListType_data();
    void accessorsMatchOnlyTheirListType();
    void indexRange_data();
    void indexRange();
    void int8IsChar();
    void signedAndUnsignedWords();
    void accessorsTouchOnlyAccessStatus();
    void listsIterateGenerically_data();
    void listsIterateGenerically();
    void copiesCarryEveryMember();
    void copiesAreIndependent();
};

void TstLabelVariable::freshValue()
{
    CLabelVariable v;
    QCOMPARE(v.errorCode, 1);
    QCOMPARE(v.accessStatus, 1);
    QVERIFY(!v.value.isValid());
    QVERIFY(v.timestamp.isNull());
    QVERIFY(v.address.isEmpty());
    QVERIFY(v.auxText.isEmpty());
    QCOMPARE(v.count, 0);
    QCOMPARE(v.dataType, 0);
    QCOMPARE(v.auxInt, 0);

    QCOMPARE(v.atInt16(0), short(0));
    QCOMPARE(v.accessStatus, 11);
    QCOMPARE(v.atQString(0), QString());
    QCOMPARE(v.accessStatus, 11);
}

void TstLabelVariable::accessorsMatchOnlyTheirListType_data()
{
    QTest::addColumn<QVariant>("list");
    QTest::addColumn<QStringList>("matching");
    QTest::addColumn<QVariant>("second");

    QTest::newRow("bool") << QVariant::fromValue(QList<bool>{false, true}) << QStringList{"atbool"} << QVariant(true);
    QTest::newRow("char") << QVariant::fromValue(QList<char>{1, char(0xFC)})
                          << QStringList{"atchar", "atInt8"} << QVariant(0xFC);
    QTest::newRow("unsigned char") << QVariant::fromValue(QList<unsigned char>{1, 200})
                                   << QStringList{"atUInt8"} << QVariant(200);
    QTest::newRow("short") << QVariant::fromValue(QList<short>{1, -2}) << QStringList{"atInt16"} << QVariant(-2);
    QTest::newRow("unsigned short") << QVariant::fromValue(QList<unsigned short>{1, 65535})
                                    << QStringList{"atUInt16"} << QVariant(65535);
    QTest::newRow("int") << QVariant::fromValue(QList<int>{1, -70000}) << QStringList{"atInt32"} << QVariant(-70000);
    QTest::newRow("unsigned int") << QVariant::fromValue(QList<unsigned int>{1, 4000000000u})
                                  << QStringList{"atUInt32"} << QVariant(4000000000u);
    QTest::newRow("float") << QVariant::fromValue(QList<float>{1, 2.5f}) << QStringList{"atFloat"} << QVariant(2.5f);
    QTest::newRow("long long") << QVariant::fromValue(QList<long long>{1, -5000000000LL})
                               << QStringList{"atInt64"} << QVariant(-5000000000LL);
    QTest::newRow("unsigned long long") << QVariant::fromValue(QList<unsigned long long>{1, 18000000000000000000ULL})
                                        << QStringList{"atUInt64"} << QVariant(18000000000000000000ULL);
    QTest::newRow("double") << QVariant::fromValue(QList<double>{1, -0.125}) << QStringList{"atDouble"} << QVariant(-0.125);
    QTest::newRow("QString") << QVariant::fromValue(QList<QString>{"a", "bc"}) << QStringList{"atQString"}
                             << QVariant(QStringLiteral("bc"));
    QTest::newRow("plain number, no list") << QVariant(5) << QStringList{} << QVariant();
}

// No conversion between element types: a host that asks for the wrong type
// learns it (status 11) instead of receiving a converted number.
void TstLabelVariable::accessorsMatchOnlyTheirListType()
{
    QFETCH(QVariant, list);
    QFETCH(QStringList, matching);
    QFETCH(QVariant, second);

    for (const Accessor &accessor : accessors()) {
        CLabelVariable v = holding(list);
        const QVariant got = accessor.read(v, 1);
        const bool matches = matching.contains(QLatin1String(accessor.name));
        QVERIFY2(v.accessStatus == (matches ? 0 : 11), accessor.name);
        if (matches)
            QVERIFY2(got == second, accessor.name);
        else if (got.userType() == QMetaType::QString)
            QVERIFY2(got.toString().isEmpty(), accessor.name);
        else
            QVERIFY2(got.toDouble() == 0, accessor.name);
    }
}

void TstLabelVariable::indexRange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("element");
    QTest::newRow("first") << 0 << 0 << 7;
    QTest::newRow("last") << 2 << 0 << 9;
    QTest::newRow("one past") << 3 << 10 << 0;
    QTest::newRow("negative") << -1 << 10 << 0;
    QTest::newRow("far out") << 2147483647 << 10 << 0;
    QTest::newRow("most negative") << int(0x80000000u) << 10 << 0;
}

void TstLabelVariable::indexRange()
{
    QFETCH(int, index);
    QFETCH(int, status);
    QFETCH(int, element);
    CLabelVariable v = holding(QVariant::fromValue(QList<short>{7, 8, 9}));
    QCOMPARE(int(v.atInt16(index)), element);
    QCOMPARE(v.accessStatus, status);

    CLabelVariable t = holding(QVariant::fromValue(QList<QString>{"x", "y", "z"}));
    const QString text = t.atQString(index);
    QCOMPARE(t.accessStatus, status);
    QCOMPARE(text.isEmpty(), status != 0);
}

void TstLabelVariable::int8IsChar()
{
    CLabelVariable v = holding(QVariant::fromValue(QList<char>{char(0x7F), char(0x80), char(0xFC)}));
    for (int i = -1; i <= 3; ++i) {
        const char a = v.atchar(i);
        const int statusA = v.accessStatus;
        v.accessStatus = 99;
        const char b = v.atInt8(i);
        QCOMPARE(b, a);
        QCOMPARE(v.accessStatus, statusA);
    }
    // Bytes come back as stored, whatever the signedness of plain char.
    QCOMPARE(static_cast<unsigned char>(v.atInt8(2)), static_cast<unsigned char>(0xFC));
}

void TstLabelVariable::signedAndUnsignedWords()
{
    CLabelVariable s = holding(QVariant::fromValue(QList<short>{static_cast<short>(0x8000)}));
    QCOMPARE(s.atInt16(0), short(-32768));
    QCOMPARE(s.accessStatus, 0);
    CLabelVariable u = holding(QVariant::fromValue(QList<unsigned short>{0x8000}));
    QCOMPARE(u.atUInt16(0), static_cast<unsigned short>(32768));
    QCOMPARE(u.accessStatus, 0);
}

void TstLabelVariable::accessorsTouchOnlyAccessStatus()
{
    CLabelVariable v = holding(QVariant::fromValue(QList<int>{1, 2}));
    v.errorCode = 0;
    v.count = 2;
    v.dataType = 6;
    v.address = QStringLiteral("D10");
    const QDateTime stamp = QDateTime::currentDateTime();
    v.timestamp = stamp;
    v.atInt32(5);
    v.atDouble(0);
    v.atInt32(1);
    QCOMPARE(v.errorCode, 0);
    QCOMPARE(v.count, 2);
    QCOMPARE(v.dataType, 6);
    QCOMPARE(v.address, QStringLiteral("D10"));
    QCOMPARE(v.timestamp, stamp);
    QCOMPARE(v.value.value<QList<int>>(), (QList<int>{1, 2}));
}

void TstLabelVariable::listsIterateGenerically_data()
{
    QTest::addColumn<QVariant>("list");
    QTest::newRow("bool") << QVariant::fromValue(QList<bool>{true, false});
    QTest::newRow("char") << QVariant::fromValue(QList<char>{1, 2});
    QTest::newRow("unsigned char") << QVariant::fromValue(QList<unsigned char>{1, 2});
    QTest::newRow("short") << QVariant::fromValue(QList<short>{1, 2});
    QTest::newRow("unsigned short") << QVariant::fromValue(QList<unsigned short>{1, 2});
    QTest::newRow("int") << QVariant::fromValue(QList<int>{1, 2});
    QTest::newRow("unsigned int") << QVariant::fromValue(QList<unsigned int>{1, 2});
    QTest::newRow("float") << QVariant::fromValue(QList<float>{1, 2});
    QTest::newRow("long long") << QVariant::fromValue(QList<long long>{1, 2});
    QTest::newRow("unsigned long long") << QVariant::fromValue(QList<unsigned long long>{1, 2});
    QTest::newRow("double") << QVariant::fromValue(QList<double>{1, 2});
    QTest::newRow("QString") << QVariant::fromValue(QList<QString>{"1", "2"});
}

// Hosts walk a value without knowing its element type.
void TstLabelVariable::listsIterateGenerically()
{
    QFETCH(QVariant, list);
    QVERIFY(list.canConvert<QVariantList>());
    const QSequentialIterable iterable = list.value<QSequentialIterable>();
    QCOMPARE(iterable.size(), 2);
    QCOMPARE(list.value<QVariantList>().size(), 2);
}

void TstLabelVariable::copiesCarryEveryMember()
{
    CLabelVariable source;
    source.errorCode = 7;
    source.accessStatus = 10;
    source.value = QVariant::fromValue(QList<double>{1.5, 2.5});
    source.timestamp = QDateTime::currentDateTime();
    source.address = QStringLiteral("EM3200");
    source.count = 2;
    source.dataType = 11;
    source.auxInt = -42;
    source.auxText = QStringLiteral("aux");

    const auto same = [&](const CLabelVariable &c) {
        return c.errorCode == 7 && c.accessStatus == 10
            && c.value.value<QList<double>>() == QList<double>{1.5, 2.5}
            && c.timestamp == source.timestamp && c.address == source.address && c.count == 2
            && c.dataType == 11 && c.auxInt == -42 && c.auxText == source.auxText;
    };
    const CLabelVariable copied(source);
    QVERIFY(same(copied));
    CLabelVariable assigned;
    assigned = source;
    QVERIFY(same(assigned));
    CLabelVariable self = source;
    self = *&self;
    QVERIFY(same(self));
}

void TstLabelVariable::copiesAreIndependent()
{
    CLabelVariable source = holding(QVariant::fromValue(QList<short>{1, 2}));
    source.address = QStringLiteral("D1");
    CLabelVariable copy = source;
    copy.value = QVariant::fromValue(QList<short>{9});
    copy.address = QStringLiteral("D2");
    copy.atInt16(5);
    QCOMPARE(source.value.value<QList<short>>(), (QList<short>{1, 2}));
    QCOMPARE(source.address, QStringLiteral("D1"));
    QCOMPARE(source.accessStatus, 1);
}

QTEST_GUILESS_MAIN(TstLabelVariable)
#include "tst_labelvariable.moc"
