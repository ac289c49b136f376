#include "MemoryImage.h"

namespace plcsim {

namespace {
constexpr int kCioWords = 6144;
constexpr int kWWords = 512;
constexpr int kHWords = 1536;
constexpr int kAWords = 960;
constexpr int kDWords = 32768;
constexpr int kEmWords = 32768;
} // namespace

MemoryImage::MemoryImage()
    : m_cio(kCioWords), m_w(kWWords), m_h(kHWords), m_a(kAWords), m_d(kDWords)
{
    for (auto &bank : m_em)
        bank.resize(kEmWords);
}

QVector<quint16> *MemoryImage::area(quint8 wordCode)
{
    return const_cast<QVector<quint16> *>(static_cast<const MemoryImage *>(this)->area(wordCode));
}

const QVector<quint16> *MemoryImage::area(quint8 wordCode) const
{
    switch (wordCode) {
    case 0xB0: return &m_cio;
    case 0xB1: return &m_w;
    case 0xB2: return &m_h;
    case 0xB3: return &m_a;
    case 0x82: return &m_d;
    default: break;
    }
    if (wordCode >= 0xA0 && wordCode < 0xA0 + m_em.size())
        return &m_em[wordCode - 0xA0];
    return nullptr;
}

int MemoryImage::size(quint8 wordCode) const
{
    const auto *a = area(wordCode);
    return a ? a->size() : 0;
}

bool MemoryImage::contains(quint8 wordCode, int address) const
{
    return address >= 0 && address < size(wordCode);
}

quint16 MemoryImage::word(quint8 wordCode, int address) const
{
    return contains(wordCode, address) ? area(wordCode)->at(address) : 0;
}

void MemoryImage::setWord(quint8 wordCode, int address, quint16 value)
{
    if (contains(wordCode, address))
        (*area(wordCode))[address] = value;
}

bool MemoryImage::bit(quint8 wordCode, int address, int bit) const
{
    if (bit < 0 || bit > 15)
        return false;
    return (word(wordCode, address) >> bit) & 1u;
}

void MemoryImage::setBit(quint8 wordCode, int address, int bit, bool on)
{
    if (bit < 0 || bit > 15 || !contains(wordCode, address))
        return;
    const quint16 mask = static_cast<quint16>(1u << bit);
    quint16 &w = (*area(wordCode))[address];
    w = on ? static_cast<quint16>(w | mask) : static_cast<quint16>(w & ~mask);
}

void MemoryImage::clear()
{
    for (auto *a : {&m_cio, &m_w, &m_h, &m_a, &m_d})
        a->fill(0);
    for (auto &bank : m_em)
        bank.fill(0);
}

void MemoryImage::setLayout(int dWords, int emBanks)
{
    m_d = QVector<quint16>(dWords);
    for (int bank = 0; bank < int(m_em.size()); ++bank)
        m_em[bank] = QVector<quint16>(bank < emBanks ? kEmWords : 0);
}

quint8 MemoryImage::wordCodeForBitCode(quint8 bitCode)
{
    switch (bitCode) {
    case 0x30: return 0xB0;
    case 0x31: return 0xB1;
    case 0x32: return 0xB2;
    case 0x33: return 0xB3;
    case 0x02: return 0x82;
    default: break;
    }
    if (bitCode >= 0x20 && bitCode <= 0x2C)
        return static_cast<quint8>(bitCode + 0x80);
    return 0;
}

} // namespace plcsim
