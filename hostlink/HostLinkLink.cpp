#include "HostLinkLink.h"

namespace {

// Raw bytes of one exchange kept for the log (a little beyond the largest answer).
constexpr int kReceivedCap = 2 * HostLinkReceiveBuffer::DefaultCap;

} // namespace

HostLinkLink::~HostLinkLink() = default;

void HostLinkLink::discardInput()
{
    // Whatever is already here answers no request of this exchange.
    readAvailable();
    m_buffer.clear();
    m_received.clear();
}

void HostLinkLink::takeIn(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_received.size() < kReceivedCap)
        m_received += bytes.left(kReceivedCap - m_received.size());
    m_buffer.append(bytes);
}

HostLinkLink::Wait HostLinkLink::receive(HostLinkReceiveBuffer::Expect expect, const QDeadlineTimer &deadline,
                                         HostLinkPiece *piece)
{
    bool arrived = false;
    for (;;) {
        const QByteArray bytes = readAvailable();
        if (!bytes.isEmpty()) {
            takeIn(bytes);
            arrived = true;
        }
        if (m_buffer.take(expect, piece))
            return Wait::Piece;
        if (arrived)
            return Wait::Bytes;
        if (!isOpen())
            return Wait::Gone;
        if (deadline.hasExpired())
            return Wait::Timeout;
        if (!waitForBytes(deadline))
            return Wait::Gone;
    }
}
