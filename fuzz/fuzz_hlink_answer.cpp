// The Host Link receive side: bytes in pieces appended to the capped buffer,
// frames taken off it as the link does, each checked against a read (or
// write) request and its data digits decoded as the driver decodes them.
#include "FuzzInput.h"
#include "HLinkCodec.h"
#include "HLinkFrame.h"

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
    QByteArray buffer;
    while (!in.atEnd()) {
        const QByteArray piece = in.take(1 + in.byte() % 128);
        HLinkFrame::appendReceived(&buffer, piece);
        FUZZ_CHECK(buffer.size() <= HLinkFrame::ReceiveCap + piece.size());
        HLinkFrame::frameEnd(buffer);
        QByteArray frame;
        bool noise = false;
        while (HLinkFrame::takeFrame(&buffer, &frame, &noise)) {
            const HLinkFrame::AnswerCheck check = HLinkFrame::checkAnswer(frame, request);
            if (check.verdict == HLinkFrame::Verdict::Accepted) {
                HLinkCodec::decode(type, check.digits, count);
                HLinkCodec::decodeBits(count % 16, check.digits, count);
            }
        }
    }
    return 0;
}
