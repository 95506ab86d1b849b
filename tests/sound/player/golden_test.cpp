// Pinned per-tick traces of what small modules send the sound device. A
// trace file changes only together with a change to the sound; regenerate
// with Q5_UPDATE_GOLDEN=1 and say in the commit why the sound changed.
#include <cstdlib>
#include <fstream>
#include <sstream>

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
        return;
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

xmw::Sample &looped(xmw::Instrument &in, int len, bool is16 = false)
{
    std::vector<int> pcm;
    for (int i = 0; i < len; i++)
        pcm.push_back((i * 37 % 200 - 100) * (is16 ? 200 : 1));
    xmw::Sample &s = is16 ? in.sample16(pcm) : in.sample8(pcm);
    s.loopKind = 1;
    s.loopLength = static_cast<uint32_t>(len * (is16 ? 2 : 1));
    return s;
}

}  // namespace

// Arpeggio, portamento, vibrato and slides on two channels.
TEST(GoldenPlayerTrace, PitchEffects)
{
    xmw::Module m(2);
    m.speed = 4;
    looped(m.instrument(), 64);
    looped(m.instrument(), 32, true).relNote = 12;
    m.pattern(0, 8)
        .set(0, 0, "C-4 01 .. 037").set(0, 1, "E-3 02 30 ...")
        .set(1, 0, "... .. .. 102").set(1, 1, "G-3 .. .. 308")
        .set(2, 0, "... .. .. 203").set(2, 1, "... .. .. 300")
        .set(3, 0, "D-4 01 .. 462").set(3, 1, "... .. .. 604")
        .set(4, 0, "... .. .. 400").set(4, 1, "... .. .. E12")
        .set(5, 0, "... .. .. 740").set(5, 1, "... .. .. X14")
        .set(6, 0, "... .. 30 ...").set(6, 1, "... .. .. E23")
        .set(7, 0, "=== .. .. ...").set(7, 1, "... .. .. X22");
    checkTrace("pitch", m, 3 + 8 * 4);
}

// Volume and panning envelopes with sustain, loop, key-off fade-out and
// automatic vibrato.
TEST(GoldenPlayerTrace, Envelopes)
{
    xmw::Module m(1);
    m.speed = 3;
    xmw::Instrument &in = m.instrument();
    looped(in, 48);
    in.vol.on = true;
    in.vol.points = {{0, 0}, {3, 64}, {6, 40}, {12, 20}};
    in.vol.sustain = 2;
    in.pan.on = true;
    in.pan.points = {{0, 32}, {4, 0}, {8, 64}};
    in.pan.loopStart = 0;
    in.pan.loopEnd = 2;
    in.fadeout = 4096;
    in.vibType = 0;
    in.vibSweep = 3;
    in.vibDepth = 6;
    in.vibRate = 40;
    m.pattern(0, 10).set(0, 0, "C-5 01 .. ...").set(5, 0, "=== .. .. ...");
    m.linear = false;
    checkTrace("envelopes", m, 2 + 10 * 3);
}

// Song flow: loops, breaks, jumps, delays, retriggers, cuts and sync.
TEST(GoldenPlayerTrace, SongFlow)
{
    xmw::Module m(2);
    m.speed = 3;
    m.orders = {0, 1, 0};
    looped(m.instrument(), 40);
    m.pattern(0, 6)
        .set(0, 0, "C-4 01 .. E60").set(0, 1, "G-4 01 .. E93")
        .set(1, 0, "... .. .. W01").set(1, 1, "A-4 01 .. ED1")
        .set(2, 0, "D-4 01 .. E61").set(2, 1, "... .. .. EC2")
        .set(3, 0, "... .. .. EE1").set(3, 1, "C-5 01 .. R21")
        .set(4, 0, "... .. .. D02");
    m.pattern(1, 4)
        .set(0, 0, "E-4 01 .. F04").set(0, 1, "... .. .. 908")
        .set(1, 0, "C-4 01 .. 904").set(1, 1, "... .. .. W02")
        .set(2, 0, "... .. .. B02");
    checkTrace("flow", m, 2 + 30 * 3);
}

// Volume-column commands, panning and global volume slides, Amiga periods
// with finetune.
TEST(GoldenPlayerTrace, VolumeAndPanning)
{
    xmw::Module m(3);
    m.speed = 5;
    m.linear = false;
    xmw::Sample &s = looped(m.instrument(), 32);
    s.fineTune = -70;
    s.panning = 30;
    looped(m.instrument(), 32).fineTune = 90;
    m.pattern(0, 6)
        .set(0, 0, "C-3 01 50 ...").set(0, 1, "F#6 02 .. P0F").set(0, 2, "A-1 01 C2 ...")
        .set(1, 0, "... .. 63 ...").set(1, 1, "... .. D4 ...").set(1, 2, "... .. .. P40")
        .set(2, 0, "... .. 72 ...").set(2, 1, "... .. E3 H02").set(2, 2, "... .. B5 ...")
        .set(3, 0, "... .. 84 ...").set(3, 1, "... .. 9A G20").set(3, 2, "... .. .. 800")
        .set(4, 0, "... .. A4 A0F").set(4, 1, "C-6 .. F4 ...").set(4, 2, "... .. .. 8FF")
        .set(5, 0, "... .. .. 1FF").set(5, 1, "... .. .. HA0");
    checkTrace("volpan", m, 4 + 6 * 5);
}
