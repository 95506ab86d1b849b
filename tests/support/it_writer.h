// Writes small Impulse Tracker modules for the loader and player tests, and
// compresses sample data the IT 2.14 / 2.15 way for the decoder tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace itw {

struct Sample {
    std::string name;
    bool is16 = false;
    std::vector<int> data;         // signed frame values (-128..127 or -32768..32767)
    std::vector<int> right;        // second channel: a stereo sample when not empty
    uint8_t cvt = 0x01;            // conversion flags as written (bit 0 signed)
    bool compressed = false;       // IT 2.14, or 2.15 with it215
    bool it215 = false;
    uint32_t compressSeed = 0;     // non-zero: random width changes while compressing
    uint8_t loopFlags = 0;         // 0x10 loop, 0x20 sustain loop, 0x40 / 0x80 bidirectional
    uint32_t loopStart = 0, loopEnd = 0, susStart = 0, susEnd = 0;  // frames
    uint8_t volume = 64, globalVolume = 64;
    uint32_t c5speed = 8363;
    uint8_t vibSpeed = 0, vibDepth = 0, vibRate = 0, vibType = 0;
    std::optional<uint32_t> lengthField;   // frames in the header, default data.size()
    std::optional<uint32_t> dataOffset;    // data pointer in the header, default where written
};

struct Envelope {
    uint8_t flags = 0;                            // bit 0 on, 1 loop, 2 sustain loop
    std::vector<std::pair<int, uint16_t>> points; // (value, tick)
    uint8_t loopStart = 0, loopEnd = 0, susStart = 0, susEnd = 0;
    std::optional<uint8_t> countField;            // point count as written
};

struct Instrument {
    std::string name;
    uint8_t nna = 0, dct = 0, dca = 0;
    uint16_t fadeout = 0;
    uint8_t pps = 0, ppc = 60, gbv = 128, dfp = 32 | 128, rv = 0, rp = 0;
    std::array<uint8_t, 240> keyboard{};  // (note, sample) pairs
    Envelope vol, pan, pitch;
    Instrument();
    // Every key plays sample s (1-based) at its own note.
    void useSample(uint8_t s);
};

// One entry of a packed row. Fields at -1 are left out.
struct Entry {
    unsigned row = 0;
    unsigned channel = 0;  // 0..63
    int note = -1, instrument = -1, volume = -1;
    int command = -1, info = 0;  // command letter number 1..26
};

struct Pattern {
    unsigned rows = 64;
    std::vector<Entry> entries;
    bool repeats = true;  // pack repeated values and masks the way IT does
    std::optional<std::vector<uint8_t>> raw;  // packed bytes written instead
    std::optional<uint16_t> lengthField;
};

struct Module {
    std::string name = "test";
    std::vector<uint8_t> orders = {0, 255};
    bool useInstruments = false;
    bool oldInstruments = false;   // compatible-with version below 0x200
    bool linearSlides = true;
    uint16_t cwt = 0x214;
    uint8_t speed = 6, tempo = 125, globalVolume = 128;
    std::array<uint8_t, 64> channelPan;  // default: channels 0..3 on, centre
    std::array<uint8_t, 64> channelVolume;  // default: all 64
    std::vector<Sample> samples;
    std::vector<Instrument> instruments;
    std::vector<Pattern> patterns;
    std::vector<uint32_t> patternOffsetOverride;  // non-empty: written instead
    Module();
};

std::vector<uint8_t> write(const Module &m);

// One channel of compressed data: blocks of a 16-bit byte count and the bit
// stream. Values are the signed frames. A non-zero seed adds random width
// changes so that every kind of change code appears.
std::vector<uint8_t> compress(const std::vector<int> &frames, bool is16, bool it215,
                              uint32_t seed = 0);

}  // namespace itw
