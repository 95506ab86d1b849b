// The sound system's state shared by the API layers: the chosen device, what
// has been started, and the error-exit hook.
#pragma once

#include "sound/mixer/sdevice.h"

// The fatal-error hook; errErrorExit by default.
typedef void (*midasErrorExitHook)(const char *msg);
extern midasErrorExitHook midasErrorExit;
void midasSetErrorExit(midasErrorExitHook hook);

// What is open. midasClose undoes each in reverse order of start-up.
extern SoundDevice *midasSD;
extern int midasSDInit;      // the device's Init succeeded
extern int midasSDChans;     // the device's channels are open
extern unsigned midasChannels;

// Shuts down what is running: the device's channels, then the device.
// A failing step is fatal through midasUninitError.
void midasClose(void);
