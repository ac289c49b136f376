// The simulator's command side: a byte stream into a FINS/TCP session, a
// Host Link session (FA and C-mode) or an EtherNet/IP session (as a client's
// connection delivers it), or one FINS/UDP
// datagram through the UDP unit's checks and the command executor. A
// simulator that crashes on a bad frame would hide the driver faults it is
// there to show.
#include "CipSession.h"
#include "FinsExecutor.h"
#include "FinsTcpSession.h"
#include "FinsUdpFrames.h"
#include "FuzzInput.h"
#include "HostLinkSession.h"
#include "SimState.h"

#include <QCoreApplication>
#include <QTcpSocket>

namespace {

// A line whose bytes go nowhere, at once: every answer is "out" on return.
class NullLink : public plcsim::Link
{
public:
    void write(const QByteArray &, qint64, Done done) override
    {
        if (done)
            done();
    }
    void close() override { emit closed(); }
    QString peerName() const override { return QStringLiteral("fuzz"); }
};

void feed(plcsim::Link *link, FuzzInput &in)
{
    while (!in.atEnd())
        emit link->received(in.take(1 + in.byte() % 64));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    // One controller for all runs (its memory image is large to make anew);
    // what a run wrote only changes what later runs read.
    static plcsim::SimState state;
    state.finsNodes.clear();
    switch (in.byte() % 4) {
    case 0: {
        // An unconnected socket: the session's answers are written nowhere.
        auto *link = new plcsim::TcpLink(new QTcpSocket);
        plcsim::FinsTcpSession session(&state, link);
        feed(link, in);
        delete link;
        break;
    }
    case 1: {
        NullLink link;
        plcsim::HostLinkSession session(&state, &link);
        feed(&link, in);
        break;
    }
    case 3: {
        auto *link = new plcsim::TcpLink(new QTcpSocket);
        plcsim::CipSession session(&state, link);
        feed(link, in);
        delete link;
        break;
    }
    default: {
        const QByteArray datagram = in.rest();
        if (plcsim::finsudp::classify(datagram, 1) == plcsim::finsudp::Verdict::Command) {
            const plcsim::FinsResult result = plcsim::executeWithFaults(
                state.memory, state.faults, datagram.mid(plcsim::finsudp::kHeaderSize), plcsim::finsudp::kMaxAnswerData);
            plcsim::finsudp::answer(datagram, result, state.faults);
        }
        break;
    }
    }
    return 0;
}
