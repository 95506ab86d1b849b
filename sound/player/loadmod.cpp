// ProTracker-style module loader: 31 instruments, 4 to 32 channels, the
// channel count taken from the four-character tag at offset 1080.
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"
#include "sound/player/ldcommon.h"

namespace {

// On-disk layout (16-bit words are big-endian): the song name, 31 sample
// headers, the song length, restart position, order table and tag; then
// the patterns (channels * 256 bytes each) and the sample data.
enum {
    modName = 0,            // 20
    modSampleHeaders = 20,  // 31 x 30 bytes
    modSongLength = 950,    // 1
    modRestart = 951,       // 1: 127 = none
    modOrders = 952,        // 128
    modTag = 1080,          // 4: names the channel count
    modHeaderSize = 1084,
    modNumInsts = 31,
    modRows = 64
};

// Sample header, 30 bytes.
enum {
    smpName = 0,         // 22
    smpLength = 22,      // 2, words
    smpFineTune = 24,    // 1, low nibble
    smpVolume = 25,      // 1
    smpLoopStart = 26,   // 2, words
    smpLoopLength = 28,  // 2, words
    smpHeaderBytes = 30
};

// ProTracker periods of octaves 0 to 5; a note is the first entry at or
// below the cell's period.
const uint16_t ptPeriods[72] = {
    1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960, 907, 856, 808, 762,
    720,  678,  640,  604,  570,  538,  508,  480,  453,  428,  404, 381, 360, 339, 320,
    302,  285,  269,  254,  240,  226,  214,  202,  190,  180,  170, 160, 151, 143, 135,
    127,  120,  113,  107,  101,  95,   90,   85,   80,   75,   71,  67,  63,  60,  56,
    53,   50,   47,   45,   42,   40,   37,   35,   33,   31,   30,  28};

struct ModLoad {
    fileHandle file = nullptr;
    long fileSize = 0;
    int addSD = 0;
    gmpSampleCallback sampleCallback = nullptr;
    unsigned channels = 0;
    unsigned long pattBytes = 0;  // one stored pattern
    ModuleRecord *module = nullptr;
    uint8_t *header = nullptr;  // modHeaderSize bytes
    uint8_t *patt = nullptr;    // one raw pattern
    uint8_t *conv = nullptr;    // one converted pattern
    uint8_t instUsed[modNumInsts] = {};
    int extOctaves = 0;
};

int LoadError(ModLoad &s, int error)
{
    if (s.file)
        fileClose(s.file);
    gmpFreeModule(s.module);
    if (s.header)
        memFree(s.header);
    if (s.patt)
        memFree(s.patt);
    if (s.conv)
        memFree(s.conv);
    return error;
}

inline bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Channels named by the tag, 0 when the tag is unknown. Later matches
// override earlier ones, as the tags were historically tested in this order.
unsigned channelCount(const uint8_t *tag)
{
    unsigned n = 0;
    if (!std::memcmp(tag, "M.K.", 4) || !std::memcmp(tag, "M!K!", 4) ||
        !std::memcmp(tag, "FLT4", 4))
        n = 4;
    if (!std::memcmp(tag, "OCTA", 4))
        n = 8;
    if (!std::memcmp(tag + 1, "CHN", 3) && isDigit(tag[0]))
        n = tag[0] - '0';
    if (!std::memcmp(tag + 2, "CH", 2) && isDigit(tag[0]) && isDigit(tag[1]))
        n = (tag[0] - '0') * 10 + (tag[1] - '0');
    if (!std::memcmp(tag, "TDZ", 3) && isDigit(tag[3]))
        n = tag[3] - '0';
    return n;
}

// Converts one raw pattern (64 rows of channels * 4-byte cells) into the
// packed form at s.conv; *length receives the record's total length.
int ConvertPattern(ModLoad &s, unsigned channels, uint32_t *length)
{
    uint8_t *out = s.conv + sizeof(PatternRecord);
    const uint8_t *cell = s.patt;
    for (unsigned row = 0; row < modRows; row++) {
        for (unsigned ch = 0; ch < channels; ch++, cell += 4) {
            unsigned inst = (cell[0] & 0xF0) | (cell[2] >> 4);
            unsigned period = ((cell[0] & 0x0Fu) << 8) | cell[1];
            unsigned effect = cell[2] & 0x0F;
            unsigned param = cell[3];
            uint8_t flags = 0, note = gmpNoteNone, instByte = gmpInstNone;
            uint8_t command = 0, info = 0;

            if (period != 0) {
                unsigned k = 0;
                while (k < 72 && ptPeriods[k] > period)
                    k++;
                if (k == 72)
                    return errInvalidPatt;  // above the highest note of the table
                unsigned octave = k / 12;
                note = static_cast<uint8_t>(octave * 16 + k % 12);
                if (octave == 0 || octave >= 4)
                    s.extOctaves = 1;
                flags |= gmpEntryNote;
            }
            if (inst != 0) {
                if (inst > modNumInsts)
                    return errInvalidPatt;
                s.instUsed[inst - 1] = 1;
                instByte = static_cast<uint8_t>(inst - 1);
                flags |= gmpEntryNote;
            }
            if (effect != 0 || param != 0) {
                // 8xx outside 0..128 (and the surround value 164) means nothing.
                bool dropped = effect == 8 && param > 128 && param != 164;
                if (!dropped) {
                    if (effect == 0xE) {
                        command = ptECommands[param >> 4];
                        info = static_cast<uint8_t>(param & 0x0F);
                    } else {
                        command = ptCommands[effect];
                        if (effect == 0xF && param >= 33)
                            command = cmdSetTempo;
                        info = static_cast<uint8_t>(param);
                    }
                    // Written even as command 0, which the player ignores.
                    flags |= gmpEntryCommand;
                }
            }
            if (flags == 0)
                continue;
            *out++ = static_cast<uint8_t>(flags | ch);
            if (flags & gmpEntryNote) {
                *out++ = note;
                *out++ = instByte;
            }
            if (flags & gmpEntryCommand) {
                *out++ = command;
                *out++ = info;
            }
        }
        *out++ = 0;
    }
    *length = static_cast<uint32_t>(out - s.conv);
    return errOK;
}

// Reads and checks the header, makes the module and fills its header
// fields and panning.
int LoadHeader(ModLoad &s)
{
    CHECK(fileGetSize(s.file, &s.fileSize));
    CHECK(memAlloc(modHeaderSize, reinterpret_cast<void **>(&s.header)));
    CHECK(gmpAllocModule(&s.module));
    CHECK(fileRead(s.file, s.header, modHeaderSize));

    const uint8_t *h = s.header;
    s.channels = channelCount(h + modTag);
    // The packed entry addresses channels 0 to 31 only.
    if (s.channels == 0 || s.channels > gmpMaxChannels)
        return errInvalidModule;
    unsigned songLength = h[modSongLength];
    if (songLength == 0 || songLength > 128)
        return errInvalidModule;

    ModuleRecord *m = s.module;
    m->numChans = static_cast<uint8_t>(s.channels);
    ldCopyName(m->name, h + modName, 20);
    m->masterVolume = 64;
    m->songLength = static_cast<int>(songLength);
    m->playMode = gmpPT;
    m->speed = 6;
    m->tempo = 125;
    m->flags = 0;
    unsigned restart = h[modRestart];
    m->restart = (restart == 127 || restart >= songLength) ? 0 : static_cast<int>(restart);

    CHECK(memAlloc(gmpMaxChannels * sizeof(int), reinterpret_cast<void **>(&m->panning)));
    int separation = mDefaultStereoSeparation;
    if (separation < 0)
        separation = 0;
    if (separation > 64)
        separation = 64;
    // Amiga channel order: left, right, right, left.
    for (unsigned c = 0; c < gmpMaxChannels; c++)
        m->panning[c] = (c % 4 == 1 || c % 4 == 2) ? 64 + separation : 64 - separation;
    return errOK;
}

// The order list; the pattern count, checked against the file's size; the
// pattern, instrument and sample lists.
int LoadOrders(ModLoad &s)
{
    const uint8_t *h = s.header;
    ModuleRecord *m = s.module;
    // Every order byte counts, even past the song length: those patterns
    // are stored in the file too.
    unsigned numPatts = 0;
    for (unsigned i = 0; i < 128; i++)
        if (h[modOrders + i] + 1u > numPatts)
            numPatts = h[modOrders + i] + 1u;
    s.pattBytes = s.channels * 256ul;
    if (modHeaderSize + numPatts * s.pattBytes > static_cast<unsigned long>(s.fileSize))
        return errEndOfFile;
    const unsigned songLength = h[modSongLength];
    CHECK(memAlloc(static_cast<int>(songLength * sizeof(uint16_t)),
                   reinterpret_cast<void **>(&m->orders)));
    for (unsigned i = 0; i < songLength; i++)
        m->orders[i] = h[modOrders + i];

    CHECK(memAlloc(static_cast<int>(numPatts * sizeof(PatternRecord *)),
                   reinterpret_cast<void **>(&m->patterns)));
    std::memset(m->patterns, 0, numPatts * sizeof(PatternRecord *));
    m->numPatts = numPatts;
    CHECK(memAlloc(modNumInsts * sizeof(InstrumentRecord *),
                   reinterpret_cast<void **>(&m->instruments)));
    std::memset(m->instruments, 0, modNumInsts * sizeof(InstrumentRecord *));
    m->numInsts = modNumInsts;
    CHECK(memAlloc(modNumInsts * sizeof(SampleRecord *), reinterpret_cast<void **>(&m->samples)));
    std::memset(m->samples, 0, modNumInsts * sizeof(SampleRecord *));
    m->numSamples = modNumInsts;
    return errOK;
}

// The patterns, stored one after the other behind the header.
int LoadPatterns(ModLoad &s)
{
    ModuleRecord *m = s.module;
    // A cell is at most 5 packed bytes, each row adds its 0.
    const int convSize = static_cast<int>(sizeof(PatternRecord) + modRows * (s.channels * 5 + 1));
    CHECK(memAlloc(static_cast<int>(s.pattBytes), reinterpret_cast<void **>(&s.patt)));
    CHECK(memAlloc(convSize, reinterpret_cast<void **>(&s.conv)));
    for (unsigned p = 0; p < m->numPatts; p++) {
        CHECK(fileRead(s.file, s.patt, s.pattBytes));
        uint32_t length;
        CHECK(ConvertPattern(s, s.channels, &length));
        PatternRecord *rec;
        CHECK(memAlloc(static_cast<int>(length), reinterpret_cast<void **>(&rec)));
        std::memcpy(rec, s.conv, length);
        rec->length = length;
        rec->rows = modRows;
        m->patterns[p] = rec;
    }
    return errOK;
}

// Instrument i, and its sample when a pattern uses it; the data start at
// *dataPos, which advances by the full stored length, whatever is kept of it.
int LoadInstrument(ModLoad &s, unsigned i, long *dataPos)
{
    ModuleRecord *m = s.module;
    const uint8_t *sh = s.header + modSampleHeaders + smpHeaderBytes * i;
    uint32_t length = ldBE16(sh + smpLength) * 2u;
    uint32_t loopStart = ldBE16(sh + smpLoopStart) * 2u;
    uint32_t loopWords = ldBE16(sh + smpLoopLength);
    uint32_t loopEnd = loopStart + loopWords * 2u;
    long samplePos = *dataPos;
    *dataPos += length;

    SampleRecord *smp;
    CHECK(ldOneSampleInstrument(m, i, s.instUsed[i], sh + smpName, 22, &smp));
    if (smp == nullptr)
        return errOK;
    ldCopyName(smp->name, sh + smpName, 22);
    // A one-word loop (end 2) is ProTracker's way of saying "no loop".
    if (loopEnd > 3 && loopWords != 0) {
        smp->loopMode = sdLoopAmiga;
        smp->loopType = loopUnidir;
        if (loopEnd < length)
            length = loopEnd;
    } else {
        smp->loopMode = sdLoopAmigaNone;
        smp->loopType = loopNone;
    }
    // Files cut short lose the end of their last samples.
    if (samplePos >= s.fileSize)
        length = 0;
    else if (length > static_cast<unsigned long>(s.fileSize - samplePos))
        length = static_cast<uint32_t>(s.fileSize - samplePos);
    if (smp->loopType != loopNone && loopEnd > length) {
        // A loop reaching past the data is kept only where data exist.
        loopEnd = length;
        if (loopStart + 2 >= loopEnd) {
            smp->loopMode = sdLoopAmigaNone;
            smp->loopType = loopNone;
        }
    }
    smp->loopStart = loopStart;
    smp->loopEnd = loopEnd;
    smp->sampleLength = length;
    smp->volume = sh[smpVolume] > 64 ? 64 : sh[smpVolume];
    // Finetune indexes a 16-row period table: only the low nibble counts.
    smp->fineTune = sh[smpFineTune] & 0x0F;
    smp->baseTune = 0;
    smp->panning = 0;

    uint8_t *data = nullptr;
    if (length != 0) {
        smp->sampleType = smp8bitMono;
        CHECK(memAlloc(static_cast<int>(length), reinterpret_cast<void **>(&data)));
        unsigned long got;
        int error = ldReadAt(s.file, s.fileSize, samplePos, data, length, &got);
        if (error != 0) {
            memFree(data);
            return error;
        }
        // Signed 8-bit on disk, unsigned for the device.
        for (uint32_t j = 0; j < length; j++)
            data[j] ^= 0x80;
    }
    SoundDeviceSample sd = {};
    sd.loop1Start = smp->loopStart;
    sd.loop1End = smp->loopEnd;
    sd.loop1Type = smp->loopType;
    return ldAddSample(smp, data, &sd, s.addSD, s.sampleCallback);
}

int LoadBody(ModLoad &s)
{
    CHECK(LoadHeader(s));
    CHECK(LoadOrders(s));
    CHECK(LoadPatterns(s));
    // Samples follow the patterns in instrument order.
    long dataPos = static_cast<long>(modHeaderSize + s.module->numPatts * s.pattBytes);
    for (unsigned i = 0; i < modNumInsts; i++)
        CHECK(LoadInstrument(s, i, &dataPos));
    if (s.extOctaves)
        s.module->flags |= gmpExtOctaves;
    return errOK;
}

int LoadMOD(fileHandle file, int addSD, gmpSampleCallback sampleCallback, ModuleRecord **module)
{
    ModLoad s;
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
    memFree(s.conv);
    memFree(s.header);
    *module = s.module;
    return errOK;
}

}  // namespace

int gmpLoadMOD(const char *fileName, int addSD, gmpSampleCallback sampleCallback,
               ModuleRecord **module)
{
    fileHandle file;
    CHECK(fileOpen(fileName, rfOpenRead, &file));
    return LoadMOD(file, addSD, sampleCallback, module);
}

int gmpLoadMODMemory(const void *data, size_t size, int addSD, gmpSampleCallback sampleCallback,
                     ModuleRecord **module)
{
    fileHandle file;
    CHECK(fileOpenMemory(data, size, &file));
    return LoadMOD(file, addSD, sampleCallback, module);
}
