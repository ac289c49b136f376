#ifndef FUZZINPUT_H
#define FUZZINPUT_H

// What every fuzz target shares: the input as a stream of small fields
// (a selector byte, a count, chunk sizes) followed by the bytes under test,
// and a silent message handler (the drivers' warning lines would only slow
// the runs down). Each target is one thin file over today's functions.

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// An invariant of the code under test, checked in every build type (the
// fuzz build is optimised, where Q_ASSERT is gone): a failure aborts, and
// libFuzzer saves the input that did it.
#define FUZZ_CHECK(condition)                                                   \
    do {                                                                        \
        if (!(condition)) {                                                     \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                       \
        }                                                                       \
    } while (0)

class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size)
        : m_bytes(reinterpret_cast<const char *>(data), int(qMin<size_t>(size, 1 << 20)))
    {
    }
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    quint8 byte() { return atEnd() ? 0 : quint8(m_bytes.at(m_pos++)); }
    quint16 word() { return quint16(byte() << 8 | byte()); }
    qint32 int32() { return qint32(quint32(word()) << 16 | word()); }
    // Up to `max` of the next bytes.
    QByteArray take(int max)
    {
        const QByteArray part = m_bytes.mid(m_pos, max);
        m_pos += part.size();
        return part;
    }
    QByteArray rest() { return take(m_bytes.size()); }

private:
    QByteArray m_bytes;
    int m_pos = 0;
};

inline void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

#endif // FUZZINPUT_H
