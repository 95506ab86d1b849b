// The older single-song layer: every failure is fatal through the hook.
#include <gtest/gtest.h>

#include <string>

#include "sound/api/errors.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/mixer/dsmnsnd.h"
#include "sound/player/gmplayer.h"
#include "testmodules.h"

namespace {

std::string exitMessage;
void recordExit(const char *msg) { exitMessage = msg; }

class SingleSong : public ::testing::Test {
protected:
    void SetUp() override
    {
        MIDASstartup();
        midasSetErrorExit(recordExit);
        exitMessage.clear();
        midasSDNumber = 1;  // the silent device
        module = testmod::emptyModule(4);
    }
    void TearDown() override
    {
        midasClose();
        gmpFreeModule(module);
        midasSetDefaults();
    }
    ModuleRecord *module = nullptr;
};

PlayState *onlySong()
{
    for (PlayState *p : playHandles)
        if (p)
            return p;
    return nullptr;
}

}  // namespace

TEST_F(SingleSong, EffectChannelsComeFirstAndTheSongTakesTheRest)
{
    midasInit();
    ASSERT_EQ(exitMessage, "");
    EXPECT_EQ(midasSD, &MixNoSound);
    EXPECT_EQ(midasGMPInit, 1);
    midasPlayModule(module, 2);
    EXPECT_EQ(midasChannels, 6u);
    EXPECT_EQ(midasGMPPlay, 1);
    PlayState *ps = onlySong();
    ASSERT_NE(ps, nullptr);
    EXPECT_EQ(ps, midasPlayHandle);
    for (int c = 0; c < 4; c++)
        EXPECT_EQ(ps->channels[c].sdChannel, 2 + c);
    midasStopModule(module);
    EXPECT_EQ(onlySong(), nullptr);
    EXPECT_EQ(midasGMPPlay, 0);
    EXPECT_EQ(midasSDChans, 1);  // open channels stay open
    midasClose();
    EXPECT_EQ(midasSDInit, 0);
    EXPECT_EQ(midasSDChans, 0);
    EXPECT_EQ(exitMessage, "");
}

TEST_F(SingleSong, OpenChannelsAreUsedFromTheTop)
{
    midasInit();
    midasOpenChannels(8);
    midasPlayModule(module, 0);
    PlayState *ps = onlySong();
    ASSERT_NE(ps, nullptr);
    for (int c = 0; c < 4; c++)
        EXPECT_EQ(ps->channels[c].sdChannel, 4 + c);
    midasStopModule(module);
    midasCloseChannels();
    EXPECT_EQ(midasChannels, 0u);
}

TEST_F(SingleSong, TooFewOpenChannelsIsFatal)
{
    midasInit();
    midasOpenChannels(2);
    midasPlayModule(module, 0);
    EXPECT_EQ(exitMessage, "MIDAS Error: Sound Device channels not open");
    // The fatal path shut the system down.
    EXPECT_EQ(midasSDInit, 0);
    EXPECT_EQ(midasGMPInit, 0);
}

TEST_F(SingleSong, CloseStopsTheSong)
{
    midasInit();
    midasPlayModule(module, 0);
    ASSERT_NE(onlySong(), nullptr);
    midasClose();
    EXPECT_EQ(onlySong(), nullptr);
    EXPECT_EQ(midasPlayHandle, nullptr);
    EXPECT_EQ(midasSD, nullptr);
}
