// The software mixer: any number of sample channels into one buffer of 8- or
// 16-bit, mono or stereo output. It implements every channel and sample
// operation of the sound-device record for both output devices.
//
// Thread contract: one mixer per process, no locks of its own. Every call
// below runs under the poll lock, except dsmAddSample (module loading: it only
// claims a free slot no channel refers to yet) and dsmGetPosition /
// dsmSetStreamWritePosition (stream writer threads: single words of the
// stream's channel, accessed atomically).
//
// Fixed point: positions, steps and channel volumes are 16.16. A channel
// volume of 64.0 (0x400000) is full volume at full master volume.
#pragma once

#include <cstdint>

#include "sound/mixer/sdevice.h"

// Mixer mode word (dsmMode).
enum {
    dsmMode8bit = 0x01,
    dsmMode16bit = 0x02,
    dsmModeMono = 0x04,
    dsmModeStereo = 0x10,
    dsmModeFloat = 0x20,
    dsmModeInteger = 0x40,
    dsmModeInterp = 0x80
};

enum {
    dsmMaxSamples = 1024,    // sample slots; a handle is the slot index + 1
    dsmStreamHandle = 1024,  // sample handle of a stream channel; never handed out
    dsmVolLevels = 33        // rows of the integer volume tables (levels 0..32)
};

// Channel status.
enum {
    dsmChStopped = 0,
    dsmChEnded = 1,  // ended, or about to start
    dsmChPlaying = 2,
    dsmChReleased = 3,  // key-off seen
    dsmChFading = 4     // shadow channel fading out
};

// One mixing channel. Positions and lengths in frames.
struct MixChannel {
    void *sample;        // first frame of the playing sample or stream buffer
    int sampleType;      // type as stored (picks the routine and frame size)
    int origSampleType;  // type as handed in (converts byte positions)
    int location;        // 0 = nothing to play
    unsigned length;
    int loopMode;
    unsigned loop1Start, loop1End;
    int loop1Type;
    unsigned loop2Start, loop2End;
    int loop2Type;
    unsigned playPos;         // integer playing position
    unsigned playPosLow;      // fraction of it, 0..0xFFFF
    unsigned streamWritePos;  // streams: frames up to which the buffer is valid
    unsigned rate;            // Hz; 0 = not mixed
    int direction;            // 1 forward, -1 backward
    unsigned sampleHandle;    // 1..1024; 1024 marks a stream
    int sampleChanged;        // the new sample is copied in at the next SetPosition
    int panning;              // -64..64, 128 = surround
    unsigned volume;          // 0..64
    int muted;
    int status;   // dsmCh...
    int loopNum;  // 1 or 2
    sdLoopCallback loopCallback;
    int leftVol, rightVol;  // current volumes, 16.16 on 0..64
    int leftVolTarget, rightVolTarget;
    int leftRampStep, rightRampStep;  // largest change per output frame, 16.16
    int ramping;
    // Kept by the mixing loop between the distance and end checks.
    int partner;       // interpolation partner offset of the segment
    unsigned prevPos;  // position when the distance was computed
};

// One sample slot. Lengths and loops in frames.
struct MixSample {
    void *sample;
    int sampleType;      // as stored (after a possible mu-law conversion)
    int origSampleType;  // as handed in
    int location;
    unsigned length;
    int loopMode;
    unsigned loop1Start, loop1End;
    int loop1Type;
    unsigned loop2Start, loop2End;
    int loop2Type;
    int inUse;
    int copied;  // the mixer owns the data and frees it on removal
};

// A post-processor: called on the whole mixing buffer after every channel is
// mixed. One function per buffer format; null = nothing in that format. The
// result is not examined.
typedef int (*dsmPostProcFunc)(void *buffer, unsigned frames, void *userData);
struct PostProcessor {
    PostProcessor *next, *prev;
    void *userData;
    dsmPostProcFunc floatMono, floatStereo, intMono, intStereo;
};

// A mixing routine: mixes count frames of the mixing context below, with
// the given interpolation partner offset (integer routines ignore it).
typedef void (*dsmMixFunc)(unsigned count, int partner);

// One entry of a routine table. The block routine mixes only multiples of
// blockSize frames (always with partner offset 1).
struct MixRoutine {
    unsigned alignment;   // destination alignment needed by the block routine: 1
    unsigned blockSize;   // 1, 2 or 4
    dsmMixFunc mixFrame;  // any count; null = no entry
    dsmMixFunc mixBlock;
    void (*prepare)(void);  // run at dsmInit when non-null
};

// Routine tables: three rows of nine, the nine indexed by sample type.
// Row 0 general, row 1 middle (panning 0), row 2 surround (panning 128).
enum { dsmRoutineRows = 3, dsmRoutineEntries = 27 };
extern MixRoutine dsmMixMonoFloat[dsmRoutineEntries];
extern MixRoutine dsmMixStereoFloat[dsmRoutineEntries];
extern MixRoutine dsmMixMonoFloatInterp[dsmRoutineEntries];
extern MixRoutine dsmMixStereoFloatInterp[dsmRoutineEntries];
extern MixRoutine dsmMixMonoInteger[dsmRoutineEntries];
extern MixRoutine dsmMixStereoInteger[dsmRoutineEntries];

// ---- Mixer state ----------------------------------------------------------

extern unsigned dsmMixRate;
extern unsigned dsmMode;
extern unsigned dsmMixBufferSize;  // bytes
extern void *dsmMixBuffer;         // int32 or float accumulators, 1024-aligned
extern unsigned dsmNumChannels;
extern unsigned dsmAllocatedChannels;  // 2 x dsmNumChannels when interpolating
extern MixChannel *dsmChannels;
extern int dsmChPlay;
extern MixSample *dsmSamples;      // dsmMaxSamples slots
extern unsigned dsmMasterVolume;   // 0..64
extern unsigned dsmAmplification;  // 64: one full channel reaches full scale
extern int dsmMuted, dsmPaused;
extern MixRoutine *dsmActMixRoutines;
extern int32_t *dsmVolumeTable;         // integer mode: 33 x 256, 8-bit data
extern int32_t *dsmUlawVolumeTable;     // integer mode: 33 x 256, mu-law codes
extern float *dsmByteFloatTable;        // float mode: 256, unsigned byte -> 16-bit scale
extern float *dsmUlawFloatTable;        // float mode: 256, mu-law code -> 16-bit scale
extern PostProcessor *dsmPostProcList;  // ring head
extern int dsmAutoFilterType;           // filter of output filter mode 3
extern int dsmOutputFilterMode;         // 0 none, 1, 2, 3 automatic; from dsmInit's options
extern int dsmVolumeRamping;            // interpolating mixing ramps volume changes
extern PostProcessor dsmFilters;        // the built-in output filter

// Processor check used by dsmInit; mCpuIsPPro unless a test replaces it.
extern int (*dsmCpuIsPPro)(void);

// ---- Mixing context (set by dsmMixChannel, used by the routines) ----------

extern void *dsmMixDest;          // next accumulator; advanced by the routines
extern const void *dsmMixSample;  // frame at the segment's start position
extern int32_t dsmMixSrcPos;      // 16.16 source offset from dsmMixSample
extern int32_t dsmMixStep;        // signed 16.16 step per output frame
extern float dsmMixLeftVolFloat, dsmMixRightVolFloat;
extern int32_t dsmMixLeftVolInt, dsmMixRightVolInt;
extern const int32_t *dsmMixLeftVolTable, *dsmMixRightVolTable;
extern const int32_t *dsmMixLeftUlawVolTable, *dsmMixRightUlawVolTable;

// ---- Set-up ----------------------------------------------------------------

// What the application's options ask of the mixer and the devices. The
// mixer takes them at dsmInit; it reads no configuration of the layers above.
struct MixOptions {
    int ulawAutoConvert = 1;       // integer mixing stores 16-bit samples as mu-law
    int outputFilterMode = 3;      // 0 none, 1, 2, 3 automatic (dsmAutoFilterType)
    int disableVolumeRamping = 0;  // nonzero: volume changes at once
    int preferredMixingMode = 0;   // 2: floating point when the mode leaves it open
    int oversampling = 0;          // devices: mix with interpolation
    int bufferLength = 500;        // the OSS device: milliseconds of staged output
};

// The options a device's Init starts the mixer with. The API fills it from
// its options before it starts a device; tests set it directly.
extern MixOptions dsmDeviceOptions;

int dsmInit(unsigned mixRate, unsigned mode, const MixOptions &options);
int dsmClose(void);
int dsmGetMixRate(unsigned *rate);

// ---- Channels and samples (sound-device slots 17 to 42, 46 to 50) --------

int dsmOpenChannels(unsigned channels);
int dsmCloseChannels(void);
int dsmClearChannels(void);
int dsmMute(int muted);
int dsmPause(int paused);
int dsmSetMasterVolume(unsigned volume);
int dsmGetMasterVolume(unsigned *volume);
int dsmSetAmplification(unsigned amplification);
int dsmGetAmplification(unsigned *amplification);
int dsmPlaySound(unsigned channel, unsigned rate);
int dsmReleaseSound(unsigned channel);
int dsmStopSound(unsigned channel);
int dsmSetRate(unsigned channel, unsigned rate);
int dsmGetRate(unsigned channel, unsigned *rate);
int dsmSetVolume(unsigned channel, unsigned volume);
int dsmGetVolume(unsigned channel, unsigned *volume);
int dsmSetSample(unsigned channel, unsigned handle);
int dsmGetSample(unsigned channel, unsigned *handle);
int dsmSetPosition(unsigned channel, unsigned position);   // bytes
int dsmGetPosition(unsigned channel, unsigned *position);  // bytes
int dsmGetDirection(unsigned channel, int *direction);
int dsmSetPanning(unsigned channel, int panning);
int dsmGetPanning(unsigned channel, int *panning);
int dsmMuteChannel(unsigned channel, int muted);
int dsmAddSample(SoundDeviceSample *sample, int copySample, unsigned *handle);
int dsmRemoveSample(unsigned handle);
int dsmStartStream(unsigned channel, void *buffer, unsigned bufferBytes, int sampleType,
                   unsigned rate);
int dsmStopStream(unsigned channel);
int dsmSetLoopCallback(unsigned channel, sdLoopCallback callback);
int dsmSetStreamWritePosition(unsigned channel, unsigned position);  // bytes
int dsmPauseStream(unsigned channel, int paused);

// Links pp at the front (where = 0) or the back (where = 1) of the ring.
int dsmAddPostProcessor(PostProcessor *pp, int where, void *userData);
int dsmRemovePostProcessor(PostProcessor *pp);

// Click-free restarts (interpolating mode with ramping): the old sound moves
// to the channel's shadow and fades out; the channel ramps up.
int dsmFadeOut(unsigned channel);
int dsmFadeIn(unsigned channel);

// Copies the channel's selected sample slot into it (pending sample change).
void dsmChangeSample(MixChannel *chan);

// Applies the channel volume rule (volume, panning, mutes, master volume).
void dsmSetChannelVolume(MixChannel *chan);

// ---- Device records --------------------------------------------------------

// What a device built on the mixer states for itself: its data words and the
// operations that reach its output. dsmDevice fills in everything else.
struct MixDeviceOwn {
    unsigned playOncePerPoll;
    unsigned configFlags;
    unsigned modes;  // output modes (sdMono...)
    const char *name;
    const char *const *cardNames;
    int (*Detect)(int *result);
    int (*Init)(unsigned mixRate, unsigned mode);
    int (*Close)(void);
    int (*GetMode)(unsigned *mode);
    int (*SetUpdRate)(unsigned updateRate);
    int (*StartPlay)(void);
    int (*Play)(int *callPlayer);
};

// The record of a device on the mixer: own's fields; one card type (card 1)
// with no port, IRQ or DMA; and the mixer's channel, sample and stream
// operations in every other slot. Constant, so a device record built from it
// is initialised before any code runs.
constexpr SoundDevice dsmDevice(const MixDeviceOwn &own)
{
    SoundDevice d{};
    d.playOncePerPoll = own.playOncePerPoll;
    d.configFlags = own.configFlags;
    d.card = 1;
    d.numCardTypes = 1;
    d.modes = own.modes;
    d.name = own.name;
    d.cardNames = own.cardNames;
    d.Detect = own.Detect;
    d.Init = own.Init;
    d.Close = own.Close;
    d.GetMixRate = dsmGetMixRate;
    d.GetMode = own.GetMode;
    d.OpenChannels = dsmOpenChannels;
    d.CloseChannels = dsmCloseChannels;
    d.ClearChannels = dsmClearChannels;
    d.Mute = dsmMute;
    d.Pause = dsmPause;
    d.SetMasterVolume = dsmSetMasterVolume;
    d.GetMasterVolume = dsmGetMasterVolume;
    d.SetAmplification = dsmSetAmplification;
    d.GetAmplification = dsmGetAmplification;
    d.PlaySound = dsmPlaySound;
    d.ReleaseSound = dsmReleaseSound;
    d.StopSound = dsmStopSound;
    d.SetRate = dsmSetRate;
    d.GetRate = dsmGetRate;
    d.SetVolume = dsmSetVolume;
    d.GetVolume = dsmGetVolume;
    d.SetSample = dsmSetSample;
    d.GetSample = dsmGetSample;
    d.SetPosition = dsmSetPosition;
    d.GetPosition = dsmGetPosition;
    d.GetDirection = dsmGetDirection;
    d.SetPanning = dsmSetPanning;
    d.GetPanning = dsmGetPanning;
    d.MuteChannel = dsmMuteChannel;
    d.AddSample = dsmAddSample;
    d.RemoveSample = dsmRemoveSample;
    d.SetUpdRate = own.SetUpdRate;
    d.StartPlay = own.StartPlay;
    d.Play = own.Play;
    d.StartStream = dsmStartStream;
    d.StopStream = dsmStopStream;
    d.SetLoopCallback = dsmSetLoopCallback;
    d.SetStreamWritePosition = dsmSetStreamWritePosition;
    d.PauseStream = dsmPauseStream;
    return d;
}

// ---- Shared by the mixer's units ------------------------------------------

extern int dsmUlawConvert;              // integer mixing stores 16-bit samples as mu-law
unsigned dsmFrameShift(int type);       // bytes per frame of a sample type, as a shift
int dsmCheckChannel(unsigned channel);  // 0 or errInvalidChanNumber
int dsmCheckHandle(unsigned handle);    // 0 or errInvalidSampleHandle

// ---- Mixing and conversion ------------------------------------------------

// Mixes frames output frames into dest in the output format. Returns 0.
int dsmMixData(unsigned frames, void *dest);
// Adds one channel's sound to the first frames of buffer. Returns 0.
int dsmMixChannel(unsigned channel, MixRoutine *routines, unsigned frames, void *buffer);
void dsmClearBufferInt(unsigned frames);
void dsmClearBufferFloat(unsigned frames);
void dsmConvertInt8(unsigned values, void *dest);
void dsmConvertFloat8(unsigned values, void *dest);
void dsmConvertInt16(unsigned values, void *dest);
void dsmConvertFloat16(unsigned values, void *dest);

// ---- Output filters (the built-in post-processor) --------------------------

int dsmFilterFloatMono(void *buffer, unsigned frames, void *userData);
int dsmFilterFloatStereo(void *buffer, unsigned frames, void *userData);
int dsmFilterIntMono(void *buffer, unsigned frames, void *userData);
int dsmFilterIntStereo(void *buffer, unsigned frames, void *userData);
void dsmFilterFloatMono1(float *buffer, unsigned frames);
void dsmFilterFloatStereo1(float *buffer, unsigned frames);
void dsmFilterIntMono1(int32_t *buffer, unsigned frames);
void dsmFilterIntStereo1(int32_t *buffer, unsigned frames);
// Forgets the filters' previous inputs (dsmInit calls it).
void dsmResetFilters(void);

// ---- Processor check (cputype) ----------------------------------------------

// 1 on a Pentium Pro class processor: CPUID present, vendor "GenuineIntel",
// highest function at least 1 and family 6 or more.
int mCpuIsPPro(void);
// The same decision from CPUID results (vendor as 12 bytes EBX, EDX, ECX).
int mCpuIsPProFrom(int hasCpuid, const char vendor[12], unsigned maxFunction,
                   unsigned function1Eax);
