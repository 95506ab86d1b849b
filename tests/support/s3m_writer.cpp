// Scream Tracker 3 module writer for tests.
#include "support/s3m_writer.h"

#include <algorithm>

namespace s3mw {

namespace {

void put16(std::vector<uint8_t> &out, size_t at, unsigned v)
{
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}
// Pads to a paragraph and returns its number.
unsigned paragraph(std::vector<uint8_t> &out)
{
    while (out.size() % 16)
        out.push_back(0);
    return static_cast<unsigned>(out.size() / 16);
}

std::vector<uint8_t> pack(const Pattern &p)
{
    if (p.raw)
        return *p.raw;
    std::vector<uint8_t> data;
    for (unsigned row = 0; row < 64; row++) {
        for (const Entry &e : p.entries) {
            if (e.row != row)
                continue;
            uint8_t what = static_cast<uint8_t>(e.channel & 31);
            bool ni = e.note >= 0 || e.instrument >= 0;
            if (ni)
                what |= 0x20;
            if (e.volume >= 0)
                what |= 0x40;
            if (e.command >= 0)
                what |= 0x80;
            data.push_back(what);
            if (ni) {
                data.push_back(static_cast<uint8_t>(e.note >= 0 ? e.note : 255));
                data.push_back(static_cast<uint8_t>(e.instrument >= 0 ? e.instrument : 0));
            }
            if (e.volume >= 0)
                data.push_back(static_cast<uint8_t>(e.volume));
            if (e.command >= 0) {
                data.push_back(static_cast<uint8_t>(e.command));
                data.push_back(static_cast<uint8_t>(e.info));
            }
        }
        data.push_back(0);
    }
    return data;
}

}  // namespace

std::vector<uint8_t> write(const Module &m)
{
    std::vector<uint8_t> out(96, 0);
    std::copy_n(m.name.begin(), std::min<size_t>(m.name.size(), 28), out.begin());
    out[28] = 0x1A;
    out[29] = 16;
    put16(out, 32, static_cast<unsigned>(m.orders.size()));
    put16(out, 34, static_cast<unsigned>(m.instruments.size()));
    put16(out, 36, static_cast<unsigned>(m.patterns.size()));
    put16(out, 38, m.flags);
    put16(out, 40, m.version);
    put16(out, 42, m.signedSamples ? 1 : 2);
    std::copy_n("SCRM", 4, out.begin() + 44);
    out[48] = m.globalVolume;
    out[49] = m.speed;
    out[50] = m.tempo;
    out[51] = 0xB0;
    out[53] = m.panTable ? 252 : 0;
    std::copy_n(m.channelSettings, 32, out.begin() + 64);
    out.insert(out.end(), m.orders.begin(), m.orders.end());
    const size_t instPtrs = out.size();
    out.resize(out.size() + 2 * m.instruments.size());
    const size_t pattPtrs = out.size();
    out.resize(out.size() + 2 * m.patterns.size());
    if (m.panTable)
        out.insert(out.end(), m.pan, m.pan + 32);

    std::vector<size_t> headerAt;
    for (size_t i = 0; i < m.instruments.size(); i++) {
        put16(out, instPtrs + 2 * i, paragraph(out));
        headerAt.push_back(out.size());
        out.resize(out.size() + 80, 0);
    }
    for (size_t p = 0; p < m.patterns.size(); p++) {
        std::vector<uint8_t> data = pack(m.patterns[p]);
        put16(out, pattPtrs + 2 * p, paragraph(out));
        size_t at = out.size();
        out.resize(at + 2);
        put16(out, at, m.patterns[p].lengthField.value_or(static_cast<uint16_t>(data.size() + 2)));
        out.insert(out.end(), data.begin(), data.end());
    }
    for (size_t i = 0; i < m.instruments.size(); i++) {
        const Instrument &ins = m.instruments[i];
        size_t at = headerAt[i];
        out[at] = ins.type;
        unsigned para = ins.data.empty() ? 0 : paragraph(out);
        out[at + 13] = static_cast<uint8_t>(para >> 16);
        put16(out, at + 14, para & 0xFFFF);
        put32(out, at + 16, ins.length != UINT32_MAX ? ins.length : static_cast<uint32_t>(ins.data.size()));
        put32(out, at + 20, ins.loopStart);
        put32(out, at + 24, ins.loopEnd);
        out[at + 28] = ins.volume;
        out[at + 31] = static_cast<uint8_t>((ins.loop ? 1 : 0) | ins.extraFlags);
        put32(out, at + 32, ins.c2spd);
        std::copy_n(ins.name.begin(), std::min<size_t>(ins.name.size(), 28), out.begin() + at + 48);
        std::copy_n("SCRS", 4, out.begin() + at + 76);
        out.insert(out.end(), ins.data.begin(), ins.data.end());
    }
    return out;
}

}  // namespace s3mw
