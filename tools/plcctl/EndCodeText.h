#ifndef PLCCTL_ENDCODETEXT_H
#define PLCCTL_ENDCODETEXT_H

// What the PLC's codes mean, in words: FINS end codes, Host Link end codes,
// FINS/TCP header error codes, and a plug-in's outcome in words. Pure tables
// and lookups, no I/O.

#include <QString>
#include <QStringList>

#include "Outcome.h"

namespace plcctl {

// "1101 area classification missing"; the flag bits (MRES bit 7, SRES bits
// 6-7) are masked first and named after the meaning when set.
QString finsEndCodeText(quint16 endCode);
// The likely cause seen in the field for a masked end code, or empty.
QString finsEndCodeHint(quint16 endCode);
// "13 FCS error" for a Host Link end code given as two hex digits.
QString hostLinkEndCodeText(const QString &hexCode);
// "21 the requested client node is already connected".
QString finsHeaderErrorText(quint32 errorCode);

// What went wrong in the plug-in's last exchange (its Outcome, read through
// its diagnostics face), in words: end codes with their meaning, else the
// plug-in's own reason. Empty when nothing went wrong.
QStringList outcomeWords(const Outcome &outcome, bool hostLink);

} // namespace plcctl

#endif // PLCCTL_ENDCODETEXT_H
