// WAVE reader: formats, chunk search, hostile lengths.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/extras/waveread.h"
#include "sound/mixer/sdevice.h"
#include "wave_builder.h"

using namespace wavetest;

namespace {

// Opens bytes as a WAVE file through the memory file layer.
int openBytes(const std::vector<uint8_t> &bytes, mWaveHandle *w)
{
    fileHandle f;
    int error = fileOpenMemory(bytes.data(), bytes.size(), &f);
    if (error)
        return error;
    return mWaveOpenFile(f, w);
}

std::vector<uint8_t> ramp(unsigned n)
{
    std::vector<uint8_t> d(n);
    for (unsigned i = 0; i < n; i++)
        d[i] = static_cast<uint8_t>(i * 7 + 1);
    return d;
}

}  // namespace

TEST(WaveOpen, TypesRatesAndDataPosition)
{
    struct Case {
        unsigned channels, bits;
        int type;
    } cases[] = {{1, 8, smp8bitMono}, {2, 8, smp8bitStereo}, {1, 16, smp16bitMono},
                 {2, 16, smp16bitStereo}};
    for (const Case &c : cases) {
        std::vector<uint8_t> data = ramp(40);
        std::vector<uint8_t> bytes = pcm(c.channels, 22050, c.bits, data);
        mWaveHandle w = nullptr;
        ASSERT_EQ(openBytes(bytes, &w), errOK);
        EXPECT_EQ(w->sampleType, c.type);
        EXPECT_EQ(w->sampleRate, 22050u);
        EXPECT_EQ(w->dataLength, 40u);
        EXPECT_EQ(w->dataLeft, 40u);
        EXPECT_EQ(w->dataStart, 44);
        uint8_t first[40];
        ASSERT_EQ(fileRead(w->file, first, 40), errOK);
        EXPECT_EQ(std::vector<uint8_t>(first, first + 40), data);
        EXPECT_EQ(mWaveClose(w), errOK);
    }
}

TEST(WaveOpen, OtherChunksAroundFmtAndDataAreSkipped)
{
    // LIST before "fmt " (odd length, no pad byte: lengths are taken as
    // stored), a longer "fmt " with extension bytes, a "fact" chunk before
    // the data.
    std::vector<uint8_t> c;
    chunk(c, "LIST", std::vector<uint8_t>(13, 'x'));
    chunk(c, "fmt ", fmtBody(1, 2, 44100, 16, 6));
    chunk(c, "fact", {1, 2, 3, 4});
    chunk(c, "data", ramp(16));
    std::vector<uint8_t> bytes = riff(c);
    mWaveHandle w = nullptr;
    ASSERT_EQ(openBytes(bytes, &w), errOK);
    EXPECT_EQ(w->sampleType, smp16bitStereo);
    EXPECT_EQ(w->sampleRate, 44100u);
    EXPECT_EQ(w->dataLength, 16u);
    EXPECT_EQ(w->dataStart, static_cast<long>(bytes.size() - 16));
    uint8_t first;
    ASSERT_EQ(fileRead(w->file, &first, 1), errOK);
    EXPECT_EQ(first, 1);
    mWaveClose(w);
}

TEST(WaveOpen, UnsupportedFormatsGive51)
{
    struct Case {
        const char *what;
        unsigned tag, channels, bits;
    } cases[] = {{"24-bit", 1, 2, 24}, {"format tag 2", 2, 1, 16}, {"three channels", 1, 3, 16},
                 {"4-bit PCM", 1, 1, 4}, {"no channels", 1, 0, 16}};
    for (const Case &c : cases) {
        std::vector<uint8_t> ch;
        chunk(ch, "fmt ", fmtBody(c.tag, c.channels, 8000, c.bits));
        chunk(ch, "data", ramp(8));
        mWaveHandle w = nullptr;
        EXPECT_EQ(openBytes(riff(ch), &w), errUnsupportedSampleFormat) << c.what;
        EXPECT_EQ(w, nullptr);
    }
}

TEST(WaveOpen, MalformedHeadersGive50)
{
    std::vector<uint8_t> good = pcm(1, 8000, 8, ramp(8));
    std::vector<uint8_t> notRiff = good;
    notRiff[0] = 'X';
    std::vector<uint8_t> notWave = good;
    notWave[8] = 'A';
    mWaveHandle w = nullptr;
    EXPECT_EQ(openBytes(notRiff, &w), errBadWave);
    EXPECT_EQ(openBytes(notWave, &w), errBadWave);

    // "fmt " chunks shorter than 16 bytes: below 14 refused outright; 14 or
    // 15 bytes hold no bits per sample (PCM refused with 50, other tags 51).
    for (unsigned length : {0u, 8u, 13u, 14u, 15u}) {
        std::vector<uint8_t> body = fmtBody(1, 1, 8000, 8);
        body.resize(length);
        std::vector<uint8_t> c;
        chunk(c, "fmt ", body);
        chunk(c, "data", ramp(8));
        EXPECT_EQ(openBytes(riff(c), &w), errBadWave) << length;
    }
    std::vector<uint8_t> body = fmtBody(2, 1, 8000, 8);
    body.resize(14);
    std::vector<uint8_t> c;
    chunk(c, "fmt ", body);
    EXPECT_EQ(openBytes(riff(c), &w), errUnsupportedSampleFormat);

    // Nothing plays at 0 Hz.
    EXPECT_EQ(openBytes(pcm(1, 0, 8, ramp(8)), &w), errBadWave);
    EXPECT_EQ(w, nullptr);
}

TEST(WaveOpen, LengthsBeyondTheFileEndInCleanErrors)
{
    mWaveHandle w = nullptr;
    // A chunk before "fmt " that claims more than the file.
    std::vector<uint8_t> c;
    chunk(c, "LIST", {1, 2, 3, 4}, 0xFFFFFFF0u);
    chunk(c, "fmt ", fmtBody(1, 1, 8000, 8));
    EXPECT_NE(openBytes(riff(c), &w), errOK);
    // A "fmt " chunk whose length runs past the end while skipping its tail.
    c.clear();
    chunk(c, "fmt ", fmtBody(1, 1, 8000, 8), 0x7FFFFFFFu);
    EXPECT_NE(openBytes(riff(c), &w), errOK);
    // No data chunk at all, and a file cut inside a chunk header.
    c.clear();
    chunk(c, "fmt ", fmtBody(1, 1, 8000, 8));
    EXPECT_EQ(openBytes(riff(c), &w), errEndOfFile);
    c.insert(c.end(), {'d', 'a', 't'});
    EXPECT_EQ(openBytes(riff(c), &w), errEndOfFile);
    // Files cut inside the RIFF header.
    for (size_t n : {0, 3, 8, 11}) {
        std::vector<uint8_t> cut = pcm(1, 8000, 8, ramp(8));
        cut.resize(n);
        EXPECT_EQ(openBytes(cut, &w), errEndOfFile) << n;
    }
    EXPECT_EQ(w, nullptr);
}

TEST(WaveOpen, DataChunkLongerThanTheFileGivesTheBytesPresent)
{
    std::vector<uint8_t> c;
    chunk(c, "fmt ", fmtBody(1, 2, 11025, 16));
    chunk(c, "data", ramp(20), 0xFFFFFFFFu);
    mWaveHandle w = nullptr;
    ASSERT_EQ(openBytes(riff(c), &w), errOK);
    EXPECT_EQ(w->dataLength, 20u);
    EXPECT_EQ(w->dataLeft, 20u);
    mWaveClose(w);
}

TEST(WaveOpen, ByFileName)
{
    std::string path =
        std::string(::testing::TempDir()) + "q5_wave_" + std::to_string(getpid()) + ".wav";
    ASSERT_TRUE(writeFile(path, pcm(2, 32000, 16, ramp(64))));
    mWaveHandle w = nullptr;
    ASSERT_EQ(mWaveOpen(path.c_str(), &w), errOK);
    EXPECT_EQ(w->sampleType, smp16bitStereo);
    EXPECT_EQ(w->dataLength, 64u);
    EXPECT_EQ(mWaveClose(w), errOK);
    unlink(path.c_str());
    EXPECT_EQ(mWaveOpen(path.c_str(), &w), errFileNotFound);
}
