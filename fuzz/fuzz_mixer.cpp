// Fuzzes the software mixer through its own entry points, as the device
// record and the tests drive it: one mixer mode (integer, float or
// interpolating; mono or stereo, 8- or 16-bit output), a few samples of any
// type, length and loop set-up, a stream, then a run of channel operations
// and mixing. Every sample buffer (and every output buffer) is allocated to
// its exact size, so a read or write outside it is an AddressSanitizer
// report; after each operation a channel moving backward must stand inside
// its data (checkChannels).
//
// Input: a configuration, then the samples, then operations, all read
// through FuzzedDataProvider (missing bytes read as zeros).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sound/mixer/dsm.h"

namespace {

constexpr int maxSamples = 4;
constexpr unsigned maxSampleBytes = 4096;
constexpr unsigned maxMixFrames = 1024;  // short runs: more inputs per second

// Buffers the mixer reads but does not own: exact size, freed only after
// the mixer has let go of them.
struct Block {
    uint8_t *data = nullptr;
    unsigned bytes = 0;
};

Block makeBlock(FuzzedDataProvider &in, unsigned bytes)
{
    Block b;
    b.bytes = bytes;
    if (bytes == 0)
        return b;
    b.data = static_cast<uint8_t *>(std::malloc(bytes));
    if (b.data == nullptr)
        std::abort();
    std::vector<uint8_t> fill = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<unsigned>(0, 64));
    // The fuzzer's bytes, repeated over the whole block; a few fixed values
    // when it gave none (full-scale data finds overflows in the arithmetic).
    for (unsigned i = 0; i < bytes; i++)
        b.data[i] = fill.empty() ? uint8_t(i & 1 ? 0x7F : 0x80) : fill[i % fill.size()];
    return b;
}

// A position or loop point in bytes: mostly around the data, sometimes wild.
unsigned bytePoint(FuzzedDataProvider &in, unsigned bytes)
{
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
        return in.ConsumeIntegral<unsigned>();
    case 1:
        return bytes;
    case 2:
        return bytes > 0 ? bytes - 1 : 0;
    case 3:
        return 0;
    default:
        return in.ConsumeIntegralInRange<unsigned>(0, bytes + 8);
    }
}

// A loop end: often a few bytes after the start (the shortest loops, of one
// or two frames, are where the interpolation partner runs out of room).
unsigned loopEnd(FuzzedDataProvider &in, unsigned start, unsigned bytes)
{
    if (in.ConsumeBool())
        return start + in.ConsumeIntegralInRange<unsigned>(0, 8);
    return bytePoint(in, bytes);
}

unsigned playRate(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
        return in.ConsumeIntegral<unsigned>();  // up to steps of thousands of frames
    case 1:
        return in.ConsumeIntegralInRange<unsigned>(0, 200);  // below one frame per output frame
    default:
        return in.ConsumeIntegralInRange<unsigned>(1000, 400000);
    }
}

const int sampleTypes[] = {smp8bitMono,  smp16bitMono, smp8bitStereo, smp16bitStereo,
                           smpUlawMono,  smpUlawStereo, smpNone,      smpAdpcmMono,
                           smpAdpcmStereo};

// The mixer calls it at loop ends and bidirectional loop starts, on the
// mixing path; that path is what is exercised.
void onLoop(unsigned) {}

// A playing channel moves backward only inside a bidirectional loop and
// stands inside its data then: its next run reads from its position down.
// (Moving forward, a position past the end reads nothing, the next run being
// empty; the sanitizer checks every read that does happen.)
void checkChannels()
{
    for (unsigned i = 0; i < dsmAllocatedChannels; i++) {
        const MixChannel *c = &dsmChannels[i];
        const int loopType = c->loopNum == 2 ? c->loop2Type : c->loop1Type;
        if (c->status >= dsmChPlaying && c->sample != nullptr && c->direction == -1 &&
            (c->playPos >= c->length || loopType != loopBidir)) {
            std::fprintf(stderr,
                         "channel %u: status %d at %u of %u frames moving backward, type %d, "
                         "loop %d/%d %u-%u %u-%u, handle %u\n",
                         i, c->status, c->playPos, c->length, c->sampleType, c->loopNum,
                         c->loopMode, c->loop1Start, c->loop1End, c->loop2Start, c->loop2End,
                         c->sampleHandle);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);

    // ---- Configuration --------------------------------------------------
    const unsigned rates[] = {8000, 11025, 22050, 44100, 48000, 96000};
    unsigned mixRate = rates[in.ConsumeIntegralInRange<int>(0, 5)];
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0)
        mixRate = in.ConsumeIntegralInRange<unsigned>(1, 200000);
    unsigned mode = in.ConsumeBool() ? dsmModeStereo : dsmModeMono;
    mode |= in.ConsumeBool() ? dsmMode16bit : dsmMode8bit;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        mode |= dsmModeInteger;
        break;
    case 1:
        mode |= dsmModeFloat;
        break;
    default:
        mode |= dsmModeFloat | dsmModeInterp;
        break;
    }
    MixOptions options;
    options.outputFilterMode = in.ConsumeIntegralInRange<int>(0, 3);
    options.disableVolumeRamping = in.ConsumeBool();
    options.ulawAutoConvert = in.ConsumeBool();
    const unsigned channels = in.ConsumeIntegralInRange<unsigned>(1, 8);

    if (dsmInit(mixRate, mode, options) != 0)
        std::abort();
    if (dsmOpenChannels(channels) != 0)
        std::abort();

    // ---- Samples ------------------------------------------------------------
    std::vector<Block> blocks;  // our buffers, freed at the end (or once the mixer lets go)
    unsigned handles[maxSamples] = {};
    int owned[maxSamples] = {};  // index into blocks of data the mixer reads in place, or -1
    const int numSamples = in.ConsumeIntegralInRange<int>(1, maxSamples);
    for (int i = 0; i < numSamples; i++) {
        // A third each of samples of a few frames, short ones and long ones.
        const unsigned most[] = {8, 64, maxSampleBytes};
        const unsigned bytes = in.ConsumeIntegralInRange(0u, most[in.ConsumeIntegralInRange(0, 2)]);
        Block b = makeBlock(in, bytes);
        SoundDeviceSample s{};
        s.sample = b.data;
        s.location = in.ConsumeIntegralInRange<int>(0, 7) != 0;
        s.sampleType = sampleTypes[in.ConsumeIntegralInRange<int>(0, 8)];
        s.length = bytes;
        s.loopMode = in.ConsumeIntegralInRange<int>(0, 5);
        s.loop1Start = bytePoint(in, bytes);
        s.loop1End = loopEnd(in, s.loop1Start, bytes);
        s.loop1Type = in.ConsumeIntegralInRange<int>(0, 3);
        s.loop2Start = bytePoint(in, bytes);
        s.loop2End = loopEnd(in, s.loop2Start, bytes);
        s.loop2Type = in.ConsumeIntegralInRange<int>(0, 3);
        const int copy = in.ConsumeBool();
        if (dsmAddSample(&s, copy, &handles[i]) != 0)
            std::abort();
        blocks.push_back(b);
        owned[i] = copy ? -1 : int(blocks.size() - 1);
        if (copy) {
            // The mixer has its own copy: ours goes now, so a read of it
            // after this point is a use after free.
            std::free(blocks.back().data);
            blocks.back().data = nullptr;
        }
    }

    // A stream on the last channel: a circular buffer of its own.
    Block stream;
    int streamType = smpNone;
    if (in.ConsumeBool()) {
        streamType = sampleTypes[in.ConsumeIntegralInRange<int>(0, 5)];
        stream = makeBlock(in, in.ConsumeIntegralInRange<unsigned>(0, maxSampleBytes));
        dsmStartStream(channels - 1, stream.data, stream.bytes, streamType, playRate(in));
    }

    // ---- Operations -----------------------------------------------------------
    // The streams layer moves the write position and pauses only a channel
    // that still plays its stream (a sample started there ends the stream).
    auto streamOn = [&]() {
        return streamType != smpNone && dsmChannels[channels - 1].sampleHandle == dsmStreamHandle;
    };
    for (int op = 0; op < 120 && in.remaining_bytes() > 0; op++) {
        const unsigned ch = in.ConsumeIntegralInRange<unsigned>(0, channels);  // channels: out of range
        const int slot = in.ConsumeIntegralInRange<int>(0, numSamples - 1);
        switch (in.ConsumeIntegralInRange<int>(0, 17)) {
        case 0:
            // Alone, or a new note as the player starts one.
            dsmSetSample(ch, handles[slot]);
            if (in.ConsumeBool())
                dsmPlaySound(ch, playRate(in));
            break;
        case 1:
            dsmPlaySound(ch, playRate(in));
            break;
        case 2:
            dsmSetPosition(ch, bytePoint(in, in.ConsumeBool() ? 48 : maxSampleBytes));
            break;
        case 3:
            dsmSetRate(ch, playRate(in));
            break;
        case 4:
            dsmSetVolume(ch, in.ConsumeIntegralInRange<unsigned>(0, 80));
            break;
        case 5:
            dsmSetPanning(ch, in.ConsumeBool() ? panSurround : in.ConsumeIntegralInRange<int>(-70, 70));
            break;
        case 6:
            dsmReleaseSound(ch);
            break;
        case 7:
            dsmStopSound(ch);
            break;
        case 8:
            dsmMuteChannel(ch, in.ConsumeBool());
            break;
        case 9:
            dsmSetMasterVolume(in.ConsumeIntegralInRange<unsigned>(0, 70));
            break;
        case 10:
            // Up to 16 times unity: the API passes percent x 64 / 100.
            dsmSetAmplification(in.ConsumeIntegralInRange<unsigned>(0, 1024));
            break;
        case 11:
            dsmSetLoopCallback(ch, in.ConsumeBool() ? onLoop : nullptr);
            break;
        case 12:
            // Removing a sample stops the channels playing it; data the
            // mixer read in place may then be freed.
            if (handles[slot] != 0 && dsmRemoveSample(handles[slot]) == 0) {
                handles[slot] = 0;
                if (owned[slot] >= 0) {
                    std::free(blocks[owned[slot]].data);
                    blocks[owned[slot]].data = nullptr;
                }
            }
            break;
        case 13:
            // The streams layer writes whole frames and wraps its write
            // offset to 0 at the buffer's end.
            if (streamOn() && (stream.bytes >> dsmFrameShift(streamType)) > 0) {
                const unsigned shift = dsmFrameShift(streamType);
                const unsigned frame = bytePoint(in, stream.bytes) % (stream.bytes >> shift);
                dsmSetStreamWritePosition(channels - 1, frame << shift);
            }
            break;
        case 14:
            if (streamOn())
                dsmPauseStream(channels - 1, in.ConsumeBool());
            break;
        case 15:
            if (in.ConsumeBool())
                dsmPause(in.ConsumeBool());
            else
                dsmMute(in.ConsumeBool());
            break;
        default: {
            const unsigned frames = in.ConsumeIntegralInRange<unsigned>(1, maxMixFrames);
            const size_t bytes = size_t(frames) * (mode & dsmModeStereo ? 2 : 1) *
                                 (mode & dsmMode16bit ? 2 : 1);
            uint8_t *out = static_cast<uint8_t *>(std::malloc(bytes));
            if (out == nullptr || dsmMixData(frames, out) != 0)
                std::abort();
            std::free(out);
            break;
        }
        }
        checkChannels();
    }

    // ---- Shut-down ---------------------------------------------------------------
    if (streamType != smpNone)
        dsmStopStream(channels - 1);
    for (int i = 0; i < numSamples; i++)
        if (handles[i] != 0 && dsmRemoveSample(handles[i]) != 0)
            std::abort();
    if (dsmCloseChannels() != 0 || dsmClose() != 0)
        std::abort();
    for (Block &b : blocks)
        std::free(b.data);
    std::free(stream.data);
    return 0;
}
