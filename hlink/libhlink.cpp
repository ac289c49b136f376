#include "libhlink.h"

#include <QStringList>

#include "FinsCodec.h"
#include "HostLinkConnectionText.h"
#include "WordLayout.h"

LibHLink::LibHLink()
    : DriveFacade({QStringLiteral("HLink"), QStringLiteral("V1.0.1 20230221"), QStringLiteral("v1.0.1 %1 %2")})
{
    m_core.setLimits(frameLimits());
}

LibHLink::~LibHLink() = default;

void LibHLink::setDebug(bool on)
{
    m_log.setDebug(on);
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
        m_core.setLastOutcome(refused);
        return parsed;
    }
    m_where = settings.serial
        ? QVariantMap{{QStringLiteral("port"), settings.line.port}, {QStringLiteral("baud"), settings.line.baud}}
        : QVariantMap{{QStringLiteral("address"), settings.tcp.address}, {QStringLiteral("port"), settings.tcp.port}};
    const int result = m_link.connect(settings);
    // A new line (a TCP connect replaces the old one even when it fails):
    // SIDs from 0, and the full frame size, for another controller may be on it.
    if (result == 0 || !settings.serial) {
        m_core.resetSid();
        m_core.restoreLimits();
    }
    if (result == 0)
        m_core.setLastOutcome(Outcome::done());
    else
        m_core.setLastOutcome(Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("connect"),
                                            QStringLiteral("%1 (unit %2)").arg(m_lines.error()).arg(unit())));
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
    return m_lines.disconnect();
}

int LibHLink::DestroyFree()
{
    return m_lines.destroy();
}

// ------------------------------------------------------------------ words

int LibHLink::getBytelen(DataType type, int count)
{
    const long long words = WordLayout::wordCount(type, count);
    return words <= 0x7FFFFFFF ? int(words) : 0;
}

Outcome LibHLink::readWords(int area, int word, int count, const QString &tag, Words *out)
{
    QByteArray bytes;
    const Outcome outcome = m_core.readWords(area, word, count, tag, &bytes);
    if (outcome.ok())
        *out = FinsCodec::toWords(bytes);
    return outcome;
}

Outcome LibHLink::writeWords(int area, int word, const Words &words, const QString &tag)
{
    return m_core.writeWords(area, word, FinsCodec::fromWords(words), tag);
}

Outcome LibHLink::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    return m_core.writeBits(bitArea, word, bit, flags, tag);
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
