// The sample, stream, echo and post-processor calls of the public API on
// the silent device.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <unistd.h>

#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "sound/api/midasdll.h"
#include "sound/extras/mecho.h"
#include "sound/mixer/dsmnsnd.h"
#include "testmodules.h"

namespace {

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }

class ApiExtras : public ::testing::Test {
protected:
    void SetUp() override
    {
        nsndClock = fakeClock;
        fakeNow = 5000;
        ASSERT_TRUE(MIDASstartup());
        MIDASsetOption(MIDAS_OPTION_FORCE_NO_SOUND, 1);
        ASSERT_TRUE(MIDASinit());
    }
    void TearDown() override
    {
        EXPECT_TRUE(MIDASclose());
        nsndClock = GetTimeMS;
    }
    void pollAfter(uint32_t ms)
    {
        fakeNow += ms;
        MIDASpoll();
    }
};

int postProcCalls = 0;
unsigned postProcFrames = 0;
int countFrames(void *, unsigned frames, void *user)
{
    postProcCalls++;
    postProcFrames += frames;
    *static_cast<int *>(user) += 1;
    return 0;
}

}  // namespace

TEST_F(ApiExtras, SamplePlayHandlesAreTheServicesPlusOne)
{
    std::string path = std::string(::testing::TempDir()) + "q5_api_sample_" + std::to_string(getpid()) + ".raw";
    ASSERT_TRUE(testmod::writeFile(path, std::vector<uint8_t>(4000, 200)));
    MIDASsample s = MIDASloadRawSample(path.c_str(), 1, 1);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(MIDASopenChannels(4));
    // Explicit channel 2: the service's handle is the channel number.
    MIDASsamplePlayHandle h = MIDASplaySample(s, 2, 0, 8000, 64, 0);
    EXPECT_EQ(h, 3u);
    EXPECT_EQ(MIDASgetSamplePlayStatus(h), 1);
    EXPECT_TRUE(MIDASsetSampleVolume(h, 32));
    EXPECT_TRUE(MIDASstopSample(h));
    EXPECT_EQ(MIDASgetSamplePlayStatus(h), 0);
    EXPECT_TRUE(MIDASfreeSample(s));
    mLastError = 0;
    EXPECT_EQ(MIDASloadRawSample("/nonexistent/q5/sample.raw", 1, 0), 0u);
    EXPECT_NE(MIDASgetLastError(), 0);
}

TEST_F(ApiExtras, StreamWithEveryChannelTakenFails)
{
    ASSERT_TRUE(MIDASopenChannels(1));
    ASSERT_EQ(MIDASallocateChannel(), 0u);
    mLastError = 0;
    EXPECT_EQ(MIDASplayStreamPolling(2, 22050, 500), nullptr);
    EXPECT_EQ(MIDASgetLastError(), errOutOfChannels);
    // With a channel free the stream starts, and stopping gives it back.
    ASSERT_TRUE(MIDASfreeChannel(0));
    MIDASstreamHandle st = MIDASplayStreamPolling(2, 22050, 500);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(MIDASallocateChannel(), 0xFFFFu);
    std::vector<unsigned char> data(1000, 0);
    EXPECT_EQ(MIDASfeedStreamData(st, data.data(), 1000, 0), 1000u);
    EXPECT_GE(MIDASgetStreamBytesBuffered(st), 1000u);
    EXPECT_TRUE(MIDASstopStream(st));
    EXPECT_EQ(MIDASallocateChannel(), 0u);
}

TEST_F(ApiExtras, FirstEchoStartsTheServiceAndTheLastClosesIt)
{
    MIDASecho taps[1] = {{100u << 16, 1 << 15, 0, 0}};
    MIDASechoSet set = {1 << 14, 1 << 16, 1, taps};
    EXPECT_TRUE(MIDASremoveEchoEffect(nullptr));  // none yet: nothing to do
    MIDASechoHandle a = MIDASaddEchoEffect(&set);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(mEchoInitialized, 1);
    MIDASechoHandle b = MIDASaddEchoEffect(&set);
    ASSERT_NE(b, nullptr);
    pollAfter(40);  // the effects run on the mixing buffer
    EXPECT_TRUE(MIDASremoveEchoEffect(a));
    EXPECT_EQ(mEchoInitialized, 1);
    EXPECT_TRUE(MIDASremoveEchoEffect(b));
    EXPECT_EQ(mEchoInitialized, 0);
}

TEST_F(ApiExtras, PostProcessorSeesEveryMixedFrame)
{
    int userCalls = 0;
    MIDASpostProcessor pp = {nullptr, nullptr, nullptr, countFrames, countFrames,
                             countFrames, countFrames};
    postProcCalls = 0;
    postProcFrames = 0;
    ASSERT_TRUE(MIDASaddPostProcessor(&pp, MIDAS_POST_PROC_FIRST, &userCalls));
    pollAfter(100);  // 400 frames at 4000 Hz
    EXPECT_EQ(postProcFrames, 400u);
    EXPECT_EQ(userCalls, postProcCalls);
    ASSERT_TRUE(MIDASremovePostProcessor(&pp));
    pollAfter(100);
    EXPECT_EQ(postProcFrames, 400u);
}
