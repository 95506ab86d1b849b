// The WAVE output of render: the mixer's stereo frames in the asked channel
// count (1: the mean of left and right) and sample format, written to a file
// or to standard output. 16-bit integer samples are the mixer's own output;
// 32-bit float ones are the mixer's values before that conversion (full
// scale 1.0, louder peaks kept, not clipped), taken through FloatTap. A seekable output gets the exact sizes in its header
// at the end; a pipe keeps the header's "size unknown" values (0xFFFFFFFF),
// as streaming WAVE readers expect.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/audio/wavwriter.h"
#include "renderpass.h"

enum class SampleFormat { s16, f32 };

class RenderSink : public AudioSink, public FloatTap {
public:
    RenderSink(unsigned rate, unsigned channels, SampleFormat format)
        : rate_(rate), channels_(channels), format_(format)
    {}
    ~RenderSink() override;
    RenderSink(const RenderSink &) = delete;
    RenderSink &operator=(const RenderSink &) = delete;

    // Writes to the path, or to standard output for "-". False with errno set.
    bool open(const std::string &path);
    // Takes the mixer's 16-bit stereo frames; ignored for float output.
    bool write(const void *data, size_t bytes) override;
    // Takes the float frames for float output; ignored for 16-bit output.
    void frames(const float *leftRight, unsigned count) override;
    bool wantsFloat() const { return format_ == SampleFormat::f32; }
    bool finish() override;
    uint64_t frames() const { return frames_; }
    // Called after every write with the frames written so far.
    std::function<void(uint64_t)> progress;

private:
    bool writeHeader(uint32_t dataBytes);

    unsigned rate_, channels_;
    SampleFormat format_;
    std::FILE *file_ = nullptr;
    bool ownsFile_ = false, failed_ = false;
    uint64_t frames_ = 0;
};

// The header of a WAVE file: PCM 16-bit or IEEE float 32-bit.
std::string renderWavHeader(unsigned rate, unsigned channels, SampleFormat format,
                            uint32_t dataBytes);
