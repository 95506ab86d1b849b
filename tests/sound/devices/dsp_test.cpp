// The "/dev/dsp" calls and the sinks of platform/audio.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

#include "platform/audio/dsp.h"
#include "platform/audio/wavwriter.h"

namespace {

std::vector<uint8_t> readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

unsigned le16(const std::vector<uint8_t> &b, size_t at) { return b[at] | b[at + 1] << 8; }

std::string tempPath(const char *name)
{
    return std::string(::testing::TempDir()) + name;
}

// Opens the ALSA stand-in on ALSA's "null" device; skips where a real
// "/dev/dsp" exists (the calls would reach it) or ALSA has no null device.
class AlsaDsp : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access("/dev/dsp", F_OK) == 0)
            GTEST_SKIP() << "a real /dev/dsp exists";
        setenv("Q5_ALSA_DEVICE", "null", 1);
        fd = audioDspOpen("/dev/dsp", O_WRONLY, 0);
        if (fd < 0)
            GTEST_SKIP() << "no ALSA null device";
    }
    void TearDown() override
    {
        if (fd >= 0) {
            EXPECT_EQ(audioDspClose(fd), 0);
        }
        unsetenv("Q5_ALSA_DEVICE");
    }
    int fd = -1;
};

}  // namespace

TEST_F(AlsaDsp, AnswersSetupRequestsWithAcceptedValues)
{
    EXPECT_TRUE(audioDspIsAlsa(fd));
    int format = 3;  // no such format: the stand-in picks 16-bit, as a driver would
    ASSERT_EQ(audioDspIoctl(fd, audioDspSetFmt, &format), 0);
    EXPECT_EQ(format, audioDspFmtS16LE);
    format = audioDspFmtU8;
    ASSERT_EQ(audioDspIoctl(fd, audioDspSetFmt, &format), 0);
    EXPECT_EQ(format, audioDspFmtU8);
    int channels = 2;
    ASSERT_EQ(audioDspIoctl(fd, audioDspChannels, &channels), 0);
    EXPECT_EQ(channels, 2);
    int rate = 22050;
    ASSERT_EQ(audioDspIoctl(fd, audioDspSpeed, &rate), 0);
    EXPECT_EQ(rate, 22050);
    rate = 0;
    EXPECT_EQ(audioDspIoctl(fd, audioDspSpeed, &rate), -1);
    EXPECT_EQ(audioDspIoctl(fd, 0x1234, &rate), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(AlsaDsp, ReportsFreeBytesInWholeFramesAndTakesWrites)
{
    int format = audioDspFmtS16LE, channels = 2, rate = 44100;
    ASSERT_EQ(audioDspIoctl(fd, audioDspSetFmt, &format), 0);
    ASSERT_EQ(audioDspIoctl(fd, audioDspChannels, &channels), 0);
    ASSERT_EQ(audioDspIoctl(fd, audioDspSpeed, &rate), 0);
    audioDspSpaceInfo info{};
    ASSERT_EQ(audioDspIoctl(fd, audioDspGetOSpace, &info), 0);
    EXPECT_GT(info.bytes, 0);
    EXPECT_EQ(info.bytes % 4, 0);  // 16-bit stereo frames
    // The buffer is about 100 ms: between 20 and 500 ms of output.
    EXPECT_GE(info.bytes, 44100 * 4 / 50);
    EXPECT_LE(info.bytes, 44100 * 4 / 2);
    std::vector<uint8_t> data(size_t(info.bytes), 0);
    EXPECT_EQ(audioDspWrite(fd, data.data(), data.size()), ssize_t(data.size()));
}

TEST_F(AlsaDsp, OneStreamAtATime)
{
    EXPECT_EQ(audioDspOpen("/dev/dsp", O_WRONLY, 0), -1);
}

TEST(AudioDsp, OtherPathsAreRealFiles)
{
    std::string path = tempPath("q5_dsp_plain.raw");
    int fd = audioDspOpen(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(audioDspIsAlsa(fd));
    EXPECT_EQ(audioDspWrite(fd, "abc", 3), 3);
    EXPECT_EQ(audioDspClose(fd), 0);
    EXPECT_EQ(readFile(path).size(), 3u);
    EXPECT_EQ(audioDspOpen("/nonexistent/q5/dsp", O_WRONLY, 0), -1);
}

TEST(AudioDsp, MissingAlsaDeviceFailsWithTheDeviceError)
{
    if (::access("/dev/dsp", F_OK) == 0)
        GTEST_SKIP() << "a real /dev/dsp exists";
    setenv("Q5_ALSA_DEVICE", "q5_no_such_pcm", 1);
    errno = 0;
    EXPECT_EQ(audioDspOpen("/dev/dsp", O_WRONLY, 0), -1);
    EXPECT_EQ(errno, ENOENT);  // why "/dev/dsp" failed
    unsetenv("Q5_ALSA_DEVICE");
}

TEST(WavWriter, HeaderDescribesTheDataWritten)
{
    std::string path = tempPath("q5_wav_header.wav");
    WavWriter w;
    ASSERT_TRUE(w.open(path, 44100, 2, 16));
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = uint8_t(i * 7);
    ASSERT_TRUE(w.write(data.data(), 600));
    ASSERT_TRUE(w.write(data.data() + 600, 400));
    EXPECT_EQ(w.dataBytes(), 1000u);
    ASSERT_TRUE(w.finish());

    std::vector<uint8_t> f = readFile(path);
    ASSERT_EQ(f.size(), 1044u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(le32(f, 4), 1036u);
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(f, 16), 16u);
    EXPECT_EQ(le16(f, 20), 1u);
    EXPECT_EQ(le16(f, 22), 2u);
    EXPECT_EQ(le32(f, 24), 44100u);
    EXPECT_EQ(le32(f, 28), 44100u * 4);
    EXPECT_EQ(le16(f, 32), 4u);
    EXPECT_EQ(le16(f, 34), 16u);
    EXPECT_EQ(std::string(f.begin() + 36, f.begin() + 40), "data");
    EXPECT_EQ(le32(f, 40), 1000u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), f.begin() + 44));
}

TEST(WavWriter, OddDataGetsAPadByteAndUnfinishedFilesStayValid)
{
    std::string path = tempPath("q5_wav_odd.wav");
    {
        WavWriter w;
        ASSERT_TRUE(w.open(path, 8000, 1, 8));
        uint8_t b[3] = {1, 2, 3};
        ASSERT_TRUE(w.write(b, 3));
        ASSERT_TRUE(w.finish());
    }
    std::vector<uint8_t> f = readFile(path);
    ASSERT_EQ(f.size(), 48u);
    EXPECT_EQ(le32(f, 40), 3u);
    EXPECT_EQ(le32(f, 4), 40u);  // 36 + data + pad

    // Destroyed without finish(): the header is completed on the way out.
    {
        WavWriter w;
        ASSERT_TRUE(w.open(path, 8000, 1, 8));
        uint8_t b[2] = {9, 9};
        ASSERT_TRUE(w.write(b, 2));
    }
    f = readFile(path);
    ASSERT_EQ(f.size(), 46u);
    EXPECT_EQ(le32(f, 40), 2u);

    WavWriter bad;
    EXPECT_FALSE(bad.open("/nonexistent/q5/out.wav", 8000, 1, 8));
    EXPECT_FALSE(bad.write(f.data(), 1));
    EXPECT_FALSE(bad.finish());
}

TEST(MemorySink, AppendsEveryWrite)
{
    std::vector<uint8_t> out;
    MemorySink sink(&out);
    uint8_t a[2] = {1, 2}, b[3] = {3, 4, 5};
    EXPECT_TRUE(sink.write(a, 2));
    EXPECT_TRUE(sink.write(b, 3));
    EXPECT_TRUE(sink.finish());
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}
