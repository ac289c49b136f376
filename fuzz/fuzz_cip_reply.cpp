// The EtherNet/IP receive side: bytes in pieces into a bounded buffer, each
// complete encapsulation frame taken off it, its header and Message Router
// reply read and checked, and the reply's values decoded with any type and
// count; identity and controller-object answers and variable paths too.
#include "CipCodec.h"
#include "CipEncap.h"
#include "CipIdentity.h"
#include "CipMessage.h"
#include "CipPath.h"
#include "FuzzInput.h"

#include <QString>

namespace {

void readReply(const QByteArray &frame, quint8 service, int type, int count)
{
    CipEncap::Header header;
    if (!CipEncap::parseHeader(frame, &header))
        return;
    QByteArray reply;
    quint16 sequence = 0;
    if (!CipEncap::unwrapReply(frame, &reply, &sequence))
        return;
    CipMessage::Reply parsed;
    CipMessage::check(reply, service, &parsed);
    QVariant values;
    if (CipCodec::decode(type, parsed.data, count, &values))
        FUZZ_CHECK(CipCodec::listSize(type, values) == count);
    QString text;
    CipCodec::decodeString(parsed.data, &text);
    ControllerIdentity identity;
    CipIdentity::parseListIdentity(frame.mid(24), &identity);
    ControllerStatus status;
    CipIdentity::parseMode(parsed.data, &status);
    CipIdentity::parseModel(parsed.data, &text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const quint8 service = in.byte();
    const int type = in.byte() % 14, count = in.word() % 2048;
    CipPath::parse(QString::fromUtf8(in.take(in.byte())));
    QByteArray buffer;
    while (!in.atEnd()) {
        buffer += in.take(1 + in.byte() % 256);
        int length;
        while ((length = CipEncap::completeFrame(buffer)) > 0) {
            FUZZ_CHECK(length <= buffer.size());
            readReply(buffer.left(length), service, type, count);
            buffer.remove(0, length);
        }
        if (buffer.size() > 70000) // no frame that long: the link drops it too
            buffer.clear();
    }
    return 0;
}
