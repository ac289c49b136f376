#ifndef CIPTRANSFER_H
#define CIPTRANSFER_H

// Reads and writes of variables over a CipChannel: a transfer larger than
// one message is split into element ranges that fit, each reply's type and
// length are checked, and the first failure ends the transfer (the parts of
// a write sent before it stay written).
//
// Strings and BOOL writes go one element per message: those are the forms
// whose layout is sure for every controller of the family.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include "CipChannel.h"
#include "CipPath.h"
#include "Outcome.h"

class CipTransfer
{
public:
    explicit CipTransfer(CipChannel &channel) : channel(channel) {}

    Outcome read(const CipPath::Path &path, const QString &tag, int dataType, int count, QVariant *out);
    Outcome write(const CipPath::Path &path, const QString &tag, int dataType, int count, const QVariant &value);
    // What was learned about the controller's variables and its 1-byte
    // writes: forgotten on every new connection.
    void forget();

    // Elements of `dataType` a read or write of `path` carries per message
    // with `limit`-byte messages (0: the path alone does not fit).
    static int readChunk(const QByteArray &path, int dataType, int limit);
    static int writeChunk(const QByteArray &path, int dataType, int limit);

private:
    Outcome readRange(const CipPath::Path &path, const QString &tag, int dataType, int count, QByteArray *values,
                      quint8 *code);
    Outcome readElements(const CipPath::Path &path, const QString &tag, int dataType, int count, QVariant *out);
    Outcome readStrings(const CipPath::Path &path, const QString &tag, int count, QVariant *out);
    Outcome writeOne(const QByteArray &path, const QString &tag, quint8 code, int count, const QByteArray &values);
    Outcome writeEach(const CipPath::Path &path, const QString &tag, int dataType, int count, const QVariant &value);
    Outcome writeRanges(const CipPath::Path &path, const QString &tag, int dataType, int count, const QVariant &value);
    Outcome typeCode(const CipPath::Path &path, const QString &tag, int dataType, quint8 *code);
    Outcome fail(Outcome outcome, const QString &tag) const;

    CipChannel &channel;
    QHash<QString, quint8> learnedCodes; // member names (no indexes) -> type code
    bool padOneByte = false;
};

#endif // CIPTRANSFER_H
