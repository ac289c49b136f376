#include "CipTransfer.h"

#include <QList>
#include <QStringList>

#include "CDriveBaseClass.h"
#include "CipCodec.h"
#include "CipEncap.h"
#include "CipMessage.h"

namespace {

using Kind = Outcome::Kind;

// Reply: service, 0, status, 0, type, AddInfo length.
constexpr int kReadReplyOverhead = 6;
// Request: service, path size, path, type, AddInfo length, count.
constexpr int kWriteRequestOverhead = 6;

QString variableKey(const CipPath::Path &path)
{
    QStringList names;
    for (const CipPath::Member &m : path.members)
        names.append(QString::fromUtf8(m.name));
    return names.join(QLatin1Char('.'));
}

// The path of element `offset` of a range that starts at `path`.
CipPath::Path elementPath(const CipPath::Path &path, int offset)
{
    return offset == 0 ? path : path.withLastIndex(path.lastIndex() + offset);
}

Outcome mismatch(const QString &tag, quint8 code, int dataType)
{
    static const char *const names[] = {"", "Bool", "Int8", "UInt8", "Int16", "UInt16", "Int32", "UInt32",
                                        "Float", "Int64", "UInt64", "Double", "String"};
    const int fits = CipCodec::dataTypeOf(code);
    const QString hint = fits ? QStringLiteral(" (it reads as %1)").arg(QLatin1String(names[fits])) : QString();
    return Outcome::make(Kind::BadAnswer, QStringLiteral("type"),
                         QStringLiteral("%1 is %2, not %3%4: nothing was read or written")
                             .arg(tag, CipCodec::typeName(code), QLatin1String(names[dataType]), hint));
}

QByteArray typeField(quint8 code)
{
    QByteArray b;
    b.append(char(code));
    b.append('\0');
    return b;
}

} // namespace

void CipTransfer::forget()
{
    learnedCodes.clear();
    padOneByte = false;
}

int CipTransfer::readChunk(const QByteArray &path, int dataType, int limit)
{
    if (path.size() + 4 > limit)
        return 0;
    return CipCodec::elementsIn(dataType, limit - kReadReplyOverhead);
}

int CipTransfer::writeChunk(const QByteArray &path, int dataType, int limit)
{
    const int room = limit - kWriteRequestOverhead - path.size();
    const int size = CipCodec::elementSize(dataType);
    return room > 0 && size > 0 ? room / size : 0;
}

Outcome CipTransfer::fail(Outcome outcome, const QString &tag) const
{
    channel.warn(outcome, tag);
    return outcome;
}

// ---- reads ----------------------------------------------------------------

Outcome CipTransfer::read(const CipPath::Path &path, const QString &tag, int dataType, int count, QVariant *out)
{
    if (dataType == String)
        return readStrings(path, tag, count, out);
    return readElements(path, tag, dataType, count, out);
}

Outcome CipTransfer::readRange(const CipPath::Path &path, const QString &tag, int dataType, int count,
                               QByteArray *values, quint8 *code)
{
    QByteArray reply;
    Outcome o = channel.exchange(CipMessage::readTag(CipPath::encode(path), quint16(count)), tag, &reply);
    CipMessage::Reply fields;
    if (o.ok())
        o = CipMessage::check(reply, CipMessage::ReadTag, &fields);
    if (!o.ok()) {
        o.answer = reply.isEmpty() ? o.answer : reply;
        return fail(o, tag);
    }
    if (fields.data.size() < 2)
        return fail(Outcome::make(Kind::BadAnswer, QStringLiteral("answer"),
                                  QStringLiteral("the reply carries no type")), tag);
    *code = quint8(fields.data.at(0));
    const int addInfo = quint8(fields.data.at(1));
    if (addInfo != 0 || !CipCodec::answers(dataType, *code)) {
        Outcome refused = mismatch(tag, addInfo == 2 ? quint8(CipCodec::Structure) : *code, dataType);
        refused.answer = reply;
        return fail(refused, tag);
    }
    if (CipCodec::hasTwoCodes(dataType)) // only these need the code for a write
        learnedCodes.insert(variableKey(path), *code);
    *values = fields.data.mid(2);
    return o;
}

Outcome CipTransfer::readElements(const CipPath::Path &path, const QString &tag, int dataType, int count,
                                  QVariant *out)
{
    const int chunk = readChunk(CipPath::encode(path), dataType, channel.messageLimit());
    QList<bool> bits;
    QByteArray all;
    for (int done = 0; done < count;) {
        const int n = qMin(chunk, count - done);
        QByteArray values;
        quint8 code = 0;
        Outcome o = readRange(elementPath(path, done), tag, dataType, n, &values, &code);
        if (!o.ok())
            return o;
        QVariant part;
        if (!CipCodec::decode(dataType, values, n, &part))
            return fail(Outcome::make(Kind::BadAnswer, QStringLiteral("answer"),
                                      QStringLiteral("the reply holds %1 value bytes, not %2 for %3 elements")
                                          .arg(values.size()).arg(CipCodec::replyBytes(dataType, n)).arg(n)),
                        tag);
        if (dataType == Bool)
            bits += part.value<QList<bool>>();
        else
            all += values.left(CipCodec::replyBytes(dataType, n));
        done += n;
    }
    if (dataType == Bool)
        *out = QVariant::fromValue(bits);
    else
        CipCodec::decode(dataType, all, count, out);
    return Outcome::done();
}

Outcome CipTransfer::readStrings(const CipPath::Path &path, const QString &tag, int count, QVariant *out)
{
    QList<QString> texts;
    for (int k = 0; k < count; ++k) {
        QByteArray values;
        quint8 code = 0;
        Outcome o = readRange(elementPath(path, k), tag, String, 1, &values, &code);
        if (!o.ok())
            return o;
        QString text;
        if (!CipCodec::decodeString(values, &text))
            return fail(Outcome::make(Kind::BadAnswer, QStringLiteral("answer"),
                                      QStringLiteral("the string in the reply is cut short")),
                        tag);
        texts.append(text);
    }
    *out = QVariant::fromValue(texts);
    return Outcome::done();
}

// ---- writes ---------------------------------------------------------------

Outcome CipTransfer::write(const CipPath::Path &path, const QString &tag, int dataType, int count,
                           const QVariant &value)
{
    if (dataType == String || dataType == Bool)
        return writeEach(path, tag, dataType, count, value);
    return writeRanges(path, tag, dataType, count, value);
}

// The code the variable has: learned from an earlier read, or read now for
// the types that two codes answer (a write with the other one is refused).
Outcome CipTransfer::typeCode(const CipPath::Path &path, const QString &tag, int dataType, quint8 *code)
{
    *code = CipCodec::defaultCode(dataType);
    if (!CipCodec::hasTwoCodes(dataType))
        return Outcome::done();
    const auto known = learnedCodes.constFind(variableKey(path));
    if (known != learnedCodes.constEnd()) {
        if (!CipCodec::answers(dataType, known.value()))
            return fail(mismatch(tag, known.value(), dataType), tag);
        *code = known.value();
        return Outcome::done();
    }
    QByteArray values;
    return readRange(path, tag, dataType, 1, &values, code);
}

Outcome CipTransfer::writeOne(const QByteArray &path, const QString &tag, quint8 code, int count,
                              const QByteArray &values)
{
    const bool oneByte = code == CipCodec::SINT || code == CipCodec::USINT || code == CipCodec::BYTE;
    QByteArray data = values;
    if (oneByte && padOneByte && data.size() % 2)
        data.append('\0');
    QByteArray reply;
    Outcome o = channel.exchange(CipMessage::writeTag(path, typeField(code), quint16(count), data), tag, &reply);
    CipMessage::Reply fields;
    if (o.ok())
        o = CipMessage::check(reply, CipMessage::WriteTag, &fields);
    // Some controllers take 1-byte values only with the pad byte their manual
    // shows: the same values once more with it, and from then on.
    if (oneByte && !padOneByte && data.size() % 2 && o.kind == Kind::EndCode
        && (o.endCode == CipMessage::NotEnoughData || o.endCode == CipMessage::VendorSpecific)) {
        padOneByte = true;
        return writeOne(path, tag, code, count, values);
    }
    if (!o.ok()) {
        o.answer = reply.isEmpty() ? o.answer : reply;
        return fail(o, tag);
    }
    return o;
}

Outcome CipTransfer::writeEach(const CipPath::Path &path, const QString &tag, int dataType, int count,
                               const QVariant &value)
{
    for (int k = 0; k < count; ++k) {
        QByteArray values;
        if (dataType == String)
            CipCodec::encodeString(value, k, &values);
        else if (CipCodec::encode(Bool, value, k, 1, &values))
            values.append('\0');
        if (values.size() + kWriteRequestOverhead + CipPath::encode(path).size() > channel.messageLimit())
            return fail(Outcome::refused(5, QStringLiteral("element %1 does not fit one message").arg(k)), tag);
        const Outcome o = writeOne(CipPath::encode(elementPath(path, k)), tag, CipCodec::defaultCode(dataType), 1,
                                   values);
        if (!o.ok())
            return o;
    }
    return Outcome::done();
}

Outcome CipTransfer::writeRanges(const CipPath::Path &path, const QString &tag, int dataType, int count,
                                 const QVariant &value)
{
    quint8 code = 0;
    Outcome o = typeCode(path, tag, dataType, &code);
    if (!o.ok())
        return o;
    const int chunk = writeChunk(CipPath::encode(path), dataType, channel.messageLimit());
    for (int done = 0; done < count;) {
        const int n = qMin(chunk, count - done);
        QByteArray values;
        CipCodec::encode(dataType, value, done, n, &values);
        o = writeOne(CipPath::encode(elementPath(path, done)), tag, code, n, values);
        if (!o.ok())
            return o;
        done += n;
    }
    return o;
}
