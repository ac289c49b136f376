// The FINS/TCP receive side: a byte stream cut into pieces as the socket
// delivers them, reassembled by findFrame as the link does, each frame read
// as a node answer and checked against a read request as an answer.
#include "FinsFrame.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const int words = in.word();
    const QByteArray request = FinsFrame::readFrame(in.byte(), in.byte(), in.byte(), 0x82, in.word(), words);
    QByteArray buffer;
    while (!in.atEnd()) {
        buffer += in.take(1 + in.byte() % 64);
        int frameSize = 0;
        for (;;) {
            const FinsFrame::Scan scan = FinsFrame::findFrame(buffer, &frameSize);
            if (scan == FinsFrame::Scan::Garbage)
                buffer.clear();
            if (scan != FinsFrame::Scan::Complete)
                break;
            FUZZ_CHECK(frameSize >= FinsFrame::HeaderSize && frameSize <= buffer.size());
            const QByteArray frame = buffer.left(frameSize);
            buffer.remove(0, frameSize);
            FinsFrame::readNodeAnswer(frame);
            FinsFrame::tcpCommand(frame);
            FinsFrame::tcpErrorCode(frame);
            if (FinsFrame::matchAnswer(request, frame) == FinsFrame::Match::Ours) {
                FinsFrame::readAnswerFault(request, frame, 2 * words);
                FinsFrame::isNormalCompletion(FinsFrame::endCode(frame));
            }
        }
    }
    return 0;
}
