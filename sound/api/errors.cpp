// Error messages and the fatal-error path.
#include "sound/api/errors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char *const errorMsg[errNumCodes] = {
    "OK",
    "Undefined error",
    "Out of memory",
    "Heap corrupted",
    "Invalid memory block",
    "Out of EMS memory",
    "EMS memory heap corrupted",
    "Invalid EMS memory block",
    "Expanded Memory Manager failure",
    "Out of soundcard memory",
    "Soundcard memory heap corrupted",
    "Invalid soundcard memory block",
    "Out of sample handles",
    "Unable to open file",
    "Unable to read file",
    "Invalid module file",
    "Invalid instrument in module",
    "Invalid pattern data in module",
    "Invalid channel number",
    "Invalid sample handle",
    "Sound Device channels not open",
    "Sound Device hardware failure",
    "Invalid function arguments",
    "File does not exist",
    "Invalid file handle",
    "Access denied",
    "File exists",
    "Too many open files",
    "Disk full",
    "Unexpected end of file",
    "Invalid path",
    "Unable to write file",
    "Unable to lock Virtual DMA buffer",
    "Unable to use Virtual DMA Services",
    "Invalid Virtual DMA Service version",
    "DPMI failure",
    "Invalid segment descriptor",
    "Out of system resources",
    "Invalid device used",
    "Unsupported function used",
    "Device is not available",
    "Device is busy",
    "Unsupported output mode used",
    "Unable to lock memory",
    "DirectSound Window Handle not set",
    "Invalid ADPCM data",
    "Invalid sample type",
    "No module is being played",
    "Out of sound channels",
    "Couldn't load dsound.dll",
    "Bad WAVE file",
    "Unsupported sample data format",
};

// The message handed to the error-exit hook; 90 bytes hold the longest
// prefix plus the longest message.
static char errmsg[90];

static const char *messageOf(int code)
{
    // A code outside the table is itself a fault; report it as undefined
    // rather than read past the table.
    if (code < 0 || code >= errNumCodes)
        return errorMsg[errUndefined];
    return errorMsg[code];
}

static void buildMessage(const char *prefix, int code)
{
    std::snprintf(errmsg, sizeof errmsg, "%s%s", prefix, messageOf(code));
}

void errErrorExit(const char *msg)
{
    std::fputs(msg, stderr);
    std::fputs("\n", stderr);
    std::exit(1);
}

midasErrorExitHook midasErrorExit = errErrorExit;
static midasShutdownHook errorShutdown = nullptr;

void midasSetErrorExit(midasErrorExitHook hook) { midasErrorExit = hook; }
void midasSetErrorShutdown(midasShutdownHook shutdown) { errorShutdown = shutdown; }

void midasError(int code)
{
    if (errorShutdown != nullptr)
        errorShutdown();
    buildMessage("MIDAS Error: ", code);
    midasErrorExit(errmsg);
}

void midasUninitError(int code)
{
    buildMessage("FATAL MIDAS uninitialization failure: ", code);
    midasErrorExit(errmsg);
}
