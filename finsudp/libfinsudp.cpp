#include "libfinsudp.h"

#include <QMessageLogger>

namespace {

// The harmless command ConnectDrive probes with: one word of D0.
const char kProbeTag[] = "D0";
constexpr int kProbeArea = 0x82;

} // namespace

LibFinsUdp::LibFinsUdp()
    : FinsPlugin({QStringLiteral("FinsUdp"), QStringLiteral("V1.0.0 20261209"), QStringLiteral("v1.0.0 %1 %2")},
                 QStringLiteral("lib[FinsUdp]"), true)
{
}

LibFinsUdp::~LibFinsUdp() = default;

int LibFinsUdp::ConnectDrive(QString connection)
{
    UdpConnectionText::Settings settings;
    QString error;
    if (!UdpConnectionText::parse(connection, &settings, &error)) {
        QMessageLogger().warning().noquote() << QStringLiteral("lib[FinsUdp]连接参数错误 %1").arg(error);
        Outcome refused = Outcome::make(Outcome::Kind::Refused, QStringLiteral("text"), error);
        refused.refusedCode = 1;
        transfer().setLastOutcome(refused);
        return -1;
    }
    const int opened = link.open(settings);
    log().setPeer(link.peerAddress(), link.peerPort());
    if (opened != 0) {
        transfer().setLastOutcome(link.connectOutcome());
        return opened;
    }
    transfer().restoreLimits(); // a new connection may reach another controller
    const Outcome probed = transfer().probeRead(kProbeArea, 0, QString::fromLatin1(kProbeTag));
    link.setConnectOutcome(probed);
    if (probed.ok())
        return 0;
    if (probed.kind == Outcome::Kind::NoAnswer) {
        // Wrong node numbers look exactly like this: the controller drops a
        // command for another node, or answers one it cannot route silently.
        const FinsCommand::Nodes nodes = link.nodes();
        QMessageLogger().warning().noquote()
            << QStringLiteral("lib[FinsUdp]%1:%2 无应答，请检查节点号 plc=%3 node=%4 local=%5")
                   .arg(link.peerAddress())
                   .arg(link.peerPort())
                   .arg(nodes.plc)
                   .arg(nodes.ours)
                   .arg(link.localPort());
    }
    link.DisConnectDrive();
    return probed.connectCode();
}

QString LibFinsUdp::checkConnectionText(const QString &text) const
{
    UdpConnectionText::Settings settings;
    QString error;
    return UdpConnectionText::parse(text, &settings, &error) ? QString() : error;
}

QVariantMap LibFinsUdp::addressing() const
{
    const FinsCommand::Nodes nodes = link.nodes();
    return QVariantMap{{QStringLiteral("plc"), nodes.plc},
                       {QStringLiteral("node"), nodes.ours},
                       {QStringLiteral("address"), link.peerAddress()},
                       {QStringLiteral("port"), link.peerPort()},
                       {QStringLiteral("local"), link.localPort()}};
}
