#include "SerialLine.h"
#include "SimState.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

namespace plcsim {

namespace {

constexpr int kBitsPerChar = 10; // start, 8 data, stop (parity ignored)

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

} // namespace

SerialLine::SerialLine(int baud, QObject *parent)
    : Link(parent), m_baud(baud > 0 ? baud : 9600),
      m_charNs(qint64(1000000000) * kBitsPerChar / (baud > 0 ? baud : 9600))
{
}

SerialLine::~SerialLine()
{
    delete m_notifier;
    delete m_timerNotifier;
    if (m_timerFd >= 0)
        ::close(m_timerFd);
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool SerialLine::open()
{
    char name[256] = {};
    m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timerFd < 0)
        return false;
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        return false;
    termios tio{};
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        const speed_t speed = speedFor(m_baud);
        if (speed != B0)
            ::cfsetspeed(&tio, speed);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_path = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SerialLine::readMaster);
    m_timerNotifier = new QSocketNotifier(m_timerFd, QSocketNotifier::Read, this);
    connect(m_timerNotifier, &QSocketNotifier::activated, this, [this] {
        quint64 expirations;
        [[maybe_unused]] const ssize_t n = ::read(m_timerFd, &expirations, sizeof expirations);
        if (!m_out.isEmpty())
            pace();
    });
    return true;
}

void SerialLine::readMaster()
{
    QByteArray bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            bytes.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            m_notifier->setEnabled(false); // the line is dead; do not spin on it
        break;
    }
    if (!bytes.isEmpty())
        emit received(bytes);
}

void SerialLine::write(const QByteArray &bytes, qint64 notBeforeNs, Done done)
{
    m_out = bytes;
    m_sent = 0;
    m_baseNs = qMax(notBeforeNs, m_lineFreeNs);
    m_done = std::move(done);
    pace();
}

void SerialLine::pace()
{
    const qint64 now = nowNs();
    const qint64 onWire = now > m_baseNs ? (now - m_baseNs) / m_charNs : 0;
    const int due = int(qMin<qint64>(m_out.size(), onWire));
    if (due > m_sent) {
        put(m_out.constData() + m_sent, due - m_sent);
        m_sent = due;
    }
    if (m_sent < m_out.size()) {
        wakeAt(m_baseNs + (m_sent + 1) * m_charNs);
        return;
    }
    m_lineFreeNs = m_baseNs + m_out.size() * m_charNs;
    m_out.clear();
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done();
}

void SerialLine::wakeAt(qint64 ns)
{
    // nowNs() reads the steady clock, which is CLOCK_MONOTONIC here.
    itimerspec spec{};
    spec.it_value.tv_sec = time_t(ns / 1000000000);
    spec.it_value.tv_nsec = long(ns % 1000000000);
    ::timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void SerialLine::put(const char *data, int size)
{
    // A client that does not read lets the terminal buffer fill; what does
    // not fit is lost, as on a real line nobody listens to.
    while (size > 0) {
        const ssize_t n = ::write(m_master, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= int(n);
    }
}

} // namespace plcsim
