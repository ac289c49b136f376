#include "TestSupport.h"

#include <QMutexLocker>

namespace testsupport {

Plugin::Plugin(const QString &path)
    : m_library(path)
{
    if (m_library.load())
        m_entry = reinterpret_cast<Entry>(m_library.resolve("getSharedLibrary"));
}

CDriveBaseClass *Plugin::create() const
{
    return m_entry ? m_entry() : nullptr;
}

Plugin &finsPlugin()
{
    static Plugin plugin(QStringLiteral(PLC_FINS_PLUGIN));
    return plugin;
}

Plugin &hlinkPlugin()
{
    static Plugin plugin(QStringLiteral(PLC_HLINK_PLUGIN));
    return plugin;
}

Plugin &finsUdpPlugin()
{
    static Plugin plugin(QStringLiteral(PLC_FINSUDP_PLUGIN));
    return plugin;
}

Plugin &hlinkcPlugin()
{
    static Plugin plugin(QStringLiteral(PLC_HLINKC_PLUGIN));
    return plugin;
}

Plugin &cipPlugin()
{
    static Plugin plugin(QStringLiteral(PLC_CIPNET_PLUGIN));
    return plugin;
}

LogCapture *LogCapture::s_active = nullptr;

LogCapture::LogCapture()
{
    s_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    s_active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    LogCapture *self = s_active;
    if (!self)
        return;
    QMutexLocker lock(&self->m_mutex);
    self->m_lines.append({type, message});
}

static const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "debug";
    case QtInfoMsg: return "info";
    case QtWarningMsg: return "warning";
    case QtCriticalMsg: return "critical";
    case QtFatalMsg: return "fatal";
    }
    return "?";
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const Line &line : m_lines)
        out << QStringLiteral("%1: %2").arg(QLatin1String(levelName(line.type)), line.text);
    return out;
}

QStringList LogCapture::messages(QtMsgType type) const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const Line &line : m_lines) {
        if (line.type == type)
            out << line.text;
    }
    return out;
}

void LogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}

bool LogCapture::contains(QtMsgType type, const QString &fragment) const
{
    for (const QString &message : messages(type)) {
        if (message.contains(fragment))
            return true;
    }
    return false;
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QByteArray fromHex(const char *text)
{
    QByteArray compact(text);
    compact.replace(' ', "");
    return QByteArray::fromHex(compact);
}

} // namespace testsupport
