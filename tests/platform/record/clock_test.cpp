// The virtual clock of record mode against a device that writes like the
// OSS device: grants per poll, chunks split at player ticks, a tick run
// between the write that reaches it and the next write.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/record_clock.h"

namespace {

using recording::kAudioPerFrame;
using recording::VirtualClock;

// Collects what the clock lets through; each audio frame carries its own
// index, so gaps, repeats and reordering show.
struct Collector {
    std::vector<uint32_t> frames;
    static void take(const uint8_t *pcm, size_t bytes, void *user) {
        auto *c = static_cast<Collector *>(user);
        for (size_t i = 0; i + 4 <= bytes; i += 4) {
            uint32_t v;
            std::memcpy(&v, pcm + i, 4);
            c->frames.push_back(v);
        }
    }
};

// A poller thread: each poll asks for the grant, then mixes up to the next
// tick or the end of the grant, writes, and runs a tick at each boundary.
class FakeDevice {
public:
    FakeDevice(VirtualClock &clock, unsigned tickFrames) : clock_(clock), tickFrames_(tickFrames) {
        thread_ = std::thread([this] { run(); });
    }
    // A failed assertion must not leave the device blocked on the clock.
    ~FakeDevice() {
        clock_.finish();
        stop();
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    uint64_t ticks() const { return ticks_.load(); }

private:
    void run() {
        unsigned mixLeft = tickFrames_;
        std::vector<uint8_t> buf;
        while (!stop_) {
            unsigned space = clock_.grant();
            for (;;) {
                const unsigned n = std::min(space, mixLeft);
                buf.resize(size_t(n) * 4);
                for (unsigned i = 0; i < n; ++i) {
                    const uint32_t v = uint32_t(made_ + i);
                    std::memcpy(&buf[size_t(i) * 4], &v, 4);
                }
                clock_.write(buf.data(), n, 4);
                made_ += n;
                mixLeft -= n;
                space -= n;
                if (mixLeft == 0) {
                    mixLeft = tickFrames_;
                    ticks_.fetch_add(1);
                    continue;
                }
                if (space == 0) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    VirtualClock &clock_;
    unsigned tickFrames_;
    uint64_t made_ = 0;
    std::atomic<uint64_t> ticks_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(VirtualClock, GrantsNothingBeforeTheFirstFrameOrAfterTheLast) {
    VirtualClock clock;
    Collector got;
    clock.setAudioConsumer(Collector::take, &got);
    clock.attachAudio();
    EXPECT_EQ(clock.grant(), 0u) << "not recording yet";
    clock.begin();
    EXPECT_EQ(clock.grant(), 0u) << "before the first frame the music must not move";
    // An empty write (what a device mixes from a zero grant) never waits.
    EXPECT_EQ(clock.write(nullptr, 0, 4), 0u);
    clock.detachAudio();
    clock.advance();  // no sound attached: nothing to wait for
    EXPECT_EQ(clock.frames(), 1u);
    EXPECT_EQ(clock.grant(), recording::kGrantFrames);
    clock.finish();
    EXPECT_EQ(clock.grant(), 0u);
    // After the last frame, sound is taken and dropped at once.
    clock.attachAudio();
    std::vector<uint8_t> pcm(4000, 1);
    EXPECT_EQ(clock.write(pcm.data(), 1000, 4), 0u);
    EXPECT_TRUE(got.frames.empty());
    clock.advance();
    EXPECT_EQ(clock.frames(), 1u) << "frames after finish() do not count";
}

TEST(ThreadVirtualClock, EachSwapReturnsAfterExactlyTheTicksUpToItsTime) {
    // 882 frames per tick (tempo 125 at 44100 Hz) meets the 735-frame video
    // frame every 4410 frames: frames 6, 12, ... end exactly on a tick, which
    // must have run before their swap returns.
    constexpr unsigned tick = 882;
    VirtualClock clock;
    Collector got;
    clock.setAudioConsumer(Collector::take, &got);
    clock.attachAudio();
    clock.begin();
    FakeDevice device(clock, tick);
    for (uint64_t n = 1; n <= 150; ++n) {
        clock.advance();
        ASSERT_EQ(clock.audioFrames(), n * kAudioPerFrame) << "after swap " << n;
        ASSERT_EQ(device.ticks(), n * kAudioPerFrame / tick) << "after swap " << n;
    }
    clock.finish();
    device.stop();
    clock.end();
    EXPECT_FALSE(clock.abandoned());
    ASSERT_EQ(got.frames.size(), 150u * kAudioPerFrame) << "nothing after the last frame";
    for (size_t i = 0; i < got.frames.size(); ++i) ASSERT_EQ(got.frames[i], i) << "audio out of order";
}

TEST(ThreadVirtualClock, FinishReleasesAWriterWaitingForTheNextFrame) {
    VirtualClock clock;
    Collector got;
    clock.setAudioConsumer(Collector::take, &got);
    clock.attachAudio();
    clock.begin();
    FakeDevice device(clock, 1000);
    for (int n = 0; n < 10; ++n) clock.advance();
    // The device is now blocked in a write past frame 10; finishing must let
    // it go (the join below would hang otherwise).
    clock.finish();
    device.stop();
    EXPECT_FALSE(clock.abandoned());
    EXPECT_EQ(got.frames.size(), 10u * kAudioPerFrame);
}

TEST(ThreadVirtualClock, ClosingTheSoundReleasesAWaitingSwap) {
    VirtualClock clock;
    clock.attachAudio();
    clock.begin();
    std::atomic<bool> returned{false};
    // No device writes: the swap waits for sound that does not come.
    std::thread swap([&] {
        clock.advance();
        returned = true;
    });
    while (clock.frames() == 0) std::this_thread::yield();
    clock.detachAudio();
    swap.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(clock.abandoned()) << "released by the close, not by the stall guard";
}

}  // namespace
