// Texts a host passes in: the FINS/UDP and Host Link connection texts, the
// numeric addresses, the reconnect field of the TCP texts, and tag addresses (the grammar, then the common request
// checks on what it found).
#include "AddressGrammar.h"
#include "FuzzInput.h"
#include "HostLinkConnectionText.h"
#include "NumericAddress.h"
#include "ReconnectOption.h"
#include "TagRequest.h"
#include "UdpConnectionText.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const int type = in.byte() % 14;
    const int count = in.int32();
    const QString text = QString::fromUtf8(in.rest());
    UdpConnectionText::Settings settings;
    QString error;
    if (UdpConnectionText::parse(text, &settings, &error))
        FUZZ_CHECK(settings.port != 0 && !settings.address.isEmpty());
    QString tcpText = text;
    bool reconnect = false;
    ReconnectOption::take(&tcpText, &reconnect);
    NumericAddress::parse(text);
    HostLinkConnectionText::Settings hostLink;
    const int verdict = HostLinkConnectionText::parse(text, &hostLink, &error);
    FUZZ_CHECK(verdict == 0 || verdict == -1 || verdict == -4);
    const int area = AddressGrammar::areaCode(text);
    AddressGrammar::bitAreaCode(text);
    AddressGrammar::bitAreaFor(area);
    const int word = AddressGrammar::wordAddress(text, area);
    const int bit = AddressGrammar::bitNumber(text, area);
    TagRequest::check(word, bit, area, count, type, TagRequest::boolWords(bit, count));
    return 0;
}
