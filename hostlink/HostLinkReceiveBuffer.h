#ifndef HOSTLINKRECEIVEBUFFER_H
#define HOSTLINKRECEIVEBUFFER_H

// Host Link answers reassembled from what a link receives, in a capped
// buffer, as the pieces both command sets know:
//
//   Frame      "@" ... "*" CR         a whole answer, or the last frame of a long block
//   Block      ... FCS CR, no "*"     a frame of a long block that is not the last
//   Delimiter  a lone CR              the controller asks for the next frame of ours
//
// A first frame starts at "@": what stands before it is noise and is dropped
// (noiseDropped()). Later frames of a long block carry no "@" (Expect::
// Continuation). Past the cap without a CR no piece can be in the buffer; it
// is dropped up to its next "@". Pure: no I/O.

#include <QByteArray>

struct HostLinkPiece {
    enum class Kind { Frame, Block, Delimiter };
    Kind kind = Kind::Frame;
    QByteArray bytes; // as received, CR included
};

class HostLinkReceiveBuffer
{
public:
    enum class Expect { First, Continuation };

    // Longest FA answer (1,115 characters) with a margin.
    static constexpr int DefaultCap = 1115 + 64;

    explicit HostLinkReceiveBuffer(int cap = DefaultCap);

    // Appends what arrived; true when the cap made it drop bytes.
    bool append(const QByteArray &bytes);
    // Takes the next complete piece; false when none is complete yet.
    bool take(Expect expect, HostLinkPiece *piece);

    void clear();
    bool isEmpty() const { return m_buffer.isEmpty(); }
    // What is buffered but not yet a piece.
    const QByteArray &pending() const { return m_buffer; }
    // Noise was dropped since clear().
    bool noiseDropped() const { return m_noise; }

private:
    void dropToFrameStart();

    QByteArray m_buffer;
    int m_cap;
    bool m_noise = false;
};

#endif // HOSTLINKRECEIVEBUFFER_H
