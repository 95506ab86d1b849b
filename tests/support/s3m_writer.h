// Writes small Scream Tracker 3 modules for the loader and player tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace s3mw {

struct Instrument {
    std::string name;
    uint8_t type = 1;              // 1 = sample, 0 = empty
    std::vector<uint8_t> data;     // 8-bit unsigned (or signed, see Module::signedSamples)
    uint32_t length = UINT32_MAX;  // frames written in the header; default data.size()
    uint32_t loopStart = 0, loopEnd = 0;
    bool loop = false;
    uint8_t volume = 64;
    uint32_t c2spd = 8363;
    uint8_t extraFlags = 0;        // ORed into the flag byte (4 = 16-bit)
};

// One entry of a packed row. Fields at -1 are left out.
struct Entry {
    unsigned row = 0;
    unsigned channel = 0;
    int note = -1;        // with instrument: both or neither are written
    int instrument = -1;
    int volume = -1;
    int command = -1;     // letter number 1..26
    int info = 0;
};

struct Pattern {
    std::vector<Entry> entries;
    std::optional<std::vector<uint8_t>> raw;  // packed bytes written instead
    std::optional<uint16_t> lengthField;      // stored length, default data + 2
};

struct Module {
    std::string name = "test";
    std::vector<uint8_t> orders = {0};
    std::vector<Instrument> instruments;
    std::vector<Pattern> patterns;
    uint8_t channelSettings[32] = {0, 8, 8, 0, 255, 255, 255, 255, 255, 255, 255,
                                   255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                   255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    bool panTable = false;
    uint8_t pan[32] = {};
    uint16_t flags = 0;
    uint16_t version = 0x1320;
    uint8_t globalVolume = 64, speed = 6, tempo = 125;
    bool signedSamples = false;  // sample format word 1 instead of 2
};

std::vector<uint8_t> write(const Module &m);

}  // namespace s3mw
