// A polling host for the network-fault test: loads one plug-in through
// getSharedLibrary, connects, writes a block of known words, then reads three
// tags of that block in turn and writes the fourth, until its standard input
// closes. Like a host, it calls ConnectDrive again when a call says the
// connection is gone (9), and writes the block again after every connect (a
// restarted PLC has lost it). HOST says otherwise: "reconnect-on-timeout"
// also connects again after a timeout (8), as hosts do that do not trust a
// connection that went silent; "never" connects only once (a host that
// relies on reconnect=on, or one that gives up).
//
//   netfault_poller PLUGIN CONNECTION UNIT BASE PACE_MS [HOST]
//
// One line per call on stdout, times in us of the monotonic clock (CLOCK_MONOTONIC,
// shared by every process of the machine):
//   connect START END RESULT
//   write   START END CODE TAG
//   read    START END CODE TAG ok|blank|wrong|-  (blank: all words 0, as in a
//                                                 restarted PLC; - for a failed read)

#include "CDriveBaseClass.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kTags = 4;
constexpr int kWordsPerTag = 4;

// Every word of the block gets its own value (a bijection of the address),
// so an answer that belongs to another tag never passes for this one.
quint16 knownValue(int word)
{
    return quint16((quint32(word) * 40503u) ^ 0x5A5Au);
}

qint64 now()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() / 1000;
}

class Poller
{
public:
    enum class Host { ConnectAgain, ReconnectOnTimeout, Never };

    Poller(CDriveBaseClass *driver, QString connection, int base, int paceMs, Host host)
        : m_driver(driver), m_connection(std::move(connection)), m_base(base), m_paceMs(paceMs), m_host(host)
    {
    }

    void run()
    {
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, [&input, this] {
            char c[64];
            if (::read(STDIN_FILENO, c, sizeof c) <= 0) {
                input.setEnabled(false);
                m_stop = true;
                m_pause.quit();
            }
        });
        bool connected = false;
        bool written = false;
        bool everConnected = false;
        for (int round = 0; !m_stop; ++round) {
            if (!connected && !(everConnected && m_host == Host::Never)) {
                connected = everConnected = connectOnce();
                written = false;
            } else if (!written) {
                const int code = writeBlock(0, kTags);
                written = code == 0;
                connected = keepsConnection(code);
            } else {
                const int tag = round % kTags;
                connected = keepsConnection(tag == kTags - 1 ? writeBlock(tag, 1) : readOnce(tag));
            }
            pause();
        }
    }

private:
    bool keepsConnection(int code) const
    {
        return m_host == Host::Never || (code != 9 && !(code == 8 && m_host == Host::ReconnectOnTimeout));
    }
    QString tagText(int tag) const { return QStringLiteral("D%1").arg(tagWord(tag)); }
    int tagWord(int tag) const { return m_base + 10 * tag; }

    bool connectOnce()
    {
        const qint64 start = now();
        const int result = m_driver->ConnectDrive(m_connection);
        std::printf("connect %lld %lld %d\n", start, now(), result);
        std::fflush(stdout);
        return result == 0;
    }

    int writeBlock(int first, int tags)
    {
        for (int tag = first; tag < first + tags; ++tag) {
            QList<unsigned short> words;
            for (int i = 0; i < kWordsPerTag; ++i)
                words << knownValue(tagWord(tag) + i);
            CLabelVariable value;
            value.value = QVariant::fromValue(words);
            const qint64 start = now();
            const CLabelVariable result = m_driver->WriteVariable(tagText(tag), UInt16, value, kWordsPerTag);
            std::printf("write %lld %lld %d %d\n", start, now(), result.errorCode, tag);
            std::fflush(stdout);
            if (result.errorCode != 0)
                return result.errorCode;
        }
        return 0;
    }

    int readOnce(int tag)
    {
        const qint64 start = now();
        const CLabelVariable v = m_driver->ReadVariable(tagText(tag), UInt16, kWordsPerTag);
        const qint64 end = now();
        const char *verdict = "-";
        if (v.errorCode == 0) {
            const QList<unsigned short> words = v.value.value<QList<unsigned short>>();
            const bool blank = words.size() == kWordsPerTag
                && std::all_of(words.cbegin(), words.cend(), [](unsigned short w) { return w == 0; });
            verdict = blank ? "blank" : "ok";
            for (int i = 0; i < kWordsPerTag && verdict[0] == 'o'; ++i) {
                if (words.size() != kWordsPerTag || words.at(i) != knownValue(tagWord(tag) + i))
                    verdict = "wrong";
            }
        }
        std::printf("read %lld %lld %d %d %s\n", start, end, v.errorCode, tag, verdict);
        std::fflush(stdout);
        return v.errorCode;
    }

    // The host's poll period; the event loop runs meanwhile (the drivers and
    // the stdin watch need it).
    void pause()
    {
        if (m_stop)
            return;
        QTimer::singleShot(m_paceMs, &m_pause, &QEventLoop::quit);
        m_pause.exec();
    }

    CDriveBaseClass *m_driver;
    QString m_connection;
    int m_base;
    int m_paceMs;
    Host m_host;
    bool m_stop = false;
    QEventLoop m_pause;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString hostText = args.value(6, QStringLiteral("connect-again"));
    Poller::Host host = Poller::Host::ConnectAgain;
    if (hostText == QLatin1String("reconnect-on-timeout"))
        host = Poller::Host::ReconnectOnTimeout;
    else if (hostText == QLatin1String("never"))
        host = Poller::Host::Never;
    if (args.size() < 6 || args.size() > 7 || (host == Poller::Host::ConnectAgain && hostText != QLatin1String("connect-again"))) {
        std::fprintf(stderr, "usage: netfault_poller PLUGIN CONNECTION UNIT BASE PACE_MS "
                             "[connect-again|reconnect-on-timeout|never]\n");
        return 2;
    }
    testsupport::Plugin plugin(args.at(1));
    CDriveBaseClass *driver = plugin.create();
    if (!driver) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(args.at(1)), qPrintable(plugin.errorString()));
        return 3;
    }
    driver->SetConnectPar(args.at(3));
    Poller(driver, args.at(2), args.at(4).toInt(), args.at(5).toInt(), host).run();
    driver->DisConnectDrive();
    driver->DestroyFree();
    return 0;
}
