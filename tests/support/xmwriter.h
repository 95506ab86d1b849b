// Builds XM module files in memory from a compact description, so that a
// test states its module in a few lines:
//
//   xmw::Module m(2);                     // two channels
//   m.pattern(0, 4).set(0, 0, "C-4 01 .. W05");
//   m.instrument().sample8({0, 10, 20});
//   auto bytes = m.build();
//
// Cells are written as in a tracker: note ("C-4", "C#4", "===" key off,
// "..." none), instrument (two hex digits or ".."), volume-column byte (two
// hex digits, the raw FT2 value: 10..50 set volume 0..64, or ".."), effect
// (one character 0-9/A-Z and two hex digits, or "...").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xmw {

struct Cell {
    uint8_t note = 0;  // 1..96, 97 key off, 0 none
    uint8_t inst = 0;  // 1-based, 0 none
    uint8_t vol = 0;   // raw volume-column byte
    uint8_t eff = 0;
    uint8_t param = 0;
};

// Parses "C-4 01 40 W05"; fails the test process (abort) on bad text.
Cell cell(const std::string &text);

struct Pattern {
    unsigned rows = 64;
    unsigned channels = 0;
    std::vector<Cell> cells;  // rows * channels
    // Writes the packed form as it is, with no conversion (hostile tests).
    std::vector<uint8_t> rawPacked;
    bool useRaw = false;
    Pattern &set(unsigned row, unsigned chan, const std::string &text);
    Pattern &set(unsigned row, unsigned chan, const Cell &c);
};

struct Envelope {
    bool on = false;
    std::vector<std::pair<uint16_t, int16_t>> points;
    int sustain = -1, loopStart = -1, loopEnd = -1;
    int countOverride = -1;  // writes this point count instead (hostile tests)
};

struct Sample {
    std::string name;
    bool is16 = false;
    std::vector<int> pcm;       // decoded values, delta-coded on writing
    std::vector<uint8_t> raw;   // file bytes as they are (overrides pcm)
    uint32_t loopStart = 0, loopLength = 0;  // in the file's byte units
    int loopKind = 0;           // 0 none, 1 forward, 2 bidirectional
    uint8_t volume = 64;
    int8_t fineTune = 0;
    uint8_t panning = 128;
    int8_t relNote = 0;
    int64_t lengthOverride = -1;  // header length instead of the data size
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;
    uint8_t noteSamples[96] = {};
    Envelope vol, pan;
    uint8_t vibType = 0, vibSweep = 0, vibDepth = 0, vibRate = 0;
    uint16_t fadeout = 0;
    Sample &sample8(const std::vector<int> &pcm);
    Sample &sample16(const std::vector<int> &pcm);
};

struct Module {
    std::string name = "test";
    unsigned channels;
    unsigned speed = 6, tempo = 125;
    bool linear = true;
    uint16_t version = 0x0104;
    unsigned restart = 0;
    std::vector<uint8_t> orders = {0};
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
    // Header counts written instead of the real ones (hostile tests), -1 = real.
    int patternCountOverride = -1, channelCountOverride = -1, songLengthOverride = -1;

    explicit Module(unsigned chans) : channels(chans) {}
    // Pattern i (created with `rows` rows when new).
    Pattern &pattern(unsigned i, unsigned rows = 64);
    Instrument &instrument();
    std::vector<uint8_t> build() const;
    // Writes build() to a file; returns false on failure.
    bool save(const std::string &path) const;
};

}  // namespace xmw
