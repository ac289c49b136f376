#ifndef CDRIVEBASECLASS_H
#define CDRIVEBASECLASS_H

// The driver interface that hosts build against. The order of the virtual
// operations is the host's binary contract: never reorder, insert or remove.

#include <QObject>
#include <QString>

#include "CLabelVariable.h"

// Element type of a tag. Codes 1..11 are read and written by the drivers;
// 12 and above only take part in CLabelVariable arithmetic.
enum DataType : int {
    Bool = 1,
    Int8 = 2,
    UInt8 = 3,
    Int16 = 4,
    UInt16 = 5,
    Int32 = 6,
    UInt32 = 7,
    Float = 8,
    Int64 = 9,
    UInt64 = 10,
    Double = 11,
    String = 12
};

enum EDebugCmdType : int {
    StartDebug = 0,
    StopDebug = 1,
    GetVersion = 2,
    GetDriveName = 3
};

class CDriveBaseClass
{
public:
    virtual QString getDriveName() = 0;
    virtual QString getversion_number() = 0;
    virtual QString DebugCmd(EDebugCmdType cmd) = 0;
    virtual int ConnectDrive(QString connection) = 0;
    virtual void SetConnectPar(QString parameter) = 0;
    virtual int DisConnectDrive() = 0;
    virtual CLabelVariable ReadVariable(QString address, DataType type) = 0;
    virtual CLabelVariable ReadVariable(QString address, DataType type, int count) = 0;
    virtual CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value) = 0;
    virtual CLabelVariable WriteVariable(QString address, DataType type, CLabelVariable value, int count) = 0;
    virtual int DestroyFree() = 0;

protected:
    // Not virtual and not public: the host never deletes a driver through
    // this face; the object lives as long as the process.
    ~CDriveBaseClass() = default;
};

Q_DECLARE_INTERFACE(CDriveBaseClass, "CDriveBaseClass")

// The one exported entry point of each plug-in.
extern "C" CDriveBaseClass *getSharedLibrary();
using GetSharedLibraryFn = CDriveBaseClass *(*)();

#endif // CDRIVEBASECLASS_H
