#include "FinsUdpFrames.h"
#include "FinsExecutor.h"
#include "FinsTcpFrames.h"
#include "PlcSimulator.h"

#include <QHostAddress>

namespace plcsim {
namespace finsudp {

namespace {

// Anything that is no FINS answer: ICF without the response bit, and short.
const QByteArray kGarbage("\x00\xA5garbage\xFF\x5A", 12);

void bump(QByteArray &bytes, int index)
{
    bytes[index] = static_cast<char>(static_cast<quint8>(bytes.at(index)) + 1);
}

} // namespace

Verdict classify(const QByteArray &datagram, int node)
{
    if (datagram.size() < kHeaderSize + 2)
        return Verdict::NotCommand;
    const quint8 icf = static_cast<quint8>(datagram.at(0));
    if (icf & 0x40)
        return Verdict::NotCommand; // a response, perhaps our own echoed back
    if (static_cast<quint8>(datagram.at(4)) != node)
        return Verdict::ForeignNode;
    return (icf & 0x01) ? Verdict::NoAnswer : Verdict::Command;
}

QByteArray answer(const QByteArray &command, const FinsResult &result, const Faults &faults)
{
    if (faults.garbage)
        return kGarbage;
    QByteArray out = finstcp::responseHeader(command.left(kHeaderSize));
    if (faults.wrongNode) {
        bump(out, 4);
        bump(out, 7);
    }
    if (faults.wrongSid)
        bump(out, 9);
    out += command.mid(kHeaderSize, 2);
    QByteArray end;
    end.append(static_cast<char>(result.endCode >> 8));
    end.append(static_cast<char>(result.endCode & 0xFF));
    QByteArray data = result.data;
    if (faults.cutShort) {
        if (data.isEmpty())
            end.chop(1);
        else
            data.chop((data.size() + 1) / 2);
    }
    return out + end + data;
}

int nodeOfAddress(const QString &address)
{
    QHostAddress a;
    if (!a.setAddress(address) || a.protocol() != QAbstractSocket::IPv4Protocol)
        return 0;
    const int last = static_cast<int>(a.toIPv4Address() & 0xFF);
    return (last >= 1 && last <= 254) ? last : 0;
}

} // namespace finsudp
} // namespace plcsim
