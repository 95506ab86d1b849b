// The module player: up to 16 songs at once, each bound to a set of sound
// device channels, advanced one tick per gmpPlay call.
//
// Thread contract: everything here runs with the poll lock held (gmpPlay from
// the poll, the rest from API calls that take the lock). The player keeps the
// song and channel being worked on in globals, so it runs on one thread at a
// time by construction. Loaders run without the lock.
#pragma once

#include <cstdint>

#include "sound/mixer/sdevice.h"
#include "sound/player/gmpmodule.h"

enum { gmpMaxSongs = 16 };

// Music-sync callback: (argument 0..255, song position, row).
typedef void (*gmpSyncCallback)(unsigned syncInfo, unsigned position, unsigned row);
// Update-rate hook: receives every rate handed to the device (1/100 Hz).
typedef void (*gmpUpdRateHook)(unsigned updateRate);

struct ChannelState {
    uint32_t period;                   // base period
    int instrument;                    // playing instrument, -1 = none
    int newInstrument;                 // instrument named on the current row
    uint32_t portaTarget;              // tone-portamento target; 0 = none
    int sampleOffset;                  // start offset (samples) of the next note
    uint8_t sampleIndex;               // index in the instrument's sampleList, 255 = none
    uint8_t sdChannel;                 // the sound-device channel
    uint8_t volColumn;                 // volume byte of the current row
    uint8_t note;                      // note byte of the current row
    int lastInfo;                      // ST3/IT: last non-zero argument
    uint8_t prevInfo[gmpNumCommands];  // XM: last non-zero argument per command
    uint8_t volume;                    // 0..maxVolume
    uint8_t command;                   // command of the current row
    uint8_t info;                      // its argument as written in the row
    uint8_t portaSpeed;
    uint8_t playVolume;  // volume for this tick
    uint8_t fade;        // application fade 0..64
    int pan;             // panning in the play mode's scale
    int fadeOut;         // key-off fade: 65536 (XM) or 512 (IT) at note start
    uint8_t keyOff;
    uint8_t retrigCount;
    uint8_t finalVolume;  // last volume sent to the device
    uint8_t lastNote;     // 255 = none
    uint8_t vibSpeed, vibDepth, vibPos;
    uint8_t tremSpeed, tremDepth, tremPos;
    uint8_t chanVolume;  // IT channel volume 0..64 (Mxx, Nxy)
    uint8_t surround;    // IT: the channel plays in surround
    uint8_t fading;      // IT: note fade without key-off (NNA, duplicate check)
    uint8_t background;  // IT: a background channel (holds a released note)
    uint8_t busy;        // background channel: a note still sounds
    int owner;           // background channel: the pattern channel it came from
    uint8_t periodFrac;  // ST3/IT: 1/256 period below `period` as the note gave it
    uint8_t offsetMemory;
    int playPeriod;    // period for this tick
    int finalPeriod;   // after automatic vibrato, sent to the device
    int autoVibDepth;  // 1/256 steps
    uint8_t autoVibPos;
    uint8_t chanLoopRow, chanLoopCount;
    uint8_t lastVolSlide;
    int volEnvPos;  // ticks
    uint8_t volEnvSustained;
    int panEnvPos;
    uint8_t panEnvSustained;
    int pitchEnvPos;
    uint8_t pitchEnvSustained;
    uint8_t rowFlags;  // gmpRowNote...
};

// ChannelState.rowFlags bits.
enum {
    gmpRowNote = 1,        // a note starts on this row
    gmpRowVolume = 2,      // volume byte present
    gmpRowInstrument = 4,  // instrument given
    gmpRowCommand = 8,     // command present
    gmpRowNoteDelayed = 16
};

struct PlayInfo {
    uint32_t position, pattern, row;   // copied at the start of every row
    uint32_t tempo, speed;             // refreshed by gmpGetInformation
    uint32_t syncInfo, songLoopCount;  // refreshed by gmpGetInformation
    ChannelState *channels;
};

struct PlayState {
    int index;  // slot in playHandles
    ModuleRecord *module;
    uint8_t *rowPtr;  // next row; null = find row `row` from the pattern start
    int position;
    int pattern;
    int row;
    int songEnd;  // last position played
    int restartPos;
    int tempo;
    int speed;
    int tick;  // 0..speed-1
    int patternDelay;
    int numChannels;  // pattern channels, then background channels
    int numTracks;    // pattern channels
    int maxPeriod, minPeriod;
    int periodShift;  // slide amount shift: 0 PT, 2 otherwise
    int maxVolume;    // 64, 63 for ST3
    int songLoopCount;
    int loopSong;                // 0 = stop after the first wrap
    uint8_t loopRow, loopCount;  // ST3/IT pattern loop (song-wide)
    uint8_t globalVolume;        // 0..64
    uint8_t masterVolume;        // 0..64
    ChannelState *channels;
    PlayInfo *info;
    gmpSyncCallback syncCallback;
    int syncInfo;  // -1 until the first sync command
};

// Player globals. The gmpHandle/gmpCurModule/gmpPlayMode/gmpChan quartet is
// what the command handlers act on.
extern SoundDevice *gmpSD;
extern PlayState *playHandles[gmpMaxSongs];
extern gmpUpdRateHook SetUpdRate;
extern int gmpTempo;
extern int gmpNoPlay;
extern PlayState *gmpHandle;
extern ModuleRecord *gmpCurModule;
extern int gmpPlayMode;
extern ChannelState *gmpChan;

int gmpInit(SoundDevice *sd);
int gmpClose(void);
int gmpSetUpdRateFunct(gmpUpdRateHook hook);
int gmpSetTempo(int tempo);
int gmpPlaySong(ModuleRecord *module, int startPos, int endPos, int restartPos, int loopSong,
                int numChannels, int *channels, PlayState **playState);
int gmpStopSong(PlayState *ps);
int gmpPlay(void);
int gmpGetInformation(PlayState *ps, PlayInfo **info);
int gmpSetSyncCallback(PlayState *ps, gmpSyncCallback callback);
int gmpSetMasterVolume(PlayState *ps, unsigned volume);
int gmpFadeChannel(PlayState *ps, unsigned channel, uint8_t fade);
int gmpSetPosition(PlayState *ps, int newPosition);

// Note, period, volume and panning machinery for the command handlers; all
// act on gmpChan of gmpHandle.
int gmpNotePeriod(int note, int *period);
int gmpPlayNote(int period);
int gmpPeriodRate(int period, unsigned *rate);
int gmpSetPeriod(int period);
int gmpChangePeriod(int period);
int gmpSetVolume(int volume);
int gmpChangeVolume(int volume);
int gmpSetPanning(int panning);
int gmpNewNote(void);
// Envelope value in 8.8 fixed point; advances *pos / *sustained by one tick.
int gmpCalcEnvelope(const EnvelopeRecord *env, int *pos, uint8_t *sustained, int *value);
// Moves the song to the next position as at the end of a pattern.
int gmpNextPosition(void);

// Read-only tables.
extern const int32_t gmpPeriodsPT[16 * 12];
extern const int32_t gmpPeriodsST3[12];
extern const int32_t gmpPeriodsFT2[104];
extern const int32_t gmpLinTable[768];
extern const int8_t ft2VibratoTable[256];
extern const uint8_t ft2UsePrevInfo[gmpNumCommands];
extern const uint8_t ptVibratoTable[32];
extern const int8_t retrigTable1[16];
extern const int8_t retrigTable2[16];

// Command handlers: tick-0 and continuing tables per play mode, indexed by
// command number (gmpNumCommands entries each).
typedef int (*gmpCommand)(int arg);
// IT new note action of gmpChan before a new note: moves the sounding note
// to a background channel (or cuts it) and runs the duplicate check.
int gmpNewNoteAction(void);

extern const gmpCommand gmpTick0CommandsPT[gmpNumCommands];
extern const gmpCommand gmpContCommandsPT[gmpNumCommands];
extern const gmpCommand gmpTick0CommandsFT2[gmpNumCommands];
extern const gmpCommand gmpContCommandsFT2[gmpNumCommands];
extern const gmpCommand gmpTick0CommandsST3[gmpNumCommands];
extern const gmpCommand gmpContCommandsST3[gmpNumCommands];
extern const gmpCommand gmpTick0CommandsIT[gmpNumCommands];
extern const gmpCommand gmpContCommandsIT[gmpNumCommands];
// Volume-column commands (values above 64): tick 0 and continuing ticks.
int gmpSetVolCommand(int value);
int gmpRunVolCommand(int value);
