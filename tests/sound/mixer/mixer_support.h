// Shared set-up of the mixer tests: a fixture that starts the mixer in a
// chosen mode with the processor check pinned, and sample helpers.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sound/mixer/dsm.h"

inline int cpuNotPPro(void)
{
    return 0;
}
inline int cpuPPro(void)
{
    return 1;
}

class MixerTest : public ::testing::Test {
public:
    void SetUp() override
    {
        savedCpu = dsmCpuIsPPro;
        dsmCpuIsPPro = cpuNotPPro;
    }
    void TearDown() override
    {
        if (started)
            dsmClose();
        dsmCpuIsPPro = savedCpu;
    }
    // Starts the mixer at rate in mode with options and opens channels (0:
    // none).
    void start(unsigned rate, unsigned mode, unsigned channels)
    {
        ASSERT_EQ(dsmInit(rate, mode, options), 0);
        started = true;
        if (channels != 0) {
            ASSERT_EQ(dsmOpenChannels(channels), 0);
        }
    }
    // Adds a copy of data as a sample; returns its handle.
    unsigned addSample(const void *data, unsigned bytes, int type, int loopMode = sdLoopNone,
                       unsigned loopStart = 0, unsigned loopEnd = 0, int loopType = loopNone)
    {
        SoundDeviceSample s{};
        s.sample = const_cast<void *>(data);
        s.location = 1;
        s.sampleType = type;
        s.length = bytes;
        s.loopMode = loopMode;
        s.loop1Start = loopStart;
        s.loop1End = loopEnd;
        s.loop1Type = loopType;
        unsigned handle = 0;
        EXPECT_EQ(dsmAddSample(&s, 1, &handle), 0);
        return handle;
    }
    // Starts channel ch on handle at rate, full volume, panning pan.
    void play(unsigned ch, unsigned handle, unsigned rate, int pan = 0, unsigned volume = 64)
    {
        ASSERT_EQ(dsmSetSample(ch, handle), 0);
        ASSERT_EQ(dsmSetVolume(ch, volume), 0);
        ASSERT_EQ(dsmSetPanning(ch, pan), 0);
        ASSERT_EQ(dsmPlaySound(ch, rate), 0);
    }
    // Mixes frames of 16-bit output; returns the samples.
    std::vector<int16_t> mix16(unsigned frames)
    {
        const unsigned values = (dsmMode & dsmModeStereo) ? 2 * frames : frames;
        std::vector<int16_t> out(values);
        EXPECT_EQ(dsmMixData(frames, out.data()), 0);
        return out;
    }

    bool started = false;
    MixOptions options;  // the defaults unless a test sets one
    int (*savedCpu)(void) = nullptr;
};

// An 8-bit unsigned sine of period frames, amplitude amp (of 127).
inline std::vector<uint8_t> sine8(unsigned frames, double period, double amp)
{
    std::vector<uint8_t> v(frames);
    for (unsigned i = 0; i < frames; i++)
        v[i] = static_cast<uint8_t>(128 + std::lround(amp * std::sin(2 * M_PI * i / period)));
    return v;
}
