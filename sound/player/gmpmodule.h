// The in-memory module: what the four loaders build and the player plays.
//
// Every block is a plain memAlloc block owned by the module; gmpFreeModule
// releases the lot (and removes the samples from the sound device).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/api/file.h"
#include "sound/mixer/sdevice.h"

// Play modes (ModuleRecord.playMode): they pick the period tables, limits and
// command tables of the player.
enum {
    gmpPT = 1,   // ProTracker (MOD)
    gmpST3 = 2,  // Scream Tracker 3 (S3M)
    gmpFT2 = 3,  // FastTracker 2 (XM)
    gmpIT = 4    // Impulse Tracker (IT)
};

// Module flag bits (ModuleRecord.flags).
enum {
    gmpAmigaLimits = 1,    // S3M: Amiga period limits
    gmpST300Slides = 2,    // S3M: volume slides also on tick 0
    gmpExtOctaves = 4,     // MOD: notes outside octaves 1 to 3
    gmpLinearFreq = 8,     // XM: linear frequency table; IT: linear slides
    gmpInstruments = 16,   // IT: the song uses instruments
    gmpEqualTempered = 32  // S3M saved by Impulse Tracker: equal-tempered notes
};

// Note byte values besides octave * 16 + semitone.
enum { gmpNoteNone = 255, gmpNoteKeyOff = 254, gmpNoteCut = 253 };
// Instrument byte value of "no instrument".
enum { gmpInstNone = 255 };
// Volume byte the player ignores.
enum { gmpVolumeNone = 80 };

// Pattern entry flag byte: channel in bits 0..4, then what follows.
enum {
    gmpEntryChanMask = 0x1F,
    gmpEntryNote = 0x20,    // note byte and instrument byte follow
    gmpEntryVolume = 0x40,  // volume byte follows
    gmpEntryCommand = 0x80  // command byte and info byte follow
};

enum { gmpMaxChannels = 32, gmpEnvPoints = 25, gmpXMSamplesPerInst = 16 };

struct EnvelopePoint {
    uint16_t pos;   // ticks
    int16_t value;  // volume 0..64; panning 0..64 with 32 = centre
};

struct EnvelopeRecord {
    uint8_t numPoints;     // 0 = off; never above gmpEnvPoints
    uint8_t susPoint;      // 255 = none
    uint8_t loopStart;     // 255 = none
    uint8_t loopEnd;       // 255 = none
    uint8_t susLoopStart;  // 255 = none (IT)
    uint8_t susLoopEnd;    // 255 = none (IT)
    EnvelopePoint points[gmpEnvPoints];
};

struct SampleRecord {
    char name[32];
    uint32_t sdHandle;            // device handle after AddSample; 0 = not on the device
    void *sample;                 // decoded data, kept only when not added to the device
    uint32_t sampleLength;        // bytes
    uint8_t sampleType;           // smpNone, smp8bitMono (unsigned) or smp16bitMono
    uint8_t loopMode;             // sdLoop... code, handed to the device unchanged
    uint8_t loopType;             // loopNone, loopUnidir, loopBidir
    uint8_t susLoopType;          // IT: loop type of the sustain loop
    uint32_t loopStart;           // bytes
    uint32_t loopEnd;             // bytes, first byte after the loop
    uint32_t susLoopStart;        // IT, bytes
    uint32_t susLoopEnd;          // IT, bytes
    uint32_t volume;              // 0..64
    uint32_t sampleGlobalVolume;  // IT: 0..64
    int panning;                  // XM: 0..255; IT: -1 = none
    int baseTune;                 // XM: relative note; S3M/IT: middle-C rate in Hz
    int fineTune;                 // XM: -128..127; MOD: 0..15 (8..15 = -8..-1)
    uint32_t fileOffset;          // loader-internal (XM): where the data start
    uint8_t smpVibType, smpVibRate, smpVibDepth, smpVibSpeed;  // IT, stored only
};

// An instrument block is followed directly by its numSamples sample
// pointers; sampleList points there (gmpAllocInstrument sets it up).
struct InstrumentRecord {
    char name[32];
    uint32_t numSamples;
    uint8_t *noteSamples;  // XM: 96 sampleList indices (null: all 0);
                           // IT: 120 pairs (note to play, sample index)
    EnvelopeRecord *volEnvelope;
    EnvelopeRecord *panEnvelope;
    EnvelopeRecord *pitchEnvelope;  // IT only: 0..64, 32 = no change, a step is
                                    // half a semitone
    uint32_t volFadeout;
    uint32_t instGlobalVolume;                     // IT: 0..64
    uint8_t vibType, vibSweep, vibDepth, vibRate;  // XM automatic vibrato
    uint8_t newNoteAction, dupCheckType, dupCheckAction, pitchPanSep, pitchPanCenter;
    int8_t defaultPan;  // IT: 0..64, negative = none
    uint8_t randomVolume, randomPan;
    uint32_t used;              // 1 when some pattern uses the instrument
    SampleRecord **sampleList;  // numSamples entries, also in the module's samples
};

// A packed pattern: this 8-byte head, then the rows (see gmpPatternData).
// Row: entries (flag byte, [note, instrument], [volume], [command, info])
// closed by a 0 byte.
struct PatternRecord {
    uint32_t length;  // bytes including this head
    uint32_t rows;    // 1..256
};
static_assert(sizeof(PatternRecord) == 8);

inline uint8_t *gmpPatternData(PatternRecord *p) { return reinterpret_cast<uint8_t *>(p) + 8; }
inline const uint8_t *gmpPatternData(const PatternRecord *p)
{
    return reinterpret_cast<const uint8_t *>(p) + 8;
}

// Order list values besides pattern numbers.
enum { gmpOrderSkip = 0xFFFE, gmpOrderEnd = 0xFFFF };

struct ModuleRecord {
    char name[32];
    int playMode;    // gmpPT..gmpIT
    int songLength;  // entries in orders
    int restart;     // position to continue from after the end
    unsigned numInsts;
    unsigned numSamples;
    unsigned numPatts;               // never below the highest order + 1
    uint8_t numChans;                // 1..32
    uint8_t masterVolume;            // 0..64
    uint8_t speed;                   // ticks per row
    uint8_t tempo;                   // BPM; ticks per second = tempo * 2 / 5
    int *panning;                    // 32 entries (IT: 64), play-mode panning scale
    uint16_t *orders;                // songLength entries
    InstrumentRecord **instruments;  // numInsts entries, null = empty
    SampleRecord **samples;          // numSamples entries
    PatternRecord **patterns;        // numPatts entries, every one filled
    uint8_t flags;                   // gmpAmigaLimits...
    // IT: of numChans, the last numBgChans carry no pattern data; the player
    // moves released notes there (new note actions). 0 in the other formats.
    uint8_t numBgChans;
    uint8_t chanVolume[64];  // IT: initial channel volume 0..64 (64 elsewhere)
};

// Sample callback of the loaders: called after each successful AddSample with
// the device record and the module's sample; a non-zero return aborts the load.
typedef int (*gmpSampleCallback)(SoundDeviceSample *sdSample, SampleRecord *sample);

// Loaders. Each has two entry points over one code path: a file name, or a
// module already in memory (the bytes must stay valid during the call). Both
// open a fileHandle (fileOpen mode 1 / fileOpenMemory) and hand it to the
// loader's internal routine, which owns and closes it on every path.
// addSD non-zero: samples go to gmpSD's AddSample (copySample 1) and are not
// kept; 0: each decoded sample stays in its SampleRecord.sample and the device
// is not touched. On failure the partial module is freed and *module untouched.
int gmpLoadXM(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
              ModuleRecord **module);
int gmpLoadXMMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                    ModuleRecord **module);
int gmpLoadMOD(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
               ModuleRecord **module);
int gmpLoadMODMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                     ModuleRecord **module);
int gmpLoadS3M(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
               ModuleRecord **module);
int gmpLoadS3MMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                     ModuleRecord **module);
int gmpLoadIT(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
              ModuleRecord **module);
int gmpLoadITMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                    ModuleRecord **module);

// The loaders by format, in the order their detect functions are tried on
// the first bytes of a file (head, size bytes of it): XM ("Extended Module:"
// at 0), S3M ("SCRM" at 44), IT ("IMPM" at 0), and last MOD, the fallback
// (its tag lies at 1080): it takes whatever the others refuse.
struct ModuleLoader {
    const char *name;  // "XM", "S3M", "IT", "MOD"
    bool (*detect)(const uint8_t *head, size_t size);
    int (*load)(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
                ModuleRecord **module);
};
enum { gmpNumLoaders = 4 };
extern const ModuleLoader gmpLoaders[gmpNumLoaders];

// The first loader whose detect accepts head; never null (MOD accepts all).
const ModuleLoader *gmpFindLoader(const uint8_t *head, size_t size);

// IT new note actions (InstrumentRecord.newNoteAction) and duplicate checks.
enum { gmpNNACut = 0, gmpNNAContinue = 1, gmpNNANoteOff = 2, gmpNNANoteFade = 3 };
enum { gmpDCTOff = 0, gmpDCTNote = 1, gmpDCTSample = 2, gmpDCTInstrument = 3 };
enum { gmpDCACut = 0, gmpDCANoteOff = 1, gmpDCANoteFade = 2 };

// Background channels an IT module with numChans pattern channels gets when
// some instrument lets released notes sound on: one per pattern channel, so
// that every channel can keep its last note fading while the next plays,
// within the 32 channels a song may have.
unsigned gmpBackgroundChannels(unsigned numChans);

// Releases a module and everything reachable from it; null is no error.
// Order: panning, orders; each instrument's noteSamples, envelopes, the
// instrument; the instruments array; each sample (RemoveSample on gmpSD when
// sdHandle is set, the kept data, the record); the samples array; each
// pattern and the patterns array; the module. The first failure stops it.
int gmpFreeModule(ModuleRecord *module);

// Helpers for the loaders (all blocks zeroed):
// a module with every pointer null;
int gmpAllocModule(ModuleRecord **module);
// an instrument with room for numSamples sample pointers after it, all null;
int gmpAllocInstrument(unsigned numSamples, InstrumentRecord **inst);
// an empty pattern of rows rows (each a single 0 byte), rows 1..256.
int gmpAllocEmptyPattern(unsigned rows, PatternRecord **pattern);

// Format effect maps: source effect -> player command (0 = dropped). The
// argument-dependent parts stay with the loaders:
//  MOD 8 (-> 9) only for arguments up to 128 or 164; MOD F (-> 15) becomes 16
//  for arguments from 33 on; XM F (-> 15) becomes 16 above 31; XM K (20) maps
//  to 0: the loader makes the note 254 and drops the argument; XM X (33) maps
//  to 31 for arguments 0x10..0x1F, the loader gives 32 for 0x20..0x2F and
//  drops the rest, keeping the low nibble; IT X (-> 9) takes (arg + 1) / 4.
// E and S sub-effects keep the argument's low nibble.
extern const uint8_t ptCommands[16];    // MOD effect 0..F (E: see ptECommands)
extern const uint8_t ptECommands[16];   // MOD Ex by x
extern const uint8_t ft2Commands[36];   // XM effect 0..35 (E: see ft2ECommands)
extern const uint8_t ft2ECommands[16];  // XM Ex by x
extern const uint8_t s3mCommands[26];   // S3M letter number 1..25 (A..Y); 0 unused
extern const uint8_t s3mSCommands[16];  // S3M Sx by x
extern const uint8_t itCommands[26];    // IT letter number 1..25 (A..Y); 0 unused
extern const uint8_t itSCommands[16];   // IT Sx by x

// Player command numbers (pattern command bytes).
enum {
    cmdNone = 0,
    cmdArpeggio = 1,
    cmdSlideUp = 2,
    cmdSlideDown = 3,
    cmdTonePorta = 4,
    cmdVibrato = 5,
    cmdTPortVSlide = 6,
    cmdVibVSlide = 7,
    cmdTremolo = 8,
    cmdSetPanning = 9,
    cmdSampleOffset = 10,
    cmdVolSlide = 11,
    cmdPositionJump = 12,
    cmdSetVolume = 13,
    cmdPatternBreak = 14,
    cmdSetSpeed = 15,
    cmdSetTempo = 16,
    cmdFineSlideUp = 17,
    cmdFineSlideDown = 18,
    cmdPatternLoop = 19,
    cmdSetPanning16 = 20,
    cmdRetrig = 21,
    cmdFineVolSlideUp = 22,
    cmdFineVolSlideDown = 23,
    cmdNoteCut = 24,
    cmdNoteDelay = 25,
    cmdPatternDelay = 26,
    cmdSetMVolume = 27,
    cmdMVolSlide = 28,
    cmdMultiRetrig = 29,
    cmdMusicSync = 30,
    cmdExtraFineSlideUp = 31,
    cmdExtraFineSlideDown = 32,
    cmdPanSlide = 33,
    cmdChanVolume = 34,
    cmdChanVolSlide = 35,
    gmpNumCommands = 36
};
