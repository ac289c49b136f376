#ifndef CLABELVARIABLE_H
#define CLABELVARIABLE_H

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

// The tag value that crosses the driver interface in both directions.
// Member order is part of the binary contract with the host.
class CLabelVariable
{
public:
    CLabelVariable()
        : errorCode(1), accessStatus(1), count(0), dataType(0), auxInt(0)
    {
    }
    CLabelVariable(const CLabelVariable &other);
    CLabelVariable &operator=(const CLabelVariable &other);
    ~CLabelVariable();

    int errorCode;      // result of the last driver operation (0 success)
    int accessStatus;   // result of the last at...() call: 0, 10 range, 11 type
    QVariant value;     // always a QList of one element type
    QDateTime timestamp;
    QString address;
    int count;
    int dataType;
    int auxInt;
    QString auxText;

    bool atbool(int index);
    char atchar(int index);
    char atInt8(int index);
    unsigned char atUInt8(int index);
    short atInt16(int index);
    unsigned short atUInt16(int index);
    int atInt32(int index);
    unsigned int atUInt32(int index);
    float atFloat(int index);
    long long atInt64(int index);
    unsigned long long atUInt64(int index);
    double atDouble(int index);
    QString atQString(int index);

    CLabelVariable operator+(const CLabelVariable &right);
    CLabelVariable operator-(const CLabelVariable &right);
    CLabelVariable operator*(const CLabelVariable &right);
    CLabelVariable operator/(const CLabelVariable &right);
    bool operator==(const CLabelVariable &right);
};

#endif // CLABELVARIABLE_H
