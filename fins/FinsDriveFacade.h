#ifndef FINSDRIVEFACADE_H
#define FINSDRIVEFACADE_H

// What every FINS driver object does the same way, whatever carries its
// frames: the common tag handling of DriveFacade over the FINS core
// (FinsTransfer), PLC words as FINS bytes (high byte first), the plug-in's
// name and version, and the diagnostics and controller faces. A plug-in derives from
// FinsPlugin<Link> with its link and parses its own connection text.

#include <QObject>
#include <QString>
#include <QVariant>

#include "CLabelVariable.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "DriveFacade.h"
#include "FinsCodec.h"
#include "FinsLog.h"
#include "FinsTransfer.h"
#include "ValueEntryPoints.h"

// Its value members (ValueEntryPoints): set_variant_bool(bitOffset, data,
// byteCount) gives the bits of the first byteCount bytes from bitOffset on;
// the others decode `count` elements, a missing byte reading as 0. The
// Wset_variant_ members append the first `count` elements (fewer when the
// list is shorter, none of another list type; Bool one byte per bit) and
// return 0.
class FinsDriveFacade : public DriveFacade,
                        public DriveDiagnostics,
                        public DriveController,
                        public ValueEntryPoints<FinsCodec::EntryPoints>
{
    Q_OBJECT
    Q_INTERFACES(DriveDiagnostics DriveController)

public:
    explicit FinsDriveFacade(const Identity &identity);
    ~FinsDriveFacade() override;

    // Steps behind ReadVariable / WriteVariable, after the checks.
    CLabelVariable Read_data(int address, DataType type, int count, int bit, int area, QString tag);
    CLabelVariable Write_area(int address, DataType type, int count, CLabelVariable value, int area, QString tag);
    CLabelVariable Write_bool(int address, DataType type, int count, CLabelVariable value, int bit, int bitArea,
                              QString tag);

    // Bytes `count` elements of `type` take in PLC memory (whole words).
    int getBytelen(DataType type, int count);

    Outcome lastOutcome() const override;

    // The controller face: one controller command each (FinsControllerQueries).
    Outcome readIdentity(ControllerIdentity *out) override;
    Outcome readStatus(ControllerStatus *out) override;
    Outcome readClock(QDateTime *out) override;
    Outcome writeClock(const QDateTime &time) override;

protected:
    // The core that carries this driver's memory-area commands, and its log.
    virtual FinsTransfer &transfer() = 0;
    virtual const FinsTransfer &transfer() const = 0;
    virtual FinsLog &log() = 0;

    Outcome readWords(int area, int word, int count, const QString &tag, Words *out) override;
    Outcome writeWords(int area, int word, const Words &words, const QString &tag) override;
    Outcome writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag) override;
    void setDebug(bool on) override;
};

// A FINS plug-in over one link object of type Link (a FinsLink with
// DisConnectDrive() and DestroyFree()), its log lines with `prefix`.
template <class Link>
class FinsPlugin : public FinsDriveFacade
{
public:
    FinsPlugin(const Identity &identity, const QString &prefix, bool prefixWordWrites)
        : FinsDriveFacade(identity)
        , m_log(prefix, prefixWordWrites)
        , m_core(link, m_log)
    {
    }

    int DisConnectDrive() override { return link.DisConnectDrive(); }
    int DestroyFree() override { return link.DestroyFree(); }
    quint64 droppedAnswers() const override { return link.droppedAnswers(); }

protected:
    FinsTransfer &transfer() override { return m_core; }
    const FinsTransfer &transfer() const override { return m_core; }
    FinsLog &log() override { return m_log; }

    Link link;

private:
    FinsLog m_log;
    FinsTransfer m_core;
};

#endif // FINSDRIVEFACADE_H
