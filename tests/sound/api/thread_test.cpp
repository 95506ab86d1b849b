// The player thread plays while the application thread loads, plays, stops
// and frees modules (playing ones too, in random order), changes volumes, and
// stops and restarts the thread itself. Runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

#include "sound/api/errors.h"
#include "sound/api/midasdll.h"
#include "sound/mixer/dsmnsnd.h"
#include "testmodules.h"

namespace {

std::atomic<int> syncCalls{0};
void countSync(unsigned, unsigned, unsigned) { syncCalls++; }

}  // namespace

TEST(ThreadApi, BackgroundPlayAlongsideApplicationCalls)
{
    std::string path = std::string(::testing::TempDir()) + "q5_thread_" + std::to_string(getpid()) + ".xm";
    testmod::XmSpec spec = testmod::songSpec(2, 8);
    spec.speed = 1;  // a row every tick: many sync calls
    ASSERT_TRUE(testmod::writeFile(path, testmod::xmBytes(spec)));

    ASSERT_TRUE(MIDASstartup());
    MIDASsetOption(MIDAS_OPTION_FORCE_NO_SOUND, 1);
    ASSERT_TRUE(MIDASinit());
    // 12 ms between polls: the silent device drops polls closer than 10 ms.
    ASSERT_TRUE(MIDASstartBackgroundPlay(40));

    // One song plays throughout, on channels of its own.
    MIDASmodule base = MIDASloadModule(path.c_str());
    ASSERT_NE(base, nullptr);
    ASSERT_TRUE(MIDASopenChannels(8));
    int baseSong = MIDASplayModule(base, 1);
    ASSERT_NE(baseSong, 0);
    ASSERT_TRUE(MIDASsetMusicSyncCallback(baseSong, countSync));

    std::mt19937 rng(14);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int rounds = 0;
    while (std::chrono::steady_clock::now() < end) {
        MIDASmodule m = MIDASloadModule(path.c_str());
        ASSERT_NE(m, nullptr);
        int h = MIDASplayModule(m, rounds & 1);
        ASSERT_NE(h, 0);
        MIDASsetMusicSyncCallback(h, countSync);
        for (unsigned v = 0; v <= 64; v += 16) {
            ASSERT_TRUE(MIDASsetMusicVolume(h, v));
            ASSERT_TRUE(MIDASsetMusicVolume(baseSong, 64 - v));
            ASSERT_TRUE(MIDASfadeMusicChannel(h, 1, v));
        }
        MIDASlock();
        ASSERT_TRUE(MIDASsetPosition(h, rounds % 2));
        ASSERT_TRUE(MIDASsetAmplification(100 + unsigned(rounds % 3) * 50));
        MIDASunlock();
        PlayStatus status;
        ASSERT_TRUE(MIDASgetPlayStatus(baseSong, &status));
        ASSERT_LT(status.position, 2u);
        // Either order of stop and free, or a free of the playing module
        // alone; whatever stopped the song, its handle is dead after.
        switch (rng() % 3) {
        case 0:
            ASSERT_TRUE(MIDASstopModule(h));
            ASSERT_TRUE(MIDASfreeModule(m));
            break;
        case 1:
            ASSERT_TRUE(MIDASfreeModule(m));
            break;
        default:
            ASSERT_TRUE(MIDASfreeModule(m));
            ASSERT_FALSE(MIDASstopModule(h));
            ASSERT_EQ(MIDASgetLastError(), errNoModulePlaying);
            break;
        }
        ASSERT_FALSE(MIDASfreeModule(m));
        ASSERT_FALSE(MIDASsetMusicVolume(h, 10));
        // Now and then the thread: a second start is refused and leaves the
        // first polling; stops come back at once, also a second one.
        if (rng() % 4 == 0) {
            ASSERT_FALSE(MIDASstartBackgroundPlay(100));
            ASSERT_EQ(MIDASgetLastError(), errDeviceBusy);
            ASSERT_TRUE(MIDASstopBackgroundPlay());
            if (rng() % 2) {
                ASSERT_TRUE(MIDASstopBackgroundPlay());
            }
            ASSERT_TRUE(MIDASstartBackgroundPlay(40));
        }
        rounds++;
        // Starting a song sets the tempo, which restarts the device's tick
        // interval: rounds quicker than a tick (20 ms) would hold the music
        // still. An application does other work between its calls.
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    // The base song is left playing and its module loaded, with the thread
    // running: MIDASclose ends all three.
    ASSERT_TRUE(MIDASclose());
    ASSERT_FALSE(MIDASgetPlayStatus(baseSong, nullptr));
    EXPECT_GT(rounds, 10);
    // 1.5 s of wall clock at 50 ticks a second, a sync every fourth row.
    EXPECT_GT(syncCalls.load(), 5);
}
