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
#include "FinsMemoryAccess.h"

class FinsDriveFacade : public DriveFacade
{
    Q_OBJECT

public:
    // The plug-in's name (getDriveName), version (getversion_number) and
    // DebugCmd(GetVersion) pattern (%1 build date, %2 build time).
    struct Identity {
        QString name;
        QString version;
        QString versionPattern;
    };

    explicit FinsDriveFacade(const Identity &identity);
    ~FinsDriveFacade() override;

    QString getDriveName() override;
    QString getversion_number() override;

    // Steps behind ReadVariable / WriteVariable, after the checks.
    CLabelVariable Read_data(int address, DataType type, int count, int bit, int area, QString tag);
    CLabelVariable Write_area(int address, DataType type, int count, CLabelVariable value, int area, QString tag);
    CLabelVariable Write_bool(int address, DataType type, int count, CLabelVariable value, int bit, int bitArea,
                              QString tag);

    // Bytes `count` elements of `type` take in PLC memory (whole words).
    int getBytelen(DataType type, int count);

    // Codec: PLC bytes to element lists and back.
    QVariant set_variant_bool(int bitOffset, QByteArray data, int byteCount);
    QVariant set_variant_Int8(QByteArray data, int count);
    QVariant set_variant_UInt8(QByteArray data, int count);
    QVariant set_variant_Int16(QByteArray data, int count);
    QVariant set_variant_UInt16(QByteArray data, int count);
    QVariant set_variant_Int32(QByteArray data, int count);
    QVariant set_variant_UInt32(QByteArray data, int count);
    QVariant set_variant_fload(QByteArray data, int count);
    QVariant set_variant_Int64(QByteArray data, int count);
    QVariant set_variant_UInt64(QByteArray data, int count);
    QVariant set_variant_double(QByteArray data, int count);
    int Wset_variant_bool(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_Int8(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_UInt8(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_Int16(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_uInt16(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_Int32(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_UInt32(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_float(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_Int64(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_UInt64(CLabelVariable value, int count, QByteArray *out);
    int Wset_variant_double(CLabelVariable value, int count, QByteArray *out);

protected:
    // The transport that carries this driver's memory-area commands.
    virtual FinsMemoryAccess &memory() = 0;

    int readWords(int area, int word, int count, const QString &tag, Words *out) override;
    int writeWords(int area, int word, const Words &words, const QString &tag) override;
    int writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag) override;
    void setDebug(bool on) override;
    QString versionPattern() const override;

private:
    const Identity identity;
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
