// The public calls for sound-effect samples, and the part of MIDASclose that
// removes what the application left of samples and echoes (closeEffects).
// Like the stream (midasstrapi.cpp) and echo (midasechoapi.cpp) calls, each
// is a thin wrapper over its service that first finds its handle among the
// live ones of its kind.
#include <bitset>
#include <cstddef>
#include <cstdint>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mexport.h"
#include "sound/api/mglobals.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/extras/midasfx.h"

using mapi::fail;
using mapi::PollLock;

namespace {

// Sample handles the application loaded and has not freed. The device's
// handles of module samples live in the same number space; they are not
// the application's to free or play.
mapi::LiveSet<unsigned> liveSamples;
// Explicit channels that have been handed a sample play since they opened:
// the play handle of channel c is c + 1.
std::bitset<fxFirstAutoHandle> channelPlays;
// The service's handle of an application's sample play handle, if that
// still names a play: an explicit channel that was played on and is open,
// or an automatic play not yet superseded by a newer one on its channel.
bool resolvePlay(MIDASsamplePlayHandle sample, unsigned *fxHandle)
{
    if (sample == 0)
        return false;
    unsigned h = sample - 1, channel;
    if (h < fxFirstAutoHandle && (!channelPlays.test(h) || h >= midasChannels || !midasSDChans))
        return false;
    if (!FindChannel(h, &channel))
        return false;
    *fxHandle = h;
    return true;
}

}  // namespace

int mapi::closeEffects()
{
    int first = closeEchoes();
    while (!liveSamples.empty()) {
        unsigned sample = liveSamples.last();
        liveSamples.remove(sample);
        int error = fxFreeSample(sample);
        if (error && !first)
            first = error;
    }
    channelPlays.reset();
    return first;
}

void mapi::forgetChannelPlays() { channelPlays.reset(); }

Q5SOUND_API MIDASsample MIDASloadRawSample(const char *fileName, int sampleType, int loopSample)
{
    if (!mapi::ready())
        return unsigned(fail(errSDFailure));
    if (fileName == nullptr)
        return unsigned(fail(errInvalidArguments));
    unsigned handle;
    int error = fxLoadRawSample(fileName, sampleType, loopSample, &handle);
    if (error != errOK)
        return unsigned(fail(error));
    liveSamples.add(handle);
    return handle;
}

Q5SOUND_API MIDASsample MIDASloadWaveSample(const char *fileName, int loopSample)
{
    if (!mapi::ready())
        return unsigned(fail(errSDFailure));
    if (fileName == nullptr)
        return unsigned(fail(errInvalidArguments));
    unsigned handle;
    int error = fxLoadWaveSample(fileName, loopSample, &handle);
    if (error != errOK)
        return unsigned(fail(error));
    liveSamples.add(handle);
    return handle;
}

Q5SOUND_API int MIDASfreeSample(MIDASsample sample)
{
    if (sample == 0)
        return 1;
    PollLock lock;
    if (!liveSamples.has(sample))
        return fail(errInvalidSampleHandle);
    int error = fxFreeSample(sample);
    if (error != errOK)
        return fail(error);
    liveSamples.remove(sample);
    return 1;
}

Q5SOUND_API
MIDASsamplePlayHandle MIDASplaySample(MIDASsample sample, unsigned channel, int priority,
                                      unsigned rate, unsigned volume, int panning)
{
    PollLock lock;
    if (!liveSamples.has(sample))
        return unsigned(fail(errInvalidSampleHandle));
    if (channel != fxAutoChannel && (!midasSDChans || channel >= midasChannels))
        return unsigned(fail(midasSDChans ? errInvalidChanNumber : errNoChannels));
    unsigned handle;
    int error = fxPlaySample(channel, sample, unsigned(priority), rate, volume, panning, &handle);
    if (error != errOK)
        return unsigned(fail(error));
    if (handle < fxFirstAutoHandle)
        channelPlays.set(handle);
    return handle + 1;
}

Q5SOUND_API int MIDASstopSample(MIDASsamplePlayHandle sample)
{
    if (sample == 0)
        return 1;
    PollLock lock;
    unsigned h;
    if (!resolvePlay(sample, &h))
        return fail(errInvalidSampleHandle);
    int error = fxStopSample(h);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetSampleRate(MIDASsamplePlayHandle sample, unsigned rate)
{
    PollLock lock;
    unsigned h;
    if (!resolvePlay(sample, &h))
        return fail(errInvalidSampleHandle);
    int error = fxSetSampleRate(h, rate);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetSampleVolume(MIDASsamplePlayHandle sample, unsigned volume)
{
    PollLock lock;
    unsigned h;
    if (!resolvePlay(sample, &h))
        return fail(errInvalidSampleHandle);
    int error = fxSetSampleVolume(h, volume);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetSamplePanning(MIDASsamplePlayHandle sample, int panning)
{
    PollLock lock;
    unsigned h;
    if (!resolvePlay(sample, &h))
        return fail(errInvalidSampleHandle);
    int error = fxSetSamplePanning(h, panning);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetSamplePriority(MIDASsamplePlayHandle sample, int priority)
{
    PollLock lock;
    unsigned h;
    if (!resolvePlay(sample, &h))
        return fail(errInvalidSampleHandle);
    int error = fxSetSamplePriority(h, unsigned(priority));
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASgetSamplePlayStatus(MIDASsamplePlayHandle sample)
{
    PollLock lock;
    unsigned h;
    if (!resolvePlay(sample, &h))
        return fail(errInvalidSampleHandle);
    int playing = 0;
    int error = fxGetSamplePlayStatus(h, &playing);
    return error == errOK ? playing : fail(error);
}
