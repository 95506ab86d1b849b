// The record-mode "/dev/dsp": chosen only in record mode, answers the
// set-up requests with what the recording takes, grants by the clock, and
// passes whole frames on even when writes split them.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/audio/dsp.h"
#include "platform/record_clock.h"

namespace {

using recording::kAudioPerFrame;

struct RecordEnv {
    RecordEnv() { setenv("Q5_RECORD", "unused.mp4", 1); }
    ~RecordEnv() { unsetenv("Q5_RECORD"); }
};

struct Bytes {
    std::vector<uint8_t> got;
    static void take(const uint8_t *pcm, size_t bytes, void *user) {
        auto *b = static_cast<Bytes *>(user);
        b->got.insert(b->got.end(), pcm, pcm + bytes);
    }
};

TEST(RecordDsp, OnlyTheSoundDeviceInRecordModeIsReplaced) {
    {
        RecordEnv env;
        const int other = audioDspOpen("/dev/null", 1, 0);
        ASSERT_GE(other, 0);
        EXPECT_EQ(audioDspWrite(other, "abcd", 4), 4) << "a plain file stays a plain file";
        EXPECT_EQ(audioDspClose(other), 0);
        const int fd = audioDspOpen("/dev/dsp", 1, 0);
        ASSERT_GE(fd, 0);
        EXPECT_FALSE(audioDspIsAlsa(fd));
        errno = 0;
        EXPECT_EQ(audioDspOpen("/dev/dsp", 1, 0), -1) << "one output at a time";
        EXPECT_EQ(errno, EBUSY);
        EXPECT_EQ(audioDspClose(fd), 0);
        EXPECT_EQ(audioDspIoctl(fd, audioDspSpeed, nullptr), -1) << "closed";
    }
}

TEST(RecordDsp, AnswersWithTheRecordingsFormatAndTheClocksGrant) {
    RecordEnv env;
    recording::VirtualClock &clock = recording::virtualClock();
    const int fd = audioDspOpen("/dev/dsp", 1, 0);
    ASSERT_GE(fd, 0);
    int format = audioDspFmtU8, channels = 1, speed = 22050;
    ASSERT_EQ(audioDspIoctl(fd, audioDspSetFmt, &format), 0);
    ASSERT_EQ(audioDspIoctl(fd, audioDspChannels, &channels), 0);
    ASSERT_EQ(audioDspIoctl(fd, audioDspSpeed, &speed), 0);
    EXPECT_EQ(format, audioDspFmtS16LE);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(speed, 44100);
    EXPECT_EQ(audioDspIoctl(fd, 0x1234, &speed), -1);

    audioDspSpaceInfo info{};
    clock.begin();
    ASSERT_EQ(audioDspIoctl(fd, audioDspGetOSpace, &info), 0);
    EXPECT_EQ(info.bytes, 0) << "nothing before the first frame";
    // Detached for the swap, so that it does not wait for this test's writes.
    audioDspClose(fd);
    clock.advance();
    const int fd2 = audioDspOpen("/dev/dsp", 1, 0);
    ASSERT_GE(fd2, 0);
    ASSERT_EQ(audioDspIoctl(fd2, audioDspGetOSpace, &info), 0);
    EXPECT_EQ(info.bytes, int(recording::kGrantFrames * 4));

    // Opened at frame 1, the output starts there. The next swap waits for
    // it; meanwhile it may take 735 frames. Write 3, then 5 bytes, then 4:
    // whole frames pass on, a split one waits for its last byte.
    Bytes b;
    clock.setAudioConsumer(Bytes::take, &b);
    std::thread swap([&] { clock.advance(); });
    while (clock.frames() < 2) std::this_thread::yield();
    const uint8_t data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(audioDspWrite(fd2, data, 3), 3);
    EXPECT_TRUE(b.got.empty()) << "no half frames";
    EXPECT_EQ(audioDspWrite(fd2, data + 3, 5), 5);
    EXPECT_EQ(b.got.size(), 8u);
    EXPECT_EQ(audioDspWrite(fd2, data + 8, 4), 4);
    ASSERT_EQ(b.got.size(), 12u);
    EXPECT_EQ(std::memcmp(b.got.data(), data, 12), 0);
    EXPECT_EQ(clock.audioFrames(), kAudioPerFrame + 3);
    audioDspClose(fd2);  // releases the swap
    swap.join();
    EXPECT_FALSE(clock.abandoned());
    clock.end();
}

}  // namespace
