/* The public interface of the sound library: start-up and shut-down, output
 * options, music modules and their playing, channels, and the music-sync
 * callback.
 *
 * Results: functions return 1 (TRUE) for success and 0 (FALSE) for failure,
 * or a handle, count or status that is 0 (0xFFFF for channel numbers) on
 * failure. The error code of the last failure is kept for MIDASgetLastError;
 * success never clears it.
 *
 * Handles: every call looks the handle it is given up among the live ones
 * of its kind before it touches anything. 0/NULL, a value never handed out,
 * one already stopped or freed, or one of another kind fails the call: error
 * 22 for modules, streams, echo effects and post-processors, 47 for songs, 19
 * for samples and sample plays. Stopping or freeing 0/NULL does nothing and
 * succeeds. Before MIDASinit and after MIDASclose the calls that need the
 * sound device fail with 21; MIDASclose stops and frees whatever is left.
 * MIDASstartup, MIDASinit and MIDASstartBackgroundPlay while already done
 * fail with 41 and change nothing.
 *
 * Threads: the application makes every call from one thread. The player
 * thread (MIDASstartBackgroundPlay) polls the sound device; the calls that
 * change player, channel or device state hold the poll lock, which
 * MIDASlock/MIDASunlock also take, so several calls can be grouped. The sync
 * callback runs on the player thread with the lock held: it must not wait
 * for the application thread.
 *
 * This header is self-contained and usable from C and C++. */
#ifndef Q5SOUND_MIDASDLL_H
#define Q5SOUND_MIDASDLL_H

#ifdef __cplusplus
extern "C" {
#endif

/* A loaded module, owned by the application until MIDASfreeModule. */
typedef struct ModuleRecord *MIDASmodule;
/* A playing song: 1..16; 0 is never a valid handle. */
typedef int MIDASmodulePlayHandle;

/* Options of MIDASsetOption / MIDASgetOption. Set them after MIDASstartup
 * and before MIDASinit (the stereo separation before loading a module). */
enum {
    MIDAS_OPTION_MIXRATE = 1,          /* Hz, default 44100 */
    MIDAS_OPTION_OUTPUTMODE = 2,       /* 1 mono, 2 stereo, 4 8-bit, 8 16-bit; 0 default */
    MIDAS_OPTION_MIXBUFLEN = 3,        /* output buffer, ms, default 500 */
    MIDAS_OPTION_MIXBUFBLOCKS = 4,
    MIDAS_OPTION_DSOUND_MODE = 5,
    MIDAS_OPTION_DSOUND_HWND = 6,
    MIDAS_OPTION_DSOUND_OBJECT = 7,
    MIDAS_OPTION_DSOUND_BUFLEN = 8,
    MIDAS_OPTION_16BIT_ULAW_AUTOCONVERT = 9,
    MIDAS_OPTION_FILTER_MODE = 10,
    MIDAS_OPTION_OVERSAMPLING = 11,    /* 1 = interpolating mixing; any other value is 0 */
    MIDAS_OPTION_STEREO_SEPARATION = 12,
    MIDAS_OPTION_FORCE_NO_SOUND = 13   /* non-zero: the silent device */
};

typedef struct {
    char songName[32];       /* always NUL-terminated */
    unsigned songLength;     /* song positions */
    unsigned numPatterns;
    unsigned numInstruments;
    unsigned numChannels;
} ModuleInfo;

typedef struct {
    char instName[32];       /* always NUL-terminated */
} InstrumentInfo;

typedef struct {
    unsigned position;
    unsigned pattern;
    unsigned row;
    unsigned syncInfo;       /* last music-sync argument; 0xFFFFFFFF before the first */
    unsigned songLoopCount;  /* times the song has wrapped */
} PlayStatus;

/* Called on the player thread for every music-sync command: its 8-bit
 * argument, the song position and the row. */
typedef void (*MIDASsyncCallback)(unsigned syncInfo, unsigned position, unsigned row);

int MIDASstartup(void);
int MIDASdetectSD(void);
int MIDASdetectSoundCard(void);
int MIDASinit(void);
int MIDASclose(void);
int MIDASsetOption(int option, int value);
int MIDASgetOption(int option);
int MIDASgetLastError(void);
const char *MIDASgetErrorMessage(int errorCode);
const char *MIDASgetVersionString(void);

int MIDASstartBackgroundPlay(unsigned pollRate);
int MIDASstopBackgroundPlay(void);
int MIDASpoll(void);
void MIDASlock(void);
void MIDASunlock(void);

int MIDASopenChannels(int numChannels);
int MIDAScloseChannels(void);
int MIDASsetAmplification(unsigned amplification);
unsigned MIDASallocateChannel(void);
int MIDASfreeChannel(unsigned channel);
/* A pool of numChannels channels that sample effects take in turn. */
int MIDASallocAutoEffectChannels(unsigned numChannels);
int MIDASfreeAutoEffectChannels(void);

MIDASmodule MIDASloadModule(const char *fileName);
MIDASmodulePlayHandle MIDASplayModule(MIDASmodule module, int loopSong);
MIDASmodulePlayHandle MIDASplayModuleSection(MIDASmodule module, int startPos, int endPos,
                                             int restartPos, int loopSong);
int MIDASstopModule(MIDASmodulePlayHandle playHandle);
int MIDASfreeModule(MIDASmodule module);
int MIDASgetPlayStatus(MIDASmodulePlayHandle playHandle, PlayStatus *status);
int MIDASsetPosition(MIDASmodulePlayHandle playHandle, int newPosition);
int MIDASsetMusicVolume(MIDASmodulePlayHandle playHandle, unsigned volume);
int MIDASfadeMusicChannel(MIDASmodulePlayHandle playHandle, unsigned channel, unsigned fade);
int MIDASgetModuleInfo(MIDASmodule module, ModuleInfo *info);
int MIDASgetInstrumentInfo(MIDASmodule module, int instNum, InstrumentInfo *info);
int MIDASsetMusicSyncCallback(MIDASmodulePlayHandle playHandle, MIDASsyncCallback callback);

/* Sound-effect samples. A sample handle is 0 on failure; a play handle is
 * the sample service's handle plus 1 (0 on failure). Channel 0xFFFF plays on
 * the automatic effect channels. */
typedef unsigned MIDASsample;
typedef unsigned MIDASsamplePlayHandle;
MIDASsample MIDASloadRawSample(const char *fileName, int sampleType, int loopSample);
MIDASsample MIDASloadWaveSample(const char *fileName, int loopSample);
int MIDASfreeSample(MIDASsample sample);
MIDASsamplePlayHandle MIDASplaySample(MIDASsample sample, unsigned channel, int priority,
                                      unsigned rate, unsigned volume, int panning);
int MIDASstopSample(MIDASsamplePlayHandle sample);
int MIDASsetSampleRate(MIDASsamplePlayHandle sample, unsigned rate);
int MIDASsetSampleVolume(MIDASsamplePlayHandle sample, unsigned volume);
int MIDASsetSamplePanning(MIDASsamplePlayHandle sample, int panning);
int MIDASsetSamplePriority(MIDASsamplePlayHandle sample, int priority);
int MIDASgetSamplePlayStatus(MIDASsamplePlayHandle sample);

/* Streams: a file, a WAVE file, or data the application feeds. Each takes
 * a channel of its own from the channel allocator. */
typedef struct strStream *MIDASstreamHandle;
MIDASstreamHandle MIDASplayStreamFile(const char *fileName, int sampleType, unsigned sampleRate,
                                      unsigned bufferLength, int loopStream);
MIDASstreamHandle MIDASplayStreamWaveFile(const char *fileName, unsigned bufferLength,
                                          int loopStream);
MIDASstreamHandle MIDASplayStreamPolling(int sampleType, unsigned sampleRate,
                                         unsigned bufferLength);
int MIDASstopStream(MIDASstreamHandle stream);
/* Bytes taken; with feedAll set waits (without the poll lock) until all fit. */
unsigned MIDASfeedStreamData(MIDASstreamHandle stream, unsigned char *data, unsigned numBytes,
                             int feedAll);
int MIDASsetStreamRate(MIDASstreamHandle stream, unsigned rate);
int MIDASsetStreamVolume(MIDASstreamHandle stream, unsigned volume);
int MIDASsetStreamPanning(MIDASstreamHandle stream, int panning);
unsigned MIDASgetStreamBytesBuffered(MIDASstreamHandle stream);
int MIDASpauseStream(MIDASstreamHandle stream);
int MIDASresumeStream(MIDASstreamHandle stream);

/* Echo effects: delays and gains in 16.16 fixed point, delays in ms. */
typedef struct {
    unsigned delay;
    int gain;
    int reverseChannels;
    unsigned filterType;  /* 0 none, 1 low-pass, 2 high-pass */
} MIDASecho;
typedef struct {
    int feedback;
    int gain;
    unsigned numEchoes;
    MIDASecho *echoes;
} MIDASechoSet;
typedef void *MIDASechoHandle;
MIDASechoHandle MIDASaddEchoEffect(MIDASechoSet *echoSet);
int MIDASremoveEchoEffect(MIDASechoHandle echoHandle);

/* Post-processors: called on the whole mixing buffer after the channels are
 * mixed, one function per buffer format (null: nothing in that format).
 * The record is linked into the mixer and must stay valid until removed. */
typedef int (*MIDASpostProcFunc)(void *buffer, unsigned frames, void *userData);
typedef struct MIDASpostProcessor {
    struct MIDASpostProcessor *next, *prev;
    void *userData;
    MIDASpostProcFunc floatMono, floatStereo, intMono, intStereo;
} MIDASpostProcessor;
enum { MIDAS_POST_PROC_FIRST = 0, MIDAS_POST_PROC_LAST = 1 };
int MIDASaddPostProcessor(MIDASpostProcessor *postProc, unsigned procMode, void *userData);
int MIDASremovePostProcessor(MIDASpostProcessor *postProc);

/* ---- Offline rendering, and what tools read of a song (our additions) ----
 *
 * MIDASrenderInit opens the library on a render target instead of an output
 * device: nothing is played aloud and nothing waits for a clock. Modules are
 * loaded and played with the usual calls; the application then pulls the
 * mixed output with MIDASrender, as fast as the CPU allows, into a buffer,
 * into a callback, or both. The player ticks exactly as it would on an
 * output device: each tick lasts mixing rate x 100 / (tempo x 40) frames,
 * the fraction carried on to the next tick (or, with MIDAS_RENDER_EVEN_TICKS,
 * rounded as the OSS device rounds it), so a render keeps the song's tempo
 * to the frame, and the same calls give the same frames every time.
 *
 * Output format: MIDAS_OPTION_MIXRATE (any rate the mixer takes, default
 * 44100 Hz) and MIDAS_OPTION_OUTPUTMODE (default 16-bit stereo), set after
 * MIDASstartup as for MIDASinit. Frames are interleaved (left, right in
 * stereo), 16-bit signed native-endian or 8-bit unsigned. MIDASclose ends
 * the render as it ends playing; MIDASpoll and the player thread do nothing
 * on a render target (only MIDASrender moves it on). */

/* MIDASrenderInit's flags: one mixing kind, plus any of the options. */
enum {
    MIDAS_RENDER_DEFAULT = 0,        /* the mixer's own choice, as MIDASinit makes it */
    MIDAS_RENDER_INTEGER = 1,        /* integer mixing */
    MIDAS_RENDER_FLOAT = 2,          /* floating-point mixing */
    MIDAS_RENDER_INTERPOLATE = 3,    /* floating point with linear interpolation */
    MIDAS_RENDER_EVEN_TICKS = 0x10,  /* ticks rounded up to an even frame count, the
                                        fraction dropped: the OSS device's timing */
    MIDAS_RENDER_SILENT = 0x20,      /* master volume 0: the mixer only moves the
                                        channels on (fast passes for timing) */
    MIDAS_RENDER_STOP_AT_PASS = 0x40 /* MIDASrender stops where a song completes a
                                        pass (see MIDASsongState.passes) */
};

/* Receives every piece of mixed output: bytes (whole frames) of PCM in the
 * output format. Return 1 if it was taken, 0 on failure: MIDASrender then
 * fails with error 31 ("Unable to write file"). Called on the thread that
 * calls MIDASrender, with the poll lock held: it must not call the API. */
typedef int (*MIDASrenderCallback)(const void *pcm, unsigned bytes, void *userData);

/* Starts the library on a render target, as MIDASinit starts it on a
 * device (call MIDASstartup and set options first). flags: one
 * MIDAS_RENDER_ mixing kind ORed with options; callback may be NULL (then
 * only MIDASrender's buffer receives the output). TRUE on success; FALSE
 * with 22 for unknown flags, 41 when the library is already initialised,
 * or the mixer's code (2 "Out of memory"). Application thread. */
int MIDASrenderInit(int flags, MIDASrenderCallback callback, void *userData);

/* Mixes up to `frames` frames, playing the songs on tick by tick. Each
 * piece goes to `buffer` (room for frames x frame size bytes; may be NULL)
 * and to the callback. *rendered (may be NULL) gets the frames mixed.
 * Fewer than `frames` are mixed only with MIDAS_RENDER_STOP_AT_PASS, when a
 * song completes a pass inside the request: the render stops at the tick
 * boundary where it does, before the first row of the next pass is read
 * (its sync callbacks have not run); the next call goes on from there.
 * TRUE on success; FALSE with 21 when the library was not opened by
 * MIDASrenderInit, 31 when the callback failed, or the player's code.
 * Holds the poll lock; sync callbacks run inside it, on this thread. */
int MIDASrender(void *buffer, unsigned frames, unsigned *rendered);

typedef struct {
    unsigned long long frames;  /* frames mixed since MIDASrenderInit */
    unsigned mixRate;           /* Hz */
    unsigned outputMode;        /* 1 mono or 2 stereo, plus 4 8-bit or 8 16-bit */
} MIDASrenderInfo;

/* The render's progress and format. FALSE with 21 when not rendering, 22
 * for a NULL info. In a sync callback, frames is the frame at which the row
 * carrying the sync command starts. Any thread; takes the poll lock. */
int MIDASgetRenderInfo(MIDASrenderInfo *info);

/* Where a playing song is. */
typedef struct {
    unsigned position;        /* in the order list */
    unsigned pattern;
    unsigned row;
    unsigned speed;           /* ticks per row */
    unsigned tempo;           /* BPM */
    unsigned passes;          /* completed passes through the song (below) */
    unsigned numChannels;     /* module channels, at most 64 in volume[] */
    unsigned char volume[64]; /* each channel's output volume, 0..64 */
} MIDASsongState;

/* A song completes a pass where it comes round: when the row it is about to
 * read is one it has read before in the same pattern-loop state (the song's
 * running pattern loop and every channel's). From there it can only play
 * what it already played, whether it got there by the end of the order
 * list, a jump back, or a jump to its own position; a pattern loop or a
 * jump that a running loop leads on stays inside the pass. passes counts
 * the rows at which that happened since the song started, as the player
 * reached them (rendering or playing). FALSE with 47 for a handle that is
 * not playing, 22 for a NULL state. Takes the poll lock. */
int MIDASgetSongState(MIDASmodulePlayHandle playHandle, MIDASsongState *state);

typedef struct {
    char format[8];           /* "MOD", "S3M", "XM" or "IT" */
    unsigned numSamples;      /* sample slots of the module */
} MIDASmoduleFormat;

/* The file format a module was loaded from. FALSE with 22 for a module that
 * is not loaded or a NULL format. No lock. */
int MIDASgetModuleFormat(MIDASmodule module, MIDASmoduleFormat *format);

/* Pauses (non-zero) or resumes (0) all output: no channel is mixed or moves
 * on while paused; the player still ticks. FALSE with 21 before MIDASinit.
 * Takes the poll lock. */
int MIDASpause(int paused);

/* The name of the device the library opened ("File Sink Sound Device" when
 * rendering); NULL with error 21 before MIDASinit. No lock. */
const char *MIDASgetDeviceName(void);

/* ---- Module contents for tools (modtool info) ---- */
typedef struct {
    char name[32];           /* always NUL-terminated; empty for an empty slot */
    unsigned length;         /* frames of sample data, 0 for an empty slot */
    int looped;              /* 1 when the sample has a loop */
} MIDASsampleInfo;

/* The sample in slot sampleNum (0 to the module's sample count - 1, see
 * MIDASgetModuleFormat). FALSE with 22 for a module that is not loaded, a
 * slot out of range or a NULL info. No lock. */
int MIDASgetSampleInfo(MIDASmodule module, int sampleNum, MIDASsampleInfo *info);
/* ---- end of module contents for tools ---- */

#ifdef __cplusplus
}
#endif

#endif
