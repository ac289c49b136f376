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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plcsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Omron controller: FINS/TCP, FINS/UDP and Host Link (TCP and serial) on one memory image."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
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
    parser.addOptions(options);
    parser.addOptions(plcsim::cipOptions());
    parser.addOptions(plcsim::cmodeOptions());
    parser.addOptions(plcsim::controllerOptions());
    parser.process(app);

    auto number = [&](const char *name, int base, int min, int max, int &out) {
        if (!parser.isSet(QLatin1String(name)))
            return true;
        if (parseNumber(parser.value(QLatin1String(name)), base, min, max, out))
            return true;
        fail(QStringLiteral("invalid value for --%1: %2").arg(QLatin1String(name), parser.value(QLatin1String(name))));
        return false;
    };

    int finsPort = -1, finsUdpPort = -1, udpStatic = 0, hostLinkPort = -1, baud = 0, unit = 0, node = 1, endCode = 0, hlEndCode = 0, refuse = 0;
    plcsim::Faults f;
    if (!number("fins-port", 10, 0, 65535, finsPort) || !number("fins-udp-port", 10, 0, 65535, finsUdpPort)
        || !number("fins-udp-static", 10, 1, 65535, udpStatic) || !number("hostlink-port", 10, 0, 65535, hostLinkPort)
        || !number("serial", 10, 50, 4000000, baud) || !number("unit", 10, 0, 31, unit)
        || !number("node", 10, 1, 254, node) || !number("delay", 10, 0, 600000, f.delayMs)
        || !number("chunk", 10, 1, 65535, f.chunkSize) || !number("chunk-gap", 10, 0, 600000, f.chunkGapMs)
        || !number("end-code", 16, 0, 0xFFFF, endCode) || !number("close-after", 10, 1, 1000000, f.closeAfterFrames)
        || !number("hl-end-code", 16, 0, 0xFF, hlEndCode) || !number("refuse-node", 16, 0, 0xFFFF, refuse)
        || !number("lose-commands", 10, 0, 1000000, f.loseCommands)
        || !number("lose-answers", 10, 0, 1000000, f.loseAnswers))
        return 2;
    int cipPort = -1;
    const QString cipError = plcsim::applyCipOptions(parser, f, &cipPort);
    if (!cipError.isEmpty()) {
        fail(cipError);
        return 2;
    }
    if (finsPort < 0 && finsUdpPort < 0 && hostLinkPort < 0 && baud == 0 && cipPort < 0) {
        fail(QStringLiteral("nothing to serve: give --fins-port, --fins-udp-port, --hostlink-port, --serial or --cip-port"));
        return 2;
    }
    plcsim::CModeSettings cmode;
    QString cmodeError;
    if (!plcsim::cmodeSettingsFrom(parser, &cmode, &cmodeError)) {
        fail(cmodeError);
        return 2;
    }
    f.endCode = quint16(endCode);
    f.hostLinkEndCode = quint8(hlEndCode);
    f.silent = parser.isSet(QStringLiteral("silent"));
    f.wrongNode = parser.isSet(QStringLiteral("wrong-node"));
    f.wrongSid = parser.isSet(QStringLiteral("wrong-sid"));
    f.garbage = parser.isSet(QStringLiteral("garbage"));
    f.oversizedLength = parser.isSet(QStringLiteral("oversized-length"));
    f.badFcs = parser.isSet(QStringLiteral("bad-fcs"));
    f.wrongUnit = parser.isSet(QStringLiteral("wrong-unit"));
    f.missingTerminator = parser.isSet(QStringLiteral("no-terminator"));
    f.cutShort = parser.isSet(QStringLiteral("cut-short"));
    f.staleFirst = parser.isSet(QStringLiteral("stale-first"));
    f.handshakeError = quint32(refuse);
    f.silentHandshake = parser.isSet(QStringLiteral("silent-handshake"));
    f.duplicateAnswer = parser.isSet(QStringLiteral("duplicate"));
    f.answerFromOtherPort = parser.isSet(QStringLiteral("other-port"));

    if (!installSignalHandlers(app)) {
        fail(QStringLiteral("cannot install signal handlers"));
        return 1;
    }

    plcsim::Simulator sim;
    const QString badController = plcsim::applyControllerOptions(parser, sim);
    if (!badController.isEmpty()) {
        fail(badController);
        return 2;
    }
    if (parser.isSet(QStringLiteral("model"))) {
        const plcsim::ControllerModel m = sim.model();
        say(QStringLiteral("Controller %1 (%2): %3 words per read, %4 per write, D0-D%5, %6 EM banks")
                .arg(QString::fromLatin1(m.modelText), m.name).arg(m.maxReadWords()).arg(m.maxWriteWords())
                .arg(m.dWords - 1).arg(m.emBanks));
    }
    sim.setUnit(unit);
    if (parser.isSet(QStringLiteral("node")))
        sim.setServerNode(node);
    sim.setFinsUdpAnswerPort(quint16(udpStatic));
    sim.setFaults(f);
    sim.setCMode(cmode);
    if (parser.isSet(QStringLiteral("fill")))
        fill(sim);
    if (!parser.isSet(QStringLiteral("quiet")))
        sim.setTraceHandler([](const QString &line) { say(line); });

    const QString varsError = plcsim::loadCipVariables(parser, sim);
    if (!varsError.isEmpty()) {
        fail(varsError);
        return 2;
    }

    const QString bind = parser.value(QStringLiteral("bind"));
    if (cipPort >= 0) {
        const quint16 port = sim.startCip(quint16(cipPort), bind);
        if (port == 0) {
            fail(QStringLiteral("cannot listen on %1:%2 for EtherNet/IP").arg(bind).arg(cipPort));
            return 1;
        }
        say(QStringLiteral("EtherNet/IP listening on %1:%2").arg(bind).arg(port));
    }
    if (finsPort >= 0) {
        const quint16 port = sim.startFins(quint16(finsPort), bind);
        if (port == 0) {
            fail(QStringLiteral("cannot listen on %1:%2 for FINS/TCP").arg(bind).arg(finsPort));
            return 1;
        }
        say(QStringLiteral("FINS/TCP listening on %1:%2").arg(bind).arg(port));
    }
    if (finsUdpPort >= 0) {
        const quint16 port = sim.startFinsUdp(quint16(finsUdpPort), bind);
        if (port == 0) {
            fail(QStringLiteral("cannot bind %1:%2 for FINS/UDP").arg(bind).arg(finsUdpPort));
            return 1;
        }
        say(QStringLiteral("FINS/UDP listening on %1:%2").arg(bind).arg(port));
    }
    if (hostLinkPort >= 0) {
        const quint16 port = sim.startHostLinkTcp(quint16(hostLinkPort), bind);
        if (port == 0) {
            fail(QStringLiteral("cannot listen on %1:%2 for Host Link").arg(bind).arg(hostLinkPort));
            return 1;
        }
        say(QStringLiteral("Host Link TCP listening on %1:%2").arg(bind).arg(port));
    }
    if (baud > 0) {
        const QString path = sim.startHostLinkSerial(baud);
        if (path.isEmpty()) {
            fail(QStringLiteral("cannot open a pseudo-terminal"));
            return 1;
        }
        say(QStringLiteral("Host Link serial on %1 at %2 baud").arg(path).arg(baud));
    }

    std::unique_ptr<plcsim::CountFile> counts;
    if (parser.isSet(QStringLiteral("count-file")))
        counts.reset(new plcsim::CountFile(sim, parser.value(QStringLiteral("count-file"))));
    const int rc = app.exec();
    counts.reset();
    sim.setTraceHandler({});
    sim.stop();
    return rc;
}
