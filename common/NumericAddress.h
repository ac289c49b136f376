#ifndef NUMERICADDRESS_H
#define NUMERICADDRESS_H

// The numeric address of a connection text: dotted-quad IPv4 ("192.168.0.1",
// four decimal octets without leading zeros) or IPv6 text. Nothing else is
// taken: no host names, no short forms ("127.1"), no plain numbers
// ("2130706433"), no octal-looking octets ("010"), so a text never reaches
// another address than the one it shows.

#include <QString>

namespace NumericAddress {

// True when `text` is such an address; `*normalised` (if given) is then its
// canonical text.
bool parse(const QString &text, QString *normalised = nullptr);

} // namespace NumericAddress

#endif // NUMERICADDRESS_H
