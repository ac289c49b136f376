#include "NumericAddress.h"

#include <arpa/inet.h>

namespace NumericAddress {

bool parse(const QString &text, QString *normalised)
{
    const QByteArray bytes = text.toLatin1();
    // The C library's own parser, which takes only the full forms: four
    // decimal octets without leading zeros, or IPv6 text.
    if (bytes.isEmpty() || bytes.size() != text.size())
        return false;
    unsigned char buffer[16];
    char out[INET6_ADDRSTRLEN];
    for (const int family : {AF_INET, AF_INET6}) {
        if (::inet_pton(family, bytes.constData(), buffer) != 1)
            continue;
        if (normalised)
            *normalised = QString::fromLatin1(::inet_ntop(family, buffer, out, sizeof out));
        return true;
    }
    return false;
}

} // namespace NumericAddress
