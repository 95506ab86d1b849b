// Decoding of the compressed sample data of IT 2.14 and IT 2.15.
//
// A compressed channel is a run of blocks: a 16-bit little-endian byte count
// L, then L bytes of bit stream (least significant bit first). A block holds
// up to 0x8000 frames of 8-bit data or 0x4000 frames of 16-bit data, and each
// block starts from scratch (width, integrators). The bit stream carries
// deltas of variable width; IT 2.14 integrates them once, IT 2.15 twice.
// Output is signed, the same as uncompressed signed data of that width.
//
// Damaged data never reads or writes outside the buffers: a block whose bits
// run out, or that asks for an impossible width, simply yields fewer frames;
// frames never decoded stay 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/api/file.h"

enum {
    itsBlockFrames8 = 0x8000,   // frames per block, 8-bit data
    itsBlockFrames16 = 0x4000,  // frames per block, 16-bit data
    itsMaxBlockBytes = 0xFFFF   // largest block a 16-bit count can describe
};

// Decodes one block (its len bytes of bit stream, without the count) into at
// most maxFrames frames at out (int8_t or int16_t frames, by is16). it215
// nonzero selects the double integration of IT 2.15. Returns the number of
// frames decoded.
unsigned itsDecodeBlock(const uint8_t *data, size_t len, void *out, unsigned maxFrames, int is16,
                        int it215);

// Decodes one channel of a compressed sample from the file's current
// position into frames frames at out, reading no more than avail bytes of
// the file. Frames the data do not reach are set to 0. *used receives the
// number of bytes consumed, so that a second channel can follow. A file
// read error is returned; running out of data is not an error.
int itsDecompress(fileHandle file, unsigned long avail, void *out, unsigned frames, int is16,
                  int it215, unsigned long *used);
