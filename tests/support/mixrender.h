// Renders a module through the real mixer for tests: the mixer's channel
// and sample operations behind a device record, one tick's worth of frames
// (rate * 100 / update rate, remainder carried) mixed after each player
// tick, no output filter, the plain (not Pentium Pro) mixing routines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/player/gmpmodule.h"

namespace mixrender {

using LoadMemoryFn = int (*)(const void *, size_t, int, gmpSampleCallback, ModuleRecord **);

struct Options {
    unsigned rate = 44100;
    unsigned mode = 0;       // dsmMode... flags
    unsigned channels = 4;   // mixer channels to open
    int songChannels = -1;   // channels the song plays on (-1: the module's)
    int ticks = 24;
};

// The interleaved output of `ticks` player ticks, or what was mixed before
// a failure (each failure is also a test failure).
std::vector<int16_t> render(LoadMemoryFn load, const std::vector<uint8_t> &bytes, const Options &o);

// FNV-1a over the samples' bytes, for pinning renders.
uint64_t hash(const std::vector<int16_t> &pcm);

}  // namespace mixrender
