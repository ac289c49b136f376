#ifndef FINSLIMITS_H
#define FINSLIMITS_H

// How much one command may carry: words per Memory Area Read and Write and
// bit items per bit write. A value, not constants: a transport sets its own
// (a 2,012-byte FINS frame, a Host Link frame), and a driver may lower them
// at run time for a controller that answers "too long".

#include <QtGlobal>

struct FinsLimits {
    int readWords = 999;  // 01 01 in a 2,012-byte frame
    int writeWords = 997; // 01 02 of words in a 2,012-byte frame
    int writeBits = 1984; // 01 02 on a bit area; a multiple of 16, so every
                          // part after the first starts at the same bit

    // The limits of a 2,012-byte FINS frame (FINS/TCP, FINS/UDP).
    static FinsLimits frame2012() { return FinsLimits{}; }

    // Lowers the limits to at most the given ones (never below one word and
    // 16 bits; bits rounded down to a multiple of 16). False when nothing
    // could be lowered.
    bool lowerTo(int maxReadWords, int maxWriteWords, int maxWriteBits)
    {
        const FinsLimits before = *this;
        readWords = qMax(1, qMin(readWords, maxReadWords));
        writeWords = qMax(1, qMin(writeWords, maxWriteWords));
        writeBits = qMax(16, qMin(writeBits, maxWriteBits) / 16 * 16);
        return readWords != before.readWords || writeWords != before.writeWords || writeBits != before.writeBits;
    }
};

#endif // FINSLIMITS_H
