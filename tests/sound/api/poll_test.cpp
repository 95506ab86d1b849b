// One poll, the poll lock and the player thread, against a recording device.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "fakedevice.h"
#include "sound/api/errors.h"
#include "sound/api/midas.h"
#include "sound/api/mpoll.h"
#include "sound/player/gmplayer.h"
#include "testmodules.h"

namespace {

// True when another thread can take and release the poll lock in time.
bool lockIsFree()
{
    auto f = std::async(std::launch::async, [] {
        LockPollThread();
        UnlockPollThread();
    });
    return f.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
}

std::string exitMessage;
void recordExit(const char *msg) { exitMessage = msg; }

// The fake device as the initialised sound device, with the player on it
// and a one-channel song registered, so that every tick sets one volume.
class Poll : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakedev::reset();
        midasSetDefaults();
        midasSetErrorExit(recordExit);
        exitMessage.clear();
        midasSD = &fakedev::device;
        midasSDInit = 1;
        ASSERT_EQ(gmpInit(midasSD), errOK);
        midasGMPInit = 1;
        module = testmod::emptyModule(1);
        ASSERT_NE(module, nullptr);
        ASSERT_EQ(gmpPlaySong(module, -1, -1, -1, 1, -1, channels, &song), errOK);
        fakedev::state.setVolumes = 0;
    }
    void TearDown() override
    {
        if (midasGMPInit) {
            gmpStopSong(song);
            gmpClose();
        }
        gmpFreeModule(module);
        midasSetDefaults();
        stopPolling = 0;
    }
    ModuleRecord *module = nullptr;
    PlayState *song = nullptr;
    int channels[1] = {0};
};

}  // namespace

TEST(PollLock, PollBeforeInitDoesNothingAndLeavesTheLockFree)
{
    fakedev::reset();
    midasSetDefaults();
    midasSD = &fakedev::device;  // chosen but not initialised
    PollMIDAS();
    EXPECT_EQ(fakedev::state.startPlays, 0);
    EXPECT_TRUE(lockIsFree());
    midasSD = nullptr;
}

TEST(PollLock, IsRecursiveAndExcludesOtherThreads)
{
    InitThreads();
    LockPollThread();
    LockPollThread();
    UnlockPollThread();
    auto other = std::async(std::launch::async, [] {
        LockPollThread();
        UnlockPollThread();
    });
    // Still held once: the other thread waits.
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    UnlockPollThread();
    EXPECT_EQ(other.wait_for(std::chrono::seconds(2)), std::future_status::ready);
}

TEST_F(Poll, TwoTicksInOnePollRunThePlayerTwice)
{
    fakedev::state.script = {1, 1, 0};
    PollMIDAS();
    EXPECT_EQ(fakedev::state.startPlays, 1);
    EXPECT_EQ(fakedev::state.plays, 3);
    EXPECT_EQ(fakedev::state.setVolumes, 2);  // one per tick for the one channel
    EXPECT_TRUE(lockIsFree());
}

TEST_F(Poll, PlayOncePerPollRunsAtMostOneTick)
{
    fakedev::device.playOncePerPoll = 1;
    fakedev::state.script = {1, 1, 1};
    PollMIDAS();
    EXPECT_EQ(fakedev::state.plays, 1);
    EXPECT_EQ(fakedev::state.setVolumes, 1);
}

TEST_F(Poll, StopRequestEndsThePollAfterTheTick)
{
    stopPolling = 1;
    fakedev::state.script = {1, 1, 1};
    PollMIDAS();
    EXPECT_EQ(fakedev::state.plays, 1);
    EXPECT_EQ(fakedev::state.setVolumes, 1);
}

TEST_F(Poll, NoPlayerNoTicks)
{
    gmpStopSong(song);
    gmpClose();
    midasGMPInit = 0;
    fakedev::state.script = {1, 0};
    PollMIDAS();
    EXPECT_EQ(fakedev::state.plays, 2);
    EXPECT_EQ(fakedev::state.setVolumes, 0);
}

TEST_F(Poll, DeviceErrorIsFatalAndShutsTheSystemDown)
{
    fakedev::state.startPlayError = errSDFailure;
    PollMIDAS();
    EXPECT_EQ(exitMessage, "MIDAS Error: Sound Device hardware failure");
    EXPECT_EQ(midasSDInit, 0);
    EXPECT_EQ(midasGMPInit, 0);
    EXPECT_TRUE(fakedev::state.closed);
    EXPECT_TRUE(lockIsFree());
}

TEST_F(Poll, PlayErrorIsFatalToo)
{
    fakedev::state.playError = errSDFailure;
    PollMIDAS();
    EXPECT_EQ(exitMessage, "MIDAS Error: Sound Device hardware failure");
    EXPECT_EQ(fakedev::state.plays, 1);
}

class ThreadPoll : public Poll {};

TEST_F(ThreadPoll, PollsUntilStoppedAndAcknowledges)
{
    StartPlayThread(1);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (fakedev::state.startPlays < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    StopPlayThread();
    EXPECT_EQ(stopPolling.load(), 0);  // the thread's acknowledgement
    int polls = fakedev::state.startPlays;
    EXPECT_GE(polls, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fakedev::state.startPlays, polls);  // no poll after the stop
}
