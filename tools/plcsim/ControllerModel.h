#ifndef PLCSIM_CONTROLLERMODEL_H
#define PLCSIM_CONTROLLERMODEL_H

// What kind of controller the simulator plays (its model text, the largest
// FINS frame it takes, its DM and EM sizes) and the condition it is in (its
// mode, error flags and message). Both apply to every protocol served.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace plcsim {

struct ControllerModel
{
    QString name;           // the --model name
    QByteArray modelText;   // answered by 05 01 (at most 20 characters)
    QByteArray versionText; // answered by 05 01 (at most 20 characters)
    // Largest FINS frame (header, command code, parameters, data) the
    // controller takes or sends: 2012 gives 999 words read / 997 written,
    // 1016 gives 501 / 499, 552 gives 269 / 267.
    int frameBytes = 2012;
    int dWords = 32768;
    int emBanks = 13;       // banks 0 .. emBanks - 1, 32768 words each
    // End codes for a command that does not fit a frame, and for a read
    // whose answer would not.
    quint16 commandTooLong = 0x1001;
    quint16 answerTooLong = 0x110B;

    int maxReadWords() const { return (frameBytes - 14) / 2; }
    int maxWriteWords() const { return (frameBytes - 18) / 2; }

    // "default" (what plcsim always was), "cj2" (a large CPU), "cp1l-e",
    // "cp1e". False when there is no such model.
    static bool byName(const QString &name, ControllerModel *out);
    static QStringList names();
};

enum class Mode : quint8 { Program = 0x00, Monitor = 0x02, Run = 0x04 };

struct ControllerCondition
{
    Mode mode = Mode::Run;
    quint16 fatalFlags = 0;    // 06 01 bytes 2-3; nonzero stops the program
    quint16 nonFatalFlags = 0; // 06 01 bytes 4-5
    quint16 errorCode = 0;     // 06 01 bytes 8-9
    QByteArray message;        // 06 01 bytes 10-25, at most 16 characters

    bool running() const { return mode != Mode::Program && fatalFlags == 0; }
    // The CPU status bits every answer's SRES carries: 0x80 fatal, 0x40 non-fatal.
    quint16 statusFlags() const
    {
        return quint16((fatalFlags ? 0x0080 : 0) | (nonFatalFlags ? 0x0040 : 0));
    }
    // "program", "monitor", "run" (any case); false for anything else.
    static bool modeByName(const QString &name, Mode *out);
};

} // namespace plcsim

#endif
