// The encoder sink's plumbing, with a stand-in encoder script that copies
// descriptors 3 and 4 to files; and the progress line.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/glide/record.h"

namespace fs = std::filesystem;

namespace {

fs::path scratch() {
    fs::path d = fs::temp_directory_path() / ("record_sink_" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
}

std::string script(const fs::path &dir, const char *name, const std::string &body) {
    const fs::path p = dir / name;
    std::ofstream(p) << "#!/bin/sh\n" << body;
    fs::permissions(p, fs::perms::owner_all);
    return p.string();
}

std::vector<uint8_t> readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RecordSink, FramesAndSoundReachTheEncoderOnTheirDescriptors) {
    const fs::path dir = scratch();
    // The output file is the last argument.
    const std::string encoder = script(dir, "enc.sh",
                                       "for a; do out=$a; done\n"
                                       "cat <&3 > \"$out.video\" &\n"
                                       "cat <&4 > \"$out.audio\"\n"
                                       "wait\n");
    std::string err;
    auto sink = glide::openFfmpegSink(encoder, (dir / "out").string(), 4, 2, "veryfast", err);
    ASSERT_TRUE(sink) << err;
    // Three 4x2 frames; the encoder reads I420: 8 luma bytes, then 2 Cb and
    // 2 Cr (one for each 2x2 block).
    const uint32_t frames[3][8] = {
        {0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF},
        {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF},
        {0x00FF00, 0x00FF00, 0x808080, 0x808080, 0x00FF00, 0x00FF00, 0x808080, 0x808080},
    };
    for (const auto &f : frames) sink->video(f, 4, 2);
    std::vector<uint8_t> pcm(1000);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = uint8_t(i * 7);
    sink->audio(pcm.data(), 600);
    sink->audio(pcm.data() + 600, 400);
    // finish() returns only once the encoder has seen both pipes end.
    ASSERT_TRUE(sink->finish(err)) << err;
    // Black, white; red, blue; green, grey in BT.601 studio range (8-bit
    // integer weights: green's luma is 144, the exact formula 144.55).
    const std::vector<uint8_t> expected = {
        16,  16,  235, 235, 16,  16,  235, 235, 128, 128, 128, 128,  // black | white
        82,  82,  41,  41,  82,  82,  41,  41,  90,  240, 240, 110,  // red | blue
        144, 144, 126, 126, 144, 144, 126, 126, 54,  128, 34,  128,  // green | grey
    };
    EXPECT_EQ(readFile(dir / "out.video"), expected);
    EXPECT_EQ(readFile(dir / "out.audio"), pcm);
    fs::remove_all(dir);
}

TEST(RecordSink, AFailingOrMissingEncoderIsReportedNotFatal) {
    const fs::path dir = scratch();
    std::string err;
    auto sink = glide::openFfmpegSink(script(dir, "fail.sh", "exit 3\n"), (dir / "out").string(), 64, 64,
                                      "veryfast", err);
    ASSERT_TRUE(sink) << err;
    // Writes into pipes nobody reads any more must not end the process.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<uint32_t> frame(64 * 64, 0x123456);
    for (int i = 0; i < 20; ++i) sink->video(frame.data(), 64, 64);
    EXPECT_FALSE(sink->finish(err));
    EXPECT_NE(err.find("exit status 3"), std::string::npos) << err;

    err.clear();
    EXPECT_FALSE(glide::openFfmpegSink((dir / "no-such-encoder").string(), "x.mp4", 8, 8, "veryfast", err));
    EXPECT_NE(err.find("no-such-encoder"), std::string::npos) << err;
    fs::remove_all(dir);
}

TEST(RecordProgress, LineShowsShareElapsedRemainingAndSpeed) {
    // 1800 of 3600 frames (30 s of show) in 15 s: half, twice real time,
    // 15 s to go.
    EXPECT_EQ(glide::progressLine(1800, 3600, 15.0),
              "record: 1800 frames (0:30)  50%, elapsed 0:15, remaining 0:15, 2.00x real time");
    // Unknown length: no share, no remaining time.
    EXPECT_EQ(glide::progressLine(90, 0, 3.0), "record: 90 frames (0:02), elapsed 0:03, 0.50x real time");
    // Past the expected length the share stops at 100% and nothing remains.
    EXPECT_EQ(glide::progressLine(4000, 3600, 50.0),
              "record: 4000 frames (1:07) 100%, elapsed 0:50, remaining 0:00, 1.33x real time");
}

}  // namespace
