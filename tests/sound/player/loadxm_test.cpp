// The XM loader: module fields, pattern conversion, instruments and samples,
// and refusal of malformed files.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "harness.h"
#include "sound/api/errors.h"

namespace {

int loadBytes(const std::vector<uint8_t> &bytes, ModuleRecord **m, int addSD = 1)
{
    recdev::reset();
    gmpInit(recdev::device());
    return gmpLoadXMMemory(bytes.data(), bytes.size(), addSD, nullptr, m);
}

// The entries of row `row` of a pattern record, as raw bytes (without the
// closing 0).
std::vector<uint8_t> rowBytes(const PatternRecord *p, unsigned row)
{
    const uint8_t *d = gmpPatternData(p);
    for (unsigned r = 0; r < row; r++) {
        while (*d) {
            uint8_t f = *d++;
            d += (f & 0x20 ? 2 : 0) + (f & 0x40 ? 1 : 0) + (f & 0x80 ? 2 : 0);
        }
        d++;
    }
    std::vector<uint8_t> out;
    while (*d) {
        uint8_t f = *d;
        int n = 1 + (f & 0x20 ? 2 : 0) + (f & 0x40 ? 1 : 0) + (f & 0x80 ? 2 : 0);
        out.insert(out.end(), d, d + n);
        d += n;
    }
    return out;
}

}  // namespace

TEST(LoaderXM, HeaderFieldsAndEmptyPatterns)
{
    xmw::Module m = simpleModule(4, 16);
    m.name = "A song name of 20 ch";
    m.speed = 5;
    m.tempo = 140;
    m.restart = 1;
    m.orders = {0, 10, 0};
    for (unsigned i = 1; i < 5; i++)
        m.pattern(i, 32);
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod), 0);
    EXPECT_STREQ(mod->name, "A song name of 20 ch");
    EXPECT_EQ(mod->playMode, gmpFT2);
    EXPECT_EQ(mod->numChans, 4);
    EXPECT_EQ(mod->speed, 5);
    EXPECT_EQ(mod->tempo, 140);
    EXPECT_EQ(mod->restart, 1);
    EXPECT_EQ(mod->flags, gmpLinearFreq);
    EXPECT_EQ(mod->masterVolume, 64);
    ASSERT_EQ(mod->songLength, 3);
    EXPECT_EQ(mod->orders[1], 10);
    // Orders name pattern 10 of a file with 5: patterns 5..10 are empty 64-row ones.
    ASSERT_EQ(mod->numPatts, 11u);
    EXPECT_EQ(mod->patterns[4]->rows, 32u);
    EXPECT_EQ(mod->patterns[4]->length, 8u + 32);
    for (unsigned i = 5; i <= 10; i++) {
        EXPECT_EQ(mod->patterns[i]->rows, 64u);
        EXPECT_EQ(mod->patterns[i]->length, 72u);
    }
    for (int c = 0; c < 32; c++)
        EXPECT_EQ(mod->panning[c], 128);
    EXPECT_EQ(gmpFreeModule(mod), 0);
}

TEST(LoaderXM, RestartBeyondTheSongIsReset)
{
    xmw::Module m = simpleModule();
    m.restart = 7;
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod), 0);
    EXPECT_EQ(mod->restart, 0);
    gmpFreeModule(mod);
}

TEST(LoaderXM, VersionAndRowCountsAreChecked)
{
    ModuleRecord *mod = nullptr;
    xmw::Module m = simpleModule();
    m.version = 0x0103;
    EXPECT_EQ(loadBytes(m.build(), &mod), errInvalidModule);
    for (unsigned rows : {0u, 257u}) {
        xmw::Module r = simpleModule(1, 4);
        r.pattern(0).rows = rows;
        r.pattern(0).cells.assign(rows, xmw::Cell{});
        EXPECT_EQ(loadBytes(r.build(), &mod), errInvalidModule) << rows;
    }
    xmw::Module big = simpleModule(1, 256);
    EXPECT_EQ(loadBytes(big.build(), &mod), 0);
    EXPECT_EQ(mod->patterns[0]->rows, 256u);
    gmpFreeModule(mod);
    std::vector<uint8_t> bytes = simpleModule().build();
    bytes[3] = 'X';
    EXPECT_EQ(loadBytes(bytes, &mod), errInvalidModule);
}

TEST(LoaderXM, PatternConversion)
{
    xmw::Module m = simpleModule(3, 4);
    m.pattern(0)
        .set(0, 0, "=== .. .. ...")
        .set(0, 1, "... 01 .. ...")
        .set(0, 2, "C#5 01 40 W07")
        .set(1, 0, "... .. .. K00")
        .set(1, 1, "... .. .. E93")
        .set(1, 2, "... .. .. X12")
        .set(2, 0, "... .. .. F21")
        .set(2, 1, "... .. .. X32")
        .set(2, 2, "... .. 05 Q12");
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod), 0);
    const PatternRecord *p = mod->patterns[0];
    // Note 97 = key off (254); an instrument alone has note 255; C#5 is
    // octave 5 semitone 1; volume 0x40 is 48; W07 is sync command 30 arg 7.
    EXPECT_EQ(rowBytes(p, 0), (std::vector<uint8_t>{0x20, 254, 255, 0x21, 255, 0, 0xE2, 0x51, 0,
                                                   48, cmdMusicSync, 7}));
    // K is a key-off note; E9y keeps y; X1y is an extra fine slide.
    EXPECT_EQ(rowBytes(p, 1), (std::vector<uint8_t>{0x20, 254, 255, 0x81, cmdRetrig, 3, 0x82,
                                                   cmdExtraFineSlideUp, 2}));
    // F above 31 sets the tempo; X3y is dropped; volume bytes below 0x10
    // and effects without a command (Q) leave nothing.
    EXPECT_EQ(rowBytes(p, 2), (std::vector<uint8_t>{0x80, cmdSetTempo, 0x21}));
    EXPECT_EQ(rowBytes(p, 3), (std::vector<uint8_t>{}));
    gmpFreeModule(mod);
}

// A legal 256-row pattern with every field of every channel present needs a
// row terminator per row on top of six bytes per entry.
TEST(LoaderXM, FullyPopulatedPatternFitsTheConversionBuffer)
{
    xmw::Module m = simpleModule(32, 256);
    for (unsigned r = 0; r < 256; r++)
        for (unsigned c = 0; c < 32; c++)
            m.pattern(0).set(r, c, "C-4 01 40 A12");
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod), 0);
    EXPECT_EQ(mod->patterns[0]->length, 8u + 256 * (32 * 6 + 1));
    EXPECT_EQ(rowBytes(mod->patterns[0], 255).size(), 32u * 6);
    gmpFreeModule(mod);
}

TEST(LoaderXM, InstrumentsSamplesAndPlaceholders)
{
    xmw::Module m(2);
    m.pattern(0, 4).set(0, 0, "C-4 01 .. ...").set(1, 0, "C-4 02 .. ...").set(2, 1, "C-4 04 .. ...");
    xmw::Instrument &a = m.instrument();
    a.name = "lead";
    for (int k = 0; k < 96; k++)
        a.noteSamples[k] = k < 48 ? 0 : 1;
    a.sample8({1, 2, 3}).name = "s0";
    xmw::Sample &s1 = a.sample16({100, -100, 300, 0});
    s1.loopKind = 2;
    s1.loopStart = 2;
    s1.loopLength = 4;
    s1.relNote = -12;
    s1.fineTune = -16;
    s1.panning = 40;
    s1.volume = 99;
    a.sample8({9, 9});  // listed but no note uses it
    a.vol.on = true;
    a.vol.points = {{0, 64}, {10, 0}};
    a.vol.sustain = 1;
    a.fadeout = 300;
    a.vibDepth = 5;
    m.instrument().name = "unused, no samples";
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod), 0);
    ASSERT_EQ(mod->numInsts, 4u);  // instrument 4 is used but not in the file
    InstrumentRecord *i0 = mod->instruments[0];
    EXPECT_STREQ(i0->name, "lead");
    EXPECT_EQ(i0->used, 1u);
    ASSERT_EQ(i0->numSamples, 2u);  // the table names samples 0 and 1 only
    ASSERT_NE(i0->noteSamples, nullptr);
    EXPECT_EQ(i0->noteSamples[50], 1);
    ASSERT_NE(i0->volEnvelope, nullptr);
    EXPECT_EQ(i0->volEnvelope->numPoints, 2);
    EXPECT_EQ(i0->volEnvelope->susPoint, 1);
    EXPECT_EQ(i0->volEnvelope->loopStart, 255);
    EXPECT_EQ(i0->panEnvelope, nullptr);
    EXPECT_EQ(i0->volFadeout, 300u);
    EXPECT_EQ(i0->vibDepth, 5);
    SampleRecord *s = i0->sampleList[1];
    EXPECT_EQ(s->sampleType, smp16bitMono);
    EXPECT_EQ(s->sampleLength, 8u);
    EXPECT_EQ(s->loopStart, 2u);
    EXPECT_EQ(s->loopEnd, 6u);
    EXPECT_EQ(s->loopType, loopBidir);
    EXPECT_EQ(s->loopMode, sdLoop1);
    EXPECT_EQ(s->baseTune, -12);
    EXPECT_EQ(s->fineTune, -16);
    EXPECT_EQ(s->panning, 40);
    EXPECT_EQ(s->volume, 64u);
    EXPECT_STREQ(i0->sampleList[0]->name, "s0");
    EXPECT_EQ(i0->sampleList[0]->loopType, loopNone);
    // Instrument 2 is used, has no samples in the file: one empty record.
    ASSERT_EQ(mod->instruments[1]->numSamples, 1u);
    EXPECT_EQ(mod->instruments[1]->sampleList[0]->sampleType, smpNone);
    EXPECT_EQ(mod->instruments[2]->numSamples, 0u);
    EXPECT_EQ(mod->instruments[2]->used, 0u);
    // Instrument 4, beyond the file: one empty sample and an empty name.
    ASSERT_EQ(mod->instruments[3]->numSamples, 1u);
    EXPECT_STREQ(mod->instruments[3]->name, "");
    EXPECT_EQ(mod->numSamples, 4u);
    // Each record went to the device; the 16-bit one decoded to native words.
    ASSERT_EQ(recdev::samples().size(), 4u);
    const auto &d = recdev::samples()[1].data;
    ASSERT_EQ(d.size(), 8u);
    int16_t w[4];
    std::memcpy(w, d.data(), 8);
    EXPECT_EQ(w[0], 100);
    EXPECT_EQ(w[1], -100);
    EXPECT_EQ(w[2], 300);
    EXPECT_EQ(recdev::samples()[1].desc.loop1Type, loopBidir);
    EXPECT_EQ(s->sdHandle, 2u);
    // Freeing removes every sample from the device before the memory goes.
    recdev::takeLog();
    EXPECT_EQ(gmpFreeModule(mod), 0);
    EXPECT_EQ(recdev::takeLog(), Lines({"RemoveSample 1", "RemoveSample 2", "RemoveSample 3",
                                        "RemoveSample 4"}));
}

TEST(LoaderXM, DeltaDecodingWithAndWithoutTheDevice)
{
    xmw::Module m = simpleModule();
    m.pattern(0).set(0, 0, "C-4 01 .. ...");
    m.instruments[0].samples[0].raw = {10, 246, 5};
    m.instruments[0].samples[0].loopKind = 0;
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod, 0), 0);
    SampleRecord *s = mod->samples[0];
    ASSERT_NE(s->sample, nullptr);
    const uint8_t *b = static_cast<const uint8_t *>(s->sample);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 3), (std::vector<uint8_t>{138, 128, 133}));
    EXPECT_EQ(s->sdHandle, 0u);
    EXPECT_TRUE(recdev::samples().empty());
    gmpFreeModule(mod);

    ASSERT_EQ(loadBytes(m.build(), &mod, 1), 0);
    EXPECT_EQ(mod->samples[0]->sample, nullptr);
    ASSERT_EQ(recdev::samples().size(), 1u);
    EXPECT_EQ(recdev::samples()[0].data, (std::vector<uint8_t>{138, 128, 133}));
    gmpFreeModule(mod);
}

static int g_callbacks;
static int countingCallback(SoundDeviceSample *sd, SampleRecord *smp)
{
    g_callbacks++;
    EXPECT_EQ(sd->length, smp->sampleLength);
    return g_callbacks == 2 ? errInvalidInst : 0;
}

TEST(LoaderXM, SampleCallbackErrorAbortsAndCleansUp)
{
    xmw::Module m = simpleModule(1, 4);
    m.pattern(0).set(0, 0, "C-4 01 .. ...").set(1, 0, "C-4 02 .. ...");
    m.instrument().sample8({1, 2});
    std::vector<uint8_t> bytes = m.build();
    recdev::reset();
    gmpInit(recdev::device());
    g_callbacks = 0;
    ModuleRecord *mod = nullptr;
    EXPECT_EQ(gmpLoadXMMemory(bytes.data(), bytes.size(), 1, countingCallback, &mod),
              errInvalidInst);
    EXPECT_EQ(mod, nullptr);
    EXPECT_EQ(g_callbacks, 2);
    // Both samples reached the device and both were removed again.
    ASSERT_EQ(recdev::samples().size(), 2u);
    EXPECT_TRUE(recdev::samples()[0].removed);
    EXPECT_TRUE(recdev::samples()[1].removed);
}

TEST(LoaderXM, AModuleWithoutSampleDataLoads)
{
    xmw::Module m(1);
    m.pattern(0, 4).set(0, 0, "C-4 01 .. ...");
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod), 0);
    EXPECT_EQ(mod->numInsts, 1u);
    EXPECT_EQ(mod->samples[0]->sampleType, smpNone);
    gmpFreeModule(mod);
}

// ---------------------------------------------------------------------------
// Malformed files: each fails with a code, frees what it built, and closes
// the file.

TEST(LoaderXM, HostileCountsAndIndices)
{
    ModuleRecord *mod = nullptr;
    xmw::Module chans = simpleModule();
    chans.channelCountOverride = 33;
    EXPECT_EQ(loadBytes(chans.build(), &mod), errInvalidModule);

    xmw::Module env = simpleModule();
    env.instruments[0].vol.on = true;
    env.instruments[0].vol.points = {{0, 64}};
    env.instruments[0].vol.countOverride = 13;
    env.pattern(0).set(0, 0, "C-4 01 .. ...");
    EXPECT_EQ(loadBytes(env.build(), &mod), errInvalidInst);

    xmw::Module table = simpleModule();
    table.instruments[0].noteSamples[40] = 16;  // beyond an instrument's 16 slots
    EXPECT_EQ(loadBytes(table.build(), &mod), errInvalidInst);

    xmw::Module len = simpleModule();
    len.songLengthOverride = 0;
    EXPECT_EQ(loadBytes(len.build(), &mod), errInvalidModule);

    xmw::Module big = simpleModule();
    big.instruments[0].samples[0].lengthOverride = 0x7FFFFFFF;  // impossible
    EXPECT_EQ(loadBytes(big.build(), &mod), errInvalidInst);
    big.instruments[0].samples[0].lengthOverride = 100000;  // beyond the file: cut to it
    big.pattern(0).set(0, 0, "C-4 01 .. ...");
    ASSERT_EQ(loadBytes(big.build(), &mod), 0);
    EXPECT_EQ(mod->samples[0]->sampleLength, 16u);
    gmpFreeModule(mod);

    // Packed data that end inside an entry.
    xmw::Module patt = simpleModule(2, 2);
    patt.pattern(0).useRaw = true;
    patt.pattern(0).rawPacked = {0x83, 49};
    EXPECT_EQ(loadBytes(patt.build(), &mod), errInvalidPatt);
    // Packed data that end on an entry boundary: the rest is empty.
    patt.pattern(0).rawPacked = {0x81, 49};
    ASSERT_EQ(loadBytes(patt.build(), &mod), 0);
    EXPECT_EQ(mod->patterns[0]->length, 8u + 3 + 1 + 1);
    gmpFreeModule(mod);
}

// A file cut anywhere before its sample data fails cleanly; one cut inside
// the sample data loads the part of the sample that is there.
TEST(LoaderXM, EveryTruncationFailsCleanlyOrCutsTheSample)
{
    xmw::Module m = simpleModule(2, 4);
    m.pattern(0).set(0, 0, "C-4 01 20 A01").set(3, 1, "=== .. .. ...");
    m.instruments[0].vol.on = true;
    m.instruments[0].vol.points = {{0, 64}, {4, 32}};
    std::vector<uint8_t> bytes = m.build();
    const size_t dataStart = bytes.size() - 16;  // the one sample's 16 bytes end the file
    for (size_t n = 0; n < bytes.size(); n++) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(n));
        ModuleRecord *mod = nullptr;
        int error = loadBytes(part, &mod, 0);
        if (n >= dataStart) {
            ASSERT_EQ(error, 0) << n;
            EXPECT_EQ(mod->samples[0]->sampleLength, n - dataStart);
            EXPECT_LE(mod->samples[0]->loopEnd, n - dataStart);
            gmpFreeModule(mod);
            continue;
        }
        ASSERT_NE(error, 0) << n;
        EXPECT_TRUE(error == errEndOfFile || error == errInvalidModule || error == errFileRead)
            << n << " " << error;
        EXPECT_EQ(mod, nullptr);
    }
}

static int openFiles()
{
    int n = 0;
    DIR *d = opendir("/proc/self/fd");
    if (d == nullptr)
        return -1;
    while (readdir(d) != nullptr)
        n++;
    closedir(d);
    return n;
}

TEST(LoaderXM, FilesAreClosedOnSuccessAndFailure)
{
    char path[] = "/tmp/loadxm_testXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    xmw::Module m = simpleModule();
    ASSERT_TRUE(m.save(path));
    recdev::reset();
    gmpInit(recdev::device());
    int before = openFiles();
    ModuleRecord *mod = nullptr;
    ASSERT_EQ(gmpLoadXM(path, 1, nullptr, &mod), 0);
    EXPECT_EQ(openFiles(), before);
    gmpFreeModule(mod);
    m.version = 0x0100;
    ASSERT_TRUE(m.save(path));
    mod = nullptr;
    EXPECT_EQ(gmpLoadXM(path, 1, nullptr, &mod), errInvalidModule);
    EXPECT_EQ(openFiles(), before);
    EXPECT_EQ(mod, nullptr);
    EXPECT_NE(gmpLoadXM("/nonexistent/file.xm", 1, nullptr, &mod), 0);
    std::remove(path);
}

TEST(LoaderXM, MoreThan256InstrumentsLoad)
{
    xmw::Module m = simpleModule();
    m.pattern(0).set(0, 0, "C-4 FF .. ...");
    m.instruments.resize(300);
    ModuleRecord *mod;
    ASSERT_EQ(loadBytes(m.build(), &mod), 0);
    EXPECT_EQ(mod->numInsts, 300u);
    EXPECT_EQ(mod->instruments[254]->used, 1u);
    EXPECT_EQ(mod->instruments[299]->used, 0u);
    gmpFreeModule(mod);
}
