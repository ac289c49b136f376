#ifndef PLCSIM_FINSUDPFRAMES_H
#define PLCSIM_FINSUDPFRAMES_H

// FINS/UDP datagrams, controller side: a datagram is a bare FINS frame (the
// 10-byte FINS header, command code, parameters), nothing around it.

#include <QByteArray>
#include <QtGlobal>

namespace plcsim {

struct Faults;
struct FinsResult;

namespace finsudp {

constexpr int kHeaderSize = 10;
constexpr int kMaxFrame = 2012;
constexpr int kMaxAnswerData = kMaxFrame - kHeaderSize - 2 - 2;

enum class Verdict {
    Command,    // for this node, answer wanted
    NoAnswer,   // for this node, ICF says no response wanted
    ForeignNode, // DA1 is not this node
    NotCommand, // too short for header and command code, or a response
};

// What a controller with node number `node` makes of `datagram`.
Verdict classify(const QByteArray &datagram, int node);

// The answer to `command` carrying `result`, with the header faults of
// `faults` (wrongNode, wrongSid, cutShort, garbage) applied.
QByteArray answer(const QByteArray &command, const FinsResult &result, const Faults &faults);

// Node number a controller bound to `address` takes by default: the last
// octet of an IPv4 address, 0 when there is none that could be a node.
int nodeOfAddress(const QString &address);

} // namespace finsudp
} // namespace plcsim

#endif
