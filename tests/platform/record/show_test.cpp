// Record mode end to end on a small synthetic module: the software board in
// record mode, the sound library's OSS device behind the record-mode
// "/dev/dsp", the player thread polling as in the show. The recording goes
// to a sink in memory.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/glide.h"
#include "platform/glide/record.h"
#include "platform/record_clock.h"
#include "sound/api/midasdll.h"
#include "support/xmwriter.h"

namespace {

using recording::kAudioPerFrame;

struct MemoryRecording {
    std::mutex m;
    uint64_t videoFrames = 0;
    std::vector<uint8_t> audio;
    uint64_t videoHash = 1469598103934665603ull;
    bool finished = false;
};

class MemorySink final : public glide::RecordSink {
public:
    explicit MemorySink(MemoryRecording *out) : out_(out) {}
    void video(const uint32_t *rgb, int width, int height) override {
        std::lock_guard<std::mutex> lock(out_->m);
        ++out_->videoFrames;
        for (int i = 0; i < width * height; ++i) out_->videoHash = (out_->videoHash ^ rgb[i]) * 1099511628211ull;
    }
    void audio(const uint8_t *pcm, size_t bytes) override {
        std::lock_guard<std::mutex> lock(out_->m);
        out_->audio.insert(out_->audio.end(), pcm, pcm + bytes);
    }
    bool finish(std::string &) override {
        std::lock_guard<std::mutex> lock(out_->m);
        out_->finished = true;
        return true;
    }

private:
    MemoryRecording *out_;
};

// Speed 6, tempo 125: 882 audio frames per tick. The player reads row r on
// its tick 6 (r + 1), after the frames of that many ticks: frame 5292 (r + 1).
constexpr unsigned kTick = 882;
struct Mark {
    unsigned row;
    uint8_t value;
};
// Row 4 starts at 26460 = 36 * 735 (exactly on frame 36), row 6 at 37044
// (frame 50.4), row 11 at 63504 (frame 86.4).
constexpr Mark kMarks[] = {{4, 1}, {6, 2}, {11, 3}};
constexpr uint64_t kFrames = 100;

uint64_t rowFrame(unsigned row) { return uint64_t(kTick) * 6 * (row + 1); }
uint64_t firstFrameAtOrAfter(uint64_t audioFrame) { return (audioFrame + kAudioPerFrame - 1) / kAudioPerFrame; }

std::string writeModule() {
    xmw::Module m(1);
    xmw::Pattern &p = m.pattern(0, 16);
    p.set(0, 0, "C-4 01 .. ...");
    for (const Mark &mk : kMarks) {
        char text[16];
        std::snprintf(text, sizeof text, "... .. .. W%02X", mk.value);
        p.set(mk.row, 0, text);
    }
    std::vector<int> square(64);
    for (int i = 0; i < 64; ++i) square[i] = i < 32 ? 60 : -60;
    xmw::Sample &s = m.instrument().sample8(square);
    s.loopStart = 0;
    s.loopLength = 64;
    s.loopKind = 1;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("record_show_" + std::to_string(getpid()) + ".xm")).string();
    EXPECT_TRUE(m.save(path));
    return path;
}

std::atomic<int> syncValue{0};
std::atomic<uint64_t> syncAudioFrame[4];

void onSync(unsigned value, unsigned, unsigned) {
    // Ticks run between writes, never inside the clock's lock.
    if (value < 4) syncAudioFrame[value] = recording::virtualClock().audioFrames();
    syncValue = int(value);
}

struct RunResult {
    MemoryRecording rec;
    uint64_t firstFrameWith[4] = {};  // first frame drawn after the value arrived
};

void recordRun(const std::string &module, RunResult &r) {
    setenv("Q5_RECORD", "memory", 1);
    glide::setRecordSink(std::make_unique<MemorySink>(&r.rec));
    syncValue = 0;
    for (auto &f : syncAudioFrame) f = 0;
    grGlideInit();
    ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_320x200, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                             GR_ORIGIN_UPPER_LEFT, 2, 1));
    ASSERT_TRUE(glide::recording());
    // The show's order: display, then the music, then the frames.
    ASSERT_TRUE(MIDASstartup());
    ASSERT_TRUE(MIDASinit());
    ASSERT_TRUE(MIDASstartBackgroundPlay(0));
    MIDASmodule mod = MIDASloadModule(module.c_str());
    ASSERT_NE(mod, nullptr);
    MIDASmodulePlayHandle handle = MIDASplayModule(mod, 1);
    ASSERT_NE(handle, 0);
    MIDASsetMusicSyncCallback(handle, onSync);
    int seen = 0;
    for (uint64_t frame = 0; frame < kFrames; ++frame) {
        // Each frame shows what it drew from the value read after the last swap.
        grBufferClear(0x00102030u * unsigned(seen + 1), 0, 0xFFFF);
        grBufferSwap(1);
        const int v = syncValue;
        if (v != seen && v >= 1 && v <= 3) r.firstFrameWith[v] = frame + 1;
        seen = v;
    }
    grSstWinClose();
    EXPECT_FALSE(glide::recording());
    MIDASstopModule(handle);
    MIDASfreeModule(mod);
    MIDASstopBackgroundPlay();
    MIDASclose();
    grGlideShutdown();
    unsetenv("Q5_RECORD");
}

TEST(GoldenRecordShow, FramesSoundAndSyncFollowTheVirtualClock) {
    const std::string module = writeModule();
    RunResult a, b;
    recordRun(module, a);
    recordRun(module, b);
    std::filesystem::remove(module);
    EXPECT_FALSE(recording::virtualClock().abandoned());

    for (RunResult *r : {&a, &b}) {
        EXPECT_TRUE(r->rec.finished);
        EXPECT_EQ(r->rec.videoFrames, kFrames);
        // N swaps, N * 735 frames of 16-bit stereo: none missing, none after the end.
        EXPECT_EQ(r->rec.audio.size(), kFrames * kAudioPerFrame * 4);
        for (const Mark &mk : kMarks) {
            EXPECT_EQ(r->firstFrameWith[mk.value], firstFrameAtOrAfter(rowFrame(mk.row)))
                << "sync " << int(mk.value) << " at audio frame " << rowFrame(mk.row);
        }
    }
    // The marks' song times as the player ran them in the last run.
    for (const Mark &mk : kMarks) EXPECT_EQ(syncAudioFrame[mk.value].load(), rowFrame(mk.row));
    EXPECT_EQ(rowFrame(4), 36u * kAudioPerFrame) << "the test's exact-boundary case";

    // The note sounds from row 0 on; before it, silence.
    const auto sample = [&](const std::vector<uint8_t> &pcm, size_t frame) {
        return int16_t(pcm[frame * 4] | (pcm[frame * 4 + 1] << 8));
    };
    int peak = 0;
    for (size_t f = 0; f < rowFrame(0); ++f) ASSERT_EQ(sample(a.rec.audio, f), 0) << "frame " << f;
    for (size_t f = rowFrame(0); f < a.rec.audio.size() / 4; ++f) peak = std::max(peak, std::abs(int(sample(a.rec.audio, f))));
    EXPECT_GT(peak, 1000);

    // Repeatable: the same frames and the same sound, whatever the timing.
    EXPECT_EQ(a.rec.videoHash, b.rec.videoHash);
    EXPECT_TRUE(a.rec.audio == b.rec.audio);
}

}  // namespace
