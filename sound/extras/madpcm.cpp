// ADPCM block decoder.
#include "sound/extras/madpcm.h"

#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/extras/adpcmtbl.h"

int mAdpcmInitState(unsigned channels, unsigned blockLength, mAdpcmState **state)
{
    if (channels < 1 || channels > mAdpcmMaxChannels)
        return errInvalidArguments;
    mAdpcmState *s;
    int error = memAlloc(sizeof(mAdpcmState), reinterpret_cast<void **>(&s));
    if (error)
        return error;
    std::memset(s, 0, sizeof(*s));
    s->channels = channels;
    s->headerLength = 6 + 3 * channels;
    s->headerWrite = s->header;
    s->headerLeft = s->headerLength;
    s->dataLeft = 0;
    s->blockLength = blockLength;
    *state = s;
    return errOK;
}

int mAdpcmFreeState(mAdpcmState *state) { return memFree(state); }

// One code: returns the new predictor, clamped to 16 bits, and moves the step
// index by the code's magnitude, clamped to the table.
static inline int32_t decodeNibble(unsigned code, int32_t &pred, int32_t &index)
{
    pred += mAdpcmPredDiffTable[static_cast<unsigned>(index)][code];
    if (pred > 32767)
        pred = 32767;
    else if (pred < -32768)
        pred = -32768;
    index += mAdpcmStepSizeAdj[code & 7];
    if (index < 0)
        index = 0;
    else if (index > mAdpcmMaxStep)
        index = mAdpcmMaxStep;
    return pred;
}

void mAdpcmDecodeFramesGeneral(mAdpcmState *state, const unsigned char *in, short *out,
                               unsigned frames)
{
    unsigned nibble = 0;  // index of the next code: byte nibble / 2, high half first
    for (unsigned f = 0; f < frames; f++) {
        for (unsigned c = 0; c < state->channels; c++, nibble++) {
            unsigned byte = in[nibble >> 1];
            unsigned code = (nibble & 1) ? (byte & 15) : (byte >> 4);
            *out++ =
                static_cast<short>(decodeNibble(code, state->predictor[c], state->stepIndex[c]));
        }
    }
}

// Mono: one byte gives two frames.
static void decodeMono(mAdpcmState *state, const unsigned char *in, short *out, unsigned frames)
{
    int32_t pred = state->predictor[0], index = state->stepIndex[0];
    for (unsigned b = 0; b < frames / 2; b++) {
        unsigned byte = in[b];
        out[0] = static_cast<short>(decodeNibble(byte >> 4, pred, index));
        out[1] = static_cast<short>(decodeNibble(byte & 15, pred, index));
        out += 2;
    }
    state->predictor[0] = pred;
    state->stepIndex[0] = index;
}

// Stereo: one byte gives one frame, left from the high nibble.
static void decodeStereo(mAdpcmState *state, const unsigned char *in, short *out, unsigned frames)
{
    int32_t predL = state->predictor[0], indexL = state->stepIndex[0];
    int32_t predR = state->predictor[1], indexR = state->stepIndex[1];
    for (unsigned b = 0; b < frames; b++) {
        unsigned byte = in[b];
        out[0] = static_cast<short>(decodeNibble(byte >> 4, predL, indexL));
        out[1] = static_cast<short>(decodeNibble(byte & 15, predR, indexR));
        out += 2;
    }
    state->predictor[0] = predL;
    state->stepIndex[0] = indexL;
    state->predictor[1] = predR;
    state->stepIndex[1] = indexR;
}

void mAdpcmDecodeFrames(mAdpcmState *state, const unsigned char *in, short *out, unsigned frames)
{
    if (state->channels == 1 && (frames & 1) == 0)
        decodeMono(state, in, out, frames);
    else if (state->channels == 2)
        decodeStereo(state, in, out, frames);
    else
        mAdpcmDecodeFramesGeneral(state, in, out, frames);
}

// Checks a complete header and, when it is good, starts its block.
static bool startBlock(mAdpcmState *s)
{
    const unsigned char *h = s->header;
    if (h[0] != mAdpcmMagic0 || h[1] != mAdpcmMagic1)
        return false;
    unsigned sum = 0;
    for (unsigned i = 0; i < s->headerLength; i++)
        if (i != 4)
            sum += h[i];
    if ((sum & 0xFF) != h[4])
        return false;
    unsigned length = h[2] | (static_cast<unsigned>(h[3]) << 8);
    // A block shorter than its own header has no place for its codes.
    if (length < s->headerLength)
        return false;
    for (unsigned c = 0; c < s->channels; c++)
        if (h[6 + 3 * c + 2] > mAdpcmMaxStep)
            return false;
    s->dataLeft = length - s->headerLength;
    for (unsigned c = 0; c < s->channels; c++) {
        const unsigned char *ch = h + 6 + 3 * c;
        s->predictor[c] = static_cast<int16_t>(ch[0] | (ch[1] << 8));
        s->stepIndex[c] = ch[2];
    }
    return true;
}

int mAdpcmDecode(const unsigned char *in, unsigned inBytes, short *out, unsigned outBytes,
                 unsigned *inUsed, unsigned *outWritten, mAdpcmState *state)
{
    if (outBytes % 4 != 0)
        return errInvalidArguments;
    mAdpcmState *s = state;
    const unsigned channels = s->channels;
    unsigned used = 0, written = 0;

    while (inBytes > 0 && outBytes >= 2 * channels) {
        if (s->dataLeft == 0) {
            unsigned n = s->headerLeft < inBytes ? s->headerLeft : inBytes;
            std::memcpy(s->headerWrite, in, n);
            s->headerWrite += n;
            s->headerLeft -= n;
            in += n;
            inBytes -= n;
            used += n;
            if (s->headerLeft > 0)
                break;  // the rest of the header comes with the next input
            if (!startBlock(s)) {
                // Resynchronise: the search goes on one byte further.
                std::memmove(s->header, s->header + 1, s->headerLength - 1);
                s->headerWrite = s->header + s->headerLength - 1;
                s->headerLeft = 1;
                break;
            }
            s->headerWrite = s->header;
            s->headerLeft = s->headerLength;
            continue;
        }

        unsigned avail = s->dataLeft < inBytes ? s->dataLeft : inBytes;
        unsigned n = outBytes / (2 * channels);
        unsigned byData = avail * 2 / channels;
        if (byData < n)
            n = byData;
        // Mono output space is always an even number of frames (outBytes is a
        // multiple of 4) and the data gives two frames per byte: n stays even
        // and every byte is used whole.
        mAdpcmDecodeFrames(s, in, out, n);
        unsigned inN = channels * n / 2;
        in += inN;
        inBytes -= inN;
        used += inN;
        s->dataLeft -= inN;
        out += channels * n;
        outBytes -= 2 * channels * n;
        written += 2 * channels * n;
    }
    *inUsed = used;
    *outWritten = written;
    return errOK;
}
