#ifndef FINSDRIVEFACADE_H
#define FINSDRIVEFACADE_H

// What every FINS driver object does the same way, whatever carries its
// frames: the common tag handling of DriveFacade over FINS memory-area
// commands, PLC words as FINS bytes (high byte first), and the plug-in's
// name and version. A plug-in derives from FinsPlugin<Cmd> with its
// transport and parses its own connection text.

#include <QObject>
#include <QString>
#include <QVariant>

#include "CLabelVariable.h"
#include "DriveFacade.h"
#include "FinsCodec.h"
#include "FinsMemoryAccess.h"
#include "ValueEntryPoints.h"

// Its value members (ValueEntryPoints): set_variant_bool(bitOffset, data,
// byteCount) gives the bits of the first byteCount bytes from bitOffset on;
// the others decode `count` elements, a missing byte reading as 0. The
// Wset_variant_ members append the first `count` elements (fewer when the
// list is shorter, none of another list type; Bool one byte per bit) and
// return 0.
class FinsDriveFacade : public DriveFacade, public ValueEntryPoints<FinsCodec::EntryPoints>
{
    Q_OBJECT

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

protected:
    // The transport that carries this driver's memory-area commands.
    virtual FinsMemoryAccess &memory() = 0;

    int readWords(int area, int word, int count, const QString &tag, Words *out) override;
    int writeWords(int area, int word, const Words &words, const QString &tag) override;
    int writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag) override;
    void setDebug(bool on) override;
};

// A FINS plug-in over one transport object of type Cmd, which provides the
// memory-area commands, DisConnectDrive() and DestroyFree().
template <class Cmd>
class FinsPlugin : public FinsDriveFacade
{
public:
    explicit FinsPlugin(const Identity &identity)
        : FinsDriveFacade(identity)
    {
    }

    int DisConnectDrive() override { return cmd.DisConnectDrive(); }
    int DestroyFree() override { return cmd.DestroyFree(); }

protected:
    FinsMemoryAccess &memory() override { return cmd; }

    Cmd cmd;
};

#endif // FINSDRIVEFACADE_H
