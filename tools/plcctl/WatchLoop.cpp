#include "WatchLoop.h"

#include "CDriveBaseClass.h"
#include "Console.h"
#include "WatchTable.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <memory>
#include <fcntl.h>
#include <unistd.h>

namespace plcctl {

namespace {

volatile std::sig_atomic_t g_stop = 0;
int g_wakeFd = -1;

// Async-signal-safe: a flag and one byte into a pipe that wakes the wait.
// SA_RESETHAND makes a second Ctrl-C end the program at once, should a read
// ever hang.
void onSignal(int)
{
    g_stop = 1;
    if (g_wakeFd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, &byte, 1);
    }
}

// Installs the handlers for the life of the loop and removes them after.
class StopSignals
{
public:
    StopSignals()
    {
        if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) == 0)
            g_wakeFd = m_pipe[1];
        g_stop = 0;
        struct sigaction action {};
        action.sa_handler = &onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_wakeFd = -1;
        for (int fd : m_pipe) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    int readFd() const { return m_pipe[0]; }

private:
    int m_pipe[2] = {-1, -1};
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

// Waits `ms` while running events; a stop signal ends the wait at once.
void waitInterval(int ms, const StopSignals &stop)
{
    if (g_stop || ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    std::unique_ptr<QSocketNotifier> notifier;
    if (stop.readFd() >= 0) {
        notifier = std::make_unique<QSocketNotifier>(stop.readFd(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    loop.exec();
}

class Screen
{
public:
    Screen(bool terminal, bool json, QString title)
        : m_terminal(terminal && !json), m_json(json), m_title(std::move(title)) {}

    void show(const WatchTable &table, int round)
    {
        if (m_terminal)
            redraw(table, round);
        else
            append(table, round);
    }

    void finish()
    {
        if (m_terminal && m_drawn > 0)
            writeOut(QStringLiteral("\n"));
    }

private:
    // Moves back to the first line of the previous drawing and overwrites it
    // line by line, so the terminal's scroll-back keeps what was above.
    void redraw(const WatchTable &table, int round)
    {
        const int width = terminalColumns() > 1 ? terminalColumns() - 1 : 0;
        QStringList lines{QStringLiteral("%1  round %2  (Ctrl-C ends)").arg(m_title).arg(round)};
        lines += table.tableLines(width);
        QString text;
        if (m_drawn > 0)
            text += QStringLiteral("\r\x1b[%1A").arg(m_drawn - 1);
        for (int i = 0; i < lines.size(); ++i) {
            text += QStringLiteral("\r\x1b[2K") + lines.at(i);
            if (i + 1 < lines.size())
                text += QLatin1Char('\n');
        }
        writeOut(text);
        m_drawn = lines.size();
    }

    void append(const WatchTable &table, int round)
    {
        for (int row = 0; row < table.size(); ++row)
            printOut(m_json ? table.jsonLine(row, round) : table.plainLine(row));
    }

    bool m_terminal;
    bool m_json;
    QString m_title;
    int m_drawn = 0;
};

} // namespace

int runWatch(CDriveBaseClass *driver, const CtlArguments &args, const QString &title)
{
    StopSignals stopSignals;
    WatchTable table(args.tags);
    Screen screen(stdoutIsTerminal(), args.json, title);
    QElapsedTimer clock;
    clock.start();
    int round = 0;
    while (!g_stop) {
        ++round;
        int row = 0;
        for (; row < table.size() && !g_stop; ++row) {
            const TagSpec &tag = args.tags.at(row);
            table.update(row, driver->ReadVariable(tag.address, DataType(tag.type), tag.count), clock.nsecsElapsed());
        }
        if (row < table.size())
            break; // interrupted half-way: that round is not shown
        screen.show(table, round);
        if (args.rounds > 0 && round >= args.rounds)
            break;
        waitInterval(args.intervalMs, stopSignals);
    }
    screen.finish();
    if (table.failures() > 0) {
        printError(QStringLiteral("watch: %1 of %2 reads failed").arg(table.failures()).arg(table.reads()));
        return 1;
    }
    return 0;
}

} // namespace plcctl
