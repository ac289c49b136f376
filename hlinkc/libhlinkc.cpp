#include "libhlinkc.h"

#include <QMessageLogger>

#include "HostLinkConnectionText.h"
#include "CModeController.h"
#include "TagRequest.h"
#include "WordLayout.h"

namespace {

long long wordsCovered(DataType type, int bit, int count)
{
    if (type == Bool)
        return TagRequest::boolWords(qMax(bit, 0), count);
    return WordLayout::wordCount(type, count);
}

} // namespace

LibHLinkC::LibHLinkC()
    : DriveFacade({QStringLiteral("HLinkC"), QStringLiteral("V1.0.0 20261209"), QStringLiteral("v1.0.0 %1 %2")})
{
}

LibHLinkC::~LibHLinkC() = default;

Outcome LibHLinkC::record(const Outcome &outcome)
{
    last = outcome;
    return outcome;
}

// ---------------------------------------------------------------- connection

int LibHLinkC::ConnectDrive(QString connection)
{
    HostLinkConnectionText::Settings settings;
    QString reason;
    cmd.resetDropped();
    const int parsed = HostLinkConnectionText::parse(connection, &settings, &reason);
    if (parsed != 0) {
        last = Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("connect"), reason);
        return parsed;
    }
    if (settings.serial)
        peer = {{QStringLiteral("port"), settings.line.port}, {QStringLiteral("baud"), settings.line.baud}};
    else
        peer = {{QStringLiteral("address"), settings.tcp.address}, {QStringLiteral("port"), settings.tcp.port}};
    const int code = link.open(settings);
    last = code == 0 ? Outcome::done() : Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("connect"), link.lastError());
    return code;
}

int LibHLinkC::DisConnectDrive()
{
    return link.close();
}

int LibHLinkC::DestroyFree()
{
    return link.release();
}

QString LibHLinkC::checkConnectionText(const QString &text) const
{
    HostLinkConnectionText::Settings settings;
    QString reason;
    HostLinkConnectionText::parse(text, &settings, &reason);
    return reason;
}

QVariantMap LibHLinkC::addressing() const
{
    QVariantMap map = peer;
    map.insert(QStringLiteral("unit"), unit());
    return map;
}

// ---------------------------------------------------------------- tags

// Beyond what C-mode reaches the tag is refused before anything is sent: W
// has no C-mode command (3), words past the area's reach (5) need FINS.
int LibHLinkC::reachCode(const QString &address, DataType type, int count, int *checkCode)
{
    const AreaType area = getArea(address);
    const int word = getAddr(address, area);
    const int bit = getmodule_BIT(address, area);
    const long long words = wordsCovered(type, bit, count);
    *checkCode = TagRequest::check(word, bit, area, count, type, words);
    if (*checkCode != 0)
        return 0;
    const CModeFrame::AreaCommands cmds = CModeFrame::commandsFor(area);
    QString reason;
    int code = 0;
    if (cmds.read.isEmpty()) {
        code = TagRequest::UnknownArea;
        reason = QStringLiteral("%1: C-mode has no command for this area").arg(address);
    } else if (word + words > cmds.reach) {
        code = TagRequest::BadAddress;
        reason = QStringLiteral("%1: beyond word %2 of the area, which C-mode does not reach; use FINS (the HLink or FinsNet plug-in)")
                     .arg(address)
                     .arg(cmds.reach - 1);
    }
    if (code != 0) {
        QMessageLogger().warning("%s", qPrintable(QStringLiteral("lib[HLinkC] Area=%1 refused: %2").arg(address, reason)));
        last = Outcome::refused(code, reason);
    }
    return code;
}

CLabelVariable LibHLinkC::ReadVariable(QString address, DataType type, int count)
{
    int checkCode = 0;
    const int code = reachCode(address, type, count, &checkCode);
    if (checkCode == 0 && code != 0)
        return TagRequest::readFrame(address, type, count, code, [] { return CLabelVariable(); });
    return DriveFacade::ReadVariable(address, type, count);
}

CLabelVariable LibHLinkC::WriteVariable(QString address, DataType type, CLabelVariable value, int count)
{
    int checkCode = 0;
    const int code = reachCode(address, type, count, &checkCode);
    if (checkCode == 0 && code != 0)
        return TagRequest::writeFrame(value, address, type, count, code, [] { return CLabelVariable(); });
    return DriveFacade::WriteVariable(address, type, value, count);
}

Outcome LibHLinkC::readWords(int area, int word, int count, const QString &tag, Words *out)
{
    return record(cmd.read(unit(), area, word, count, tag, out));
}

Outcome LibHLinkC::writeWords(int area, int word, const Words &words, const QString &tag)
{
    return record(cmd.write(unit(), area, word, words, tag));
}

// C-mode has no bit write: the words that hold the bits are read, the bits
// set, and the words written back with their other bits as they were read.
Outcome LibHLinkC::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    // Every bit-access code is its word-access code less 0x80 (30/B0, 02/82, 20/A0).
    const int area = bitArea + 0x80;
    const int count = int(TagRequest::boolWords(bit, flags.size()));
    Words words;
    const Outcome read = readWords(area, word, count, tag, &words);
    if (!read.ok())
        return read;
    for (int k = 0; k < flags.size(); ++k) {
        const int at = bit + k;
        const quint16 mask = quint16(1u << (at % 16));
        words[at / 16] = flags.at(k) ? quint16(words[at / 16] | mask) : quint16(words[at / 16] & ~mask);
    }
    return writeWords(area, word, words, tag);
}

// ---------------------------------------------------------------- controller

Outcome LibHLinkC::readIdentity(ControllerIdentity *out)
{
    QByteArray text;
    Outcome o = cmd.query(unit(), "MM", &text);
    if (o.ok() && !CModeController::identity(text, out))
        o = Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"), QStringLiteral("MM answer holds no model code"));
    last = o;
    return o;
}

Outcome LibHLinkC::readStatus(ControllerStatus *out)
{
    QByteArray text;
    Outcome o = cmd.query(unit(), "MS", &text);
    if (o.ok() && !CModeController::status(text, out))
        o = Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"), QStringLiteral("MS answer holds no status"));
    last = o;
    return o;
}

Outcome LibHLinkC::readClock(QDateTime *)
{
    return Outcome::make(Outcome::Kind::Unsupported, QStringLiteral("request"), QStringLiteral("C-mode has no clock command"));
}

Outcome LibHLinkC::writeClock(const QDateTime &)
{
    return readClock(nullptr);
}
