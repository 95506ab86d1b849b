// Streams on the software mixer: buffer geometry, free space, polling and
// file streams checked through the mixed output, ADPCM decoding on the way,
// pause, the stream table limit.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/adpcm_encoder.h"
#include "stream_support.h"
#include "sound/api/errors.h"
#include "sound/extras/midasstr.h"
#include "wave_builder.h"

using namespace streamtest;

TEST(StreamGeometry, BufferSizesAndPollInterval)
{
    Mixer mixer(44100, 2);
    strStream *s = nullptr;
    ASSERT_EQ(strPlayStreamPolling(0, smp16bitStereo, 44100, 500, &s), errOK);
    EXPECT_EQ(s->bufferFrames, 22052u);  // 22050 + 3, low bits cleared
    EXPECT_EQ(s->bufferBytes, 88208u);
    EXPECT_EQ(s->pollInterval, 62u);
    EXPECT_EQ(s->frameSize, 4u);
    EXPECT_EQ(s->fillByte, 0);
    ASSERT_EQ(strStopStream(s), errOK);

    struct Case {
        int type;
        unsigned frameSize, fill;
    } cases[] = {{smp8bitMono, 1, 128}, {smp16bitMono, 2, 0},   {smp8bitStereo, 2, 128},
                 {smpAdpcmMono, 2, 0},  {smpAdpcmStereo, 4, 0}, {smpUlawMono, 1, 0xFF},
                 {smpUlawStereo, 2, 0xFF}};
    for (const Case &c : cases) {
        ASSERT_EQ(strPlayStreamPolling(1, c.type, 8000, 100, &s), errOK) << c.type;
        EXPECT_EQ(s->frameSize, c.frameSize) << c.type;
        EXPECT_EQ(s->buffer[s->bufferBytes - 1], c.fill) << c.type;  // primed with silence
        EXPECT_EQ(s->bufferFrames, 800u);
        EXPECT_EQ(dsmChannels[1].sampleType, c.type == smpAdpcmMono     ? smp16bitMono
                                             : c.type == smpAdpcmStereo ? smp16bitStereo
                                                                        : c.type);
        ASSERT_EQ(strStopStream(s), errOK);
    }
    EXPECT_EQ(strPlayStreamPolling(0, 0, 8000, 100, &s), errInvalidSampleType);
    EXPECT_EQ(strPlayStreamPolling(0, 9, 8000, 100, &s), errInvalidSampleType);
    EXPECT_EQ(strPlayStreamPolling(0, smp8bitMono, 8000, 0, &s), errInvalidArguments);
    EXPECT_EQ(strPlayStreamPolling(9, smp8bitMono, 8000, 100, &s), errInvalidChanNumber);
    for (strStream *entry : streams)
        EXPECT_EQ(entry, nullptr);  // failures leave no stream behind
}

TEST(StreamPolling, PlaysFedDataInOrderThenSilenceWhenStarved)
{
    Mixer mixer(8000, 2);
    strStream *s = nullptr;
    ASSERT_EQ(strPlayStreamPolling(0, smp16bitMono, 8000, 100, &s), errOK);  // 800 frames
    // Equal positions: everything but one frame is free.
    unsigned freeBytes = 0, buffered = 0;
    ASSERT_EQ(strFreeSpace(s, &freeBytes), errOK);
    EXPECT_EQ(freeBytes, 1600u - 2u);

    std::vector<int16_t> data = counter(1, 1000);
    unsigned used = 0;
    ASSERT_EQ(strFeedStreamData(s, bytesOf(data), 2000, 0, &used), errOK);
    EXPECT_EQ(used, 1596u);  // the free space, low two bits cleared
    ASSERT_EQ(strGetStreamBytesBuffered(s, &buffered), errOK);
    EXPECT_EQ(buffered, 1598u);
    ASSERT_EQ(strFreeSpace(s, &freeBytes), errOK);
    EXPECT_EQ(freeBytes, 2u);

    std::vector<int16_t> out = mixer.mixLeft(500);
    EXPECT_EQ(out, counter(1, 500));
    // Room again: feed the rest; the mixer goes on where it was.
    unsigned more = 0;
    ASSERT_EQ(strFeedStreamData(s, bytesOf(data) + used, 2000 - used, 0, &more), errOK);
    EXPECT_EQ(more, 2000 - used);
    out = mixer.mixLeft(600);
    std::vector<int16_t> expect = counter(501, 500);
    expect.resize(600, 0);  // starved: silence at the write position
    EXPECT_EQ(out, expect);
    // Fed again after starving, it resumes with the new data.
    std::vector<int16_t> tail = counter(2001, 10);
    ASSERT_EQ(strFeedStreamData(s, bytesOf(tail), 20, 1, &used), errOK);
    out = mixer.mixLeft(20);
    expect = counter(2001, 10);
    expect.resize(20, 0);
    EXPECT_EQ(out, expect);
    ASSERT_EQ(strStopStream(s), errOK);
}

namespace {

std::string tempFile(const char *tag)
{
    return std::string(::testing::TempDir()) + "q5_str_" + tag + "_" + std::to_string(getpid());
}

std::vector<uint8_t> rawBytes(const std::vector<int16_t> &v)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(v.data());
    return std::vector<uint8_t>(p, p + 2 * v.size());
}

}  // namespace

TEST(StreamFile, LoopingSectionReplaysWithoutAGap)
{
    Mixer mixer(8000, 1);
    std::string path = tempFile("loop");
    ASSERT_TRUE(wavetest::writeFile(path, rawBytes(counter(1, 300))));
    strStream *s = nullptr;
    // 80 ms: 640 frames of buffer, a pass every 10 ms.
    ASSERT_EQ(strPlayStreamFile(0, path.c_str(), smp16bitMono, 8000, 80, 1, &s), errOK);
    std::vector<int16_t> out = leftOf(mixPaced(mixer, s, 1000, 50));
    std::vector<int16_t> expect;
    while (expect.size() < 1000) {
        std::vector<int16_t> c = counter(1, 300);
        expect.insert(expect.end(), c.begin(), c.end());
    }
    expect.resize(1000);
    EXPECT_EQ(out, expect);
    ASSERT_EQ(strStopStream(s), errOK);
    EXPECT_EQ(dsmChannels[0].status, dsmChStopped);
    unlink(path.c_str());
}

TEST(StreamFile, EndedStreamPlaysSilenceUntilStopped)
{
    Mixer mixer(8000, 1);
    std::string path = tempFile("once");
    ASSERT_TRUE(wavetest::writeFile(path, rawBytes(counter(100, 200))));
    strStream *s = nullptr;
    ASSERT_EQ(strPlayStreamFile(0, path.c_str(), smp16bitMono, 8000, 40, 0, &s), errOK);
    std::vector<int16_t> out = leftOf(mixPaced(mixer, s, 900, 40));
    std::vector<int16_t> expect = counter(100, 200);
    expect.resize(900, 0);
    EXPECT_EQ(out, expect);
    EXPECT_EQ(dsmChannels[0].status, dsmChPlaying);  // still running, on silence
    ASSERT_EQ(strStopStream(s), errOK);
    unlink(path.c_str());
}

TEST(StreamFile, AdpcmFileIsDecodedIntoTheBuffer)
{
    Mixer mixer(8000, 1);
    std::vector<int16_t> signal;
    for (int i = 0; i < 2 * 1200; i++)
        signal.push_back(static_cast<int16_t>((i % 2 ? -1 : 1) * (i * 37 % 20000)));
    adpcmtest::Encoded e = adpcmtest::encode(signal, 2, 250);
    std::string path = tempFile("adpcm");
    ASSERT_TRUE(wavetest::writeFile(path, e.bytes));
    strStream *s = nullptr;
    ASSERT_EQ(strPlayStreamFile(0, path.c_str(), smpAdpcmStereo, 8000, 40, 0, &s), errOK);
    EXPECT_EQ(s->readBufferBytes, s->bufferBytes / 4);
    std::vector<int16_t> out = mixPaced(mixer, s, 1300, 40);
    std::vector<int16_t> expect = e.decoded;
    expect.resize(2 * 1300, 0);
    EXPECT_EQ(out, expect);
    ASSERT_EQ(strStopStream(s), errOK);
    unlink(path.c_str());
}

TEST(StreamFile, WaveStreamTakesTypeAndRateFromTheFile)
{
    Mixer mixer(8000, 2);
    std::vector<int16_t> frames;
    for (int i = 1; i <= 150; i++) {
        frames.push_back(static_cast<int16_t>(i));
        frames.push_back(static_cast<int16_t>(-i));
    }
    std::string path = tempFile("wav");
    ASSERT_TRUE(wavetest::writeFile(path, wavetest::pcm(2, 8000, 16, rawBytes(frames))));
    strStream *s = nullptr;
    ASSERT_EQ(strPlayStreamWaveFile(1, path.c_str(), 40, 0, &s), errOK);
    EXPECT_EQ(dsmChannels[1].rate, 8000u);
    EXPECT_EQ(dsmChannels[1].sampleType, smp16bitStereo);
    std::vector<int16_t> out = mixPaced(mixer, s, 200, 40);
    std::vector<int16_t> expect = frames;
    expect.resize(400, 0);
    EXPECT_EQ(out, expect);
    ASSERT_EQ(strStopStream(s), errOK);

    EXPECT_EQ(strPlayStreamWaveFile(1, "/nonexistent/q5.wav", 40, 0, &s), errFileNotFound);
    EXPECT_EQ(strPlayStreamFile(1, "/nonexistent/q5.raw", smp8bitMono, 8000, 40, 0, &s),
              errFileNotFound);
    unlink(path.c_str());
}

TEST(StreamPolling, AdpcmFedInOddPiecesDecodesWhileWritten)
{
    Mixer mixer(8000, 1);
    std::vector<int16_t> signal;
    for (int i = 0; i < 600; i++)
        signal.push_back(static_cast<int16_t>(9000 * ((i / 40) % 2 ? 1 : -1) + i));
    adpcmtest::Encoded e = adpcmtest::encode(signal, 1, 128);
    strStream *s = nullptr;
    ASSERT_EQ(strPlayStreamPolling(0, smpAdpcmMono, 8000, 200, &s), errOK);
    size_t pos = 0;
    while (pos < e.bytes.size()) {
        unsigned n = static_cast<unsigned>(std::min<size_t>(7, e.bytes.size() - pos));
        unsigned used = 0;
        ASSERT_EQ(strFeedStreamData(s, e.bytes.data() + pos, n, 0, &used), errOK);
        ASSERT_EQ(used, n);
        pos += n;
    }
    EXPECT_EQ(leftOf(mixer.mix(600)), e.decoded);
    ASSERT_EQ(strStopStream(s), errOK);
}

TEST(StreamPolling, PausedStreamHoldsItsPlace)
{
    Mixer mixer(8000, 1);
    strStream *s = nullptr;
    ASSERT_EQ(strPlayStreamPolling(0, smp16bitMono, 8000, 100, &s), errOK);
    std::vector<int16_t> data = counter(1, 300);
    unsigned used = 0;
    ASSERT_EQ(strFeedStreamData(s, bytesOf(data), 600, 0, &used), errOK);
    EXPECT_EQ(mixer.mixLeft(100), counter(1, 100));
    ASSERT_EQ(strPauseStream(s, 1), errOK);
    EXPECT_EQ(mixer.mixLeft(50), std::vector<int16_t>(50, 0));
    unsigned buffered = 0;
    ASSERT_EQ(strGetStreamBytesBuffered(s, &buffered), errOK);
    EXPECT_EQ(buffered, 400u + 2u);
    ASSERT_EQ(strPauseStream(s, 0), errOK);
    EXPECT_EQ(mixer.mixLeft(100), counter(101, 100));
    ASSERT_EQ(strStopStream(s), errOK);
}

TEST(StreamTable, TheThirtyThirdStreamIsRefused)
{
    Mixer mixer(8000, 34);
    std::vector<strStream *> open;
    for (unsigned i = 0; i < strMaxStreams; i++) {
        strStream *s = nullptr;
        ASSERT_EQ(strPlayStreamPolling(i, smp8bitMono, 8000, 20, &s), errOK) << i;
        open.push_back(s);
    }
    strStream *s = nullptr;
    EXPECT_EQ(strPlayStreamPolling(32, smp8bitMono, 8000, 20, &s), errOutOfResources);
    EXPECT_EQ(strPlayStreamFile(33, "/dev/null", smp8bitMono, 8000, 20, 0, &s),
              errOutOfResources);
    // A freed entry is taken again.
    ASSERT_EQ(strStopStream(open[5]), errOK);
    ASSERT_EQ(strPlayStreamPolling(32, smp8bitMono, 8000, 20, &s), errOK);
    EXPECT_EQ(streams[5], s);
    EXPECT_EQ(strClose(), errOK);
    for (strStream *entry : streams)
        EXPECT_EQ(entry, nullptr);
}
