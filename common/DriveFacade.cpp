#include "DriveFacade.h"

#include "AddressGrammar.h"
#include "BuildInfo.h"
#include "LocalTimestamp.h"
#include "TagRequest.h"
#include "WordLayout.h"

namespace {

// PLC words a tag covers from its word on; Bool counts from bit 0 of it.
long long wordsCovered(DataType type, int bit, int count)
{
    if (type == Bool)
        return TagRequest::boolWords(qMax(bit, 0), count);
    return WordLayout::wordCount(type, count);
}

// A write's outcome: the result code, and the time of the transfer when done.
void finishWrite(CLabelVariable &value, const Outcome &outcome)
{
    value.errorCode = outcome.resultCode();
    if (outcome.ok())
        value.timestamp = LocalTimestamp::now();
}

} // namespace

DriveFacade::DriveFacade(const Identity &identity)
    : identity(identity)
{
}

DriveFacade::~DriveFacade() = default;

QString DriveFacade::getDriveName()
{
    return identity.name;
}

QString DriveFacade::getversion_number()
{
    return identity.version;
}

QString DriveFacade::DebugCmd(EDebugCmdType command)
{
    switch (command) {
    case StartDebug:
        setDebug(true);
        return QStringLiteral("StartDebug");
    case StopDebug:
        setDebug(false);
        return QStringLiteral("StopDebug");
    case GetVersion:
        return BuildInfo::versionText(identity.versionPattern);
    case GetDriveName:
        return getDriveName();
    }
    return QString();
}

void DriveFacade::SetConnectPar(QString parameter)
{
    connectPar = parameter.toUInt(nullptr, 10);
}

bool DriveFacade::splitHostPort(const QString &text, QString *address, int *port)
{
    // The last colon: an IPv6 address has colons of its own.
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    *address = colon < 0 ? text : text.left(colon);
    bool ok = false;
    *port = (colon < 0 ? text : text.mid(colon + 1)).toInt(&ok, 10);
    if (!ok)
        *port = 0;
    // A port outside the TCP/UDP range would be truncated to some other port.
    return !address->isEmpty() && *port >= 1 && *port <= 65535;
}

// ---- tags ---------------------------------------------------------------

CLabelVariable DriveFacade::ReadVariable(QString address, DataType type)
{
    CDriveBaseClass *face = this;
    return face->ReadVariable(address, type, 1);
}

CLabelVariable DriveFacade::WriteVariable(QString address, DataType type, CLabelVariable value)
{
    CDriveBaseClass *face = this;
    return face->WriteVariable(address, type, value, 1);
}

CLabelVariable DriveFacade::ReadVariable(QString address, DataType type, int count)
{
    const AreaType area = getArea(address);
    const int word = getAddr(address, area);
    const int bit = getmodule_BIT(address, area);
    const int code = TagRequest::check(word, bit, area, count, type, wordsCovered(type, bit, count));
    return TagRequest::readFrame(address, type, count, code,
                                 [&] { return readTag(word, type, count, bit, area, address); });
}

CLabelVariable DriveFacade::WriteVariable(QString address, DataType type, CLabelVariable value, int count)
{
    const AreaType area = getArea(address);
    const int bitArea = getArea_Bit(address);
    const int word = getAddr(address, area);
    const int bit = getmodule_BIT(address, area);
    const int code = TagRequest::check(word, bit, area, count, type, wordsCovered(type, bit, count));
    return TagRequest::writeFrame(value, address, type, count, code, [&] {
        return type == Bool ? writeTagBits(word, type, count, value, bit, bitArea, address)
                            : writeTagWords(word, type, count, value, area, address);
    });
}

CLabelVariable DriveFacade::readTag(int word, DataType type, int count, int bit, int area, const QString &tag)
{
    CLabelVariable result;
    if (!TagRequest::isTransferType(type) || count < 1) {
        result.errorCode = TagRequest::TypeNotHandled;
        return result;
    }
    Words words;
    const Outcome outcome = readWords(area, word, int(wordsCovered(type, bit, count)), tag, &words);
    if (!outcome.ok()) {
        result.errorCode = outcome.resultCode();
        return result;
    }
    result.timestamp = LocalTimestamp::now();
    result.errorCode = TagRequest::Success;
    result.value = type == Bool ? WordLayout::toBits(bit, words, count) : WordLayout::toElements(type, words, count);
    return result;
}

CLabelVariable DriveFacade::writeTagWords(int word, DataType type, int count, CLabelVariable value, int area,
                                          const QString &tag)
{
    // Only what the caller gave goes out: a value without `count` elements of
    // the tag's type is refused before anything is sent.
    if (type == Bool || !TagRequest::holdsElements(value, type, count)) {
        value.errorCode = TagRequest::TypeNotHandled;
        return value;
    }
    Words words;
    WordLayout::fromElements(type, value.value, count, &words);
    if (WordLayout::endsInHalfWord(type, count)) {
        // The last element shares its word with a byte the caller did not
        // name: keep that byte as the PLC holds it. If it cannot be read,
        // nothing is written.
        Words held;
        const Outcome outcome = readWords(area, word + words.size() - 1, 1, tag, &held);
        if (!outcome.ok()) {
            value.errorCode = outcome.resultCode();
            return value;
        }
        words.last() = quint16((words.last() & 0xFF00) | (held.value(0) & 0x00FF));
    }
    finishWrite(value, writeWords(area, word, words, tag));
    return value;
}

CLabelVariable DriveFacade::writeTagBits(int word, DataType type, int count, CLabelVariable value, int bit,
                                         int bitArea, const QString &tag)
{
    if (type != Bool || bit < 0 || !TagRequest::holdsElements(value, Bool, count)) {
        value.errorCode = TagRequest::TypeNotHandled;
        return value;
    }
    QByteArray flags;
    WordLayout::bitFlags(value.value, count, &flags);
    // Bit numbers above 15 name a bit of a later word: D100.20 is bit 4 of D101.
    finishWrite(value, writeBits(bitArea, word + bit / 16, bit % 16, flags, tag));
    return value;
}

// ---- address grammar ----------------------------------------------------

DriveFacade::AreaType DriveFacade::getArea(QString text)
{
    return AreaType(AddressGrammar::areaCode(text));
}

int DriveFacade::getArea_Bit(QString text)
{
    return AddressGrammar::bitAreaCode(text);
}

int DriveFacade::getAddr(QString text, AreaType area)
{
    return AddressGrammar::wordAddress(text, area);
}

int DriveFacade::getmodule_BIT(QString text, AreaType area)
{
    return AddressGrammar::bitNumber(text, area);
}
