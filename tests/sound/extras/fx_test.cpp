// Sample effects on the software mixer: loading, the automatic pool taken in
// turn, play handles, superseded handles, play status.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "sound/api/errors.h"
#include "sound/extras/midasfx.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/dsmnsnd.h"
#include "wave_builder.h"

namespace {

std::string tempFile(const char *tag)
{
    return std::string(::testing::TempDir()) + "q5_fx_" + tag + "_" + std::to_string(getpid());
}

// A mixer with four channels behind the silent device's record.
class FxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(dsmInit(22050, dsmModeMono | dsmMode16bit | dsmModeInteger, MixOptions{}), errOK);
        ASSERT_EQ(dsmOpenChannels(4), errOK);
        ASSERT_EQ(fxInit(&MixNoSound), errOK);
        rawPath = tempFile("raw");
        std::vector<uint8_t> data(400);
        for (size_t i = 0; i < data.size(); i++)
            data[i] = static_cast<uint8_t>(i);
        ASSERT_TRUE(wavetest::writeFile(rawPath, data));
    }
    void TearDown() override
    {
        EXPECT_EQ(fxClose(), errOK);
        dsmCloseChannels();
        dsmClose();
        unlink(rawPath.c_str());
    }
    bool playing(unsigned ch) { return dsmChannels[ch].status >= dsmChPlaying; }
    std::string rawPath;
};

}  // namespace

TEST_F(FxTest, LoopingRawSixteenBitSampleLoopsOverAllItsFrames)
{
    unsigned looped = 0, plain = 0;
    ASSERT_EQ(fxLoadRawSample(rawPath.c_str(), smp16bitMono, 1, &looped), errOK);
    ASSERT_EQ(fxLoadRawSample(rawPath.c_str(), smp8bitMono, 0, &plain), errOK);
    const MixSample &a = dsmSamples[looped - 1];
    EXPECT_EQ(a.length, 200u);  // 400 bytes of 16-bit data
    EXPECT_EQ(a.loop1Start, 0u);
    EXPECT_EQ(a.loop1End, 200u);
    EXPECT_EQ(a.loop1Type, loopUnidir);
    EXPECT_EQ(a.loopMode, sdLoop1);
    const MixSample &b = dsmSamples[plain - 1];
    EXPECT_EQ(b.length, 400u);
    EXPECT_EQ(b.loop1Type, loopNone);
    // The mixer owns a copy of the bytes.
    EXPECT_EQ(static_cast<const uint8_t *>(b.sample)[399], 399 & 0xFF);
    EXPECT_EQ(fxFreeSample(plain), errOK);
    EXPECT_EQ(dsmSamples[plain - 1].inUse, 0);
}

TEST_F(FxTest, LoadFailuresReturnTheirCodes)
{
    unsigned h = 0;
    EXPECT_EQ(fxLoadRawSample("/nonexistent/q5/x.raw", smp8bitMono, 0, &h), errFileNotFound);
    EXPECT_EQ(fxLoadRawSample(rawPath.c_str(), smpAdpcmMono, 0, &h), errInvalidSampleType);
    EXPECT_EQ(fxLoadRawSample(rawPath.c_str(), 9, 0, &h), errInvalidSampleType);
    EXPECT_EQ(fxLoadWaveSample(rawPath.c_str(), 0, &h), errBadWave);
    std::string empty = tempFile("empty");
    ASSERT_TRUE(wavetest::writeFile(empty, {}));
    EXPECT_NE(fxLoadRawSample(empty.c_str(), smp8bitMono, 0, &h), errOK);
    unlink(empty.c_str());
    EXPECT_EQ(h, 0u);
}

TEST_F(FxTest, WaveSampleTakesTheFilesTypeAndData)
{
    std::string path = tempFile("wav");
    std::vector<uint8_t> data = {1, 0, 2, 0, 3, 0, 4, 0};
    ASSERT_TRUE(wavetest::writeFile(path, wavetest::pcm(2, 11025, 16, data)));
    unsigned h = 0;
    ASSERT_EQ(fxLoadWaveSample(path.c_str(), 1, &h), errOK);
    const MixSample &s = dsmSamples[h - 1];
    EXPECT_EQ(s.origSampleType, smp16bitStereo);
    EXPECT_EQ(s.length, 2u);
    EXPECT_EQ(s.loop1End, 2u);
    unlink(path.c_str());
}

TEST_F(FxTest, AutomaticPlaysTakeThePoolInTurn)
{
    unsigned h = 0;
    ASSERT_EQ(fxLoadRawSample(rawPath.c_str(), smp8bitMono, 1, &h), errOK);
    unsigned play = 0;
    EXPECT_EQ(fxPlaySample(fxAutoChannel, h, 0, 22050, 64, 0, &play), errNoChannels);

    const unsigned pool[] = {1, 3};
    ASSERT_EQ(fxSetAutoChannels(2, pool), errOK);
    unsigned p1, p2, p3;
    ASSERT_EQ(fxPlaySample(fxAutoChannel, h, 5, 22050, 64, 0, &p1), errOK);
    ASSERT_EQ(fxPlaySample(fxAutoChannel, h, 1, 22050, 64, 0, &p2), errOK);
    EXPECT_EQ(p1, 256u);
    EXPECT_EQ(p2, 257u);
    EXPECT_TRUE(playing(1));
    EXPECT_TRUE(playing(3));
    // The third play takes channel 1 again, whatever its priority.
    ASSERT_EQ(fxPlaySample(fxAutoChannel, h, 0, 11025, 64, 0, &p3), errOK);
    EXPECT_EQ(p3, 258u);
    unsigned ch = 99;
    EXPECT_EQ(FindChannel(p3, &ch), 1);
    EXPECT_EQ(ch, 1u);
    EXPECT_EQ(FindChannel(p1, &ch), 0);
    EXPECT_EQ(dsmChannels[1].rate, 11025u);

    // The superseded handle reaches nothing.
    EXPECT_EQ(fxStopSample(p1), errOK);
    EXPECT_EQ(fxSetSampleRate(p1, 8000), errOK);
    EXPECT_TRUE(playing(1));
    EXPECT_EQ(dsmChannels[1].rate, 11025u);
    int status = -1;
    EXPECT_EQ(fxGetSamplePlayStatus(p1, &status), errOK);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fxGetSamplePlayStatus(p3, &status), errOK);
    EXPECT_EQ(status, 1);

    // Live handles do reach their channels.
    EXPECT_EQ(fxSetSampleVolume(p2, 10), errOK);
    EXPECT_EQ(dsmChannels[3].volume, 10u);
    EXPECT_EQ(fxSetSamplePanning(p2, -20), errOK);
    EXPECT_EQ(dsmChannels[3].panning, -20);
    EXPECT_EQ(fxStopSample(p2), errOK);
    EXPECT_FALSE(playing(3));

    // A new pool stops the old channels and restarts the handles at 256.
    const unsigned pool2[] = {2};
    ASSERT_EQ(fxSetAutoChannels(1, pool2), errOK);
    EXPECT_FALSE(playing(1));
    ASSERT_EQ(fxPlaySample(fxAutoChannel, h, 0, 22050, 64, 0, &play), errOK);
    EXPECT_EQ(play, 256u);
    EXPECT_TRUE(playing(2));
}

TEST_F(FxTest, ExplicitChannelIsItsOwnHandle)
{
    unsigned h = 0, play = 0;
    ASSERT_EQ(fxLoadRawSample(rawPath.c_str(), smp8bitMono, 0, &h), errOK);
    ASSERT_EQ(fxPlaySample(2, h, 0, 22050, 40, 64, &play), errOK);
    EXPECT_EQ(play, 2u);
    EXPECT_EQ(dsmChannels[2].volume, 40u);
    EXPECT_EQ(dsmChannels[2].panning, 64);
    EXPECT_EQ(fxPlaySample(300, h, 0, 22050, 40, 0, &play), errInvalidChanNumber);
    EXPECT_EQ(fxPlaySample(7, h, 0, 22050, 40, 0, &play), errInvalidChanNumber);  // device's check
    EXPECT_EQ(fxPlaySample(1, 999, 0, 22050, 40, 0, &play), errInvalidSampleHandle);

    // A one-shot sample stops playing at its end.
    int status = 0;
    ASSERT_EQ(fxGetSamplePlayStatus(2, &status), errOK);
    EXPECT_EQ(status, 1);
    std::vector<int16_t> out(1000);
    dsmMixData(1000, out.data());  // 400 frames of data at the mixing rate
    ASSERT_EQ(fxGetSamplePlayStatus(2, &status), errOK);
    EXPECT_EQ(status, 0);
}

TEST_F(FxTest, PlayHandlesWrapFrom65534To256)
{
    unsigned h = 0;
    ASSERT_EQ(fxLoadRawSample(rawPath.c_str(), smp8bitMono, 1, &h), errOK);
    const unsigned pool[] = {0, 1, 2};
    ASSERT_EQ(fxSetAutoChannels(3, pool), errOK);
    unsigned play = 0, expect = 256;
    for (unsigned i = 0; i < 65279 + 3; i++) {
        ASSERT_EQ(fxPlaySample(fxAutoChannel, h, 0, 22050, 64, 0, &play), errOK);
        ASSERT_EQ(play, expect) << "play " << i;
        ASSERT_NE(play, 0xFFFFu);
        expect = expect == 65534 ? 256 : expect + 1;
    }
    EXPECT_EQ(play, 258u);
}
