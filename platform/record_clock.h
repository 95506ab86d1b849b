// record_clock.h: the virtual clock of record mode, shared by the software
// board (platform/glide) and the sound output (platform/audio).
//
// In record mode nothing waits for the wall clock. Each shown frame moves
// the clock on by exactly 1/60 s, and the sound output may take exactly the
// audio the clock has reached: 735 frames of 44100 Hz sound per video frame.
// The swap that shows frame n-1 moves the clock to n/60 s and then waits
// until the sound output has taken every audio frame before n * 735 and is
// asking for more. By then the player has run every tick that lies at or
// before n/60 s (a tick runs between the write that ends at its frame and the
// next write), so a music-sync value reaches the show before the first frame
// whose time is at or after the tick: frame ceil(tickFrame / 735).
//
// The sound output is written by the player thread inside a poll, holding
// the poll lock. A write that runs past the clock blocks there, so the poll
// lock is held until the next swap. That is safe because the show takes the
// lock only before its first swap (the output takes nothing until then: the
// grant is 0) and after the display closes (finish() releases the writer
// and throws away the sound after the last frame). Against any other lock
// order, both waits give up after kStallSeconds without progress, say so, and
// stop pacing.
//
// Header only: the two libraries share the one inline instance without a
// link dependency between them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace recording {

inline constexpr unsigned kVideoRate = 60;      // frames per second
inline constexpr unsigned kAudioRate = 44100;   // audio frames per second
inline constexpr unsigned kAudioPerFrame = kAudioRate / kVideoRate;
static_assert(kAudioPerFrame * kVideoRate == kAudioRate, "whole audio frames per video frame");
inline constexpr unsigned kAudioFrameBytes = 4;  // 16-bit stereo
// What one poll of the sound output may take: 2 s. The writes inside it
// block on the clock; between two grants the player thread sleeps one poll
// interval, so a larger grant means fewer such pauses.
inline constexpr unsigned kGrantFrames = 2 * kAudioRate;
inline constexpr int kStallSeconds = 10;

// The environment variable that switches both stand-ins into record mode;
// its value is the output file.
inline constexpr const char *kRecordVariable = "Q5_RECORD";

inline const char *recordTarget() {
    const char *v = std::getenv(kRecordVariable);
    return v && *v ? v : nullptr;
}

class VirtualClock {
public:
    // Receives the audio the clock lets through, in order, on the writing
    // thread, with the clock's lock held: it must not block or call back.
    using AudioConsumer = void (*)(const uint8_t *pcm, size_t bytes, void *user);

    // The board side: a recording starts (frame 0 not shown yet).
    void begin() {
        std::lock_guard<std::mutex> lock(m_);
        running_ = true;
        finished_ = false;
        abandoned_ = false;
        frames_ = 0;
        forwarded_ = 0;
        cv_.notify_all();
    }

    // One frame shown: the clock moves on by 1/60 s, then waits until the
    // sound output has taken the audio up to the new time (see the top).
    void advance() {
        std::unique_lock<std::mutex> lock(m_);
        if (!running_ || finished_) return;
        ++frames_;
        cv_.notify_all();
        uint64_t seen = forwarded_;
        while (attached_ && !abandoned_ && !(forwarded_ >= target() && waiting_)) {
            if (cv_.wait_for(lock, std::chrono::seconds(kStallSeconds)) == std::cv_status::timeout &&
                forwarded_ == seen) {
                abandon("the sound output stopped taking audio");
                break;
            }
            seen = forwarded_;
        }
    }

    // The display closed: no more frames. A blocked writer is released and
    // whatever sound lies after the last frame is thrown away.
    void finish() {
        std::lock_guard<std::mutex> lock(m_);
        finished_ = true;
        cv_.notify_all();
    }

    // The recording is over and its consumer gone.
    void end() {
        std::lock_guard<std::mutex> lock(m_);
        finished_ = true;
        running_ = false;
        consumer_ = nullptr;
        consumerUser_ = nullptr;
        cv_.notify_all();
    }

    void setAudioConsumer(AudioConsumer consumer, void *user) {
        std::lock_guard<std::mutex> lock(m_);
        consumer_ = consumer;
        consumerUser_ = user;
    }

    // The sound side: the record-mode output opened or closed. Its audio
    // starts at the clock's current time.
    void attachAudio() {
        std::lock_guard<std::mutex> lock(m_);
        attached_ = true;
        waiting_ = false;
        forwarded_ = target();
        cv_.notify_all();
    }
    void detachAudio() {
        std::lock_guard<std::mutex> lock(m_);
        attached_ = false;
        waiting_ = false;
        cv_.notify_all();
    }

    // Audio frames the output may take in this poll: none before the first
    // frame is shown or after the last; otherwise a grant whose end the
    // writes wait for as the clock goes on.
    unsigned grant() {
        std::lock_guard<std::mutex> lock(m_);
        if (!running_ || finished_ || frames_ == 0) return 0;
        return kGrantFrames;
    }

    // Takes `frames` audio frames of frameBytes bytes each: hands the part the
    // clock has reached to the consumer and waits for the rest. Returns the
    // frames let through (the rest was after the end of the recording).
    size_t write(const uint8_t *pcm, size_t frames, size_t frameBytes) {
        std::unique_lock<std::mutex> lock(m_);
        size_t done = 0;
        while (done < frames && running_) {
            const uint64_t t = target();
            const uint64_t allowed = t > forwarded_ ? t - forwarded_ : 0;
            const size_t take = allowed < frames - done ? static_cast<size_t>(allowed) : frames - done;
            if (take > 0) {
                if (consumer_) consumer_(pcm + done * frameBytes, take * frameBytes, consumerUser_);
                forwarded_ += take;
                done += take;
                continue;
            }
            if (finished_ || abandoned_) break;
            waiting_ = true;
            cv_.notify_all();
            const uint64_t frameSeen = frames_;
            while (frames_ == frameSeen && !finished_ && !abandoned_ && running_) {
                if (cv_.wait_for(lock, std::chrono::seconds(kStallSeconds)) == std::cv_status::timeout &&
                    frames_ == frameSeen) {
                    abandon("no frame was shown while the sound output waited");
                }
            }
            waiting_ = false;
        }
        return done;
    }

    uint64_t frames() {
        std::lock_guard<std::mutex> lock(m_);
        return frames_;
    }
    uint64_t audioFrames() {
        std::lock_guard<std::mutex> lock(m_);
        return forwarded_;
    }
    bool abandoned() {
        std::lock_guard<std::mutex> lock(m_);
        return abandoned_;
    }

private:
    uint64_t target() const { return frames_ * kAudioPerFrame; }

    void abandon(const char *why) {
        if (!abandoned_) {
            std::fprintf(stderr, "\nrecord: %s for %d s; the rest is not paced by the clock\n", why,
                         kStallSeconds);
        }
        abandoned_ = true;
        cv_.notify_all();
    }

    std::mutex m_;
    std::condition_variable cv_;
    bool running_ = false, finished_ = false, abandoned_ = false;
    bool attached_ = false, waiting_ = false;
    uint64_t frames_ = 0;     // frames shown since begin()
    uint64_t forwarded_ = 0;  // audio frames let through
    AudioConsumer consumer_ = nullptr;
    void *consumerUser_ = nullptr;
};

// The one clock of the process.
inline VirtualClock &virtualClock() {
    static VirtualClock clock;
    return clock;
}

}  // namespace recording
