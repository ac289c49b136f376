#ifndef DRIVEDIAGNOSTICS_H
#define DRIVEDIAGNOSTICS_H

// A second face of every driver object, for tools that diagnose a connection
// (plcctl doctor) without parsing log lines. Reached with
//   qobject_cast<DriveDiagnostics *>(dynamic_cast<QObject *>(drive))
// or qt_metacast(DriveDiagnostics_iid). A host that knows only
// CDriveBaseClass sees nothing of it; its slot order is a contract like that
// of CDriveBaseClass: append, never reorder.

#include <QObject>
#include <QString>
#include <QVariantMap>

#include "Outcome.h"

class DriveDiagnostics
{
public:
    // Checks a ConnectDrive text with the driver's own parser and opens
    // nothing. Empty when ConnectDrive would accept it, else the reason.
    virtual QString checkConnectionText(const QString &text) const = 0;
    // The addressing in use after the last ConnectDrive / SetConnectPar, by
    // name: FINS "plc" (DA1) and "node" (SA1), Host Link "unit", the peer
    // "address" and "port" (or serial "port" and "baud").
    virtual QVariantMap addressing() const = 0;
    // How the last exchange ended (step, end code, frames, reason).
    virtual Outcome lastOutcome() const = 0;
    // Answers dropped as stale or foreign since the last ConnectDrive.
    virtual quint64 droppedAnswers() const = 0;

protected:
    ~DriveDiagnostics() = default;
};

#define DriveDiagnostics_iid "plcdrivers.DriveDiagnostics/1"
Q_DECLARE_INTERFACE(DriveDiagnostics, DriveDiagnostics_iid)

#endif // DRIVEDIAGNOSTICS_H
