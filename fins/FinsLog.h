#ifndef FINSLOG_H
#define FINSLOG_H

// The log lines of the FINS memory-area exchanges, in one place for every
// FINS plug-in: the plug-in's prefix ("lib[FinsNet]", "lib[FinsUdp]") is a
// parameter, the words are the same. Traces go out at debug level and only
// while frame logging is on; warnings always. A plug-in whose lines have
// words of their own (Host Link) derives and renders them itself.
//
//   <prefix>读命令 192.168.250.1:9600 Area=D100  len = 2 msg : 46494e53...
//   <prefix>报文结束码错误 192.168.250.1:9600 Area=D100  len = 2 code = 1101 msg : ...

#include <QByteArray>
#include <QString>

#include "FinsAnswer.h"
#include "Outcome.h"

// A memory-area part that failed: in the exchange (`fault` None: the
// link's outcome) or in the answer check (`outcome` is the check's, with
// the frames as on the wire).
struct FinsFailure {
    Outcome outcome;
    FinsAnswer::Fault fault = FinsAnswer::Fault::None;
    QByteArray command; // the FINS command and answer (empty when none came)
    QByteArray answer;
    int dataBytes = -1; // what the check expected after the end code (-1: any)
    QString tag;
    int count = 0;
    bool write = false;
    bool quiet = false; // a refusal the transfer answers by shrinking: its one line comes later
};

class FinsLog
{
public:
    enum class Line {
        ReadCommand,       // 读命令
        WriteCommand,      // 写命令 (bit writes; word writes too when prefixed)
        Response,          // 响应
        WordWriteCommand,  // 写命令 of a word write
        WordWriteResponse, // 响应 of a word write
        EmptyAnswer,       // 返回的报文长度为0
        BadLength,         // 报文返回长度错误
        BadNodes,          // 目标地址，源地址错误
        BadEndCode,        // 报文结束码错误 (with the end code)
        Resend,            // 无响应，重发
        Shrunk             // 报文过长 (with the end code; the count is the new words or bits per command)
    };

    // `prefixWordWrites` false: a word write's two trace lines carry no
    // prefix (the FINS/TCP plug-in has always written them so).
    explicit FinsLog(const QString &prefix, bool prefixWordWrites = true);
    virtual ~FinsLog();

    QString prefix() const { return m_prefix; }
    void setPeer(const QString &address, int port);
    void setDebug(bool on) { m_debug = on; }
    bool debug() const { return m_debug; }

    // One line: the peer, the tag, the count and `bytes` as lower-case hex;
    // BadEndCode also `endCode` as four upper-case hex digits.
    virtual QString text(Line line, const QString &tag, int count, const QByteArray &bytes,
                         quint16 endCode = 0) const;
    virtual void trace(Line line, const QString &tag, int count, const QByteArray &bytes) const;
    void warn(Line line, const QString &tag, int count, const QByteArray &bytes, quint16 endCode = 0) const;
    // A warning of the plug-in's own words: the prefix, then `text`.
    void warnText(const QString &text) const;
    // The warning of a failed part, and the outcome the transfer ends in:
    // no answer when nothing (or only answers for other nodes) came, a bad
    // answer when bytes came that were none.
    virtual Outcome failed(const FinsFailure &failure) const;

private:
    QString m_prefix;
    QString m_address;
    QString m_port;
    bool m_prefixWordWrites;
    bool m_debug = false;
};

#endif // FINSLOG_H
