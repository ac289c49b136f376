#ifndef CMDHLINKC_H
#define CMDHLINKC_H

// C-mode exchanges over a CModeLink: one command in flight, its answer taken
// frame by frame (lone CR handshake both ways), every frame checked, and a
// long answer broken off with XZ when a later frame is bad, so the line is
// left clean for the next command. Every exchange ends in an Outcome.

#include <QByteArray>
#include <QString>
#include <QVector>

#include "CModeFrame.h"
#include "CModeLink.h"
#include "Outcome.h"

class CmdHLinkC
{
public:
    using Words = QVector<quint16>;

    explicit CmdHLinkC(CModeLink *link);

    // `count` words from `word` of `area` (a DriveFacade area code) into *out.
    Outcome read(int unit, int area, int word, int count, const QString &tag, Words *out);
    Outcome write(int unit, int area, int word, const Words &words, const QString &tag);
    // A single-frame command without text (MS, MM); the answer's text in *text.
    Outcome query(int unit, const QByteArray &header, QByteArray *text);

    bool debugOn = false;
    quint64 droppedAnswers() const { return dropped; }
    void resetDropped() { dropped = 0; }

private:
    struct Exchange;
    Outcome begin(Exchange &x, const QByteArray &frame);
    Outcome awaitFirst(Exchange &x, CModeFrame::FrameCheck *check);
    Outcome readRest(Exchange &x, CModeFrame::FrameCheck first, int count, Words *out);
    Outcome sendRest(Exchange &x, const QList<QByteArray> &frames);
    Outcome finishFirst(Exchange &x, const CModeFrame::FrameCheck &check);
    Outcome fail(Exchange &x, Outcome::Kind kind, const QString &reason, bool abort = false);
    bool transmit(Exchange &x, const QByteArray &bytes);
    int deadlineMs(int chars) const;
    void trace(const Exchange &x, bool sent, const QByteArray &bytes) const;

    CModeLink *link;
    quint64 dropped = 0;
};

#endif // CMDHLINKC_H
