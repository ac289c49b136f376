#ifndef DRIVECONTROLLER_H
#define DRIVECONTROLLER_H

// A third face of the driver objects whose protocol can ask the controller
// about itself: what it is, its mode and errors, and its clock. Reached like
// DriveDiagnostics (qobject_cast / qt_metacast(DriveController_iid)). Nothing
// here runs unless a tool asks: never inside ConnectDrive or a host's read.
// Every call ends in an Outcome; a command the controller or protocol does
// not have is Outcome::Kind::Unsupported, not a failure of the link.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "Outcome.h"

struct ControllerIdentity {
    QString model;       // model text as the controller gives it (trimmed)
    QString version;     // version or revision text
    QVariantMap details; // protocol-specific named fields (DM words, EM banks, product code ...)
};

struct ControllerStatus {
    bool running = false;     // the program is running
    QString mode;             // "PROGRAM", "MONITOR", "RUN" (or the protocol's word)
    bool fatalError = false;
    bool nonFatalError = false;
    int errorCode = 0;        // the controller's error code, 0 when none
    QString errorMessage;     // the controller's own message text, trimmed
    QStringList errors;       // each error flag that is set, in words
};

class DriveController
{
public:
    virtual Outcome readIdentity(ControllerIdentity *out) = 0;
    virtual Outcome readStatus(ControllerStatus *out) = 0;
    virtual Outcome readClock(QDateTime *out) = 0;
    virtual Outcome writeClock(const QDateTime &time) = 0;

protected:
    ~DriveController() = default;
};

#define DriveController_iid "plcdrivers.DriveController/1"
Q_DECLARE_INTERFACE(DriveController, DriveController_iid)

#endif // DRIVECONTROLLER_H
