#include "libhlink.h"

#include <QStringList>

#include "HostLinkConnectionText.h"
#include "WordLayout.h"

LibHLink::LibHLink()
    : DriveFacade({QStringLiteral("HLink"), QStringLiteral("V1.0.1 20230221"), QStringLiteral("v1.0.1 %1 %2")})
{
}

LibHLink::~LibHLink() = default;

void LibHLink::setDebug(bool on)
{
    cmd.debugOn = on;
    m_controllerLog.setDebug(on);
}

// --------------------------------------------------------------- connection

// A text whose first field is `ip:port` is a TCP text (a serial port name
// has no colon); its only other field may be reconnect=on|off.
int LibHLink::ConnectDrive(QString connection)
{
    HostLinkConnectionText::Settings settings;
    QString reason;
    const int parsed = HostLinkConnectionText::parse(connection, &settings, &reason);
    if (parsed != 0) {
        Outcome refused = Outcome::make(Outcome::Kind::Refused, QStringLiteral("text"), reason);
        refused.refusedCode = 1;
        cmd.setLastOutcome(refused);
        return parsed;
    }
    m_where = settings.serial
        ? QVariantMap{{QStringLiteral("port"), settings.line.port}, {QStringLiteral("baud"), settings.line.baud}}
        : QVariantMap{{QStringLiteral("address"), settings.tcp.address}, {QStringLiteral("port"), settings.tcp.port}};
    const int result = cmd.connect(settings);
    m_controllerLog.setPeer(settings.serial ? settings.line.port : settings.tcp.address,
                            settings.serial ? settings.line.baud : settings.tcp.port);
    m_controllerCore.resetSid();
    if (result == 0)
        cmd.setLastOutcome(Outcome::done());
    else
        cmd.setLastOutcome(Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("connect"),
                                         QStringLiteral("%1 (unit %2)").arg(cmd.lines().error()).arg(unit())));
    return result;
}

QString LibHLink::checkConnectionText(const QString &text) const
{
    HostLinkConnectionText::Settings settings;
    QString reason;
    return HostLinkConnectionText::parse(text, &settings, &reason) == 0 ? QString() : reason;
}

QVariantMap LibHLink::addressing() const
{
    QVariantMap map = m_where;
    map.insert(QStringLiteral("unit"), unit());
    return map;
}

int LibHLink::DisConnectDrive()
{
    return cmd.lines().disconnect();
}

int LibHLink::DestroyFree()
{
    return cmd.lines().destroy();
}

// ----------------------------------------------------- words as hex digits

int LibHLink::getBytelen(DataType type, int count)
{
    const long long words = WordLayout::wordCount(type, count);
    return words <= 0x7FFFFFFF ? int(words) : 0;
}

// Every failed exchange leaves its Outcome in cmd.lastOutcome().
Outcome LibHLink::readWords(int area, int word, int count, const QString &tag, Words *out)
{
    QByteArray digits;
    if (cmd.read_cmd(unit(), area, word, count, tag, &digits) != 0)
        return cmd.lastOutcome();
    *out = HLinkCodec::toWords(digits);
    return Outcome::done();
}

Outcome LibHLink::writeWords(int area, int word, const Words &words, const QString &tag)
{
    return cmd.write_cmd(unit(), area, word, words.size(), tag, HLinkCodec::fromWords(words)) == 0
        ? Outcome::done()
        : cmd.lastOutcome();
}

Outcome LibHLink::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    return cmd.writeBits_cmd(unit(), bitArea, word, bit, tag, flags) == 0 ? Outcome::done() : cmd.lastOutcome();
}

// ------------------------------------------------------------------- steps

CLabelVariable LibHLink::Read_data(int wordAddress, DataType type, int count, int bitNumber, int area,
                                   QString address)
{
    return readTag(wordAddress, type, count, bitNumber, area, address);
}

CLabelVariable LibHLink::Write_D(int wordAddress, DataType type, int count, CLabelVariable tagValue, int area,
                                 QString address)
{
    return writeTagWords(wordAddress, type, count, tagValue, area, address);
}

CLabelVariable LibHLink::Write_CIO(int wordAddress, DataType type, int count, CLabelVariable tagValue,
                                   int bitNumber, int bitArea, QString address)
{
    return writeTagBits(wordAddress, type, count, tagValue, bitNumber, bitArea, address);
}
