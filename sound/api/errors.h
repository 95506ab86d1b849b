// Error codes and messages of the sound system, and its fatal-error path.
//
// An error code is a plain int: 0 is success, anything else indexes errorMsg.
// The numbers are public (applications read them back through the API), so
// they never change, including the rows no code path of ours produces.
#pragma once

enum {
    errOK = 0,
    errUndefined = 1,
    errOutOfMemory = 2,
    errHeapCorrupted = 3,
    errInvalidBlock = 4,
    errOutOfEMS = 5,
    errEMSHeapCorrupted = 6,
    errInvalidEMSBlock = 7,
    errEMMFailure = 8,
    errOutOfCardMemory = 9,
    errCardHeapCorrupted = 10,
    errInvalidCardBlock = 11,
    errNoSampleHandles = 12,
    errFileOpen = 13,
    errFileRead = 14,
    errInvalidModule = 15,
    errInvalidInst = 16,
    errInvalidPatt = 17,
    errInvalidChanNumber = 18,
    errInvalidSampleHandle = 19,
    errNoChannels = 20,
    errSDFailure = 21,
    errInvalidArguments = 22,
    errFileNotFound = 23,
    errInvalidFileHandle = 24,
    errAccessDenied = 25,
    errFileExists = 26,
    errTooManyFiles = 27,
    errDiskFull = 28,
    errEndOfFile = 29,
    errInvalidPath = 30,
    errFileWrite = 31,
    errVDSLock = 32,
    errVDSUnavailable = 33,
    errVDSVersion = 34,
    errDPMIFailure = 35,
    errInvalidDescriptor = 36,
    errOutOfResources = 37,
    errInvalidDevice = 38,
    errUnsupported = 39,
    errDeviceNotAvailable = 40,
    errDeviceBusy = 41,
    errBadMode = 42,
    errUnableToLock = 43,
    errNoWindowHandle = 44,
    errInvalidADPCM = 45,
    errInvalidSampleType = 46,
    errNoModulePlaying = 47,
    errOutOfChannels = 48,
    errNoDirectSoundLib = 49,
    errBadWave = 50,
    errUnsupportedSampleFormat = 51,
    errNumCodes = 52
};

// The message of every code, exactly as applications receive it.
extern const char *const errorMsg[errNumCodes];

// The fatal-error hook; errErrorExit by default.
typedef void (*midasErrorExitHook)(const char *msg);
extern midasErrorExitHook midasErrorExit;
void midasSetErrorExit(midasErrorExitHook hook);

// What midasError runs first to shut the sound system down. The API frame
// installs its shutdown here when it starts (this unit lies below it and
// never calls up); null, as before any start, shuts nothing down.
typedef void (*midasShutdownHook)(void);
void midasSetErrorShutdown(midasShutdownHook shutdown);

// Writes msg and a newline to standard error and ends the process (status 1).
// The default error-exit hook of the library.
[[noreturn]] void errErrorExit(const char *msg);

// Fatal error on a path that cannot return a code (the player thread): shuts
// the sound system down (the installed shutdown hook), then hands
// "MIDAS Error: <message>" to the error-exit hook. With the default hook the
// process ends here.
void midasError(int code);

// As midasError, for a failure inside the shutdown itself: no second
// shutdown, prefix "FATAL MIDAS uninitialization failure: ".
void midasUninitError(int code);

// Returns the code of x from the calling function when it is not errOK.
#define CHECK(x)                                                                                   \
    do {                                                                                           \
        int error_ = (x);                                                                          \
        if (error_ != errOK)                                                                       \
            return error_;                                                                         \
    } while (0)
