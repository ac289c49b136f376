// The FINS answer check shared by both FINS transports, and the FINS/UDP
// datagram check: one whole frame against a request whose fields come from
// the input, then its data decoded as the driver decodes a read.
#include "FinsCodec.h"
#include "FinsCommand.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const int type = in.byte() % 14;
    const int count = in.word();
    const int bit = in.byte() % 16;
    const QByteArray request = FinsCommand::readCommand(in.byte(), in.byte(), in.byte(), 0x82, in.word(), in.word());
    const QByteArray answer = in.rest();
    FinsCommand::matchAnswer(request, answer);
    FinsCommand::nodesMatch(request, answer);
    if (FinsCommand::checkAnswer(request, answer) == FinsCommand::Verdict::Ours
        && FinsCommand::isNormalCompletion(FinsCommand::endCode(answer)))
        FinsCodec::decode(type, answer.mid(FinsCommand::OffData), count, bit);
    return 0;
}
