// RIFF WAVE reader: opens a file and leaves it positioned at its PCM data,
// for sample effects and streams. 8- and 16-bit PCM, mono or stereo.
//
// Layout read: "RIFF", 32-bit length, "WAVE", then chunks of a 4-byte id and a
// 32-bit little-endian length. "fmt " holds the format tag (1 = PCM),
// channels, sample rate, bytes per second, block alignment and bits per
// sample; "data" holds the frames.
#pragma once

#include "sound/api/file.h"

struct mWaveFile {
    fileHandle file;      // open, positioned at the data after mWaveOpen
    int sampleType;       // smp8bitMono, smp16bitMono, smp8bitStereo, smp16bitStereo
    unsigned sampleRate;  // Hz
    unsigned dataLength;  // bytes of data present in the file
    unsigned dataLeft;    // bytes not yet read (the data length at opening)
    long dataStart;       // file offset of the data
};
typedef mWaveFile *mWaveHandle;

// Opens fileName. 50 for a file that is not RIFF WAVE or whose "fmt " chunk is
// too short, 51 for a format other than 8/16-bit mono/stereo PCM, file and
// memory codes as they come. On failure nothing stays open.
int mWaveOpen(const char *fileName, mWaveHandle *handle);
// The same on a file already open for reading, which the handle takes over
// (and closes on failure).
int mWaveOpenFile(fileHandle file, mWaveHandle *handle);
// Closes the file and frees the handle.
int mWaveClose(mWaveHandle handle);

// Reads chunk headers from the current position, skipping chunks, until one
// with the given id; the file is left at its contents. Lengths are used as
// stored (no pad byte after odd lengths). Read and seek errors end the search
// with their code.
int mWaveFindChunk(fileHandle file, const char id[4], unsigned *length);
