// Buffer mixing: loops, events, interpolation ends, conversion, filters.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "mixer_support.h"

using MixerLoops = MixerTest;

// Reference walk of a bidirectional loop in 16.16, one output frame at a
// time: reflect at the end to 2 x end - p - 1/65536, at the start to
// 2 x start - p - 1/65536.
struct BidiModel {
    int64_t p, start, end, step;
    int dir = 1;
    void frame()
    {
        p += dir * step;
        if (dir > 0 && p >= end << 16) {
            p = 2 * (end << 16) - p - 1;
            dir = -1;
        } else if (dir < 0 && p <= start << 16) {
            p = 2 * (start << 16) - p - 1;
            dir = 1;
        }
    }
};

static void checkBidiWalk(MixerTest *t, unsigned mode, unsigned rate, int64_t step)
{
    t->start(44100, mode, 1);
    static uint8_t data[120];
    for (unsigned i = 0; i < sizeof data; i++)
        data[i] = static_cast<uint8_t>(i * 2);
    unsigned h = t->addSample(data, sizeof data, smp8bitMono, sdLoop1, 20, 45, loopBidir);
    t->play(0, h, rate);
    BidiModel m{0, 20, 45, step};
    // Uneven pieces, so that segments end at every kind of place.
    const unsigned pieces[] = {1, 7, 64, 3, 500, 13, 1104, 2000, 9};
    for (int round = 0; round < 6; round++) {
        for (unsigned n : pieces) {
            t->mix16(n);
            for (unsigned i = 0; i < n; i++)
                m.frame();
            const MixChannel *c = &dsmChannels[0];
            const int64_t got = (static_cast<int64_t>(c->playPos) << 16) | c->playPosLow;
            ASSERT_EQ(got, m.p) << "after piece " << n << " of round " << round;
            ASSERT_EQ(c->direction, m.dir);
            if (round > 0) {  // the walk starts at 0, before the loop
                ASSERT_GE(c->playPos, 20u);
                ASSERT_LT(c->playPos, 45u);
            }
        }
    }
}

TEST_F(MixerLoops, BidirectionalLoopReflectsWithoutDrift)
{
    // 66150 Hz at 44100: step 1.5 exactly.
    checkBidiWalk(this, 0x52, 66150, 0x18000);
}

TEST_F(MixerLoops, BidirectionalLoopWalkIsTheSameWhenInterpolating)
{
    options.disableVolumeRamping = 1;
    // 30000 Hz at 44100: step 30000 x 65536 / 44100, truncated.
    checkBidiWalk(this, 0x92, 30000, (30000LL << 16) / 44100);
}

static std::vector<unsigned> callbackChannels;
static void loopCallback(unsigned ch)
{
    callbackChannels.push_back(ch);
}

TEST_F(MixerLoops, ForwardLoopWrapsAndCallsBack)
{
    start(44100, 0x52, 2);
    uint8_t data[50];
    std::memset(data, 128, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 10, 30, loopUnidir);
    play(1, h, 44100);
    callbackChannels.clear();
    dsmSetLoopCallback(1, loopCallback);
    mix16(35);  // 30 to the end, 5 more from the loop start
    EXPECT_EQ(dsmChannels[1].playPos, 15u);
    EXPECT_EQ(callbackChannels, std::vector<unsigned>{1});
    mix16(40);  // two more loop ends
    EXPECT_EQ(dsmChannels[1].playPos, 15u);
    EXPECT_EQ(callbackChannels.size(), 3u);
}

TEST_F(MixerLoops, LoopShorterThanOneStepParksAtTheStart)
{
    start(44100, 0x52, 1);
    uint8_t data[20];
    std::memset(data, 128, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 5, 6, loopUnidir);
    play(0, h, 3 * 44100);  // 3 frames per output frame, loop of 1
    mix16(2);  // 0 -> 3 -> 6: wraps once to 5, then the frame at 5 -> 8: 7 still past
    EXPECT_EQ(dsmChannels[0].playPos, 5u);
    EXPECT_EQ(dsmChannels[0].status, dsmChPlaying);
    mix16(500);  // never leaves the loop, never hangs
    EXPECT_EQ(dsmChannels[0].playPos, 5u);
}

TEST_F(MixerLoops, ReleaseMovesOnToTheSecondLoop)
{
    start(44100, 0x52, 1);
    uint8_t data[100];
    std::memset(data, 128, sizeof data);
    SoundDeviceSample s{};
    s.sample = data;
    s.location = 1;
    s.sampleType = smp8bitMono;
    s.length = 100;
    s.loopMode = sdLoop1Rel;
    s.loop1Start = 10;
    s.loop1End = 20;
    s.loop1Type = loopUnidir;
    s.loop2Start = 60;
    s.loop2End = 80;
    s.loop2Type = loopUnidir;
    unsigned h = 0;
    ASSERT_EQ(dsmAddSample(&s, 1, &h), 0);
    play(0, h, 44100);
    mix16(45);  // 20 + 10 + 10 + 5: in loop 1
    EXPECT_EQ(dsmChannels[0].playPos, 15u);
    ASSERT_EQ(dsmReleaseSound(0), 0);
    EXPECT_EQ(dsmChannels[0].status, dsmChReleased);
    mix16(5 + 60);  // to 20, then straight on to loop 2's end at 80
    EXPECT_EQ(dsmChannels[0].loopNum, 2);
    EXPECT_EQ(dsmChannels[0].playPos, 60u);
    mix16(30);
    EXPECT_EQ(dsmChannels[0].playPos, 70u);
}

TEST_F(MixerLoops, AmigaChangeTakesTheNewSampleAtTheEnd)
{
    start(44100, 0x52, 1);
    uint8_t a[40], b[30];
    std::memset(a, 128, sizeof a);
    std::memset(b, 255, sizeof b);
    unsigned ha = addSample(a, sizeof a, smp8bitMono, sdLoopAmigaNone);
    unsigned hb = addSample(b, sizeof b, smp8bitMono, sdLoopAmiga, 10, 20, loopUnidir);
    play(0, ha, 44100);
    ASSERT_EQ(dsmSetSample(0, hb), 0);  // pending until a ends
    mix16(20);
    EXPECT_EQ(dsmChannels[0].sample, dsmSamples[ha - 1].sample);
    std::vector<int16_t> out = mix16(25);  // 20 more of a, then b from 10
    EXPECT_EQ(dsmChannels[0].sample, dsmSamples[hb - 1].sample);
    EXPECT_EQ(dsmChannels[0].playPos, 15u);
    EXPECT_EQ(out[2 * 19], 0);
    EXPECT_GT(out[2 * 20], 0);
    // A mode-4 sample taken at the end stops the channel.
    unsigned hc = addSample(a, sizeof a, smp8bitMono, sdLoopAmigaNone);
    ASSERT_EQ(dsmSetSample(0, hc), 0);
    mix16(10);
    EXPECT_EQ(dsmChannels[0].status, dsmChEnded);
    // SetSample of a mode-5 sample on an ended channel restarts it at the loop.
    ASSERT_EQ(dsmSetSample(0, hb), 0);
    EXPECT_EQ(dsmChannels[0].status, dsmChPlaying);
    EXPECT_EQ(dsmChannels[0].playPos, 10u);
}

using MixerInterp = MixerTest;

TEST_F(MixerInterp, LastFrameOfASampleInterpolatesWithItself)
{
    options.disableVolumeRamping = 1;
    options.outputFilterMode = 0;
    start(44100, 0x92, 1);
    // The mixer's own copy is exactly 6 bytes: the sanitizer build catches
    // any read of a seventh.
    const uint8_t data[6] = {128, 128, 128, 128, 128, 228};
    unsigned h = addSample(data, sizeof data, smp8bitMono);
    play(0, h, 44100 / 4);  // a quarter frame per output frame
    std::vector<int16_t> out = mix16(40);
    EXPECT_EQ(dsmChannels[0].status, dsmChEnded);
    // Frames 4..5 ramp up to the last value, then it holds for 4 outputs.
    const int16_t full = out[2 * 20];
    EXPECT_EQ(full, 100 * 256);
    for (int i = 20; i < 24; i++)
        EXPECT_EQ(out[2 * i], full) << i;
    EXPECT_EQ(out[2 * 17], full / 4);
    EXPECT_EQ(out[2 * 24], 0);  // ended
}

TEST_F(MixerInterp, LastFrameOfAForwardLoopInterpolatesTowardTheLoopStart)
{
    options.disableVolumeRamping = 1;
    options.outputFilterMode = 0;
    start(44100, 0x92, 1);
    const uint8_t data[4] = {228, 128, 128, 128};
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 0, 4, loopUnidir);
    play(0, h, 44100 / 2);
    std::vector<int16_t> out = mix16(10);
    // Frame 3.5 lies halfway between the last frame (0) and the loop start (100).
    EXPECT_EQ(out[2 * 7], 50 * 256);
    EXPECT_EQ(out[2 * 8], 100 * 256);
}

TEST_F(MixerInterp, BackwardFromTheLoopEndNeverReadsPastTheData)
{
    options.disableVolumeRamping = 1;
    start(44100, 0x92, 1);
    const int16_t data[8] = {0, 100, 200, 300, 400, 500, 600, 700};
    unsigned h = addSample(data, sizeof data, smp16bitMono, sdLoop1, 4, 16, loopBidir);
    ASSERT_EQ(dsmSetSample(0, h), 0);
    dsmSetVolume(0, 64);
    ASSERT_EQ(dsmPlaySound(0, 44100), 0);
    ASSERT_EQ(dsmSetPosition(0, 16), 0);  // at the loop end: backward from its last frame
    EXPECT_EQ(dsmChannels[0].direction, -1);
    EXPECT_EQ(dsmChannels[0].playPos, 7u);
    for (int i = 0; i < 50; i++)
        mix16(7);
    EXPECT_GE(dsmChannels[0].playPos, 2u);
    EXPECT_LT(dsmChannels[0].playPos, 8u);
}

using MixerOutput = MixerTest;

TEST_F(MixerOutput, ConversionClampsAtBothEnds)
{
    start(44100, 0x51, 1);  // integer, 8-bit
    int32_t *acc = static_cast<int32_t *>(dsmMixBuffer);
    const int32_t in[6] = {32767, -32768, -40000, 0, 255, -1};
    std::memcpy(acc, in, sizeof in);
    uint8_t out8[6];
    dsmConvertInt8(6, out8);
    EXPECT_EQ(out8[0], 255);
    EXPECT_EQ(out8[1], 0);
    EXPECT_EQ(out8[2], 0);
    EXPECT_EQ(out8[3], 128);
    EXPECT_EQ(out8[4], 128);
    EXPECT_EQ(out8[5], 127);
    const int32_t in16[4] = {40000, -40000, 32767, -32768};
    std::memcpy(acc, in16, sizeof in16);
    int16_t out16[5];
    dsmConvertInt16(4, out16);
    EXPECT_EQ(out16[0], 32767);
    EXPECT_EQ(out16[1], -32768);
    EXPECT_EQ(out16[2], 32767);
    EXPECT_EQ(out16[3], -32768);
    float *f = static_cast<float *>(dsmMixBuffer);
    const float fin[5] = {1e12f, -1e12f, 2.5f, -255.9f, 32767.4f};
    std::memcpy(f, fin, sizeof fin);
    dsmConvertFloat16(5, out16);
    EXPECT_EQ(out16[0], 32767);
    EXPECT_EQ(out16[1], -32768);
    EXPECT_EQ(out16[2], 2);  // nearest, ties to even
    EXPECT_EQ(out16[3], -256);
    std::memcpy(f, fin, sizeof fin);
    dsmConvertFloat8(5, out8);
    EXPECT_EQ(out8[0], 255);
    EXPECT_EQ(out8[1], 0);
    EXPECT_EQ(out8[3], 127);  // -255 >> 8 = -1
}

// Float to 16-bit conversion, eight values at a time plus a remainder,
// against clamping and rounding one value at a time: ties (to even), the
// clamp edges, infinities, NaN (0, as the scalar conversion gives) and random
// values of every size, for every count up to 40.
TEST_F(MixerOutput, FloatConversionEqualsClampAndRoundForEveryCount)
{
    start(44100, 0x32, 4);
    std::mt19937 rng(777);
    std::vector<float> in = {0.5f,      1.5f,      2.5f,       -0.5f,     -1.5f,     -2.5f,
                             32766.5f,  32767.5f,  -32767.5f,  -32768.5f, 32768.0f,  -32769.0f,
                             INFINITY,  -INFINITY, std::nanf(""), -0.0f,  1e30f,     -1e30f};
    std::uniform_real_distribution<float> small(-40.0f, 40.0f), big(-70000.0f, 70000.0f);
    while (in.size() < 40)
        in.push_back(in.size() % 2 ? small(rng) : big(rng));
    for (unsigned count = 0; count <= in.size(); count++) {
        std::shuffle(in.begin(), in.end(), rng);
        std::memcpy(dsmMixBuffer, in.data(), in.size() * sizeof(float));
        std::vector<int16_t> out(in.size() + 1, 0x5A5A);
        dsmConvertFloat16(count, out.data());
        for (unsigned i = 0; i < count; i++) {
            const float v = std::clamp(in[i], -32768.0f, 32767.0f);
            EXPECT_EQ(out[i], static_cast<int16_t>(std::lrint(v))) << "value " << in[i];
        }
        EXPECT_EQ(out[count], 0x5A5A) << "count " << count;
    }
}

TEST_F(MixerOutput, MonoEightBitOutputOfAFullScaleSample)
{
    options.outputFilterMode = 0;
    start(44100, 0x45, 1);  // integer, mono, 8-bit
    uint8_t data[64];
    std::memset(data, 255, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 0, 64, loopUnidir);
    play(0, h, 44100);
    std::vector<uint8_t> out(100);
    ASSERT_EQ(dsmMixData(100, out.data()), 0);
    // Table level 32, amplification 64, one channel: 127 x 256 -> 255.
    for (uint8_t v : out)
        EXPECT_EQ(v, 255);
}

TEST_F(MixerOutput, PauseSkipsChannelsButNotPostProcessors)
{
    options.outputFilterMode = 0;
    start(44100, 0x52, 1);
    uint8_t data[64];
    std::memset(data, 255, sizeof data);
    unsigned h = addSample(data, sizeof data, smp8bitMono, sdLoop1, 0, 64, loopUnidir);
    play(0, h, 44100);
    dsmPause(1);
    for (int16_t v : mix16(50))
        EXPECT_EQ(v, 0);
    EXPECT_EQ(dsmChannels[0].playPos, 0u);
    dsmPause(0);
    EXPECT_NE(mix16(1)[0], 0);
}

using MixerFilter = MixerTest;

TEST_F(MixerFilter, FilterTwoOnAnImpulseGivesFourThreeOne)
{
    start(44100, 0x45, 1);
    dsmOutputFilterMode = 2;
    int32_t buf[5] = {8, 0, 0, 0, 0};
    dsmFilterIntMono(buf, 5, nullptr);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(buf[1], 3);
    EXPECT_EQ(buf[2], 1);
    EXPECT_EQ(buf[3], 0);
    float fb[4] = {8, 0, 0, 0};
    dsmFilterFloatMono(fb, 4, nullptr);
    EXPECT_EQ(fb[0], 4.0f);
    EXPECT_EQ(fb[1], 3.0f);
    EXPECT_EQ(fb[2], 1.0f);
}

TEST_F(MixerFilter, FilterOneIsAboutElevenThirtySecondsAndAutoMeansOne)
{
    start(44100, 0x45, 1);
    dsmOutputFilterMode = 3;  // automatic: filter 1 without interpolation
    int32_t buf[3] = {32, 0, 0};
    dsmFilterIntMono(buf, 3, nullptr);
    EXPECT_EQ(buf[0], 16 + 8 - 2);  // g(64)
    EXPECT_EQ(buf[1], 8 + 4 - 1);   // g(32)
    EXPECT_EQ(buf[2], 0);
    float fb[2] = {3, 0};
    dsmFilterFloatMono(fb, 2, nullptr);
    EXPECT_FLOAT_EQ(fb[0], 2.0f);
    EXPECT_FLOAT_EQ(fb[1], 1.0f);
    dsmOutputFilterMode = 0;
    int32_t still[2] = {5, 7};
    dsmFilterIntMono(still, 2, nullptr);
    EXPECT_EQ(still[0], 5);
    EXPECT_EQ(still[1], 7);
}

TEST_F(MixerFilter, StateCarriesAcrossCallsAndSidesStaySeparate)
{
    start(44100, 0x52, 1);
    for (int type = 1; type <= 2; type++) {
        dsmOutputFilterMode = type;
        int32_t whole[20], pieces[20];
        for (int i = 0; i < 20; i++)
            whole[i] = pieces[i] = (i * 7919) % 1000 - 500;
        dsmResetFilters();
        dsmFilterIntStereo(whole, 10, nullptr);
        dsmResetFilters();
        dsmFilterIntStereo(pieces, 3, nullptr);  // odd split
        dsmFilterIntStereo(pieces + 6, 7, nullptr);
        for (int i = 0; i < 20; i++)
            EXPECT_EQ(whole[i], pieces[i]) << "filter " << type << " value " << i;
        // Left values never reach the right side.
        int32_t lr[6] = {800, 0, 0, 0, 0, 0};
        dsmResetFilters();
        dsmFilterIntStereo(lr, 3, nullptr);
        EXPECT_EQ(lr[1], 0);
        EXPECT_EQ(lr[3], 0);
        EXPECT_EQ(lr[5], 0);
    }
}

TEST(MixerCpu, OnlyIntelFamilySixOrLaterCounts)
{
    const unsigned family6 = 6 << 8, family5 = 5 << 8, family15 = 15 << 8;
    EXPECT_EQ(mCpuIsPProFrom(1, "GenuineIntel", 1, family6), 1);
    EXPECT_EQ(mCpuIsPProFrom(1, "GenuineIntel", 0x16, family15), 1);
    EXPECT_EQ(mCpuIsPProFrom(1, "GenuineIntel", 1, family5), 0);
    EXPECT_EQ(mCpuIsPProFrom(1, "GenuineIntel", 0, family6), 0);
    EXPECT_EQ(mCpuIsPProFrom(0, "GenuineIntel", 1, family6), 0);
    EXPECT_EQ(mCpuIsPProFrom(1, "AuthenticAMD", 1, family15), 0);
    EXPECT_EQ(mCpuIsPProFrom(1, "GenuineIntex", 1, family6), 0);
    const int real = mCpuIsPPro();
    EXPECT_TRUE(real == 0 || real == 1);
}
