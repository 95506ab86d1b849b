// Sample effects.
#include "sound/extras/midasfx.h"

#include <climits>
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/api/mmem.h"
#include "sound/extras/waveread.h"

namespace {

struct AutoChannel {
    unsigned channel;     // device channel
    unsigned sample;      // sample handle playing
    unsigned playHandle;  // 256..65534, 0 before the first play
    unsigned priority;
};

SoundDevice *SD = nullptr;
unsigned numAutoChannels = 0;
AutoChannel *autoChannels = nullptr;
unsigned nextChannel = 0;
unsigned nextHandle = fxFirstAutoHandle;

// Describes bytes of data to the device, which keeps its own copy.
int addSample(void *data, int sampleType, unsigned bytes, int loop, unsigned *handle)
{
    SoundDeviceSample s;
    std::memset(&s, 0, sizeof(s));
    s.sample = data;
    s.location = 1;
    s.sampleType = sampleType;
    s.length = bytes;
    if (loop) {
        s.loopMode = sdLoop1;
        s.loop1Start = 0;
        s.loop1End = bytes;
        s.loop1Type = loopUnidir;
    } else {
        s.loopMode = sdLoopNone;
        s.loop1Type = loopNone;
    }
    s.loop2Type = loopNone;
    return SD->AddSample(&s, 1, handle);
}

// Reads bytes from an open file into a new block and hands it to the device.
int loadData(fileHandle f, unsigned long bytes, int sampleType, int loop, unsigned *handle)
{
    if (bytes > INT_MAX)
        return errOutOfMemory;
    void *buffer;
    int error = memAlloc(static_cast<int>(bytes), &buffer);
    if (error)
        return error;
    error = fileRead(f, buffer, bytes);
    if (!error)
        error = addSample(buffer, sampleType, static_cast<unsigned>(bytes), loop, handle);
    memFree(buffer);
    return error;
}

int stopPool(void)
{
    int first = errOK;
    for (unsigned i = 0; i < numAutoChannels; i++) {
        int error = SD->StopSound(autoChannels[i].channel);
        if (error && !first)
            first = error;
    }
    if (autoChannels != nullptr)
        memFree(autoChannels);
    autoChannels = nullptr;
    numAutoChannels = 0;
    return first;
}

}  // namespace

int fxInit(SoundDevice *sd)
{
    SD = sd;
    numAutoChannels = 0;
    autoChannels = nullptr;
    nextHandle = fxFirstAutoHandle;
    nextChannel = 0;
    return errOK;
}

int fxClose(void) { return stopPool(); }

int fxLoadRawSample(const char *fileName, int sampleType, int loop, unsigned *sampleHandle)
{
    // ADPCM has no mixing routine; only the streams decode it.
    if (sampleType < smp8bitMono || sampleType >= smpNumTypes || sampleType == smpAdpcmMono ||
        sampleType == smpAdpcmStereo)
        return errInvalidSampleType;
    fileHandle f;
    int error = fileOpen(fileName, rfOpenRead, &f);
    if (error)
        return error;
    long size;
    error = fileGetSize(f, &size);
    if (!error)
        error = loadData(f, static_cast<unsigned long>(size), sampleType, loop, sampleHandle);
    int closeError = fileClose(f);
    return error ? error : closeError;
}

int fxLoadWaveSample(const char *fileName, int loop, unsigned *sampleHandle)
{
    mWaveHandle w;
    int error = mWaveOpen(fileName, &w);
    if (error)
        return error;
    error = loadData(w->file, w->dataLength, w->sampleType, loop, sampleHandle);
    int closeError = mWaveClose(w);
    return error ? error : closeError;
}

int fxFreeSample(unsigned sampleHandle) { return SD->RemoveSample(sampleHandle); }

int fxSetAutoChannels(unsigned count, const unsigned *channels)
{
    int error = stopPool();
    if (error)
        return error;
    nextHandle = fxFirstAutoHandle;
    nextChannel = 0;
    if (count == 0)
        return errOK;
    if (count > INT_MAX / sizeof(AutoChannel))
        return errOutOfMemory;
    AutoChannel *slots;
    error =
        memAlloc(static_cast<int>(count * sizeof(AutoChannel)), reinterpret_cast<void **>(&slots));
    if (error)
        return error;
    for (unsigned i = 0; i < count; i++)
        slots[i] = AutoChannel{channels[i], 0, 0, 0};
    autoChannels = slots;
    numAutoChannels = count;
    return errOK;
}

int FindChannel(unsigned playHandle, unsigned *channel)
{
    if (playHandle < fxFirstAutoHandle) {
        *channel = playHandle;
        return 1;
    }
    for (unsigned i = 0; i < numAutoChannels; i++)
        if (autoChannels[i].playHandle == playHandle) {
            *channel = autoChannels[i].channel;
            return 1;
        }
    return 0;
}

int fxPlaySample(unsigned channel, unsigned sampleHandle, unsigned priority, unsigned rate,
                 unsigned volume, int panning, unsigned *playHandle)
{
    unsigned ch, handle;
    if (channel == fxAutoChannel) {
        if (numAutoChannels == 0)
            return errNoChannels;
        AutoChannel &slot = autoChannels[nextChannel];
        slot.sample = sampleHandle;
        slot.playHandle = nextHandle;
        slot.priority = priority;
        nextChannel = (nextChannel + 1) % numAutoChannels;
        ch = slot.channel;
        handle = nextHandle;
        if (++nextHandle > fxLastAutoHandle)
            nextHandle = fxFirstAutoHandle;
    } else {
        // A channel number is its own handle, and handles from 256 up name
        // automatic plays.
        if (channel >= fxFirstAutoHandle)
            return errInvalidChanNumber;
        ch = handle = channel;
    }
    int error;
    if ((error = SD->StopSound(ch)) != 0 || (error = SD->SetSample(ch, sampleHandle)) != 0 ||
        (error = SD->SetVolume(ch, volume)) != 0 || (error = SD->SetPanning(ch, panning)) != 0 ||
        (error = SD->PlaySound(ch, rate)) != 0)
        return error;
    *playHandle = handle;
    return errOK;
}

int fxStopSample(unsigned playHandle)
{
    unsigned ch;
    return FindChannel(playHandle, &ch) ? SD->StopSound(ch) : errOK;
}

int fxSetSampleRate(unsigned playHandle, unsigned rate)
{
    unsigned ch;
    return FindChannel(playHandle, &ch) ? SD->SetRate(ch, rate) : errOK;
}

int fxSetSampleVolume(unsigned playHandle, unsigned volume)
{
    unsigned ch;
    return FindChannel(playHandle, &ch) ? SD->SetVolume(ch, volume) : errOK;
}

int fxSetSamplePanning(unsigned playHandle, int panning)
{
    unsigned ch;
    return FindChannel(playHandle, &ch) ? SD->SetPanning(ch, panning) : errOK;
}

int fxSetSamplePriority(unsigned playHandle, unsigned priority)
{
    if (playHandle < fxFirstAutoHandle)
        return errOK;
    for (unsigned i = 0; i < numAutoChannels; i++)
        if (autoChannels[i].playHandle == playHandle)
            autoChannels[i].priority = priority;
    return errOK;
}

int fxGetSamplePlayStatus(unsigned playHandle, int *playing)
{
    unsigned ch, rate = 0;
    *playing = 0;
    if (!FindChannel(playHandle, &ch))
        return errOK;  // superseded by a newer play: not playing any more
    int error = SD->GetRate(ch, &rate);
    if (error)
        return error;
    *playing = rate != 0;
    return errOK;
}
