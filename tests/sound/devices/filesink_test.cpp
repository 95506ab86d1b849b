// The file-sink device: one tick of output per Play, as fast as it can.
#include <gtest/gtest.h>

#include <vector>

#include "platform/audio/filesink.h"
#include "sound/api/errors.h"
#include "sound/mixer/dsm.h"

namespace {

class FileSinkDevice : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(fsClose(), errOK);
        fsSetSink(nullptr);
        fsSetMixingMode(0);
    }
};

}  // namespace

TEST_F(FileSinkDevice, EveryPlayRendersExactlyOneTick)
{
    std::vector<uint8_t> out;
    MemorySink sink(&out);
    fsSetSink(&sink);
    ASSERT_EQ(fsInit(44100, 0), errOK);
    EXPECT_EQ(FileSink.playOncePerPoll, 1u);
    unsigned mode = 0;
    fsGetMode(&mode);
    EXPECT_EQ(mode, unsigned(sdStereo | sd16bit));
    int callPlayer = 0;
    ASSERT_EQ(fsPlay(&callPlayer), errOK);
    EXPECT_EQ(callPlayer, 1);
    EXPECT_EQ(out.size(), 882u * 4);
    // A slow tempo: ticks longer than one mixing chunk are still whole;
    // 3445.3125 frames a tick: 3445 three times, then the carried
    // fractions add up to one more frame.
    ASSERT_EQ(fsSetUpdRate(1280), errOK);
    for (int i = 0; i < 4; i++)
        ASSERT_EQ(fsPlay(&callPlayer), errOK);
    EXPECT_EQ(fsFramesMixed(), 882u + 3u * 3445u + 3446u);
    EXPECT_EQ(out.size(), fsFramesMixed() * 4);
    EXPECT_FALSE(fsWriteFailed());
    // Nothing plays: silence.
    for (uint8_t b : out)
        ASSERT_EQ(b, 0);
}

TEST_F(FileSinkDevice, MonoEightBitAndMixingChoice)
{
    std::vector<uint8_t> out;
    MemorySink sink(&out);
    fsSetSink(&sink);
    fsSetMixingMode(dsmModeInteger);
    ASSERT_EQ(fsInit(8000, sdMono | sd8bit), errOK);
    EXPECT_EQ(dsmMode & (dsmModeInteger | dsmModeMono | dsmMode8bit),
              unsigned(dsmModeInteger | dsmModeMono | dsmMode8bit));
    int callPlayer = 0;
    fsPlay(&callPlayer);
    EXPECT_EQ(out.size(), 160u);  // 8000 Hz / 50, one byte a frame
    for (uint8_t b : out)
        ASSERT_EQ(b, 128);  // unsigned silence
}

TEST_F(FileSinkDevice, ZeroUpdateRateIsRefused)
{
    ASSERT_EQ(fsInit(44100, 0), errOK);
    EXPECT_EQ(fsSetUpdRate(0), errInvalidArguments);
}
