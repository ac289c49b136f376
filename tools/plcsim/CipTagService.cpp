#include "CipTagService.h"
#include "CipVariables.h"

#include <QStringList>
#include <QVector>

namespace plcsim {

namespace {

constexpr quint8 kBool = 0xC1, kString = 0xD0, kStruct = 0xA0;

struct Segment
{
    QString name;
    QVector<int> indexes;
};

struct Request
{
    quint8 service = 0;
    QVector<Segment> symbols;
    QVector<int> logical; // class, instance, attribute
    QByteArray data;
    bool ok = false;
};

quint16 u16(const QByteArray &b, int at)
{
    return quint16(quint8(b.at(at)) | quint8(b.at(at + 1)) << 8);
}

void put16(QByteArray &b, int v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

bool parsePath(const QByteArray &path, Request &r)
{
    int at = 0;
    while (at < path.size()) {
        const quint8 type = quint8(path.at(at));
        if (type == 0x91 && at + 1 < path.size()) {
            const int n = quint8(path.at(at + 1));
            if (at + 2 + n > path.size())
                return false;
            r.symbols.append({QString::fromUtf8(path.mid(at + 2, n)), {}});
            at += 2 + n + (n % 2);
        } else if (type == 0x28 && at + 1 < path.size() && !r.symbols.isEmpty()) {
            r.symbols.last().indexes.append(quint8(path.at(at + 1)));
            at += 2;
        } else if (type == 0x29 && at + 3 < path.size() && !r.symbols.isEmpty()) {
            r.symbols.last().indexes.append(u16(path, at + 2));
            at += 4;
        } else if ((type == 0x20 || type == 0x24 || type == 0x30) && at + 1 < path.size()) {
            r.logical.append(quint8(path.at(at + 1)));
            at += 2;
        } else {
            return false;
        }
    }
    return true;
}

Request parseRequest(const QByteArray &bytes)
{
    Request r;
    if (bytes.size() < 2)
        return r;
    r.service = quint8(bytes.at(0));
    const int pathBytes = 2 * quint8(bytes.at(1));
    if (bytes.size() < 2 + pathBytes)
        return r;
    r.ok = parsePath(bytes.mid(2, pathBytes), r);
    r.data = bytes.mid(2 + pathBytes);
    return r;
}

QByteArray reply(quint8 service, const QByteArray &data)
{
    QByteArray b;
    b.append(char(service | 0x80));
    b.append('\0');
    b.append('\0');
    b.append('\0');
    return b + data;
}

// The variable a path names and the first element it names in it.
const CipVariable *resolve(const CipVariables &vars, const Request &r, int *element, quint8 *status)
{
    QString key;
    for (int k = 0; k < r.symbols.size(); ++k) {
        key += r.symbols.at(k).name;
        if (k + 1 < r.symbols.size()) {
            QStringList idx;
            for (int i : r.symbols.at(k).indexes)
                idx.append(QString::number(i));
            key += (idx.isEmpty() ? QString() : QLatin1Char('[') + idx.join(QLatin1Char(',')) + QLatin1Char(']'))
                + QLatin1Char('.');
        }
    }
    const CipVariable *v = vars.find(key);
    *status = 0x05;
    if (!v || !v->published)
        return nullptr;
    const QVector<int> &idx = r.symbols.last().indexes;
    if (!idx.isEmpty() && idx.size() != v->dims.size())
        return nullptr;
    *element = 0;
    for (int k = 0; k < idx.size(); ++k) {
        if (idx.at(k) >= v->dims.at(k))
            return nullptr;
        *element = *element * v->dims.at(k) + idx.at(k);
    }
    *status = 0;
    return v;
}

QByteArray readValues(const CipVariables &vars, const CipVariable &v, int element, int count)
{
    QByteArray out;
    if (v.type == kStruct) {
        out.append(char(kStruct));
        out.append('\x02');
        put16(out, v.crc);
        return out + vars.structureBytes(v);
    }
    out.append(char(v.type));
    out.append('\0');
    const int size = CipVariables::elementSize(v.type);
    const QByteArray slice = v.bytes.mid(element * size, count * size);
    if (v.type == kBool && count == 1)
        return out + slice + QByteArray(1, '\0');
    if (v.type == kBool) {
        QByteArray words(((count + 15) / 16) * 2, '\0');
        for (int k = 0; k < count; ++k)
            if (slice.at(k))
                words[k / 8] = char(quint8(words.at(k / 8)) | (1 << (k % 8)));
        return out + words;
    }
    if (v.type == kString && count == 1) {
        const QByteArray text = slice.left(qMax(0, slice.indexOf('\0')));
        put16(out, text.size());
        return out + text;
    }
    if (v.type == kString) {
        QByteArray swapped = slice;
        for (int k = 0; k + 1 < swapped.size(); k += 2) {
            const char first = swapped.at(k);
            swapped[k] = swapped.at(k + 1);
            swapped[k + 1] = first;
        }
        return out + swapped;
    }
    return out + slice;
}

QByteArray readTag(const CipVariables &vars, const Request &r, const CipServiceOptions &o)
{
    int element = 0;
    quint8 status = 0;
    const CipVariable *v = resolve(vars, r, &element, &status);
    if (!v)
        return cipStatusReply(r.service, status);
    const int count = r.data.size() >= 2 ? u16(r.data, 0) : 0;
    if (count < 1 || element + count > v->elements() || (v->type == kStruct && count != 1))
        return cipStatusReply(r.service, 0x20);
    const QByteArray answer = reply(r.service, readValues(vars, *v, element, count));
    return answer.size() > o.replyLimit ? cipStatusReply(r.service, 0x11) : answer;
}

// The value bytes a write carries for `count` elements, or the status.
int writeBytes(const CipVariable &v, const QByteArray &values, int count, const CipServiceOptions &o,
               QByteArray *out)
{
    const int size = CipVariables::elementSize(v.type);
    if (v.type == kString) {
        if (count != 1 || values.size() < 2)
            return 0x13;
        const int length = u16(values, 0);
        if (length >= size || values.size() > 2 + length)
            return 0x15;
        if (values.size() < 2 + length)
            return 0x13;
        *out = values.mid(2, length);
        out->resize(size);
        return 0;
    }
    int expected = count * size;
    if (v.type == kBool && count == 1 && values.size() == 2)
        expected = 2; // value and a pad
    else if (size == 1 && count % 2 == 1 && values.size() == count + 1)
        expected = count + 1; // the manual's pad byte
    else if (size == 1 && count % 2 == 1 && o.padRequired)
        return 0x13;
    if (values.size() < expected)
        return 0x13;
    if (values.size() > expected)
        return 0x15;
    *out = values.left(count * size);
    if (v.type == kBool)
        for (char &c : *out)
            c = c ? '\x01' : '\x00';
    return 0;
}

QByteArray writeTag(CipVariables &vars, const Request &r, const CipServiceOptions &o, bool *wrote)
{
    int element = 0;
    quint8 status = 0;
    const CipVariable *found = resolve(vars, r, &element, &status);
    if (!found)
        return cipStatusReply(r.service, status);
    CipVariable *v = vars.find(found->key);
    if (v->constant)
        return cipStatusReply(r.service, 0x0F);
    if (r.data.size() < 4)
        return cipStatusReply(r.service, 0x13);
    const int addInfo = quint8(r.data.at(1));
    const int countAt = 2 + addInfo;
    if (r.data.size() < countAt + 2)
        return cipStatusReply(r.service, 0x13);
    const int count = u16(r.data, countAt);
    if (quint8(r.data.at(0)) != v->type || v->type == kStruct || count < 1 || element + count > v->elements())
        return cipStatusReply(r.service, 0x20);
    QByteArray bytes;
    const int bad = writeBytes(*v, r.data.mid(countAt + 2), count, o, &bytes);
    if (bad)
        return cipStatusReply(r.service, quint8(bad));
    const int size = CipVariables::elementSize(v->type);
    v->bytes.replace(element * size, bytes.size(), bytes);
    *wrote = true;
    return reply(r.service, QByteArray());
}

QByteArray controllerAttribute(const Request &r)
{
    if (r.logical.size() != 3 || r.logical.at(0) != 0xC4 || r.logical.at(1) != 0)
        return cipStatusReply(r.service, 0x05);
    QByteArray data;
    switch (r.logical.at(2)) {
    case 0x64: put16(data, 0x0004); break; // RUN
    case 0x65: put16(data, 0x0000); break;
    case 0x66: {
        QByteArray model("NX102-1200");
        model.resize(20);
        put16(data, model.size());
        data += model;
        break;
    }
    default: return cipStatusReply(r.service, 0x14);
    }
    return reply(r.service, data);
}

} // namespace

QByteArray cipStatusReply(quint8 service, quint8 status, int additional)
{
    QByteArray b;
    b.append(char(service | 0x80));
    b.append('\0');
    b.append(char(status));
    b.append(additional >= 0 ? '\x01' : '\0');
    if (additional >= 0)
        put16(b, additional);
    return b;
}

QByteArray cipExecute(CipVariables &vars, const QByteArray &request, const CipServiceOptions &options,
                      bool *wrote)
{
    *wrote = false;
    const Request r = parseRequest(request);
    if (!r.ok && r.service == 0)
        return cipStatusReply(0, 0x04);
    if (!r.ok)
        return cipStatusReply(r.service, 0x04);
    switch (r.service) {
    case 0x4C: return r.symbols.isEmpty() ? cipStatusReply(r.service, 0x04) : readTag(vars, r, options);
    case 0x4D: return r.symbols.isEmpty() ? cipStatusReply(r.service, 0x04) : writeTag(vars, r, options, wrote);
    case 0x0E: return controllerAttribute(r);
    default: return cipStatusReply(r.service, 0x08);
    }
}

} // namespace plcsim
