#include "UdpConnectionText.h"

#include <QStringList>

namespace UdpConnectionText {
namespace {

// A plain decimal number within [low, high]: digits only, no sign, no blanks.
bool decimal(const QString &text, int low, int high, int *value)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const int number = text.toInt();
    if (number < low || number > high)
        return false;
    *value = number;
    return true;
}

// Four decimal octets; the result is the address in host order.
bool ipv4(const QString &text, quint32 *address)
{
    const QStringList octets = text.split(QLatin1Char('.'));
    if (octets.size() != 4)
        return false;
    quint32 value = 0;
    for (const QString &octet : octets) {
        int number = 0;
        // "010" is 8 to some parsers and 10 to others: neither is guessed.
        if (octet.size() > 3 || (octet.size() > 1 && octet.startsWith(QLatin1Char('0')))
            || !decimal(octet, 0, 255, &number))
            return false;
        value = value << 8 | quint32(number);
    }
    *address = value;
    return true;
}

bool unicast(quint32 address)
{
    const quint32 first = address >> 24;
    return address != 0 && address != 0xFFFFFFFFu && (first < 224 || first > 239);
}

QString quoted(const QString &part)
{
    return QLatin1Char('"') + part + QLatin1Char('"');
}

bool endpoint(const QString &part, Settings *settings, QString *error)
{
    const int colon = part.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        *error = quoted(part) + QStringLiteral(" 缺少端口 (ip:port)");
        return false;
    }
    quint32 address = 0;
    if (!ipv4(part.left(colon), &address) || !unicast(address)) {
        *error = quoted(part) + QStringLiteral(" 不是IPv4单播地址");
        return false;
    }
    int port = 0;
    if (!decimal(part.mid(colon + 1), 1, 65535, &port)) {
        *error = quoted(part.mid(colon + 1)) + QStringLiteral(" 端口错误 (1-65535)");
        return false;
    }
    settings->address = QStringLiteral("%1.%2.%3.%4")
                            .arg(address >> 24)
                            .arg((address >> 16) & 0xFF)
                            .arg((address >> 8) & 0xFF)
                            .arg(address & 0xFF);
    settings->port = quint16(port);
    return true;
}

struct Key {
    const char *name;
    int low;
    int high;
};

const Key kKeys[] = {
    {"plc", 1, 254}, {"node", 1, 254}, {"local", 1, 65535}, {"timeout", 1, MaxTimeoutMs}, {"retries", 0, MaxRetries},
};

void store(int key, int value, Settings *settings)
{
    switch (key) {
    case 0: settings->plcNode = value; break;
    case 1: settings->localNode = value; break;
    case 2: settings->localPort = quint16(value); break;
    case 3: settings->timeoutMs = value; break;
    case 4: settings->retries = value; break;
    }
}

bool setting(const QString &part, Settings *settings, unsigned *seen, QString *error)
{
    const int equals = part.indexOf(QLatin1Char('='));
    const QString name = part.left(equals).trimmed().toLower();
    for (int key = 0; key < int(sizeof kKeys / sizeof kKeys[0]); ++key) {
        if (name != QLatin1String(kKeys[key].name))
            continue;
        if (*seen & (1u << key)) {
            *error = quoted(part) + QStringLiteral(" 重复设置");
            return false;
        }
        int value = 0;
        if (equals < 0 || !decimal(part.mid(equals + 1).trimmed(), kKeys[key].low, kKeys[key].high, &value)) {
            *error = quoted(part) + QStringLiteral(" 格式错误 (%1=%2-%3)")
                                        .arg(QLatin1String(kKeys[key].name))
                                        .arg(kKeys[key].low)
                                        .arg(kKeys[key].high);
            return false;
        }
        *seen |= 1u << key;
        store(key, value, settings);
        return true;
    }
    *error = quoted(part) + QStringLiteral(" 未知设置 (plc, node, local, timeout, retries)");
    return false;
}

} // namespace

bool parse(const QString &text, Settings *settings, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    Settings parsed;
    if (!endpoint(parts.first().trimmed(), &parsed, error))
        return false;
    unsigned seen = 0;
    for (int i = 1; i < parts.size(); ++i) {
        if (!setting(parts.at(i).trimmed(), &parsed, &seen, error))
            return false;
    }
    *settings = parsed;
    return true;
}

} // namespace UdpConnectionText
