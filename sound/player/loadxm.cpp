// XM loader: FastTracker 2 extended modules into the player's module records
// (play mode FT2), with packed-pattern conversion and delta-decoded samples.
//
// Every count, length and offset read from the file is checked against the
// file's size and the working buffers before it is used; a failure anywhere
// goes through loadError, which closes the file and frees the partial module.
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"

namespace {

// Module header, offsets from the start of the file.
enum {
    hdrId = 0,            // 17: "Extended Module: "
    hdrName = 17,         // 20
    hdrVersion = 58,      // 2, at least 0x0104
    hdrSize = 60,         // 4, counted from offset 60
    hdrSongLength = 64,   // 2
    hdrRestart = 66,      // 2
    hdrChannels = 68,     // 2
    hdrPatterns = 70,     // 2
    hdrInstruments = 72,  // 2
    hdrFlags = 74,        // 2: bit 0 linear frequency table
    hdrSpeed = 76,        // 2
    hdrTempo = 78,        // 2
    hdrOrders = 80,       // 256
    hdrBytes = 336
};

// Instrument header: 29 bytes, then (with samples) 214 more.
enum {
    instSize = 0,         // 4: bytes from the instrument start to its sample headers
    instName = 4,         // 22
    instNumSamples = 27,  // 2
    instHeadBytes = 29,
    // offsets within the 214-byte rest
    isSmpHdrSize = 0,   // 4
    isNoteTable = 4,    // 96
    isVolPoints = 100,  // 12 x (pos 2, value 2)
    isPanPoints = 148,
    isVolCount = 196,
    isPanCount = 197,
    isVolSus = 198,
    isVolLoopStart = 199,
    isVolLoopEnd = 200,
    isPanSus = 201,
    isPanLoopStart = 202,
    isPanLoopEnd = 203,
    isVolType = 204,
    isPanType = 205,  // bit 0 on, bit 1 sustain, bit 2 loop
    isVibType = 206,
    isVibSweep = 207,
    isVibDepth = 208,
    isVibRate = 209,
    isFadeout = 210,  // 2
    instRestBytes = 214
};

// Sample header, 40 bytes.
enum {
    smpLength = 0,
    smpLoopStart = 4,
    smpLoopLength = 8,  // 4 each, bytes
    smpVolume = 12,
    smpFineTune = 13,
    smpType = 14,
    smpPanning = 15,
    smpRelNote = 16,
    smpName = 18,  // 22
    smpHeaderBytes = 40
};

enum { xmEnvPoints = 12, xmNoteTable = 96, xmMaxChannels = 32 };
// Longest packed pattern the 16-bit size field can describe.
enum { xmMaxPacked = 65535 };

uint16_t rd16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t rd32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Working state of one load.
struct XMLoad {
    fileHandle f;
    int fileOpen;
    long fileSize;
    ModuleRecord *module;
    uint8_t *header;    // hdrBytes
    uint8_t *instUsed;  // 256 flags: instrument bytes name 0..254
    int maxInstUsed;
    uint8_t *xmPatt;    // packed pattern data
    uint8_t *convPatt;  // converted pattern, worst case
    unsigned convSize;
    uint8_t *smpBuf;  // shared sample buffer (addSD)
    int addSD;
    gmpSampleCallback callback;
};

void freeBlock(uint8_t *&p)
{
    if (p) {
        memFree(p);
        p = nullptr;
    }
}

int loadError(XMLoad *ld, int code)
{
    if (ld->fileOpen) {
        fileClose(ld->f);
        ld->fileOpen = 0;
    }
    if (ld->module) {
        gmpFreeModule(ld->module);
        ld->module = nullptr;
    }
    freeBlock(ld->header);
    freeBlock(ld->instUsed);
    freeBlock(ld->xmPatt);
    freeBlock(ld->convPatt);
    freeBlock(ld->smpBuf);
    return code;
}

int allocZero(int size, void **block)
{
    CHECK(memAlloc(size, block));
    std::memset(*block, 0, static_cast<size_t>(size));
    return errOK;
}

int seekTo(XMLoad *ld, int64_t pos)
{
    if (pos < 0 || pos > ld->fileSize)
        return errEndOfFile;
    return fileSeek(ld->f, static_cast<long>(pos), rfSeekAbsolute);
}

int readAt(XMLoad *ld, int64_t pos, void *buf, unsigned long bytes)
{
    if (pos < 0 || pos + static_cast<int64_t>(bytes) > ld->fileSize)
        return errEndOfFile;
    CHECK(fileSeek(ld->f, static_cast<long>(pos), rfSeekAbsolute));
    return fileRead(ld->f, buf, bytes);
}

// XM note 1..96 -> octave * 16 + semitone; 97 and above key off; 0 none.
uint8_t convertNote(uint8_t n)
{
    if (n == 0)
        return gmpNoteNone;
    if (n >= 97)
        return gmpNoteKeyOff;
    return static_cast<uint8_t>(((n - 1) / 12) * 16 + (n - 1) % 12);
}

// Converts one packed XM pattern into the player's row encoding in convPatt;
// returns the encoded length (without the record head).
int convertPattern(XMLoad *ld, unsigned rows, unsigned packedSize, unsigned *length)
{
    const uint8_t *src = ld->xmPatt;
    const uint8_t *end = src + packedSize;
    uint8_t *dst = ld->convPatt;
    uint8_t *dstEnd = ld->convPatt + ld->convSize;
    unsigned chans = ld->module->numChans;

    for (unsigned r = 0; r < rows; r++) {
        for (unsigned j = 0; j < chans && packedSize != 0; j++) {
            // Packed data that stop at an entry boundary leave the rest of the
            // pattern empty; data that stop inside an entry are corrupt.
            if (src >= end)
                break;
            uint8_t mask = 0x1F;
            uint8_t first = *src;
            if (first & 0x80) {
                mask = first & 0x1F;
                src++;
            }
            uint8_t field[5] = {0, 0, 0, 0, 0};
            for (int k = 0; k < 5; k++) {
                if (!(mask & (1 << k)))
                    continue;
                if (src >= end)
                    return errInvalidPatt;
                field[k] = *src++;
            }
            uint8_t bits = 0;
            uint8_t note = gmpNoteNone, inst = gmpInstNone, vol = 0, cmd = 0, arg = 0;
            if (mask & 1) {
                note = convertNote(field[0]);
                if (note != gmpNoteNone)
                    bits |= gmpEntryNote;
            }
            if (field[1] != 0) {
                inst = static_cast<uint8_t>(field[1] - 1);
                ld->instUsed[inst] = 1;
                if (inst > ld->maxInstUsed)
                    ld->maxInstUsed = inst;
                bits |= gmpEntryNote;
            }
            uint8_t v = field[2];
            // 0x01..0x0F mean nothing in the volume column; they would read
            // as volumes 1..15.
            if (v >= 0x10) {
                vol = (v >= 0x10 && v <= 0x50) ? static_cast<uint8_t>(v - 0x10) : v;
                bits |= gmpEntryVolume;
            }
            uint8_t e = field[3], p = field[4];
            if (e != 0 || p != 0) {
                if (e == 20) {
                    // K: key off on the row's first tick.
                    note = gmpNoteKeyOff;
                    bits |= gmpEntryNote;
                } else if (e < 36) {
                    cmd = ft2Commands[e];
                    arg = p;
                    if (e == 14) {
                        cmd = ft2ECommands[p >> 4];
                        arg = p & 15;
                    } else if (e == 15 && p > 31) {
                        cmd = cmdSetTempo;
                    } else if (e == 33) {
                        if ((p & 0xF0) == 0x10)
                            cmd = cmdExtraFineSlideUp;
                        else if ((p & 0xF0) == 0x20)
                            cmd = cmdExtraFineSlideDown;
                        else
                            cmd = cmdNone;
                        arg = p & 15;
                    }
                    if (cmd != cmdNone)
                        bits |= gmpEntryCommand;
                }
            }
            if (bits == 0)
                continue;
            // Six bytes at most, checked although the buffer holds the worst case.
            if (dstEnd - dst < 6)
                return errInvalidPatt;
            *dst++ = static_cast<uint8_t>(bits | j);
            if (bits & gmpEntryNote) {
                *dst++ = note;
                *dst++ = inst;
            }
            if (bits & gmpEntryVolume)
                *dst++ = vol;
            if (bits & gmpEntryCommand) {
                *dst++ = cmd;
                *dst++ = arg;
            }
        }
        if (dst >= dstEnd)
            return errInvalidPatt;
        *dst++ = 0;
    }
    *length = static_cast<unsigned>(dst - ld->convPatt);
    return errOK;
}

int loadPatterns(XMLoad *ld, unsigned filePatts)
{
    ModuleRecord *m = ld->module;
    long pos;
    CHECK(fileGetPosition(ld->f, &pos));
    for (unsigned i = 0; i < m->numPatts; i++) {
        unsigned rows = 64, packed = 0;
        if (i < filePatts) {
            uint8_t ph[9];
            CHECK(readAt(ld, pos, ph, sizeof ph));
            uint32_t headLen = rd32(ph);
            rows = rd16(ph + 5);
            packed = rd16(ph + 7);
            if (rows < 1 || rows > 256)
                return errInvalidModule;
            if (headLen < 9 || headLen > static_cast<uint32_t>(ld->fileSize))
                return errInvalidPatt;
            pos += headLen;
            if (packed != 0)
                CHECK(readAt(ld, pos, ld->xmPatt, packed));
            pos += packed;
        }
        unsigned length;
        CHECK(convertPattern(ld, rows, packed, &length));
        PatternRecord *p;
        CHECK(memAlloc(static_cast<int>(8 + length), reinterpret_cast<void **>(&p)));
        p->length = 8 + length;
        p->rows = rows;
        std::memcpy(gmpPatternData(p), ld->convPatt, length);
        m->patterns[i] = p;
    }
    return seekTo(ld, pos);
}

int copyEnvelope(const uint8_t *rest, int points, int count, int sus, int loopStart, int loopEnd,
                 int type, EnvelopeRecord **out)
{
    EnvelopeRecord *env;
    if (rest[count] > xmEnvPoints)
        return errInvalidInst;
    CHECK(allocZero(sizeof(EnvelopeRecord), reinterpret_cast<void **>(&env)));
    *out = env;
    int n = rest[count];
    env->numPoints = static_cast<uint8_t>(n);
    env->susPoint = (type & 2) && rest[sus] < n ? rest[sus] : 255;
    if ((type & 4) && rest[loopStart] != rest[loopEnd] && rest[loopStart] < n &&
        rest[loopEnd] < n) {
        env->loopStart = rest[loopStart];
        env->loopEnd = rest[loopEnd];
    } else {
        env->loopStart = env->loopEnd = 255;
    }
    env->susLoopStart = env->susLoopEnd = 255;
    for (int k = 0; k < xmEnvPoints; k++) {
        env->points[k].pos = rd16(rest + points + 4 * k);
        env->points[k].value = static_cast<int16_t>(rd16(rest + points + 4 * k + 2));
    }
    return errOK;
}

// Reads instrument i (or makes the placeholder of an instrument the file
// lacks); returns the file position after its sample data.
int loadInstrument(XMLoad *ld, unsigned i, unsigned fileInsts, int64_t *pos)
{
    ModuleRecord *m = ld->module;
    uint8_t head[instHeadBytes];
    uint8_t rest[instRestBytes];
    std::memset(head, 0, sizeof head);
    std::memset(rest, 0, sizeof rest);
    unsigned fileSamples = 0, n = 0;
    int64_t start = *pos;
    if (i < fileInsts) {
        CHECK(readAt(ld, start, head, instHeadBytes));
        fileSamples = rd16(head + instNumSamples);
        if (fileSamples != 0) {
            CHECK(readAt(ld, start + instHeadBytes, rest, instRestBytes));
            for (int k = 0; k < xmNoteTable; k++) {
                // Sample numbers address the 16 sample slots of an instrument.
                if (rest[isNoteTable + k] >= gmpXMSamplesPerInst)
                    return errInvalidInst;
                if (rest[isNoteTable + k] + 1u > n)
                    n = rest[isNoteTable + k] + 1u;
            }
        }
    } else {
        // Placeholder for an instrument used in a pattern but absent: an
        // empty name, no samples.
        std::memcpy(head + instName + 1, "J3 loves Vandor!", 17);
    }
    bool used = i < 256 && ld->instUsed[i];
    unsigned records = used ? (n > 0 ? n : 1) : 0;

    InstrumentRecord *inst;
    CHECK(gmpAllocInstrument(records, &inst));
    m->instruments[i] = inst;
    std::memcpy(inst->name, head + instName, 22);
    inst->name[22] = 0;
    inst->used = used ? 1 : 0;
    for (unsigned s = 0; s < records; s++) {
        SampleRecord *smp;
        CHECK(allocZero(sizeof(SampleRecord), reinterpret_cast<void **>(&smp)));
        m->samples[m->numSamples++] = smp;
        inst->sampleList[s] = smp;
    }

    if (fileSamples != 0) {
        if (n > 1) {
            CHECK(memAlloc(xmNoteTable, reinterpret_cast<void **>(&inst->noteSamples)));
            std::memcpy(inst->noteSamples, rest + isNoteTable, xmNoteTable);
        }
        if (rest[isVolType] & 1)
            CHECK(copyEnvelope(rest, isVolPoints, isVolCount, isVolSus, isVolLoopStart,
                               isVolLoopEnd, rest[isVolType], &inst->volEnvelope));
        if (rest[isPanType] & 1)
            CHECK(copyEnvelope(rest, isPanPoints, isPanCount, isPanSus, isPanLoopStart,
                               isPanLoopEnd, rest[isPanType], &inst->panEnvelope));
        inst->volFadeout = rd16(rest + isFadeout);
        inst->vibType = rest[isVibType];
        inst->vibSweep = rest[isVibSweep];
        inst->vibDepth = rest[isVibDepth];
        inst->vibRate = rest[isVibRate];
    }

    // The sample headers follow at the instrument start + its size (never
    // inside the header bytes just read).
    uint32_t size = i < fileInsts ? rd32(head + instSize) : 0;
    int64_t headerEnd = i < fileInsts ? instHeadBytes + (fileSamples ? instRestBytes : 0) : 0;
    int64_t hdrPos = start + (size > headerEnd ? size : headerEnd);
    uint32_t spacing = fileSamples ? rd32(rest + isSmpHdrSize) : 0;
    if (spacing < smpHeaderBytes)
        spacing = smpHeaderBytes;
    if (hdrPos + static_cast<int64_t>(fileSamples) * spacing > ld->fileSize)
        return errEndOfFile;
    int64_t dataPos = hdrPos + static_cast<int64_t>(fileSamples) * spacing;
    int64_t dataLen = 0;
    for (unsigned s = 0; s < fileSamples; s++) {
        uint8_t sh[smpHeaderBytes];
        CHECK(readAt(ld, hdrPos + static_cast<int64_t>(s) * spacing, sh, smpHeaderBytes));
        const uint32_t stored = rd32(sh + smpLength);
        if (stored > 0x7FFFFFEF)
            return errInvalidInst;
        // Data the file does not hold are cut off (16-bit data at a whole
        // frame); the next sample still starts after the stored length.
        int64_t avail = ld->fileSize - (dataPos + dataLen);
        uint32_t length = stored;
        if (avail < static_cast<int64_t>(length)) {
            length = avail > 0 ? static_cast<uint32_t>(avail) : 0;
            if (sh[smpType] & 0x10)
                length &= ~1u;
        }
        if (s < records) {
            SampleRecord *smp = inst->sampleList[s];
            std::memcpy(smp->name, sh + smpName, 22);
            smp->name[22] = 0;
            smp->sampleLength = length;
            uint32_t ls = rd32(sh + smpLoopStart), ll = rd32(sh + smpLoopLength);
            // Loops are kept inside the sample.
            if (ls > length)
                ls = length;
            if (ll > length - ls)
                ll = length - ls;
            smp->loopStart = ls;
            smp->loopEnd = ls + ll;
            smp->volume = sh[smpVolume] > 64 ? 64 : sh[smpVolume];
            smp->panning = sh[smpPanning];
            smp->baseTune = static_cast<int8_t>(sh[smpRelNote]);
            smp->fineTune = static_cast<int8_t>(sh[smpFineTune]);
            smp->sampleType = (sh[smpType] & 0x10) ? smp16bitMono : smp8bitMono;
            int kind = sh[smpType] & 3;
            if ((kind == 1 || kind == 2) && smp->loopEnd != smp->loopStart) {
                smp->loopMode = sdLoop1;
                smp->loopType = static_cast<uint8_t>(kind == 1 ? loopUnidir : loopBidir);
            } else {
                smp->loopMode = sdLoopNone;
                smp->loopType = loopNone;
            }
            smp->fileOffset = static_cast<uint32_t>(dataPos + dataLen);
        }
        dataLen += stored;
    }
    *pos = dataPos + dataLen;
    return errOK;
}

void decode8(uint8_t *data, uint32_t length)
{
    uint8_t s = 0;
    for (uint32_t i = 0; i < length; i++) {
        s = static_cast<uint8_t>(s + data[i]);
        data[i] = static_cast<uint8_t>(s ^ 0x80);  // signed -> unsigned
    }
}

void decode16(uint8_t *data, uint32_t length)
{
    uint16_t s = 0;
    for (uint32_t i = 0; i + 1 < length; i += 2) {
        s = static_cast<uint16_t>(s + rd16(data + i));
        int16_t v = static_cast<int16_t>(s);
        std::memcpy(data + i, &v, 2);  // native order for the mixer
    }
}

int loadSampleData(XMLoad *ld)
{
    ModuleRecord *m = ld->module;
    for (unsigned i = 0; i < m->numInsts; i++) {
        InstrumentRecord *inst = m->instruments[i];
        for (unsigned s = 0; inst && s < inst->numSamples; s++) {
            SampleRecord *smp = inst->sampleList[s];
            SoundDeviceSample sd;
            std::memset(&sd, 0, sizeof sd);
            if (smp->sampleLength == 0)
                smp->sampleType = smpNone;
            if (smp->sampleType != smpNone) {
                uint8_t *buf = ld->smpBuf;
                if (!ld->addSD) {
                    CHECK(memAlloc(static_cast<int>(smp->sampleLength),
                                   reinterpret_cast<void **>(&smp->sample)));
                    buf = static_cast<uint8_t *>(smp->sample);
                }
                CHECK(readAt(ld, smp->fileOffset, buf, smp->sampleLength));
                if (smp->sampleType == smp16bitMono)
                    decode16(buf, smp->sampleLength);
                else
                    decode8(buf, smp->sampleLength);
                sd.sample = buf;
                sd.location = 1;
                sd.sampleType = smp->sampleType;
                sd.length = smp->sampleLength;
                sd.loopMode = smp->loopMode;
                sd.loop1Start = smp->loopStart;
                sd.loop1End = smp->loopEnd;
                sd.loop1Type = smp->loopType;
            }
            if (ld->addSD) {
                unsigned handle;
                CHECK(gmpSD->AddSample(&sd, 1, &handle));
                smp->sdHandle = handle;
                if (ld->callback)
                    CHECK(ld->callback(&sd, smp));
            }
        }
    }
    return errOK;
}

int loadBody(XMLoad *ld)
{
    CHECK(fileGetSize(ld->f, &ld->fileSize));
    CHECK(memAlloc(hdrBytes, reinterpret_cast<void **>(&ld->header)));
    CHECK(gmpAllocModule(&ld->module));
    uint8_t *h = ld->header;
    CHECK(readAt(ld, 0, h, hdrBytes));
    if (std::memcmp(h + hdrId, "Extended Module: ", 17) != 0 || rd16(h + hdrVersion) < 0x0104)
        return errInvalidModule;

    ModuleRecord *m = ld->module;
    unsigned songLength = rd16(h + hdrSongLength);
    unsigned chans = rd16(h + hdrChannels);
    unsigned filePatts = rd16(h + hdrPatterns);
    unsigned fileInsts = rd16(h + hdrInstruments);
    // The order table has 256 entries; channels must fit the entry's 5 bits.
    if (songLength < 1 || songLength > 256 || chans < 1 || chans > xmMaxChannels)
        return errInvalidModule;
    std::memcpy(m->name, h + hdrName, 20);
    m->name[20] = 0;
    m->playMode = gmpFT2;
    m->masterVolume = 64;
    m->songLength = static_cast<int>(songLength);
    m->restart = rd16(h + hdrRestart);
    // A restart position past the end would index past the order list.
    if (m->restart >= m->songLength)
        m->restart = 0;
    m->numChans = static_cast<uint8_t>(chans);
    m->numPatts = filePatts;
    m->speed = h[hdrSpeed];
    m->tempo = h[hdrTempo];
    m->flags = (rd16(h + hdrFlags) & 1) ? gmpLinearFreq : 0;

    CHECK(memAlloc(gmpMaxChannels * sizeof(int), reinterpret_cast<void **>(&m->panning)));
    for (int c = 0; c < gmpMaxChannels; c++)
        m->panning[c] = 128;
    CHECK(memAlloc(static_cast<int>(songLength * 2), reinterpret_cast<void **>(&m->orders)));
    unsigned highest = 0;
    for (unsigned k = 0; k < songLength; k++) {
        m->orders[k] = h[hdrOrders + k];
        if (m->orders[k] > highest)
            highest = m->orders[k];
    }
    if (highest >= m->numPatts)
        m->numPatts = highest + 1;

    CHECK(allocZero(256, reinterpret_cast<void **>(&ld->instUsed)));
    ld->maxInstUsed = -1;
    CHECK(memAlloc(xmMaxPacked + 9, reinterpret_cast<void **>(&ld->xmPatt)));
    // Worst case: six bytes per entry and one terminator per row.
    ld->convSize = chans * 1536 + 256 + 8;
    CHECK(memAlloc(static_cast<int>(ld->convSize), reinterpret_cast<void **>(&ld->convPatt)));
    CHECK(allocZero(static_cast<int>(m->numPatts * sizeof(PatternRecord *)),
                    reinterpret_cast<void **>(&m->patterns)));
    CHECK(seekTo(ld, 60 + static_cast<int64_t>(rd32(h + hdrSize))));
    CHECK(loadPatterns(ld, filePatts));

    unsigned numInsts = fileInsts;
    if (ld->maxInstUsed + 1 > static_cast<int>(numInsts))
        numInsts = static_cast<unsigned>(ld->maxInstUsed + 1);
    m->numInsts = numInsts;
    // At least one entry: memAlloc refuses empty blocks.
    unsigned instSlots = numInsts ? numInsts : 1;
    CHECK(allocZero(static_cast<int>(instSlots * sizeof(InstrumentRecord *)),
                    reinterpret_cast<void **>(&m->instruments)));
    CHECK(allocZero(static_cast<int>(instSlots * gmpXMSamplesPerInst * sizeof(SampleRecord *)),
                    reinterpret_cast<void **>(&m->samples)));
    long cur;
    CHECK(fileGetPosition(ld->f, &cur));
    int64_t pos = cur;
    for (unsigned i = 0; i < numInsts; i++)
        CHECK(loadInstrument(ld, i, fileInsts, &pos));

    uint32_t longest = 0;
    for (unsigned s = 0; s < m->numSamples; s++)
        if (m->samples[s]->sampleLength > longest)
            longest = m->samples[s]->sampleLength;
    if (longest > 0x7FFFFFEF)
        return errInvalidInst;
    // A module without sample data needs no shared buffer.
    if (ld->addSD && longest > 0)
        CHECK(memAlloc(static_cast<int>(longest), reinterpret_cast<void **>(&ld->smpBuf)));
    CHECK(loadSampleData(ld));
    return errOK;
}

int loadXM(fileHandle f, int addSD, gmpSampleCallback sampleCallback, ModuleRecord **module)
{
    XMLoad ld;
    std::memset(&ld, 0, sizeof ld);
    ld.f = f;
    ld.fileOpen = 1;
    ld.addSD = addSD;
    ld.callback = sampleCallback;
    if (addSD && gmpSD == nullptr)
        return loadError(&ld, errInvalidDevice);
    int error = loadBody(&ld);
    if (error != errOK)
        return loadError(&ld, error);
    ModuleRecord *m = ld.module;
    ld.module = nullptr;
    freeBlock(ld.smpBuf);
    freeBlock(ld.instUsed);
    freeBlock(ld.xmPatt);
    freeBlock(ld.convPatt);
    ld.fileOpen = 0;
    error = fileClose(ld.f);
    freeBlock(ld.header);
    if (error != errOK) {
        gmpFreeModule(m);
        return error;
    }
    *module = m;
    return errOK;
}

}  // namespace

int gmpLoadXM(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
              ModuleRecord **module)
{
    fileHandle f;
    CHECK(fileOpen(fileName, rfOpenRead, &f));
    return loadXM(f, addSD, sampleCallback, module);
}

int gmpLoadXMMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                    ModuleRecord **module)
{
    fileHandle f;
    CHECK(fileOpenMemory(data, size, &f));
    return loadXM(f, addSD, sampleCallback, module);
}
