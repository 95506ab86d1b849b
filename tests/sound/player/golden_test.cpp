// Pinned per-tick traces of what small modules send the sound device. A
// trace file changes only together with a change to the sound; regenerate
// with Q5_UPDATE_GOLDEN=1 and say in the commit why the sound changed.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "golden_modules.h"
#include "harness.h"

namespace {

std::string goldenPath(const std::string &name)
{
    return std::string(Q5_SOURCE_DIR) + "/tests/sound/player/golden/" + name + ".trace";
}

void checkTrace(const std::string &name, const xmw::Module &m, int ticks)
{
    Song s;
    ASSERT_EQ(s.load(m), 0);
    std::string trace;
    for (const auto &l : recdev::takeLog())
        trace += l + "\n";
    ASSERT_EQ(s.play(), 0);
    for (const auto &l : s.run(ticks))
        trace += l + "\n";
    ASSERT_EQ(gmpStopSong(s.ps), 0);
    s.ps = nullptr;
    ASSERT_EQ(gmpFreeModule(s.module), 0);
    s.module = nullptr;
    for (const auto &l : recdev::takeLog())
        trace += l + "\n";

    std::string path = goldenPath(name);
    if (std::getenv("Q5_UPDATE_GOLDEN")) {
        std::ofstream(path) << trace;
        FAIL() << "wrote " << path << " (Q5_UPDATE_GOLDEN is set; an update never passes)";
    }
    std::ifstream in(path);
    ASSERT_TRUE(in.good()) << "missing " << path << " (Q5_UPDATE_GOLDEN=1 writes it)";
    std::stringstream want;
    want << in.rdbuf();
    // Compare line by line so a failure names the first differing call.
    std::istringstream a(trace), b(want.str());
    std::string la, lb;
    int line = 1;
    while (true) {
        bool ga = static_cast<bool>(std::getline(a, la));
        bool gb = static_cast<bool>(std::getline(b, lb));
        if (!ga && !gb)
            break;
        ASSERT_EQ(ga ? la : "<end>", gb ? lb : "<end>") << name << " line " << line;
        line++;
    }
}

}  // namespace

// Arpeggio, portamento, vibrato and slides on two channels.
TEST(GoldenPlayerTrace, PitchEffects)
{
    checkTrace("pitch", pitchModule(), 3 + 8 * 4);
}

// Volume and panning envelopes with sustain, loop, key-off fade-out and
// automatic vibrato.
TEST(GoldenPlayerTrace, Envelopes)
{
    checkTrace("envelopes", envelopeModule(), 2 + 10 * 3);
}

// Song flow: loops, breaks, jumps, delays, retriggers, cuts and sync.
TEST(GoldenPlayerTrace, SongFlow)
{
    checkTrace("flow", flowModule(), 2 + 30 * 3);
}

// Volume-column commands, panning and global volume slides, Amiga periods
// with finetune.
TEST(GoldenPlayerTrace, VolumeAndPanning)
{
    checkTrace("volpan", volpanModule(), 4 + 6 * 5);
}
