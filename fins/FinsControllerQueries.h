#ifndef FINSCONTROLLERQUERIES_H
#define FINSCONTROLLERQUERIES_H

// The controller face (DriveController) of every FINS plug-in, over the
// core: each call is one controller command through FinsTransfer, its
// answer read by FinsControllerCommands. An end code that says the
// controller has no such command becomes Outcome::Kind::Unsupported.

#include <QDateTime>

#include "DriveController.h"
#include "FinsTransfer.h"
#include "Outcome.h"

class FinsControllerQueries
{
public:
    explicit FinsControllerQueries(FinsTransfer &transfer) : m_transfer(transfer) {}

    Outcome readIdentity(ControllerIdentity *out);
    Outcome readStatus(ControllerStatus *out);
    Outcome readClock(QDateTime *out);
    Outcome writeClock(const QDateTime &time);

private:
    Outcome run(quint16 commandCode, const QByteArray &parameters, const QString &what, QByteArray *data);

    FinsTransfer &m_transfer;
};

#endif // FINSCONTROLLERQUERIES_H
