#ifndef FINSSPLIT_H
#define FINSSPLIT_H

// A transfer of any size as the commands that carry it, in address order:
// pure arithmetic on the limits (FinsLimits), shared by every transport and
// by Host Link's FA frames. A caller may send the parts in another order
// (the last first, say) or stop at the first that fails.

#include <QVector>

namespace FinsSplit {

struct Part {
    int word = 0;   // first word of the part
    int bit = 0;    // first bit in that word (bit transfers; 0 for words)
    int offset = 0; // items (words or bits) of the transfer before this part
    int count = 0;  // items in this part
};

// `words` words from `word` on, at most `maxWords` per part. A transfer of
// no words is one empty part: the command still goes out, as it always has.
QVector<Part> words(int word, int words, int maxWords);
// `bits` bit items from bit `bit` (any number, 16 and above name later
// words) of `word` on, at most `maxBits` per part (a multiple of 16 keeps
// every part's first bit the same).
QVector<Part> bits(int word, int bit, int bits, int maxBits);

} // namespace FinsSplit

#endif // FINSSPLIT_H
