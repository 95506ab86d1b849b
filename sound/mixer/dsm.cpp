// Mixer core: mode and routine table, channel records, volumes and ramping,
// integer volume tables, click-free restarts and the post-processor ring.
// The sample table and streams live in dsmsmp.cpp, producing output in
// dsmmix.cpp.
#include "sound/mixer/dsm.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/mixer/mulaw.h"

unsigned dsmMixRate;
unsigned dsmMode;
unsigned dsmMixBufferSize;
void *dsmMixBuffer;
unsigned dsmNumChannels;
unsigned dsmAllocatedChannels;
MixChannel *dsmChannels;
int dsmChPlay;
MixSample *dsmSamples;
unsigned dsmMasterVolume;
unsigned dsmAmplification;
int dsmMuted, dsmPaused;
MixRoutine *dsmActMixRoutines;
int32_t *dsmVolumeTable;
int32_t *dsmUlawVolumeTable;
float *dsmByteFloatTable;
float *dsmUlawFloatTable;
PostProcessor *dsmPostProcList;
int dsmAutoFilterType;
int dsmOutputFilterMode = 3;
int dsmVolumeRamping = 1;
MixOptions dsmDeviceOptions;
int (*dsmCpuIsPPro)(void) = mCpuIsPPro;

PostProcessor dsmFilters = {
    nullptr,          nullptr,           nullptr, dsmFilterFloatMono, dsmFilterFloatStereo,
    dsmFilterIntMono, dsmFilterIntStereo};

static int dsmIntMixing;  // integer mixing in use
int dsmUlawConvert;       // 16-bit samples become mu-law on AddSample

// Raw blocks behind the 1024-aligned buffer and tables (null when absent).
static void *mixBufferBlock, *volTableBlock, *ulawTableBlock, *byteFloatBlock, *ulawFloatBlock;

// Takes size bytes starting on a 1024-byte boundary. *block receives what
// memFree must get back.
static int allocAligned(unsigned size, void **block, void **aligned)
{
    int error = memAlloc(static_cast<int>(size + 1024), block);
    if (error != 0)
        return error;
    uintptr_t p = reinterpret_cast<uintptr_t>(*block);
    *aligned = reinterpret_cast<void *>((p + 1023) & ~static_cast<uintptr_t>(1023));
    return 0;
}

static void freeBlock(void **block)
{
    if (*block != nullptr) {
        memFree(*block);
        *block = nullptr;
    }
}

unsigned dsmFrameShift(int type)
{
    switch (type) {
    case smp16bitMono:
    case smp8bitStereo:
    case smpUlawStereo: return 1;
    case smp16bitStereo: return 2;
    default: return 0;
    }
}

static int interpolating(void) { return (dsmMode & dsmModeInterp) != 0; }

static int rampingOn(void) { return interpolating() && dsmVolumeRamping; }

int dsmInit(unsigned mixRate, unsigned mode, const MixOptions &options)
{
    if (mixRate == 0)
        return errInvalidArguments;  // every step divides by the mixing rate
    if ((mode & (dsmModeFloat | dsmModeInteger)) == 0) {
        if (options.preferredMixingMode == 2 || (mode & dsmModeInterp) != 0 || dsmCpuIsPPro() != 0)
            mode |= dsmModeFloat;
        else
            mode |= dsmModeInteger;
    }
    if ((mode & (dsmMode8bit | dsmMode16bit)) == 0)
        mode |= dsmMode16bit;

    dsmMixRate = mixRate;
    dsmMode = mode;
    dsmIntMixing = (mode & dsmModeInteger) != 0;
    dsmUlawConvert = dsmIntMixing && options.ulawAutoConvert != 0;
    dsmOutputFilterMode = options.outputFilterMode;
    dsmVolumeRamping = options.disableVolumeRamping == 0;

    dsmNumChannels = 0;
    dsmAllocatedChannels = 0;
    dsmChannels = nullptr;
    dsmChPlay = 0;
    dsmMuted = 0;
    dsmPaused = 0;
    dsmMasterVolume = 64;
    dsmAmplification = 64;

    // About 1/40 s of 32-bit accumulators, a multiple of 16 bytes.
    unsigned size = (mode & dsmModeStereo) ? mixRate / 5 : mixRate / 10;
    dsmMixBufferSize = (size + 15) & ~15u;
    if (dsmMixBufferSize < 16)
        dsmMixBufferSize = 16;  // at least one stereo frame per pass at any rate

    int error;
    void *aligned;
    if (dsmIntMixing) {
        const unsigned tableBytes = dsmVolLevels * 256 * sizeof(int32_t);
        if ((error = allocAligned(tableBytes, &volTableBlock, &aligned)) != 0)
            return error;
        dsmVolumeTable = static_cast<int32_t *>(aligned);
        if ((error = allocAligned(tableBytes, &ulawTableBlock, &aligned)) != 0)
            return error;
        dsmUlawVolumeTable = static_cast<int32_t *>(aligned);
        std::memset(dsmVolumeTable, 0, tableBytes);
        std::memset(dsmUlawVolumeTable, 0, tableBytes);
    }
    if ((error = allocAligned(dsmMixBufferSize, &mixBufferBlock, &aligned)) != 0)
        return error;
    dsmMixBuffer = aligned;
    std::memset(dsmMixBuffer, 0, dsmMixBufferSize);

    void *samples;
    if ((error = memAlloc(static_cast<int>(dsmMaxSamples * sizeof(MixSample)), &samples)) != 0)
        return error;
    dsmSamples = static_cast<MixSample *>(samples);
    std::memset(dsmSamples, 0, dsmMaxSamples * sizeof(MixSample));

    if (!dsmIntMixing) {
        if ((error = allocAligned(256 * sizeof(float), &byteFloatBlock, &aligned)) != 0)
            return error;
        dsmByteFloatTable = static_cast<float *>(aligned);
        if ((error = allocAligned(256 * sizeof(float), &ulawFloatBlock, &aligned)) != 0)
            return error;
        dsmUlawFloatTable = static_cast<float *>(aligned);
        for (int n = 0; n < 256; n++) {
            dsmByteFloatTable[n] = static_cast<float>(n * 256 - 32768);
            unsigned char code = static_cast<unsigned char>(n);
            short value;
            mUlawDecode(&code, 1, &value);
            dsmUlawFloatTable[n] = static_cast<float>(value);
        }
    }

    const int stereo = (mode & dsmModeStereo) != 0;
    if (mode & dsmModeInterp)
        dsmActMixRoutines = stereo ? dsmMixStereoFloatInterp : dsmMixMonoFloatInterp;
    else if (dsmIntMixing)
        dsmActMixRoutines = stereo ? dsmMixStereoInteger : dsmMixMonoInteger;
    else
        dsmActMixRoutines = stereo ? dsmMixStereoFloat : dsmMixMonoFloat;
    for (int i = 0; i < dsmRoutineEntries; i++)
        if (dsmActMixRoutines[i].prepare != nullptr)
            dsmActMixRoutines[i].prepare();

    void *head;
    if ((error = memAlloc(sizeof(PostProcessor), &head)) != 0)
        return error;
    dsmPostProcList = static_cast<PostProcessor *>(head);
    std::memset(dsmPostProcList, 0, sizeof(PostProcessor));
    dsmPostProcList->next = dsmPostProcList;
    dsmPostProcList->prev = dsmPostProcList;
    dsmAutoFilterType = (mode & dsmModeInterp) ? 0 : 1;
    dsmResetFilters();
    return dsmAddPostProcessor(&dsmFilters, 1, nullptr);
}

int dsmClose(void)
{
    if (dsmPostProcList != nullptr) {
        dsmRemovePostProcessor(&dsmFilters);
        memFree(dsmPostProcList);
        dsmPostProcList = nullptr;
    }
    // Channels left open and sample copies left behind go with the mixer.
    if (dsmChannels != nullptr) {
        memFree(dsmChannels);
        dsmChannels = nullptr;
    }
    dsmNumChannels = dsmAllocatedChannels = 0;
    dsmChPlay = 0;
    if (dsmSamples != nullptr) {
        for (unsigned i = 0; i < dsmMaxSamples; i++)
            if (dsmSamples[i].inUse && dsmSamples[i].copied && dsmSamples[i].sample != nullptr)
                memFree(dsmSamples[i].sample);
        memFree(dsmSamples);
        dsmSamples = nullptr;
    }
    freeBlock(&mixBufferBlock);
    freeBlock(&volTableBlock);
    freeBlock(&ulawTableBlock);
    freeBlock(&byteFloatBlock);
    freeBlock(&ulawFloatBlock);
    dsmMixBuffer = nullptr;
    dsmVolumeTable = dsmUlawVolumeTable = nullptr;
    dsmByteFloatTable = dsmUlawFloatTable = nullptr;
    return 0;
}

int dsmGetMixRate(unsigned *rate)
{
    *rate = dsmMixRate;
    return 0;
}

// ---- Channels ---------------------------------------------------------------

int dsmOpenChannels(unsigned channels)
{
    dsmChPlay = 0;
    if (dsmChannels != nullptr) {
        memFree(dsmChannels);
        dsmChannels = nullptr;
    }
    dsmNumChannels = 0;
    dsmAllocatedChannels = 0;
    if (channels == 0)
        return errInvalidArguments;
    const unsigned records = interpolating() ? 2 * channels : channels;
    void *block;
    int error = memAlloc(static_cast<int>(records * sizeof(MixChannel)), &block);
    if (error != 0)
        return error;
    dsmChannels = static_cast<MixChannel *>(block);
    std::memset(dsmChannels, 0, records * sizeof(MixChannel));
    dsmNumChannels = channels;
    dsmAllocatedChannels = records;
    dsmMuted = 0;
    dsmPaused = 0;
    if ((error = dsmSetAmplification(channels <= 4 ? 64 : 14 * channels)) != 0)
        return error;
    if ((error = dsmClearChannels()) != 0)
        return error;
    dsmChPlay = 1;
    return 0;
}

int dsmCloseChannels(void)
{
    if (dsmNumChannels == 0)
        return errNoChannels;
    dsmChPlay = 0;
    memFree(dsmChannels);
    dsmChannels = nullptr;
    dsmNumChannels = 0;
    dsmAllocatedChannels = 0;
    return 0;
}

int dsmClearChannels(void)
{
    if (dsmNumChannels == 0)
        return errNoChannels;
    for (unsigned i = 0; i < dsmAllocatedChannels; i++) {
        MixChannel *c = &dsmChannels[i];
        const unsigned volume = c->volume;
        std::memset(c, 0, sizeof(MixChannel));
        c->volume = volume;
        c->direction = 1;
        c->loopNum = 1;
        c->partner = 1;
    }
    return 0;
}

// Channel volume rule: left and right in 16.16 on a 0..64 scale.
void dsmSetChannelVolume(MixChannel *c)
{
    int left, right;
    const int v = static_cast<int>(c->volume);
    const int p = c->panning;
    if (c->muted || dsmMuted) {
        left = right = 0;
    } else if (p == 0 || p == panSurround || (dsmMode & dsmModeMono)) {
        left = right = v * 64;
    } else if (p < 0) {
        left = v * 64;
        right = v * (p + 64);
    } else {
        left = v * (64 - p);
        right = v * 64;
    }
    left = (left * static_cast<int>(dsmMasterVolume)) << 4;
    right = (right * static_cast<int>(dsmMasterVolume)) << 4;

    if (rampingOn()) {
        // 2.0 per output frame: a full swing of 64 takes 32 frames.
        if (left != c->leftVol || left != c->leftVolTarget) {
            c->leftVolTarget = left;
            c->leftRampStep = 0x20000;
            c->ramping = 1;
        }
        if (right != c->rightVol || right != c->rightVolTarget) {
            c->rightVolTarget = right;
            c->rightRampStep = 0x20000;
            c->ramping = 1;
        }
    } else {
        c->leftVol = c->leftVolTarget = left;
        c->rightVol = c->rightVolTarget = right;
        c->ramping = 0;
    }
}

int dsmCheckChannel(unsigned ch)
{
    return ch < dsmNumChannels && dsmChannels != nullptr ? 0 : errInvalidChanNumber;
}

int dsmCheckHandle(unsigned handle)
{
    if (handle < 1 || handle > dsmMaxSamples || dsmSamples == nullptr ||
        !dsmSamples[handle - 1].inUse)
        return errInvalidSampleHandle;
    return 0;
}

static void applyAllVolumes(void)
{
    for (unsigned i = 0; i < dsmNumChannels; i++)
        dsmSetChannelVolume(&dsmChannels[i]);
}

int dsmMute(int muted)
{
    dsmMuted = muted;
    applyAllVolumes();
    return 0;
}

int dsmPause(int paused)
{
    dsmPaused = paused;
    return 0;
}

int dsmSetMasterVolume(unsigned volume)
{
    dsmMasterVolume = volume > 64 ? 64 : volume;
    applyAllVolumes();
    return 0;
}

int dsmGetMasterVolume(unsigned *volume)
{
    *volume = dsmMasterVolume;
    return 0;
}

// Integer mode: row j entry n of the 8-bit table is the contribution of
// unsigned byte n at level j (of 32), pre-divided by the channel count.
int dsmSetAmplification(unsigned amplification)
{
    dsmAmplification = amplification;
    if (!dsmIntMixing || dsmVolumeTable == nullptr)
        return 0;
    if (dsmNumChannels == 0)
        return errNoChannels;  // the tables divide by the channel count
    const int64_t a = amplification;
    const int64_t n = dsmNumChannels;
    for (int j = 0; j < dsmVolLevels; j++) {
        for (int b = 0; b < 256; b++) {
            unsigned char code = static_cast<unsigned char>(b);
            short mu;
            mUlawDecode(&code, 1, &mu);
            dsmVolumeTable[j * 256 + b] = static_cast<int32_t>(((a * j * (b - 128)) / 64 * 8) / n);
            dsmUlawVolumeTable[j * 256 + b] = static_cast<int32_t>(((mu * j * a) / 64 / 32) / n);
        }
    }
    return 0;
}

int dsmGetAmplification(unsigned *amplification)
{
    *amplification = dsmAmplification;
    return 0;
}

int dsmFadeOut(unsigned ch)
{
    if (ch + dsmNumChannels >= dsmAllocatedChannels)
        return 0;  // no shadow
    MixChannel *c = &dsmChannels[ch];
    MixChannel *shadow = &dsmChannels[ch + dsmNumChannels];
    if (c->status < dsmChPlaying || (c->leftVol == 0 && c->rightVol == 0) ||
        shadow->status == dsmChFading)
        return 0;
    *shadow = *c;
    shadow->loopCallback = nullptr;  // the fading copy reports nothing
    shadow->volume = 0;
    shadow->status = dsmChFading;
    shadow->leftVolTarget = shadow->rightVolTarget = 0;
    shadow->leftRampStep = shadow->rightRampStep = 0x20000;
    shadow->ramping = 1;
    return 0;
}

int dsmFadeIn(unsigned ch)
{
    MixChannel *c = &dsmChannels[ch];
    c->leftVol = c->rightVol = 0;
    dsmSetChannelVolume(c);
    return 0;
}

int dsmPlaySound(unsigned ch, unsigned rate)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    if (rampingOn())
        dsmFadeOut(ch);
    dsmChannels[ch].status = dsmChEnded;
    dsmChannels[ch].rate = rate;
    return dsmSetPosition(ch, 0);
}

int dsmReleaseSound(unsigned ch)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    MixChannel *c = &dsmChannels[ch];
    if (c->status == dsmChPlaying && (c->loopMode == sdLoop1Rel || c->loopMode == sdLoop2))
        c->status = dsmChReleased;
    return 0;
}

int dsmStopSound(unsigned ch)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    if (rampingOn())
        dsmFadeOut(ch);
    dsmChannels[ch].status = dsmChStopped;
    return 0;
}

int dsmSetRate(unsigned ch, unsigned rate)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    dsmChannels[ch].rate = rate;
    return 0;
}

int dsmGetRate(unsigned ch, unsigned *rate)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    *rate = dsmChannels[ch].status >= dsmChPlaying ? dsmChannels[ch].rate : 0;
    return 0;
}

int dsmSetVolume(unsigned ch, unsigned volume)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    dsmChannels[ch].volume = volume > 64 ? 64 : volume;
    dsmSetChannelVolume(&dsmChannels[ch]);
    return 0;
}

int dsmGetVolume(unsigned ch, unsigned *volume)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    *volume = dsmChannels[ch].volume;
    return 0;
}

int dsmSetPanning(unsigned ch, int panning)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    if (panning != panSurround)
        panning = panning < -64 ? -64 : (panning > 64 ? 64 : panning);
    dsmChannels[ch].panning = panning;
    dsmSetChannelVolume(&dsmChannels[ch]);
    return 0;
}

int dsmGetPanning(unsigned ch, int *panning)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    *panning = dsmChannels[ch].panning;
    return 0;
}

int dsmMuteChannel(unsigned ch, int muted)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    dsmChannels[ch].muted = muted;
    dsmSetChannelVolume(&dsmChannels[ch]);
    return 0;
}

int dsmGetDirection(unsigned ch, int *direction)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    *direction = dsmChannels[ch].direction;
    return 0;
}

int dsmGetSample(unsigned ch, unsigned *handle)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    *handle = dsmChannels[ch].sampleHandle;
    return 0;
}

int dsmSetSample(unsigned ch, unsigned handle)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    if (int error = dsmCheckHandle(handle))
        return error;
    MixChannel *c = &dsmChannels[ch];
    c->sampleHandle = handle;
    c->sampleChanged = 1;
    const MixSample *s = &dsmSamples[handle - 1];
    if (s->loopMode == sdLoopAmiga && c->status == dsmChEnded && !interpolating()) {
        c->status = dsmChPlaying;
        return dsmSetPosition(ch, s->loop1Start << dsmFrameShift(s->origSampleType));
    }
    return 0;
}

// Copies the selected slot into the channel (the data pointer, both types,
// location, length, loop mode and both loops).
void dsmChangeSample(MixChannel *c)
{
    const MixSample *s = &dsmSamples[c->sampleHandle - 1];
    c->sample = s->sample;
    c->sampleType = s->sampleType;
    c->origSampleType = s->origSampleType;
    c->location = s->location;
    c->length = s->length;
    c->loopMode = s->loopMode;
    c->loop1Start = s->loop1Start;
    c->loop1End = s->loop1End;
    c->loop1Type = s->loop1Type;
    c->loop2Start = s->loop2Start;
    c->loop2End = s->loop2End;
    c->loop2Type = s->loop2Type;
    c->sampleChanged = 0;
}

// A channel that takes a new sample keeps its old position and direction
// until a position is set, and at rate 0 none is. Moving backward, the
// mixer reads from the position down to the loop start, so a backward
// position from a longer sample (or one outside a loop that is no longer
// bidirectional) would read past the new data: put it back inside.
static void keepInsideNewSample(MixChannel *c)
{
    if (c->direction >= 0)
        return;
    const int type = c->loopNum == 2 ? c->loop2Type : c->loop1Type;
    const unsigned loopStart = c->loopNum == 2 ? c->loop2Start : c->loop1Start;
    const unsigned loopEnd = c->loopNum == 2 ? c->loop2End : c->loop1End;
    unsigned pos = std::atomic_ref<unsigned>(c->playPos).load(std::memory_order_relaxed);
    if (type != loopBidir || loopEnd <= loopStart || loopEnd > c->length) {
        c->direction = 1;
        return;
    }
    if (pos >= loopEnd || pos < loopStart) {
        pos = loopEnd - 1;
        std::atomic_ref<unsigned>(c->playPos).store(pos, std::memory_order_release);
        c->playPosLow = 0;
    }
}

int dsmSetPosition(unsigned ch, unsigned bytePos)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    MixChannel *c = &dsmChannels[ch];
    const int ramp = rampingOn();
    if (ramp)
        dsmFadeOut(ch);

    if (c->sampleChanged) {
        // A handle removed since SetSample leaves the channel as it was.
        if (c->sampleHandle >= 1 && c->sampleHandle <= dsmMaxSamples &&
            dsmSamples[c->sampleHandle - 1].inUse) {
            dsmChangeSample(c);
            keepInsideNewSample(c);
        } else {
            c->sampleChanged = 0;
        }
        if (c->loopMode != sdLoop1Rel && c->loopMode != sdLoop2 && c->status == dsmChReleased) {
            c->status = dsmChEnded;
            return 0;
        }
    }

    const unsigned pos = bytePos >> dsmFrameShift(c->origSampleType);
    if (c->sampleHandle != 0 && c->rate != 0 && c->status >= dsmChEnded &&
        c->status <= dsmChReleased) {
        c->loopNum = c->status == dsmChReleased ? 2 : 1;
        const int type = c->loopNum == 1 ? c->loop1Type : c->loop2Type;
        const unsigned loopStart = c->loopNum == 1 ? c->loop1Start : c->loop2Start;
        const unsigned loopEnd = c->loopNum == 1 ? c->loop1End : c->loop2End;
        int set = 1;
        unsigned newPos = 0;
        int direction = 1;
        if (type == loopUnidir) {
            newPos = pos < loopEnd ? pos : loopStart;
        } else if (type == loopBidir) {
            if (pos < loopEnd) {
                newPos = pos;
            } else {
                // Backward from the last frame of the loop: frame loopEnd may
                // lie past the data.
                newPos = loopEnd - 1;
                direction = -1;
            }
        } else if (pos < c->length) {
            newPos = pos;
        } else {
            c->status = dsmChEnded;
            set = 0;
        }
        if (set) {
            std::atomic_ref<unsigned>(c->playPos).store(newPos, std::memory_order_release);
            c->playPosLow = 0;
            c->direction = direction;
            c->status = dsmChPlaying;
        }
    }
    if (ramp)
        dsmFadeIn(ch);
    return 0;
}

int dsmGetPosition(unsigned ch, unsigned *position)
{
    if (int error = dsmCheckChannel(ch))
        return error;
    MixChannel *c = &dsmChannels[ch];
    const unsigned pos = std::atomic_ref<unsigned>(c->playPos).load(std::memory_order_acquire);
    *position = pos << dsmFrameShift(c->origSampleType);
    return 0;
}

// ---- Post-processors ------------------------------------------------------

int dsmAddPostProcessor(PostProcessor *pp, int where, void *userData)
{
    pp->userData = userData;
    PostProcessor *head = dsmPostProcList;
    if (head == nullptr)
        return 0;
    if (where == 0) {
        pp->prev = head;
        pp->next = head->next;
        head->next->prev = pp;
        head->next = pp;
    } else if (where == 1) {
        pp->next = head;
        pp->prev = head->prev;
        head->prev->next = pp;
        head->prev = pp;
    }
    return 0;
}

int dsmRemovePostProcessor(PostProcessor *pp)
{
    if (pp->next == nullptr || pp->prev == nullptr)
        return 0;  // not linked
    pp->prev->next = pp->next;
    pp->next->prev = pp->prev;
    pp->next = pp->prev = nullptr;
    return 0;
}
