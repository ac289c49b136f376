#include "libhlink.h"

#include <QStringList>

#include "ReconnectOption.h"
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
    if (connection.section(QLatin1Char(','), 0, 0).contains(QLatin1Char(':'))) {
        QString address, hostPort = connection;
        int port = 0;
        bool reconnect = false;
        if (!ReconnectOption::take(&hostPort, &reconnect) || !splitHostPort(hostPort, &address, &port))
            return -1;
        const int result = cmd.EthConnectDrive(address, port);
        cmd.setReconnect(reconnect);
        return result;
    }
    if (connection.contains(QLatin1Char(',')))
        return connectSerial(connection);
    return -4;
}

// port name, baud rate, data bits, stop bits, parity
int LibHLink::connectSerial(const QString &connection)
{
    const QStringList fields = connection.split(QLatin1Char(','));
    auto number = [&fields](int i) { return i < fields.size() ? fields.at(i).trimmed().toInt() : 0; };
    const QString portName = fields.at(0);
    const int baudRate = number(1);
    const int dataBits = number(2);
    const int stopBits = number(3);
    const QString parity = fields.size() > 4 ? fields.at(4) : QString();
    if (portName.isEmpty() || baudRate == 0 || dataBits == 0 || stopBits == 0)
        return -1;
    return cmd.serialConnectDrive(portName, baudRate, dataBits, stopBits, parity);
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
