#include "CipVariables.h"

#include <QRegularExpression>

#include <cstring>

namespace plcsim {

namespace {

constexpr quint8 kStruct = 0xA0;
constexpr quint8 kString = 0xD0;
constexpr quint8 kBool = 0xC1;
constexpr int kStringSize = 256;

const char *const kDefaultTable = R"(
# name             type    dims   flags          values
Speed              DINT                          = 1000
Setpoint           REAL                          = 14.5
Running            BOOL                          = 1
Flags              BOOL    [40]                  = 1 0 1 1 0 0 0 1
Small              SINT                          = -5
Level              USINT                         = 200
Raw                BYTE                          = 0x5A
Count16            INT                           = -1234
Counter            UINT                          = 54321
Mask               WORD                          = 0xBEEF
Total              UDINT                         = 4000000000
Pattern            DWORD                         = 0xDEADBEEF
Big                LINT                          = -9000000000
Huge               ULINT                         = 18000000000000000000
Bits64             LWORD                         = 0x0123456789ABCDEF
Ratio              LREAL                         = 2.718281828459045
Temps              INT     [10]                  = 0 10 20 30 40 50 60 70 80 90
Levels             REAL    [600]
Bytes              USINT   [1200]
Grid               DINT    [3,4]                 = 0 1 2 3 10 11 12 13 20 21 22 23
Message            STRING                        = hello NX
Names              STRING  [3]                   = first
Recipe             STRUCT         crc=5A3C
Recipe.Speed       REAL                          = 1.5
Recipe.Batch       DINT                          = 42
Recipe.Name        STRING                        = Recipe A
Line               STRUCT         crc=1F2E
Line.Axis[0].Pos   LREAL                         = 0.5
Line.Axis[1].Pos   LREAL                         = 1.5
Line.Axis[2].Pos   LREAL                         = 2.5
Hidden             DINT           private        = 7
Limit              DINT           constant       = 100
)";

template <typename T>
void append(QByteArray &out, T v)
{
    char raw[sizeof(T)];
    std::memcpy(raw, &v, sizeof(T)); // the simulator runs on little-endian hosts
    out.append(raw, int(sizeof(T)));
}

bool appendValue(QByteArray &out, quint8 type, const QString &text)
{
    bool ok = false;
    const int size = CipVariables::elementSize(type);
    if (type == 0xCA || type == 0xCB) {
        const double v = text.toDouble(&ok);
        if (type == 0xCA)
            append(out, float(v));
        else
            append(out, v);
        return ok;
    }
    const bool isSigned = type >= 0xC2 && type <= 0xC5;
    const qint64 s = text.toLongLong(&ok, 0);
    const quint64 u = ok ? quint64(s) : text.toULongLong(&ok, 0);
    if (!ok)
        return false;
    if (type == kBool)
        return out.append(u ? '\x01' : '\x00'), true;
    Q_UNUSED(isSigned);
    for (int k = 0; k < size; ++k)
        out.append(char(u >> (8 * k)));
    return true;
}

} // namespace

int CipVariable::elements() const
{
    int n = 1;
    for (int d : dims)
        n *= d;
    return n;
}

int CipVariables::elementSize(quint8 type)
{
    switch (type) {
    case 0xC1: case 0xC2: case 0xC6: case 0xD1: return 1;
    case 0xC3: case 0xC7: case 0xD2: return 2;
    case 0xC4: case 0xC8: case 0xCA: case 0xD3: return 4;
    case 0xC5: case 0xC9: case 0xCB: case 0xD4: return 8;
    case kString: return kStringSize;
    default: return 0;
    }
}

quint8 CipVariables::typeCode(const QString &name)
{
    static const QHash<QString, quint8> codes = {
        {"BOOL", 0xC1}, {"SINT", 0xC2}, {"INT", 0xC3}, {"DINT", 0xC4}, {"LINT", 0xC5}, {"USINT", 0xC6},
        {"UINT", 0xC7}, {"UDINT", 0xC8}, {"ULINT", 0xC9}, {"REAL", 0xCA}, {"LREAL", 0xCB}, {"STRING", 0xD0},
        {"BYTE", 0xD1}, {"WORD", 0xD2}, {"DWORD", 0xD3}, {"LWORD", 0xD4}, {"STRUCT", kStruct}};
    return codes.value(name.toUpper(), 0);
}

CipVariables CipVariables::defaults()
{
    CipVariables table;
    table.load(QString::fromLatin1(kDefaultTable));
    return table;
}

QString CipVariables::load(const QString &text)
{
    m_vars.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int k = 0; k < lines.size(); ++k) {
        const QString line = lines.at(k).section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QString why = addLine(line);
        if (!why.isEmpty())
            return QStringLiteral("line %1: %2").arg(k + 1).arg(why);
    }
    return QString();
}

QString CipVariables::addLine(const QString &line)
{
    // The values follow a lone "=" ("crc=5A3C" is a flag).
    const int eq = line.indexOf(QRegularExpression(QStringLiteral("(^|\\s)=(\\s|$)")));
    const QStringList head = line.left(eq < 0 ? line.size() : eq).split(QRegularExpression(QStringLiteral("\\s+")),
                                                                         Qt::SkipEmptyParts);
    if (head.size() < 2)
        return QStringLiteral("a name and a type are needed");
    CipVariable v;
    v.key = head.at(0);
    v.type = typeCode(head.at(1));
    if (v.type == 0)
        return QStringLiteral("unknown type %1").arg(head.at(1));
    for (const QString &word : head.mid(2)) {
        if (word == QLatin1String("private")) {
            v.published = false;
        } else if (word == QLatin1String("constant")) {
            v.constant = true;
        } else if (word.startsWith(QLatin1String("crc="))) {
            v.crc = quint16(word.mid(4).toUInt(nullptr, 16));
        } else if (word.startsWith(QLatin1Char('[')) && word.endsWith(QLatin1Char(']'))) {
            for (const QString &d : word.mid(1, word.size() - 2).split(QLatin1Char(','))) {
                const int n = d.toInt();
                if (n < 1 || n > 65536)
                    return QStringLiteral("bad dimension %1").arg(word);
                v.dims.append(n);
            }
        } else {
            return QStringLiteral("unknown word %1").arg(word);
        }
    }
    const QString parent = v.key.section(QLatin1Char('.'), 0, -2);
    if (!parent.isEmpty()) {
        // The structure is the top-level name's entry; members of arrays of
        // structures ("Line.Axis[1].Pos") belong to it too.
        CipVariable *top = find(v.key.section(QLatin1Char('.'), 0, 0));
        if (!top || top->type != kStruct)
            return QStringLiteral("%1 is no structure declared before").arg(parent);
        top->members.append(v.key);
        v.published = top->published;
        v.constant = v.constant || top->constant;
    }
    if (v.type != kStruct) {
        const QString values = eq < 0 ? QString() : line.mid(line.indexOf(QLatin1Char('='), eq) + 1).trimmed();
        if (v.type == kString) {
            QByteArray element = values.toUtf8().left(kStringSize - 1);
            element.resize(kStringSize);
            for (int k = 0; k < v.elements(); ++k)
                v.bytes += k == 0 ? element : QByteArray(kStringSize, '\0');
        } else {
            for (const QString &value : values.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
                if (v.bytes.size() < v.elements() * elementSize(v.type) && !appendValue(v.bytes, v.type, value))
                    return QStringLiteral("bad value %1").arg(value);
            v.bytes.append(QByteArray(v.elements() * elementSize(v.type) - v.bytes.size(), '\0'));
        }
    }
    m_vars.insert(v.key, v);
    return QString();
}

const CipVariable *CipVariables::find(const QString &key) const
{
    const auto it = m_vars.constFind(key);
    return it == m_vars.constEnd() ? nullptr : &it.value();
}

CipVariable *CipVariables::find(const QString &key)
{
    const auto it = m_vars.find(key);
    return it == m_vars.end() ? nullptr : &it.value();
}

QByteArray CipVariables::structureBytes(const CipVariable &structure) const
{
    QByteArray out;
    for (const QString &member : structure.members)
        if (const CipVariable *m = find(member))
            out += m->bytes;
    return out;
}

} // namespace plcsim
