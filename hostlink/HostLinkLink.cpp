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
    m_arrived += bytes.size();
    if (m_received.size() < kReceivedCap)
        m_received += bytes.left(kReceivedCap - m_received.size());
    m_buffer.append(bytes);
}

HostLinkLink::Wait HostLinkLink::receive(HostLinkReceiveBuffer::Expect expect, const QDeadlineTimer &deadline,
                                         HostLinkPiece *piece)
{
    // Bytes may also come in through the named handlers while waiting.
    const quint64 before = m_arrived;
    for (;;) {
        takeIn(readAvailable());
        if (m_buffer.take(expect, piece))
            return Wait::Piece;
        if (m_arrived != before)
            return Wait::Bytes;
        if (!isOpen())
            return Wait::Gone;
        if (deadline.hasExpired())
            return Wait::Timeout;
        if (!waitForBytes(deadline))
            return Wait::Gone;
    }
}
