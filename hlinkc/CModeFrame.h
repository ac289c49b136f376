#ifndef CMODEFRAME_H
#define CMODEFRAME_H

// Host Link C-mode frames as pure functions on byte arrays: the ASCII
// commands of controllers that speak no FINS (RD/WD, RR/WR, RH/WH, RJ/WJ,
// RE/WE, MS, MM, XZ), the long-block split of writes, and the checks of an
// answer's frames.
//
// Command:  "@" unit (2 decimal digits) header (2 letters) text FCS(2) "*" CR
// Answer:   "@" unit header end code (2 hex) text FCS(2) "*" CR
// A frame that is not the last of a long block ends FCS CR without "*";
// later frames carry only text, FCS and CR.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

namespace CModeFrame {

using Words = QVector<quint16>;

// Longest first frame and longest later frame of a long block, CR included.
constexpr int MaxFirstFrame = 131;
constexpr int MaxLaterFrame = 128;
// Write frames: words in the first frame and in each later one.
constexpr int FirstWriteWords = 29;
constexpr int LaterWriteWords = 31;
// One command's count field has four decimal digits.
constexpr int MaxCommandWords = 9999;

// What C-mode has for one memory area (a DriveFacade area code).
struct AreaCommands {
    QByteArray read;   // "RD", ... ; empty: no C-mode command for the area
    QByteArray write;  // "WD", ...
    int bank = -1;     // EM bank carried before the begin word; -1: none
    int reach = 0;     // words C-mode reaches from word 0 on
};
AreaCommands commandsFor(int area);

// Exclusive OR of every character, as two upper-case hex digits.
QByteArray fcs(const QByteArray &chars);
// `value` as `digits` decimal digits (leading zeros).
QByteArray decimal(int value, int digits);

// One complete single-frame command: "@" unit header text FCS "*" CR.
QByteArray command(int unit, const QByteArray &header, const QByteArray &text = QByteArray());
// Read of `count` (1..MaxCommandWords) words from `word` of `area`; empty
// when the area has no read command.
QByteArray readCommand(int unit, int area, int word, int count);
// The frames of a write, in sending order: the first carries "@", unit,
// header and begin word, each frame at most its size, no word split; only
// the last ends "*" CR. Empty when the area has no write command.
QList<QByteArray> writeFrames(int unit, int area, int word, const Words &words);
QByteArray abortCommand(int unit);

// Four upper-case hex digits per word, and back (false on anything else).
QByteArray hexWords(const Words &words);
bool parseWords(const QByteArray &text, Words *out);

// One frame of an answer, checked.
enum class Verdict {
    Accepted,   // well formed; `text` holds the text, `last` whether "*" ended it
    Foreign,    // another unit's or another command's answer: not ours
    Undecoded,  // "IC": the controller could not decode the header
    Broken,     // FCS, terminator, length or characters wrong (`failure` says which)
};
struct FrameCheck {
    Verdict verdict = Verdict::Broken;
    int endCode = -1;  // first frames only
    QByteArray text;   // the text between end code (or frame start) and FCS
    bool last = false;
    QString failure;
};
// The first frame of the answer to a command `header` for `unit`.
FrameCheck checkFirst(const QByteArray &frame, int unit, const QByteArray &header);
// A later frame of a long answer: text FCS ("*") CR.
FrameCheck checkLater(const QByteArray &frame);

// An end code in words ("not executable in RUN mode" ...).
QString endCodeText(int code);

} // namespace CModeFrame

#endif // CMODEFRAME_H
