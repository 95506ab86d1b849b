#include "tools/assets/xm_writer.h"

#include <stdexcept>

namespace assets {
namespace {

class Out {
public:
    std::vector<uint8_t> bytes;
    void u8(unsigned v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void u16(unsigned v)
    {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void text(const std::string &s, size_t width, char pad = '\0')
    {
        for (size_t i = 0; i < width; ++i)
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : static_cast<uint8_t>(pad));
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
};

void check(bool ok, const char *what)
{
    if (!ok)
        throw std::invalid_argument(what);
}

void write_envelope_points(Out &out, const XmEnvelope &env)
{
    for (size_t i = 0; i < 12; ++i) {
        if (i < env.points.size()) {
            out.u16(env.points[i].first);
            out.u16(env.points[i].second);
        } else {
            out.u32(0);
        }
    }
}

void check_envelope(const XmEnvelope &env)
{
    check(env.points.size() <= 12, "envelope has more than 12 points");
    for (size_t i = 1; i < env.points.size(); ++i)
        check(env.points[i].first > env.points[i - 1].first, "envelope positions must rise");
    for (auto &p : env.points)
        check(p.second <= 64, "envelope value above 64");
    const int n = static_cast<int>(env.points.size());
    check(env.sustain < n && env.loop_start < n && env.loop_end < n,
          "envelope point index out of range");
    check((env.loop_start < 0) == (env.loop_end < 0), "envelope loop needs both ends");
    check(env.loop_start <= env.loop_end, "envelope loop ends before it starts");
}

uint8_t env_type(const XmEnvelope &env)
{
    if (!env.enabled())
        return 0;
    uint8_t t = 1;
    if (env.sustain >= 0)
        t |= 2;
    if (env.loop_start >= 0)
        t |= 4;
    return t;
}

uint8_t point_index(int i) { return static_cast<uint8_t>(i < 0 ? 0 : i); }

}  // namespace

std::vector<uint8_t> pack_pattern(const XmPattern &pattern)
{
    Out out;
    bool any = false;
    for (const XmCell &c : pattern.cells)
        any = any || !c.empty();
    if (!any)
        return {};  // an all-empty pattern is stored with no data at all
    for (int r = 0; r < pattern.rows; ++r) {
        for (int ch = 0; ch < pattern.channels; ++ch) {
            const XmCell &c = pattern.at(r, ch);
            check(c.note <= 97, "note above key off");
            const bool full = c.note && c.instrument && c.volume && c.effect && c.param;
            if (full) {
                // Bit 7 clear on the first byte: all five fields follow unpacked.
                out.u8(c.note);
                out.u8(c.instrument);
                out.u8(c.volume);
                out.u8(c.effect);
                out.u8(c.param);
                continue;
            }
            unsigned mask = 0x80;
            if (c.note)
                mask |= 1;
            if (c.instrument)
                mask |= 2;
            if (c.volume)
                mask |= 4;
            if (c.effect)
                mask |= 8;
            if (c.param)
                mask |= 16;
            out.u8(mask);
            if (c.note)
                out.u8(c.note);
            if (c.instrument)
                out.u8(c.instrument);
            if (c.volume)
                out.u8(c.volume);
            if (c.effect)
                out.u8(c.effect);
            if (c.param)
                out.u8(c.param);
        }
    }
    return out.bytes;
}

std::vector<uint8_t> write_xm(const XmModule &m)
{
    check(m.channels >= 2 && m.channels <= 32 && m.channels % 2 == 0,
          "channel count must be even, 2 to 32");
    check(!m.orders.empty() && m.orders.size() <= 256, "order list must hold 1 to 256 entries");
    check(!m.patterns.empty() && m.patterns.size() <= 256, "pattern count must be 1 to 256");
    check(m.instruments.size() <= 128, "more than 128 instruments");
    check(m.restart >= 0 && m.restart < static_cast<int>(m.orders.size()),
          "restart position outside the order list");
    check(m.speed >= 1 && m.speed <= 31 && m.tempo >= 32 && m.tempo <= 255,
          "speed or tempo out of range");
    for (uint8_t o : m.orders)
        check(o < m.patterns.size(), "order names a missing pattern");

    Out out;
    out.text("Extended Module: ", 17);
    out.text(m.name, 20);
    out.u8(0x1A);
    out.text("q5 asset generator", 20, ' ');
    out.u16(0x0104);
    out.u32(kXmHeaderSize);
    out.u16(static_cast<unsigned>(m.orders.size()));
    out.u16(static_cast<unsigned>(m.restart));
    out.u16(static_cast<unsigned>(m.channels));
    out.u16(static_cast<unsigned>(m.patterns.size()));
    out.u16(static_cast<unsigned>(m.instruments.size()));
    out.u16(1);  // linear frequency table
    out.u16(static_cast<unsigned>(m.speed));
    out.u16(static_cast<unsigned>(m.tempo));
    for (size_t i = 0; i < 256; ++i)
        out.u8(i < m.orders.size() ? m.orders[i] : 0);

    for (const XmPattern &p : m.patterns) {
        check(p.channels == m.channels, "pattern channel count differs from the module's");
        check(p.rows >= 1 && p.rows <= 256, "pattern rows must be 1 to 256");
        std::vector<uint8_t> packed = pack_pattern(p);
        // At most 256 rows x 32 channels x 5 bytes: always fits the 16-bit size.
        out.u32(9);
        out.u8(0);
        out.u16(static_cast<unsigned>(p.rows));
        out.u16(static_cast<unsigned>(packed.size()));
        out.bytes.insert(out.bytes.end(), packed.begin(), packed.end());
    }

    for (const XmInstrument &ins : m.instruments) {
        check(!ins.samples.empty() && ins.samples.size() <= 16,
              "an instrument holds 1 to 16 samples");
        for (uint8_t s : ins.note_map)
            check(s < ins.samples.size(), "note map names a missing sample");
        check_envelope(ins.volume_env);
        check_envelope(ins.panning_env);
        out.u32(kXmInstrumentSize);
        out.text(ins.name, 22);
        out.u8(0);
        out.u16(static_cast<unsigned>(ins.samples.size()));
        out.u32(kXmSampleHeaderSize);
        for (uint8_t s : ins.note_map)
            out.u8(s);
        write_envelope_points(out, ins.volume_env);
        write_envelope_points(out, ins.panning_env);
        out.u8(static_cast<unsigned>(ins.volume_env.points.size()));
        out.u8(static_cast<unsigned>(ins.panning_env.points.size()));
        out.u8(point_index(ins.volume_env.sustain));
        out.u8(point_index(ins.volume_env.loop_start));
        out.u8(point_index(ins.volume_env.loop_end));
        out.u8(point_index(ins.panning_env.sustain));
        out.u8(point_index(ins.panning_env.loop_start));
        out.u8(point_index(ins.panning_env.loop_end));
        out.u8(env_type(ins.volume_env));
        out.u8(env_type(ins.panning_env));
        out.u8(ins.vibrato_type);
        out.u8(ins.vibrato_sweep);
        out.u8(ins.vibrato_depth);
        out.u8(ins.vibrato_rate);
        out.u16(ins.fadeout);
        out.zeros(kXmInstrumentSize - 241);  // reserved

        for (const XmSample &s : ins.samples) {
            check(s.volume <= 64, "sample volume above 64");
            const uint32_t frames = static_cast<uint32_t>(s.data.size());
            if (s.loop != XmLoop::none)
                check(s.loop_length > 0 && s.loop_start + s.loop_length <= frames,
                      "sample loop outside the sample");
            const bool looped = s.loop != XmLoop::none;
            out.u32(frames * 2);  // lengths are in bytes; every sample is 16-bit
            out.u32(looped ? s.loop_start * 2 : 0);
            out.u32(looped ? s.loop_length * 2 : 0);
            out.u8(s.volume);
            out.u8(static_cast<uint8_t>(s.finetune));
            out.u8(static_cast<unsigned>(s.loop) | 0x10);
            out.u8(s.panning);
            out.u8(static_cast<uint8_t>(s.relative_note));
            out.u8(0);
            out.text(s.name, 22);
        }
        for (const XmSample &s : ins.samples) {
            // Delta coding: each word holds the difference to the previous
            // sample, with 16-bit wrap-around.
            uint16_t prev = 0;
            for (int16_t v : s.data) {
                const uint16_t cur = static_cast<uint16_t>(v);
                out.u16(static_cast<uint16_t>(cur - prev));
                prev = cur;
            }
        }
    }
    return out.bytes;
}

}  // namespace assets
