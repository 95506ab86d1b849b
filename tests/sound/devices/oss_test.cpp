// The OSS device against a fake driver behind the five platform calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/api/errors.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/oss.h"

namespace {

// What the fake "/dev/dsp" answers and what it saw.
struct FakeDriver {
    bool openFails = false;
    int formatAnswer = -1;    // -1: accept the request
    int channelsAnswer = -1;  // -1: accept the request
    unsigned long refuse = 0; // a request number that fails
    int freeBytes = 0;
    int fd = 5;
    bool open = false;
    std::vector<size_t> writes;  // byte count of each write
    std::vector<std::string> errors;  // perror arguments
};
FakeDriver drv;

int fakeOpen(const char *path, int, int)
{
    if (drv.openFails || std::string(path) != "/dev/dsp")
        return -1;
    drv.open = true;
    return drv.fd;
}

int fakeClose(int fd)
{
    EXPECT_EQ(fd, drv.fd);
    drv.open = false;
    return 0;
}

int fakeIoctl(int fd, unsigned long request, void *arg)
{
    EXPECT_EQ(fd, drv.fd);
    if (request == drv.refuse)
        return -1;
    int *value = static_cast<int *>(arg);
    switch (request) {
    case ossReqSetFmt:
        if (drv.formatAnswer != -1)
            *value = drv.formatAnswer;
        return 0;
    case ossReqChannels:
        if (drv.channelsAnswer != -1)
            *value = drv.channelsAnswer;
        return 0;
    case ossReqSpeed:
        return 0;
    case ossReqGetOSpace:
        static_cast<ossSpaceInfo *>(arg)->bytes = drv.freeBytes;
        return 0;
    }
    ADD_FAILURE() << "unexpected request " << std::hex << request;
    return -1;
}

ssize_t fakeWrite(int fd, const void *, size_t bytes)
{
    EXPECT_EQ(fd, drv.fd);
    drv.writes.push_back(bytes);
    return ssize_t(bytes);
}

void fakePerror(const char *what) { drv.errors.push_back(what); }

class OssDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        drv = FakeDriver{};
        ossPlatform = {fakeOpen, fakeClose, fakeIoctl, fakeWrite, fakePerror};
        dsmDeviceOptions = MixOptions{};
    }
    void TearDown() override
    {
        if (initialised) {
            EXPECT_EQ(ossClose(), errOK);
        }
        ossPlatform = ossDefaultPlatform;
    }
    void init(unsigned rate, unsigned mode)
    {
        ASSERT_EQ(ossInit(rate, mode), errOK);
        initialised = true;
    }
    // Plays with the given free space until the device asks for no tick;
    // returns the number of ticks it asked for.
    int poll(int freeBytes)
    {
        drv.freeBytes = freeBytes;
        EXPECT_EQ(ossStartPlay(), errOK);
        int ticks = 0;
        for (;;) {
            int callPlayer = -1;
            EXPECT_EQ(ossPlay(&callPlayer), errOK);
            if (!callPlayer)
                return ticks;
            ticks++;
        }
    }
    bool initialised = false;
};

}  // namespace

TEST_F(OssDevice, DetectOpensAndClosesTheDevice)
{
    int present = -1;
    EXPECT_EQ(ossDetect(&present), errOK);
    EXPECT_EQ(present, 1);
    EXPECT_FALSE(drv.open);
    drv.openFails = true;
    EXPECT_EQ(ossDetect(&present), errOK);
    EXPECT_EQ(present, 0);
}

TEST_F(OssDevice, DefaultModeIs16BitStereoAtTheDriversRate)
{
    init(44100, 0);
    unsigned mode = 0;
    EXPECT_EQ(ossGetMode(&mode), errOK);
    EXPECT_EQ(mode, unsigned(sdStereo | sd16bit));
    EXPECT_EQ(dsmMode & 0x1F, unsigned(dsmModeStereo | dsmMode16bit));
    EXPECT_EQ(dsmMixRate, 44100u);
    EXPECT_EQ(ossUpdateMix, 882u);  // 50 ticks per second until the player says otherwise
    EXPECT_TRUE(drv.errors.empty());
}

TEST_F(OssDevice, DriverTurningStereoIntoMonoGivesAMonoMixer)
{
    drv.channelsAnswer = 1;
    init(44100, sdStereo | sd16bit);
    unsigned mode = 0;
    ossGetMode(&mode);
    EXPECT_EQ(mode, 9u);
    EXPECT_EQ(dsmMode & 0x1F, 0x06u);
    // Two bytes a frame now: 1000 free bytes take 500 frames.
    EXPECT_EQ(poll(1000), 0);
    ASSERT_EQ(drv.writes.size(), 1u);
    EXPECT_EQ(drv.writes[0], 1000u);
}

TEST_F(OssDevice, EightBitMonoRequestAndInterpolationOption)
{
    dsmDeviceOptions.oversampling = 1;
    init(22050, sdMono | sd8bit);
    unsigned mode = 0;
    ossGetMode(&mode);
    EXPECT_EQ(mode, unsigned(sdMono | sd8bit));
    EXPECT_EQ(dsmMode & (dsmModeMono | dsmMode8bit | dsmModeInterp),
              unsigned(dsmModeMono | dsmMode8bit | dsmModeInterp));
}

TEST_F(OssDevice, UnsupportedFormatFailsWithoutAMessage)
{
    drv.formatAnswer = 0x20;  // big-endian 16-bit: not a format the mixer makes
    EXPECT_EQ(ossInit(44100, 0), errSDFailure);
    EXPECT_TRUE(drv.errors.empty());
    drv.open = false;
}

TEST_F(OssDevice, FailuresNameTheRequest)
{
    drv.openFails = true;
    EXPECT_EQ(ossInit(44100, 0), errDeviceNotAvailable);
    drv.openFails = false;
    drv.refuse = ossReqChannels;
    EXPECT_EQ(ossInit(44100, 0), errSDFailure);
    drv.refuse = ossReqSpeed;
    EXPECT_EQ(ossInit(44100, 0), errSDFailure);
    drv.refuse = ossReqSetFmt;
    EXPECT_EQ(ossInit(44100, 0), errSDFailure);
    EXPECT_EQ(drv.errors, (std::vector<std::string>{"/dev/dsp", "SNDCTL_DSP_CHANNELS",
                                                     "SNDCTL_DSP_SPEED", "SNDCTL_DSP_SETFMT"}));
}

TEST_F(OssDevice, GetOSpaceFailureInPlayIsAHardwareFailure)
{
    init(44100, 0);
    drv.refuse = ossReqGetOSpace;
    EXPECT_EQ(ossStartPlay(), errSDFailure);
    EXPECT_EQ(drv.errors, std::vector<std::string>{"SNDCTL_DSP_GETOSPACE"});
}

TEST_F(OssDevice, UpdateRateGivesEvenFrameCountsPerTick)
{
    init(44100, 0);
    EXPECT_EQ(ossSetUpdRate(5000), errOK);
    EXPECT_EQ(ossUpdateMix, 882u);
    EXPECT_EQ(ossMixLeft, 882u);
    ossSetUpdRate(5200);  // tempo 130: 848.07 frames, +1, even
    EXPECT_EQ(ossUpdateMix, 848u);
    ossSetUpdRate(1280);  // tempo 32: 3445.3 -> 3446
    EXPECT_EQ(ossUpdateMix, 3446u);
}

TEST_F(OssDevice, FreeSpaceIsSplitAtATick)
{
    init(44100, 0);
    // Use up 800 of the 882 frames of the first tick.
    EXPECT_EQ(poll(800 * 4), 0);
    EXPECT_EQ(ossMixLeft, 82u);
    drv.writes.clear();
    // 1000 free bytes are 250 frames: 82 up to the tick, then 168.
    EXPECT_EQ(poll(1000), 1);
    EXPECT_EQ(drv.writes, (std::vector<size_t>{82 * 4, 168 * 4}));
    EXPECT_EQ(ossMixLeft, 882u - 168u);
    EXPECT_EQ(ossSpaceLeft, 0u);
}

TEST_F(OssDevice, LessThanAFrameOfSpaceWritesNothing)
{
    init(44100, 0);
    EXPECT_EQ(poll(3), 0);
    for (size_t w : drv.writes) {
        EXPECT_EQ(w, 0u);
    }
    EXPECT_EQ(ossMixLeft, 882u);
}

TEST_F(OssDevice, WritesAreLimitedByTheStagingBuffer)
{
    dsmDeviceOptions.bufferLength = 100;  // 17640 bytes at 44100 Hz 16-bit stereo
    init(44100, 0);
    ossSetUpdRate(100);   // one tick a second: 44100 frames
    EXPECT_EQ(poll(30000 * 4), 0);
    std::vector<size_t> expected(6, 17640);
    expected.push_back(30000 * 4 - 6 * 17640);
    EXPECT_EQ(drv.writes, expected);
}
