// The sound system's state shared by the API layers (the chosen device, what
// has been started, the configuration), the error-exit hook, and the older
// single-song layer. Unlike the MIDAS functions, every failure of the
// single-song layer is fatal (midasError) instead of being returned.
#pragma once

#include "sound/api/errors.h"
#include "sound/mixer/sdevice.h"

struct ModuleRecord;
struct PlayState;

// The devices detection tries, in order: OSS, then the silent device.
enum { midasNumSoundDevices = 2 };
extern SoundDevice *midasSoundDevices[midasNumSoundDevices];

// Configuration (midasSetDefaults gives the defaults in the comments).
extern int midasSDNumber;  // -1: detect; else index in midasSoundDevices
extern int midasSDPort, midasSDIRQ, midasSDDMA, midasSDCard;  // -1: not set
extern int midasOutputMode;                                   // 0: the device's default (sdMono...)
extern int midasMixRate;                                      // 44100 Hz
extern int midasAmplification;                                // -1: the device's default

// What is open. midasClose undoes each in reverse order of start-up; each
// flag is set right after its step succeeds and cleared after its undo.
extern SoundDevice *midasSD;
extern int midasSDInit;   // the device's Init succeeded
extern int midasSDChans;  // the device's channels are open
extern unsigned midasChannels;
extern int midasGMPInit;  // gmpInit done
extern int midasGMPPlay;  // a song is playing
extern int midasEMSInit, midasTMRInit, midasTMRPlay, midasTMRMusic, midasDisableEMS;
extern PlayState *midasPlayHandle;  // the single-song layer's song

// Channel numbers 0..31, the single-song layer's channel list.
extern int midasSDChannels[32];

// Resets the whole configuration and the state flags, and makes midasClose
// the fatal-error path's shutdown.
void midasSetDefaults(void);

// Detects (or takes the configured) device, starts it and the player.
void midasInit(void);
// Hands the options the mixer and the devices follow to the mixer layer and
// makes midasClose the fatal-error path's shutdown: the first step of every
// start (midasInit, MIDASinit).
void midasPrepareStart(void);
// Shuts down what is running: the song, the player, the channels, the
// device. A failing step is fatal through midasUninitError.
void midasClose(void);
void midasOpenChannels(int numChans);
void midasCloseChannels(void);
// Plays module on the device's channels, leaving numEffectChannels channels
// below the module's for sound effects when it opens them itself.
void midasPlayModule(ModuleRecord *module, int numEffectChannels);
void midasStopModule(ModuleRecord *module);

// When set before MIDASinit, the device to use instead of detection or the
// configured number: offline renderers point it at their file-sink device.
extern SoundDevice *midasForcedSD;
