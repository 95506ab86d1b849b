// Pacing by the clock for outputs faster than real time.
#include "platform/audio/pacer.h"

uint64_t OutputPacer::clockPlayed(uint64_t nowUs) const
{
    uint64_t us = nowUs > baseUs_ ? nowUs - baseUs_ : 0;
    return baseFrames_ + us * rate_ / 1000000;
}

uint64_t OutputPacer::room(uint64_t nowUs, uint64_t deviceFree)
{
    if (deviceFree > buffer_)
        deviceFree = buffer_;
    if (!started_)
        return deviceFree;
    uint64_t clock = clockPlayed(nowUs);
    if (clock > written_) {
        // The writer fell behind: the output ran dry, and plays on from now.
        baseUs_ = nowUs;
        baseFrames_ = clock = written_;
    }
    if (!fast_) {
        uint64_t held = buffer_ - deviceFree;
        uint64_t consumed = held < written_ ? written_ - held : 0;
        fast_ = consumed > clock + clock / 50 + buffer_;
        if (!fast_)
            return deviceFree;
    }
    uint64_t queued = written_ - clock;
    uint64_t free = queued < buffer_ ? buffer_ - queued : 0;
    return free < deviceFree ? free : deviceFree;
}

void OutputPacer::wrote(uint64_t nowUs, uint64_t frames)
{
    if (!started_ && frames) {
        started_ = true;
        baseUs_ = nowUs;
        baseFrames_ = 0;
    }
    written_ += frames;
}
