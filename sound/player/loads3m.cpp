// Scream Tracker 3 module loader ("SCRM" at offset 44).
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"
#include "sound/player/ldcommon.h"

namespace {

// Module header (little-endian; "paragraph" pointers count 16-byte units).
enum {
    hdrName = 0,           // 28
    hdrOrderCount = 32,    // 2
    hdrInstCount = 34,     // 2
    hdrPattCount = 36,     // 2
    hdrFlags = 38,         // 2: bit 4 Amiga limits, bit 6 fast volume slides
    hdrVersion = 40,       // 2: tracker version
    hdrSampleFormat = 42,  // 2: 1 = signed samples, else unsigned
    hdrTag = 44,           // 4: "SCRM"
    hdrGlobalVolume = 48,  // 1
    hdrSpeed = 49,         // 1
    hdrTempo = 50,         // 1
    hdrPanMarker = 53,     // 1: s3mPanMarker when a panning table is present
    hdrChannels = 64,      // 32 channel settings: below 16 on, 8 and up right
    s3mHeaderSize = 96     // then: orders, instrument pointers (2 each),
                           // pattern pointers (2 each), 32 panning bytes
                           // when the marker is present
};

// Instrument header, 80 bytes at its paragraph pointer.
enum {
    insType = 0,        // 1: 1 = sample (others: AdLib)
    insDataHigh = 13,   // 1: bits 16..23 of the data paragraph pointer
    insDataPtr = 14,    // 2: bits 0..15
    insLength = 16,     // 4, frames
    insLoopStart = 20,  // 4, frames
    insLoopEnd = 24,    // 4, frames
    insVolume = 28,     // 1
    insFlags = 31,      // 1: bit 0 loop, bit 2 16-bit
    insMiddleC = 32,    // 4: sample rate of middle C
    insName = 48,       // 28
    s3mInstSize = 80
};

enum { s3mRows = 64, s3mPanMarker = 252, s3mMaxSampleBytes = 0x7FFFFFEF };

struct S3MLoad {
    fileHandle file = nullptr;
    long fileSize = 0;
    int addSD = 0;
    gmpSampleCallback sampleCallback = nullptr;
    ModuleRecord *module = nullptr;
    uint8_t *header = nullptr;    // s3mHeaderSize bytes
    uint8_t *pointers = nullptr;  // orders, instrument and pattern pointers, panning
    uint8_t *patt = nullptr;      // one packed pattern as stored, up to 64 KiB
    uint8_t *conv = nullptr;      // one converted pattern
    unsigned convSize = 0;        // bytes at conv
    unsigned ordNum = 0, insNum = 0, patNum = 0;  // the header's counts
    bool panTable = false;                        // the panning bytes follow the pointers
    unsigned long listBytes = 0;                  // bytes at pointers
    uint8_t instUsed[256] = {};
    int maxChan = -1;       // highest enabled channel
    int maxChanFound = -1;  // highest channel with an entry
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
            unsigned need =
                ((what & 0x20) ? 2 : 0) + ((what & 0x40) ? 1 : 0) + ((what & 0x80) ? 2 : 0);
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

// Reads and checks the header, makes the module and fills its header fields.
int LoadHeader(S3MLoad &s)
{
    CHECK(fileGetSize(s.file, &s.fileSize));
    CHECK(memAlloc(s3mHeaderSize, reinterpret_cast<void **>(&s.header)));
    CHECK(gmpAllocModule(&s.module));
    CHECK(fileRead(s.file, s.header, s3mHeaderSize));
    const uint8_t *h = s.header;
    if (std::memcmp(h + hdrTag, "SCRM", 4) != 0)
        return errInvalidModule;

    ModuleRecord *m = s.module;
    s.ordNum = ldLE16(h + hdrOrderCount);
    s.insNum = ldLE16(h + hdrInstCount);
    s.patNum = ldLE16(h + hdrPattCount);
    unsigned fileFlags = ldLE16(h + hdrFlags), version = ldLE16(h + hdrVersion);
    // The instrument byte of a pattern names at most 255 instruments.
    if (s.insNum > 255)
        return errInvalidInst;
    s.panTable = h[hdrPanMarker] == s3mPanMarker;
    s.listBytes = s.ordNum + 2ul * s.insNum + 2ul * s.patNum + (s.panTable ? 32 : 0);
    if (s3mHeaderSize + s.listBytes > static_cast<unsigned long>(s.fileSize))
        return errEndOfFile;

    ldCopyName(m->name, h + hdrName, 28);
    m->playMode = gmpST3;
    m->masterVolume = h[hdrGlobalVolume] > 64 ? 64 : h[hdrGlobalVolume];
    m->speed = h[hdrSpeed];
    m->tempo = h[hdrTempo];
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
    return errOK;
}

const uint8_t *instPointers(const S3MLoad &s) { return s.pointers + s.ordNum; }
const uint8_t *pattPointers(const S3MLoad &s) { return instPointers(s) + 2 * s.insNum; }
const uint8_t *panBytes(const S3MLoad &s) { return pattPointers(s) + 2 * s.patNum; }

// Reads the lists after the header and makes the order list; returns the
// pattern count the orders need in *numPatts.
int LoadOrders(S3MLoad &s, unsigned *numPatts)
{
    if (s.listBytes != 0)
        CHECK(memAlloc(static_cast<int>(s.listBytes), reinterpret_cast<void **>(&s.pointers)));
    if (s.listBytes != 0)
        CHECK(fileRead(s.file, s.pointers, s.listBytes));
    const uint8_t *orderBytes = s.pointers;
    ModuleRecord *m = s.module;

    // Trailing 255s only pad the list.
    unsigned songLength = s.ordNum;
    while (songLength > 0 && orderBytes[songLength - 1] == 255)
        songLength--;
    if (songLength == 0)
        return errInvalidModule;
    CHECK(memAlloc(static_cast<int>(songLength * sizeof(uint16_t)),
                   reinterpret_cast<void **>(&m->orders)));
    *numPatts = 0;
    for (unsigned i = 0; i < songLength; i++) {
        unsigned o = orderBytes[i];
        if (o == 254)
            m->orders[i] = gmpOrderSkip;
        else if (o == 255)
            m->orders[i] = gmpOrderEnd;
        else {
            m->orders[i] = static_cast<uint16_t>(o);
            if (o + 1 > *numPatts)
                *numPatts = o + 1;
        }
    }
    m->songLength = static_cast<int>(songLength);
    if (*numPatts == 0)
        *numPatts = 1;  // every order a marker: keep one pattern to point at
    return errOK;
}

// Channel panning on the 0..128 scale, 64 = centre; notes the highest
// enabled channel.
int LoadPanning(S3MLoad &s)
{
    ModuleRecord *m = s.module;
    CHECK(memAlloc(gmpMaxChannels * sizeof(int), reinterpret_cast<void **>(&m->panning)));
    int sep = mDefaultStereoSeparation;
    sep = sep < 0 ? 0 : sep > 64 ? 64 : sep;
    const uint8_t *pan = panBytes(s);
    for (int c = 0; c < gmpMaxChannels; c++) {
        unsigned setting = s.header[hdrChannels + c];
        bool enabled = setting < 16;
        int sidePan = setting >= 8 ? 64 + sep : 64 - sep;
        if (enabled)
            s.maxChan = c;
        if (!s.panTable)
            m->panning[c] = enabled ? sidePan : 0;
        else if (!enabled)
            m->panning[c] = 64;
        else
            m->panning[c] = (pan[c] & 0x20) ? panFromNibble(pan[c] & 0x0F) : sidePan;
    }
    if (s.maxChan < 0)
        return errInvalidModule;
    return errOK;
}

// The pattern, instrument and sample lists, every pointer cleared before
// anything can fail inside.
int AllocLists(S3MLoad &s, unsigned numPatts)
{
    ModuleRecord *m = s.module;
    CHECK(memAlloc(static_cast<int>(numPatts * sizeof(PatternRecord *)),
                   reinterpret_cast<void **>(&m->patterns)));
    std::memset(m->patterns, 0, numPatts * sizeof(PatternRecord *));
    m->numPatts = numPatts;
    if (s.insNum != 0) {
        CHECK(memAlloc(static_cast<int>(s.insNum * sizeof(InstrumentRecord *)),
                       reinterpret_cast<void **>(&m->instruments)));
        CHECK(memAlloc(static_cast<int>(s.insNum * sizeof(SampleRecord *)),
                       reinterpret_cast<void **>(&m->samples)));
        std::memset(m->instruments, 0, s.insNum * sizeof(InstrumentRecord *));
        std::memset(m->samples, 0, s.insNum * sizeof(SampleRecord *));
    }
    m->numInsts = s.insNum;
    m->numSamples = s.insNum;
    return errOK;
}

// Reads and converts every pattern; sets the channel count from the
// channels the patterns use.
int LoadPatterns(S3MLoad &s)
{
    ModuleRecord *m = s.module;
    const uint8_t *pattPtrs = pattPointers(s);
    CHECK(memAlloc(s3mPattBuffer, reinterpret_cast<void **>(&s.patt)));
    for (unsigned p = 0; p < m->numPatts; p++) {
        unsigned len = 0;
        long offset = p < s.patNum ? ldLE16(pattPtrs + 2 * p) * 16l : 0;
        if (offset != 0) {
            uint8_t lenBytes[2];
            unsigned long got;
            CHECK(ldReadAt(s.file, s.fileSize, offset, lenBytes, 2, &got));
            if (got != 2)
                return errEndOfFile;
            // The rows are read on to the 64th whatever the stored length
            // says (trackers wrote lengths too short for their rows; other
            // players read on as well); a pattern at the very end of a file
            // may be cut short.
            len = s3mPattBuffer - 1;
            unsigned long read;
            CHECK(ldReadAt(s.file, s.fileSize, offset + 2, s.patt, len, &read));
            len = static_cast<unsigned>(read);
        }
        if (convBytes(len) > s.convSize) {
            if (s.conv)
                memFree(s.conv);
            s.conv = nullptr;
            s.convSize = convBytes(len);
            CHECK(memAlloc(static_cast<int>(s.convSize), reinterpret_cast<void **>(&s.conv)));
        }
        uint32_t length;
        ConvertPattern(s, len, s.insNum, &length);
        PatternRecord *rec;
        CHECK(memAlloc(static_cast<int>(length), reinterpret_cast<void **>(&rec)));
        std::memcpy(rec, s.conv, length);
        rec->length = length;
        rec->rows = s3mRows;
        m->patterns[p] = rec;
    }
    int chans = s.maxChan + 1;
    if (s.maxChanFound >= 0 && s.maxChanFound + 1 < chans)
        chans = s.maxChanFound + 1;
    m->numChans = static_cast<uint8_t>(chans);
    return errOK;
}

// Fills the sample of a used instrument from its header ih, reads its data
// and hands it on.
int LoadSample(S3MLoad &s, SampleRecord *smp, const uint8_t *ih)
{
    ldCopyName(smp->name, ih + insName, 28);
    // Only type 1 carries sample data; AdLib instruments use these bytes
    // for other things.
    const bool isSample = ih[insType] == 1;
    const bool is16 = (ih[insFlags] & 0x04) != 0;
    const unsigned frameBytes = is16 ? 2 : 1;
    uint32_t frames = isSample ? ldLE32(ih + insLength) : 0;
    uint32_t loopStart = ldLE32(ih + insLoopStart), loopEnd = ldLE32(ih + insLoopEnd);
    if (frames > s3mMaxSampleBytes / frameBytes)
        return errInvalidInst;
    long dataPos = ((static_cast<long>(ih[insDataHigh]) << 16) | ldLE16(ih + insDataPtr)) * 16l;
    if (isSample && (ih[insFlags] & 0x01) && loopEnd != loopStart) {
        smp->loopMode = sdLoop1;
        smp->loopType = loopUnidir;
        if (loopEnd < frames)
            frames = loopEnd;
    }
    // Data the file does not hold are cut off.
    long avail = dataPos < s.fileSize ? s.fileSize - dataPos : 0;
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
    smp->volume = ih[insVolume] > 64 ? 64 : ih[insVolume];
    // The player divides by the middle-C rate; 0 would be a division by zero.
    uint32_t c2spd = ldLE32(ih + insMiddleC);
    smp->baseTune = static_cast<int>(c2spd == 0 || c2spd > 0xFFFFF ? 8363 : c2spd);
    smp->fineTune = 0;
    smp->panning = 0;

    uint8_t *data = nullptr;
    if (smp->sampleLength != 0) {
        smp->sampleType = is16 ? smp16bitMono : smp8bitMono;
        CHECK(memAlloc(static_cast<int>(smp->sampleLength), reinterpret_cast<void **>(&data)));
        unsigned long got;
        int error = ldReadAt(s.file, s.fileSize, dataPos, data, smp->sampleLength, &got);
        if (error != 0) {
            memFree(data);
            return error;
        }
        // Samples are unsigned unless the header says signed (1).
        const bool isSigned = ldLE16(s.header + hdrSampleFormat) == 1;
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
    return ldAddSample(smp, data, &sd, s.addSD, s.sampleCallback);
}

// Instrument i: its record, and its sample when a pattern uses it.
int LoadInstrument(S3MLoad &s, unsigned i)
{
    ModuleRecord *m = s.module;
    uint8_t ih[s3mInstSize];
    long offset = ldLE16(instPointers(s) + 2 * i) * 16l;
    std::memset(ih, 0, sizeof ih);  // pointer 0: no header, an empty instrument
    if (offset != 0) {
        unsigned long got = 0;
        CHECK(ldReadAt(s.file, s.fileSize, offset, ih, s3mInstSize, &got));
        if (got != s3mInstSize)
            return errEndOfFile;
    }

    SampleRecord *smp;
    CHECK(ldOneSampleInstrument(m, i, s.instUsed[i], ih + insName, 28, &smp));
    return smp == nullptr ? errOK : LoadSample(s, smp, ih);
}

int LoadBody(S3MLoad &s)
{
    unsigned numPatts;
    CHECK(LoadHeader(s));
    CHECK(LoadOrders(s, &numPatts));
    CHECK(LoadPanning(s));
    CHECK(AllocLists(s, numPatts));
    CHECK(LoadPatterns(s));
    for (unsigned i = 0; i < s.insNum; i++)
        CHECK(LoadInstrument(s, i));
    return errOK;
}

int LoadS3M(fileHandle file, int addSD, gmpSampleCallback sampleCallback, ModuleRecord **module)
{
    S3MLoad s;
    s.file = file;
    s.addSD = addSD;
    s.sampleCallback = sampleCallback;
    int error = LoadBody(s);
    if (error != errOK)
        return LoadError(s, error);
    s.file = nullptr;
    if ((error = fileClose(file)) != 0)
        return LoadError(s, error);
    memFree(s.patt);
    if (s.conv)
        memFree(s.conv);
    memFree(s.pointers);
    memFree(s.header);
    *module = s.module;
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
