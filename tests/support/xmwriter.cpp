// The test module writer for XM files.
#include "support/xmwriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace xmw {
namespace {

[[noreturn]] void bad(const std::string &what)
{
    std::fprintf(stderr, "xmwriter: bad cell text \"%s\"\n", what.c_str());
    std::abort();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int hexByte(const std::string &s, size_t at, const std::string &all)
{
    int a = hexDigit(s[at]), b = hexDigit(s[at + 1]);
    if (a < 0 || b < 0)
        bad(all);
    return a * 16 + b;
}

void put16(std::vector<uint8_t> &o, unsigned v)
{
    o.push_back(static_cast<uint8_t>(v));
    o.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t> &o, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        o.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putText(std::vector<uint8_t> &o, const std::string &s, size_t n)
{
    for (size_t i = 0; i < n; i++)
        o.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
}

std::vector<uint8_t> sampleBytes(const Sample &s)
{
    if (!s.raw.empty())
        return s.raw;
    std::vector<uint8_t> out;
    int prev = 0;
    for (int v : s.pcm) {
        int d = v - prev;
        prev = v;
        if (s.is16)
            put16(out, static_cast<unsigned>(d) & 0xFFFF);
        else
            out.push_back(static_cast<uint8_t>(d));
    }
    return out;
}

std::vector<uint8_t> packPattern(const Pattern &p)
{
    std::vector<uint8_t> out;
    for (const Cell &c : p.cells) {
        uint8_t mask = 0x80;
        if (c.note) mask |= 1;
        if (c.inst) mask |= 2;
        if (c.vol) mask |= 4;
        if (c.eff) mask |= 8;
        if (c.param) mask |= 16;
        out.push_back(mask);
        if (c.note) out.push_back(c.note);
        if (c.inst) out.push_back(c.inst);
        if (c.vol) out.push_back(c.vol);
        if (c.eff) out.push_back(c.eff);
        if (c.param) out.push_back(c.param);
    }
    // An all-empty pattern is stored with packed size 0.
    bool empty = true;
    for (uint8_t b : out)
        if (b != 0x80)
            empty = false;
    if (empty)
        out.clear();
    return out;
}

void putEnvelope(std::vector<uint8_t> &o, const Envelope &e)
{
    for (size_t k = 0; k < 12; k++) {
        uint16_t x = k < e.points.size() ? e.points[k].first : 0;
        int16_t y = k < e.points.size() ? e.points[k].second : 0;
        put16(o, x);
        put16(o, static_cast<uint16_t>(y));
    }
}

uint8_t envType(const Envelope &e)
{
    return static_cast<uint8_t>((e.on ? 1 : 0) | (e.sustain >= 0 ? 2 : 0) |
                                (e.loopStart >= 0 ? 4 : 0));
}

}  // namespace

Cell cell(const std::string &t)
{
    // "NNN II VV EPP"
    if (t.size() != 13 || t[3] != ' ' || t[6] != ' ' || t[9] != ' ')
        bad(t);
    Cell c;
    std::string note = t.substr(0, 3);
    if (note == "===") {
        c.note = 97;
    } else if (note != "...") {
        static const char *names = "C-C#D-D#E-F-F#G-G#A-A#B-";
        int semi = -1;
        for (int i = 0; i < 12; i++)
            if (note[0] == names[2 * i] && note[1] == names[2 * i + 1])
                semi = i;
        if (semi < 0 || note[2] < '0' || note[2] > '7')
            bad(t);
        c.note = static_cast<uint8_t>((note[2] - '0') * 12 + semi + 1);
    }
    if (t.substr(4, 2) != "..")
        c.inst = static_cast<uint8_t>(hexByte(t, 4, t));
    if (t.substr(7, 2) != "..")
        c.vol = static_cast<uint8_t>(hexByte(t, 7, t));
    if (t.substr(10, 3) != "...") {
        char e = t[10];
        if (e >= '0' && e <= '9')
            c.eff = static_cast<uint8_t>(e - '0');
        else if (e >= 'A' && e <= 'Z')
            c.eff = static_cast<uint8_t>(e - 'A' + 10);
        else
            bad(t);
        c.param = static_cast<uint8_t>(hexByte(t, 11, t));
    }
    return c;
}

Pattern &Pattern::set(unsigned row, unsigned chan, const std::string &text)
{
    return set(row, chan, cell(text));
}

Pattern &Pattern::set(unsigned row, unsigned chan, const Cell &c)
{
    if (row >= rows || chan >= channels) {
        std::fprintf(stderr, "xmwriter: cell %u/%u outside the pattern\n", row, chan);
        std::abort();
    }
    cells[row * channels + chan] = c;
    return *this;
}

Sample &Instrument::sample8(const std::vector<int> &pcm)
{
    samples.emplace_back();
    samples.back().pcm = pcm;
    return samples.back();
}

Sample &Instrument::sample16(const std::vector<int> &pcm)
{
    Sample &s = sample8(pcm);
    s.is16 = true;
    return s;
}

Pattern &Module::pattern(unsigned i, unsigned rows)
{
    while (patterns.size() <= i) {
        patterns.emplace_back();
        patterns.back().rows = rows;
        patterns.back().channels = channels;
        patterns.back().cells.assign(static_cast<size_t>(rows) * channels, Cell{});
    }
    return patterns[i];
}

Instrument &Module::instrument()
{
    instruments.emplace_back();
    return instruments.back();
}

std::vector<uint8_t> Module::build() const
{
    std::vector<uint8_t> o;
    putText(o, "Extended Module: ", 17);
    putText(o, name, 20);
    o.push_back(0x1A);
    putText(o, "xmwriter", 20);
    put16(o, version);
    put32(o, 276);
    put16(o, songLengthOverride >= 0 ? static_cast<unsigned>(songLengthOverride)
                                     : static_cast<unsigned>(orders.size()));
    put16(o, restart);
    put16(o, channelCountOverride >= 0 ? static_cast<unsigned>(channelCountOverride) : channels);
    put16(o, patternCountOverride >= 0 ? static_cast<unsigned>(patternCountOverride)
                                       : static_cast<unsigned>(patterns.size()));
    put16(o, static_cast<unsigned>(instruments.size()));
    put16(o, linear ? 1 : 0);
    put16(o, speed);
    put16(o, tempo);
    for (size_t i = 0; i < 256; i++)
        o.push_back(i < orders.size() ? orders[i] : 0);

    for (const Pattern &p : patterns) {
        std::vector<uint8_t> packed = p.useRaw ? p.rawPacked : packPattern(p);
        put32(o, 9);
        o.push_back(0);
        put16(o, p.rows);
        put16(o, static_cast<unsigned>(packed.size()));
        o.insert(o.end(), packed.begin(), packed.end());
    }

    for (const Instrument &in : instruments) {
        bool has = !in.samples.empty();
        put32(o, has ? 263 : 29);
        putText(o, in.name, 22);
        o.push_back(0);
        put16(o, static_cast<unsigned>(in.samples.size()));
        if (has) {
            put32(o, 40);
            o.insert(o.end(), in.noteSamples, in.noteSamples + 96);
            putEnvelope(o, in.vol);
            putEnvelope(o, in.pan);
            o.push_back(static_cast<uint8_t>(in.vol.countOverride >= 0 ? in.vol.countOverride
                                                                       : in.vol.points.size()));
            o.push_back(static_cast<uint8_t>(in.pan.countOverride >= 0 ? in.pan.countOverride
                                                                       : in.pan.points.size()));
            o.push_back(static_cast<uint8_t>(in.vol.sustain < 0 ? 0 : in.vol.sustain));
            o.push_back(static_cast<uint8_t>(in.vol.loopStart < 0 ? 0 : in.vol.loopStart));
            o.push_back(static_cast<uint8_t>(in.vol.loopEnd < 0 ? 0 : in.vol.loopEnd));
            o.push_back(static_cast<uint8_t>(in.pan.sustain < 0 ? 0 : in.pan.sustain));
            o.push_back(static_cast<uint8_t>(in.pan.loopStart < 0 ? 0 : in.pan.loopStart));
            o.push_back(static_cast<uint8_t>(in.pan.loopEnd < 0 ? 0 : in.pan.loopEnd));
            o.push_back(envType(in.vol));
            o.push_back(envType(in.pan));
            o.push_back(in.vibType);
            o.push_back(in.vibSweep);
            o.push_back(in.vibDepth);
            o.push_back(in.vibRate);
            put16(o, in.fadeout);
            putText(o, "", 22);  // reserved, pads the header to 263 bytes
        }
        std::vector<std::vector<uint8_t>> data;
        for (const Sample &s : in.samples) {
            data.push_back(sampleBytes(s));
            uint32_t len = s.lengthOverride >= 0 ? static_cast<uint32_t>(s.lengthOverride)
                                                 : static_cast<uint32_t>(data.back().size());
            put32(o, len);
            put32(o, s.loopStart);
            put32(o, s.loopLength);
            o.push_back(s.volume);
            o.push_back(static_cast<uint8_t>(s.fineTune));
            o.push_back(static_cast<uint8_t>((s.loopKind & 3) | (s.is16 ? 0x10 : 0)));
            o.push_back(s.panning);
            o.push_back(static_cast<uint8_t>(s.relNote));
            o.push_back(0);
            putText(o, s.name, 22);
        }
        for (const auto &d : data)
            o.insert(o.end(), d.begin(), d.end());
    }
    return o;
}

bool Module::save(const std::string &path) const
{
    std::vector<uint8_t> bytes = build();
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace xmw
