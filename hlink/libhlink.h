#ifndef LIBHLINK_H
#define LIBHLINK_H

// The Host Link driver as the host sees it: connection texts, tag addresses
// and tag values in, Host Link exchanges through CmdHLink out.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

#include "CDriveBaseClass.h"
#include "CLabelVariable.h"
#include "CmdHLink.h"

class LibHLink : public QObject, public CDriveBaseClass
{
    Q_OBJECT
    Q_INTERFACES(CDriveBaseClass)

public:
    enum AreaType {
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

    LibHLink();
    ~LibHLink() override;

    // CDriveBaseClass, in slot order.
    QString getDriveName() override;
    QString getversion_number() override;
    QString DebugCmd(EDebugCmdType cmdType) override;
    int ConnectDrive(QString connection) override;
    void SetConnectPar(QString parameter) override;
    int DisConnectDrive() override;
    CLabelVariable ReadVariable(QString address, DataType type) override;
    CLabelVariable ReadVariable(QString address, DataType type, int count) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable tagValue) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable tagValue, int count) override;
    int DestroyFree() override;

    // Address grammar.
    AreaType getArea(QString text);
    int getArea_Bit(QString text);
    int getAddr(QString text, AreaType area);
    int getmodule_BIT(QString text, AreaType area);
    // PLC words that `count` elements of `type` cover (Bool from bit 0).
    int getBytelen(DataType type, int count);

    // Read and write steps behind the common frame.
    CLabelVariable Read_data(int wordAddress, DataType type, int count, int bitNumber, int area, QString address);
    CLabelVariable Write_D(int wordAddress, DataType type, int count, CLabelVariable tagValue, int area,
                           QString address);
    CLabelVariable Write_CIO(int wordAddress, DataType type, int count, CLabelVariable tagValue, int bitNumber,
                             int bitArea, QString address);

    // Codec: digit values (0..15, four per PLC word) to element lists ...
    QVariant set_variant_bool(int bitOffset, QByteArray digits, int count);
    QVariant set_variant_Int8(QByteArray digits, int count);
    QVariant set_variant_UInt8(QByteArray digits, int count);
    QVariant set_variant_Int16(QByteArray digits, int count);
    QVariant set_variant_UInt16(QByteArray digits, int count);
    QVariant set_variant_Int32(QByteArray digits, int count);
    QVariant set_variant_UInt32(QByteArray digits, int count);
    QVariant set_variant_fload(QByteArray digits, int count);
    QVariant set_variant_Int64(QByteArray digits, int count);
    QVariant set_variant_UInt64(QByteArray digits, int count);
    QVariant set_variant_double(QByteArray digits, int count);
    // ... and back: 0 when appended, 1 when the value holds no such list.
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

private:
    long long wordsCovered(DataType type, int count, int bitNumber);

    CmdHLink cmd;
    int unitNumber = 1;
    QString ipAddress;
    int ipPort = 0;
    QString portName;
    int baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    QString parity;
};

#endif // LIBHLINK_H
