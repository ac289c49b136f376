// plchost FINS_PORT HOSTLINK_PORT
//
// Loads the installed plug-ins, connects two of them to a PLC on 127.0.0.1
// (FINS/TCP and Host Link over TCP), writes through one and reads through
// both, and checks the values; the FINS/UDP plug-in is checked for its
// identity. Exit status 0 when everything holds.

#include "CDriveBaseClass.h"
#include "CLabelVariable.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QTextStream>

#include <cstdio>

namespace {

int g_failures = 0;

void check(bool ok, const QString &what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    if (!ok)
        ++g_failures;
}

CDriveBaseClass *load(const char *path)
{
    QLibrary library(QString::fromUtf8(path));
    if (!library.load()) {
        check(false, QStringLiteral("load %1: %2").arg(QString::fromUtf8(path), library.errorString()));
        return nullptr;
    }
    auto entry = reinterpret_cast<GetSharedLibraryFn>(library.resolve("getSharedLibrary"));
    check(entry != nullptr, QStringLiteral("getSharedLibrary in %1").arg(QString::fromUtf8(path)));
    return entry ? entry() : nullptr;
}

QList<short> shorts(CLabelVariable value)
{
    QList<short> out;
    for (int i = 0; i < value.count; ++i)
        out << value.atInt16(i);
    return out;
}

QString text(const QList<short> &list)
{
    QStringList parts;
    for (short s : list)
        parts << QString::number(s);
    return parts.join(QLatin1Char(','));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: plchost FINS_PORT HOSTLINK_PORT\n");
        return 2;
    }
    const QString finsTarget = QStringLiteral("127.0.0.1:%1").arg(QString::fromLatin1(argv[1]));
    const QString hostLinkTarget = QStringLiteral("127.0.0.1:%1").arg(QString::fromLatin1(argv[2]));

    CDriveBaseClass *fins = load(FINSNET_PLUGIN);
    CDriveBaseClass *hlink = load(HLINK_PLUGIN);
    if (!fins || !hlink)
        return 1;
    check(fins->getDriveName() == QLatin1String("FinsNet"), QStringLiteral("FINS driver name ") + fins->getDriveName());
    check(hlink->getDriveName() == QLatin1String("HLink"), QStringLiteral("Host Link driver name ") + hlink->getDriveName());
    check(fins->DebugCmd(GetVersion).startsWith(QLatin1String("v1.7.4 ")), fins->DebugCmd(GetVersion));
    CDriveBaseClass *finsUdp = load(FINSUDP_PLUGIN);
    check(finsUdp && finsUdp->getDriveName() == QLatin1String("FinsUdp")
              && finsUdp->getversion_number() == QLatin1String("V1.0.0 20261209"),
          QStringLiteral("FINS/UDP driver name and version"));
    CDriveBaseClass *cip = load(CIPNET_PLUGIN);
    check(cip && cip->getDriveName() == QLatin1String("CipNet") && cip->getversion_number() == QLatin1String("V1.0.0 20261209"),
          QStringLiteral("EtherNet/IP driver name and version"));

    check(fins->ConnectDrive(finsTarget) == 0, QStringLiteral("FINS connect ") + finsTarget);
    hlink->SetConnectPar(QStringLiteral("0"));
    check(hlink->ConnectDrive(hostLinkTarget) == 0, QStringLiteral("Host Link connect ") + hostLinkTarget);

    // plcsim --fill puts i * 111 into D0..D9.
    const CLabelVariable finsRead = fins->ReadVariable(QStringLiteral("D1"), Int16, 3);
    check(finsRead.errorCode == 0 && shorts(finsRead) == QList<short>({111, 222, 333}),
          QStringLiteral("FINS read D1 Int16 3: code %1 [%2]").arg(finsRead.errorCode).arg(text(shorts(finsRead))));
    const CLabelVariable hlinkRead = hlink->ReadVariable(QStringLiteral("D1"), Int16, 3);
    check(hlinkRead.errorCode == 0 && shorts(hlinkRead) == QList<short>({111, 222, 333}),
          QStringLiteral("Host Link read D1 Int16 3: code %1 [%2]").arg(hlinkRead.errorCode).arg(text(shorts(hlinkRead))));

    CLabelVariable value;
    value.value = QVariant::fromValue(QList<short>{4321, -2});
    const CLabelVariable written = fins->WriteVariable(QStringLiteral("D100"), Int16, value, 2);
    check(written.errorCode == 0, QStringLiteral("FINS write D100 Int16 [4321,-2]: code %1").arg(written.errorCode));
    CLabelVariable viaFins = fins->ReadVariable(QStringLiteral("D100"), Int16, 2);
    CLabelVariable viaHostLink = hlink->ReadVariable(QStringLiteral("D100"), Int16, 2);
    check(shorts(viaHostLink) == QList<short>({4321, -2}),
          QStringLiteral("Host Link reads what FINS wrote: [%1]").arg(text(shorts(viaHostLink))));
    // CLabelVariable's own code, linked from the package: comparison and arithmetic.
    check(viaFins == viaHostLink, QStringLiteral("both reads compare equal"));
    const CLabelVariable sum = viaFins + viaHostLink;
    check(shorts(sum) == QList<short>({8642, -4}), QStringLiteral("sum [%1]").arg(text(shorts(sum))));

    // C-mode on the same Host Link port reads what FINS wrote.
    CDriveBaseClass *cmode = load(HLINKC_PLUGIN);
    check(cmode && cmode->getDriveName() == QLatin1String("HLinkC"), QStringLiteral("C-mode driver name"));
    if (cmode) {
        cmode->SetConnectPar(QStringLiteral("0"));
        check(cmode->ConnectDrive(hostLinkTarget) == 0, QStringLiteral("C-mode connect ") + hostLinkTarget);
        const CLabelVariable viaCMode = cmode->ReadVariable(QStringLiteral("D100"), Int16, 2);
        check(shorts(viaCMode) == QList<short>({4321, -2}),
              QStringLiteral("C-mode reads what FINS wrote: [%1]").arg(text(shorts(viaCMode))));
        check(cmode->DestroyFree() == 0, QStringLiteral("C-mode release"));
    }

    check(fins->DisConnectDrive() == 0, QStringLiteral("FINS disconnect"));
    check(hlink->DisConnectDrive() == 0, QStringLiteral("Host Link disconnect"));
    check(fins->DestroyFree() == 0 && hlink->DestroyFree() == 0, QStringLiteral("release"));
    std::printf("%s\n", g_failures == 0 ? "host: all checks passed" : "host: checks failed");
    return g_failures == 0 ? 0 : 1;
}
