#ifndef HLINKLOG_H
#define HLINKLOG_H

// The Host Link plug-in's log lines and reasons, for the FINS core and the
// FA link: the words are Host Link's own, the frames the FA frames as on
// the wire (lower-case hex), the peer the active line's.
//
//   lib[HLink]读命令 127.0.0.1:9600 Area=D0  msg : 4030304641...
//   lib[HLink]127.0.0.1:9600 Area=D0 bad answer: FCS 48, computed 47  msg : ...
//   lib[HLink]127.0.0.1:9600 Area=D0 报文过长，减半重发 len = 134 code = 1001
//
// Every failure's reason names the unit, "(unit 00)".

#include <QStringList>

#include "FinsLog.h"
#include "HostLinkLines.h"

class HLinkLog : public FinsLog
{
public:
    explicit HLinkLog(const HostLinkLines &lines);

    QString text(Line line, const QString &tag, int count, const QByteArray &bytes,
                 quint16 endCode = 0) const override;
    // After an answer's trace line (written or not): the link's warnings
    // about that answer, which follow it.
    void trace(Line line, const QString &tag, int count, const QByteArray &bytes) const override;
    // A FINS answer that failed the check: "bad answer: <why>" and the why
    // with the unit as the reason. The link's own failures come as the
    // link words them.
    Outcome failed(const FinsFailure &failure) const override;

    // What the FA link says of a frame it could not use, and of answers it
    // dropped while none came for the request: held until the answer's
    // trace line.
    void holdBadAnswer(const QString &tag, const QString &why, const QByteArray &answer) const;
    void holdDropped(const QString &tag, int dropped) const;

    // Why a FINS answer failed the check, in Host Link's words; data
    // lengths are counted in hex characters.
    static QString why(const FinsFailure &failure);
    // "unit 00": the unit the FA request `request` went to.
    static QString unitOf(const QByteArray &request);

private:
    QString badAnswer(const QString &tag, const QString &why, const QByteArray &answer) const;

    const HostLinkLines &m_lines;
    mutable QStringList m_held; // warnings of the exchange under way
};

#endif // HLINKLOG_H
