// A small writer of XM modules (version 0x0104): header, packed patterns,
// instruments with envelopes and automatic vibrato, delta-coded samples.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

// One pattern cell as a tracker shows it. note: 0 none, 1..96 (1 = C-0),
// 97 key off. instrument: 0 none, else 1-based. volume: raw volume-column byte
// (0 none, 0x10..0x50 set volume 0..64, above that the column commands).
struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
    bool empty() const
    {
        return note == 0 && instrument == 0 && volume == 0 && effect == 0 && param == 0;
    }
};

struct XmPattern {
    int rows = 64;
    int channels = 0;
    std::vector<XmCell> cells;  // row-major, rows * channels

    XmPattern(int rows_, int channels_)
        : rows(rows_), channels(channels_), cells(static_cast<size_t>(rows_ * channels_))
    {}
    XmCell &at(int row, int chan) { return cells.at(static_cast<size_t>(row * channels + chan)); }
    const XmCell &at(int row, int chan) const
    {
        return cells.at(static_cast<size_t>(row * channels + chan));
    }
};

// Envelope points: position in ticks, value 0..64.
struct XmEnvelope {
    std::vector<std::pair<uint16_t, uint16_t>> points;  // at most 12
    int sustain = -1;                                   // point index, -1 none
    int loop_start = -1;                                // point indices, -1 no loop
    int loop_end = -1;
    bool enabled() const { return !points.empty(); }
};

enum class XmLoop : uint8_t { none = 0, forward = 1, pingpong = 2 };

struct XmSample {
    std::string name;
    std::vector<int16_t> data;  // 16-bit PCM
    XmLoop loop = XmLoop::none;
    uint32_t loop_start = 0;   // in sample frames
    uint32_t loop_length = 0;  // in sample frames
    uint8_t volume = 64;       // 0..64
    int8_t finetune = 0;       // 1/128 semitone
    uint8_t panning = 128;     // 0..255
    int8_t relative_note = 0;  // semitones
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;       // all sounding samples of the instrument
    std::array<uint8_t, 96> note_map{};  // sample index for each note
    XmEnvelope volume_env;
    XmEnvelope panning_env;
    uint8_t vibrato_type = 0;
    uint8_t vibrato_sweep = 0;
    uint8_t vibrato_depth = 0;
    uint8_t vibrato_rate = 0;
    uint16_t fadeout = 0;
};

struct XmModule {
    std::string name;
    int channels = 8;
    int speed = 6;    // ticks per row
    int tempo = 125;  // beats per minute: one tick lasts 2.5 / tempo seconds
    int restart = 0;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Sizes of the fixed parts of the format, in bytes.
inline constexpr uint32_t kXmHeaderSize = 276;      // counted from offset 60
inline constexpr uint32_t kXmInstrumentSize = 263;  // header with its sample map block
inline constexpr uint32_t kXmSampleHeaderSize = 40;

// Serialises the module. Throws std::invalid_argument for a module the format
// cannot hold (too many channels, patterns, points, a pattern above 64 KiB...).
std::vector<uint8_t> write_xm(const XmModule &module);

// Packs one pattern the way the format stores it (without the 9-byte header).
std::vector<uint8_t> pack_pattern(const XmPattern &pattern);

}  // namespace assets
