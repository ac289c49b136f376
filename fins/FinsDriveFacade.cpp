#include "FinsDriveFacade.h"

#include "FinsControllerQueries.h"

#include <climits>

#include "FinsCodec.h"

FinsDriveFacade::FinsDriveFacade(const Identity &identity)
    : DriveFacade(identity)
{
}

FinsDriveFacade::~FinsDriveFacade() = default;

void FinsDriveFacade::setDebug(bool on)
{
    log().setDebug(on);
}

Outcome FinsDriveFacade::lastOutcome() const
{
    return transfer().lastOutcome();
}

// ---- words as FINS bytes --------------------------------------------------

Outcome FinsDriveFacade::readWords(int area, int word, int count, const QString &tag, Words *out)
{
    QByteArray bytes;
    const Outcome outcome = transfer().readWords(area, word, count, tag, &bytes);
    if (outcome.ok())
        *out = FinsCodec::toWords(bytes);
    return outcome;
}

Outcome FinsDriveFacade::writeWords(int area, int word, const Words &words, const QString &tag)
{
    return transfer().writeWords(area, word, FinsCodec::fromWords(words), tag);
}

Outcome FinsDriveFacade::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    return transfer().writeBits(bitArea, word, bit, flags, tag);
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

Outcome FinsDriveFacade::readIdentity(ControllerIdentity *out)
{
    return FinsControllerQueries(transfer()).readIdentity(out);
}

Outcome FinsDriveFacade::readStatus(ControllerStatus *out)
{
    return FinsControllerQueries(transfer()).readStatus(out);
}

Outcome FinsDriveFacade::readClock(QDateTime *out)
{
    return FinsControllerQueries(transfer()).readClock(out);
}

Outcome FinsDriveFacade::writeClock(const QDateTime &time)
{
    return FinsControllerQueries(transfer()).writeClock(time);
}
