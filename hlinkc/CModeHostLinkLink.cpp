#include "CModeHostLinkLink.h"

#include "HostLinkSerialLink.h"
#include "HostLinkTcpLink.h"

CModeHostLinkLink::CModeHostLinkLink() = default;

CModeHostLinkLink::~CModeHostLinkLink() = default;

int CModeHostLinkLink::open(const HostLinkConnectionText::Settings &settings)
{
    if (line)
        line->close();
    tcp = nullptr;
    if (settings.serial) {
        auto serial = std::make_unique<HostLinkSerialLink>();
        serial->setSettings(settings.line);
        line = std::move(serial);
    } else {
        auto link = std::make_unique<HostLinkTcpLink>();
        link->setSettings(settings.tcp);
        tcp = link.get();
        line = std::move(link);
    }
    line->setLogPrefix(QStringLiteral("lib[HLinkC]"));
    return line->open();
}

int CModeHostLinkLink::close()
{
    return line ? line->close() : 1;
}

int CModeHostLinkLink::release()
{
    if (!line)
        return 1;
    line->close();
    line.reset();
    tcp = nullptr;
    return 0;
}

bool CModeHostLinkLink::reopen(int timeoutMs)
{
    return tcp ? tcp->reopen(timeoutMs) : isUp();
}

CModeLink::Received CModeHostLinkLink::receive(QByteArray *piece, const QDeadlineTimer &deadline, bool continuation)
{
    if (!line)
        return Received::Down;
    // Later frames and lone CRs carry no "@": the buffer must not take them for noise.
    const auto expect = continuation ? HostLinkReceiveBuffer::Expect::Continuation : HostLinkReceiveBuffer::Expect::First;
    for (;;) {
        HostLinkPiece got;
        switch (line->receive(expect, deadline, &got)) {
        case HostLinkLink::Wait::Piece: *piece = got.bytes; return Received::Piece;
        case HostLinkLink::Wait::Bytes: continue;
        case HostLinkLink::Wait::Timeout: return Received::TimedOut;
        case HostLinkLink::Wait::Gone: return Received::Down;
        }
    }
}

void CModeHostLinkLink::dropInput()
{
    if (line)
        line->discardInput();
}
