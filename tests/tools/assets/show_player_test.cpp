// The committed test.xm played by the show's own loader and player on the
// recording device: it must load, play without error, send the four marks
// when the composition says, and wrap when the composition says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "sound/player/gmplayer.h"
#include "sound/player/gmpmodule.h"
#include "support/recdevice.h"
#include "tools/assets/song.h"

namespace {

struct Mark {
    unsigned value, position, row;
    double seconds;
};
std::vector<Mark> g_marks;
double g_now = 0;

void on_sync(unsigned value, unsigned position, unsigned row) { g_marks.push_back({value, position, row, g_now}); }

}  // namespace

TEST(ShowPlayer, PlaysTheCommittedMusicWithItsMarksOnTime) {
    const std::filesystem::path path = std::filesystem::path(Q5_SOURCE_DIR) / "data" / "test.xm";
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(bytes.empty()) << path;

    recdev::reset();
    recdev::setLogging(false);
    ASSERT_EQ(0, gmpInit(recdev::device()));
    ModuleRecord* module = nullptr;
    ASSERT_EQ(0, gmpLoadXMMemory(bytes.data(), bytes.size(), 1, nullptr, &module));
    EXPECT_EQ(11u, recdev::samples().size()) << "every instrument's sample reaches the device";
    int channels[32];
    for (int i = 0; i < 32; ++i) channels[i] = i;
    PlayState* ps = nullptr;
    ASSERT_EQ(0, gmpPlaySong(module, -1, -1, -1, 0, -1, channels, &ps));
    ASSERT_EQ(0, gmpSetSyncCallback(ps, on_sync));
    g_marks.clear();

    // The song's first row plays on its speed-th tick; times below count from it.
    // The player's current tempo is the global one it hands the device.
    const double start = (ps->speed - 1) * 2.5 / gmpTempo;
    g_now = -start;
    int ticks = 0, error = 0;
    while (ps->songLoopCount == 0 && ticks < 100000 && error == 0) {
        error = gmpPlay();
        g_now += 2.5 / gmpTempo;  // a tick lasts 2.5 / tempo s at the tempo it set
        ++ticks;
    }
    EXPECT_EQ(0, error);
    const double wrapped_at = g_now - 2.5 / gmpTempo;  // start of the tick that wrapped

    const assets::SongTiming want = assets::walk_song(assets::compose_song());
    ASSERT_EQ(want.marks.size(), g_marks.size());
    const double tick = 2.5 / 128;
    for (size_t i = 0; i < g_marks.size(); ++i) {
        EXPECT_EQ(static_cast<unsigned>(want.marks[i].value), g_marks[i].value);
        EXPECT_EQ(static_cast<unsigned>(want.marks[i].position), g_marks[i].position);
        EXPECT_EQ(static_cast<unsigned>(want.marks[i].row), g_marks[i].row);
        EXPECT_NEAR(want.marks[i].seconds, g_marks[i].seconds, tick) << "mark " << g_marks[i].value;
    }
    // The last row ends with a pattern break, which wraps on that row's first
    // tick: one row (6 ticks at tempo 112) before the row ends.
    EXPECT_NEAR(want.pass_seconds - 6 * 2.5 / 112, wrapped_at, 1e-6);

    gmpStopSong(ps);
    gmpFreeModule(module);
    gmpClose();
}
