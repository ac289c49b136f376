#include "TraceOutput.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdio>

namespace plcctl {

namespace {

std::atomic<bool> g_showFrames{false};
std::atomic<bool> g_showWarnings{true};

const char *prefixFor(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "trace: ";
    case QtInfoMsg: return "info: ";
    case QtWarningMsg: return "warning: ";
    case QtCriticalMsg: return "critical: ";
    case QtFatalMsg: return "fatal: ";
    }
    return "";
}

// May run on the simulator's thread too; one fputs per line keeps lines whole.
void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && !g_showFrames.load())
        return;
    if ((type == QtWarningMsg || type == QtInfoMsg) && !g_showWarnings.load())
        return;
    const QByteArray line = QByteArray(prefixFor(type)) + message.toUtf8() + '\n';
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}

} // namespace

void installTraceOutput(bool showFrames)
{
    g_showFrames = showFrames;
    // A system-wide logging rule may switch debug output off; the user asked
    // for frame lines, so the default category's debug level stays on.
    if (showFrames)
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
    qInstallMessageHandler(&handler);
}

void setWarningsShown(bool shown)
{
    g_showWarnings = shown;
}

} // namespace plcctl
