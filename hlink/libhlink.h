#ifndef LIBHLINK_H
#define LIBHLINK_H

// The Host Link driver as the host sees it: the common tag handling of
// DriveFacade, connection texts, and PLC words as Host Link hex digits
// through CmdHLink.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

#include "CLabelVariable.h"
#include "CmdHLink.h"
#include "DriveFacade.h"

class LibHLink : public DriveFacade
{
    Q_OBJECT

public:
    LibHLink();
    ~LibHLink() override;

    // CDriveBaseClass operations this driver has of its own.
    QString getDriveName() override;
    QString getversion_number() override;
    int ConnectDrive(QString connection) override;
    int DisConnectDrive() override;
    int DestroyFree() override;

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

protected:
    int readWords(int area, int word, int count, const QString &tag, Words *out) override;
    int writeWords(int area, int word, const Words &words, const QString &tag) override;
    int writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag) override;
    void setDebug(bool on) override;
    QString versionPattern() const override;

private:
    int connectSerial(const QString &connection);
    // The Host Link unit number every frame carries (SetConnectPar).
    int unit() const { return int(connectParameter()); }

    CmdHLink cmd;
};

#endif // LIBHLINK_H
