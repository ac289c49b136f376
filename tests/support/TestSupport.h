#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QLibrary>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>

class CDriveBaseClass;

namespace testsupport {

// Loads a plug-in the way a host does: QLibrary, resolve getSharedLibrary.
class Plugin
{
public:
    explicit Plugin(const QString &path);
    bool isLoaded() const { return m_entry != nullptr; }
    QString errorString() const { return m_library.errorString(); }
    // A new driver object per call (the host never deletes them).
    CDriveBaseClass *create() const;

private:
    QLibrary m_library;
    using Entry = CDriveBaseClass *(*)();
    Entry m_entry = nullptr;
};

Plugin &finsPlugin();
Plugin &hlinkPlugin();
Plugin &finsUdpPlugin();
Plugin &hlinkcPlugin();
Plugin &cipPlugin();

// Collects every line written through Qt's message logger while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;                 // "<level>: <message>" with level debug/warning/...
    QStringList messages(QtMsgType type) const; // the messages of one level
    void clear();
    bool contains(QtMsgType type, const QString &fragment) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    struct Line {
        QtMsgType type;
        QString text;
    };
    mutable QMutex m_mutex;
    QList<Line> m_lines;
    QtMessageHandler m_previous = nullptr;
    static LogCapture *s_active;
};

// Lower-case hex without separators, as the drivers log frames.
QString hex(const QByteArray &bytes);
// Bytes from a hex text; blanks are ignored ("46 49 4E 53").
QByteArray fromHex(const char *text);

} // namespace testsupport

// QSKIP, but QFAIL in CI (CI=true): there a check skipped on every run is one that went quiet.
#define PLC_SKIP_OR_FAIL_IN_CI(reason)                                                                  \
    do {                                                                                                \
        if (qEnvironmentVariable("CI") == QLatin1String("true"))                                        \
            QFAIL(qPrintable(QStringLiteral("skipped in CI: ") + QString(reason)));                     \
        QSKIP(qPrintable(QString(reason)));                                                             \
    } while (0)

#endif // TESTSUPPORT_H
