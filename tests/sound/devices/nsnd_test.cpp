// The silent device, paced by a clock the tests turn.
#include <gtest/gtest.h>

#include "sound/api/errors.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/dsmnsnd.h"

namespace {

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }

class SilentDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        nsndClock = fakeClock;
        fakeNow = 1000;
        ASSERT_EQ(nsndInit(44100, 0), errOK);
    }
    void TearDown() override
    {
        EXPECT_EQ(nsndClose(), errOK);
        nsndClock = GetTimeMS;
    }
    // Advances the clock by ms, polls, and counts the ticks asked for.
    int pollAfter(uint32_t ms)
    {
        fakeNow += ms;
        EXPECT_EQ(nsndStartPlay(), errOK);
        int ticks = 0;
        for (;;) {
            int callPlayer = -1;
            EXPECT_EQ(nsndPlay(&callPlayer), errOK);
            if (!callPlayer)
                return ticks;
            ticks++;
        }
    }
};

}  // namespace

TEST_F(SilentDevice, RunsTheMixerSilentlyAt4000HzMono)
{
    EXPECT_EQ(dsmMixRate, 4000u);
    EXPECT_EQ(dsmMode & 0x1F, unsigned(dsmModeMono | dsmMode16bit));
    EXPECT_EQ(dsmMasterVolume, 0u);
    unsigned mode = 0;
    nsndGetMode(&mode);
    EXPECT_EQ(mode, 9u);
    int present = 0;
    nsndDetect(&present);
    EXPECT_EQ(present, 1);
    EXPECT_EQ(nsndUpdateMix, 80u);  // 50 ticks a second of 4000 Hz
}

TEST_F(SilentDevice, TicksFollowTheWallClock)
{
    // One second: 4000 frames, 50 ticks of 80.
    EXPECT_EQ(pollAfter(1000), 50);
    // 30 ms: 120 frames, one tick and 40 frames toward the next.
    EXPECT_EQ(pollAfter(30), 1);
    EXPECT_EQ(nsndMixLeft, 40u);
    EXPECT_EQ(pollAfter(10), 1);
    EXPECT_EQ(nsndMixLeft, 80u);
}

TEST_F(SilentDevice, PollsCloserThan10msProduceNothingAndLoseTheTime)
{
    EXPECT_EQ(pollAfter(5), 0);
    EXPECT_EQ(nsndPlayElemsLeft, 0u);
    EXPECT_EQ(nsndMixLeft, 80u);
    // The 5 ms are gone: 15 ms more owe 60 frames, not 80.
    EXPECT_EQ(pollAfter(15), 0);
    EXPECT_EQ(nsndMixLeft, 20u);
}

TEST_F(SilentDevice, LongStallCatchesUpAtMostTwoSeconds)
{
    EXPECT_EQ(pollAfter(3000), 100);  // 2 s: 8000 frames
}

TEST_F(SilentDevice, ClockWrapIsHarmless)
{
    fakeNow = 0xFFFFFFF0u;
    nsndStartPlay();
    // 32 ms across the wrap: 128 frames, one tick and 48 frames more.
    EXPECT_EQ(pollAfter(0x20), 1);
    EXPECT_EQ(nsndMixLeft, 80u - 48u);
}

TEST_F(SilentDevice, TempoChangeRestartsTheTickInterval)
{
    EXPECT_EQ(pollAfter(15), 0);
    EXPECT_EQ(nsndSetUpdRate(6000), errOK);  // tempo 150: 66.7 -> 66 frames
    EXPECT_EQ(nsndUpdateMix, 66u);
    EXPECT_EQ(nsndMixLeft, 66u);
}

TEST_F(SilentDevice, OwnMasterVolumeIsKeptApart)
{
    EXPECT_EQ(nsndSetMasterVolume(33), errOK);
    unsigned v = 0;
    nsndGetMasterVolume(&v);
    EXPECT_EQ(v, 33u);
    EXPECT_EQ(dsmMasterVolume, 0u);
}
