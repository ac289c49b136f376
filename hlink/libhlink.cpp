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
    if (settings.serial) {
        const HostLinkConnectionText::Serial &line = settings.line;
        m_where = QVariantMap{{QStringLiteral("port"), line.port}, {QStringLiteral("baud"), line.baud}};
        const int result = cmd.serialConnectDrive(line.port, line.baud, line.dataBits, line.stopBits, line.parity);
        connected(result, line.port);
        return result;
    }
    m_where = QVariantMap{{QStringLiteral("address"), settings.tcp.address}, {QStringLiteral("port"), settings.tcp.port}};
    cmd.setReconnect(settings.tcp.reconnect);
    const int result = cmd.EthConnectDrive(settings.tcp.address, settings.tcp.port);
    connected(result, QStringLiteral("%1:%2").arg(settings.tcp.address).arg(settings.tcp.port));
    return result;
}

void LibHLink::connected(int result, const QString &where)
{
    if (result == 0) {
        cmd.setLastOutcome(Outcome::done());
        return;
    }
    cmd.setLastOutcome(Outcome::make(Outcome::Kind::NotConnected, QStringLiteral("connect"),
                                     result == -3 ? QStringLiteral("no TCP connection to %1 (unit %2): %3").arg(where).arg(unit()).arg(cmd.tcpErrorText())
                                                  : QStringLiteral("could not open %1 (unit %2)").arg(where).arg(unit())));
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
    switch (cmd.activeMedium()) {
    case CmdHLink::TcpMedium: return cmd.EthDisConnectDrive();
    case CmdHLink::SerialMedium: return cmd.serialDisConnectDrive();
    case CmdHLink::NoMedium: break;
    }
    return 1;
}

int LibHLink::DestroyFree()
{
    return cmd.DestroyFree();
}

// ----------------------------------------------------- words as hex digits

int LibHLink::getBytelen(DataType type, int count)
{
    const long long words = WordLayout::wordCount(type, count);
    return words <= 0x7FFFFFFF ? int(words) : 0;
}

int LibHLink::readWords(int area, int word, int count, const QString &tag, Words *out)
{
    QByteArray digits;
    const int protocol = cmd.read_cmd(unit(), area, word, count, tag, &digits);
    if (protocol == 0)
        *out = HLinkCodec::toWords(digits);
    return protocol;
}

int LibHLink::writeWords(int area, int word, const Words &words, const QString &tag)
{
    return cmd.write_cmd(unit(), area, word, words.size(), tag, HLinkCodec::fromWords(words));
}

int LibHLink::writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag)
{
    return cmd.writeBits_cmd(unit(), bitArea, word, bit, tag, flags);
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
