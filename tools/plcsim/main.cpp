// plcsim: a simulated Omron controller for demos, integration and benchmarks.
// Serves FINS/TCP, FINS/UDP and Host Link (TCP and a pseudo-terminal serial line) from
// one memory image until SIGINT or SIGTERM.

#include "CipOptions.h"
#include "CModeOptions.h"
#include "ControllerOptions.h"
#include "CountFile.h"
#include "PlcSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM end the event loop through a pipe, so the simulator is
// torn down by the normal destructors.
bool installSignalHandlers(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

void say(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void fail(const QString &line)
{
    std::fputs(("plcsim: " + line + "\n").toLocal8Bit().constData(), stderr);
}

bool parseNumber(const QString &text, int base, int min, int max, int &out)
{
    bool ok = false;
    const int v = text.toInt(&ok, base);
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

// Demo values in D0..: every word type a host is likely to try.
void fill(plcsim::Simulator &sim)
{
    using plcsim::Area;
    for (int i = 0; i < 10; ++i)
        sim.setWord(Area::D, i, quint16(i * 111));
    sim.setWord(Area::D, 10, 0x0187); // 32-bit 0x14020187, low word first
    sim.setWord(Area::D, 11, 0x1402);
    sim.setWord(Area::D, 12, 0xE979); // REAL -123.456
    sim.setWord(Area::D, 13, 0xC2F6);
    sim.setWord(Area::D, 14, 0xFFFF); // -1 as a 16-bit integer
    sim.setWord(Area::D, 20, 0x4142); // "AB"
    sim.setWord(Area::CIO, 0, 0x00A5);
    sim.setWord(Area::W, 0, 0x1234);
    sim.setWord(Area::H, 0, 0x5678);
}

QList<QCommandLineOption> serverOptions()
{
    return {
        {"fins-port", "Serve FINS/TCP on port N (0 picks a free one).", "N"},
        {"fins-udp-port", "Serve FINS/UDP on port N (0 picks a free one).", "N"},
        {"fins-udp-static", "FINS/UDP answers go to the sender's address at PORT, not to the port they came from.",
         "PORT"},
        {"hostlink-port", "Serve Host Link over TCP on port N (0 picks a free one).", "N"},
        {"serial", "Serve Host Link on a pseudo-terminal at BAUD; prints its device path.", "BAUD"},
        {"bind", "Address to listen on (default 127.0.0.1).", "ADDRESS", "127.0.0.1"},
        {"unit", "Host Link unit number (default 0).", "N", "0"},
        {"node", "FINS node number of the controller (default 1; on FINS/UDP the last octet of --bind).",
         "N"},
        {"fill", "Put demo values into D0.. and a few other words."},
        {"quiet", "Do not print frames."},
        {"count-file", "Keep the counters of commands received in FILE (rewritten every 20 ms).", "FILE"},
    };
}

QList<QCommandLineOption> faultOptions()
{
    return {
        {"delay", "Fault: answer MS milliseconds late.", "MS"},
        {"chunk", "Fault: send answers in pieces of N bytes.", "N"},
        {"chunk-gap", "Fault: pause MS milliseconds between pieces.", "MS"},
        {"silent", "Fault: drop every command frame unanswered and unexecuted."},
        {"wrong-node", "Fault: FINS answers carry other node numbers."},
        {"wrong-sid", "Fault: answers carry another SID."},
        {"end-code", "Fault: answer with FINS end code HEX (an error executes nothing).", "HEX"},
        {"garbage", "Fault: send bytes that are no frame instead of the answer."},
        {"oversized-length", "Fault: FINS answers with a length field beyond any frame."},
        {"close-after", "Fault: close a connection after answering N frames.", "N"},
        {"bad-fcs", "Fault: Host Link answers with a wrong FCS."},
        {"wrong-unit", "Fault: Host Link answers with another unit number."},
        {"hl-end-code", "Fault: Host Link answers with end code HEX and nothing else.", "HEX"},
        {"no-terminator", "Fault: Host Link answers without \"*\" CR."},
        {"cut-short", "Fault: answers lose part of their data."},
        {"stale-first", "Fault: send a copy of the previous answer before each answer."},
        {"refuse-node", "Fault: refuse every FINS node request with error code HEX.", "HEX"},
        {"silent-handshake", "Fault: leave FINS node requests unanswered."},
        {"lose-commands", "Fault: FINS/UDP loses the next N commands (unexecuted).", "N"},
        {"lose-answers", "Fault: FINS/UDP runs the next N commands but loses their answers.", "N"},
        {"duplicate", "Fault: FINS/UDP sends every answer twice."},
        {"other-port", "Fault: FINS/UDP answers come from another port."},
    };
}

// What the numeric options and the fault switches say; -1 ports are not served.
struct Settings {
    int finsPort = -1, finsUdpPort = -1, udpStatic = 0, hostLinkPort = -1, baud = 0, unit = 0, node = 1;
    int cipPort = -1;
    plcsim::Faults faults;
};

// False (after saying why) when a numeric option is malformed or out of range.
bool readNumbers(const QCommandLineParser &parser, Settings *s)
{
    auto number = [&](const char *name, int base, int min, int max, int &out) {
        if (!parser.isSet(QLatin1String(name)))
            return true;
        if (parseNumber(parser.value(QLatin1String(name)), base, min, max, out))
            return true;
        fail(QStringLiteral("invalid value for --%1: %2").arg(QLatin1String(name), parser.value(QLatin1String(name))));
        return false;
    };
    plcsim::Faults &f = s->faults;
    int endCode = 0, hlEndCode = 0, refuse = 0;
    if (!number("fins-port", 10, 0, 65535, s->finsPort) || !number("fins-udp-port", 10, 0, 65535, s->finsUdpPort)
        || !number("fins-udp-static", 10, 1, 65535, s->udpStatic)
        || !number("hostlink-port", 10, 0, 65535, s->hostLinkPort) || !number("serial", 10, 50, 4000000, s->baud)
        || !number("unit", 10, 0, 31, s->unit) || !number("node", 10, 1, 254, s->node)
        || !number("delay", 10, 0, 600000, f.delayMs) || !number("chunk", 10, 1, 65535, f.chunkSize)
        || !number("chunk-gap", 10, 0, 600000, f.chunkGapMs) || !number("end-code", 16, 0, 0xFFFF, endCode)
        || !number("close-after", 10, 1, 1000000, f.closeAfterFrames)
        || !number("hl-end-code", 16, 0, 0xFF, hlEndCode) || !number("refuse-node", 16, 0, 0xFFFF, refuse)
        || !number("lose-commands", 10, 0, 1000000, f.loseCommands)
        || !number("lose-answers", 10, 0, 1000000, f.loseAnswers))
        return false;
    f.endCode = quint16(endCode);
    f.hostLinkEndCode = quint8(hlEndCode);
    f.handshakeError = quint32(refuse);
    return true;
}

void readFaultSwitches(const QCommandLineParser &parser, plcsim::Faults *f)
{
    const auto on = [&parser](const char *name) { return parser.isSet(QLatin1String(name)); };
    f->silent = on("silent");
    f->wrongNode = on("wrong-node");
    f->wrongSid = on("wrong-sid");
    f->garbage = on("garbage");
    f->oversizedLength = on("oversized-length");
    f->badFcs = on("bad-fcs");
    f->wrongUnit = on("wrong-unit");
    f->missingTerminator = on("no-terminator");
    f->cutShort = on("cut-short");
    f->staleFirst = on("stale-first");
    f->silentHandshake = on("silent-handshake");
    f->duplicateAnswer = on("duplicate");
    f->answerFromOtherPort = on("other-port");
}

void announceModel(const plcsim::Simulator &sim)
{
    const plcsim::ControllerModel m = sim.model();
    say(QStringLiteral("Controller %1 (%2): %3 words per read, %4 per write, D0-D%5, %6 EM banks")
            .arg(QString::fromLatin1(m.modelText), m.name).arg(m.maxReadWords()).arg(m.maxWriteWords())
            .arg(m.dWords - 1).arg(m.emBanks));
}

// Says where a server listens, or why it could not: false then.
bool announce(quint16 port, const QString &bind, int asked, const char *failure, const char *what)
{
    if (port == 0) {
        fail(QStringLiteral("%1 %2:%3 for %4").arg(QLatin1String(failure), bind).arg(asked).arg(QLatin1String(what)));
        return false;
    }
    say(QStringLiteral("%1 listening on %2:%3").arg(QLatin1String(what), bind).arg(port));
    return true;
}

// Starts every server the options ask for, in the order the banners have
// always come in; false (after saying why) when one cannot start.
bool startServers(plcsim::Simulator &sim, const Settings &s, const QString &bind)
{
    if (s.cipPort >= 0
        && !announce(sim.startCip(quint16(s.cipPort), bind), bind, s.cipPort, "cannot listen on", "EtherNet/IP"))
        return false;
    if (s.finsPort >= 0
        && !announce(sim.startFins(quint16(s.finsPort), bind), bind, s.finsPort, "cannot listen on", "FINS/TCP"))
        return false;
    if (s.finsUdpPort >= 0
        && !announce(sim.startFinsUdp(quint16(s.finsUdpPort), bind), bind, s.finsUdpPort, "cannot bind", "FINS/UDP"))
        return false;
    if (s.hostLinkPort >= 0) {
        const quint16 port = sim.startHostLinkTcp(quint16(s.hostLinkPort), bind);
        if (port == 0) {
            fail(QStringLiteral("cannot listen on %1:%2 for Host Link").arg(bind).arg(s.hostLinkPort));
            return false;
        }
        say(QStringLiteral("Host Link TCP listening on %1:%2").arg(bind).arg(port));
    }
    if (s.baud > 0) {
        const QString path = sim.startHostLinkSerial(s.baud);
        if (path.isEmpty()) {
            fail(QStringLiteral("cannot open a pseudo-terminal"));
            return false;
        }
        say(QStringLiteral("Host Link serial on %1 at %2 baud").arg(path).arg(s.baud));
    }
    return true;
}

// The simulator as the options describe it; empty when they are all good,
// else the reason.
QString configure(plcsim::Simulator &sim, const QCommandLineParser &parser, const Settings &s,
                  const plcsim::CModeSettings &cmode)
{
    const QString badController = plcsim::applyControllerOptions(parser, sim);
    if (!badController.isEmpty())
        return badController;
    if (parser.isSet(QStringLiteral("model")))
        announceModel(sim);
    sim.setUnit(s.unit);
    if (parser.isSet(QStringLiteral("node")))
        sim.setServerNode(s.node);
    sim.setFinsUdpAnswerPort(quint16(s.udpStatic));
    sim.setFaults(s.faults);
    sim.setCMode(cmode);
    if (parser.isSet(QStringLiteral("fill")))
        fill(sim);
    if (!parser.isSet(QStringLiteral("quiet")))
        sim.setTraceHandler([](const QString &line) { say(line); });
    return plcsim::loadCipVariables(parser, sim);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plcsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Omron controller: FINS/TCP, FINS/UDP and Host Link (TCP and serial) on one memory image."));
    parser.addHelpOption();
    parser.addOptions(serverOptions());
    parser.addOptions(faultOptions());
    parser.addOptions(plcsim::cipOptions());
    parser.addOptions(plcsim::cmodeOptions());
    parser.addOptions(plcsim::controllerOptions());
    parser.process(app);

    Settings s;
    if (!readNumbers(parser, &s))
        return 2;
    const QString cipError = plcsim::applyCipOptions(parser, s.faults, &s.cipPort);
    if (!cipError.isEmpty()) {
        fail(cipError);
        return 2;
    }
    if (s.finsPort < 0 && s.finsUdpPort < 0 && s.hostLinkPort < 0 && s.baud == 0 && s.cipPort < 0) {
        fail(QStringLiteral("nothing to serve: give --fins-port, --fins-udp-port, --hostlink-port, --serial or --cip-port"));
        return 2;
    }
    plcsim::CModeSettings cmode;
    QString cmodeError;
    if (!plcsim::cmodeSettingsFrom(parser, &cmode, &cmodeError)) {
        fail(cmodeError);
        return 2;
    }
    readFaultSwitches(parser, &s.faults);
    if (!installSignalHandlers(app)) {
        fail(QStringLiteral("cannot install signal handlers"));
        return 1;
    }

    plcsim::Simulator sim;
    const QString bad = configure(sim, parser, s, cmode);
    if (!bad.isEmpty()) {
        fail(bad);
        return 2;
    }
    if (!startServers(sim, s, parser.value(QStringLiteral("bind"))))
        return 1;

    std::unique_ptr<plcsim::CountFile> counts;
    if (parser.isSet(QStringLiteral("count-file")))
        counts.reset(new plcsim::CountFile(sim, parser.value(QStringLiteral("count-file"))));
    const int rc = app.exec();
    counts.reset();
    sim.setTraceHandler({});
    sim.stop();
    return rc;
}
