#include "FinsSplit.h"

#include <QtGlobal>

namespace FinsSplit {

QVector<Part> words(int word, int words, int maxWords)
{
    QVector<Part> parts;
    const int step = qMax(1, maxWords);
    int done = 0;
    do {
        const int n = qMin(words - done, step);
        parts.append(Part{word + done, 0, done, qMax(n, 0)});
        done += qMax(n, 1);
    } while (done < words);
    return parts;
}

QVector<Part> bits(int word, int bit, int bits, int maxBits)
{
    QVector<Part> parts;
    const int step = qMax(1, maxBits);
    int done = 0;
    do {
        const int n = qMin(bits - done, step);
        // 64-bit: a bit number near INT_MAX must not wrap into another word.
        const long long first = static_cast<long long>(bit) + done;
        parts.append(Part{int(word + first / 16), int(first % 16), done, qMax(n, 0)});
        done += qMax(n, 1);
    } while (done < bits);
    return parts;
}

} // namespace FinsSplit
