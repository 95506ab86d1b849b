// One pass of a song through the library's offline render: the sound system
// is started on a render target, the module loaded and played as fast as the
// CPU allows, until the song has come round to a row it already played in
// the same pattern-loop state (after the end of the order list, or a jump
// back that nothing leads on from) the asked number of times.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/audio/wavwriter.h"

struct SyncEvent {
    uint64_t frame;  // output frame at which the row carrying it starts
    unsigned position, row, value;
};

struct PassOptions {
    unsigned rate = 44100;
    unsigned mixing = 0;             // a MIDAS_RENDER_ mixing kind (0: the mixer's choice)
    unsigned loops = 1;              // passes through the song
    bool silent = false;             // master volume 0: the mixer only advances positions
    AudioSink *sink = nullptr;       // null: the output is thrown away
    double maxSeconds = 3600;        // a song that never comes round stops here
    bool deviceTicks = false;        // ticks rounded as the OSS device does: the show's timing
    unsigned chunkFrames = 1 << 16;  // frames rendered between two looks at the song
    // Called before each chunk with the song's position and row and the
    // frames rendered so far (play's row times use small chunks).
    std::function<void(unsigned position, unsigned row, uint64_t frames)> beforeChunk;
};

struct PassResult {
    uint64_t frames = 0;  // output frames rendered
    unsigned rate = 0;
    bool hitLimit = false;  // stopped by maxSeconds
    std::vector<SyncEvent> syncEvents;
    // What the module is, read after loading.
    std::string format;  // "MOD", "S3M", "XM", "IT"
    std::string songName;
    unsigned channels = 0, patterns = 0, instruments = 0, samples = 0, songLength = 0;
};

// Runs the pass. On failure returns false with the sound system's message
// (or a message of ours) in *error; the sound system is closed either way.
bool runSongPass(const std::string &file, const PassOptions &options, PassResult *result,
                 std::string *error);
