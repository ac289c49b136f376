#ifndef CIPLINK_H
#define CIPLINK_H

// The TCP connection to one controller: session registration, the optional
// class 3 connection, and one Message Router request at a time.
//
// Every wait blocks the calling thread on the socket's own waits with one
// deadline; no event loop is needed. Each request carries a fresh sender
// context, and only the reply with that context is taken: anything else is
// stale (a late reply to an earlier request) or foreign and is dropped.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "CipChannel.h"
#include "CipConnection.h"
#include "Outcome.h"
#include "ReconnectOption.h"

class QTcpSocket;

class CipLink : public QObject, public CipChannel
{
    Q_OBJECT

public:
    struct Settings {
        QHostAddress address;
        quint16 port = 44818;
        int timeoutMs = 1000;
        bool connected = false;
        // A request on a lost or dead link connects again first (session and
        // class 3 connection included), once the link has been open.
        bool reconnect = false;
    };

    CipLink();
    ~CipLink() override;

    // TCP, RegisterSession and, with `connected`, Large_Forward_Open.
    // NotConnected: no TCP connection; anything else but Done: no session.
    Outcome open(const Settings &settings);
    // Forward_Close and UnRegisterSession when open; 1 without a socket.
    int close();
    // close() and the socket deleted; 1 without a socket.
    int destroy();
    bool isOpen() const;

    // Largest Message Router request or reply on this link.
    int messageLimit() const override;
    // One request out, its Message Router reply back (encapsulation checked).
    // `tag` names what the request is for, in traces and warnings.
    Outcome exchange(const QByteArray &request, const QString &tag, QByteArray *reply) override;
    // The ListIdentity reply's data (item count and items).
    Outcome listIdentity(QByteArray *data);

    void setDebug(bool on) { debug = on; }
    // "address:port" of the controller.
    QString peer() const;
    quint32 sessionHandle() const { return session; }
    quint64 droppedAnswers() const { return dropped; }
    const Settings &settings() const { return current; }

    // A warning line about `tag` with the outcome's reason and frame.
    void warn(const Outcome &outcome, const QString &tag) const override;

private:
    bool reopen();
    Outcome connectTcp();
    Outcome registerSession();
    Outcome openConnection();
    Outcome transact(const QByteArray &frame, quint16 command, quint64 context, QByteArray *answer);
    Outcome awaitFrame(quint16 command, quint64 context, const QDeadlineTimer &deadline, QByteArray *answer);
    void readAvailable();
    bool socketGone() const;
    void trace(const char *what, const QString &tag, const QByteArray &frame) const;

    Settings current;
    QTcpSocket *socket = nullptr;
    QByteArray buffer;
    quint32 session = 0;
    quint64 nextContext = 1;
    quint64 dropped = 0;
    bool debug = false;
    bool classThree = false;
    bool keepConnecting = false; // reconnect=on, and the link was open; close() ends it
    ReconnectOption::Pacer pacer;
    quint16 sequence = 0;
    CipConnection::Ids ids;
};

#endif // CIPLINK_H
