#include "HostLinkReceiveBuffer.h"

namespace {

const char kTerminator[] = "*\r";

} // namespace

HostLinkReceiveBuffer::HostLinkReceiveBuffer(int cap)
    : m_cap(cap)
{
}

void HostLinkReceiveBuffer::clear()
{
    m_buffer.clear();
    m_noise = false;
}

void HostLinkReceiveBuffer::dropToFrameStart()
{
    if (m_buffer.isEmpty() || m_buffer.at(0) == '@')
        return;
    const int at = m_buffer.indexOf('@');
    m_buffer.remove(0, at < 0 ? m_buffer.size() : at);
    m_noise = true;
}

bool HostLinkReceiveBuffer::append(const QByteArray &bytes)
{
    const bool before = m_noise;
    // Noise is dropped when a piece is taken: only then is it known whether
    // the next piece starts at "@".
    m_buffer += bytes;
    // Past the cap without a CR no piece can be in the buffer.
    while (m_buffer.size() > m_cap && m_buffer.indexOf('\r') < 0) {
        const int at = m_buffer.indexOf('@', 1);
        m_buffer.remove(0, at < 0 ? m_buffer.size() : at);
        m_noise = true;
    }
    return m_noise && !before;
}

bool HostLinkReceiveBuffer::take(Expect expect, HostLinkPiece *piece)
{
    if (expect == Expect::First)
        dropToFrameStart();
    const int cr = m_buffer.indexOf('\r');
    if (cr < 0)
        return false;
    const int end = cr + 1;
    QByteArray bytes = m_buffer.left(end);
    m_buffer.remove(0, end);
    if (expect == Expect::First && bytes.endsWith(kTerminator)) {
        // A cut-off answer followed by a whole one: the last "@" starts the frame.
        const int start = bytes.lastIndexOf('@');
        if (start > 0) {
            bytes.remove(0, start);
            m_noise = true;
        }
    }
    piece->kind = bytes.size() == 1 ? HostLinkPiece::Kind::Delimiter
        : bytes.endsWith(kTerminator) ? HostLinkPiece::Kind::Frame
                                      : HostLinkPiece::Kind::Block;
    piece->bytes = bytes;
    return true;
}
