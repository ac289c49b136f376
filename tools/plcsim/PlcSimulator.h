#ifndef PLCSIMULATOR_H
#define PLCSIMULATOR_H

// A simulated Omron controller: one memory image served over FINS/TCP and
// over Host Link ("FA" frames) on TCP and on a pseudo-terminal serial line.
//
// It is the other side of the wire and is written from the protocol alone:
// it shares no frame, check-code or value code with the plug-ins.
//
// All servers run on a thread of their own, so a driver that blocks its
// calling thread while it waits for an answer can talk to a simulator
// created on that same thread (the usual case in tests). Every public member
// is thread-safe.

#include <QByteArray>
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
struct Faults {
    int delayMs = 0;            // wait this long before answering
    int chunkSize = 0;          // > 0: send each answer in pieces of this many bytes ...
    int chunkGapMs = 0;         // ... with this pause between pieces
    bool silent = false;        // read requests, never answer
    bool wrongNode = false;     // FINS: answer with other node numbers
    bool wrongSid = false;      // FINS and Host Link: answer with another SID
    quint16 endCode = 0;        // FINS end code (MRES << 8 | SRES) to answer with; no data when it is an error
    bool garbage = false;       // send bytes that are no frame at all instead of the answer
    bool oversizedLength = false; // FINS: a header whose length field is far beyond any frame
    int closeAfterFrames = 0;   // > 0: close the connection after answering this many frames
    // Host Link only
    bool badFcs = false;        // answer with a wrong check code
    bool wrongUnit = false;     // answer with another unit number
    quint8 hostLinkEndCode = 0; // Host Link end code to answer with (nonzero: no data)
    bool missingTerminator = false; // answer without "*" CR
    bool cutShort = false;      // answer missing part of its data
    bool staleFirst = false;    // send a copy of the previous answer before the real one
};

// Counters a test can wait on.
struct Stats {
    int connections = 0;        // connections accepted (FINS and Host Link TCP)
    int finsFrames = 0;         // FINS command frames received (node requests excluded)
    int hostLinkFrames = 0;     // Host Link frames received with a valid FCS
    int writes = 0;             // memory area writes executed
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
    void stop();

    // Host Link unit number this controller answers to (default 0).
    void setUnit(int unit);
    // FINS node number of the controller (default 1).
    void setServerNode(int node);

    void setFaults(const Faults &faults);
    Faults faults() const;
    Stats stats() const;

    // Drop every open connection (the controller closes them).
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
