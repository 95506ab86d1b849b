// Mixer core: start-up, channels, volumes, samples, streams, bad input.
#include <cstring>

#include "mixer_support.h"
#include "sound/api/errors.h"

using MixerInit = MixerTest;

TEST_F(MixerInit, StereoSixteenBitOnPlainCpuIsIntegerWithBufferOf8832)
{
    start(44100, 0x12, 4);
    EXPECT_TRUE(dsmMode & dsmModeInteger);
    EXPECT_FALSE(dsmMode & dsmModeFloat);
    EXPECT_EQ(dsmMixBufferSize, 8832u);
    EXPECT_EQ(dsmActMixRoutines, dsmMixStereoInteger);
    EXPECT_EQ(dsmAllocatedChannels, 4u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(dsmMixBuffer) % 1024, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(dsmVolumeTable) % 1024, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(dsmUlawVolumeTable) % 1024, 0u);
}

TEST_F(MixerInit, InterpolationChoosesFloatAndDoublesChannelRecords)
{
    start(44100, 0x92, 4);
    EXPECT_TRUE(dsmMode & dsmModeFloat);
    EXPECT_TRUE(dsmMode & dsmModeInterp);
    EXPECT_EQ(dsmActMixRoutines, dsmMixStereoFloatInterp);
    EXPECT_EQ(dsmNumChannels, 4u);
    EXPECT_EQ(dsmAllocatedChannels, 8u);
    EXPECT_EQ(dsmAutoFilterType, 0);
    EXPECT_EQ(dsmByteFloatTable[0], -32768.0f);
    EXPECT_EQ(dsmByteFloatTable[255], 32512.0f);
    EXPECT_EQ(dsmUlawFloatTable[0x80], 32124.0f);
}

TEST_F(MixerInit, ProcessorAndPreferenceChooseFloat)
{
    dsmCpuIsPPro = cpuPPro;
    start(22050, 0x05, 0);
    EXPECT_TRUE(dsmMode & dsmModeFloat);
    EXPECT_EQ(dsmActMixRoutines, dsmMixMonoFloat);
    EXPECT_EQ(dsmMixBufferSize, 2208u);  // 2205 rounded up to 16
    dsmClose();
    dsmCpuIsPPro = cpuNotPPro;
    options.preferredMixingMode = 2;
    ASSERT_EQ(dsmInit(44100, 0x04, options), 0);
    EXPECT_TRUE(dsmMode & dsmModeFloat);
    EXPECT_TRUE(dsmMode & dsmMode16bit);  // 16-bit when neither is asked for
    EXPECT_EQ(dsmAutoFilterType, 1);
}

TEST_F(MixerInit, AmplificationFollowsChannelCountAndBuildsTables)
{
    start(44100, 0x52, 4);
    unsigned a = 0;
    dsmGetAmplification(&a);
    EXPECT_EQ(a, 64u);
    // Level 32, byte 255: ((64 x 32 x 127) / 64 x 8) / 4.
    EXPECT_EQ(dsmVolumeTable[32 * 256 + 255], 8128);
    EXPECT_EQ(dsmVolumeTable[32 * 256 + 0], -8192);
    EXPECT_EQ(dsmVolumeTable[0 * 256 + 0], 0);
    EXPECT_EQ(dsmUlawVolumeTable[32 * 256 + 0x80], 32124 / 4);
    ASSERT_EQ(dsmCloseChannels(), 0);
    ASSERT_EQ(dsmOpenChannels(8), 0);
    dsmGetAmplification(&a);
    EXPECT_EQ(a, 112u);
    EXPECT_EQ(dsmVolumeTable[32 * 256 + 255], (112 * 32 * 127 / 64 * 8) / 8);
}

using MixerChannels = MixerTest;

TEST_F(MixerChannels, VolumeRuleAppliesPanningMuteAndMaster)
{
    start(44100, 0x52, 2);
    MixChannel *c = &dsmChannels[0];
    dsmSetVolume(0, 64);
    EXPECT_EQ(c->leftVol, 0x400000);
    EXPECT_EQ(c->rightVol, 0x400000);
    dsmSetPanning(0, -32);
    EXPECT_EQ(c->leftVol, 0x400000);
    EXPECT_EQ(c->rightVol, 64 * 32 * 64 * 16);
    dsmSetPanning(0, 16);
    EXPECT_EQ(c->leftVol, 64 * 48 * 64 * 16);
    EXPECT_EQ(c->rightVol, 0x400000);
    dsmSetPanning(0, panSurround);
    EXPECT_EQ(c->leftVol, 0x400000);
    EXPECT_EQ(c->rightVol, 0x400000);
    dsmSetMasterVolume(32);
    EXPECT_EQ(c->leftVol, 0x200000);
    dsmMuteChannel(0, 1);
    EXPECT_EQ(c->leftVol, 0);
    dsmMuteChannel(0, 0);
    dsmMute(1);
    EXPECT_EQ(c->rightVol, 0);
    dsmMute(0);
    EXPECT_EQ(c->rightVol, 0x200000);
}

TEST_F(MixerChannels, RampingMovesTwoPerFrameTowardTheTarget)
{
    start(44100, 0x92, 1);
    static uint8_t data[4000];
    std::memset(data, 200, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 0, 4000, loopUnidir);
    ASSERT_EQ(dsmSetSample(0, h), 0);
    ASSERT_EQ(dsmPlaySound(0, 44100), 0);
    dsmSetVolume(0, 64);
    MixChannel *c = &dsmChannels[0];
    EXPECT_EQ(c->leftVol, 0);
    EXPECT_EQ(c->leftVolTarget, 0x400000);
    EXPECT_TRUE(c->ramping);
    mix16(10);
    EXPECT_EQ(c->leftVol, 10 * 0x20000);
    mix16(22);
    EXPECT_EQ(c->leftVol, 0x400000);
    EXPECT_FALSE(c->ramping);
}

TEST_F(MixerChannels, RestartFadesTheOldSoundOnTheShadowUntilSilent)
{
    start(44100, 0x92, 2);
    static uint8_t data[4000];
    std::memset(data, 200, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 0, 4000, loopUnidir);
    play(0, h, 44100);
    mix16(100);  // ramped up
    ASSERT_EQ(dsmChannels[0].leftVol, 0x400000);
    ASSERT_EQ(dsmPlaySound(0, 44100), 0);
    MixChannel *shadow = &dsmChannels[2];
    EXPECT_EQ(shadow->status, dsmChFading);
    EXPECT_EQ(shadow->leftVol, 0x400000);
    EXPECT_EQ(dsmChannels[0].leftVol, 0);
    mix16(31);
    EXPECT_EQ(shadow->status, dsmChFading);
    mix16(2);  // the 32nd frame reaches 0; silence stops the shadow
    EXPECT_EQ(shadow->status, dsmChStopped);
    EXPECT_FALSE(shadow->ramping);
}

TEST_F(MixerChannels, PositionRateAndDirection)
{
    start(44100, 0x52, 1);
    static int16_t data[100];
    unsigned h = addSample(data, sizeof data, smp16bitMono, sdLoopNone);
    unsigned rate = 1;
    ASSERT_EQ(dsmGetRate(0, &rate), 0);
    EXPECT_EQ(rate, 0u);  // not playing
    play(0, h, 44100);
    dsmGetRate(0, &rate);
    EXPECT_EQ(rate, 44100u);
    ASSERT_EQ(dsmSetPosition(0, 40), 0);  // bytes
    unsigned pos = 0;
    dsmGetPosition(0, &pos);
    EXPECT_EQ(pos, 40u);
    EXPECT_EQ(dsmChannels[0].playPos, 20u);  // frames; the sample became mu-law
    EXPECT_EQ(dsmChannels[0].sampleType, smpUlawMono);
    mix16(10);
    dsmGetPosition(0, &pos);
    EXPECT_EQ(pos, 60u);
    // Past the end of a sample without a loop: ended, nothing more.
    ASSERT_EQ(dsmSetPosition(0, 500), 0);
    EXPECT_EQ(dsmChannels[0].status, dsmChEnded);
    int dir = 0;
    dsmGetDirection(0, &dir);
    EXPECT_EQ(dir, 1);
}

using MixerBadInput = MixerTest;

TEST_F(MixerBadInput, ChannelNumbersOutOfRangeGiveTheirCode)
{
    start(44100, 0x52, 4);
    unsigned u;
    int i;
    EXPECT_EQ(dsmPlaySound(4, 44100), errInvalidChanNumber);
    EXPECT_EQ(dsmStopSound(4), errInvalidChanNumber);
    EXPECT_EQ(dsmReleaseSound(1000), errInvalidChanNumber);
    EXPECT_EQ(dsmSetRate(4, 1), errInvalidChanNumber);
    EXPECT_EQ(dsmGetRate(4, &u), errInvalidChanNumber);
    EXPECT_EQ(dsmSetVolume(4, 1), errInvalidChanNumber);
    EXPECT_EQ(dsmGetVolume(0xFFFFFFFFu, &u), errInvalidChanNumber);
    EXPECT_EQ(dsmSetSample(4, 1), errInvalidChanNumber);
    EXPECT_EQ(dsmGetSample(4, &u), errInvalidChanNumber);
    EXPECT_EQ(dsmSetPosition(4, 0), errInvalidChanNumber);
    EXPECT_EQ(dsmGetPosition(4, &u), errInvalidChanNumber);
    EXPECT_EQ(dsmGetDirection(4, &i), errInvalidChanNumber);
    EXPECT_EQ(dsmSetPanning(4, 0), errInvalidChanNumber);
    EXPECT_EQ(dsmGetPanning(4, &i), errInvalidChanNumber);
    EXPECT_EQ(dsmMuteChannel(4, 1), errInvalidChanNumber);
    EXPECT_EQ(dsmStartStream(4, nullptr, 0, smp8bitMono, 1), errInvalidChanNumber);
    EXPECT_EQ(dsmStopStream(4), errInvalidChanNumber);
    EXPECT_EQ(dsmSetLoopCallback(4, nullptr), errInvalidChanNumber);
    EXPECT_EQ(dsmSetStreamWritePosition(4, 0), errInvalidChanNumber);
    EXPECT_EQ(dsmPauseStream(4, 1), errInvalidChanNumber);
    ASSERT_EQ(dsmCloseChannels(), 0);
    EXPECT_EQ(dsmPlaySound(0, 44100), errInvalidChanNumber);  // none open
    EXPECT_EQ(dsmCloseChannels(), errNoChannels);
    EXPECT_EQ(dsmClearChannels(), errNoChannels);
}

TEST_F(MixerBadInput, HandlesOutOfRangeOrFreeGiveTheirCode)
{
    start(44100, 0x52, 1);
    EXPECT_EQ(dsmRemoveSample(0), errInvalidSampleHandle);
    EXPECT_EQ(dsmRemoveSample(1), errInvalidSampleHandle);  // free
    EXPECT_EQ(dsmRemoveSample(1025), errInvalidSampleHandle);
    EXPECT_EQ(dsmSetSample(0, 0), errInvalidSampleHandle);
    EXPECT_EQ(dsmSetSample(0, 1024), errInvalidSampleHandle);
    EXPECT_EQ(dsmSetSample(0, 7), errInvalidSampleHandle);
    uint8_t b = 128;
    unsigned h = addSample(&b, 1, smp8bitMono);
    EXPECT_EQ(h, 1u);
    EXPECT_EQ(dsmRemoveSample(h), 0);
    EXPECT_EQ(dsmRemoveSample(h), errInvalidSampleHandle);
}

TEST_F(MixerBadInput, SampleTableFillsAndHandle1024StaysForStreams)
{
    start(44100, 0x52, 1);
    SoundDeviceSample s{};  // no data at all
    unsigned h = 0, last = 0;
    int error = 0;
    unsigned count = 0;
    while ((error = dsmAddSample(&s, 1, &h)) == 0) {
        last = h;
        count++;
    }
    EXPECT_EQ(error, errNoSampleHandles);
    EXPECT_EQ(count, 1023u);
    EXPECT_EQ(last, 1023u);
    EXPECT_EQ(dsmRemoveSample(500), 0);
    EXPECT_EQ(dsmAddSample(&s, 1, &h), 0);
    EXPECT_EQ(h, 500u);  // the lowest free slot
}

TEST_F(MixerBadInput, SampleWithoutDataGetsAHandleAndNeverSounds)
{
    start(44100, 0x52, 2);
    uint8_t data[16];
    std::memset(data, 255, sizeof data);
    SoundDeviceSample variants[4] = {};
    for (auto &v : variants) {
        v.sample = data;
        v.location = 1;
        v.sampleType = smp8bitMono;
        v.length = sizeof data;
    }
    variants[0].sample = nullptr;
    variants[1].location = 0;
    variants[2].length = 0;
    variants[3].sampleType = 99;  // unknown type
    for (auto &v : variants) {
        unsigned h = 0;
        ASSERT_EQ(dsmAddSample(&v, 1, &h), 0);
        EXPECT_GE(h, 1u);
        EXPECT_EQ(dsmSamples[h - 1].sampleType, smpNone);
        play(0, h, 44100);
        for (int16_t x : mix16(64))
            EXPECT_EQ(x, 0);
    }
}

TEST_F(MixerBadInput, ZeroMixingRateAndZeroChannelsAreRefused)
{
    EXPECT_EQ(dsmInit(0, 0x12, options), errInvalidArguments);
    start(44100, 0x52, 0);
    EXPECT_EQ(dsmOpenChannels(0), errInvalidArguments);
    EXPECT_EQ(dsmNumChannels, 0u);
    std::vector<int16_t> out(200);
    EXPECT_EQ(dsmMixData(100, out.data()), 0);  // no channels: silence
    for (int16_t v : out)
        EXPECT_EQ(v, 0);
}

TEST_F(MixerBadInput, ZeroRateAndUnmixableTypesStaySilent)
{
    start(44100, 0x52, 2);
    uint8_t data[64];
    std::memset(data, 255, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono);
    play(0, h, 0);
    EXPECT_EQ(dsmChannels[0].status, dsmChEnded);  // no rate: not started
    for (int16_t x : mix16(64))
        EXPECT_EQ(x, 0);
    // ADPCM data has no routine; a channel given it ends without a sound.
    unsigned adpcm = addSample(data, sizeof data, smpAdpcmMono);
    play(1, adpcm, 44100);
    for (int16_t x : mix16(64))
        EXPECT_EQ(x, 0);
    EXPECT_EQ(dsmChannels[1].status, dsmChEnded);
    EXPECT_EQ(dsmStartStream(1, data, sizeof data, smpAdpcmStereo, 44100), errInvalidSampleType);
}

TEST_F(MixerBadInput, LoopsPastTheDataAreCutBack)
{
    start(44100, 0x52, 1);
    uint8_t data[32];
    std::memset(data, 128, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 8, 4000, loopUnidir);
    EXPECT_EQ(dsmSamples[h - 1].loop1End, 32u);
    EXPECT_EQ(dsmSamples[h - 1].loop1Type, loopUnidir);
    unsigned h2 = addSample(data, sizeof data, smp8bitMono, sdLoop1, 40, 4000, loopUnidir);
    EXPECT_EQ(dsmSamples[h2 - 1].loop1Type, loopNone);
    unsigned h3 = addSample(data, sizeof data, smp8bitMono, sdLoop1, 8, 8, loopBidir);
    EXPECT_EQ(dsmSamples[h3 - 1].loop1Type, loopNone);  // start = end: no loop
    play(0, h, 3 * 44100);
    mix16(1000);
    EXPECT_LT(dsmChannels[0].playPos, 32u);
}

TEST_F(MixerBadInput, SixteenBitSamplesBecomeMuLawOnlyInIntegerMode)
{
    start(44100, 0x52, 1);
    int16_t data[8] = {0, 1000, -1000, 32767, -32768, 5, 6, 7};
    unsigned h = addSample(data, sizeof data, smp16bitStereo);
    EXPECT_EQ(dsmSamples[h - 1].sampleType, smpUlawStereo);
    EXPECT_EQ(dsmSamples[h - 1].origSampleType, smp16bitStereo);
    EXPECT_EQ(dsmSamples[h - 1].length, 4u);
    EXPECT_EQ(static_cast<uint8_t *>(dsmSamples[h - 1].sample)[0], 0xFF);
    options.ulawAutoConvert = 0;
    dsmClose();
    started = false;
    start(44100, 0x52, 1);
    h = addSample(data, sizeof data, smp16bitStereo);
    EXPECT_EQ(dsmSamples[h - 1].sampleType, smp16bitStereo);
}

using MixerStreams = MixerTest;

TEST_F(MixerStreams, NeverPlaysPastTheWritePositionAndResumes)
{
    options.outputFilterMode = 0;
    start(44100, 0x52, 1);
    std::vector<uint8_t> buf(100, 200);
    ASSERT_EQ(dsmStartStream(0, buf.data(), 100, smp8bitMono, 44100), 0);
    dsmSetVolume(0, 64);
    EXPECT_EQ(dsmChannels[0].sampleHandle, unsigned(dsmStreamHandle));
    std::vector<int16_t> out = mix16(10);
    EXPECT_EQ(out[0], 0);  // write position 0: waits
    unsigned pos = 1;
    dsmGetPosition(0, &pos);
    EXPECT_EQ(pos, 0u);
    dsmSetStreamWritePosition(0, 30);
    out = mix16(50);
    dsmGetPosition(0, &pos);
    EXPECT_EQ(pos, 30u);
    EXPECT_NE(out[2 * 29], 0);
    EXPECT_EQ(out[2 * 30], 0);
    dsmSetStreamWritePosition(0, 100);  // the whole buffer: waits at its end
    mix16(80);
    dsmGetPosition(0, &pos);
    EXPECT_EQ(pos, 100u);
    dsmSetStreamWritePosition(0, 10);  // the writer wrapped: so does the reader
    mix16(80);
    dsmGetPosition(0, &pos);
    EXPECT_EQ(pos, 10u);
    dsmPauseStream(0, 1);
    EXPECT_EQ(dsmChannels[0].status, dsmChStopped);
    dsmPauseStream(0, 0);
    EXPECT_EQ(dsmChannels[0].status, dsmChPlaying);
}

static int postCalls;
static std::vector<unsigned> passFrames;
static int recordPass(void *, unsigned frames, void *user)
{
    postCalls++;
    passFrames.push_back(frames);
    EXPECT_EQ(user, &postCalls);
    return 0;
}

TEST_F(MixerStreams, PostProcessorRingOrderAndPasses)
{
    start(44100, 0x52, 1);
    PostProcessor pp{};
    pp.intStereo = recordPass;
    passFrames.clear();
    ASSERT_EQ(dsmAddPostProcessor(&pp, 0, &postCalls), 0);
    EXPECT_EQ(dsmPostProcList->next, &pp);
    EXPECT_EQ(dsmPostProcList->prev, &dsmFilters);
    std::vector<int16_t> out(6000);
    ASSERT_EQ(dsmMixData(3000, out.data()), 0);
    EXPECT_EQ(passFrames, (std::vector<unsigned>{1104, 1104, 792}));
    dsmRemovePostProcessor(&pp);
    passFrames.clear();
    dsmMixData(100, out.data());
    EXPECT_TRUE(passFrames.empty());
}
