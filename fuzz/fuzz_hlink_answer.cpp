// The Host Link receive side: bytes in pieces appended to the capped buffer,
// frames taken off it as the link does, each checked against a read (or
// write) request, the FINS answer it carries checked by the core, and its
// data decoded as the driver decodes it.
#include "FinsAnswer.h"
#include "FinsCodec.h"
#include "FinsCommand.h"
#include "FuzzInput.h"
#include "HLinkFrame.h"
#include "HostLinkReceiveBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const int unit = in.byte() % 32, sid = in.byte(), type = in.byte() % 14, count = in.word();
    const bool write = in.byte() & 1;
    const int words = 1 + in.word() % HLinkFrame::MaxReadWords;
    const QByteArray command = write ? FinsCommand::writeWordsCommand(0, 0, quint8(sid), 0x82, in.word(), QByteArray(2, '\1'))
                                     : FinsCommand::readCommand(0, 0, quint8(sid), 0x82, in.word(), words);
    const QByteArray request = HLinkFrame::request(unit, command);
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
            if (check.verdict != HLinkFrame::Verdict::Accepted)
                continue;
            const QByteArray fins = HLinkFrame::finsAnswer(piece.bytes, command);
            if (FinsAnswer::check(command, fins, write ? -1 : 2 * words).ok())
                FinsCodec::decode(type, FinsAnswer::data(fins), count, count % 16);
        }
    }
    return 0;
}
