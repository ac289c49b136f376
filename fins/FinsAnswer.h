#ifndef FINSANSWER_H
#define FINSANSWER_H

// The one check of a FINS answer against the command it answers, whatever
// carried it: SID, command code, node numbers, the end code with its flag
// bits masked, and the data length. Both `command` and `answer` start at the
// FINS header (no transport header). Pure functions.

#include <QByteArray>

#include "Outcome.h"

namespace FinsAnswer {

// Whether a frame is the answer to `command` at all; links use it to drop
// stale and foreign frames while they wait.
enum class Match {
    Ours,       // a response with our SID, command code and node numbers
    WrongNodes, // our SID and command code, addressed to someone else
    Foreign,    // another SID or command code: stale, duplicated or foreign
    Malformed   // not a FINS response: too short, too long, not a response
};
Match match(const QByteArray &command, const QByteArray &answer);

// What is wrong with an answer already matched by its SID, checked in
// this order.
enum class Fault { None, Malformed, Command, Nodes, EndCode, Length };

// Checks `answer` (matched by its SID) against `command`: the command code
// echoed, node numbers exchanged, a normal end code (00 40 is one), and
// exactly `dataBytes` bytes after the end code (-1: any length). Done, or
// EndCode / BadAnswer with the reason in words and the end code; the
// Outcome's step is "answer" ("nodes" when the node numbers are wrong).
// `*fault` (if given) says which check failed. Links that drop answers
// with another command code as foreign never see the Command fault.
Outcome check(const QByteArray &command, const QByteArray &answer, int dataBytes, Fault *fault = nullptr);

// The data after the end code.
QByteArray data(const QByteArray &answer);

} // namespace FinsAnswer

#endif // FINSANSWER_H
