#include "CipMessage.h"

#include "CipEncap.h"

namespace CipMessage {

QByteArray request(quint8 service, const QByteArray &path, const QByteArray &data)
{
    QByteArray b;
    b.append(char(service));
    QByteArray padded = path;
    if (padded.size() % 2)
        padded.append('\0');
    b.append(char(padded.size() / 2));
    return b + padded + data;
}

QByteArray readTag(const QByteArray &path, quint16 count)
{
    QByteArray data;
    CipEncap::put16(data, count);
    return request(ReadTag, path, data);
}

QByteArray writeTag(const QByteArray &path, const QByteArray &typeField, quint16 count, const QByteArray &values)
{
    QByteArray data = typeField;
    CipEncap::put16(data, count);
    return request(WriteTag, path, data + values);
}

QByteArray getAttribute(quint8 classId, quint8 instance, quint8 attribute)
{
    const char path[] = {'\x20', char(classId), '\x24', char(instance), '\x30', char(attribute)};
    return request(GetAttributeSingle, QByteArray(path, sizeof path), QByteArray());
}

bool parse(const QByteArray &bytes, Reply *out)
{
    if (bytes.size() < 4)
        return false;
    const int words = quint8(bytes.at(3));
    if (bytes.size() < 4 + 2 * words)
        return false;
    out->service = quint8(bytes.at(0));
    out->general = quint8(bytes.at(2));
    out->additional.clear();
    for (int k = 0; k < words; ++k)
        out->additional.append(CipEncap::le16(bytes, 4 + 2 * k));
    out->data = bytes.mid(4 + 2 * words);
    return true;
}

Outcome check(const QByteArray &bytes, quint8 service, Reply *out)
{
    if (!parse(bytes, out))
        return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                             QStringLiteral("the reply is too short for its status fields"));
    if (out->service != (service | 0x80))
        return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                             QStringLiteral("the reply answers service 0x%1, not 0x%2")
                                 .arg(out->service, 2, 16, QLatin1Char('0'))
                                 .arg(service | 0x80, 2, 16, QLatin1Char('0')));
    if (out->general != Ok)
        return Outcome::make(Outcome::Kind::EndCode, QStringLiteral("answer"),
                             statusText(out->general, out->additional.isEmpty() ? -1 : out->additional.first()),
                             out->general);
    return Outcome::done();
}

namespace {

const char *generalText(quint8 general)
{
    switch (general) {
    case 0x00: return "success";
    case 0x01: return "connection failure";
    case 0x02: return "resource unavailable";
    case 0x04: return "path segment error (the variable path is not valid for the controller)";
    case 0x05: return "no such variable, or it is not published to the network";
    case 0x06: return "partial transfer";
    case 0x08: return "service not supported";
    case 0x0C: return "object state conflict";
    case 0x0F: return "privilege violation (a constant, or a variable that cannot be written)";
    case 0x11: return "reply too large";
    case 0x13: return "not enough data";
    case 0x15: return "too much data";
    case 0x1E: return "embedded service error";
    case 0x1F: return "vendor specific error";
    case 0x20: return "invalid parameter (wrong type or count for the variable)";
    case 0x26: return "path size invalid";
    default: return "unknown general status";
    }
}

} // namespace

QString statusText(quint8 general, int additional)
{
    QString text = QStringLiteral("general status 0x%1: %2")
                       .arg(general, 2, 16, QLatin1Char('0'))
                       .arg(QLatin1String(generalText(general)));
    if (general == 0x0C && additional == 0x8010)
        text += QStringLiteral(", the controller is downloading or starting up");
    else if (general == 0x0C && additional == 0x8011)
        text += QStringLiteral(", tag memory error");
    if (additional >= 0)
        text += QStringLiteral(" (additional 0x%1)").arg(additional, 4, 16, QLatin1Char('0'));
    return text;
}

} // namespace CipMessage
