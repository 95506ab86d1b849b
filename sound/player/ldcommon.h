// Small pieces shared by the MOD, S3M and IT loaders: byte-order reads of
// header fields and the hand-over of a finished sample to the sound device.
#pragma once

#include <cstdint>

#include "sound/player/gmpmodule.h"

inline uint16_t ldLE16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ldLE32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t ldBE16(const uint8_t *p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// Copies a name field of n bytes into dest (at least n + 1 bytes), stopping
// at the first NUL and always terminating it.
void ldCopyName(char *dest, const uint8_t *src, unsigned n);

// Hands a sample to the device or keeps it, once its fields are final.
// data holds smp->sampleLength bytes in the device's format (or is null for
// an empty sample) and is a memAlloc block that this function takes over:
// with addSD the device gets a copy through gmpSD->AddSample and the block is
// freed; without it the block is kept in smp->sample. The device sees loop 1
// and loop 2 as filled in by the loader in *sd (the caller sets the loops;
// the data, location, type and length are set here). The callback, if any,
// runs after a successful AddSample.
int ldAddSample(SampleRecord *smp, void *data, SoundDeviceSample *sd, int addSD,
                gmpSampleCallback sampleCallback);

// Reads bytes of the file at offset into buffer, at most avail = what the
// file holds there; returns the count actually read in *got. Used for data
// that real files are known to cut short (sample data, last pattern).
int ldReadAt(fileHandle file, long fileSize, long offset, void *buffer, unsigned long bytes,
             unsigned long *got);

// Instrument i of a format whose instruments are single samples (MOD, S3M):
// its record in m->instruments[i] named from the file's name field, and, when
// a pattern uses it, an empty sample record in m->samples[i] and its sample
// list; *smp is null for an unused instrument.
int ldOneSampleInstrument(ModuleRecord *m, unsigned i, int used, const uint8_t *name,
                          unsigned nameBytes, SampleRecord **smp);
