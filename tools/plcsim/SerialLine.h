#ifndef PLCSIM_SERIALLINE_H
#define PLCSIM_SERIALLINE_H

// The controller's serial port: the master side of a pseudo-terminal pair.
// Clients open the slave side (/dev/pts/N) like a serial device.
//
// A pseudo-terminal moves bytes at once, so the line paces its own output:
// character k of a transmission is handed over when its 10 bits would have
// left the wire at the configured baud rate.

#include "Link.h"

class QSocketNotifier;

namespace plcsim {

class SerialLine : public Link
{
    Q_OBJECT
public:
    SerialLine(int baud, QObject *parent = nullptr);
    ~SerialLine() override;

    // Opens the pair; false when the system has no pseudo-terminal to give.
    bool open();
    QString path() const { return m_path; }
    int baud() const { return m_baud; }

    void write(const QByteArray &bytes, qint64 notBeforeNs, Done done) override;
    void close() override {} // a serial line cannot be hung up by the controller
    bool closable() const override { return false; }
    qint64 lineNs(int chars) const override { return chars * m_charNs; }
    QString peerName() const override { return m_path; }

private:
    void readMaster();
    void pace();
    void wakeAt(qint64 ns);
    void put(const char *data, int size);

    int m_baud;
    qint64 m_charNs;
    int m_master = -1;
    int m_slave = -1; // held open so the master never reads EIO between clients
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    // Pacing wakes up from a timerfd: Qt timers round to whole milliseconds,
    // which at 115200 baud is eleven characters.
    int m_timerFd = -1;
    QSocketNotifier *m_timerNotifier = nullptr;

    QByteArray m_out;     // the transmission in progress
    int m_sent = 0;
    qint64 m_baseNs = 0;  // when its first character started
    qint64 m_lineFreeNs = 0;
    Done m_done;
};

} // namespace plcsim

#endif
