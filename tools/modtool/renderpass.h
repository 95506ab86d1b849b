// The render pass of modtool render: the whole song, or a section of its
// order list from position start to position end (both played), until it
// comes round the asked number of times; optionally with the mixer's own
// values before their conversion to 16 bits (for float output).
#pragma once

#include <string>

#include "songpass.h"

// Receives the mixed stereo frames before the conversion to 16 bits, at the
// 16-bit scale (full scale 32768) and not clipped; frames before a section's
// start are not passed on.
class FloatTap {
public:
    virtual ~FloatTap() = default;
    virtual void frames(const float *leftRight, unsigned count) = 0;
};

struct Range {
    int start = -1, end = -1;  // -1, -1: the whole song; end -1: to the song's end
};

// As runSongPass (without the sync events). Fails with a message when a
// position lies past the order list or end is before start. result gets
// what the render needs (frames, rate, limit).
bool runRenderPass(const std::string &file, const PassOptions &options, Range range, FloatTap *tap,
                   PassResult *result, std::string *error);
