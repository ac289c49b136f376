#ifndef HLINKFINSLINK_H
#define HLINKFINSLINK_H

// The Host Link link of the FINS core: every FINS command (memory areas,
// controller data, status, clock) goes out in an FA frame over the active
// Host Link line (HostLinkLines), one exchange at a time (HLinkTransfer),
// as "@" unit "FA" ICF DA2 SA2 SID command parameters in upper-case hex.
// The FA answer is checked as a frame (HLinkFrame) and comes back as the
// FINS answer it carries, for the core's one answer check. What goes wrong
// with the frame itself is said here, in the Host Link log's words (the
// log writes it after the answer's trace line).

#include <functional>

#include "FinsLink.h"
#include "HLinkLog.h"
#include "HLinkTransfer.h"
#include "HostLinkConnectionText.h"
#include "HostLinkLines.h"

class HLinkFinsLink : public FinsLink
{
public:
    HLinkFinsLink(HostLinkLines &lines, const HLinkLog &log, std::function<int()> unit);

    // Opens the line the text names and makes it the active one: 0, -1 the
    // serial port could not be opened, -3 no TCP connection.
    int connect(const HostLinkConnectionText::Settings &settings);

    Outcome exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer) override;
    QByteArray wireFrame(const QByteArray &command) const override;
    bool isOpen() const override { return m_lines.isUp(); }
    // Connects again first when the text asked for it (reconnect=on). A
    // line that stays down is reported by the exchange, in its words.
    bool ready(bool *reopened) override;
    FinsCommand::Nodes nodes() const override { return {}; }
    quint64 droppedAnswers() const override { return m_transfer.dropped(); }

    // Rest-of-answer limit for an answer of `answerChars` carrying `words`
    // words: words x frame gap x 6 + the answer's line time, at least 50 ms.
    int restLimitMs(int words, int answerChars) const;

private:
    int restLimitFor(const QByteArray &command, const QByteArray &request) const;
    Outcome transferFailed(HLinkTransfer::Result result, const QString &tag, const QByteArray &request,
                           const QByteArray &fa) const;

    HostLinkLines &m_lines;
    const HLinkLog &m_log;
    HLinkTransfer m_transfer;
    std::function<int()> m_unit;
};

#endif // HLINKFINSLINK_H
