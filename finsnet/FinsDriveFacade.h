#ifndef FINSDRIVEFACADE_H
#define FINSDRIVEFACADE_H

// What every FINS driver object does the same way, whatever carries its
// frames: parses tag addresses, runs the common checks, turns tags into
// memory-area commands and PLC bytes into tag values. A plug-in derives from
// it, names itself, parses its connection text and hands over its transport
// through memory().

#include <QObject>
#include <QString>
#include <QVariant>

#include "CDriveBaseClass.h"
#include "CLabelVariable.h"

class FinsMemoryAccess;

class FinsDriveFacade : public QObject, public CDriveBaseClass
{
    Q_OBJECT
    Q_INTERFACES(CDriveBaseClass)

public:
    enum AreaType : int {
        Area_None = 0,
        Area_CIO = 0xB0,
        Area_W = 0xB1,
        Area_H = 0xB2,
        Area_A = 0xB3,
        Area_EM1 = 0xA0,
        Area_EM2 = 0xA1,
        Area_EM3 = 0xA2,
        Area_EM4 = 0xA3,
        Area_EM5 = 0xA4,
        Area_D = 0x82
    };

    FinsDriveFacade();
    ~FinsDriveFacade() override;

    QString DebugCmd(EDebugCmdType cmd) override;
    void SetConnectPar(QString parameter) override;
    CLabelVariable ReadVariable(QString address, DataType type) override;
    CLabelVariable ReadVariable(QString address, DataType type, int count) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value, int count) override;

    // Steps behind ReadVariable / WriteVariable, after the checks.
    CLabelVariable Read_data(int address, DataType type, int count, int bit, int area, QString tag);
    CLabelVariable Write_area(int address, DataType type, int count, CLabelVariable value, int area, QString tag);
    CLabelVariable Write_bool(int address, DataType type, int count, CLabelVariable value, int bit, int bitArea,
                              QString tag);

    // Address grammar.
    AreaType getArea(QString text);
    int getArea_Bit(QString text);
    int getAddr(QString text, AreaType area);
    int getmodule_BIT(QString text, AreaType area);
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
    // The DebugCmd(GetVersion) pattern for BuildInfo::versionText: the
    // plug-in's version with %1 for the build date and %2 for the build time.
    virtual QString versionPattern() const = 0;

private:
    long long wordsCovered(DataType type, int bit, int count) const;

    unsigned int connectPar = 1; // stored; FINS has no use for it
};

#endif // FINSDRIVEFACADE_H
