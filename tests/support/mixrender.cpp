#include "support/mixrender.h"

#include <gtest/gtest.h>

#include "sound/mixer/dsm.h"
#include "sound/player/gmplayer.h"

namespace mixrender {

namespace {

unsigned updateRate = 5000;
int captureUpdRate(unsigned rate)
{
    updateRate = rate;
    return 0;
}
int noDetect(int *r) { *r = 1; return 0; }
int noInit(unsigned, unsigned) { return 0; }
int noClose() { return 0; }
int getMode(unsigned *m) { *m = sdStereo | sd16bit; return 0; }
int noStart() { return 0; }
int noPlay(int *c) { *c = 0; return 0; }
int notPPro() { return 0; }

// The test paces the ticks itself.
SoundDevice mixerDevice = {
    0, 0, 0, 0, 0, 1, 1, 10, "Render", nullptr, 0, nullptr,
    noDetect, noInit, noClose, dsmGetMixRate, getMode, dsmOpenChannels, dsmCloseChannels,
    dsmClearChannels, dsmMute, dsmPause, dsmSetMasterVolume, dsmGetMasterVolume,
    dsmSetAmplification, dsmGetAmplification, dsmPlaySound, dsmReleaseSound, dsmStopSound,
    dsmSetRate, dsmGetRate, dsmSetVolume, dsmGetVolume, dsmSetSample, dsmGetSample,
    dsmSetPosition, dsmGetPosition, dsmGetDirection, dsmSetPanning, dsmGetPanning,
    dsmMuteChannel, dsmAddSample, dsmRemoveSample, captureUpdRate, noStart, noPlay,
    dsmStartStream, dsmStopStream, dsmSetLoopCallback, dsmSetStreamWritePosition,
    dsmPauseStream,
};

}  // namespace

std::vector<int16_t> render(LoadMemoryFn load, const std::vector<uint8_t> &bytes, const Options &o)
{
    std::vector<int16_t> out;
    int (*savedCpu)(void) = dsmCpuIsPPro;
    dsmCpuIsPPro = notPPro;
    MixOptions options;
    options.outputFilterMode = 0;
    EXPECT_EQ(dsmInit(o.rate, o.mode, options), 0);
    EXPECT_EQ(dsmOpenChannels(o.channels), 0);
    EXPECT_EQ(gmpInit(&mixerDevice), 0);
    ModuleRecord *m = nullptr;
    EXPECT_EQ(load(bytes.data(), bytes.size(), 1, nullptr, &m), 0);
    int channels[32];
    for (int i = 0; i < 32; i++)
        channels[i] = i;
    PlayState *ps = nullptr;
    if (m && gmpPlaySong(m, -1, -1, -1, 1, o.songChannels, channels, &ps) == 0) {
        unsigned carry = 0;
        for (int t = 0; t < o.ticks; t++) {
            EXPECT_EQ(gmpPlay(), 0);
            carry += o.rate * 100;
            unsigned frames = carry / updateRate;
            carry %= updateRate;
            size_t at = out.size();
            out.resize(at + 2 * frames);
            EXPECT_EQ(dsmMixData(frames, out.data() + at), 0);
        }
        gmpStopSong(ps);
    }
    EXPECT_EQ(gmpFreeModule(m), 0);
    dsmCloseChannels();
    dsmClose();
    gmpClose();
    dsmCpuIsPPro = savedCpu;
    return out;
}

uint64_t hash(const std::vector<int16_t> &pcm)
{
    uint64_t h = 1469598103934665603ull;
    const uint8_t *p = reinterpret_cast<const uint8_t *>(pcm.data());
    for (size_t i = 0; i < pcm.size() * 2; i++)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

}  // namespace mixrender
