// The word layout with any type code, count, bit and words: decoding never
// reads past the words it was given and never aborts, whatever the count;
// what it decodes encodes back to the same words.
#include "FuzzInput.h"
#include "WordLayout.h"

#include <climits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const int type = qint8(in.byte());
    // Mostly counts a read can have; now and then one beyond the cap, which
    // must be refused at once (the cap itself is the unit test's).
    const bool beyondCap = (in.byte() & 7) == 0;
    const int count = beyondCap
        ? WordLayout::MaxElements + 1 + int(quint32(in.int32()) % quint32(INT_MAX - WordLayout::MaxElements))
        : qint16(in.word()) / 8;
    const int bit = qint16(in.word());
    WordLayout::Words words;
    while (!in.atEnd())
        words.append(in.word());
    WordLayout::wordCount(type, count);
    WordLayout::byteCount(type, count);
    WordLayout::endsInHalfWord(type, count);
    WordLayout::toBits(bit, words, count);
    const QVariant elements = WordLayout::toElements(type, words, count);
    WordLayout::Words again;
    const int taken = WordLayout::fromElements(type, elements, count, &again);
    if (taken > 0 && taken * WordLayout::bytesPerElement(type) % 2 == 0 && again.size() <= words.size())
        FUZZ_CHECK(again == words.mid(0, again.size()));
    return 0;
}
