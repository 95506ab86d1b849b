// What a sound file holds, for tools: the header of a WAVE file, and the
// counts of a raw ADPCM block stream decoded whole.
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/api/mapi.h"
#include "sound/api/midasdll.h"
#include "sound/extras/madpcm.h"
#include "sound/extras/waveread.h"
#include "sound/mixer/sdevice.h"

using mapi::fail;

int MIDASgetWaveInfo(const char *fileName, MIDASwaveInfo *info)
{
    if (fileName == nullptr || info == nullptr)
        return fail(errInvalidArguments);
    mWaveHandle wave = nullptr;
    int error = mWaveOpen(fileName, &wave);
    if (error != errOK)
        return fail(error);
    bool stereo = wave->sampleType == smp8bitStereo || wave->sampleType == smp16bitStereo;
    bool bits8 = wave->sampleType == smp8bitMono || wave->sampleType == smp8bitStereo;
    info->sampleType = wave->sampleType;
    info->sampleRate = wave->sampleRate;
    info->channels = stereo ? 2 : 1;
    info->bits = bits8 ? 8 : 16;
    info->dataBytes = wave->dataLength;
    error = mWaveClose(wave);
    return error == errOK ? 1 : fail(error);
}

namespace {

// The file in pieces: the decoder keeps its place across them.
struct Reader {
    fileHandle file = nullptr;
    long left = 0;  // bytes not read yet
    unsigned char piece[65536];
    unsigned length = 0, pos = 0;

    // False at the end of the file; *error is set on a read failure.
    bool refill(int *error)
    {
        if (left == 0)
            return false;
        length = left < long(sizeof piece) ? unsigned(left) : unsigned(sizeof piece);
        pos = 0;
        if ((*error = fileRead(file, piece, length)) != errOK)
            return false;
        left -= long(length);
        return true;
    }
};

int scanAdpcm(Reader *r, mAdpcmState *state, MIDASadpcmInfo *info)
{
    static short out[4096];  // 16-bit output, discarded: only the counts matter
    int error = errOK;
    for (;;) {
        if (r->pos == r->length && !r->refill(&error))
            break;
        unsigned used = 0, written = 0;
        if (state->dataLeft == 0) {
            // One header byte per call: a call that completes the header
            // either starts a block (the header count resets to the full
            // length) or skips one byte (one byte left to collect).
            bool completing = state->headerLeft == 1;
            mAdpcmDecode(&r->piece[r->pos], 1, out, sizeof out, &used, &written, state);
            if (used != 1)
                break;  // cannot happen with room for output; never loop on it
            r->pos++;
            if (completing) {
                if (state->headerLeft == state->headerLength)
                    info->blocks++;
                else
                    info->skippedBytes++;
            }
        } else {
            unsigned avail = r->length - r->pos;
            unsigned n = state->dataLeft < avail ? state->dataLeft : avail;
            mAdpcmDecode(&r->piece[r->pos], n, out, sizeof out, &used, &written, state);
            if (used == 0)
                break;
            r->pos += used;
        }
        info->frames += written / (2 * state->channels);
    }
    if (error != errOK)
        return error;
    if (state->dataLeft == 0)
        info->skippedBytes += state->headerLength - state->headerLeft;
    else
        info->missingBytes = state->dataLeft;
    return info->blocks == 0 ? errInvalidADPCM : errOK;
}

}  // namespace

int MIDASgetAdpcmInfo(const char *fileName, unsigned channels, MIDASadpcmInfo *info)
{
    if (fileName == nullptr || info == nullptr || (channels != 1 && channels != 2))
        return fail(errInvalidArguments);
    std::memset(info, 0, sizeof *info);
    static Reader reader;
    Reader *r = &reader;
    r->length = r->pos = 0;
    int error = fileOpen(fileName, 1, &r->file);
    if (error != errOK)
        return fail(error);
    mAdpcmState *state = nullptr;
    if ((error = fileGetSize(r->file, &r->left)) == errOK &&
        (error = mAdpcmInitState(channels, 0, &state)) == errOK) {
        info->inputBytes = (unsigned long long)r->left;
        error = scanAdpcm(r, state, info);
        mAdpcmFreeState(state);
    }
    int closeError = fileClose(r->file);
    if (error == errOK)
        error = closeError;
    return error == errOK ? 1 : fail(error);
}
