#ifndef PLCSIMULATOR_H
#define PLCSIMULATOR_H

// A simulated Omron controller: one memory image served over FINS/TCP,
// FINS/UDP and over Host Link ("FA" frames) on TCP and on a pseudo-terminal
// serial line.
//
// It is the other side of the wire and is written from the protocol alone:
// it shares no frame, check-code or value code with the plug-ins.
//
// Protocol behaviour worth knowing in tests:
// - FINS/TCP: client node 0 gets the first free node of 239-254 (then of
//   1-238); a node held by another open connection is refused with error
//   notification (command 3) 0x21, a node above 254 with 0x23, and the
//   connection is closed. A frame without the "FINS" magic (0x01), with a
//   length field above 2020 (0x02) or of an unknown command (0x03) gets an
//   error notification and the connection is closed. A command whose ICF
//   has bit 0 set runs but is not answered; a command 2 frame too short to
//   hold a FINS header and command code is dropped. A requested node equal
//   to the controller's own is accepted (no 0x24), so a client that picks
//   its node at random never fails on that.
// - FINS/UDP: each datagram is one FINS frame. A datagram shorter than a
//   FINS header and command code, one with the ICF response bit set, and a
//   command whose DA1 is not this unit's node are dropped unanswered (they
//   count in Stats::udpDropped). A command above 2012 bytes gets end code
//   1001 unexecuted. Answers carry DA/SA exchanged, ICF C0 and the SID, and
//   go to the sender's address and port, or to its address at the port
//   set with setFinsUdpAnswerPort. Answers larger than 999 words get 110B.
// - Memory area commands: end codes 1001/1002 (parameters or write data too
//   long/short), 1101 (area unknown), 1103 (start address out of range, bit
//   number not 00 on word access or above 15 on bit access), 1104 (beyond
//   the area's end), 110B (answer larger than 999 words on FINS/TCP or 269
//   words on Host Link), 110C (a bit item other than 00/01), 2101 (A area
//   below A448), 0401 (any other command code but the controller commands).
// - The controller model (setModel) narrows these: a command larger than
//   its frame gets its "command too long" code (1001), a read whose answer
//   would not fit its "answer too long" code (110B), on every protocol.
// - Controller commands: 05 01 (model, version, DM words, EM banks), 06 01
//   (mode, error flags, code and message of setCondition), 07 01 / 07 02
//   (a running clock; a field out of range gets 110C and sets nothing).
// - Host Link: a frame for another unit gets no answer. A frame for this
//   unit with a wrong FCS (or FCS digits that are not upper-case hex) gets
//   end code 13, a malformed "FA" frame 14, a frame above 1115 characters
//   18, a header code neither "FA" nor C-mode the "IC" answer. The response wait
//   time digit of a request delays its answer by that many times 10 ms.
//   Answers carry the request's DA2 and SA2 exchanged, as FINS answers do.
// - Host Link C-mode on the same ports, told apart from FA by the header
//   (CModeResponder.h): RR RH RD RJ RE / WR WH WD WJ WE reach CIO 0-6143,
//   H 0-511, A 0-959 (writes from A448), D and EM 0-9999; long blocks both
//   ways with the lone-CR handshake; RUN mode refuses writes with 01; a
//   write is applied only when all its frames are in.
//
// All servers run on a thread of their own, so a driver that blocks its
// calling thread while it waits for an answer can talk to a simulator
// created on that same thread (the usual case in tests). Every public member
// is thread-safe.

#include "ControllerModel.h"

#include <QByteArray>

#include "CModeSettings.h"
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace plcsim {

// Memory areas by their FINS word-access code.
enum class Area : quint8 {
    CIO = 0xB0,
    W = 0xB1,
    H = 0xB2,
    A = 0xB3,
    D = 0x82,
    EM0 = 0xA0, // EM banks 0..C are 0xA0..0xAC
};

// Area code of EM bank `bank` (0..12).
constexpr Area emBank(int bank) { return static_cast<Area>(0xA0 + bank); }

// Faults the simulator injects into its answers. They stay in force until
// changed; a default-constructed Faults means a well-behaved controller.
//
// Scope: faults act on command frames only, that is FINS/TCP command 2
// frames, FINS/UDP commands for this node and Host Link "FA" frames
// addressed to this unit with a valid FCS.
// The FINS node address handshake (but for the two handshake faults at the
// end, which touch nothing else), FINS/TCP error notifications and Host
// Link protocol error answers (13 FCS error, 14 format error, 18 frame
// length error, "IC" undefined command) are never altered, except that
// `silent` drops those Host Link error answers too. The settings are read
// once per request, when the request is taken up.
//
// Several faults combine in this order: the command runs (or not, see
// `silent`, `loseCommands` and the end codes), the answer is built with the header faults
// (wrongNode, wrongSid, wrongUnit, cutShort, badFcs, missingTerminator,
// oversizedLength) or replaced as a whole (garbage), a stale copy is put in
// front (staleFirst), and the whole is sent after `delayMs` in chunks. On
// FINS/UDP, where each datagram is taken up on its own, `delayMs` delays
// each answer from the arrival of its command while later commands are
// served (a late answer can arrive after the answer to a later command);
// chunks and the length field do not apply there, and `loseAnswers`,
// `duplicateAnswer` and `answerFromOtherPort` act on the answers last.
struct Faults {
    // Wait this long before the first byte of the answer. The command has
    // already run (a delayed write changes memory at once). On the serial
    // line the delay counts from the end of the request's line time.
    int delayMs = 0;
    // > 0: send each answer in pieces of this many bytes, with `chunkGapMs`
    // between the end of one piece and the start of the next.
    int chunkSize = 0;
    int chunkGapMs = 0;
    // Drop every command frame unexecuted and unanswered: reads are never
    // answered and writes do NOT change memory. The frame still counts in
    // Stats (finsFrames / hostLinkFrames).
    bool silent = false;
    // FINS: the answer's DA1 and SA1 are one above the exchanged values
    // (the client's and the controller's node numbers), so neither matches.
    bool wrongNode = false;
    // FINS and Host Link: the answer's SID is the request's SID + 1 (mod 256).
    bool wrongSid = false;
    // FINS end code (MRES << 8 | SRES) to answer with, FINS/TCP and inside
    // Host Link answers. An error code (nonzero once the relay flag 0x8000
    // and the status flags 0x00C0 are masked) rejects the command: nothing
    // is executed, memory is not changed, the answer carries no data. A
    // code that is only flags (0x0040, 0x0080, 0x8000) runs the command and
    // answers with that code and the data, as a controller in a non-fatal
    // error state does.
    quint16 endCode = 0;
    // Instead of the answer, send bytes that are no frame at all: 22 bytes
    // without the "FINS" magic on FINS/TCP; a 12-byte datagram whose ICF is
    // no response on FINS/UDP; "#%GARBAGE!NOISE?~*" CR (no "@", but
    // terminated) on Host Link. The command has run.
    bool garbage = false;
    // FINS: the answer's length field is 0x7FFFFFF0; the bytes after the
    // header are those of the normal answer.
    bool oversizedLength = false;
    // > 0: close a TCP connection once this many command answers have been
    // sent on it (counted per connection; a new connection starts at 0).
    // Ignored on the serial line, which the controller cannot hang up.
    int closeAfterFrames = 0;
    // Host Link only
    bool badFcs = false;        // answer FCS is the right one XOR 0x5A
    bool wrongUnit = false;     // answer carries unit + 1 (FA and C-mode)
    // Host Link end code to answer with: nonzero gives "@", unit, "FA",
    // this code, FCS, "*", CR, nothing else, and executes nothing.
    quint8 hostLinkEndCode = 0;
    bool missingTerminator = false; // answer ends after the FCS, without "*" CR
    // The answer loses the second half of its data (rounded up) with the
    // FINS/TCP length field and the Host Link FCS made to match, so it is
    // well formed but too short; an answer without data loses the low byte
    // of its end code instead. Applies to FINS/TCP as well.
    bool cutShort = false;
    // Before the real answer, send again the previous answer sent on this
    // connection or line (as it went out, faults included), as a late answer
    // to an earlier request would arrive. Nothing extra for the first answer.
    bool staleFirst = false;
    // FINS node address handshake (the faults above leave it alone):
    // nonzero refuses every node request with an error notification carrying
    // this code, then closes the connection ...
    quint32 handshakeError = 0;
    // ... or leave node requests unanswered (the connection stays open).
    bool silentHandshake = false;
    // FINS/UDP only. The next N commands for this node are lost on the way
    // in: unexecuted, unanswered. The simulator counts this down, so
    // faults() shows how many are still to be lost.
    int loseCommands = 0;
    // The next N commands that want an answer run, but their answers are
    // lost on the way out; counted down like loseCommands. Commands lost
    // on the way in do not count here.
    int loseAnswers = 0;
    // Every answer goes out twice, as a network that duplicates datagrams
    // delivers it (with staleFirst: the stale copy once, the answer twice).
    bool duplicateAnswer = false;
    // Answers come from another UDP port of the unit's address, not from
    // the port the command went to (a client that reads only datagrams from
    // the controller's port never sees them).
    bool answerFromOtherPort = false;
    // EtherNet/IP only. Read Tag and Write Tag requests are answered with
    // this general status (and `cipAdditional` when >= 0) and no data,
    // unexecuted; 0 leaves them alone.
    int cipStatus = 0;
    int cipAdditional = -1;
    // Replies carry the session handle + 1 / the sender context + 1.
    bool cipWrongSession = false;
    bool cipWrongContext = false;
    // 1-byte writes of an odd count are refused (0x13) without the pad byte.
    bool cipPadRequired = false;
    // On EtherNet/IP `silent` leaves everything but RegisterSession
    // unanswered, `cutShort` cuts the second half off the Message Router
    // reply (lengths made to match), `garbage` sends replies whose item
    // count does not match their items, `delayMs` delays each request's
    // reply and `closeAfterFrames` drops the session after that many.
};

// Counters a test can wait on.
struct Stats {
    int connections = 0;        // connections accepted (FINS and Host Link TCP)
    int finsFrames = 0;         // FINS command frames received (node requests excluded; on UDP
                                // the commands for this node)
    int hostLinkFrames = 0;     // Host Link frames received with a valid FCS (any unit)
    int writes = 0;             // memory area writes executed (end code normal)
    int udpDropped = 0;         // FINS/UDP datagrams dropped: another node's, or no command
    int cipRequests = 0;        // EtherNet/IP encapsulation frames received
    int cipSessions = 0;        // EtherNet/IP sessions registered
};

class Simulator
{
public:
    Simulator();
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Listen on 127.0.0.1 (or `bindAddress`). Port 0 takes a free one.
    // Returns the port listened on, 0 on failure.
    quint16 startFins(quint16 port = 0, const QString &bindAddress = QStringLiteral("127.0.0.1"));
    quint16 startHostLinkTcp(quint16 port = 0, const QString &bindAddress = QStringLiteral("127.0.0.1"));
    // Open a pseudo-terminal pair and serve Host Link on its master side,
    // pacing output at `baud` (10 bits per character). Returns the slave's
    // device path ("/dev/pts/N"), empty on failure.
    QString startHostLinkSerial(int baud);
    // Serve FINS/UDP on `bindAddress`:`port` (0 takes a free port). Returns
    // the port bound, 0 on failure. The unit's node number is the last
    // octet of `bindAddress` unless setServerNode says otherwise (and 1 when
    // bound to "any").
    quint16 startFinsUdp(quint16 port = 0, const QString &bindAddress = QStringLiteral("127.0.0.1"));
    // FINS/UDP answers go to the sender's address at `port` (a unit set up
    // for static address conversion); 0, the default, answers to the port
    // the command came from.
    void setFinsUdpAnswerPort(quint16 port);
    // Serve EtherNet/IP explicit messages (an NX102-1200 with named
    // variables, CipVariables.h) on TCP; returns the port, 0 on failure.
    quint16 startCip(quint16 port = 0, const QString &bindAddress = QStringLiteral("127.0.0.1"));
    // Replace the variable table by the one in `text` (CipVariables.h);
    // empty when done, else why not (and the table stays as it was).
    QString setCipVariables(const QString &text);
    // A variable's (or member's) value bytes as the controller sends them;
    // empty for an unknown key.
    QByteArray cipBytes(const QString &key) const;
    void setCipBytes(const QString &key, const QByteArray &bytes);
    void stop();

    // Host Link unit number this controller answers to (default 0).
    void setUnit(int unit);
    // FINS node number of the controller (default 1; on FINS/UDP the last
    // octet of the bound address until this is called).
    void setServerNode(int node);

    void setFaults(const Faults &faults);
    Faults faults() const;
    // Host Link C-mode: mode, frame sizes and faults (CModeSettings.h).
    void setCMode(const CModeSettings &settings);
    CModeSettings cmode() const;
    Stats stats() const;

    // Drop every open TCP connection (the controller closes them); the
    // serial line stays as it is.
    void dropConnections();

    // Memory image, shared by all protocols. Sizes: CIO 6144, W 512, H 1536,
    // A 960, D 32768, EM banks 32768 words. Out-of-range access reads 0 and
    // writes nothing.
    quint16 word(Area area, int address) const;
    void setWord(Area area, int address, quint16 value);
    QByteArray words(Area area, int address, int count) const; // 2 bytes per word, high byte first
    void setWords(Area area, int address, const QByteArray &bytes);
    int areaSize(Area area) const;
    void clearMemory();

    // Bit `bit` (0..15) of a word; out of range reads false, writes nothing.
    bool bit(Area area, int address, int bit) const;
    void setBit(Area area, int address, int bit, bool on);

    // The controller played (ControllerModel::byName): its frame limit
    // (999 / 997, 501 / 499 or 269 / 267 words), D and EM sizes and 05 01
    // texts, on every protocol served. Clears the memory it resizes.
    void setModel(const ControllerModel &model);
    ControllerModel model() const;
    // Mode, error flags and message (06 01); the error flags also show in
    // the SRES of every answer (0x80 fatal, 0x40 non-fatal).
    void setCondition(const ControllerCondition &condition);
    ControllerCondition condition() const;
    // The controller's clock (07 01 reads it, 07 02 sets it); it runs.
    QDateTime clock() const;
    void setClock(const QDateTime &time);

    int unit() const;
    int serverNode() const;
    void resetStats();

    // Called on the simulator's thread with one line per frame received or
    // sent and per connection event; empty to switch tracing off.
    void setTraceHandler(std::function<void(const QString &)> handler);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace plcsim

#endif // PLCSIMULATOR_H
