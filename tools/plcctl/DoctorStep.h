#ifndef PLCCTL_DOCTORSTEP_H
#define PLCCTL_DOCTORSTEP_H

// One step of `plcctl DRIVER doctor`: what was tried, how it went, what was
// found and, when it failed, what to check. Shown as text lines for people
// and as one JSON object for scripts. Pure formatting, no I/O.

#include <QList>
#include <QString>

namespace plcctl {

struct DoctorStep {
    enum class Outcome { Passed, Warning, Failed, Skipped };

    QString id;          // "syntax", "reach", "port", "handshake", "nodes", "answer", "read"
    QString title;       // "connection text"
    Outcome outcome = Outcome::Skipped;
    QString found;       // what the step found, in words
    QString check;       // on a failure or warning: what to check
    qint64 elapsedMs = -1; // how long the step waited; -1 when it did not wait
};

QString outcomeName(DoctorStep::Outcome outcome); // "ok", "warning", "failed", "skipped"

// "[ ok ] connection text: 127.0.0.1:9600 ..." and, when there is one, an
// indented "check: ..." line.
QString stepText(const DoctorStep &step);

// The first failed step, or null when none failed.
const DoctorStep *firstFailure(const QList<DoctorStep> &steps);

// {"op":"doctor","driver":..,"connection":..,"simulator":..,"ok":..,
//  "failedStep":"id" or null,"steps":[{"step":..,"title":..,"outcome":..,
//  "found":..,"check":.. or null,"elapsedMs":.. or null}, ..]}
QString doctorJson(const QString &driverName, const QString &connection, bool simulated,
                   const QList<DoctorStep> &steps);

// The closing line: "doctor: the test read worked" or "doctor: failed at <title>: <found>".
QString doctorVerdict(const QList<DoctorStep> &steps);

} // namespace plcctl

#endif // PLCCTL_DOCTORSTEP_H
