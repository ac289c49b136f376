#ifndef RECONNECTOPTION_H
#define RECONNECTOPTION_H

// The optional last field of a TCP connection text, ",reconnect=on" (or
// "=off", the default): a call on a lost or dead link connects again first.

#include <QString>

namespace ReconnectOption {

// Takes a trailing "reconnect=on|off" field off `*text`. False when the
// field is there with another value (the text is then refused).
bool take(QString *text, bool *reconnect);

} // namespace ReconnectOption

#endif // RECONNECTOPTION_H
