#ifndef PLCCTL_ENDCODETEXT_H
#define PLCCTL_ENDCODETEXT_H

// What the PLC's codes mean, in words: FINS end codes, Host Link end codes,
// FINS/TCP header error codes, and what a plug-in's warning line says about
// a failure. Pure tables and lookups, no I/O.

#include <QString>

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

// What a plug-in's warning line says went wrong, in words; empty when the
// line names no failure plcctl can explain.
QString explainWarning(const QString &line);

} // namespace plcctl

#endif // PLCCTL_ENDCODETEXT_H
