#ifndef OUTCOME_H
#define OUTCOME_H

// How one exchange with a controller ended, as one value: what happened, the
// end code or status the controller gave (if any), the step it ended in and a
// reason in plain English words. Every plug-in reports through it; the
// interface's result codes come from it in one place (resultCode()).

#include <QByteArray>
#include <QString>

struct Outcome {
    enum class Kind {
        Done,         // answered, and the answer checked out             -> 0
        Unsupported,  // the controller or protocol has no such command   -> 1
        Refused,      // refused before anything was sent (refusedCode)   -> 2..5
        EndCode,      // the controller answered with an error end code   -> 7
        BadAnswer,    // an answer came but failed a check                -> 7
        NoAnswer,     // the deadline passed without a complete answer    -> 8
        NotConnected, // no link, or the link was lost or found dead      -> 9
    };

    Kind kind = Kind::Done;
    int refusedCode = 0;   // Refused: the result code (2, 3, 4 or 5)
    int endCode = -1;      // end code or status the controller gave; -1: none
    QString step;          // where it ended: "connect", "send", "answer", ...
    QString reason;        // plain words, empty for Done
    QByteArray request;    // the last frame sent, as on the wire (may be empty)
    QByteArray answer;     // what came back, as on the wire (may be empty)

    static Outcome done() { return Outcome{}; }
    static Outcome make(Kind kind, const QString &step, const QString &reason, int endCode = -1)
    {
        Outcome o;
        o.kind = kind;
        o.step = step;
        o.reason = reason;
        o.endCode = endCode;
        return o;
    }
    static Outcome refused(int code, const QString &reason)
    {
        Outcome o = make(Kind::Refused, QStringLiteral("request"), reason);
        o.refusedCode = code;
        return o;
    }

    bool ok() const { return kind == Kind::Done; }

    // The CLabelVariable result code this outcome stands for.
    int resultCode() const
    {
        switch (kind) {
        case Kind::Done: return 0;
        case Kind::Unsupported: return 1;
        case Kind::Refused: return refusedCode;
        case Kind::EndCode:
        case Kind::BadAnswer: return 7;
        case Kind::NoAnswer: return 8;
        case Kind::NotConnected: return 9;
        }
        return 1;
    }

    // What ConnectDrive returns for a connection that ended so: 0, -1 bad
    // answer or end code, -2 no answer, -3 not connected (1 for anything else).
    int connectCode() const
    {
        switch (resultCode()) {
        case 0: return 0;
        case 7: return -1;
        case 8: return -2;
        case 9: return -3;
        default: return 1;
        }
    }

    // Kind as one lower-case word, for tools and JSON.
    static const char *kindName(Kind kind)
    {
        switch (kind) {
        case Kind::Done: return "done";
        case Kind::Unsupported: return "unsupported";
        case Kind::Refused: return "refused";
        case Kind::EndCode: return "end-code";
        case Kind::BadAnswer: return "bad-answer";
        case Kind::NoAnswer: return "no-answer";
        case Kind::NotConnected: return "not-connected";
        }
        return "unknown";
    }
};

#endif // OUTCOME_H
