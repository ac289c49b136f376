// The Host Link receive side: bytes in pieces appended to the capped buffer,
// frames taken off it as the link does, each checked against a read (or
// write) request and its data digits decoded as the driver decodes them.
#include "FuzzInput.h"
#include "HLinkCodec.h"
#include "HLinkFrame.h"
#include "HostLinkReceiveBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const int unit = in.byte() % 32, sid = in.byte(), type = in.byte() % 14, count = in.word();
    const bool write = in.byte() & 1;
    const int words = 1 + in.word() % HLinkFrame::MaxReadWords;
    const QByteArray request = write ? HLinkFrame::writeRequest(unit, sid, 0x82, in.word(), QByteArray(4, '\1'))
                                     : HLinkFrame::readRequest(unit, sid, 0x82, in.word(), words);
    HLinkFrame::expectedAnswerLength(request);
    HLinkFrame::expectedDataWords(request);
    HostLinkReceiveBuffer buffer;
    const auto expect = in.byte() & 1 ? HostLinkReceiveBuffer::Expect::First : HostLinkReceiveBuffer::Expect::Continuation;
    while (!in.atEnd()) {
        const QByteArray bytes = in.take(1 + in.byte() % 128);
        buffer.append(bytes);
        FUZZ_CHECK(buffer.pending().size() <= HostLinkReceiveBuffer::DefaultCap + bytes.size());
        HostLinkPiece piece;
        while (buffer.take(expect, &piece)) {
            FUZZ_CHECK(piece.bytes.endsWith('\r'));
            const HLinkFrame::AnswerCheck check = HLinkFrame::checkAnswer(piece.bytes, request);
            if (check.verdict == HLinkFrame::Verdict::Accepted) {
                HLinkCodec::decode(type, check.digits, count);
                HLinkCodec::decodeBits(count % 16, check.digits, count);
            }
        }
    }
    return 0;
}
