// libFuzzer target for the XM loader: loads from memory through the same
// code path as files, onto a sound device that keeps nothing, then plays a
// few hundred ticks of whatever loaded.
#include <cstddef>
#include <cstdint>

#include "sound/player/gmplayer.h"

namespace {

unsigned g_handles;
int ok0() { return 0; }
int ok1u(unsigned) { return 0; }
int ok2u(unsigned, unsigned) { return 0; }
int okChanInt(unsigned, int) { return 0; }
int okInt(int) { return 0; }
int okGet(unsigned, unsigned *v) { *v = 0; return 0; }
int okGetInt(unsigned, int *v) { *v = 0; return 0; }
int okPtr(unsigned *v) { *v = 0; return 0; }
int detect(int *r) { *r = 1; return 0; }
int addSample(SoundDeviceSample *, int, unsigned *h) { *h = ++g_handles; return 0; }
int play(int *c) { *c = 0; return 0; }
int startStream(unsigned, void *, unsigned, int, unsigned) { return 0; }
int loopCb(unsigned, sdLoopCallback) { return 0; }

SoundDevice nullDevice = {
    0, 0, 0, 0, 0, 1, 1, 15, "Fuzz", nullptr, 0, nullptr,
    detect, ok2u, ok0, okPtr, okPtr, ok1u, ok0, ok0, okInt, okInt, ok1u, okPtr, ok1u, okPtr,
    ok2u, ok1u, ok1u, ok2u, okGet, ok2u, okGet, ok2u, okGet, ok2u, okGet, okGetInt,
    okChanInt, okGetInt, okChanInt, addSample, ok1u, ok1u, ok0, play, startStream, ok1u,
    loopCb, ok2u, okChanInt,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    gmpInit(&nullDevice);
    ModuleRecord *module = nullptr;
    if (gmpLoadXMMemory(data, size, 1, nullptr, &module) != 0)
        return 0;
    int channels[32];
    for (int i = 0; i < 32; i++)
        channels[i] = i;
    PlayState *ps;
    if (gmpPlaySong(module, -1, -1, -1, 1, -1, channels, &ps) == 0) {
        for (int t = 0; t < 300; t++)
            if (gmpPlay() != 0)
                break;
        gmpStopSong(ps);
    }
    gmpFreeModule(module);
    return 0;
}
