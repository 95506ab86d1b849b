// Sample table and stream channels of the mixer: adding and removing
// samples (with the mixer's own copies and the mu-law conversion of integer
// mixing), and the circular buffers of the streams layer.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/mulaw.h"

// ---- Samples --------------------------------------------------------------

int dsmAddSample(SoundDeviceSample *sample, int copySample, unsigned *handle)
{
    if (dsmSamples == nullptr)
        return errNoSampleHandles;
    // Slot 1024 stays free: its handle marks stream channels.
    unsigned slot = 0;
    while (slot < dsmMaxSamples - 1 && dsmSamples[slot].inUse)
        slot++;
    if (slot >= dsmMaxSamples - 1)
        return errNoSampleHandles;
    MixSample *s = &dsmSamples[slot];
    s->inUse = 1;

    int type = sample->sampleType;
    if (type < 0 || type >= smpNumTypes)
        type = smpNone;  // unknown types hold no data
    const unsigned shift = dsmFrameShift(type);
    s->sampleType = s->origSampleType = type;
    s->length = sample->length >> shift;
    s->loopMode = sample->loopMode;
    s->loop1Start = sample->loop1Start >> shift;
    s->loop1End = sample->loop1End >> shift;
    s->loop1Type = sample->loop1Type;
    s->loop2Start = sample->loop2Start >> shift;
    s->loop2End = sample->loop2End >> shift;
    s->loop2Type = sample->loop2Type;
    // A loop end past the data is cut back to the end of the data (the mixer
    // would read past it otherwise); an empty or unknown loop is no loop.
    if (s->loop1End > s->length)
        s->loop1End = s->length;
    if (s->loop2End > s->length)
        s->loop2End = s->length;
    if (s->loop1Start >= s->loop1End || (s->loop1Type != loopUnidir && s->loop1Type != loopBidir))
        s->loop1Type = loopNone;
    if (s->loop2Start >= s->loop2End || (s->loop2Type != loopUnidir && s->loop2Type != loopBidir))
        s->loop2Type = loopNone;
    s->copied = 0;

    if (type == smpNone || s->length == 0 || sample->sample == nullptr || sample->location == 0) {
        s->sampleType = smpNone;
        s->length = 0;
        s->sample = nullptr;
        s->location = 0;
    } else if (copySample) {
        const unsigned bytes = s->length << shift;  // whole frames only
        void *block;
        if (dsmUlawConvert && (type == smp16bitMono || type == smp16bitStereo)) {
            int error = memAlloc(static_cast<int>(bytes / 2), &block);
            if (error != 0) {
                s->inUse = 0;
                return error;
            }
            mUlawEncode(static_cast<const short *>(sample->sample), bytes,
                        static_cast<unsigned char *>(block));
            s->sampleType = type == smp16bitMono ? smpUlawMono : smpUlawStereo;
        } else {
            int error = memAlloc(static_cast<int>(bytes), &block);
            if (error != 0) {
                s->inUse = 0;
                return error;
            }
            std::memcpy(block, sample->sample, bytes);
        }
        s->sample = block;
        s->location = 1;
        s->copied = 1;
    } else {
        s->sample = sample->sample;
        s->location = sample->location;
    }
    *handle = slot + 1;
    return 0;
}

int dsmRemoveSample(unsigned handle)
{
    if (int error = dsmCheckHandle(handle))
        return error;
    MixSample *s = &dsmSamples[handle - 1];
    // A channel still playing these data would read them after they are
    // gone (or after the caller reuses its buffer): it stops here.
    if (s->sample != nullptr) {
        for (unsigned i = 0; i < dsmAllocatedChannels; i++) {
            MixChannel *c = &dsmChannels[i];
            if (c->sample == s->sample && c->sampleHandle != dsmStreamHandle) {
                c->status = dsmChStopped;
                c->sample = nullptr;
                c->location = 0;
                c->ramping = 0;
            }
        }
    }
    if (s->copied && s->sample != nullptr)
        memFree(s->sample);
    s->sample = nullptr;
    s->copied = 0;
    s->inUse = 0;
    return 0;
}

// ---- Streams ----------------------------------------------------------------

int dsmStartStream(unsigned ch, void *buffer, unsigned bufferBytes, int sampleType, unsigned rate)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    if (sampleType < smp8bitMono || sampleType >= smpNumTypes || sampleType == smpAdpcmMono ||
        sampleType == smpAdpcmStereo)
        return errInvalidSampleType;
    MixChannel *c = &dsmChannels[ch];
    const unsigned frames = bufferBytes >> dsmFrameShift(sampleType);
    c->sample = buffer;
    c->sampleType = c->origSampleType = sampleType;
    c->location = buffer != nullptr ? 1 : 0;
    c->length = frames;
    c->loopMode = sdLoop1;
    c->loop1Start = 0;
    c->loop1End = frames;
    c->loop1Type = frames != 0 ? loopUnidir : loopNone;
    c->loop2Start = c->loop2End = 0;
    c->loop2Type = loopNone;
    std::atomic_ref<unsigned>(c->playPos).store(0, std::memory_order_release);
    c->playPosLow = 0;
    std::atomic_ref<unsigned>(c->streamWritePos).store(0, std::memory_order_release);
    c->direction = 1;
    c->sampleHandle = dsmStreamHandle;
    c->sampleChanged = 0;
    c->panning = 0;
    c->volume = 64;
    c->muted = 0;
    c->loopNum = 1;
    c->status = dsmChPlaying;
    c->rate = rate;
    return 0;
}

int dsmStopStream(unsigned ch)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    dsmChannels[ch].status = dsmChStopped;
    return 0;
}

int dsmPauseStream(unsigned ch, int paused)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    dsmChannels[ch].status = paused ? dsmChStopped : dsmChPlaying;
    return 0;
}

int dsmSetLoopCallback(unsigned ch, sdLoopCallback callback)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    dsmChannels[ch].loopCallback = callback;
    return 0;
}

int dsmSetStreamWritePosition(unsigned ch, unsigned bytePos)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    MixChannel *c = &dsmChannels[ch];
    std::atomic_ref<unsigned>(c->streamWritePos)
        .store(bytePos >> dsmFrameShift(c->sampleType), std::memory_order_release);
    return 0;
}
