// The "/dev/dsp" of record mode: an output that takes 16-bit stereo sound at
// 44100 Hz, paced by the virtual clock instead of a sound card, and hands it
// to the recorder (platform/record_clock.h).
//
// It answers the set-up requests with what it accepts (16-bit, 2 channels,
// 44100 Hz, whatever was asked), reports as free space the clock's grant,
// and its write blocks until the clock reaches the end of what is written.
// Used by audioDspOpen when the environment asks for record mode.
#pragma once

#include <cstddef>
#include <sys/types.h>

// True when record mode is on and this path is the sound device.
bool recordDspWanted(const char *path);
// The record device's descriptor, or -1 (errno EBUSY) when it is open already.
int recordDspOpen();
bool recordDspIs(int fd);
int recordDspClose(int fd);
int recordDspIoctl(int fd, unsigned long request, void *arg);
ssize_t recordDspWrite(int fd, const void *buffer, size_t bytes);
