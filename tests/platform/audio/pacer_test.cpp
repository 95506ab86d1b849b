// Pacing by the clock: a made-up clock and two made-up outputs, polled every
// 10 ms as the sound system's thread does.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/audio/pacer.h"

namespace {

constexpr unsigned rate = 44100;
constexpr uint64_t buffer = 4410;  // 100 ms

// Polls for 'seconds' of made-up time, writing all the room there is. The
// output consumes 'speed' times real time (0: at once, like ALSA's null).
// Returns the frames written; *maxRoom gets the largest room after the first
// second.
uint64_t run(OutputPacer &pacer, double speed, double seconds, uint64_t *maxRoom)
{
    uint64_t written = 0;
    double consumed = 0;
    *maxRoom = 0;
    for (uint64_t us = 0; us <= uint64_t(seconds * 1e6); us += 10000) {
        double held = double(written) - consumed;
        if (speed == 0 || held < 0)
            held = 0;
        uint64_t room = pacer.room(us, buffer - uint64_t(held));
        if (us >= 1000000 && room > *maxRoom)
            *maxRoom = room;
        pacer.wrote(us, room);
        written += room;
        if (speed > 0) {
            consumed += speed * rate * 0.01;
            if (consumed > double(written))
                consumed = double(written);
        }
    }
    return written;
}

}  // namespace

TEST(OutputPacer, AFastOutputGetsOnlyWhatTheClockPlayed)
{
    OutputPacer pacer(rate, buffer);
    uint64_t maxRoom;
    uint64_t written = run(pacer, 0, 10, &maxRoom);
    EXPECT_TRUE(pacer.pacing());
    // Ten seconds of sound and the buffer, never more: not one pass per poll.
    EXPECT_GE(written, 10 * rate);
    EXPECT_LE(written, 10 * rate + 3 * buffer);
    // In steady state each 10 ms poll gets about 10 ms of frames.
    EXPECT_LE(maxRoom, rate / 100 + 1);
}

TEST(OutputPacer, ARealTimeOutputIsLeftToItsOwnClock)
{
    // A device 1% faster than the system clock is still a real device: its
    // own free space stands, so it is never starved.
    OutputPacer pacer(rate, buffer);
    uint64_t maxRoom;
    uint64_t written = run(pacer, 1.01, 30, &maxRoom);
    EXPECT_FALSE(pacer.pacing());
    EXPECT_GE(written, uint64_t(30 * 1.01 * rate));
}

TEST(OutputPacer, AStallEarnsNoCredit)
{
    OutputPacer pacer(rate, buffer);
    uint64_t maxRoom;
    run(pacer, 0, 1, &maxRoom);
    ASSERT_TRUE(pacer.pacing());
    // Two seconds without a poll: the output ran dry, and plays on from now
    // with one buffer of room, not two seconds' worth.
    EXPECT_EQ(pacer.room(3000000, buffer), buffer);
    pacer.wrote(3000000, buffer);
    EXPECT_EQ(pacer.room(3000000, buffer), 0u);
}
