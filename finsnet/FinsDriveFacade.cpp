#include "FinsDriveFacade.h"

#include <climits>

#include "FinsCodec.h"

FinsDriveFacade::FinsDriveFacade(const Identity &identity)
    : DriveFacade(identity)
{
}

FinsDriveFacade::~FinsDriveFacade() = default;

void FinsDriveFacade::setDebug(bool on)
{
    memory().setDebug(on);
}

// ---- words as FINS bytes --------------------------------------------------

int FinsDriveFacade::readWords(int area, int word, int count, const QString &tag, Words *out)
{
    QByteArray bytes;
    const int protocol = memory().Read_area(word, 2 * count, &bytes, area, tag);
    if (protocol == 0)
        *out = FinsCodec::toWords(bytes);
    return protocol;
}

int FinsDriveFacade::writeWords(int area, int word, const Words &words, const QString &tag)
{
    const QByteArray bytes = FinsCodec::fromWords(words);
    return memory().Write_area(word, bytes.size(), bytes, area, tag);
}

int FinsDriveFacade::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    return memory().Write_bool(word, flags.size(), flags, bit, bitArea, tag);
}

// ---- steps ----------------------------------------------------------------

CLabelVariable FinsDriveFacade::Read_data(int address, DataType type, int count, int bit, int area, QString tag)
{
    return readTag(address, type, count, bit, area, tag);
}

CLabelVariable FinsDriveFacade::Write_area(int address, DataType type, int count, CLabelVariable value, int area,
                                           QString tag)
{
    return writeTagWords(address, type, count, value, area, tag);
}

CLabelVariable FinsDriveFacade::Write_bool(int address, DataType type, int count, CLabelVariable value, int bit,
                                           int bitArea, QString tag)
{
    return writeTagBits(address, type, count, value, bit, bitArea, tag);
}

int FinsDriveFacade::getBytelen(DataType type, int count)
{
    return int(qMin<long long>(FinsCodec::byteLength(type, count), INT_MAX));
}
