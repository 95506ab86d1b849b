// Impulse Tracker module writer and sample compressor for tests.
#include "support/it_writer.h"

#include <algorithm>
#include <stdexcept>

namespace itw {

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
void putName(std::vector<uint8_t> &out, size_t at, const std::string &s, size_t n)
{
    std::copy_n(s.begin(), std::min(s.size(), n), out.begin() + static_cast<long>(at));
}

struct BitWriter {
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    unsigned bits = 0;
    void put(uint32_t v, unsigned n)
    {
        for (unsigned i = 0; i < n; i++) {
            acc |= ((v >> i) & 1u) << bits;
            if (++bits == 8) {
                bytes.push_back(static_cast<uint8_t>(acc));
                acc = 0;
                bits = 0;
            }
        }
    }
    void flush()
    {
        if (bits)
            bytes.push_back(static_cast<uint8_t>(acc));
        acc = bits = 0;
    }
};

std::vector<uint8_t> packPattern(const Pattern &p)
{
    if (p.raw)
        return *p.raw;
    struct Last {
        int mask = -1, note = -1, inst = -1, vol = -1, cmd = -1, info = -1;
    } last[64];
    std::vector<uint8_t> out;
    for (unsigned row = 0; row < p.rows; row++) {
        for (const Entry &e : p.entries) {
            if (e.row != row)
                continue;
            Last &l = last[e.channel & 63];
            int mask = 0;
            std::vector<uint8_t> data;
            auto field = [&](int value, int &remembered, int bit) {
                if (value < 0)
                    return;
                if (p.repeats && remembered == value) {
                    mask |= bit << 4;
                } else {
                    mask |= bit;
                    data.push_back(static_cast<uint8_t>(value));
                    remembered = value;
                }
            };
            field(e.note, l.note, 1);
            field(e.instrument, l.inst, 2);
            field(e.volume, l.vol, 4);
            if (e.command >= 0) {
                if (p.repeats && l.cmd == e.command && l.info == e.info) {
                    mask |= 0x80;
                } else {
                    mask |= 8;
                    data.push_back(static_cast<uint8_t>(e.command));
                    data.push_back(static_cast<uint8_t>(e.info));
                    l.cmd = e.command;
                    l.info = e.info;
                }
            }
            uint8_t chByte = static_cast<uint8_t>((e.channel & 63) + 1);
            if (p.repeats && mask == l.mask) {
                out.push_back(chByte);
            } else {
                out.push_back(chByte | 0x80);
                out.push_back(static_cast<uint8_t>(mask));
                l.mask = mask;
            }
            out.insert(out.end(), data.begin(), data.end());
        }
        out.push_back(0);
    }
    return out;
}

void writeEnvelope(std::vector<uint8_t> &out, size_t at, const Envelope &e)
{
    out[at] = e.flags;
    out[at + 1] = e.countField.value_or(static_cast<uint8_t>(e.points.size()));
    out[at + 2] = e.loopStart;
    out[at + 3] = e.loopEnd;
    out[at + 4] = e.susStart;
    out[at + 5] = e.susEnd;
    for (size_t k = 0; k < e.points.size() && k < 25; k++) {
        out[at + 6 + 3 * k] = static_cast<uint8_t>(e.points[k].first);
        put16(out, at + 7 + 3 * k, e.points[k].second);
    }
}

void writeInstrument(std::vector<uint8_t> &out, size_t at, const Instrument &in, bool old)
{
    std::copy_n("IMPI", 4, out.begin() + static_cast<long>(at));
    putName(out, at + 0x20, in.name, 26);
    std::copy(in.keyboard.begin(), in.keyboard.end(), out.begin() + static_cast<long>(at + 0x40));
    if (old) {
        out[at + 0x11] = in.vol.flags;
        out[at + 0x12] = in.vol.loopStart;
        out[at + 0x13] = in.vol.loopEnd;
        out[at + 0x14] = in.vol.susStart;
        out[at + 0x15] = in.vol.susEnd;
        put16(out, at + 0x18, in.fadeout);
        out[at + 0x1A] = in.nna;
        out[at + 0x1B] = in.dct;
        for (size_t k = 0; k < 25; k++) {
            bool have = k < in.vol.points.size();
            out[at + 0x1F8 + 2 * k] = have ? static_cast<uint8_t>(in.vol.points[k].second) : 255;
            out[at + 0x1F9 + 2 * k] = have ? static_cast<uint8_t>(in.vol.points[k].first) : 0;
        }
        return;
    }
    out[at + 0x11] = in.nna;
    out[at + 0x12] = in.dct;
    out[at + 0x13] = in.dca;
    put16(out, at + 0x14, in.fadeout);
    out[at + 0x16] = in.pps;
    out[at + 0x17] = in.ppc;
    out[at + 0x18] = in.gbv;
    out[at + 0x19] = in.dfp;
    out[at + 0x1A] = in.rv;
    out[at + 0x1B] = in.rp;
    writeEnvelope(out, at + 0x130, in.vol);
    writeEnvelope(out, at + 0x182, in.pan);
    writeEnvelope(out, at + 0x1D4, in.pitch);
}

std::vector<uint8_t> sampleData(const Sample &s)
{
    std::vector<uint8_t> out;
    const std::vector<int> *planes[2] = {&s.data, &s.right};
    const unsigned channels = s.right.empty() ? 1 : 2;
    for (unsigned c = 0; c < channels; c++) {
        const std::vector<int> &d = *planes[c];
        if (s.compressed) {
            std::vector<uint8_t> z = compress(d, s.is16, s.it215, s.compressSeed);
            out.insert(out.end(), z.begin(), z.end());
            continue;
        }
        for (int v : d) {
            if (s.is16) {
                unsigned u = static_cast<unsigned>(v) ^ ((s.cvt & 1) ? 0 : 0x8000);
                out.push_back(static_cast<uint8_t>(u));
                out.push_back(static_cast<uint8_t>(u >> 8));
            } else {
                out.push_back(static_cast<uint8_t>(static_cast<unsigned>(v) ^ ((s.cvt & 1) ? 0 : 0x80)));
            }
        }
    }
    return out;
}

}  // namespace

Instrument::Instrument()
{
    for (unsigned n = 0; n < 120; n++)
        keyboard[2 * n] = static_cast<uint8_t>(n);
}

void Instrument::useSample(uint8_t s)
{
    for (unsigned n = 0; n < 120; n++)
        keyboard[2 * n + 1] = s;
}

Module::Module()
{
    for (unsigned c = 0; c < 64; c++)
        channelPan[c] = c < 4 ? 32 : 32 | 128;
    channelVolume.fill(64);
}

std::vector<uint8_t> write(const Module &m)
{
    const size_t nIns = m.useInstruments ? m.instruments.size() : 0;
    std::vector<uint8_t> out(192, 0);
    std::copy_n("IMPM", 4, out.begin());
    putName(out, 4, m.name, 26);
    put16(out, 32, static_cast<unsigned>(m.orders.size()));
    put16(out, 34, static_cast<unsigned>(nIns));
    put16(out, 36, static_cast<unsigned>(m.samples.size()));
    put16(out, 38, static_cast<unsigned>(m.patterns.size()));
    put16(out, 40, m.cwt);
    put16(out, 42, m.oldInstruments ? 0x100 : 0x214);
    put16(out, 44, 1 | (m.useInstruments ? 4 : 0) | (m.linearSlides ? 8 : 0));
    out[48] = m.globalVolume;
    out[49] = 48;
    out[50] = m.speed;
    out[51] = m.tempo;
    out[52] = 128;
    std::copy(m.channelPan.begin(), m.channelPan.end(), out.begin() + 64);
    std::copy(m.channelVolume.begin(), m.channelVolume.end(), out.begin() + 128);
    out.insert(out.end(), m.orders.begin(), m.orders.end());
    const size_t insOff = out.size();
    const size_t smpOff = insOff + 4 * nIns;
    const size_t patOff = smpOff + 4 * m.samples.size();
    out.resize(patOff + 4 * m.patterns.size(), 0);

    for (size_t i = 0; i < nIns; i++) {
        put32(out, insOff + 4 * i, static_cast<uint32_t>(out.size()));
        size_t at = out.size();
        out.resize(at + 554, 0);
        writeInstrument(out, at, m.instruments[i], m.oldInstruments);
    }
    std::vector<size_t> smpHeader;
    for (size_t i = 0; i < m.samples.size(); i++) {
        put32(out, smpOff + 4 * i, static_cast<uint32_t>(out.size()));
        smpHeader.push_back(out.size());
        out.resize(out.size() + 80, 0);
    }
    for (size_t p = 0; p < m.patterns.size(); p++) {
        std::vector<uint8_t> data = packPattern(m.patterns[p]);
        uint32_t offset = static_cast<uint32_t>(out.size());
        if (p < m.patternOffsetOverride.size())
            offset = m.patternOffsetOverride[p];
        put32(out, patOff + 4 * p, offset);
        size_t at = out.size();
        out.resize(at + 8, 0);
        put16(out, at, m.patterns[p].lengthField.value_or(static_cast<uint16_t>(data.size())));
        put16(out, at + 2, m.patterns[p].rows);
        out.insert(out.end(), data.begin(), data.end());
    }
    for (size_t i = 0; i < m.samples.size(); i++) {
        const Sample &s = m.samples[i];
        size_t at = smpHeader[i];
        std::copy_n("IMPS", 4, out.begin() + static_cast<long>(at));
        out[at + 0x11] = s.globalVolume;
        uint8_t flags = static_cast<uint8_t>(s.loopFlags | (s.is16 ? 2 : 0) |
                                             (s.right.empty() ? 0 : 4) | (s.compressed ? 8 : 0));
        if (!s.data.empty() || s.lengthField)
            flags |= 1;
        out[at + 0x12] = flags;
        out[at + 0x13] = s.volume;
        putName(out, at + 0x14, s.name, 26);
        out[at + 0x2E] = static_cast<uint8_t>(s.cvt | (s.compressed && s.it215 ? 4 : 0));
        put32(out, at + 0x30, s.lengthField.value_or(static_cast<uint32_t>(s.data.size())));
        put32(out, at + 0x34, s.loopStart);
        put32(out, at + 0x38, s.loopEnd);
        put32(out, at + 0x3C, s.c5speed);
        put32(out, at + 0x40, s.susStart);
        put32(out, at + 0x44, s.susEnd);
        put32(out, at + 0x48, s.dataOffset.value_or(static_cast<uint32_t>(out.size())));
        out[at + 0x4C] = s.vibSpeed;
        out[at + 0x4D] = s.vibDepth;
        out[at + 0x4E] = s.vibRate;
        out[at + 0x4F] = s.vibType;
        std::vector<uint8_t> data = sampleData(s);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

std::vector<uint8_t> compress(const std::vector<int> &frames, bool is16, bool it215, uint32_t seed)
{
    const unsigned W0 = is16 ? 17 : 9, S = is16 ? 16 : 8, F = is16 ? 4 : 3, H = is16 ? 8 : 4;
    const uint32_t mask = (1u << S) - 1;
    const size_t blockFrames = is16 ? 0x4000 : 0x8000;
    auto signExt = [](uint32_t v, unsigned bits) {
        uint32_t top = 1u << (bits - 1);
        return static_cast<int>(v ^ top) - static_cast<int>(top);
    };
    auto fits = [&](int d, unsigned w) {
        int half = 1 << (w - 1);
        if (w <= 6)
            return d >= -(half - 1) && d <= half - 1;
        if (w < W0)
            return d >= -(half - static_cast<int>(H)) && d <= half - static_cast<int>(H) - 1;
        return true;
    };
    std::vector<uint8_t> out;
    for (size_t start = 0; start < frames.size(); start += blockFrames) {
        BitWriter bw;
        unsigned w = W0;
        uint32_t last = 0, lastD1 = 0;
        size_t end = std::min(frames.size(), start + blockFrames);
        for (size_t j = start; j < end; j++) {
            uint32_t x = static_cast<uint32_t>(frames[j]) & mask;
            uint32_t d1 = (x - last) & mask;
            last = x;
            uint32_t delta = it215 ? (d1 - lastD1) & mask : d1;
            lastD1 = d1;
            int sd = signExt(delta, S);
            unsigned need = 1;
            while (!fits(sd, need))
                need++;
            unsigned target = need;
            if (seed != 0) {
                seed = seed * 1103515245u + 12345u;
                uint32_t r = seed >> 8;
                if (r % 8 == 0)
                    target = need + (r / 8) % (W0 - need + 1);
                else if (w >= need && w - need <= 1)
                    target = w;
            }
            if (target != w) {
                unsigned n = target < w ? target : target - 1;
                if (w <= 6) {
                    bw.put(1u << (w - 1), w);
                    bw.put(n - 1, F);
                } else if (w < W0) {
                    bw.put((1u << (w - 1)) - H + n - 1, w);
                } else {
                    bw.put((1u << (W0 - 1)) | (target - 1), W0);
                }
                w = target;
            }
            if (w == W0)
                bw.put(delta & mask, W0);
            else
                bw.put(static_cast<uint32_t>(sd) & ((1u << w) - 1), w);
        }
        bw.flush();
        if (bw.bytes.size() > 0xFFFF)
            throw std::length_error("compressed block too long");
        out.push_back(static_cast<uint8_t>(bw.bytes.size()));
        out.push_back(static_cast<uint8_t>(bw.bytes.size() >> 8));
        out.insert(out.end(), bw.bytes.begin(), bw.bytes.end());
    }
    return out;
}

}  // namespace itw
