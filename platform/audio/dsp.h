// An output with the calls and answers of the Open Sound System's "/dev/dsp":
// open, the set-up requests (format, channels, rate: each answered with what
// was accepted), the free space in bytes, a write that blocks only when more
// is written than is free, and close.
//
// audioDspOpen first tries the real device file. When that cannot be opened
// and the path is "/dev/dsp", it opens an ALSA PCM instead (device "default",
// or the one named by the environment variable Q5_ALSA_DEVICE, e.g. "null")
// and hands back a descriptor that only these calls understand. Every other
// descriptor is passed straight to the system calls.
//
// An ALSA output that takes sound faster than it plays it (the "null" device,
// some plugins) is paced by the clock (see pacer.h): the free space it
// reports is what a real-time output would have.
//
// One ALSA stream at a time; none of these calls is thread-safe (the sound
// system calls them under its poll lock).
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

// The request numbers of the Open Sound System as the sound system uses them.
enum : unsigned long {
    audioDspSetFmt = 0xC0045005UL,    // int *: format code in, accepted format out
    audioDspChannels = 0xC0045006UL,  // int *: 1 or 2 in, accepted count out
    audioDspSpeed = 0xC0045002UL,     // int *: Hz in, accepted rate out
    audioDspGetOSpace = 0x8010500CUL  // audioDspSpaceInfo *: free space out
};

// Format codes: unsigned 8-bit and signed 16-bit little-endian.
enum { audioDspFmtU8 = 8, audioDspFmtS16LE = 16 };

// The output-space record: fragments free, fragments in all, fragment size
// in bytes, free bytes. Only 'bytes' matters to the sound system.
struct audioDspSpaceInfo {
    int fragments;
    int fragstotal;
    int fragsize;
    int bytes;
};
static_assert(sizeof(audioDspSpaceInfo) == 16);

int audioDspOpen(const char *path, int flags, int mode);
int audioDspClose(int fd);
int audioDspIoctl(int fd, unsigned long request, void *arg);
ssize_t audioDspWrite(int fd, const void *buffer, size_t bytes);

// True when fd is the ALSA stand-in rather than a real device file.
bool audioDspIsAlsa(int fd);

// What the last successful open of "/dev/dsp" reached: OSS "/dev/dsp" or
// ALSA device "NAME"; empty before any.
std::string audioDspOutputName();

// A device asked for by name must be the one that plays: false, with a
// one-line message naming it, when Q5_ALSA_DEVICE is set, "/dev/dsp" is not
// there to take precedence, and the named ALSA device cannot be opened.
// Programs call it before starting the sound system, which would otherwise
// fall back to the silent device.
bool audioDspCheckRequested(std::string *error);
