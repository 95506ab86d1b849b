// What a loaded module holds, for tools: its samples.
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mexport.h"
#include "sound/api/midasdll.h"
#include "sound/player/gmpmodule.h"

using mapi::fail;

Q5SOUND_API int MIDASgetSampleInfo(MIDASmodule module, int sampleNum, MIDASsampleInfo *info)
{
    if (!mapi::liveModule(module) || info == nullptr || sampleNum < 0 ||
        unsigned(sampleNum) >= module->numSamples)
        return fail(errInvalidArguments);
    std::memset(info, 0, sizeof *info);
    const SampleRecord *s = module->samples[sampleNum];
    // An empty slot has no record: no name, no data.
    if (s == nullptr)
        return 1;
    std::memcpy(info->name, s->name, sizeof info->name - 1);
    const unsigned bytesPerFrame = s->sampleType == smp16bitMono ? 2 : 1;
    info->length = s->sampleType == smpNone ? 0 : s->sampleLength / bytesPerFrame;
    info->looped = s->loopType != loopNone;
    return 1;
}
