#ifndef PLCSIM_MEMORYIMAGE_H
#define PLCSIM_MEMORYIMAGE_H

// The controller's memory: one word vector per area, addressed by the FINS
// word-access area code. Not thread-safe by itself; the simulator guards it.

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

#include <array>

namespace plcsim {

class MemoryImage
{
public:
    MemoryImage();

    // Number of words of the area with this word-access code, 0 when the
    // controller has no such area.
    int size(quint8 wordCode) const;
    bool contains(quint8 wordCode, int address) const;

    quint16 word(quint8 wordCode, int address) const;       // 0 outside the area
    void setWord(quint8 wordCode, int address, quint16 value); // ignored outside
    bool bit(quint8 wordCode, int address, int bit) const;
    void setBit(quint8 wordCode, int address, int bit, bool on);
    void clear();
    // Gives D `dWords` words and EM banks 0 .. `emBanks` - 1 (the others
    // vanish: commands for them get "area unknown"). Clears those areas.
    void setLayout(int dWords, int emBanks);

    // Word-access code for a bit-access code (0x30 -> 0xB0, 0x02 -> 0x82,
    // 0x20+n -> 0xA0+n); 0 when `bitCode` is no bit-access code.
    static quint8 wordCodeForBitCode(quint8 bitCode);

private:
    QVector<quint16> *area(quint8 wordCode);
    const QVector<quint16> *area(quint8 wordCode) const;

    QVector<quint16> m_cio, m_w, m_h, m_a, m_d;
    std::array<QVector<quint16>, 13> m_em;
};

} // namespace plcsim

#endif
