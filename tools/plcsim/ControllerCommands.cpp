#include "ControllerCommands.h"
#include "SimState.h"

namespace plcsim {

namespace {

constexpr int kFinsHeaderBytes = 10;

FinsResult withCode(quint16 code)
{
    FinsResult r;
    r.endCode = code;
    return r;
}

QByteArray padded(const QByteArray &text, int size, char pad)
{
    QByteArray out = text.left(size);
    out.append(QByteArray(size - out.size(), pad));
    return out;
}

void appendWord(QByteArray &out, int value)
{
    out.append(char((value >> 8) & 0xFF));
    out.append(char(value & 0xFF));
}

// 05 01, parameter 00 or none: model, version, system data, area data.
FinsResult controllerData(const SimState &s, const QByteArray &command)
{
    if (command.size() > 3)
        return withCode(endcode::CommandTooLong);
    if (command.size() == 3 && command.at(2) != '\x00')
        return withCode(endcode::ParameterError);
    FinsResult r;
    r.data = padded(s.model.modelText, 20, ' ') + padded(s.model.versionText, 20, '\0');
    QByteArray system(40, '\0');
    system[2] = char(s.model.emBanks > 0 ? s.model.emBanks - 1 : 0); // largest EM bank
    r.data += system;
    appendWord(r.data, 64);  // program size, K steps
    r.data.append(char(23)); // IOM size, K bytes
    appendWord(r.data, s.model.dWords);
    r.data.append(char(8));  // timer/counter size, K
    r.data.append(char(s.model.emBanks));
    appendWord(r.data, 0);
    r.data.append(char(0));  // no memory card
    appendWord(r.data, 0);
    return r;
}

// 06 01: status, mode, error flags, error code, message.
FinsResult controllerStatus(const SimState &s, const QByteArray &command)
{
    if (command.size() > 2)
        return withCode(endcode::CommandTooLong);
    const ControllerCondition &c = s.condition;
    FinsResult r;
    r.data.append(char(c.running() ? 0x01 : 0x00));
    r.data.append(char(c.mode));
    appendWord(r.data, c.fatalFlags);
    appendWord(r.data, c.nonFatalFlags);
    appendWord(r.data, c.message.isEmpty() ? 0 : 1);
    appendWord(r.data, c.errorCode);
    r.data += padded(c.message, 16, ' ');
    return r;
}

char bcd(int v) { return char(((v / 10) << 4) | (v % 10)); }

// -1 when `b` is no BCD byte.
int fromBcd(char b)
{
    const int hi = (quint8(b) >> 4), lo = quint8(b) & 0x0F;
    return hi > 9 || lo > 9 ? -1 : hi * 10 + lo;
}

FinsResult clockRead(const SimState &s, const QByteArray &command)
{
    if (command.size() > 2)
        return withCode(endcode::CommandTooLong);
    const QDateTime t = controllerClock(s);
    FinsResult r;
    for (int v : {t.date().year() % 100, t.date().month(), t.date().day(), t.time().hour(),
                  t.time().minute(), t.time().second(), t.date().dayOfWeek() % 7})
        r.data.append(bcd(v));
    return r;
}

// Year (two digits: 70-99 are 19xx), month, day, hour, minute[, second[, day of week]].
FinsResult clockWrite(SimState &s, const QByteArray &command)
{
    const QByteArray p = command.mid(2);
    if (p.size() < 5)
        return withCode(endcode::CommandTooShort);
    if (p.size() > 7)
        return withCode(endcode::CommandTooLong);
    int f[7] = {0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < p.size(); ++i) {
        if ((f[i] = fromBcd(p.at(i))) < 0)
            return withCode(endcode::ParameterError);
    }
    const QDate date(f[0] < 70 ? 2000 + f[0] : 1900 + f[0], f[1], f[2]);
    const QTime time(f[3], f[4], f[5]);
    if (!date.isValid() || !time.isValid() || f[6] > 6)
        return withCode(endcode::ParameterError); // the clock is not set
    s.clockOffsetMs = QDateTime::currentDateTime().msecsTo(QDateTime(date, time));
    return FinsResult();
}

FinsResult runControllerCommand(SimState &s, const QByteArray &command)
{
    switch ((quint8(command.at(0)) << 8) | quint8(command.at(1))) {
    case 0x0501: return controllerData(s, command);
    case 0x0601: return controllerStatus(s, command);
    case 0x0701: return clockRead(s, command);
    case 0x0702: return clockWrite(s, command);
    default: break;
    }
    return withCode(endcode::NotSupported);
}

bool isControllerCommand(const QByteArray &command)
{
    const quint8 mr = quint8(command.at(0)), sr = quint8(command.at(1));
    return (mr == 0x05 || mr == 0x06) ? sr == 0x01 : mr == 0x07 && (sr == 0x01 || sr == 0x02);
}

} // namespace

FinsResult executeCommand(SimState &state, const Faults &faults, const QByteArray &command,
                          int transportMaxData)
{
    if (isErrorEndCode(faults.endCode) || command.size() < 2)
        return executeWithFaults(state.memory, faults, command, transportMaxData);
    FinsResult r;
    const ControllerModel &m = state.model;
    if (kFinsHeaderBytes + command.size() > m.frameBytes) {
        r.endCode = m.commandTooLong;
    } else if (isControllerCommand(command)) {
        r = runControllerCommand(state, command);
        if (r.endCode == endcode::Normal)
            r.endCode = faults.endCode;
    } else {
        const int frameData = m.frameBytes - kFinsHeaderBytes - 4;
        r = executeWithFaults(state.memory, faults, command, qMin(transportMaxData, frameData));
        if (r.endCode == endcode::ResponseTooLong)
            r.endCode = m.answerTooLong;
    }
    r.endCode |= state.condition.statusFlags();
    return r;
}

QDateTime controllerClock(const SimState &state)
{
    return QDateTime::currentDateTime().addMSecs(state.clockOffsetMs);
}

} // namespace plcsim
