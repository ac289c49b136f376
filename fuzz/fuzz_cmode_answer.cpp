// The Host Link C-mode receive side: bytes in pieces through the capped
// buffer the links share, the first frame checked against the command sent,
// later frames of a long block checked on their own, and their words read
// as the plug-in reads them.
#include "CModeFrame.h"
#include "FuzzInput.h"
#include "HostLinkReceiveBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const kHeaders[] = {"RD", "RR", "RH", "RJ", "RE", "WD", "MS", "MM"};
    FuzzInput in(data, size);
    const int unit = in.byte() % 32;
    const QByteArray header(kHeaders[in.byte() % (sizeof kHeaders / sizeof *kHeaders)]);
    HostLinkReceiveBuffer buffer;
    bool first = true;
    while (!in.atEnd()) {
        const QByteArray bytes = in.take(1 + in.byte() % 160);
        buffer.append(bytes);
        FUZZ_CHECK(buffer.pending().size() <= HostLinkReceiveBuffer::DefaultCap + bytes.size());
        HostLinkPiece piece;
        const auto expect = first ? HostLinkReceiveBuffer::Expect::First : HostLinkReceiveBuffer::Expect::Continuation;
        while (buffer.take(expect, &piece)) {
            FUZZ_CHECK(piece.bytes.endsWith('\r'));
            const CModeFrame::FrameCheck check =
                first ? CModeFrame::checkFirst(piece.bytes, unit, header) : CModeFrame::checkLater(piece.bytes);
            if (check.verdict != CModeFrame::Verdict::Accepted)
                continue;
            first = check.last;
            CModeFrame::Words words;
            if (CModeFrame::parseWords(check.text, &words))
                FUZZ_CHECK(words.size() * 4 == check.text.size());
            CModeFrame::endCodeText(check.endCode);
        }
    }
    return 0;
}
