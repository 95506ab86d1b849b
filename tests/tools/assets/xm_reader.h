// A minimal, independent reader of the XM files the generator writes, so the
// tests can check what lands on disk field by field.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/assets/xm_writer.h"

namespace xmread {

struct Bytes {
    const std::vector<uint8_t>& b;
    size_t at = 0;
    void need(size_t n) const {
        if (at + n > b.size()) throw std::runtime_error("read past the end at " + std::to_string(at));
    }
    unsigned u8() { need(1); return b[at++]; }
    unsigned u16() { unsigned lo = u8(); return lo | (u8() << 8); }
    uint32_t u32() { uint32_t lo = u16(); return lo | (static_cast<uint32_t>(u16()) << 16); }
    std::string text(size_t n) {
        need(n);
        std::string s(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
        at += n;
        return s;
    }
};

struct Pattern {
    uint32_t header_length = 0;
    unsigned rows = 0;
    unsigned packed_size = 0;
    std::vector<assets::XmCell> cells;  // unpacked, rows * channels
};

struct Sample {
    uint32_t length = 0, loop_start = 0, loop_length = 0;  // bytes
    unsigned volume = 0, type = 0, panning = 0;
    int finetune = 0, relative_note = 0;
    std::vector<int16_t> data;  // delta-decoded
};

struct Instrument {
    uint32_t size = 0;
    std::string name;
    unsigned num_samples = 0;
    uint32_t sample_header_size = 0;
    std::vector<uint8_t> note_map;
    unsigned vol_points = 0, pan_points = 0, vol_sustain = 0, vol_type = 0, pan_type = 0;
    unsigned vib_type = 0, vib_sweep = 0, vib_depth = 0, vib_rate = 0, fadeout = 0;
    std::vector<std::pair<unsigned, unsigned>> vol_env;
    std::vector<Sample> samples;
};

struct Module {
    std::string id, name, tracker;
    unsigned version = 0;
    uint32_t header_size = 0;
    unsigned song_length = 0, restart = 0, channels = 0, num_patterns = 0, num_instruments = 0, flags = 0, speed = 0, tempo = 0;
    std::vector<uint8_t> orders;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

inline std::vector<assets::XmCell> unpack(const std::vector<uint8_t>& data, unsigned rows, unsigned channels) {
    std::vector<assets::XmCell> cells(rows * channels);
    if (data.empty()) return cells;
    Bytes in{data};
    for (auto& c : cells) {
        const unsigned first = in.u8();
        if (first & 0x80) {
            if (first & 1) c.note = static_cast<uint8_t>(in.u8());
            if (first & 2) c.instrument = static_cast<uint8_t>(in.u8());
            if (first & 4) c.volume = static_cast<uint8_t>(in.u8());
            if (first & 8) c.effect = static_cast<uint8_t>(in.u8());
            if (first & 16) c.param = static_cast<uint8_t>(in.u8());
        } else {
            c.note = static_cast<uint8_t>(first);
            c.instrument = static_cast<uint8_t>(in.u8());
            c.volume = static_cast<uint8_t>(in.u8());
            c.effect = static_cast<uint8_t>(in.u8());
            c.param = static_cast<uint8_t>(in.u8());
        }
    }
    if (in.at != data.size()) throw std::runtime_error("packed pattern has trailing bytes");
    return cells;
}

inline Module read(const std::vector<uint8_t>& file) {
    Module m;
    Bytes in{file};
    m.id = in.text(17);
    m.name = in.text(20);
    if (in.u8() != 0x1A) throw std::runtime_error("no 0x1A after the name");
    m.tracker = in.text(20);
    m.version = in.u16();
    const size_t header_start = in.at;
    m.header_size = in.u32();
    m.song_length = in.u16();
    m.restart = in.u16();
    m.channels = in.u16();
    m.num_patterns = in.u16();
    m.num_instruments = in.u16();
    m.flags = in.u16();
    m.speed = in.u16();
    m.tempo = in.u16();
    for (int i = 0; i < 256; ++i) m.orders.push_back(static_cast<uint8_t>(in.u8()));
    in.at = header_start + m.header_size;
    for (unsigned p = 0; p < m.num_patterns; ++p) {
        Pattern pat;
        const size_t start = in.at;
        pat.header_length = in.u32();
        in.u8();
        pat.rows = in.u16();
        pat.packed_size = in.u16();
        in.at = start + pat.header_length;
        in.need(pat.packed_size);
        std::vector<uint8_t> packed(file.begin() + static_cast<long>(in.at), file.begin() + static_cast<long>(in.at + pat.packed_size));
        in.at += pat.packed_size;
        pat.cells = unpack(packed, pat.rows, m.channels);
        m.patterns.push_back(std::move(pat));
    }
    for (unsigned i = 0; i < m.num_instruments; ++i) {
        Instrument ins;
        const size_t start = in.at;
        ins.size = in.u32();
        ins.name = in.text(22);
        in.u8();
        ins.num_samples = in.u16();
        if (ins.num_samples) {
            ins.sample_header_size = in.u32();
            for (int k = 0; k < 96; ++k) ins.note_map.push_back(static_cast<uint8_t>(in.u8()));
            std::vector<std::pair<unsigned, unsigned>> vol(12), pan(12);
            for (auto& p : vol) { p.first = in.u16(); p.second = in.u16(); }
            for (auto& p : pan) { p.first = in.u16(); p.second = in.u16(); }
            ins.vol_points = in.u8();
            ins.pan_points = in.u8();
            ins.vol_sustain = in.u8();
            in.u8(); in.u8(); in.u8(); in.u8(); in.u8();
            ins.vol_type = in.u8();
            ins.pan_type = in.u8();
            ins.vib_type = in.u8();
            ins.vib_sweep = in.u8();
            ins.vib_depth = in.u8();
            ins.vib_rate = in.u8();
            ins.fadeout = in.u16();
            vol.resize(std::min<size_t>(ins.vol_points, 12));
            ins.vol_env = vol;
        }
        in.at = start + ins.size;
        for (unsigned s = 0; s < ins.num_samples; ++s) {
            const size_t hs = in.at;
            Sample smp;
            smp.length = in.u32();
            smp.loop_start = in.u32();
            smp.loop_length = in.u32();
            smp.volume = in.u8();
            smp.finetune = static_cast<int8_t>(in.u8());
            smp.type = in.u8();
            smp.panning = in.u8();
            smp.relative_note = static_cast<int8_t>(in.u8());
            in.at = hs + ins.sample_header_size;
            ins.samples.push_back(smp);
        }
        for (Sample& smp : ins.samples) {
            in.need(smp.length);
            if (smp.type & 0x10) {
                uint16_t acc = 0;
                for (uint32_t k = 0; k < smp.length / 2; ++k) {
                    acc = static_cast<uint16_t>(acc + in.u16());
                    smp.data.push_back(static_cast<int16_t>(acc));
                }
            } else {
                in.at += smp.length;
            }
        }
        m.instruments.push_back(std::move(ins));
    }
    if (in.at != file.size()) throw std::runtime_error("bytes left after the last instrument");
    return m;
}

}  // namespace xmread
