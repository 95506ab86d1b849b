// Pinned device traces of small MOD, S3M and IT modules played by the player
// through the recording device: what the loaders build, as the device hears
// it, and their integer renders through the mixer, pinned by hash. Regenerate
// the traces with Q5_UPDATE_GOLDEN=1 and explain the change in the commit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "golden_file.h"
#include "sound/mixer/dsm.h"
#include "sound/player/gmplayer.h"
#include "support/it_writer.h"
#include "support/mixrender.h"
#include "support/mod_writer.h"
#include "support/recdevice.h"
#include "support/s3m_writer.h"

namespace {

typedef int (*LoadMemoryFn)(const void *, size_t, int, gmpSampleCallback, ModuleRecord **);

// Loads onto the recording device and plays `ticks` ticks; the trace holds
// the samples handed over and every call of each tick.
std::string trace(LoadMemoryFn load, const std::vector<uint8_t> &bytes, int ticks)
{
    recdev::reset();
    recdev::setLogging(true);
    EXPECT_EQ(gmpInit(recdev::device()), 0);
    ModuleRecord *m = nullptr;
    EXPECT_EQ(load(bytes.data(), bytes.size(), 1, nullptr, &m), 0);
    if (m == nullptr)
        return "";
    int channels[32];
    for (int i = 0; i < 32; i++)
        channels[i] = i;
    PlayState *ps = nullptr;
    EXPECT_EQ(gmpPlaySong(m, -1, -1, -1, 1, -1, channels, &ps), 0);
    for (int t = 0; t < ticks; t++) {
        recdev::mark("tick " + std::to_string(t));
        EXPECT_EQ(gmpPlay(), 0);
    }
    EXPECT_EQ(gmpStopSong(ps), 0);
    EXPECT_EQ(gmpFreeModule(m), 0);
    std::ostringstream o;
    for (const std::string &line : recdev::takeLog())
        o << line << "\n";
    gmpClose();
    return o.str();
}

std::vector<uint8_t> smallMOD()
{
    modw::Module m;
    m.samples.resize(1);
    m.samples[0].data.assign(64, 10);
    for (int i = 0; i < 64; i++)
        m.samples[0].data[i] = static_cast<int8_t>((i % 16 - 8) * 12);
    m.samples[0].volume = 32;
    m.samples[0].loopStart = 8;
    m.samples[0].loopLength = 16;
    m.cell(0, 0, 0) = {428, 1, 0, 0};
    m.cell(0, 0, 1) = {856, 1, 0xC, 0x20};
    m.cell(0, 1, 0) = {0, 0, 0xA, 0x10};
    return modw::write(m);
}

std::vector<uint8_t> smallS3M()
{
    s3mw::Module m;
    m.instruments.resize(1);
    m.instruments[0].data.assign(100, 0x90);
    for (int i = 0; i < 100; i++)
        m.instruments[0].data[i] = static_cast<uint8_t>(128 + (i % 20 - 10) * 10);
    m.instruments[0].loop = true;
    m.instruments[0].loopStart = 10;
    m.instruments[0].loopEnd = 90;
    m.patterns.resize(1);
    m.patterns[0].entries = {{0, 0, 0x40, 1, 40, -1, 0}, {0, 1, 0x50, 1, -1, 4, 0x02},
                             {1, 0, -1, -1, -1, 5, 0x01}};
    return s3mw::write(m);
}

std::vector<uint8_t> smallIT()
{
    itw::Module m;
    m.useInstruments = true;
    m.samples.resize(1);
    for (int i = 0; i < 200; i++)
        m.samples[0].data.push_back(i % 40 - 20);
    m.samples[0].compressed = true;
    m.samples[0].loopFlags = 0x10;
    m.samples[0].loopEnd = 200;
    m.instruments.resize(1);
    m.instruments[0].useSample(1);
    m.instruments[0].vol = {1, {{64, 0}, {0, 8}}, 0, 0, 0, 0, {}};
    m.patterns.resize(1);
    m.patterns[0].entries = {{0, 0, 60, 1, -1, -1, 0}, {1, 1, 72, 1, 32, -1, 0}};
    return itw::write(m);
}

}  // namespace

// Period 428 (octave 2, C) plays at 3546895 / 428 = 8287 Hz; the volume
// slide A01 raises 32 by one per tick after the first.
TEST(GoldenLoaderTrace, MOD)
{
    std::string t = trace(gmpLoadMODMemory, smallMOD(), 12);
    EXPECT_NE(t.find("SetRate 0 8287"), std::string::npos);
    checkGolden("trace_mod.txt", t);
}

// Note C-4 of a sample whose middle-C rate is 8363 Hz plays at 8363 Hz (8362
// after the integer period), C-5 at twice that; D02 slides the second
// channel down by 2 a tick.
TEST(GoldenLoaderTrace, S3M)
{
    std::string t = trace(gmpLoadS3MMemory, smallS3M(), 12);
    EXPECT_NE(t.find("PlaySound 0 8362"), std::string::npos);
    EXPECT_NE(t.find("PlaySound 1 16725"), std::string::npos);
    checkGolden("trace_s3m.txt", t);
}

// IT notes 60 and 72 (C-5, C-6) play an octave apart, at the rates of the
// S3M's C-4 and C-5 (IT's middle C is C-5); the instrument's volume
// envelope falls from 64 to 0 over 8 ticks, 8 a tick.
TEST(GoldenLoaderTrace, IT)
{
    std::string t = trace(gmpLoadITMemory, smallIT(), 12);
    EXPECT_NE(t.find("PlaySound 0 8362"), std::string::npos);
    EXPECT_NE(t.find("PlaySound 1 16725"), std::string::npos);
    EXPECT_NE(t.find("tick 6\nSetVolume 0 56\n"), std::string::npos);
    checkGolden("trace_it.txt", t);
}

namespace {

// 24 ticks at 44100 Hz, 16-bit stereo, integer mixing on 4 channels.
std::vector<int16_t> render(LoadMemoryFn load, const std::vector<uint8_t> &bytes)
{
    mixrender::Options o;
    o.mode = dsmModeStereo | dsmMode16bit | dsmModeInteger;
    o.songChannels = 4;
    return mixrender::render(load, bytes, o);
}

int peak(const std::vector<int16_t> &v)
{
    int p = 0;
    for (int16_t x : v)
        p = std::max(p, std::abs(static_cast<int>(x)));
    return p;
}

}  // namespace

// The samples sound (the IT one is compressed) and the renders stay as pinned.
TEST(GoldenLoaderRender, IntegerRendersOfTheSmallModules)
{
    struct {
        const char *name;
        LoadMemoryFn load;
        std::vector<uint8_t> bytes;
        uint64_t hash;
    } cases[] = {{"mod", gmpLoadMODMemory, smallMOD(), 0xab5b1d876a581c0eull},
                 {"s3m", gmpLoadS3MMemory, smallS3M(), 0x96d0e08ee7231214ull},
                 {"it", gmpLoadITMemory, smallIT(), 0xa592577cf7d48013ull}};
    for (const auto &c : cases) {
        std::vector<int16_t> pcm = render(c.load, c.bytes);
        EXPECT_GT(peak(pcm), 500) << c.name << ": silent";
        uint64_t h = mixrender::hash(pcm);
        EXPECT_EQ(h, c.hash) << c.name << ": integer render hash 0x" << std::hex << h;
        std::printf("%s: %zu frames, peak %d\n", c.name, pcm.size() / 2, peak(pcm));
    }
}
