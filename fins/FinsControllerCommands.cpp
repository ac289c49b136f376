#include "FinsControllerCommands.h"

namespace FinsControllerCommands {
namespace {

Outcome shortAnswer(const char *what, int got, int wanted)
{
    return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                         QStringLiteral("%1 answer holds %2 data bytes, at least %3 expected")
                             .arg(QLatin1String(what)).arg(got).arg(wanted));
}

QString text(const QByteArray &bytes)
{
    QByteArray t = bytes;
    const int nul = t.indexOf('\0');
    if (nul >= 0)
        t.truncate(nul);
    return QString::fromLatin1(t).trimmed();
}

int u8(const QByteArray &b, int i) { return i < b.size() ? quint8(b.at(i)) : 0; }
int u16(const QByteArray &b, int i) { return (u8(b, i) << 8) | u8(b, i + 1); }

// -1 when `b` holds no two BCD digits.
int fromBcd(int b)
{
    const int hi = b >> 4, lo = b & 0x0F;
    return hi > 9 || lo > 9 ? -1 : hi * 10 + lo;
}

char toBcd(int v) { return char(((v / 10) << 4) | (v % 10)); }

QString modeName(int mode)
{
    switch (mode) {
    case 0x00: return QStringLiteral("PROGRAM");
    case 0x02: return QStringLiteral("MONITOR");
    case 0x04: return QStringLiteral("RUN");
    default: break;
    }
    return QStringLiteral("mode %1").arg(mode, 2, 16, QLatin1Char('0')).toUpper();
}

// One entry per set flag bit. The flag words say which error class is
// present; the controller's error code and message say more.
QStringList flagWords(quint16 flags, const QString &kind, const QString &consequence)
{
    QStringList out;
    for (int bit = 15; bit >= 0; --bit) {
        if (flags & (1u << bit))
            out << QStringLiteral("%1 (flag bit %2): %3").arg(kind).arg(bit).arg(consequence);
    }
    return out;
}

} // namespace

QByteArray controllerDataParameters() { return QByteArray(1, '\0'); }

Outcome parseControllerData(const QByteArray &data, ControllerIdentity *out)
{
    if (data.size() < ControllerDataBytes)
        return shortAnswer("controller data", data.size(), ControllerDataBytes);
    ControllerIdentity id;
    id.model = text(data.mid(0, 20));
    id.version = text(data.mid(20, 20));
    // Area data after 40 bytes of system data: program size (2), IOM size
    // (1), DM words (2), timer/counter size (1), EM banks (1), ...
    constexpr int area = 80;
    if (data.size() >= area + 7) {
        id.details.insert(QStringLiteral("dmWords"), u16(data, area + 3));
        id.details.insert(QStringLiteral("emBanks"), u8(data, area + 6));
    }
    *out = id;
    return Outcome::done();
}

Outcome parseStatus(const QByteArray &data, ControllerStatus *out)
{
    if (data.size() < StatusBytes)
        return shortAnswer("controller status", data.size(), StatusBytes);
    ControllerStatus s;
    s.running = (u8(data, 0) & 0x01) != 0;
    s.mode = modeName(u8(data, 1));
    const quint16 fatal = quint16(u16(data, 2));
    const quint16 nonFatal = quint16(u16(data, 4));
    s.fatalError = fatal != 0;
    s.nonFatalError = nonFatal != 0;
    s.errorCode = u16(data, 8);
    s.errorMessage = text(data.mid(10, 16));
    s.errors = flagWords(fatal, QStringLiteral("fatal error"), QStringLiteral("the CPU has stopped the program"))
        + flagWords(nonFatal, QStringLiteral("non-fatal error"), QStringLiteral("the program keeps running"));
    *out = s;
    return Outcome::done();
}

Outcome parseClock(const QByteArray &data, QDateTime *out)
{
    if (data.size() < ClockBytes)
        return shortAnswer("clock", data.size(), ClockBytes);
    int f[6];
    for (int i = 0; i < 6; ++i)
        f[i] = fromBcd(u8(data, i));
    const QDate date(f[0] < 70 ? 2000 + f[0] : 1900 + f[0], f[1], f[2]);
    const QTime time(f[3], f[4], f[5]);
    if (f[0] < 0 || !date.isValid() || !time.isValid())
        return Outcome::make(Outcome::Kind::BadAnswer, QStringLiteral("answer"),
                             QStringLiteral("clock answer %1 is no date and time")
                                 .arg(QString::fromLatin1(data.left(6).toHex(' '))));
    *out = QDateTime(date, time);
    return Outcome::done();
}

Outcome clockWriteParameters(const QDateTime &time, QByteArray *out)
{
    const QDate d = time.date();
    const QTime t = time.time();
    if (!time.isValid() || d.year() < 1970 || d.year() > 2069)
        return Outcome::refused(5, QStringLiteral("the controller's clock holds the years 1970-2069 only"));
    QByteArray p;
    for (int v : {d.year() % 100, d.month(), d.day(), t.hour(), t.minute(), t.second(), d.dayOfWeek() % 7})
        p.append(toBcd(v));
    *out = p;
    return Outcome::done();
}

bool meansUnsupported(quint16 endCode)
{
    const int proper = endCode & 0x7F3F;
    return proper == 0x0401 || proper == 0x0402;
}

} // namespace FinsControllerCommands
