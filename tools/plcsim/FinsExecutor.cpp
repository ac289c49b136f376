#include "FinsExecutor.h"

namespace plcsim {

namespace {

struct Target
{
    quint8 wordCode = 0;
    bool bitAccess = false;
    int address = 0;
    int bit = 0;
    int count = 0;
};

quint8 byteAt(const QByteArray &b, int i) { return static_cast<quint8>(b.at(i)); }
int word16At(const QByteArray &b, int i) { return (byteAt(b, i) << 8) | byteAt(b, i + 1); }

// Resolves the area code of the 6-byte parameter block at `params`.
// Returns false when the controller has no such area.
bool resolveArea(const MemoryImage &memory, const QByteArray &command, Target &t)
{
    const quint8 code = byteAt(command, 2);
    if (memory.size(code) > 0) {
        t.wordCode = code;
        t.bitAccess = false;
    } else {
        const quint8 wordCode = MemoryImage::wordCodeForBitCode(code);
        if (wordCode == 0 || memory.size(wordCode) == 0)
            return false;
        t.wordCode = wordCode;
        t.bitAccess = true;
    }
    t.address = word16At(command, 3);
    t.bit = byteAt(command, 5);
    t.count = word16At(command, 6);
    return true;
}

// Bytes one item takes in a read answer or a write request.
int itemBytes(const Target &t) { return t.bitAccess ? 1 : 2; }

quint16 checkStart(const MemoryImage &memory, const Target &t)
{
    if (t.bitAccess ? t.bit > 15 : t.bit != 0)
        return endcode::AddressOutOfRange;
    if (!memory.contains(t.wordCode, t.address))
        return endcode::AddressOutOfRange;
    return endcode::Normal;
}

quint16 checkEnd(const MemoryImage &memory, const Target &t)
{
    const qint64 size = memory.size(t.wordCode);
    if (t.bitAccess) {
        const qint64 endBit = qint64(t.address) * 16 + t.bit + t.count;
        return endBit > size * 16 ? endcode::BeyondAreaEnd : endcode::Normal;
    }
    return qint64(t.address) + t.count > size ? endcode::BeyondAreaEnd : endcode::Normal;
}

// Bit `k` of the run that starts at `t.address`.`t.bit`.
void bitPosition(const Target &t, int k, int &address, int &bit)
{
    const int linear = t.bit + k;
    address = t.address + linear / 16;
    bit = linear % 16;
}

FinsResult read(const MemoryImage &memory, const QByteArray &command, int maxDataBytes)
{
    FinsResult r;
    if (command.size() < 8) {
        r.endCode = endcode::CommandTooShort;
        return r;
    }
    if (command.size() > 8) {
        r.endCode = endcode::CommandTooLong;
        return r;
    }
    Target t;
    if (!resolveArea(memory, command, t)) {
        r.endCode = endcode::AreaUnknown;
        return r;
    }
    if ((r.endCode = checkStart(memory, t)) != endcode::Normal)
        return r;
    if (t.count * itemBytes(t) > maxDataBytes) {
        r.endCode = endcode::ResponseTooLong;
        return r;
    }
    if ((r.endCode = checkEnd(memory, t)) != endcode::Normal)
        return r;

    r.data.reserve(t.count * itemBytes(t));
    for (int k = 0; k < t.count; ++k) {
        if (t.bitAccess) {
            int address, bit;
            bitPosition(t, k, address, bit);
            r.data.append(memory.bit(t.wordCode, address, bit) ? '\x01' : '\x00');
        } else {
            const quint16 w = memory.word(t.wordCode, t.address + k);
            r.data.append(static_cast<char>(w >> 8));
            r.data.append(static_cast<char>(w & 0xFF));
        }
    }
    return r;
}

FinsResult write(MemoryImage &memory, const QByteArray &command)
{
    FinsResult r;
    if (command.size() < 8) {
        r.endCode = endcode::CommandTooShort;
        return r;
    }
    Target t;
    if (!resolveArea(memory, command, t)) {
        r.endCode = endcode::AreaUnknown;
        return r;
    }
    const int dataBytes = command.size() - 8;
    const int wanted = t.count * itemBytes(t);
    if (dataBytes < wanted) {
        r.endCode = endcode::CommandTooShort;
        return r;
    }
    if (dataBytes > wanted) {
        r.endCode = endcode::CommandTooLong;
        return r;
    }
    if ((r.endCode = checkStart(memory, t)) != endcode::Normal)
        return r;
    if ((r.endCode = checkEnd(memory, t)) != endcode::Normal)
        return r;
    if (t.wordCode == 0xB3 && t.address < kFirstWritableAWord && t.count > 0) {
        r.endCode = endcode::ReadOnly;
        return r;
    }
    const QByteArray data = command.mid(8);
    if (t.bitAccess) {
        // Check every item before touching memory, so a bad item writes nothing.
        for (char item : data) {
            if (item != '\x00' && item != '\x01') {
                r.endCode = endcode::ParameterError;
                return r;
            }
        }
        for (int k = 0; k < t.count; ++k) {
            int address, bit;
            bitPosition(t, k, address, bit);
            memory.setBit(t.wordCode, address, bit, data.at(k) == '\x01');
        }
    } else {
        for (int k = 0; k < t.count; ++k)
            memory.setWord(t.wordCode, t.address + k, static_cast<quint16>(word16At(data, 2 * k)));
    }
    r.wrote = true;
    return r;
}

} // namespace

FinsResult executeFins(MemoryImage &memory, const QByteArray &command, int maxDataBytes)
{
    if (command.size() < 2) {
        FinsResult r;
        r.endCode = endcode::CommandTooShort;
        return r;
    }
    const int code = word16At(command, 0);
    if (code == 0x0101)
        return read(memory, command, maxDataBytes);
    if (code == 0x0102)
        return write(memory, command);
    FinsResult r;
    r.endCode = endcode::NotSupported;
    return r;
}

} // namespace plcsim

namespace plcsim {

FinsResult executeWithFaults(MemoryImage &memory, const Faults &faults, const QByteArray &command,
                             int maxDataBytes)
{
    if (isErrorEndCode(faults.endCode)) {
        FinsResult r;
        r.endCode = faults.endCode;
        return r;
    }
    FinsResult r = executeFins(memory, command, maxDataBytes);
    if (r.endCode == endcode::Normal)
        r.endCode = faults.endCode;
    return r;
}

} // namespace plcsim
