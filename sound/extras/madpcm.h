// Decoder of the block-structured 4-bit ADPCM stream format (sample types 5
// and 6), used by the streams to turn ADPCM data into 16-bit frames while
// they are written.
//
// Block format (little-endian):
//   0  1  magic 0x17
//   1  1  magic 0x42
//   2  2  block length in bytes, header included
//   4  1  checksum: sum modulo 256 of the header bytes, this one counted as 0
//   5  1  sample type: 5 mono, 6 stereo
//   6  3  per channel: predictor (signed 16-bit), step index (8-bit, 0..88)
//   then block length - header length bytes of codes, two per byte, high
//   nibble first; stereo codes alternate left (high) and right (low).
//
// Thread contract: a state belongs to one stream; calls on one state must
// not overlap. The tables are constant.
#pragma once

#include <cstdint>

enum {
    mAdpcmMagic0 = 0x17,
    mAdpcmMagic1 = 0x42,
    mAdpcmMaxChannels = 2,
    mAdpcmMaxHeader = 6 + 3 * mAdpcmMaxChannels
};

struct mAdpcmState {
    unsigned channels;                      // 1 or 2
    unsigned headerLength;                  // 6 + 3 x channels
    unsigned char header[mAdpcmMaxHeader];  // header bytes collected so far
    unsigned char *headerWrite;             // next byte of header[] to fill
    unsigned headerLeft;                    // header bytes still to collect
    unsigned dataLeft;                      // code bytes left in the current block
    unsigned blockLength;  // given at creation; the decoder takes lengths from headers
    int32_t predictor[mAdpcmMaxChannels];  // -32768..32767
    int32_t stepIndex[mAdpcmMaxChannels];  // 0..88
};

// Creates a decoder for 1 or 2 channels (22 for any other count).
int mAdpcmInitState(unsigned channels, unsigned blockLength, mAdpcmState **state);
int mAdpcmFreeState(mAdpcmState *state);

// Decodes as much of in[0..inBytes) as fits into outBytes bytes of 16-bit
// output. *inUsed and *outWritten report the bytes consumed and produced.
// Returns 22 if outBytes is not a multiple of 4, else 0: bad data is never an
// error. A header with wrong magic bytes, a wrong checksum, a block length
// shorter than the header or a step index above 88 is skipped one byte at a
// time (the call returns after each skipped byte; the next call goes on).
int mAdpcmDecode(const unsigned char *in, unsigned inBytes, short *out, unsigned outBytes,
                 unsigned *inUsed, unsigned *outWritten, mAdpcmState *state);

// The inner loops: decode frames frames from in (channels x frames / 2 bytes;
// mono frames must be even) into out, updating the state's predictors and
// step indices. mAdpcmDecodeFrames takes the fast mono or stereo path;
// mAdpcmDecodeFramesGeneral is the plain per-nibble loop they must match.
void mAdpcmDecodeFrames(mAdpcmState *state, const unsigned char *in, short *out, unsigned frames);
void mAdpcmDecodeFramesGeneral(mAdpcmState *state, const unsigned char *in, short *out,
                               unsigned frames);
