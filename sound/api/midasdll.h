/* The public interface of the sound library: start-up and shut-down, output
 * options, music modules and their playing, channels, the music-sync
 * callback, sound-effect samples, streams, echo effects and post-processors,
 * and (our additions, marked so below) offline rendering and the calls tools
 * need to show a song or a sound file.
 *
 * Results: functions return 1 (TRUE) for success and 0 (FALSE) for failure,
 * or a handle, count or status that is 0 (0xFFFF for channel numbers) on
 * failure. The error code of the last failure (MIDAS_ERR_ below) is kept for
 * MIDASgetLastError; success never clears it. The library never prints and
 * never ends the process, except through the fatal-error path of the player
 * thread (a failure while polling in the background: the sound system is
 * shut down and "MIDAS Error: " and the message go to standard error, exit
 * status 1).
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
 * thread (MIDASstartBackgroundPlay) polls the sound device; the calls marked
 * "Lock" below hold the poll lock for their whole run, which MIDASlock and
 * MIDASunlock also take, so several calls can be grouped. The lock is
 * recursive. The sync callback and post-processors run on the player thread
 * (or in MIDASpoll / MIDASrender, on the caller's) with the lock held: they
 * must not wait for the application thread.
 *
 * Units: rates in Hz, volumes 0..64 (64 = full), panning -64 (left) .. 64
 * (right), 0 middle, 128 surround; buffer lengths in milliseconds.
 *
 * This header is self-contained and usable from C and C++. */
#ifndef Q5SOUND_MIDASDLL_H
#define Q5SOUND_MIDASDLL_H

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Error codes: MIDASgetLastError, MIDASgetErrorMessage ---- */
/* The numbers are fixed; the rows no path of this library produces (EMS,
 * DMA, DPMI, DirectSound) keep their numbers too. */
enum {
    MIDAS_ERR_OK = 0,                         /* "OK" */
    MIDAS_ERR_UNDEFINED = 1,                  /* "Undefined error" */
    MIDAS_ERR_OUT_OF_MEMORY = 2,              /* "Out of memory" */
    MIDAS_ERR_HEAP_CORRUPTED = 3,             /* "Heap corrupted" */
    MIDAS_ERR_INVALID_BLOCK = 4,              /* "Invalid memory block" */
    MIDAS_ERR_OUT_OF_EMS = 5,                 /* "Out of EMS memory" */
    MIDAS_ERR_EMS_HEAP_CORRUPTED = 6,         /* "EMS memory heap corrupted" */
    MIDAS_ERR_INVALID_EMS_BLOCK = 7,          /* "Invalid EMS memory block" */
    MIDAS_ERR_EMM_FAILURE = 8,                /* "Expanded Memory Manager failure" */
    MIDAS_ERR_OUT_OF_CARD_MEMORY = 9,         /* "Out of soundcard memory" */
    MIDAS_ERR_CARD_HEAP_CORRUPTED = 10,       /* "Soundcard memory heap corrupted" */
    MIDAS_ERR_INVALID_CARD_BLOCK = 11,        /* "Invalid soundcard memory block" */
    MIDAS_ERR_NO_SAMPLE_HANDLES = 12,         /* "Out of sample handles" */
    MIDAS_ERR_FILE_OPEN = 13,                 /* "Unable to open file" */
    MIDAS_ERR_FILE_READ = 14,                 /* "Unable to read file" */
    MIDAS_ERR_INVALID_MODULE = 15,            /* "Invalid module file" */
    MIDAS_ERR_INVALID_INST = 16,              /* "Invalid instrument in module" */
    MIDAS_ERR_INVALID_PATT = 17,              /* "Invalid pattern data in module" */
    MIDAS_ERR_INVALID_CHAN_NUMBER = 18,       /* "Invalid channel number" */
    MIDAS_ERR_INVALID_SAMPLE_HANDLE = 19,     /* "Invalid sample handle" */
    MIDAS_ERR_NO_CHANNELS = 20,               /* "Sound Device channels not open" */
    MIDAS_ERR_SD_FAILURE = 21,                /* "Sound Device hardware failure" */
    MIDAS_ERR_INVALID_ARGUMENTS = 22,         /* "Invalid function arguments" */
    MIDAS_ERR_FILE_NOT_FOUND = 23,            /* "File does not exist" */
    MIDAS_ERR_INVALID_FILE_HANDLE = 24,       /* "Invalid file handle" */
    MIDAS_ERR_ACCESS_DENIED = 25,             /* "Access denied" */
    MIDAS_ERR_FILE_EXISTS = 26,               /* "File exists" */
    MIDAS_ERR_TOO_MANY_FILES = 27,            /* "Too many open files" */
    MIDAS_ERR_DISK_FULL = 28,                 /* "Disk full" */
    MIDAS_ERR_END_OF_FILE = 29,               /* "Unexpected end of file" */
    MIDAS_ERR_INVALID_PATH = 30,              /* "Invalid path" */
    MIDAS_ERR_FILE_WRITE = 31,                /* "Unable to write file" */
    MIDAS_ERR_VDS_LOCK = 32,                  /* "Unable to lock Virtual DMA buffer" */
    MIDAS_ERR_VDS_UNAVAILABLE = 33,           /* "Unable to use Virtual DMA Services" */
    MIDAS_ERR_VDS_VERSION = 34,               /* "Invalid Virtual DMA Service version" */
    MIDAS_ERR_DPMI_FAILURE = 35,              /* "DPMI failure" */
    MIDAS_ERR_INVALID_DESCRIPTOR = 36,        /* "Invalid segment descriptor" */
    MIDAS_ERR_OUT_OF_RESOURCES = 37,          /* "Out of system resources" */
    MIDAS_ERR_INVALID_DEVICE = 38,            /* "Invalid device used" */
    MIDAS_ERR_UNSUPPORTED = 39,               /* "Unsupported function used" */
    MIDAS_ERR_DEVICE_NOT_AVAILABLE = 40,      /* "Device is not available" */
    MIDAS_ERR_DEVICE_BUSY = 41,               /* "Device is busy" */
    MIDAS_ERR_BAD_MODE = 42,                  /* "Unsupported output mode used" */
    MIDAS_ERR_UNABLE_TO_LOCK = 43,            /* "Unable to lock memory" */
    MIDAS_ERR_NO_WINDOW_HANDLE = 44,          /* "DirectSound Window Handle not set" */
    MIDAS_ERR_INVALID_ADPCM = 45,             /* "Invalid ADPCM data" */
    MIDAS_ERR_INVALID_SAMPLE_TYPE = 46,       /* "Invalid sample type" */
    MIDAS_ERR_NO_MODULE_PLAYING = 47,         /* "No module is being played" */
    MIDAS_ERR_OUT_OF_CHANNELS = 48,           /* "Out of sound channels" */
    MIDAS_ERR_NO_DIRECT_SOUND_LIB = 49,       /* "Couldn't load dsound.dll" */
    MIDAS_ERR_BAD_WAVE = 50,                  /* "Bad WAVE file" */
    MIDAS_ERR_UNSUPPORTED_SAMPLE_FORMAT = 51, /* "Unsupported sample data format" */
    MIDAS_ERR_NUM_CODES = 52
};

/* ---- Sample types: MIDASloadRawSample, the stream calls ---- */
enum {
    MIDAS_SAMPLE_NONE = 0,         /* no data */
    MIDAS_SAMPLE_8BIT_MONO = 1,    /* unsigned, 128 = silence; 1 byte a frame */
    MIDAS_SAMPLE_16BIT_MONO = 2,   /* signed, native byte order; 2 bytes */
    MIDAS_SAMPLE_8BIT_STEREO = 3,  /* unsigned, left then right; 2 bytes */
    MIDAS_SAMPLE_16BIT_STEREO = 4, /* signed, left then right; 4 bytes */
    MIDAS_SAMPLE_ADPCM_MONO = 5,   /* 4-bit block ADPCM: streams only */
    MIDAS_SAMPLE_ADPCM_STEREO = 6, /* 4-bit block ADPCM: streams only */
    MIDAS_SAMPLE_ULAW_MONO = 7,    /* one mu-law code a frame */
    MIDAS_SAMPLE_ULAW_STEREO = 8   /* two mu-law codes a frame */
};

/* A loaded module, owned by the application until MIDASfreeModule. */
typedef struct ModuleRecord *MIDASmodule;
/* A playing song: 1..16; 0 is never a valid handle. */
typedef int MIDASmodulePlayHandle;

/* Options of MIDASsetOption / MIDASgetOption. Set them after MIDASstartup
 * and before MIDASinit (the stereo separation before loading a module). */
enum {
    MIDAS_OPTION_MIXRATE = 1,                /* Hz, default 44100 */
    MIDAS_OPTION_OUTPUTMODE = 2,             /* 1 mono, 2 stereo, 4 8-bit, 8 16-bit; 0 default */
    MIDAS_OPTION_MIXBUFLEN = 3,              /* output buffer, ms, default 500 */
    MIDAS_OPTION_MIXBUFBLOCKS = 4,           /* stored only */
    MIDAS_OPTION_DSOUND_MODE = 5,            /* stored only */
    MIDAS_OPTION_DSOUND_HWND = 6,            /* stored only */
    MIDAS_OPTION_DSOUND_OBJECT = 7,          /* stored only */
    MIDAS_OPTION_DSOUND_BUFLEN = 8,          /* stored only */
    MIDAS_OPTION_16BIT_ULAW_AUTOCONVERT = 9, /* non-zero (default 1): integer mixing keeps
                                                16-bit samples as mu-law */
    MIDAS_OPTION_FILTER_MODE = 10,       /* output filter: 0 none, 1 or 2, 3 automatic (default) */
    MIDAS_OPTION_OVERSAMPLING = 11,      /* 1 = interpolating mixing; any other value is 0 */
    MIDAS_OPTION_STEREO_SEPARATION = 12, /* 0..64 for MOD and S3M channels, default 64 */
    MIDAS_OPTION_FORCE_NO_SOUND = 13     /* non-zero: the silent device */
};

typedef struct {
    char songName[32];   /* always NUL-terminated */
    unsigned songLength; /* song positions */
    unsigned numPatterns;
    unsigned numInstruments;
    unsigned numChannels;
} ModuleInfo;

typedef struct {
    char instName[32]; /* always NUL-terminated */
} InstrumentInfo;

typedef struct {
    unsigned position;
    unsigned pattern;
    unsigned row;
    unsigned syncInfo;      /* last music-sync argument; 0xFFFFFFFF before the first */
    unsigned songLoopCount; /* times the song has wrapped */
} PlayStatus;

/* Called on the player thread for every music-sync command: its 8-bit
 * argument, the song position and the row. */
typedef void (*MIDASsyncCallback)(unsigned syncInfo, unsigned position, unsigned row);

/* ---- Start-up and shut-down ---- */

/* Resets every option to its default and forgets all state. Call it first,
 * once per start: FALSE with 41 while the library or its thread runs
 * (MIDASclose first). */
int MIDASstartup(void);
/* Detects the output device: the OSS device ("/dev/dsp" or its ALSA
 * stand-in), else the silent device. TRUE unless a detection failed. */
int MIDASdetectSD(void);
/* MIDASdetectSD; TRUE when it succeeded. */
int MIDASdetectSoundCard(void);
/* Opens the device (detected, or the silent one with
 * MIDAS_OPTION_FORCE_NO_SOUND), the player, and the sample and stream
 * services. FALSE with 41 when already done, 21 when no device opens, 40
 * ("Device is not available"), or the device's code; a partial start is
 * undone by MIDASclose. Lock. */
int MIDASinit(void);
/* Stops the thread, every song, stream, sample and echo, frees the modules
 * left, and closes the device: the library is as after MIDASstartup. FALSE
 * with the first failing step's code. Lock (after the thread has stopped). */
int MIDASclose(void);
/* Stores an option (MIDAS_OPTION_); unknown numbers are ignored. TRUE. */
int MIDASsetOption(int option, int value);
/* The option's value; 0 for unknown numbers. */
int MIDASgetOption(int option);
/* The code of the last failure (MIDAS_ERR_), 0 when nothing failed yet. */
int MIDASgetLastError(void);
/* The message of a code; codes outside 0..51 get "Undefined error". The
 * text is constant and lives as long as the program. */
const char *MIDASgetErrorMessage(int errorCode);
/* The library's version, "1.1.2". */
const char *MIDASgetVersionString(void);

/* ---- Polling and the player thread ---- */

/* Starts the player thread, which sleeps (1000 / pollRate) / 2 ms between
 * polls (integer division; 20 ms for 0, none from 501 on), at real-time
 * priority when the process may have it. FALSE with 41 when it runs. */
int MIDASstartBackgroundPlay(unsigned pollRate);
/* Stops the player thread and returns once it has ended. TRUE. */
int MIDASstopBackgroundPlay(void);
/* One poll on the caller's thread: mixes what the device can take and plays
 * the player ticks due. Does nothing before MIDASinit. TRUE. Lock. */
int MIDASpoll(void);
/* Take and release the poll lock, to group calls the player thread must not
 * see half done. Recursive; every MIDASlock needs its MIDASunlock. */
void MIDASlock(void);
void MIDASunlock(void);

/* ---- Channels ---- */

/* Opens 1..512 device channels (songs and effects share them). FALSE with
 * 21 before MIDASinit, 22 for a count out of range, 41 while a song or
 * stream plays on the open ones, or the device's code. Lock. */
int MIDASopenChannels(int numChannels);
/* Closes the channels. FALSE with 20 when none are open, 41 while a song
 * or stream plays on them. Lock. */
int MIDAScloseChannels(void);
/* Output amplification in percent of the device's default for the open
 * channel count (100 = default); kept across MIDASopenChannels. Lock. */
int MIDASsetAmplification(unsigned amplification);
/* Takes the lowest free channel: its number, or 0xFFFF with 20 (no channels
 * open) or 48 (all taken). Lock. */
unsigned MIDASallocateChannel(void);
/* Gives a channel back. FALSE with 20 when no channels are open, 18 for a
 * number not below the open count. Lock. */
int MIDASfreeChannel(unsigned channel);
/* A pool of numChannels channels that sample effects take in turn (channel
 * 0xFFFF in MIDASplaySample); replaces an earlier pool. FALSE with 4 for 0,
 * 20 with no channels open, 48 when fewer are free. Lock. */
int MIDASallocAutoEffectChannels(unsigned numChannels);
/* Stops the pool's sounds and drops the pool (the channels stay taken).
 * TRUE. Lock. */
int MIDASfreeAutoEffectChannels(void);

/* ---- Modules and songs ---- */

/* Loads an XM, S3M, IT or MOD file (chosen from its first 48 bytes; all
 * else is tried as MOD); its samples go to the device. NULL with 21 before
 * MIDASinit, 22 for a NULL name, the file's code (13, 23, 29 for a file
 * under 48 bytes, ...) or the loader's (15 "Invalid module file", 16, 17,
 * 2). Leaves no file open. No lock (safe while the player thread plays). */
MIDASmodule MIDASloadModule(const char *fileName);
/* Plays the whole module: MIDASplayModuleSection(module, -1, -1, -1,
 * loopSong). */
MIDASmodulePlayHandle MIDASplayModule(MIDASmodule module, int loopSong);
/* Plays positions startPos..endPos, restarting at restartPos (-1: the
 * module's own), looping when loopSong is non-zero. Opens as many channels
 * as the module has when none are open (and closes them with the song),
 * else takes them from the open ones. The handle (1..16), or 0 with 22 for
 * a module not loaded, 37 with 16 songs playing, 48 when channels run
 * short, or the player's code. Lock. */
MIDASmodulePlayHandle MIDASplayModuleSection(MIDASmodule module, int startPos, int endPos,
                                             int restartPos, int loopSong);
/* Stops a song and frees its channels. FALSE with 47 for a handle that is
 * not playing. Lock. */
int MIDASstopModule(MIDASmodulePlayHandle playHandle);
/* Stops the module's songs and frees it and its samples. FALSE with 22 for
 * a module not loaded. Lock. */
int MIDASfreeModule(MIDASmodule module);
/* The song's position, pattern, row, last sync argument and wrap count.
 * FALSE with 47 for a handle not playing, 22 for a NULL status. Lock. */
int MIDASgetPlayStatus(MIDASmodulePlayHandle playHandle, PlayStatus *status);
/* Jumps to a song position (0 .. song length - 1). FALSE with 47 for a
 * handle not playing, or the player's code. Lock. */
int MIDASsetPosition(MIDASmodulePlayHandle playHandle, int newPosition);
/* The song's master volume, 0..64. FALSE with 47. Lock. */
int MIDASsetMusicVolume(MIDASmodulePlayHandle playHandle, unsigned volume);
/* Fades one module channel to fade (0..64). FALSE with 47, or 18 for a
 * channel not below the song's channel count. Lock. */
int MIDASfadeMusicChannel(MIDASmodulePlayHandle playHandle, unsigned channel, unsigned fade);
/* Name, song length, patterns, instruments and channels of a module. FALSE
 * with 22 for a module not loaded or a NULL info. No lock. */
int MIDASgetModuleInfo(MIDASmodule module, ModuleInfo *info);
/* The name of instrument instNum (0 .. numInstruments - 1). FALSE with 22
 * for a module not loaded, a number out of range or a NULL info. No lock. */
int MIDASgetInstrumentInfo(MIDASmodule module, int instNum, InstrumentInfo *info);
/* Calls callback for every music-sync command the song plays; NULL turns
 * it off. FALSE with 47. Lock. The callback runs with the lock held. */
int MIDASsetMusicSyncCallback(MIDASmodulePlayHandle playHandle, MIDASsyncCallback callback);

/* ---- Sound-effect samples ----
 * A sample handle is 0 on failure; a play handle is the sample service's
 * handle plus 1 (0 on failure). Channel 0xFFFF plays on the automatic effect
 * channels, which are taken in turn: a newer play there supersedes an older
 * one, whose handle then does nothing (and succeeds). */
typedef unsigned MIDASsample;
typedef unsigned MIDASsamplePlayHandle;
/* Loads a whole file as sample data of sampleType (MIDAS_SAMPLE_), looping
 * over all of it when loopSample is non-zero. 0 with 21 before MIDASinit,
 * 22 for a NULL name, the file's code, 2, or 12 when the device's 1024
 * sample slots are full. No lock. */
MIDASsample MIDASloadRawSample(const char *fileName, int sampleType, int loopSample);
/* Loads the data of a RIFF WAVE file (8- or 16-bit PCM, mono or stereo).
 * As MIDASloadRawSample; 50 ("Bad WAVE file") or 51 for what is not such a
 * file. No lock. */
MIDASsample MIDASloadWaveSample(const char *fileName, int loopSample);
/* Frees a sample. FALSE with 19 for a handle not loaded. Lock. */
int MIDASfreeSample(MIDASsample sample);
/* Plays a sample on channel (or 0xFFFF) at rate Hz, volume 0..64, panning
 * -64..64 or 128; priority is stored only. The play handle, or 0 with 19
 * for a sample not loaded, 20 with no channels open (or no automatic pool
 * for 0xFFFF), 18 for a channel not open. Lock. */
MIDASsamplePlayHandle MIDASplaySample(MIDASsample sample, unsigned channel, int priority,
                                      unsigned rate, unsigned volume, int panning);
/* Stops a play. FALSE with 19 for a handle never handed out. Lock. */
int MIDASstopSample(MIDASsamplePlayHandle sample);
/* Change a play's rate (Hz), volume (0..64), panning or stored priority.
 * FALSE with 19 for a handle never handed out. Lock. */
int MIDASsetSampleRate(MIDASsamplePlayHandle sample, unsigned rate);
int MIDASsetSampleVolume(MIDASsamplePlayHandle sample, unsigned volume);
int MIDASsetSamplePanning(MIDASsamplePlayHandle sample, int panning);
int MIDASsetSamplePriority(MIDASsamplePlayHandle sample, int priority);
/* 1 while the play sounds, else 0 (also 0 with 19 for a bad handle). Lock. */
int MIDASgetSamplePlayStatus(MIDASsamplePlayHandle sample);

/* ---- Streams ----
 * A file, a WAVE file's data, or data the application feeds, played through
 * a ring buffer of bufferLength ms on a channel of its own from the channel
 * allocator (at most 32 streams). File streams have a writer thread each
 * that keeps the buffer filled without the poll lock. */
typedef struct strStream *MIDASstreamHandle;
/* Streams a whole file of sampleType (MIDAS_SAMPLE_, ADPCM included) at
 * sampleRate Hz, from its start again at its end when loopStream is
 * non-zero (else silence after it). NULL with 22 for a NULL name, 20 or 48
 * from the channel allocator, 46 for a bad type, 37 with 32 streams, or the
 * file's code. Lock. */
MIDASstreamHandle MIDASplayStreamFile(const char *fileName, int sampleType, unsigned sampleRate,
                                      unsigned bufferLength, int loopStream);
/* Streams the data of a RIFF WAVE file at its own type and rate. As
 * MIDASplayStreamFile; 50 or 51 for a file that is not one. Lock. */
MIDASstreamHandle MIDASplayStreamWaveFile(const char *fileName, unsigned bufferLength,
                                          int loopStream);
/* A stream the application feeds with MIDASfeedStreamData. As
 * MIDASplayStreamFile. Lock. */
MIDASstreamHandle MIDASplayStreamPolling(int sampleType, unsigned sampleRate,
                                         unsigned bufferLength);
/* Stops a stream, ends its thread and frees its channel. FALSE with 22 for
 * a stream not playing. Lock. */
int MIDASstopStream(MIDASstreamHandle stream);
/* Writes up to numBytes of data (in the stream's type) into a polling
 * stream's buffer: the bytes taken, 0 with 22 for a bad stream or NULL data.
 * With feedAll non-zero it waits, a poll interval at a time and without the
 * lock, until all are taken; with 0 it takes what fits now, under the lock. */
unsigned MIDASfeedStreamData(MIDASstreamHandle stream, unsigned char *data, unsigned numBytes,
                             int feedAll);
/* Change a stream's rate (Hz), volume (0..64) or panning. FALSE with 22.
 * Lock. */
int MIDASsetStreamRate(MIDASstreamHandle stream, unsigned rate);
int MIDASsetStreamVolume(MIDASstreamHandle stream, unsigned volume);
int MIDASsetStreamPanning(MIDASstreamHandle stream, int panning);
/* Bytes of data in the buffer not played yet; 0 with 22 for a bad stream.
 * Lock. */
unsigned MIDASgetStreamBytesBuffered(MIDASstreamHandle stream);
/* Pause and resume a stream's playing. FALSE with 22. Lock. */
int MIDASpauseStream(MIDASstreamHandle stream);
int MIDASresumeStream(MIDASstreamHandle stream);

/* ---- Echo effects ----
 * A multi-tap delay line on the mixed output, with feedback. Gains and
 * feedback in 16.16 fixed point (65536 = 1.0), delays in ms as 16.16. */
typedef struct {
    unsigned delay;      /* 16.16 ms */
    int gain;            /* 16.16 */
    int reverseChannels; /* non-zero: left and right swapped in this tap */
    unsigned filterType; /* 0 none, 1 low-pass, 2 high-pass */
} MIDASecho;
typedef struct {
    int feedback; /* 16.16: share of the output fed back */
    int gain;     /* 16.16: gain applied to the output */
    unsigned numEchoes;
    MIDASecho *echoes;
} MIDASechoSet;
typedef void *MIDASechoHandle;
/* Adds an effect built from echoSet (copied; it need not stay valid). The
 * handle, or NULL with 21 before MIDASinit, 22 for a NULL set or one the
 * echo service refuses, or 2. Lock. */
MIDASechoHandle MIDASaddEchoEffect(MIDASechoSet *echoSet);
/* Removes an effect. TRUE also when no effect is active; FALSE with 22 for
 * a handle not active. Lock. */
int MIDASremoveEchoEffect(MIDASechoHandle echoHandle);

/* ---- Post-processors ----
 * Called on the mixing buffer after the channels are mixed and before the
 * conversion to the output format, once per piece of output, on the player
 * thread (or the caller's in MIDASpoll / MIDASrender) with the lock held.
 *
 * Buffer format: `frames` frames of accumulators at the 16-bit output's
 * scale (full scale is -32768..32767; values beyond it are clipped at the
 * conversion), left then right in stereo: 32-bit float values in
 * floating-point mixing (floatMono, floatStereo), 32-bit int values
 * (MIDASpostProcInt) in integer mixing (intMono, intStereo). A function may
 * change the values in place; its result is not examined. NULL: nothing is
 * done in that format. The record is linked into the mixer and must stay
 * valid until removed. */
typedef int MIDASpostProcInt;
typedef float MIDASpostProcFloat;
typedef int (*MIDASpostProcFunc)(void *buffer, unsigned frames, void *userData);
typedef struct MIDASpostProcessor {
    struct MIDASpostProcessor *next, *prev;
    void *userData;
    MIDASpostProcFunc floatMono, floatStereo, intMono, intStereo;
} MIDASpostProcessor;
enum { MIDAS_POST_PROC_FIRST = 0, MIDAS_POST_PROC_LAST = 1 };
/* Links postProc at the front of the mixer's ring (MIDAS_POST_PROC_FIRST:
 * before everything linked now, the echoes and the output filter included)
 * or at its back (LAST: after them); userData goes to its functions. FALSE with 21 before
 * MIDASinit, 22 for NULL, a record already linked or another procMode. Lock. */
int MIDASaddPostProcessor(MIDASpostProcessor *postProc, unsigned procMode, void *userData);
/* Unlinks it. FALSE with 22 for a record not linked. Lock. */
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
 * stereo), 16-bit signed native-endian or 8-bit unsigned. The mixing kind
 * comes from MIDASrenderInit's flags (MIDAS_OPTION_OVERSAMPLING is not
 * read). MIDASclose ends the render as it ends playing; MIDASpoll and the
 * player thread do nothing on a render target (only MIDASrender moves it
 * on). */

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
 * Fewer than `frames` are mixed only on failure, or with
 * MIDAS_RENDER_STOP_AT_PASS when a song completes a pass inside the
 * request: the render stops at the tick
 * boundary where it does, before the first row of the next pass is read
 * (its sync callbacks have not run); the next call goes on from there.
 * TRUE on success; FALSE with 21 when the library was not opened by
 * MIDASrenderInit, 31 when the callback failed, or the player's code.
 * Holds the poll lock; sync callbacks run inside it, on this thread. */
int MIDASrender(void *buffer, unsigned frames, unsigned *rendered);

typedef struct {
    unsigned long long frames; /* frames mixed since MIDASrenderInit */
    unsigned mixRate;          /* Hz */
    unsigned outputMode;       /* 1 mono or 2 stereo, plus 4 8-bit or 8 16-bit */
} MIDASrenderInfo;

/* The render's progress and format. FALSE with 21 when not rendering, 22
 * for a NULL info. In a sync callback, frames is the frame at which the row
 * carrying the sync command starts. Takes the poll lock. */
int MIDASgetRenderInfo(MIDASrenderInfo *info);

/* Where a playing song is. */
typedef struct {
    unsigned position; /* in the order list */
    unsigned pattern;
    unsigned row;
    unsigned speed;           /* ticks per row */
    unsigned tempo;           /* BPM */
    unsigned passes;          /* completed passes through the song (below) */
    unsigned numChannels;     /* the song's channels: its pattern channels, then the
                                 background channels of new-note actions (IT) */
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
    char format[8];      /* "MOD", "S3M", "XM" or "IT" */
    unsigned numSamples; /* sample slots of the module */
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

/* What a RIFF WAVE file holds (our addition). */
typedef struct {
    int sampleType;      /* MIDAS_SAMPLE_8BIT_MONO .. MIDAS_SAMPLE_16BIT_STEREO */
    unsigned sampleRate; /* Hz */
    unsigned channels;   /* 1 or 2 */
    unsigned bits;       /* 8 or 16 */
    unsigned dataBytes;  /* bytes of sample data present in the file */
} MIDASwaveInfo;

/* Reads a WAVE file's header as MIDASloadWaveSample and MIDASplayStream-
 * WaveFile take it. FALSE with 22 for NULL arguments, the file's code (13,
 * 23, ...), 50 ("Bad WAVE file") or 51 for 8/16-bit PCM it is not. Needs no
 * MIDASinit; no lock; any thread, one call at a time. */
int MIDASgetWaveInfo(const char *fileName, MIDASwaveInfo *info);

/* What a raw stream of 4-bit ADPCM blocks (MIDAS_SAMPLE_ADPCM_) holds, found
 * by decoding all of it as the streams do (our addition). */
typedef struct {
    unsigned long long inputBytes;   /* file length */
    unsigned long long frames;       /* decoded frames (per channel) */
    unsigned long long blocks;       /* blocks whose header was accepted */
    unsigned long long skippedBytes; /* bytes passed over looking for a header,
                                         an incomplete header at the end included */
    unsigned long long missingBytes; /* code bytes the last block announced but lacked */
} MIDASadpcmInfo;

/* Decodes a file of 1 or 2 channel ADPCM blocks and counts. FALSE with 22
 * for NULL arguments or another channel count, the file's code, or 45
 * ("Invalid ADPCM data") when no block is valid (*info still holds the
 * counts). Needs no MIDASinit; no lock; one call at a time. */
int MIDASgetAdpcmInfo(const char *fileName, unsigned channels, MIDASadpcmInfo *info);

/* ---- Module contents for tools (modtool info) ---- */
typedef struct {
    char name[32];   /* always NUL-terminated; empty for an empty slot */
    unsigned length; /* frames of sample data, 0 for an empty slot */
    int looped;      /* 1 when the sample has a loop */
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
