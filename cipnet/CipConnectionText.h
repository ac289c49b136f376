#ifndef CIPCONNECTIONTEXT_H
#define CIPCONNECTIONTEXT_H

// `ip[:port][,timeout=MS][,connected=on][,reconnect=on]`: a numeric IPv4
// address (host names are not resolved), port 1-65535 (44818), timeout
// 1-60000 ms (1000), connected and reconnect on or off (off). Each setting
// at most once, in any order.

#include <QString>

#include "CipLink.h"

namespace CipConnectionText {

// Empty when `text` is a connection text (and `out` holds it), else why not.
QString parse(const QString &text, CipLink::Settings *out);

} // namespace CipConnectionText

#endif // CIPCONNECTIONTEXT_H
