// Small modules for the API, poll and tool tests: built in memory with the
// player's own allocation helpers, or written as XM files byte by byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "sound/api/mmem.h"
#include "sound/player/gmpmodule.h"

namespace testmod {

// A ProTracker-mode module of numChans channels: one position, one empty
// 64-row pattern, no instruments, speed 6, tempo 125. name is copied as is
// (all 32 bytes when it is that long, without a terminator).
inline ModuleRecord *emptyModule(unsigned numChans, const char *name = "empty")
{
    ModuleRecord *m = nullptr;
    if (gmpAllocModule(&m) != 0)
        return nullptr;
    size_t len = std::strlen(name);
    std::memcpy(m->name, name, len < 32 ? len + 1 : 32);
    m->playMode = gmpPT;
    m->songLength = 1;
    m->restart = 0;
    m->numInsts = 0;
    m->numSamples = 0;
    m->numPatts = 1;
    m->numChans = uint8_t(numChans);
    m->masterVolume = 64;
    m->speed = 6;
    m->tempo = 125;
    void *block = nullptr;
    memAlloc(32 * int(sizeof(int)), &block);
    m->panning = static_cast<int *>(block);
    for (int i = 0; i < 32; i++)
        m->panning[i] = 64;
    memAlloc(int(sizeof(uint16_t)), &block);
    m->orders = static_cast<uint16_t *>(block);
    m->orders[0] = 0;
    memAlloc(int(sizeof(PatternRecord *)), &block);
    m->patterns = static_cast<PatternRecord **>(block);
    gmpAllocEmptyPattern(64, &m->patterns[0]);
    return m;
}

// One XM pattern cell.
struct Cell {
    uint8_t note = 0;  // 1..96, 97 = key off, 0 = none
    uint8_t inst = 0;  // 1-based, 0 = none
    uint8_t vol = 0;   // volume column byte, 0 = none
    uint8_t eff = 0;
    uint8_t param = 0;
};

struct XmSpec {
    std::string name = "test song";
    std::string tracker = "q5 tests";  // bytes 38..57 of the file
    unsigned channels = 2;
    unsigned speed = 3;
    unsigned bpm = 125;
    std::vector<uint8_t> orders = {0};
    // patterns[p][row][channel]
    std::vector<std::vector<std::vector<Cell>>> patterns;
    bool withInstrument = true;  // one instrument with a looped 8-bit sample
};

inline void put16(std::vector<uint8_t> &v, unsigned x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

inline void put32(std::vector<uint8_t> &v, uint32_t x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

inline void putText(std::vector<uint8_t> &v, const std::string &s, size_t n)
{
    for (size_t i = 0; i < n; i++)
        v.push_back(i < s.size() ? uint8_t(s[i]) : 0);
}

inline std::vector<uint8_t> xmBytes(const XmSpec &spec)
{
    std::vector<uint8_t> v;
    putText(v, "Extended Module: ", 17);
    putText(v, spec.name, 20);
    v.push_back(0x1A);
    putText(v, spec.tracker, 20);
    put16(v, 0x0104);
    put32(v, 276);
    put16(v, unsigned(spec.orders.size()));
    put16(v, 0);  // restart
    put16(v, spec.channels);
    put16(v, unsigned(spec.patterns.size()));
    put16(v, spec.withInstrument ? 1 : 0);
    put16(v, 1);  // linear frequencies
    put16(v, spec.speed);
    put16(v, spec.bpm);
    for (size_t i = 0; i < 256; i++)
        v.push_back(i < spec.orders.size() ? spec.orders[i] : 0);

    for (const auto &pat : spec.patterns) {
        std::vector<uint8_t> data;
        for (const auto &row : pat) {
            for (unsigned c = 0; c < spec.channels; c++) {
                Cell cell = c < row.size() ? row[c] : Cell{};
                data.push_back(cell.note);
                data.push_back(cell.inst);
                data.push_back(cell.vol);
                data.push_back(cell.eff);
                data.push_back(cell.param);
            }
        }
        put32(v, 9);
        v.push_back(0);
        put16(v, unsigned(pat.size()));
        put16(v, unsigned(data.size()));
        v.insert(v.end(), data.begin(), data.end());
    }

    if (spec.withInstrument) {
        size_t start = v.size();
        put32(v, 263);
        putText(v, "square", 22);
        v.push_back(0);
        put16(v, 1);   // samples
        put32(v, 40);  // sample header size
        for (int i = 0; i < 96; i++)
            v.push_back(0);
        for (int i = 0; i < 96; i++)
            v.push_back(0);  // both envelopes: 12 points of 4 bytes
        for (int i = 0; i < 14; i++)
            v.push_back(0);  // point counts, sustain/loop points, types, vibrato
        put16(v, 0);         // fadeout
        while (v.size() < start + 263)
            v.push_back(0);
        const unsigned len = 64;
        put32(v, len);
        put32(v, 0);    // loop start
        put32(v, len);  // loop length
        v.push_back(48);  // volume
        v.push_back(0);   // finetune
        v.push_back(1);   // forward loop, 8-bit
        v.push_back(128);
        v.push_back(0);  // relative note
        v.push_back(0);
        putText(v, "square", 22);
        // Delta-coded square wave: +/-64 around silence.
        int8_t prev = 0;
        for (unsigned i = 0; i < len; i++) {
            int8_t s = (i & 16) ? 64 : -64;
            v.push_back(uint8_t(int8_t(s - prev)));
            prev = s;
        }
    }
    return v;
}

// A playing XM: rows rows per pattern, numPatterns patterns, a note on
// channel 0 every 4 rows, and a music-sync command (W) with argument
// 16 * pattern + row / 4 on every note row.
inline XmSpec songSpec(unsigned numPatterns = 2, unsigned rows = 16)
{
    XmSpec spec;
    spec.orders.clear();
    for (unsigned p = 0; p < numPatterns; p++) {
        spec.orders.push_back(uint8_t(p));
        std::vector<std::vector<Cell>> pat(rows, std::vector<Cell>(spec.channels));
        for (unsigned r = 0; r < rows; r += 4) {
            pat[r][0] = Cell{uint8_t(49 + r / 4), 1, 0, 'W' - 'A' + 10, uint8_t(16 * p + r / 4)};
            pat[r][1] = Cell{uint8_t(37), 1, 0x30, 0, 0};
        }
        spec.patterns.push_back(pat);
    }
    return spec;
}

inline bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace testmod
