#ifndef ADDRESSGRAMMAR_H
#define ADDRESSGRAMMAR_H

#include <QString>

// Tag address texts such as D100, W5, H20.3, CIO10.3, A448, EM3200.4.
//
// The area is found by a case-insensitive substring search in a fixed order
// (CIO, W, H, A, EM1..EM5, D; each also by its FINS code text). The word
// address and bit number are strict: the text must begin with the area's name,
// the word must be a complete decimal number and a bit number, when a "." is
// present, too. Anything else is reported as Invalid, never as word 0.
namespace AddressGrammar {

constexpr int Invalid = -1;

// FINS memory-area codes for word access (0 when no area is named).
int areaCode(const QString &text);
// FINS memory-area codes for bit access (0 when no area is named).
int bitAreaCode(const QString &text);
// Bit-access code that belongs to a word-access code (0 for an unknown one).
int bitAreaFor(int wordArea);
// Word address; negative when the text holds a negative number or is not a
// valid address for `area` (Invalid).
int wordAddress(const QString &text, int area);
// Bit number after the "."; 0 when there is none; Invalid when malformed.
int bitNumber(const QString &text, int area);

} // namespace AddressGrammar

#endif // ADDRESSGRAMMAR_H
