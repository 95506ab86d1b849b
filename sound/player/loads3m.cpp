// Scream Tracker 3 module loader ("SCRM" at offset 44).
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"
#include "sound/player/ldcommon.h"

namespace {

// Header (little-endian; "paragraph" pointers count 16-byte units):
//   0 name (28), 32 order count, 34 instrument count, 36 pattern count,
//   38 flags (bit 4 Amiga limits, bit 6 fast volume slides),
//   40 tracker version, 44 "SCRM", 48 global volume, 49 speed, 50 tempo,
//   53 default-panning marker (252), 64 channel settings (32)
//   96 orders, instrument pointers (2 each), pattern pointers (2 each),
//      then 32 panning bytes when the marker is present.
// Instrument (80 bytes): 0 type (1 = sample), 13 data pointer high byte,
//   14 data pointer (2), 16 length, 20 loop start, 24 loop end (4 each,
//   frames), 28 volume, 30 packing, 31 flags (bit 0 loop, bit 2 16-bit),
//   32 middle-C rate (4), 48 name (28).
enum {
    s3mHeaderSize = 96,
    s3mInstSize = 80,
    s3mRows = 64,
    s3mPanMarker = 252,
    s3mMaxSampleBytes = 0x7FFFFFEF
};

struct S3MLoad {
    fileHandle file = nullptr;
    ModuleRecord *module = nullptr;
    uint8_t *header = nullptr;     // s3mHeaderSize bytes
    uint8_t *pointers = nullptr;   // orders, instrument and pattern pointers, panning
    uint8_t *patt = nullptr;       // one packed pattern as stored, up to 64 KiB
    uint8_t *conv = nullptr;       // one converted pattern
    unsigned convSize = 0;         // bytes at conv
    uint8_t instUsed[256] = {};
    int maxChan = -1;              // highest enabled channel
    int maxChanFound = -1;         // highest channel with an entry
};

int LoadError(S3MLoad &s, int error)
{
    if (s.file)
        fileClose(s.file);
    gmpFreeModule(s.module);
    uint8_t *blocks[] = {s.header, s.pointers, s.patt, s.conv};
    for (uint8_t *b : blocks)
        if (b)
            memFree(b);
    return error;
}

// Buffer sizes for one pattern: the stored data are at most 0xFFFF bytes, and
// a converted entry is never longer than the stored one, so the output needs
// the input's length plus a 0 for each row that the data leave out.
enum { s3mPattBuffer = 0x10000 };
inline unsigned convBytes(unsigned len) { return 8 + len + s3mRows; }

// Converts len bytes of packed pattern at s.patt into s.conv; data that end
// early leave the remaining rows empty.
void ConvertPattern(S3MLoad &s, unsigned len, unsigned numInsts, uint32_t *length)
{
    uint8_t *out = s.conv + sizeof(PatternRecord);
    const uint8_t *in = s.patt;
    unsigned pos = 0;
    for (unsigned row = 0; row < s3mRows; row++) {
        while (pos < len) {
            uint8_t what = in[pos++];
            if (what == 0)
                break;
            unsigned need = ((what & 0x20) ? 2 : 0) + ((what & 0x40) ? 1 : 0) + ((what & 0x80) ? 2 : 0);
            if (len - pos < need) {
                pos = len;  // a cut entry ends the data
                break;
            }
            int ch = what & 0x1F;
            uint8_t flags = 0, note = gmpNoteNone, inst = gmpInstNone, vol = 0;
            uint8_t command = 0, info = 0;
            if (what & 0x20) {
                uint8_t n = in[pos++];
                unsigned k = in[pos++];
                // Octave * 16 + semitone. A semitone nibble of 12..15 stays: the
                // player counts it on into the next octave (4Ch plays C-5), as
                // other players do.
                if (n < 127 || n == gmpNoteKeyOff || n == gmpNoteNone)
                    note = n;
                if (k != 0 && k <= numInsts) {
                    inst = static_cast<uint8_t>(k - 1);
                    s.instUsed[k - 1] = 1;
                }
                flags |= gmpEntryNote;
            }
            if (what & 0x40) {
                vol = in[pos++];
                if (vol > 63)
                    vol = 63;
                flags |= gmpEntryVolume;
            }
            if (what & 0x80) {
                unsigned c = in[pos++];
                info = in[pos++];
                if (c >= 1 && c <= 25) {
                    if (c == 19) {
                        command = s3mSCommands[info >> 4];
                        info &= 0x0F;
                    } else {
                        command = s3mCommands[c];
                    }
                    if (command != 0)
                        flags |= gmpEntryCommand;
                }
            }
            if (flags == 0 || ch > s.maxChan)
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

// 8 * value with 7 and 8 both at the centre and 15 fully right (128).
int panFromNibble(unsigned v)
{
    if (v == 7 || v == 8)
        return 64;
    return v >= 9 ? static_cast<int>(8 * v + 8) : static_cast<int>(8 * v);
}

int LoadS3M(fileHandle file, int addSD, gmpSampleCallback sampleCallback, ModuleRecord **module)
{
    S3MLoad s;
    s.file = file;
    int error;
    long fileSize;
    if ((error = fileGetSize(file, &fileSize)) != 0)
        return LoadError(s, error);
    if ((error = memAlloc(s3mHeaderSize, reinterpret_cast<void **>(&s.header))) != 0)
        return LoadError(s, error);
    if ((error = gmpAllocModule(&s.module)) != 0)
        return LoadError(s, error);
    if ((error = fileRead(file, s.header, s3mHeaderSize)) != 0)
        return LoadError(s, error);
    const uint8_t *h = s.header;
    if (std::memcmp(h + 44, "SCRM", 4) != 0)
        return LoadError(s, errInvalidModule);

    ModuleRecord *m = s.module;
    unsigned ordNum = ldLE16(h + 32), insNum = ldLE16(h + 34), patNum = ldLE16(h + 36);
    unsigned fileFlags = ldLE16(h + 38), version = ldLE16(h + 40);
    // The instrument byte of a pattern names at most 255 instruments.
    if (insNum > 255)
        return LoadError(s, errInvalidInst);
    const bool panTable = h[53] == s3mPanMarker;
    const unsigned long listBytes = ordNum + 2ul * insNum + 2ul * patNum + (panTable ? 32 : 0);
    if (s3mHeaderSize + listBytes > static_cast<unsigned long>(fileSize))
        return LoadError(s, errEndOfFile);

    ldCopyName(m->name, h, 28);
    m->playMode = gmpST3;
    m->masterVolume = h[48] > 64 ? 64 : h[48];
    m->speed = h[49];
    m->tempo = h[50];
    m->restart = 0;
    m->flags = 0;
    if (fileFlags & 0x10)
        m->flags |= gmpAmigaLimits;
    // Scream Tracker 3.00 slid volumes on every tick; later versions kept the
    // behaviour behind a flag.
    if ((fileFlags & 0x40) || version < 0x1320)
        m->flags |= gmpST300Slides;
    // Impulse Tracker (versions 3xxxh) plays its S3M files in its own equal
    // temperament, not from Scream Tracker's rounded period table.
    if ((version >> 12) == 3)
        m->flags |= gmpEqualTempered;

    if (listBytes != 0 &&
        (error = memAlloc(static_cast<int>(listBytes), reinterpret_cast<void **>(&s.pointers))) != 0)
        return LoadError(s, error);
    if (listBytes != 0 && (error = fileRead(file, s.pointers, listBytes)) != 0)
        return LoadError(s, error);
    const uint8_t *orderBytes = s.pointers;
    const uint8_t *instPtrs = orderBytes + ordNum;
    const uint8_t *pattPtrs = instPtrs + 2 * insNum;
    const uint8_t *panBytes = pattPtrs + 2 * patNum;

    // Trailing 255s only pad the list.
    unsigned songLength = ordNum;
    while (songLength > 0 && orderBytes[songLength - 1] == 255)
        songLength--;
    if (songLength == 0)
        return LoadError(s, errInvalidModule);
    if ((error = memAlloc(static_cast<int>(songLength * sizeof(uint16_t)),
                          reinterpret_cast<void **>(&m->orders))) != 0)
        return LoadError(s, error);
    unsigned numPatts = 0;
    for (unsigned i = 0; i < songLength; i++) {
        unsigned o = orderBytes[i];
        if (o == 254)
            m->orders[i] = gmpOrderSkip;
        else if (o == 255)
            m->orders[i] = gmpOrderEnd;
        else {
            m->orders[i] = static_cast<uint16_t>(o);
            if (o + 1 > numPatts)
                numPatts = o + 1;
        }
    }
    m->songLength = static_cast<int>(songLength);
    if (numPatts == 0)
        numPatts = 1;  // every order a marker: keep one pattern to point at

    // Channel panning on the 0..128 scale, 64 = centre.
    if ((error = memAlloc(gmpMaxChannels * sizeof(int), reinterpret_cast<void **>(&m->panning))) != 0)
        return LoadError(s, error);
    int sep = mDefaultStereoSeparation;
    sep = sep < 0 ? 0 : sep > 64 ? 64 : sep;
    for (int c = 0; c < gmpMaxChannels; c++) {
        unsigned setting = h[64 + c];
        bool enabled = setting < 16;
        int sidePan = setting >= 8 ? 64 + sep : 64 - sep;
        if (enabled)
            s.maxChan = c;
        if (!panTable)
            m->panning[c] = enabled ? sidePan : 0;
        else if (!enabled)
            m->panning[c] = 64;
        else
            m->panning[c] = (panBytes[c] & 0x20) ? panFromNibble(panBytes[c] & 0x0F) : sidePan;
    }
    if (s.maxChan < 0)
        return LoadError(s, errInvalidModule);

    // Records: every pointer list cleared before anything can fail inside.
    if ((error = memAlloc(static_cast<int>(numPatts * sizeof(PatternRecord *)),
                          reinterpret_cast<void **>(&m->patterns))) != 0)
        return LoadError(s, error);
    std::memset(m->patterns, 0, numPatts * sizeof(PatternRecord *));
    m->numPatts = numPatts;
    if (insNum != 0) {
        if ((error = memAlloc(static_cast<int>(insNum * sizeof(InstrumentRecord *)),
                              reinterpret_cast<void **>(&m->instruments))) != 0 ||
            (error = memAlloc(static_cast<int>(insNum * sizeof(SampleRecord *)),
                              reinterpret_cast<void **>(&m->samples))) != 0)
            return LoadError(s, error);
        std::memset(m->instruments, 0, insNum * sizeof(InstrumentRecord *));
        std::memset(m->samples, 0, insNum * sizeof(SampleRecord *));
    }
    m->numInsts = insNum;
    m->numSamples = insNum;

    if ((error = memAlloc(s3mPattBuffer, reinterpret_cast<void **>(&s.patt))) != 0)
        return LoadError(s, error);
    for (unsigned p = 0; p < numPatts; p++) {
        unsigned len = 0;
        long offset = p < patNum ? ldLE16(pattPtrs + 2 * p) * 16l : 0;
        if (offset != 0) {
            uint8_t lenBytes[2];
            unsigned long got;
            if ((error = ldReadAt(file, fileSize, offset, lenBytes, 2, &got)) != 0)
                return LoadError(s, error);
            if (got != 2)
                return LoadError(s, errEndOfFile);
            // The rows are read on to the 64th whatever the stored length
            // says (trackers wrote lengths too short for their rows; other
            // players read on as well); a pattern at the very end of a file
            // may be cut short.
            len = s3mPattBuffer - 1;
            unsigned long read;
            if ((error = ldReadAt(file, fileSize, offset + 2, s.patt, len, &read)) != 0)
                return LoadError(s, error);
            len = static_cast<unsigned>(read);
        }
        if (convBytes(len) > s.convSize) {
            if (s.conv)
                memFree(s.conv);
            s.conv = nullptr;
            s.convSize = convBytes(len);
            if ((error = memAlloc(static_cast<int>(s.convSize), reinterpret_cast<void **>(&s.conv))) != 0)
                return LoadError(s, error);
        }
        uint32_t length;
        ConvertPattern(s, len, insNum, &length);
        PatternRecord *rec;
        if ((error = memAlloc(static_cast<int>(length), reinterpret_cast<void **>(&rec))) != 0)
            return LoadError(s, error);
        std::memcpy(rec, s.conv, length);
        rec->length = length;
        rec->rows = s3mRows;
        m->patterns[p] = rec;
    }
    int chans = s.maxChan + 1;
    if (s.maxChanFound >= 0 && s.maxChanFound + 1 < chans)
        chans = s.maxChanFound + 1;
    m->numChans = static_cast<uint8_t>(chans);

    for (unsigned i = 0; i < insNum; i++) {
        uint8_t ih[s3mInstSize];
        long offset = ldLE16(instPtrs + 2 * i) * 16l;
        std::memset(ih, 0, sizeof ih);  // pointer 0: no header, an empty instrument
        if (offset != 0) {
            unsigned long got = 0;
            if ((error = ldReadAt(file, fileSize, offset, ih, s3mInstSize, &got)) != 0)
                return LoadError(s, error);
            if (got != s3mInstSize)
                return LoadError(s, errEndOfFile);
        }

        int used = s.instUsed[i];
        InstrumentRecord *inst;
        if ((error = gmpAllocInstrument(used ? 1 : 0, &inst)) != 0)
            return LoadError(s, error);
        m->instruments[i] = inst;
        ldCopyName(inst->name, ih + 48, 28);
        inst->used = static_cast<uint32_t>(used);
        if (!used)
            continue;

        SampleRecord *smp;
        if ((error = memAlloc(sizeof(SampleRecord), reinterpret_cast<void **>(&smp))) != 0)
            return LoadError(s, error);
        std::memset(smp, 0, sizeof *smp);
        m->samples[i] = smp;
        inst->sampleList[0] = smp;
        ldCopyName(smp->name, ih + 48, 28);

        // Only type 1 carries sample data; AdLib instruments use these bytes
        // for other things.
        const bool isSample = ih[0] == 1;
        const bool is16 = (ih[31] & 0x04) != 0;
        const unsigned frameBytes = is16 ? 2 : 1;
        uint32_t frames = isSample ? ldLE32(ih + 16) : 0;
        uint32_t loopStart = ldLE32(ih + 20), loopEnd = ldLE32(ih + 24);
        if (frames > s3mMaxSampleBytes / frameBytes)
            return LoadError(s, errInvalidInst);
        long dataPos = ((static_cast<long>(ih[13]) << 16) | ldLE16(ih + 14)) * 16l;
        if (isSample && (ih[31] & 0x01) && loopEnd != loopStart) {
            smp->loopMode = sdLoop1;
            smp->loopType = loopUnidir;
            if (loopEnd < frames)
                frames = loopEnd;
        }
        // Data the file does not hold are cut off.
        long avail = dataPos < fileSize ? fileSize - dataPos : 0;
        if (frames > static_cast<unsigned long>(avail) / frameBytes)
            frames = static_cast<uint32_t>(avail / frameBytes);
        if (smp->loopType != loopNone) {
            if (loopEnd > frames)
                loopEnd = frames;
            if (loopStart >= loopEnd) {
                smp->loopMode = sdLoopNone;
                smp->loopType = loopNone;
            }
        }
        smp->sampleLength = frames * frameBytes;
        smp->loopStart = loopStart * frameBytes;
        smp->loopEnd = loopEnd * frameBytes;
        smp->volume = ih[28] > 64 ? 64 : ih[28];
        // The player divides by the middle-C rate; 0 would be a division by zero.
        uint32_t c2spd = ldLE32(ih + 32);
        smp->baseTune = static_cast<int>(c2spd == 0 || c2spd > 0xFFFFF ? 8363 : c2spd);
        smp->fineTune = 0;
        smp->panning = 0;

        uint8_t *data = nullptr;
        if (smp->sampleLength != 0) {
            smp->sampleType = is16 ? smp16bitMono : smp8bitMono;
            if ((error = memAlloc(static_cast<int>(smp->sampleLength),
                                  reinterpret_cast<void **>(&data))) != 0)
                return LoadError(s, error);
            unsigned long got2;
            if ((error = ldReadAt(file, fileSize, dataPos, data, smp->sampleLength, &got2)) != 0) {
                memFree(data);
                return LoadError(s, error);
            }
            // Samples are unsigned unless the header says signed (1).
            const bool isSigned = ldLE16(h + 42) == 1;
            if (is16) {
                int16_t *d16 = reinterpret_cast<int16_t *>(data);
                for (uint32_t j = 0; j < frames; j++) {
                    uint16_t v = static_cast<uint16_t>(data[2 * j] | (data[2 * j + 1] << 8));
                    d16[j] = static_cast<int16_t>(isSigned ? v : v ^ 0x8000);
                }
            } else if (isSigned) {
                for (uint32_t j = 0; j < frames; j++)
                    data[j] ^= 0x80;
            }
        }
        SoundDeviceSample sd = {};
        sd.loop1Start = smp->loopStart;
        sd.loop1End = smp->loopEnd;
        sd.loop1Type = smp->loopType;
        if ((error = ldAddSample(smp, data, &sd, addSD, sampleCallback)) != 0)
            return LoadError(s, error);
    }

    s.file = nullptr;
    if ((error = fileClose(file)) != 0)
        return LoadError(s, error);
    memFree(s.patt);
    if (s.conv)
        memFree(s.conv);
    memFree(s.pointers);
    memFree(s.header);
    *module = m;
    return errOK;
}

}  // namespace

int gmpLoadS3M(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
               ModuleRecord **module)
{
    fileHandle file;
    CHECK(fileOpen(fileName, rfOpenRead, &file));
    return LoadS3M(file, addSD, sampleCallback, module);
}

int gmpLoadS3MMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                     ModuleRecord **module)
{
    fileHandle file;
    CHECK(fileOpenMemory(data, size, &file));
    return LoadS3M(file, addSD, sampleCallback, module);
}
