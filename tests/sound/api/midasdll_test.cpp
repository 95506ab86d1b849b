// The public API on the silent device (its clock turned by the tests) and on
// modules built in memory or written as small XM files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mglobals.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/api/mpoll.h"
#include "sound/mixer/dsmnsnd.h"
#include "sound/mixer/oss.h"
#include "sound/player/gmplayer.h"
#include "testmodules.h"

namespace {

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }

std::string tempFile(const std::string &name)
{
    return std::string(::testing::TempDir()) + "q5_api_" + std::to_string(getpid()) + "_" + name;
}

// Fresh start-up on the silent device.
class Api : public ::testing::Test {
protected:
    void SetUp() override
    {
        nsndClock = fakeClock;
        fakeNow = 100000;
        ASSERT_TRUE(MIDASstartup());
        MIDASsetOption(MIDAS_OPTION_FORCE_NO_SOUND, 1);
    }
    void TearDown() override
    {
        // Frees the modules the tests built, as any the application left.
        EXPECT_TRUE(MIDASclose());
        nsndClock = GetTimeMS;
    }
    void init() { ASSERT_TRUE(MIDASinit()); }
    ModuleRecord *module(unsigned chans, const char *name = "m")
    {
        ModuleRecord *m = testmod::emptyModule(chans, name);
        mapi::adoptModule(m);
        return m;
    }
    // Advances the silent device's clock and polls once.
    void pollAfter(uint32_t ms)
    {
        fakeNow += ms;
        MIDASpoll();
    }
};

struct SyncEvent {
    unsigned value, position, row;
};
std::vector<SyncEvent> syncEvents;
void recordSync(unsigned value, unsigned position, unsigned row)
{
    syncEvents.push_back({value, position, row});
}

}  // namespace

TEST(ApiStartup, VersionAndErrorMessages)
{
    EXPECT_STREQ(MIDASgetVersionString(), "1.1.2");
    EXPECT_STREQ(MIDASgetErrorMessage(37), "Out of system resources");
    EXPECT_STREQ(MIDASgetErrorMessage(0), errorMsg[0]);
    // Outside the table: a message, not a read past its end.
    EXPECT_STREQ(MIDASgetErrorMessage(52), errorMsg[1]);
    EXPECT_STREQ(MIDASgetErrorMessage(-1), errorMsg[1]);
}

TEST(ApiOptions, StoreReadBackAndReset)
{
    ASSERT_TRUE(MIDASstartup());
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_MIXRATE), 44100);
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_MIXBUFLEN), 500);
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_FILTER_MODE), 3);
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_STEREO_SEPARATION), 64);
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_16BIT_ULAW_AUTOCONVERT), 1);
    for (int option = 1; option <= 13; option++) {
        if (option == MIDAS_OPTION_OVERSAMPLING)
            continue;
        EXPECT_TRUE(MIDASsetOption(option, 1000 + option));
        EXPECT_EQ(MIDASgetOption(option), 1000 + option) << "option " << option;
    }
    EXPECT_EQ(midasMixRate, 1001);
    EXPECT_EQ(mBufferLength, 1003);
    EXPECT_EQ(mDefaultStereoSeparation, 1012);

    MIDASsetOption(MIDAS_OPTION_OVERSAMPLING, 2);
    EXPECT_EQ(mOversampling, 0);
    MIDASsetOption(MIDAS_OPTION_OVERSAMPLING, 1);
    EXPECT_EQ(mOversampling, 1);
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_OVERSAMPLING), 1);

    EXPECT_TRUE(MIDASsetOption(14, 5));  // ignored
    EXPECT_TRUE(MIDASsetOption(0, 5));
    EXPECT_EQ(MIDASgetOption(14), 0);
    EXPECT_EQ(MIDASgetOption(0), 0);

    ASSERT_TRUE(MIDASstartup());
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_MIXRATE), 44100);
    EXPECT_EQ(MIDASgetOption(MIDAS_OPTION_FORCE_NO_SOUND), 0);
    EXPECT_EQ(mOversampling, 0);
}

TEST(ApiBackground, PollRateGivesHalfThePeriodAsSleep)
{
    ASSERT_TRUE(MIDASstartup());
    const struct {
        unsigned rate;
        int sleep;
    } cases[] = {{0, 20}, {100, 5}, {1500, 0}, {30, 16}};
    for (auto c : cases) {
        EXPECT_TRUE(MIDASstartBackgroundPlay(c.rate));
        EXPECT_EQ(pollSleep, c.sleep) << "rate " << c.rate;
        EXPECT_TRUE(MIDASstopBackgroundPlay());
    }
    EXPECT_TRUE(MIDASstopBackgroundPlay());  // not running: nothing to do
}

TEST(ApiChannels, AllocationBeforeOpenFails)
{
    ASSERT_TRUE(MIDASstartup());
    mLastError = 0;
    EXPECT_EQ(MIDASallocateChannel(), 0xFFFFu);
    EXPECT_EQ(MIDASgetLastError(), errNoChannels);
    EXPECT_FALSE(MIDASfreeChannel(0));
    EXPECT_EQ(MIDASgetLastError(), errNoChannels);
    EXPECT_FALSE(MIDAScloseChannels());
}

TEST_F(Api, ForcedSilenceUsesTheSilentDevice)
{
    init();
    EXPECT_EQ(midasSD, &MixNoSound);
    EXPECT_EQ(midasSDNumber, 1);
    EXPECT_EQ(midasSDInit, 1);
    EXPECT_EQ(midasGMPInit, 1);
    EXPECT_TRUE(MIDASclose());
    EXPECT_EQ(midasSDInit, 0);
    EXPECT_EQ(midasGMPInit, 0);
    EXPECT_EQ(midasSD, nullptr);
    // A second start after the close works the same.
    init();
    EXPECT_EQ(midasSD, &MixNoSound);
}

TEST_F(Api, ChannelsAreHandedOutLowestFirst)
{
    init();
    ASSERT_TRUE(MIDASopenChannels(3));
    EXPECT_EQ(midasChannels, 3u);
    EXPECT_EQ(MIDASallocateChannel(), 0u);
    EXPECT_EQ(MIDASallocateChannel(), 1u);
    EXPECT_EQ(MIDASallocateChannel(), 2u);
    mLastError = 0;
    EXPECT_EQ(MIDASallocateChannel(), 0xFFFFu);
    EXPECT_EQ(MIDASgetLastError(), errOutOfChannels);
    EXPECT_TRUE(MIDASfreeChannel(1));
    EXPECT_EQ(MIDASallocateChannel(), 1u);
    EXPECT_TRUE(MIDAScloseChannels());
    EXPECT_EQ(midasSDChans, 0);
}

TEST_F(Api, AmplificationScalesTheDeviceDefault)
{
    init();
    EXPECT_TRUE(MIDASsetAmplification(200));  // no channels yet: stored
    ASSERT_TRUE(MIDASopenChannels(8));
    unsigned amp = 0;
    midasSD->GetAmplification(&amp);
    EXPECT_EQ(amp, 224u);  // the mixer's 112 for 8 channels, doubled
    EXPECT_TRUE(MIDASsetAmplification(50));
    midasSD->GetAmplification(&amp);
    EXPECT_EQ(amp, 56u);
}

TEST_F(Api, SeventeenthSongFailsWithOutOfResources)
{
    init();
    ASSERT_TRUE(MIDASopenChannels(16));
    ModuleRecord *m = module(1);
    std::vector<int> handles;
    for (int i = 0; i < 16; i++) {
        int h = MIDASplayModule(m, 1);
        ASSERT_NE(h, 0) << "song " << i;
        handles.push_back(h);
    }
    EXPECT_EQ(handles.front(), 1);
    EXPECT_EQ(handles.back(), 16);
    mLastError = 0;
    EXPECT_EQ(MIDASplayModule(m, 1), 0);
    EXPECT_EQ(MIDASgetLastError(), errOutOfResources);
    EXPECT_TRUE(MIDASstopModule(5));
    EXPECT_EQ(MIDASplayModule(m, 1), 5);  // the freed slot is taken again
}

TEST_F(Api, SongWithoutOpenChannelsOpensAndClosesItsOwn)
{
    init();
    ModuleRecord *m = module(4);
    int h = MIDASplayModule(m, 1);
    ASSERT_EQ(h, 1);
    EXPECT_EQ(midasSDChans, 1);
    EXPECT_EQ(midasChannels, 4u);
    EXPECT_EQ(midasGMPPlay, 1);
    // The player registered the song on device channels 0 to 3.
    PlayState *ps = nullptr;
    for (PlayState *p : playHandles)
        if (p)
            ps = p;
    ASSERT_NE(ps, nullptr);
    ASSERT_EQ(ps->numChannels, 4);
    for (int c = 0; c < 4; c++)
        EXPECT_EQ(ps->channels[c].sdChannel, c);
    EXPECT_EQ(MIDASallocateChannel(), 0xFFFFu);  // all four are the song's
    EXPECT_TRUE(MIDASstopModule(h));
    EXPECT_EQ(midasSDChans, 0);
    EXPECT_EQ(midasChannels, 0u);
    EXPECT_EQ(midasGMPPlay, 0);
}

TEST_F(Api, SongThatDoesNotFitFailsWith48AndFreesItsChannels)
{
    init();
    ASSERT_TRUE(MIDASopenChannels(4));
    EXPECT_EQ(MIDASallocateChannel(), 0u);
    ModuleRecord *m = module(4);
    mLastError = 0;
    EXPECT_EQ(MIDASplayModule(m, 1), 0);
    EXPECT_EQ(MIDASgetLastError(), errOutOfChannels);
    // Channels 1 to 3 were given back.
    EXPECT_EQ(MIDASallocateChannel(), 1u);
    EXPECT_EQ(MIDASplayModule(m, 1), 0);
}

TEST_F(Api, ModuleInfoTruncatesAFullName)
{
    ModuleRecord *m = module(4, "0123456789abcdef0123456789ABCDEF");  // 32 bytes
    ModuleInfo info;
    ASSERT_TRUE(MIDASgetModuleInfo(m, &info));
    EXPECT_EQ(std::string(info.songName), "0123456789abcdef0123456789ABCDE");
    EXPECT_EQ(info.songLength, 1u);
    EXPECT_EQ(info.numPatterns, 1u);
    EXPECT_EQ(info.numInstruments, 0u);
    EXPECT_EQ(info.numChannels, 4u);
    mLastError = 0;
    EXPECT_FALSE(MIDASgetModuleInfo(nullptr, &info));
    EXPECT_EQ(MIDASgetLastError(), errInvalidArguments);
    InstrumentInfo inst;
    EXPECT_FALSE(MIDASgetInstrumentInfo(m, 0, &inst));  // no instruments
    EXPECT_EQ(MIDASgetLastError(), errInvalidArguments);
}

TEST_F(Api, LoadChoosesXmBeforeS3m)
{
    init();
    testmod::XmSpec spec = testmod::songSpec(1);
    // Bytes 44..47 of the file lie in the tracker name.
    spec.tracker = "xxxxxxSCRM";
    std::vector<uint8_t> bytes = testmod::xmBytes(spec);
    ASSERT_EQ(std::string(bytes.begin() + 44, bytes.begin() + 48), "SCRM");
    std::string path = tempFile("xm_scrm.xm");
    ASSERT_TRUE(testmod::writeFile(path, bytes));
    MIDASmodule m = MIDASloadModule(path.c_str());
    ASSERT_NE(m, nullptr) << MIDASgetErrorMessage(MIDASgetLastError());
    EXPECT_EQ(m->playMode, gmpFT2);
    EXPECT_EQ(m->numChans, 2);
    InstrumentInfo inst;
    ASSERT_TRUE(MIDASgetInstrumentInfo(m, 0, &inst));
    EXPECT_EQ(std::string(inst.instName), "square");
    EXPECT_TRUE(MIDASfreeModule(m));
}

TEST_F(Api, LoadFailuresLeaveTheError)
{
    init();
    mLastError = 0;
    EXPECT_EQ(MIDASloadModule(tempFile("does_not_exist").c_str()), nullptr);
    EXPECT_NE(MIDASgetLastError(), 0);

    std::string path = tempFile("short.mod");
    ASSERT_TRUE(testmod::writeFile(path, std::vector<uint8_t>(47, 'x')));
    EXPECT_EQ(MIDASloadModule(path.c_str()), nullptr);
    EXPECT_EQ(MIDASgetLastError(), errEndOfFile);

    // 48 bytes of nothing in particular: the MOD loader has the last word.
    ASSERT_TRUE(testmod::writeFile(path, std::vector<uint8_t>(48, 0)));
    mLastError = 0;
    EXPECT_EQ(MIDASloadModule(path.c_str()), nullptr);
    EXPECT_NE(MIDASgetLastError(), 0);
}

TEST_F(Api, SyncCallbackAndStatusFollowThePlayingSong)
{
    init();
    std::string path = tempFile("sync.xm");
    ASSERT_TRUE(testmod::writeFile(path, testmod::xmBytes(testmod::songSpec(2))));
    MIDASmodule m = MIDASloadModule(path.c_str());
    ASSERT_NE(m, nullptr) << MIDASgetErrorMessage(MIDASgetLastError());
    int h = MIDASplayModule(m, 1);
    ASSERT_NE(h, 0);
    syncEvents.clear();
    ASSERT_TRUE(MIDASsetMusicSyncCallback(h, recordSync));
    // Each 20 ms poll is one tick (80 frames at 4000 Hz). The song starts
    // at tick 0 of speed 3, so row r begins at tick 3 + 3r: 60 ticks play
    // rows 0 to 19, across into the second pattern.
    for (int i = 0; i < 60; i++)
        pollAfter(20);
    ASSERT_GE(syncEvents.size(), 5u);
    EXPECT_EQ(syncEvents[0].value, 0u);
    EXPECT_EQ(syncEvents[0].row, 0u);
    EXPECT_EQ(syncEvents[1].value, 1u);
    EXPECT_EQ(syncEvents[1].row, 4u);
    EXPECT_EQ(syncEvents[4].value, 16u);
    EXPECT_EQ(syncEvents[4].position, 1u);
    EXPECT_EQ(syncEvents[4].row, 0u);
    PlayStatus status;
    ASSERT_TRUE(MIDASgetPlayStatus(h, &status));
    EXPECT_EQ(status.position, 1u);
    EXPECT_EQ(status.syncInfo, 16u);
    EXPECT_EQ(status.songLoopCount, 0u);

    ASSERT_TRUE(MIDASsetPosition(h, 0));
    ASSERT_TRUE(MIDASsetMusicVolume(h, 32));
    ASSERT_TRUE(MIDASfadeMusicChannel(h, 1, 10));
    mLastError = 0;
    EXPECT_FALSE(MIDASfadeMusicChannel(h, 2, 10));
    EXPECT_EQ(MIDASgetLastError(), errInvalidChanNumber);
    for (int i = 0; i < 3; i++)  // one row
        pollAfter(20);
    ASSERT_TRUE(MIDASgetPlayStatus(h, &status));
    EXPECT_EQ(status.position, 0u);

    ASSERT_TRUE(MIDASsetMusicSyncCallback(h, nullptr));
    size_t before = syncEvents.size();
    for (int i = 0; i < 20; i++)
        pollAfter(20);
    EXPECT_EQ(syncEvents.size(), before);
    EXPECT_TRUE(MIDASstopModule(h));
    EXPECT_TRUE(MIDASfreeModule(m));
}

TEST_F(Api, CloseStopsEverySongAndTheThread)
{
    init();
    ModuleRecord *m = module(2);
    ASSERT_NE(MIDASplayModule(m, 1), 0);
    ASSERT_TRUE(MIDASstartBackgroundPlay(0));
    EXPECT_TRUE(MIDASclose());
    for (PlayState *p : playHandles)
        EXPECT_EQ(p, nullptr);
    EXPECT_EQ(midasSDChans, 0);
    EXPECT_EQ(midasSDInit, 0);
}

// Detection: with no "/dev/dsp", the ALSA stand-in decides between the OSS
// device and the silent one.
TEST(ApiDetect, FallsThroughToTheSilentDeviceWithoutOutput)
{
    if (::access("/dev/dsp", F_OK) == 0)
        GTEST_SKIP() << "a real /dev/dsp exists";
    setenv("Q5_ALSA_DEVICE", "q5_no_such_pcm", 1);
    ASSERT_TRUE(MIDASstartup());
    EXPECT_TRUE(MIDASdetectSD());
    EXPECT_EQ(midasSDNumber, 1);
    EXPECT_EQ(midasSD, &MixNoSound);
    EXPECT_TRUE(MIDASdetectSoundCard());

    setenv("Q5_ALSA_DEVICE", "null", 1);
    EXPECT_TRUE(MIDASdetectSD());
    if (midasSDNumber != 0) {
        unsetenv("Q5_ALSA_DEVICE");
        GTEST_SKIP() << "no ALSA null device";
    }
    EXPECT_EQ(midasSD, &OSS);
    // The OSS device plays through ALSA: a poll fills its buffer.
    ASSERT_TRUE(MIDASinit());
    EXPECT_EQ(midasSD, &OSS);
    MIDASpoll();
    EXPECT_GT(ossUpdateMix, 0u);
    EXPECT_TRUE(MIDASclose());
    unsetenv("Q5_ALSA_DEVICE");
}

TEST_F(Api, AutomaticEffectChannelsComeFromTheAllocator)
{
    init();
    ASSERT_TRUE(MIDASopenChannels(4));
    mLastError = 0;
    EXPECT_FALSE(MIDASallocAutoEffectChannels(0));
    EXPECT_EQ(MIDASgetLastError(), errInvalidBlock);
    EXPECT_FALSE(MIDASallocAutoEffectChannels(5));
    EXPECT_EQ(MIDASgetLastError(), errOutOfChannels);
    // The failed request gave back what it took.
    ASSERT_TRUE(MIDASallocAutoEffectChannels(3));
    EXPECT_EQ(MIDASallocateChannel(), 3u);
    EXPECT_EQ(MIDASallocateChannel(), 0xFFFFu);
    // Freeing the pool stops its channels but keeps them allocated.
    EXPECT_TRUE(MIDASfreeAutoEffectChannels());
    EXPECT_EQ(MIDASallocateChannel(), 0xFFFFu);
    EXPECT_TRUE(MIDASfreeAutoEffectChannels());  // nothing left: still fine
}
