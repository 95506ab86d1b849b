// ProTracker-style module loader: 31 instruments, 4 to 32 channels, the
// channel count taken from the four-character tag at offset 1080.
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mglobals.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"
#include "sound/player/ldcommon.h"

namespace {

// On-disk layout (16-bit words are big-endian):
//   0     song name (20)
//   20    31 sample headers of 30 bytes: name (22), length in words (2),
//         finetune (1, low nibble), volume (1), loop start in words (2),
//         loop length in words (2)
//   950   song length, 951 restart position, 952 order table (128)
//   1080  tag; 1084 patterns (channels * 256 bytes each), then sample data
enum {
    modHeaderSize = 1084,
    modNumInsts = 31,
    modSampleHeaders = 20,
    modSongLength = 950,
    modRestart = 951,
    modOrders = 952,
    modTag = 1080,
    modRows = 64
};

// ProTracker periods of octaves 0 to 5; a note is the first entry at or
// below the cell's period.
const uint16_t ptPeriods[72] = {
    1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960, 907,
    856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480, 453,
    428,  404,  381,  360,  339,  320,  302,  285,  269,  254,  240, 226,
    214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120, 113,
    107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,  56,
    53,   50,   47,   45,   42,   40,   37,   35,   33,   31,   30,  28};

struct ModLoad {
    fileHandle file = nullptr;
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
            unsigned period = ((cell[0] & 0x0F) << 8) | cell[1];
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

int LoadMOD(fileHandle file, int addSD, gmpSampleCallback sampleCallback, ModuleRecord **module)
{
    ModLoad s;
    s.file = file;
    int error;
    long fileSize;
    if ((error = fileGetSize(file, &fileSize)) != 0)
        return LoadError(s, error);
    if ((error = memAlloc(modHeaderSize, reinterpret_cast<void **>(&s.header))) != 0)
        return LoadError(s, error);
    if ((error = gmpAllocModule(&s.module)) != 0)
        return LoadError(s, error);
    if ((error = fileRead(file, s.header, modHeaderSize)) != 0)
        return LoadError(s, error);

    const uint8_t *h = s.header;
    unsigned channels = channelCount(h + modTag);
    // The packed entry addresses channels 0 to 31 only.
    if (channels == 0 || channels > gmpMaxChannels)
        return LoadError(s, errInvalidModule);
    unsigned songLength = h[modSongLength];
    if (songLength == 0 || songLength > 128)
        return LoadError(s, errInvalidModule);

    ModuleRecord *m = s.module;
    m->numChans = static_cast<uint8_t>(channels);
    ldCopyName(m->name, h, 20);
    m->masterVolume = 64;
    m->songLength = static_cast<int>(songLength);
    m->playMode = gmpPT;
    m->speed = 6;
    m->tempo = 125;
    m->flags = 0;
    unsigned restart = h[modRestart];
    m->restart = (restart == 127 || restart >= songLength) ? 0 : static_cast<int>(restart);

    if ((error = memAlloc(gmpMaxChannels * sizeof(int), reinterpret_cast<void **>(&m->panning))) != 0)
        return LoadError(s, error);
    int separation = mDefaultStereoSeparation;
    if (separation < 0)
        separation = 0;
    if (separation > 64)
        separation = 64;
    // Amiga channel order: left, right, right, left.
    for (unsigned c = 0; c < gmpMaxChannels; c++)
        m->panning[c] = (c % 4 == 1 || c % 4 == 2) ? 64 + separation : 64 - separation;

    // Every order byte counts, even past the song length: those patterns
    // are stored in the file too.
    unsigned numPatts = 0;
    for (unsigned i = 0; i < 128; i++)
        if (h[modOrders + i] + 1u > numPatts)
            numPatts = h[modOrders + i] + 1u;
    const unsigned long pattBytes = channels * 256ul;
    if (modHeaderSize + numPatts * pattBytes > static_cast<unsigned long>(fileSize))
        return LoadError(s, errEndOfFile);
    if ((error = memAlloc(static_cast<int>(songLength * sizeof(uint16_t)),
                          reinterpret_cast<void **>(&m->orders))) != 0)
        return LoadError(s, error);
    for (unsigned i = 0; i < songLength; i++)
        m->orders[i] = h[modOrders + i];

    if ((error = memAlloc(static_cast<int>(numPatts * sizeof(PatternRecord *)),
                          reinterpret_cast<void **>(&m->patterns))) != 0)
        return LoadError(s, error);
    std::memset(m->patterns, 0, numPatts * sizeof(PatternRecord *));
    m->numPatts = numPatts;
    if ((error = memAlloc(modNumInsts * sizeof(InstrumentRecord *),
                          reinterpret_cast<void **>(&m->instruments))) != 0)
        return LoadError(s, error);
    std::memset(m->instruments, 0, modNumInsts * sizeof(InstrumentRecord *));
    m->numInsts = modNumInsts;
    if ((error = memAlloc(modNumInsts * sizeof(SampleRecord *),
                          reinterpret_cast<void **>(&m->samples))) != 0)
        return LoadError(s, error);
    std::memset(m->samples, 0, modNumInsts * sizeof(SampleRecord *));
    m->numSamples = modNumInsts;

    // Patterns: a cell is at most 5 packed bytes, each row adds its 0.
    const int convSize = static_cast<int>(sizeof(PatternRecord) + modRows * (channels * 5 + 1));
    if ((error = memAlloc(static_cast<int>(pattBytes), reinterpret_cast<void **>(&s.patt))) != 0 ||
        (error = memAlloc(convSize, reinterpret_cast<void **>(&s.conv))) != 0)
        return LoadError(s, error);
    for (unsigned p = 0; p < numPatts; p++) {
        if ((error = fileRead(file, s.patt, pattBytes)) != 0)
            return LoadError(s, error);
        uint32_t length;
        if ((error = ConvertPattern(s, channels, &length)) != 0)
            return LoadError(s, error);
        PatternRecord *rec;
        if ((error = memAlloc(static_cast<int>(length), reinterpret_cast<void **>(&rec))) != 0)
            return LoadError(s, error);
        std::memcpy(rec, s.conv, length);
        rec->length = length;
        rec->rows = modRows;
        m->patterns[p] = rec;
    }

    // Samples follow the patterns in instrument order; each advances the
    // file position by its full stored length, whatever is kept of it.
    long dataPos = static_cast<long>(modHeaderSize + numPatts * pattBytes);
    for (unsigned i = 0; i < modNumInsts; i++) {
        const uint8_t *sh = h + modSampleHeaders + 30 * i;
        uint32_t length = ldBE16(sh + 22) * 2u;
        uint32_t loopStart = ldBE16(sh + 26) * 2u;
        uint32_t loopWords = ldBE16(sh + 28);
        uint32_t loopEnd = loopStart + loopWords * 2u;
        long samplePos = dataPos;
        dataPos += length;

        int used = s.instUsed[i];
        InstrumentRecord *inst;
        if ((error = gmpAllocInstrument(used ? 1 : 0, &inst)) != 0)
            return LoadError(s, error);
        m->instruments[i] = inst;
        ldCopyName(inst->name, sh, 22);
        inst->used = static_cast<uint32_t>(used);
        if (!used)
            continue;

        SampleRecord *smp;
        if ((error = memAlloc(sizeof(SampleRecord), reinterpret_cast<void **>(&smp))) != 0)
            return LoadError(s, error);
        std::memset(smp, 0, sizeof *smp);
        m->samples[i] = smp;
        inst->sampleList[0] = smp;
        ldCopyName(smp->name, sh, 22);
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
        if (samplePos >= fileSize)
            length = 0;
        else if (length > static_cast<unsigned long>(fileSize - samplePos))
            length = static_cast<uint32_t>(fileSize - samplePos);
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
        smp->volume = sh[25] > 64 ? 64 : sh[25];
        // Finetune indexes a 16-row period table: only the low nibble counts.
        smp->fineTune = sh[24] & 0x0F;
        smp->baseTune = 0;
        smp->panning = 0;

        uint8_t *data = nullptr;
        if (length != 0) {
            smp->sampleType = smp8bitMono;
            if ((error = memAlloc(static_cast<int>(length), reinterpret_cast<void **>(&data))) != 0)
                return LoadError(s, error);
            unsigned long got;
            if ((error = ldReadAt(file, fileSize, samplePos, data, length, &got)) != 0) {
                memFree(data);
                return LoadError(s, error);
            }
            // Signed 8-bit on disk, unsigned for the device.
            for (uint32_t j = 0; j < length; j++)
                data[j] ^= 0x80;
        }
        SoundDeviceSample sd = {};
        sd.loop1Start = smp->loopStart;
        sd.loop1End = smp->loopEnd;
        sd.loop1Type = smp->loopType;
        if ((error = ldAddSample(smp, data, &sd, addSD, sampleCallback)) != 0)
            return LoadError(s, error);
    }

    if (s.extOctaves)
        m->flags |= gmpExtOctaves;
    s.file = nullptr;
    if ((error = fileClose(file)) != 0)
        return LoadError(s, error);
    memFree(s.patt);
    memFree(s.conv);
    memFree(s.header);
    *module = m;
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
