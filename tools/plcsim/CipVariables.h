#ifndef PLCSIM_CIPVARIABLES_H
#define PLCSIM_CIPVARIABLES_H

// The NJ/NX controller's variables that EtherNet/IP reaches by name. Each
// entry is one variable or structure member, keyed by its full path with the
// indexes of the arrays it lies in ("Recipe.Speed", "Line.Axis[2].Pos");
// its own array dimensions stay out of the key. Values are kept as the
// controller sends them: little-endian elements, BOOL one byte per element,
// STRING 256 bytes per element (NUL-terminated). A structure entry holds no
// bytes: its members, in declaration order, are its value.
//
// Text form, one entry a line (`#` starts a comment):
//   NAME TYPE [DIMS] [private] [constant] [crc=HEX] [= VALUE ...]
// TYPE is a type name (BOOL, SINT ... LWORD, STRING) or STRUCT; DIMS is
// "[10]" or "[3,4]"; a STRING value is the rest of the line. Members follow
// their structure and name it ("Recipe.Speed" after "Recipe").

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace plcsim {

struct CipVariable
{
    QString key;
    quint8 type = 0;         // CIP type code; 0xA0 for a structure
    QVector<int> dims;       // empty for a single value
    bool published = true;   // false: not reachable over the network
    bool constant = false;   // reads, never writes
    quint16 crc = 0;         // structure definition CRC
    QByteArray bytes;        // elements() * elementSize(type) bytes
    QStringList members;     // a structure's member keys, in order

    int elements() const;
};

class CipVariables
{
public:
    // The built-in table: every type, arrays of one and two dimensions, a
    // structure, strings, an unpublished variable and a constant.
    static CipVariables defaults();
    // Empty string when `text` is a table (and this holds it), else why not.
    QString load(const QString &text);

    const CipVariable *find(const QString &key) const;
    CipVariable *find(const QString &key);
    // A structure's value: its members' values, one after the other.
    QByteArray structureBytes(const CipVariable &structure) const;
    static int elementSize(quint8 type);
    static quint8 typeCode(const QString &name); // 0 when unknown

private:
    QString addLine(const QString &line);
    QHash<QString, CipVariable> m_vars;
};

} // namespace plcsim

#endif
