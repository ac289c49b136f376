#ifndef HLINKFINSLINK_H
#define HLINKFINSLINK_H

// Any FINS command in an FA frame, for the FINS core's controller commands
// (controller data, status, clock) over the Host Link line of CmdHLink: the
// FINS command goes out as "@" unit "FA" ICF DA2 SA2 SID command parameters,
// and the FA answer comes back as the FINS answer it carries (a FINS header
// with the node numbers exchanged, command code, end code, data), so the
// core's one answer check applies. Memory-area commands keep their own FA
// path in CmdHLink.

#include <functional>

#include "CmdHLink.h"
#include "FinsLink.h"

class HLinkFinsLink : public FinsLink
{
public:
    HLinkFinsLink(CmdHLink &cmd, std::function<int()> unit) : m_cmd(cmd), m_unit(std::move(unit)) {}

    Outcome exchange(const QByteArray &command, const FinsExchangeContext &context, QByteArray *answer) override;
    QByteArray wireFrame(const QByteArray &command) const override;
    bool isOpen() const override { return m_cmd.lines().isUp(); }
    FinsCommand::Nodes nodes() const override { return {}; }
    quint64 droppedAnswers() const override { return m_cmd.droppedAnswers(); }

private:
    CmdHLink &m_cmd;
    std::function<int()> m_unit;
};

#endif // HLINKFINSLINK_H
