#ifndef FINSMEMORYACCESS_H
#define FINSMEMORYACCESS_H

// The memory-area commands a FINS driver facade needs, whatever carries the
// frames (TCP, UDP). Results: 0 done, -1 bad answer, -2 no answer, -3 not
// connected.

#include <QByteArray>
#include <QString>

class FinsMemoryAccess
{
public:
    // Reads byteLen bytes (byteLen / 2 words) from wordAddress into *out.
    virtual int Read_area(int wordAddress, int byteLen, QByteArray *out, int areaCode, QString addressText) = 0;
    // Writes byteLen / 2 words of data from wordAddress on.
    virtual int Write_area(int wordAddress, int byteLen, QByteArray data, int areaCode, QString addressText) = 0;
    // Writes itemCount bits (one byte each in data) from bitNumber of wordAddress on.
    virtual int Write_bool(int wordAddress, int itemCount, QByteArray data, int bitNumber, int areaCode,
                           QString addressText) = 0;
    // Frame logging on or off.
    virtual void setDebug(bool on) = 0;

protected:
    // Never deleted through this face: the transport object is owned by value.
    ~FinsMemoryAccess() = default;
};

#endif // FINSMEMORYACCESS_H
