// Echo effects: delay line sizes, tap timing, filters, feedback, clamp, and
// the integer and float buffer formats.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sound/api/errors.h"
#include "sound/extras/mecho.h"

namespace {

constexpr int32_t kOne = 65536;  // 1.0 in 16.16

// An effect built directly, freed at scope end.
struct Effect {
    mEchoEffect *e = nullptr;
    Effect(int32_t feedback, int32_t gain, std::vector<EchoTap> taps, unsigned rate, int stereo)
    {
        EchoSet set{feedback, gain, static_cast<uint32_t>(taps.size()), taps.data()};
        EXPECT_EQ(mEchoBuildEffect(&set, rate, stereo, &e), errOK);
    }
    ~Effect()
    {
        if (e)
            mEchoFreeEffect(e);
    }
};

// At this rate a delay of n/65536 ms (n x 1000 in 16.16 after the division
// by 1000 the delay goes through) is exactly n frames.
constexpr unsigned kRate = 65536;

EchoTap tapFrames(unsigned frames, int32_t gain, unsigned filter = mEchoFilterNone,
                  int reverse = 0)
{
    return EchoTap{frames * 1000u, gain, reverse, filter};
}

}  // namespace

TEST(EchoBuild, DelayLineLengthsAndTapOffsets)
{
    EchoTap tap{100u * kOne, kOne / 2, 0, 0};  // 100 ms
    Effect mono(0, kOne, {tap}, 44100, 0);
    EXPECT_EQ(mono.e->taps[0].leftOffset, 4409u);  // 6553 x 44100 >> 16
    EXPECT_EQ(mono.e->mask + 1, 8192u);
    Effect stereo(0, kOne, {tap}, 44100, 1);
    EXPECT_EQ(stereo.e->taps[0].leftOffset, 8818u);  // 8818 + 16 elements needed
    EXPECT_EQ(stereo.e->mask + 1, 16384u);
    // No taps: the 16-element minimum.
    Effect none(0, kOne, {}, 44100, 1);
    EXPECT_EQ(none.e->mask + 1, 16u);
    // Delays past 1.5 s at 44100 Hz must not wrap in 32 bits.
    EchoTap longTap{2000u * kOne, kOne, 0, 0};
    Effect far(0, kOne, {longTap}, 44100, 0);
    EXPECT_EQ(far.e->taps[0].leftOffset, 88200u);  // 131072 x 44100 >> 16
    EXPECT_GE(far.e->mask + 1, far.e->taps[0].leftOffset + 16);
}

TEST(EchoProcess, UnityGainWithoutTapsPassesInputThroughUpToTheClamp)
{
    std::vector<float> in = {0, 1, -1, 32767, -32768, 1e6f, 2e7f, -3e7f, 0.25f, 7};
    for (int stereo = 0; stereo <= 1; stereo++) {
        Effect fx(0, kOne, {}, 44100, stereo);
        std::vector<float> buf = in;
        if (stereo)
            mEchoFloatStereo(buf.data(), static_cast<unsigned>(buf.size() / 2), fx.e);
        else
            mEchoFloatMono(buf.data(), static_cast<unsigned>(buf.size()), fx.e);
        for (size_t i = 0; i < in.size(); i++) {
            float expect = in[i] > mEchoClamp ? mEchoClamp : in[i] < -mEchoClamp ? -mEchoClamp : in[i];
            EXPECT_EQ(buf[i], expect) << "stereo " << stereo << " value " << i;
        }
    }
    Effect fx(0, kOne, {}, 44100, 0);
    std::vector<int32_t> ints = {0, 5, -5, 123456, -20000000, 20000000};
    mEchoIntMono(ints.data(), static_cast<unsigned>(ints.size()), fx.e);
    EXPECT_EQ(ints, (std::vector<int32_t>{0, 5, -5, 123456, -10435760, 10435760}));
}

TEST(EchoProcess, TapRepeatsTheInputItsDelayLaterWithFeedback)
{
    // Impulse of 1000 at frame 0; tap 7 frames at 0.5, feedback 0.5. Frame 0
    // leaves 1000 + 0.5 x 1000 in the line; frame 7 outputs 0.5 x 1500 and
    // stores 0.5 x 750; frame 14 outputs 0.5 x 375.
    Effect fx(kOne / 2, kOne, {tapFrames(7, kOne / 2)}, kRate, 0);
    std::vector<float> buf(20, 0.0f);
    buf[0] = 1000.0f;
    mEchoFloatMono(buf.data(), 20, fx.e);
    for (unsigned f = 0; f < 20; f++) {
        float expect = f == 0 ? 1000.0f : f == 7 ? 750.0f : f == 14 ? 187.5f : 0.0f;
        EXPECT_FLOAT_EQ(buf[f], expect) << "frame " << f;
    }
}

TEST(EchoProcess, SplittingTheBufferChangesNothing)
{
    std::vector<EchoTap> taps = {tapFrames(5, kOne / 3, mEchoFilterLowPass),
                                 tapFrames(9, -kOne / 4, mEchoFilterHighPass, 1),
                                 tapFrames(2, kOne / 5, mEchoFilterNone, 1)};
    Effect whole(kOne / 3, kOne * 3 / 4, taps, kRate, 1);
    Effect parts(kOne / 3, kOne * 3 / 4, taps, kRate, 1);
    std::vector<float> a(2 * 200);
    for (size_t i = 0; i < a.size(); i++)
        a[i] = static_cast<float>((i * 7919) % 2001) - 1000.0f;
    std::vector<float> b = a;
    mEchoFloatStereo(a.data(), 200, whole.e);
    unsigned done = 0;
    for (unsigned n : {1u, 13u, 50u, 7u, 129u}) {
        mEchoFloatStereo(b.data() + 2 * done, n, parts.e);
        done += n;
    }
    ASSERT_EQ(done, 200u);
    EXPECT_EQ(a, b);
}

TEST(EchoProcess, ReversedTapCrossesTheChannels)
{
    for (int reverse = 0; reverse <= 1; reverse++)
        for (unsigned d : {0u, 3u}) {
            Effect fx(0, kOne, {tapFrames(d, kOne / 2, mEchoFilterNone, reverse)}, kRate, 1);
            std::vector<float> buf(2 * 8, 0.0f);
            buf[0] = 100.0f;  // left impulse only
            mEchoFloatStereo(buf.data(), 8, fx.e);
            float echoLeft = buf[2 * d] - (d == 0 ? 100.0f : 0.0f);
            float echoRight = buf[2 * d + 1];
            EXPECT_FLOAT_EQ(echoLeft, reverse ? 0.0f : 50.0f) << "reverse " << reverse << " d " << d;
            EXPECT_FLOAT_EQ(echoRight, reverse ? 50.0f : 0.0f) << "reverse " << reverse << " d " << d;
        }
}

TEST(EchoProcess, HighPassTapAddsNothingToAConstant)
{
    Effect fx(kOne / 2, kOne, {tapFrames(4, kOne, mEchoFilterHighPass)}, kRate, 0);
    std::vector<float> buf(400, 500.0f);
    mEchoFloatMono(buf.data(), 400, fx.e);
    // Once the line is full of the (fed back) constant, the tap's current and
    // previous values cancel. The onset at frame 4 is a step, which it passes.
    EXPECT_NE(buf[4], 500.0f);
    for (unsigned f = 300; f < 400; f++)
        ASSERT_NEAR(buf[f], 500.0f, 1e-3f) << f;
}

TEST(EchoProcess, LowPassTapSpreadsAnImpulseOverTwoFrames)
{
    Effect fx(0, kOne, {tapFrames(3, kOne, mEchoFilterLowPass)}, kRate, 0);
    std::vector<float> buf(8, 0.0f);
    buf[0] = 64.0f;
    mEchoFloatMono(buf.data(), 8, fx.e);
    EXPECT_EQ(buf, (std::vector<float>{64, 0, 0, 32, 32, 0, 0, 0}));
}

TEST(EchoProcess, IntegerOutputTruncatesTowardZeroAndSaturates)
{
    Effect half(0, kOne / 2, {}, 44100, 1);
    std::vector<int32_t> buf = {3, -3, 7, -7};
    mEchoIntStereo(buf.data(), 2, half.e);
    EXPECT_EQ(buf, (std::vector<int32_t>{1, -1, 3, -3}));
    // A gain of 32000 takes the clamped value far past 32 bits.
    Effect loud(0, 32000 * kOne, {}, 44100, 0);
    std::vector<int32_t> big = {10435760, -10435760};
    mEchoIntMono(big.data(), 2, loud.e);
    EXPECT_EQ(big, (std::vector<int32_t>{INT32_MAX, INT32_MIN}));
}

TEST(EchoProcess, OutputsStayWithinTheClampBeforeTheGain)
{
    // Strong feedback on a loud signal: the line grows, the output does not.
    Effect fx(kOne * 2, kOne, {tapFrames(1, kOne * 4)}, kRate, 0);
    std::vector<float> buf(300, 30000.0f);
    mEchoFloatMono(buf.data(), 300, fx.e);
    for (float v : buf)
        ASSERT_LE(std::abs(v), mEchoClamp);
    EXPECT_EQ(buf.back(), mEchoClamp);
}

TEST(EchoBuild, RefusesATapListWithoutTaps)
{
    EchoSet set{0, kOne, 3, nullptr};
    mEchoEffect *e = nullptr;
    EXPECT_EQ(mEchoBuildEffect(&set, 44100, 0, &e), errInvalidArguments);
    EXPECT_EQ(e, nullptr);
}

TEST(EchoRing, EffectsRunBeforeTheOutputFilterAndLeaveTheRingWhenRemoved)
{
    ASSERT_EQ(dsmInit(44100, dsmModeStereo | dsmMode16bit | dsmModeFloat, MixOptions{}), errOK);
    EchoSet set{0, kOne, 0, nullptr};
    mEchoEffect *e = nullptr;
    // Not initialised: nothing happens.
    EXPECT_EQ(mEchoAddEffect(&set, &e), errOK);
    EXPECT_EQ(e, nullptr);

    ASSERT_EQ(mEchoInit(), errOK);
    EXPECT_EQ(mEchoRate, 44100u);
    EXPECT_EQ(mEchoStereo, 1);
    mEchoEffect *a = nullptr, *b = nullptr;
    ASSERT_EQ(mEchoAddEffect(&set, &a), errOK);
    ASSERT_EQ(mEchoAddEffect(&set, &b), errOK);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->stereo, 1);
    // Newest first, the built-in filter last.
    EXPECT_EQ(dsmPostProcList->next, &b->postProc);
    EXPECT_EQ(b->postProc.next, &a->postProc);
    EXPECT_EQ(a->postProc.next, &dsmFilters);
    EXPECT_EQ(a->postProc.userData, a);
    EXPECT_EQ(mEchoEffectList->next, b);

    EXPECT_EQ(mEchoRemoveEffect(b), errOK);
    EXPECT_EQ(dsmPostProcList->next, &a->postProc);
    EXPECT_EQ(mEchoClose(), errOK);
    EXPECT_EQ(dsmPostProcList->next, &dsmFilters);
    EXPECT_EQ(mEchoInitialized, 0);
    EXPECT_EQ(mEchoClose(), errOK);  // a second close does nothing
    EXPECT_EQ(dsmClose(), errOK);
}
