// Impulse Tracker module loader ("IMPM" at offset 0), with or without
// instruments, plain or compressed (IT 2.14 / 2.15) sample data.
#include <cstring>
#include <utility>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"
#include "sound/player/itsmpdec.h"
#include "sound/player/ldcommon.h"

namespace {

// Module header (little-endian).
enum {
    hdrTag = 0,            // 4: "IMPM"
    hdrName = 4,           // 26
    hdrOrderCount = 32,    // 2
    hdrInstCount = 34,     // 2
    hdrSampleCount = 36,   // 2
    hdrPattCount = 38,     // 2
    hdrVersion = 40,       // 2: tracker version
    hdrCompatible = 42,    // 2: compatible with; 0x200 and up: new instruments
    hdrFlags = 44,         // 2: bit 2 instruments, bit 3 linear slides
    hdrGlobalVolume = 48,  // 1: 0..128
    hdrSpeed = 50,         // 1
    hdrTempo = 51,         // 1
    hdrChanPan = 64,       // 64: 128 and up = channel off
    hdrChanVolume = 128,   // 64
    itHeaderSize = 192     // then the orders, instrument offsets, sample
                           // offsets, pattern offsets (4 bytes each)
};

// Sample header, 80 bytes at its offset.
enum {
    smpGlobalVolume = 0x11,  // 1
    smpFlags = 0x12,         // 1: see below
    smpVolume = 0x13,        // 1
    smpName = 0x14,          // 26
    smpConvert = 0x2E,       // 1: see below
    smpLength = 0x30,        // 4, frames
    smpLoopStart = 0x34,     // 4
    smpLoopEnd = 0x38,       // 4
    smpMiddleC = 0x3C,       // 4: sample rate of middle C
    smpSusStart = 0x40,      // 4
    smpSusEnd = 0x44,        // 4
    smpDataPos = 0x48,       // 4: file offset of the data
    smpVibSpeed = 0x4C,
    smpVibDepth = 0x4D,
    smpVibRate = 0x4E,
    smpVibType = 0x4F,
    itSampleSize = 80
};

enum {
    itInstSize = 554,      // both instrument formats
    itNewInstMin = 0x226,  // end of the pitch envelope of the new format
    itMaxSampleBytes = 0x7FFFFFEF,
    itEnvVolume = 0x130,   // new-format envelopes: 6 header bytes, 25 points
    itEnvPanning = 0x182,  // of 3 bytes and one spare byte, 82 bytes apart
    itEnvPitch = 0x1D4,
    itOldNodes = 0x1F8  // old format: 25 (tick, value) pairs, tick 255 ends
};

// Sample header flags (offset 0x12) and conversion flags (0x2E).
enum {
    itSmpPresent = 0x01,
    itSmp16 = 0x02,
    itSmpStereo = 0x04,
    itSmpCompressed = 0x08,
    itSmpLoop = 0x10,
    itSmpSusLoop = 0x20,
    itSmpBidi = 0x40,
    itSmpSusBidi = 0x80,
    itCvtSigned = 0x01,
    itCvtBigEndian = 0x02,
    itCvtDelta = 0x04
};

// What a packed channel remembers for the repeat bits of its mask; volume
// bytes stop at 212, so 255 marks "no volume yet".
enum { itNoVolume = 255 };
struct ChannelMemory {
    uint8_t mask, note, inst, vol, command, info;
};

struct ITLoad {
    fileHandle file = nullptr;
    ModuleRecord *module = nullptr;
    long fileSize = 0;
    int addSD = 0;
    gmpSampleCallback sampleCallback = nullptr;
    unsigned ordNum = 0, insNum = 0, smpNum = 0, patNum = 0;  // the header's counts
    bool useInsts = false;                                    // the song uses instruments
    unsigned numInsts = 0;        // instruments, or one per sample without them
    unsigned long listBytes = 0;  // bytes at lists
    uint8_t *header = nullptr;    // itHeaderSize bytes
    uint8_t *lists = nullptr;     // orders and the three offset lists
    uint8_t *patt = nullptr;      // one packed pattern, up to 64 KiB
    uint8_t *conv = nullptr;      // one converted pattern
    unsigned convSize = 0;        // bytes at conv
    uint8_t *inst = nullptr;      // one instrument header
    // Pattern bytes name instruments 0..254 only; the file may count more
    // (look them up through isUsed).
    uint8_t instUsed[256] = {};
    int maxChan = -1;   // highest enabled channel
    int chanLimit = 0;  // entries of higher channels are dropped
    int maxChanFound = -1;
    ChannelMemory mem[64] = {};
};

bool isUsed(const ITLoad &s, unsigned inst) { return inst < sizeof s.instUsed && s.instUsed[inst]; }

int LoadError(ITLoad &s, int error)
{
    if (s.file)
        fileClose(s.file);
    gmpFreeModule(s.module);
    uint8_t *blocks[] = {s.header, s.lists, s.patt, s.conv, s.inst};
    for (uint8_t *b : blocks)
        if (b)
            memFree(b);
    return error;
}

// A packed entry of one stored byte can expand to 6 bytes (flag, note,
// instrument, volume, command, info) through the repeat bits, so a pattern
// of len stored bytes and rows rows converts into at most
// 8 + rows + 6 * len bytes.
enum { itPattBuffer = 0x10000 };
inline unsigned convBytes(unsigned len, unsigned rows) { return 8 + rows + 6 * len; }

uint8_t convertNote(uint8_t n)
{
    if (n < 120)
        return static_cast<uint8_t>((n / 12) * 16 + n % 12);
    if (n == 255)
        return gmpNoteKeyOff;  // IT note off
    if (n == 254)
        return gmpNoteCut;
    return gmpNoteNone;  // note fade and undefined values: no note
}

void convertCommand(uint8_t c, uint8_t infoIn, uint8_t *command, uint8_t *info)
{
    *command = 0;
    *info = infoIn;
    if (c < 1 || c > 25)
        return;
    if (c == 19) {  // S: sub-command in the high nibble
        *command = itSCommands[infoIn >> 4];
        *info = infoIn & 0x0F;
    } else if (c == 22) {  // V: IT global volume runs 0..128, the player's 0..64
        *command = itCommands[c];
        *info = static_cast<uint8_t>((infoIn > 128 ? 128 : infoIn) / 2);
    } else if (c == 24) {  // X: 0..255 panning onto 0..64
        *command = cmdSetPanning;
        *info = static_cast<uint8_t>((infoIn + 1) / 4);
    } else {
        *command = itCommands[c];
    }
}

// Converts len bytes of packed data (rows rows) into s.conv. Data that end
// early leave the remaining rows empty.
void ConvertPattern(ITLoad &s, unsigned len, unsigned rows, unsigned numInsts, uint32_t *length)
{
    // A repeat bit before any value was given repeats nothing.
    for (ChannelMemory &cm : s.mem)
        cm = {0, gmpNoteNone, gmpInstNone, itNoVolume, 0, 0};
    uint8_t *out = s.conv + sizeof(PatternRecord);
    const uint8_t *in = s.patt;
    unsigned pos = 0;
    for (unsigned row = 0; row < rows; row++) {
        while (pos < len) {
            uint8_t c = in[pos++];
            if (c == 0)
                break;
            int ch = (c - 1) & 63;
            ChannelMemory &cm = s.mem[ch];
            if (c & 0x80) {
                if (pos >= len)
                    break;
                cm.mask = in[pos++];
            }
            uint8_t mask = cm.mask;
            unsigned need =
                (mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1) + ((mask & 8) ? 2 : 0);
            if (len - pos < need) {
                pos = len;
                break;
            }
            bool noteOrInst = false, hasVol = false;
            uint8_t note = gmpNoteNone, inst = gmpInstNone, vol = 0, command = 0, info = 0;
            if (mask & 0x01) {
                cm.note = convertNote(in[pos++]);
                note = cm.note;
                noteOrInst = true;
            }
            if (mask & 0x02) {
                unsigned k = in[pos++];
                cm.inst =
                    (k != 0 && k <= numInsts) ? static_cast<uint8_t>(k - 1) : uint8_t{gmpInstNone};
                if (cm.inst != gmpInstNone)
                    s.instUsed[cm.inst] = 1;
                inst = cm.inst;
                noteOrInst = true;
            }
            if (mask & 0x04) {
                cm.vol = in[pos++];
                vol = cm.vol;
                hasVol = true;
            }
            if (mask & 0x08) {
                uint8_t cmd = in[pos++];
                uint8_t arg = in[pos++];
                convertCommand(cmd, arg, &cm.command, &cm.info);
                command = cm.command;
                info = cm.info;
            }
            if (mask & 0x10) {
                note = cm.note;
                noteOrInst = true;
            }
            if (mask & 0x20) {
                inst = cm.inst;
                noteOrInst = true;
            }
            if ((mask & 0x40) && cm.vol != itNoVolume) {
                vol = cm.vol;
                hasVol = true;
            }
            if (mask & 0x80) {
                command = cm.command;
                info = cm.info;
            }
            uint8_t flags = (noteOrInst ? gmpEntryNote : 0) | (hasVol ? gmpEntryVolume : 0) |
                            (command != 0 ? gmpEntryCommand : 0);
            if (flags == 0 || ch >= gmpMaxChannels || ch > s.chanLimit)
                continue;
            if (ch > s.maxChanFound)
                s.maxChanFound = ch;
            *out++ = static_cast<uint8_t>(flags | ch);
            if (flags & gmpEntryNote) {
                *out++ = note;
                *out++ = inst;
            }
            if (flags & gmpEntryVolume)
                *out++ = vol;
            if (flags & gmpEntryCommand) {
                *out++ = command;
                *out++ = info;
            }
        }
        *out++ = 0;
    }
    *length = static_cast<uint32_t>(out - s.conv);
}

// One envelope of the new instrument format at e (82 bytes), or null when it
// is off or has no points. kind: 0 volume, 1 panning, 2 pitch.
//
// Values are stored on the 0..64 scale of the module records: volume as it
// is, panning and pitch (signed -32..32 on disk) moved up by 32, so that 32
// is the centre (no pitch change for the pitch envelope).
//
// IT has no separate sustain point: a sustain loop whose start equals its
// end is IT's "sustain at this point". The player holds an envelope at
// susPoint and runs sustain loops only when susPoint is set, so susPoint is
// the sustain loop's end point: a one-point loop then holds there, a longer
// loop jumps back from its end while the key is held. 255 without a sustain
// loop.
int readEnvelope(const uint8_t *e, int kind, EnvelopeRecord **out)
{
    *out = nullptr;
    uint8_t flags = e[0];
    unsigned num = e[1];
    // A pitch envelope with bit 7 set steers a filter, which the mixer does
    // not have; it must not bend the pitch.
    if (!(flags & 1) || num == 0 || (kind == 2 && (flags & 0x80)))
        return errOK;
    if (num > gmpEnvPoints)
        num = gmpEnvPoints;
    EnvelopeRecord *env;
    int error = memAlloc(sizeof(EnvelopeRecord), reinterpret_cast<void **>(&env));
    if (error)
        return error;
    std::memset(env, 0, sizeof *env);
    env->numPoints = static_cast<uint8_t>(num);
    env->loopStart = env->loopEnd = env->susLoopStart = env->susLoopEnd = 255;
    env->susPoint = 255;
    if ((flags & 2) && e[2] <= e[3] && e[3] < num) {
        env->loopStart = e[2];
        env->loopEnd = e[3];
    }
    if ((flags & 4) && e[4] <= e[5] && e[5] < num) {
        env->susLoopStart = e[4];
        env->susLoopEnd = e[5];
        env->susPoint = e[5];
    }
    uint16_t lastPos = 0;
    for (unsigned k = 0; k < num; k++) {
        const uint8_t *p = e + 6 + 3 * k;
        int value;
        if (kind == 0) {
            value = p[0] > 64 ? 64 : p[0];
        } else {
            value = static_cast<int8_t>(p[0]);
            value = (value < -32 ? -32 : value > 32 ? 32 : value) + 32;
        }
        // Positions start at tick 0 and never go back, so that the player
        // always finds a point before the current position.
        uint16_t pos = k == 0 ? 0 : ldLE16(p + 1);
        if (pos < lastPos)
            pos = lastPos;
        lastPos = pos;
        env->points[k].pos = pos;
        env->points[k].value = static_cast<int16_t>(value);
    }
    *out = env;
    return errOK;
}

// The volume envelope of the old instrument format: flags at 0x11, loop and
// sustain-loop points at 0x12..0x15, nodes of (tick, value) at 0x1F8 ending
// at a tick of 255.
int readOldEnvelope(const uint8_t *ih, EnvelopeRecord **out)
{
    *out = nullptr;
    uint8_t flags = ih[0x11];
    unsigned num = 0;
    while (num < gmpEnvPoints && ih[itOldNodes + 2 * num] != 255)
        num++;
    if (!(flags & 1) || num == 0)
        return errOK;
    uint8_t e[6 + 3 * gmpEnvPoints];
    e[0] = flags;
    e[1] = static_cast<uint8_t>(num);
    std::memcpy(e + 2, ih + 0x12, 4);
    for (unsigned k = 0; k < num; k++) {
        e[6 + 3 * k] = ih[itOldNodes + 2 * k + 1];
        e[7 + 3 * k] = ih[itOldNodes + 2 * k];
        e[8 + 3 * k] = 0;
    }
    return readEnvelope(e, 0, out);
}

// Reads and converts the data of one sample into a new block *data holding
// smp->sampleLength bytes in the device's format: 8-bit unsigned or 16-bit
// signed mono. Stereo samples (left then right on disk) are mixed down.
// *frames is updated when the file holds fewer frames than the header says.
int readSampleData(ITLoad &s, const uint8_t *sh, uint32_t *framesInOut, bool is16, bool stereo,
                   void **dataOut)
{
    *dataOut = nullptr;
    const uint8_t flags = sh[smpFlags], cvt = sh[smpConvert];
    const unsigned frameBytes = is16 ? 2 : 1, channels = stereo ? 2 : 1;
    const long dataPos = static_cast<long>(ldLE32(sh + smpDataPos));
    const unsigned long avail =
        dataPos >= 0 && dataPos < s.fileSize ? static_cast<unsigned long>(s.fileSize - dataPos) : 0;
    uint32_t frames = *framesInOut;
    // Compressed data cost at least one bit a frame; plain data their size.
    const unsigned long most =
        (flags & itSmpCompressed) ? avail * 8 / channels : avail / (frameBytes * channels);
    if (frames > most)
        frames = static_cast<uint32_t>(most);
    *framesInOut = frames;
    if (frames == 0)
        return errOK;

    const unsigned long planeBytes = static_cast<unsigned long>(frames) * frameBytes;
    // Both channels of a stereo sample are decoded before the mix-down.
    if (planeBytes * channels > itMaxSampleBytes)
        return errInvalidInst;
    uint8_t *buf;
    int error = memAlloc(static_cast<int>(planeBytes * channels), reinterpret_cast<void **>(&buf));
    if (error)
        return error;
    if ((error = fileSeek(s.file, dataPos, rfSeekAbsolute)) != 0) {
        memFree(buf);
        return error;
    }
    if (flags & itSmpCompressed) {
        // Decoded data are signed whatever the conversion flags say; bit 2
        // selects the double integration of IT 2.15.
        const int it215 = (cvt & itCvtDelta) != 0;
        unsigned long used = 0, total = 0;
        for (unsigned c = 0; c < channels && error == errOK; c++) {
            error = itsDecompress(s.file, avail - total, buf + c * planeBytes, frames, is16, it215,
                                  &used);
            total += used;
        }
    } else {
        error = fileRead(s.file, buf, planeBytes * channels);
        if (error == errOK) {
            // To native signed values, channel by channel.
            for (unsigned c = 0; c < channels; c++) {
                uint8_t *plane = buf + c * planeBytes;
                if (is16) {
                    int16_t *d = reinterpret_cast<int16_t *>(plane);
                    uint16_t acc = 0;
                    for (uint32_t j = 0; j < frames; j++) {
                        uint8_t lo = plane[2 * j], hi = plane[2 * j + 1];
                        if (cvt & itCvtBigEndian)
                            std::swap(lo, hi);
                        uint16_t v = static_cast<uint16_t>(lo | (hi << 8));
                        if (!(cvt & itCvtSigned))
                            v ^= 0x8000;
                        if (cvt & itCvtDelta)
                            v = acc = static_cast<uint16_t>(acc + v);
                        d[j] = static_cast<int16_t>(v);
                    }
                } else {
                    uint8_t acc = 0;
                    for (uint32_t j = 0; j < frames; j++) {
                        uint8_t v = plane[j];
                        if (!(cvt & itCvtSigned))
                            v ^= 0x80;
                        if (cvt & itCvtDelta)
                            v = acc = static_cast<uint8_t>(acc + v);
                        plane[j] = v;
                    }
                }
            }
        }
    }
    if (error) {
        memFree(buf);
        return error;
    }
    // Signed frames in buf from here on.
    if (stereo) {
        if (is16) {
            int16_t *l = reinterpret_cast<int16_t *>(buf);
            const int16_t *r = reinterpret_cast<const int16_t *>(buf + planeBytes);
            for (uint32_t j = 0; j < frames; j++)
                l[j] = static_cast<int16_t>((l[j] + r[j]) >> 1);
        } else {
            int8_t *l = reinterpret_cast<int8_t *>(buf);
            const int8_t *r = reinterpret_cast<const int8_t *>(buf + planeBytes);
            for (uint32_t j = 0; j < frames; j++)
                l[j] = static_cast<int8_t>((l[j] + r[j]) >> 1);
        }
    }
    if (!is16)
        for (uint32_t j = 0; j < frames; j++)
            buf[j] ^= 0x80;  // the device takes 8-bit data unsigned
    *dataOut = buf;
    return errOK;
}

// Loop bounds in frames; a loop beyond the data is cut to it, and one that
// is left empty is no loop.
bool clampLoop(uint32_t *start, uint32_t *end, uint32_t frames)
{
    if (*end > frames)
        *end = frames;
    return *start < *end;
}

int LoadSample(ITLoad &s, unsigned i, const uint8_t *offsets, int addSD,
               gmpSampleCallback sampleCallback)
{
    ModuleRecord *m = s.module;
    SampleRecord *smp;
    int error = memAlloc(sizeof(SampleRecord), reinterpret_cast<void **>(&smp));
    if (error)
        return error;
    std::memset(smp, 0, sizeof *smp);
    m->samples[i] = smp;
    smp->panning = -1;
    smp->baseTune = 8363;

    uint8_t sh[itSampleSize];
    unsigned long got = 0;
    long offset = static_cast<long>(ldLE32(offsets + 4 * i));
    std::memset(sh, 0, sizeof sh);  // offset 0: no header, an empty sample
    if (offset != 0) {
        if ((error = ldReadAt(s.file, s.fileSize, offset, sh, itSampleSize, &got)) != 0)
            return error;
        if (got != itSampleSize)
            return errEndOfFile;
    }

    const uint8_t flags = sh[smpFlags];
    // Before version 2.14 the stereo bit was sometimes left set by mistake.
    const bool is16 = flags & itSmp16;
    const bool stereo = (flags & itSmpStereo) && ldLE16(s.header + hdrVersion) >= 0x214;
    const unsigned frameBytes = is16 ? 2 : 1;
    uint32_t frames = (flags & itSmpPresent) ? ldLE32(sh + smpLength) : 0;
    if (frames > itMaxSampleBytes / frameBytes)
        return errInvalidInst;

    ldCopyName(smp->name, sh + smpName, 26);
    smp->volume = sh[smpVolume] > 64 ? 64 : sh[smpVolume];
    smp->sampleGlobalVolume = sh[smpGlobalVolume] > 64 ? 64 : sh[smpGlobalVolume];
    uint32_t c5speed = ldLE32(sh + smpMiddleC);
    smp->baseTune = static_cast<int>(c5speed == 0 || c5speed > 9999999 ? 8363 : c5speed);
    smp->fineTune = 0;
    smp->smpVibSpeed = sh[smpVibSpeed];
    smp->smpVibDepth = sh[smpVibDepth];
    smp->smpVibRate = sh[smpVibRate];
    smp->smpVibType = sh[smpVibType];

    void *data = nullptr;
    if (frames != 0 && (error = readSampleData(s, sh, &frames, is16, stereo, &data)) != 0)
        return error;

    uint32_t loopStart = ldLE32(sh + smpLoopStart), loopEnd = ldLE32(sh + smpLoopEnd);
    uint32_t susStart = ldLE32(sh + smpSusStart), susEnd = ldLE32(sh + smpSusEnd);
    bool loop = (flags & itSmpLoop) && clampLoop(&loopStart, &loopEnd, frames);
    bool sus = (flags & itSmpSusLoop) && clampLoop(&susStart, &susEnd, frames);
    if (!loop)
        loopStart = loopEnd = 0;
    if (!sus)
        susStart = susEnd = 0;
    smp->loopType = loop ? ((flags & itSmpBidi) ? loopBidir : loopUnidir) : loopNone;
    smp->susLoopType = sus ? ((flags & itSmpSusBidi) ? loopBidir : loopUnidir) : loopNone;
    smp->loopMode = sus ? sdLoop2 : loop ? sdLoop1Rel : sdLoopNone;
    smp->sampleLength = frames * frameBytes;
    smp->loopStart = loopStart * frameBytes;
    smp->loopEnd = loopEnd * frameBytes;
    smp->susLoopStart = susStart * frameBytes;
    smp->susLoopEnd = susEnd * frameBytes;
    smp->sampleType = is16 ? smp16bitMono : smp8bitMono;

    // The device plays loop 1 until the note is released, then loop 2.
    // IT plays the sustain loop while the key is held and the normal loop
    // after it, so a sample with a sustain loop hands that over first; a
    // sample with only a normal loop keeps it on both sides of the release.
    SoundDeviceSample sd = {};
    if (sus) {
        sd.loop1Start = smp->susLoopStart;
        sd.loop1End = smp->susLoopEnd;
        sd.loop1Type = smp->susLoopType;
        sd.loop2Start = smp->loopStart;
        sd.loop2End = smp->loopEnd;
        sd.loop2Type = smp->loopType;
    } else {
        sd.loop1Start = sd.loop2Start = smp->loopStart;
        sd.loop1End = sd.loop2End = smp->loopEnd;
        sd.loop1Type = sd.loop2Type = smp->loopType;
    }
    return ldAddSample(smp, data, &sd, addSD, sampleCallback);
}

int LoadInstrument(ITLoad &s, unsigned i, const uint8_t *offsets, bool newFormat)
{
    ModuleRecord *m = s.module;
    uint8_t *ih = s.inst;
    std::memset(ih, 0, itInstSize);
    long offset = static_cast<long>(ldLE32(offsets + 4 * i));
    unsigned long got = 0;
    int error;
    // Offset 0: no header, an empty instrument. The new format may end
    // with its pitch envelope.
    if (offset != 0) {
        if ((error = ldReadAt(s.file, s.fileSize, offset, ih, itInstSize, &got)) != 0)
            return error;
        if (got < (newFormat ? 0ul + itNewInstMin : 0ul + itInstSize))
            return errEndOfFile;
    }

    // The keyboard's distinct sample numbers, in order of first appearance.
    const uint8_t *kb = ih + 0x40;
    uint8_t list[120];
    unsigned count = 0;
    uint8_t index[120];
    for (unsigned n = 0; n < 120; n++) {
        unsigned smpNum = kb[2 * n + 1];
        index[n] = 255;
        if (smpNum == 0 || smpNum > m->numSamples)
            continue;
        unsigned k = 0;
        while (k < count && list[k] != smpNum)
            k++;
        if (k == count)
            list[count++] = static_cast<uint8_t>(smpNum);
        index[n] = static_cast<uint8_t>(k);
    }

    InstrumentRecord *inst;
    if ((error = gmpAllocInstrument(count, &inst)) != 0)
        return error;
    m->instruments[i] = inst;
    for (unsigned k = 0; k < count; k++)
        inst->sampleList[k] = m->samples[list[k] - 1];
    ldCopyName(inst->name, ih + 0x20, 26);
    inst->used = isUsed(s, i);

    if (count != 0) {
        if ((error = memAlloc(240, reinterpret_cast<void **>(&inst->noteSamples))) != 0)
            return error;
        for (unsigned n = 0; n < 120; n++) {
            uint8_t note = kb[2 * n];
            inst->noteSamples[2 * n] = note < 120 ? note : static_cast<uint8_t>(n);
            inst->noteSamples[2 * n + 1] = index[n];
        }
    }

    if (newFormat) {
        inst->newNoteAction = ih[0x11];
        inst->dupCheckType = ih[0x12];
        inst->dupCheckAction = ih[0x13];
        inst->volFadeout = ldLE16(ih + 0x14);
        inst->pitchPanSep = ih[0x16];
        inst->pitchPanCenter = ih[0x17];
        inst->instGlobalVolume = (ih[0x18] > 128 ? 128 : ih[0x18]) / 2;  // 0..128 in the file
        inst->defaultPan = static_cast<int8_t>(ih[0x19]);                // bit 7: no default
        inst->randomVolume = ih[0x1A];
        inst->randomPan = ih[0x1B];
        if ((error = readEnvelope(ih + itEnvVolume, 0, &inst->volEnvelope)) != 0 ||
            (error = readEnvelope(ih + itEnvPanning, 1, &inst->panEnvelope)) != 0 ||
            (error = readEnvelope(ih + itEnvPitch, 2, &inst->pitchEnvelope)) != 0)
            return error;
    } else {
        inst->volFadeout = ldLE16(ih + 0x18);
        inst->newNoteAction = ih[0x1A];
        inst->dupCheckType = ih[0x1B];
        inst->instGlobalVolume = 64;
        inst->defaultPan = -1;
        if ((error = readOldEnvelope(ih, &inst->volEnvelope)) != 0)
            return error;
    }
    return errOK;
}

// Reads and checks the header, makes the module and fills its header
// fields, channel panning and volumes.
int LoadHeader(ITLoad &s)
{
    CHECK(fileGetSize(s.file, &s.fileSize));
    CHECK(memAlloc(itHeaderSize, reinterpret_cast<void **>(&s.header)));
    CHECK(gmpAllocModule(&s.module));
    CHECK(fileRead(s.file, s.header, itHeaderSize));
    const uint8_t *h = s.header;
    if (std::memcmp(h + hdrTag, "IMPM", 4) != 0)
        return errInvalidModule;

    ModuleRecord *m = s.module;
    s.ordNum = ldLE16(h + hdrOrderCount);
    s.insNum = ldLE16(h + hdrInstCount);
    s.smpNum = ldLE16(h + hdrSampleCount);
    s.patNum = ldLE16(h + hdrPattCount);
    const unsigned fileFlags = ldLE16(h + hdrFlags);
    s.useInsts = fileFlags & 0x04;
    // The offset lists must lie inside the file before anything is sized
    // by their counts.
    s.listBytes = s.ordNum + 4ul * (s.insNum + s.smpNum + s.patNum);
    if (itHeaderSize + s.listBytes > static_cast<unsigned long>(s.fileSize))
        return errEndOfFile;
    if (s.ordNum == 0)
        return errInvalidModule;

    ldCopyName(m->name, h + hdrName, 26);
    m->playMode = gmpIT;
    // Global volume 0..128 in the file, 0..64 in the module.
    const unsigned globalVolume = h[hdrGlobalVolume] > 128 ? 128 : h[hdrGlobalVolume];
    m->masterVolume = static_cast<uint8_t>(globalVolume / 2);
    m->speed = h[hdrSpeed];
    m->tempo = h[hdrTempo];
    m->restart = 0;
    m->flags = 0;
    if (s.useInsts)
        m->flags |= gmpInstruments;
    if (fileFlags & 0x08)
        m->flags |= gmpLinearFreq;

    // Channels 0..31 with panning below 128 are on; entries may use one
    // channel beyond the highest of them.
    for (int c = 0; c < gmpMaxChannels; c++)
        if (h[hdrChanPan + c] < 128)
            s.maxChan = c;
    s.chanLimit = s.maxChan + 1;
    CHECK(memAlloc(64 * sizeof(int), reinterpret_cast<void **>(&m->panning)));
    for (int c = 0; c < 64; c++)
        m->panning[c] = h[hdrChanPan + c];
    for (int c = 0; c < 64; c++)
        m->chanVolume[c] = h[hdrChanVolume + c] > 64 ? 64 : h[hdrChanVolume + c];
    return errOK;
}

const uint8_t *instOffsets(const ITLoad &s) { return s.lists + s.ordNum; }
const uint8_t *smpOffsets(const ITLoad &s) { return instOffsets(s) + 4 * s.insNum; }
const uint8_t *pattOffsets(const ITLoad &s) { return smpOffsets(s) + 4 * s.smpNum; }

// Reads the lists after the header and makes the order list; returns the
// pattern count in *numPatts: the file's, or more when the orders name more.
int LoadOrders(ITLoad &s, unsigned *numPatts)
{
    ModuleRecord *m = s.module;
    CHECK(memAlloc(static_cast<int>(s.listBytes), reinterpret_cast<void **>(&s.lists)));
    CHECK(fileRead(s.file, s.lists, s.listBytes));
    const uint8_t *orderBytes = s.lists;

    // 254 skips, 255 ends; every other value names a pattern.
    *numPatts = s.patNum;
    CHECK(memAlloc(static_cast<int>(s.ordNum * sizeof(uint16_t)),
                   reinterpret_cast<void **>(&m->orders)));
    for (unsigned i = 0; i < s.ordNum; i++) {
        unsigned o = orderBytes[i];
        m->orders[i] = static_cast<uint16_t>(o == 254   ? 0u + gmpOrderSkip
                                             : o == 255 ? 0u + gmpOrderEnd
                                                        : o);
        if (o < 254 && o + 1 > *numPatts)
            *numPatts = o + 1;
    }
    m->songLength = static_cast<int>(s.ordNum);
    if (*numPatts == 0)
        *numPatts = 1;
    return errOK;
}

// Reads and converts every pattern; sets the channel count from the
// channels the patterns use.
int LoadPatterns(ITLoad &s, unsigned numPatts)
{
    ModuleRecord *m = s.module;
    s.numInsts = s.useInsts ? s.insNum : s.smpNum;
    CHECK(memAlloc(static_cast<int>(numPatts * sizeof(PatternRecord *)),
                   reinterpret_cast<void **>(&m->patterns)));
    std::memset(m->patterns, 0, numPatts * sizeof(PatternRecord *));
    m->numPatts = numPatts;

    CHECK(memAlloc(itPattBuffer, reinterpret_cast<void **>(&s.patt)));
    const uint8_t *offsets = pattOffsets(s);
    for (unsigned p = 0; p < numPatts; p++) {
        long offset = p < s.patNum ? static_cast<long>(ldLE32(offsets + 4 * p)) : 0;
        unsigned rows = 64, len = 0;
        if (offset != 0) {
            uint8_t ph[8];
            unsigned long got;
            CHECK(ldReadAt(s.file, s.fileSize, offset, ph, 8, &got));
            if (got != 8)
                return errEndOfFile;
            rows = ldLE16(ph + 2);
            if (rows == 0 || rows > 256)
                return errInvalidPatt;
            unsigned long read;
            CHECK(ldReadAt(s.file, s.fileSize, offset + 8, s.patt, ldLE16(ph), &read));
            len = static_cast<unsigned>(read);
        }
        if (convBytes(len, rows) > s.convSize) {
            if (s.conv)
                memFree(s.conv);
            s.conv = nullptr;
            s.convSize = convBytes(len, rows);
            CHECK(memAlloc(static_cast<int>(s.convSize), reinterpret_cast<void **>(&s.conv)));
        }
        uint32_t length;
        ConvertPattern(s, len, rows, s.numInsts, &length);
        PatternRecord *rec;
        CHECK(memAlloc(static_cast<int>(length), reinterpret_cast<void **>(&rec)));
        std::memcpy(rec, s.conv, length);
        rec->length = length;
        rec->rows = rows;
        m->patterns[p] = rec;
    }
    int chans = s.maxChan + 2;
    if (s.maxChanFound >= 0 && s.maxChanFound + 1 < chans)
        chans = s.maxChanFound + 1;
    if (chans > gmpMaxChannels)
        chans = gmpMaxChannels;
    m->numChans = static_cast<uint8_t>(chans);
    return errOK;
}

// Every sample of the file is loaded, used or not.
int LoadSamples(ITLoad &s)
{
    ModuleRecord *m = s.module;
    if (s.smpNum != 0) {
        CHECK(memAlloc(static_cast<int>(s.smpNum * sizeof(SampleRecord *)),
                       reinterpret_cast<void **>(&m->samples)));
        std::memset(m->samples, 0, s.smpNum * sizeof(SampleRecord *));
    }
    m->numSamples = s.smpNum;
    for (unsigned i = 0; i < s.smpNum; i++)
        CHECK(LoadSample(s, i, smpOffsets(s), s.addSD, s.sampleCallback));
    return errOK;
}

// The instruments of the file, or without them one standing for each
// sample; then the background channels.
int LoadInstruments(ITLoad &s)
{
    ModuleRecord *m = s.module;
    const unsigned numInsts = s.numInsts;
    if (numInsts != 0) {
        CHECK(memAlloc(static_cast<int>(numInsts * sizeof(InstrumentRecord *)),
                       reinterpret_cast<void **>(&m->instruments)));
        std::memset(m->instruments, 0, numInsts * sizeof(InstrumentRecord *));
    }
    m->numInsts = numInsts;
    if (s.useInsts) {
        const bool newInsts = ldLE16(s.header + hdrCompatible) >= 0x200;
        CHECK(memAlloc(itInstSize, reinterpret_cast<void **>(&s.inst)));
        for (unsigned i = 0; i < numInsts; i++)
            CHECK(LoadInstrument(s, i, instOffsets(s), newInsts));
    } else {
        // One instrument standing for each sample.
        for (unsigned i = 0; i < numInsts; i++) {
            int used = isUsed(s, i);
            InstrumentRecord *inst;
            CHECK(gmpAllocInstrument(used ? 1 : 0, &inst));
            m->instruments[i] = inst;
            std::memcpy(inst->name, m->samples[i]->name, sizeof inst->name);
            inst->instGlobalVolume = 64;
            inst->used = static_cast<uint32_t>(used);
            if (used)
                inst->sampleList[0] = m->samples[i];
        }
    }

    // Instruments whose released notes sound on need background channels.
    bool backgroundNotes = false;
    for (unsigned i = 0; s.useInsts && i < numInsts; i++)
        if (m->instruments[i] && m->instruments[i]->newNoteAction != gmpNNACut)
            backgroundNotes = true;
    if (backgroundNotes) {
        m->numBgChans = static_cast<uint8_t>(gmpBackgroundChannels(m->numChans));
        m->numChans = static_cast<uint8_t>(m->numChans + m->numBgChans);
    }
    return errOK;
}

int LoadBody(ITLoad &s)
{
    unsigned numPatts;
    CHECK(LoadHeader(s));
    CHECK(LoadOrders(s, &numPatts));
    CHECK(LoadPatterns(s, numPatts));
    CHECK(LoadSamples(s));
    CHECK(LoadInstruments(s));
    return errOK;
}

int LoadIT(fileHandle file, int addSD, gmpSampleCallback sampleCallback, ModuleRecord **module)
{
    ITLoad s;
    s.file = file;
    s.addSD = addSD;
    s.sampleCallback = sampleCallback;
    int error = LoadBody(s);
    if (error != errOK)
        return LoadError(s, error);
    s.file = nullptr;
    if ((error = fileClose(file)) != 0)
        return LoadError(s, error);
    uint8_t *blocks[] = {s.header, s.lists, s.patt, s.conv, s.inst};
    for (uint8_t *b : blocks)
        if (b)
            memFree(b);
    *module = s.module;
    return errOK;
}

}  // namespace

int gmpLoadIT(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
              ModuleRecord **module)
{
    fileHandle file;
    CHECK(fileOpen(fileName, rfOpenRead, &file));
    return LoadIT(file, addSD, sampleCallback, module);
}

int gmpLoadITMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                    ModuleRecord **module)
{
    fileHandle file;
    CHECK(fileOpenMemory(data, size, &file));
    return LoadIT(file, addSD, sampleCallback, module);
}
