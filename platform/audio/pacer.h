// Pacing by the clock for outputs that take sound faster than they play it
// (ALSA's "null" device, some plugins): without it the poller keeps such an
// output "full" all the time and the music runs as fast as the CPU mixes.
//
// The pacer compares what the output has consumed (written minus what it
// still holds) with what the clock says it could have played since the first
// write. An output that gets more than 2% and a whole buffer ahead of the
// clock is marked fast, for good; from then on the free space it reports is
// cut to what a real-time output of the same buffer would have free. A real
// device, whose own clock never strays that far, is never paced, so its
// drift against the system clock cannot starve it.
//
// Pure arithmetic on the times it is given (microseconds from any fixed
// origin), so it is tested with a made-up clock. Not thread-safe.
#pragma once

#include <cstdint>

class OutputPacer {
public:
    OutputPacer(unsigned rate, uint64_t bufferFrames) : rate_(rate), buffer_(bufferFrames) {}

    // Frames that may be written at nowUs, when the output itself reports
    // deviceFree frames free (at most its buffer).
    uint64_t room(uint64_t nowUs, uint64_t deviceFree);
    // Records frames written at nowUs.
    void wrote(uint64_t nowUs, uint64_t frames);
    // True once the output was found to run ahead of the clock.
    bool pacing() const { return fast_; }

private:
    // Frames the clock allows to have played by nowUs.
    uint64_t clockPlayed(uint64_t nowUs) const;

    unsigned rate_;
    uint64_t buffer_;
    uint64_t written_ = 0;
    bool started_ = false, fast_ = false;
    // The clock's origin: at baseUs, baseFrames had played. Moved forward
    // when the writer falls behind the clock, so a stall earns no credit.
    uint64_t baseUs_ = 0, baseFrames_ = 0;
};
