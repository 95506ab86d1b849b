// Writes small ProTracker-style modules for the loader and player tests, so
// that a test states its module in a few lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace modw {

struct Sample {
    std::string name;
    std::vector<int8_t> data;  // signed, as stored; an odd length loses its last byte
    uint8_t finetune = 0;      // written as is (only the low nibble is meaningful)
    uint8_t volume = 64;
    uint16_t loopStart = 0;    // words
    uint16_t loopLength = 1;   // words; 1 = no loop
};

struct Cell {
    uint16_t period = 0;       // 0 = none; 12 bits
    uint8_t instrument = 0;    // 1-based, 0 = none
    uint8_t effect = 0;        // 0..F
    uint8_t param = 0;
};

struct Module {
    std::string name = "test";
    std::string tag = "M.K.";   // four bytes at 1080
    unsigned channels = 4;      // cells per row as written
    std::vector<uint8_t> orders = {0};  // up to 128 bytes; the rest are 0
    int songLength = -1;        // -1: orders.size()
    uint8_t restart = 127;
    std::vector<Sample> samples;                    // up to 31
    std::vector<std::vector<Cell>> patterns;        // 64 * channels cells each

    // The cell of pattern p, row, channel; grows the pattern list as needed.
    Cell &cell(unsigned p, unsigned row, unsigned channel);
};

// The file bytes. Patterns up to the highest order byte are written, missing
// ones empty, then the sample data in instrument order.
std::vector<uint8_t> write(const Module &m);

}  // namespace modw
