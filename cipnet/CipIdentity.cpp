#include "CipIdentity.h"

#include "CipEncap.h"

namespace CipIdentity {

namespace {

constexpr quint16 kIdentityItem = 0x000C;
// Version (2), socket address (16), vendor, device type, product code (2
// each), revision (2), status (2), serial (4), then the name's length.
constexpr int kNameLengthAt = 2 + 16 + 6 + 2 + 2 + 4;

} // namespace

bool parseListIdentity(const QByteArray &data, ControllerIdentity *out)
{
    using CipEncap::le16;
    if (data.size() < 2)
        return false;
    int at = 2;
    for (int item = 0; item < le16(data, 0); ++item) {
        if (data.size() < at + 4)
            return false;
        const int length = le16(data, at + 2);
        const QByteArray body = data.mid(at + 4, length);
        if (body.size() != length)
            return false;
        if (le16(data, at) == kIdentityItem && length > kNameLengthAt) {
            const int nameLength = quint8(body.at(kNameLengthAt));
            if (body.size() < kNameLengthAt + 1 + nameLength)
                return false;
            out->model = QString::fromLatin1(body.mid(kNameLengthAt + 1, nameLength)).trimmed();
            out->version = QStringLiteral("%1.%2").arg(quint8(body.at(24))).arg(quint8(body.at(25)), 2, 10,
                                                                                  QLatin1Char('0'));
            out->details.insert(QStringLiteral("vendor"), le16(body, 18));
            out->details.insert(QStringLiteral("deviceType"), le16(body, 20));
            out->details.insert(QStringLiteral("productCode"), le16(body, 22));
            out->details.insert(QStringLiteral("serial"),
                                QStringLiteral("%1").arg(CipEncap::le32(body, 28), 8, 16, QLatin1Char('0')));
            return true;
        }
        at += 4 + length;
    }
    return false;
}

bool parseMode(const QByteArray &data, ControllerStatus *out)
{
    if (data.size() != 2)
        return false;
    const quint16 mode = CipEncap::le16(data, 0);
    out->running = mode == 0x0004;
    out->mode = mode == 0x0004 ? QStringLiteral("RUN")
                               : mode == 0x0000 ? QStringLiteral("PROGRAM")
                                                : QStringLiteral("mode 0x%1").arg(mode, 4, 16, QLatin1Char('0'));
    return true;
}

bool parseModel(const QByteArray &data, QString *model)
{
    if (data.size() < 2 || data.size() < 2 + CipEncap::le16(data, 0))
        return false;
    QByteArray text = data.mid(2, CipEncap::le16(data, 0));
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    *model = QString::fromLatin1(text).trimmed();
    return true;
}

} // namespace CipIdentity
