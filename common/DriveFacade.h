#ifndef DRIVEFACADE_H
#define DRIVEFACADE_H

// What every driver object does the same way, whatever protocol carries its
// words: parses tag addresses, runs the common checks, lays tag values out in
// PLC words and back (WordLayout), keeps the bytes a write does not name, and
// hands the host the result code of each transfer's Outcome. A driver
// derives from it and moves words and bits through its own protocol
// (readWords, writeWords, writeBits).
//
// The CDriveBaseClass slot order is the base's; deriving adds no slot to it.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include "CDriveBaseClass.h"
#include "CLabelVariable.h"
#include "Outcome.h"

class DriveFacade : public QObject, public CDriveBaseClass
{
    Q_OBJECT
    Q_INTERFACES(CDriveBaseClass)

public:
    // Memory-area codes as the address grammar gives them.
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

    // The driver's name (getDriveName), version (getversion_number) and
    // DebugCmd(GetVersion) pattern for BuildInfo::versionText (its version
    // with %1 for the build date and %2 for the build time).
    struct Identity {
        QString name;
        QString version;
        QString versionPattern;
    };

    explicit DriveFacade(const Identity &identity);
    ~DriveFacade() override;

    QString getDriveName() override;
    QString getversion_number() override;
    QString DebugCmd(EDebugCmdType cmd) override;
    void SetConnectPar(QString parameter) override;
    CLabelVariable ReadVariable(QString address, DataType type) override;
    CLabelVariable ReadVariable(QString address, DataType type, int count) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value) override;
    CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value, int count) override;

    // Address grammar.
    AreaType getArea(QString text);
    int getArea_Bit(QString text);
    int getAddr(QString text, AreaType area);
    int getmodule_BIT(QString text, AreaType area);

protected:
    using Words = QVector<quint16>;

    // The protocol's transfers, each ending in how it went; the result code
    // the host sees is the Outcome's. `tag` is the address text, for the log.
    virtual Outcome readWords(int area, int word, int count, const QString &tag, Words *out) = 0;
    virtual Outcome writeWords(int area, int word, const Words &words, const QString &tag) = 0;
    // One byte per bit in `flags` (1 on, 0 off), from bit `bit` (0..15) of `word` on.
    virtual Outcome writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag) = 0;
    // Frame logging on or off.
    virtual void setDebug(bool on) = 0;

    // The steps behind ReadVariable / WriteVariable, after the checks.
    CLabelVariable readTag(int word, DataType type, int count, int bit, int area, const QString &tag);
    CLabelVariable writeTagWords(int word, DataType type, int count, CLabelVariable value, int area,
                                 const QString &tag);
    CLabelVariable writeTagBits(int word, DataType type, int count, CLabelVariable value, int bit, int bitArea,
                                const QString &tag);

    // The last SetConnectPar text as a decimal number (1 before any call).
    unsigned int connectParameter() const { return connectPar; }

    // An `ip:port` text: the part before the colon (the whole text without
    // one) and the port after it (0 unless a decimal number). True when there
    // is an address and the port is 1..65535.
    static bool splitHostPort(const QString &text, QString *address, int *port);

private:
    const Identity identity;
    unsigned int connectPar = 1;
};

#endif // DRIVEFACADE_H
