// The file-sink device: mixes into the room it is given, stopping at every
// player tick, with exact tick lengths.
#include <gtest/gtest.h>

#include <vector>

#include "sound/api/errors.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/filesink.h"

namespace {

int collect(const void *data, unsigned bytes, void *out)
{
    auto *v = static_cast<std::vector<uint8_t> *>(out);
    const auto *p = static_cast<const uint8_t *>(data);
    v->insert(v->end(), p, p + bytes);
    return 1;
}

int refuse(const void *, unsigned, void *) { return 0; }

// Plays until the room is used up; the number of ticks that ended.
int playRoom(unsigned frames)
{
    fsSetRoom(nullptr, frames);
    int ticks = 0;
    while (fsRoomLeft() > 0) {
        int callPlayer = 0;
        EXPECT_EQ(fsPlay(&callPlayer), errOK);
        ticks += callPlayer;
    }
    return ticks;
}

class FileSinkDevice : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(fsClose(), errOK);
        fsSetWriter(nullptr, nullptr);
        fsSetMixingMode(0);
        fsSetDeviceTicks(false);
    }
};

}  // namespace

TEST_F(FileSinkDevice, TicksAreExactAndSplitAtTheRoom)
{
    std::vector<uint8_t> out;
    fsSetWriter(collect, &out);
    ASSERT_EQ(fsInit(44100, 0), errOK);
    unsigned mode = 0;
    fsGetMode(&mode);
    EXPECT_EQ(mode, unsigned(sdStereo | sd16bit));
    // Room for 1000 frames: one tick of 882 ends inside it.
    EXPECT_EQ(playRoom(1000), 1);
    EXPECT_EQ(fsFramesMixed(), 1000u);
    // A slow tempo: 3445.3125 frames a tick; the tick that started before it
    // keeps its length (764 frames left), then 3445 three times and the
    // carried fractions add up to one more frame.
    ASSERT_EQ(fsSetUpdRate(1280), errOK);
    EXPECT_EQ(playRoom(764 + 3 * 3445 + 3446), 5);
    EXPECT_EQ(out.size(), fsFramesMixed() * 4);
    // Without room nothing is mixed and no tick is asked for (a poll).
    int callPlayer = 1;
    EXPECT_EQ(fsPlay(&callPlayer), errOK);
    EXPECT_EQ(callPlayer, 0);
    for (uint8_t b : out)
        ASSERT_EQ(b, 0);  // nothing plays: silence
}

TEST_F(FileSinkDevice, BufferMonoEightBitEvenTicksAndWriteFailure)
{
    fsSetMixingMode(dsmModeInteger);
    fsSetDeviceTicks(true);
    ASSERT_EQ(fsInit(22050, sdMono | sd8bit), errOK);
    EXPECT_EQ(dsmMode & (dsmModeInteger | dsmModeMono | dsmMode8bit),
              unsigned(dsmModeInteger | dsmModeMono | dsmMode8bit));
    std::vector<uint8_t> buf(1000, 7);
    fsSetRoom(buf.data(), 999);
    int callPlayer = 0;
    ASSERT_EQ(fsPlay(&callPlayer), errOK);
    EXPECT_EQ(callPlayer, 1);
    EXPECT_EQ(fsFramesMixed(), 442u);  // 441 rounded up to even, as the OSS device does
    for (size_t i = 0; i < 442; i++)
        ASSERT_EQ(buf[i], 128) << i;  // unsigned silence
    EXPECT_EQ(buf[442], 7);
    fsSetWriter(refuse, nullptr);
    EXPECT_EQ(fsPlay(&callPlayer), errFileWrite);
    EXPECT_EQ(fsSetUpdRate(0), errInvalidArguments);
}
