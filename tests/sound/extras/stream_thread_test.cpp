// Streams under a mixing thread: file and polling streams play while the
// application starts, stops, pauses and feeds them. The mixed output must
// hold each stream's data in order, with nothing lost or repeated (silence
// where a writer fell behind is allowed).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "stream_support.h"
#include "wave_builder.h"

using namespace streamtest;

namespace {

// The mixing side of the test: a thread that mixes a few frames at a time
// under the poll lock, as the player thread does, somewhat faster than real
// time so that writers fall behind now and then.
class MixingThread {
public:
    MixingThread(Mixer &m, std::recursive_mutex &lock) : mixer(m), pollLock(lock)
    {
        worker = std::thread([this] { run(); });
    }
    std::vector<int16_t> finish()
    {
        stop.store(true);
        worker.join();
        return output;
    }

private:
    void run()
    {
        while (!stop.load()) {
            {
                std::lock_guard<std::recursive_mutex> guard(pollLock);
                std::vector<int16_t> part = mixer.mix(40);
                output.insert(output.end(), part.begin(), part.end());
            }
            usleep(2000);
        }
    }
    Mixer &mixer;
    std::recursive_mutex &pollLock;
    std::atomic<bool> stop{false};
    std::vector<int16_t> output;
    std::thread worker;
};

std::string tempFile(const char *tag)
{
    return std::string(::testing::TempDir()) + "q5_strthr_" + tag + "_" + std::to_string(getpid());
}

}  // namespace

TEST(ThreadStreams, FileAndPollingStreamsKeepTheirDataInOrder)
{
    Mixer mixer(8000, 3);
    std::recursive_mutex pollLock;
    std::string path = tempFile("loop");
    {
        std::vector<int16_t> data = counter(1, 500);
        const uint8_t *p = reinterpret_cast<const uint8_t *>(data.data());
        ASSERT_TRUE(wavetest::writeFile(path, std::vector<uint8_t>(p, p + 1000)));
    }

    MixingThread mixing(mixer, pollLock);
    strStream *fileStream = nullptr, *polled = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(pollLock);
        ASSERT_EQ(strPlayStreamFile(0, path.c_str(), smp16bitMono, 8000, 40, 1, &fileStream),
                  errOK);
        ASSERT_EQ(strSetStreamPanning(fileStream, panLeft), errOK);
        ASSERT_EQ(strPlayStreamPolling(1, smp16bitMono, 8000, 40, &polled), errOK);
        ASSERT_EQ(strSetStreamPanning(polled, panRight), errOK);
    }

    const std::vector<int16_t> fed = counter(1, 3000);
    for (unsigned piece = 0; piece < 30; piece++) {
        unsigned used = 0;
        if (piece % 2) {
            // Waiting feed: no lock, the call sleeps until it is all written.
            ASSERT_EQ(strFeedStreamData(polled, bytesOf(fed) + piece * 200, 200, 1, &used),
                      errOK);
            ASSERT_EQ(used, 200u);
        } else {
            // Non-waiting feed under the lock: retry with what is left.
            unsigned done = 0;
            while (done < 200) {
                {
                    std::lock_guard<std::recursive_mutex> guard(pollLock);
                    ASSERT_EQ(strFeedStreamData(polled, bytesOf(fed) + piece * 200 + done,
                                                200 - done, 0, &used),
                              errOK);
                }
                done += used;
                if (done < 200)
                    usleep(1000);
            }
        }
        if (piece == 10 || piece == 20) {
            // Paused, the stream keeps its data; the mixer plays silence.
            {
                std::lock_guard<std::recursive_mutex> guard(pollLock);
                ASSERT_EQ(strPauseStream(polled, 1), errOK);
            }
            usleep(15000);
            std::lock_guard<std::recursive_mutex> guard(pollLock);
            ASSERT_EQ(strPauseStream(polled, 0), errOK);
        }
        if (piece % 7 == 3) {
            // A silent third stream comes and goes while the others play.
            std::lock_guard<std::recursive_mutex> guard(pollLock);
            strStream *extra = nullptr;
            ASSERT_EQ(strPlayStreamFile(2, path.c_str(), smp16bitMono, 8000, 20, 0, &extra),
                      errOK);
            ASSERT_EQ(strSetStreamVolume(extra, 0), errOK);
            usleep(3000);
            ASSERT_EQ(strStopStream(extra), errOK);
        }
    }
    // Let the mixer play out what was fed (40 ms of buffer at most).
    unsigned buffered = 0;
    for (int i = 0; i < 2000; i++) {
        {
            std::lock_guard<std::recursive_mutex> guard(pollLock);
            ASSERT_EQ(strGetStreamBytesBuffered(polled, &buffered), errOK);
        }
        if (buffered <= polled->frameSize)
            break;
        usleep(1000);
    }
    usleep(20000);
    {
        std::lock_guard<std::recursive_mutex> guard(pollLock);
        ASSERT_EQ(strStopStream(fileStream), errOK);
        ASSERT_EQ(strStopStream(polled), errOK);
    }
    std::vector<int16_t> out = mixing.finish();
    unlink(path.c_str());

    // Left: the looping file, 1..500 over and over. Right: the fed data once.
    std::vector<int16_t> left, right;
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
        if (out[i] != 0)
            left.push_back(out[i]);
        if (out[i + 1] != 0)
            right.push_back(out[i + 1]);
    }
    EXPECT_EQ(right, fed);
    ASSERT_GT(left.size(), 1000u);
    EXPECT_EQ(left[0], 1);
    for (size_t i = 1; i < left.size(); i++)
        ASSERT_EQ(left[i], left[i - 1] % 500 + 1) << "left value " << i;
}
