#include "Console.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace plcctl {

namespace {

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void printOut(const QString &line)
{
    write(stdout, line + QLatin1Char('\n'));
}

void printError(const QString &line)
{
    write(stderr, QStringLiteral("plcctl: ") + line + QLatin1Char('\n'));
}

void printNote(const QString &text)
{
    write(stderr, text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n'));
}

void writeOut(const QString &text)
{
    write(stdout, text);
}

bool stdoutIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

int terminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
        return size.ws_col;
    return 0;
}

} // namespace plcctl
