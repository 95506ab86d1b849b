// The public calls for sound-effect samples, streams, echo effects and
// post-processors: thin wrappers over the services, each of which first
// finds its handle among the live ones of its kind.
#include <bitset>
#include <cstddef>
#include <cstdint>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mexport.h"
#include "sound/api/mglobals.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/extras/mecho.h"
#include "sound/extras/midasfx.h"
#include "sound/extras/midasstr.h"

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
// Echo effects added and not removed; the stand-in handle of an effect the
// service did not build may stand here more than once.
mapi::LiveSet<void *> liveEchoes;
int numEchoEffects = 0;
// Post-processors linked into the mixer by MIDASaddPostProcessor.
mapi::LiveSet<MIDASpostProcessor *> livePostProcs;

const auto echoStandIn = reinterpret_cast<MIDASechoHandle>(uintptr_t(0x1742));

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

bool liveStream(MIDASstreamHandle stream)
{
    if (stream == nullptr)
        return false;
    for (strStream *s : streams)
        if (s == stream)
            return true;
    return false;
}

}  // namespace

int mapi::closeEffects()
{
    int first = errOK;
    if (numEchoEffects) {
        first = mEchoClose();
        numEchoEffects = 0;
    }
    liveEchoes.clear();
    while (!liveSamples.empty()) {
        unsigned sample = liveSamples.last();
        liveSamples.remove(sample);
        int error = fxFreeSample(sample);
        if (error && !first)
            first = error;
    }
    // The mixer's ring goes with the device; the records are the caller's.
    livePostProcs.clear();
    channelPlays.reset();
    return first;
}

void mapi::forgetChannelPlays() { channelPlays.reset(); }

// ---- Sample effects -------------------------------------------------------

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

Q5SOUND_API MIDASsamplePlayHandle MIDASplaySample(MIDASsample sample, unsigned channel, int priority,
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

// ---- Streams ----------------------------------------------------------------

namespace {

// Takes a channel, starts the stream on it with start, and gives the channel
// back when the start fails.
template <typename Start>
MIDASstreamHandle startStream(Start start)
{
    PollLock lock;
    if (!mapi::ready()) {
        fail(errSDFailure);
        return nullptr;
    }
    unsigned channel = MIDASallocateChannel();
    if (channel == 0xFFFF)
        return nullptr;
    strHandle stream = nullptr;
    int error = start(channel, &stream);
    if (error != errOK) {
        MIDASfreeChannel(channel);
        fail(error);
        return nullptr;
    }
    return stream;
}

}  // namespace

Q5SOUND_API MIDASstreamHandle MIDASplayStreamFile(const char *fileName, int sampleType, unsigned sampleRate,
                                      unsigned bufferLength, int loopStream)
{
    if (fileName == nullptr) {
        fail(errInvalidArguments);
        return nullptr;
    }
    return startStream([&](unsigned channel, strHandle *s) {
        return strPlayStreamFile(channel, fileName, sampleType, sampleRate, bufferLength,
                                 loopStream, s);
    });
}

Q5SOUND_API MIDASstreamHandle MIDASplayStreamWaveFile(const char *fileName, unsigned bufferLength,
                                          int loopStream)
{
    if (fileName == nullptr) {
        fail(errInvalidArguments);
        return nullptr;
    }
    return startStream([&](unsigned channel, strHandle *s) {
        return strPlayStreamWaveFile(channel, fileName, bufferLength, loopStream, s);
    });
}

Q5SOUND_API MIDASstreamHandle MIDASplayStreamPolling(int sampleType, unsigned sampleRate,
                                         unsigned bufferLength)
{
    return startStream([&](unsigned channel, strHandle *s) {
        return strPlayStreamPolling(channel, sampleType, sampleRate, bufferLength, s);
    });
}

Q5SOUND_API int MIDASstopStream(MIDASstreamHandle stream)
{
    if (stream == nullptr)
        return 1;
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    unsigned channel = stream->channel;
    int error = strStopStream(stream);
    // The channel goes back even when stopping failed.
    MIDASfreeChannel(channel);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API unsigned MIDASfeedStreamData(MIDASstreamHandle stream, unsigned char *data, unsigned numBytes,
                             int feedAll)
{
    if (!liveStream(stream))
        return unsigned(fail(errInvalidArguments));
    if (data == nullptr && numBytes != 0)
        return unsigned(fail(errInvalidArguments));
    unsigned used = 0;
    int error;
    if (feedAll) {
        // Waits a poll interval at a time: holding the lock would stop the
        // very poll that makes room.
        error = strFeedStreamData(stream, data, numBytes, 1, &used);
    } else {
        PollLock lock;
        error = strFeedStreamData(stream, data, numBytes, 0, &used);
    }
    return error == errOK ? used : unsigned(fail(error));
}

Q5SOUND_API int MIDASsetStreamRate(MIDASstreamHandle stream, unsigned rate)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strSetStreamRate(stream, rate);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetStreamVolume(MIDASstreamHandle stream, unsigned volume)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strSetStreamVolume(stream, volume);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetStreamPanning(MIDASstreamHandle stream, int panning)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strSetStreamPanning(stream, panning);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API unsigned MIDASgetStreamBytesBuffered(MIDASstreamHandle stream)
{
    PollLock lock;
    if (!liveStream(stream))
        return unsigned(fail(errInvalidArguments));
    unsigned bytes = 0;
    int error = strGetStreamBytesBuffered(stream, &bytes);
    return error == errOK ? bytes : unsigned(fail(error));
}

Q5SOUND_API int MIDASpauseStream(MIDASstreamHandle stream)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strPauseStream(stream, 1);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASresumeStream(MIDASstreamHandle stream)
{
    PollLock lock;
    if (!liveStream(stream))
        return fail(errInvalidArguments);
    int error = strPauseStream(stream, 0);
    return error == errOK ? 1 : fail(error);
}

// ---- Echo effects and post-processors ----------------------------------------

// The public records are the internal ones under the names an application
// sees; their layouts must match word for word.
static_assert(sizeof(MIDASecho) == sizeof(EchoTap));
static_assert(offsetof(MIDASecho, filterType) == offsetof(EchoTap, filterType));
static_assert(sizeof(MIDASechoSet) == sizeof(EchoSet));
static_assert(offsetof(MIDASechoSet, echoes) == offsetof(EchoSet, echoes));
static_assert(sizeof(MIDASpostProcessor) == sizeof(PostProcessor));
static_assert(offsetof(MIDASpostProcessor, intStereo) == offsetof(PostProcessor, intStereo));

Q5SOUND_API MIDASechoHandle MIDASaddEchoEffect(MIDASechoSet *echoSet)
{
    PollLock lock;
    if (!mapi::ready()) {
        fail(errSDFailure);
        return nullptr;
    }
    if (echoSet == nullptr) {
        fail(errInvalidArguments);
        return nullptr;
    }
    int error;
    if (numEchoEffects == 0 && (error = mEchoInit()) != errOK) {
        fail(error);
        return nullptr;
    }
    mEchoEffect *effect = nullptr;
    if ((error = mEchoAddEffect(reinterpret_cast<EchoSet *>(echoSet), &effect)) != errOK) {
        // A refused set counts for nothing: the first one leaves the
        // service closed again.
        if (numEchoEffects == 0)
            mEchoClose();
        fail(error);
        return nullptr;
    }
    numEchoEffects++;
    // A successful add never hands out 0, which means failure.
    MIDASechoHandle handle = effect ? static_cast<MIDASechoHandle>(effect) : echoStandIn;
    liveEchoes.add(handle);
    return handle;
}

Q5SOUND_API int MIDASremoveEchoEffect(MIDASechoHandle echoHandle)
{
    if (echoHandle == nullptr)
        return 1;
    PollLock lock;
    if (numEchoEffects == 0)
        return 1;
    if (!liveEchoes.has(echoHandle))
        return fail(errInvalidArguments);
    int error = errOK;
    // The stand-in for an effect that was never built has nothing to unlink.
    if (echoHandle != echoStandIn)
        error = mEchoRemoveEffect(static_cast<mEchoEffect *>(echoHandle));
    if (error != errOK)
        return fail(error);
    liveEchoes.remove(echoHandle);
    if (--numEchoEffects == 0 && (error = mEchoClose()) != errOK)
        return fail(error);
    return 1;
}

Q5SOUND_API int MIDASaddPostProcessor(MIDASpostProcessor *postProc, unsigned procMode, void *userData)
{
    PollLock lock;
    if (!mapi::ready())
        return fail(errSDFailure);
    // Linking a record twice would tie the mixer's ring into a knot.
    if (postProc == nullptr || livePostProcs.has(postProc) ||
        (procMode != MIDAS_POST_PROC_FIRST && procMode != MIDAS_POST_PROC_LAST))
        return fail(errInvalidArguments);
    int error = dsmAddPostProcessor(reinterpret_cast<PostProcessor *>(postProc), int(procMode),
                                    userData);
    if (error != errOK)
        return fail(error);
    livePostProcs.add(postProc);
    return 1;
}

Q5SOUND_API int MIDASremovePostProcessor(MIDASpostProcessor *postProc)
{
    if (postProc == nullptr)
        return 1;
    PollLock lock;
    if (!livePostProcs.has(postProc))
        return fail(errInvalidArguments);
    int error = dsmRemovePostProcessor(reinterpret_cast<PostProcessor *>(postProc));
    if (error != errOK)
        return fail(error);
    livePostProcs.remove(postProc);
    return 1;
}
