// Frames of the three effects drawn by the software board, with synthetic
// pictures, compared by hash at chosen frame numbers. A hash changes only
// with a change to what the show or the board draws.
#include "demo/clipplanes.h"
#include "demo/globals.h"
#include "effects/effekt1.h"
#include "effects/effekt2.h"
#include "effects/effekt3.h"
#include "effects/gfx_dir.h"
#include "graphics/3dfx.h"
#include "platform/glide/glide_ext.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif

struct Capture {
    std::map<uint64_t, uint8_t> sync_after;  // frame index -> sync value sent after it
    std::map<uint64_t, uint64_t> hashes;     // frame index -> hash, for the frames asked
    uint64_t frames = 0;
};

uint64_t fnv1a(const uint32_t *rgb, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; i++)
        for (int b = 0; b < 3; b++) {
            h ^= (rgb[i] >> (8 * b)) & 0xFF;
            h *= 1099511628211ull;
        }
    return h;
}

void on_frame(const uint32_t *rgb, int w, int h, uint64_t index, void *user)
{
    Capture *c = (Capture *)user;
    c->frames = index + 1;
    auto want = c->hashes.find(index);
    if (want != c->hashes.end())
        want->second = fnv1a(rgb, (size_t)w * (size_t)h);
}

// The program reads the sync value after each swap returns.
void on_swap(uint64_t index, void *user)
{
    Capture *c = (Capture *)user;
    auto s = c->sync_after.find(index);
    if (s != c->sync_after.end())
        set_sync_value(s->second);
}

class GoldenFrames : public testing::Test {
protected:
    static std::unique_ptr<showtest::GfxDir> dir;
    Capture cap;

    static void SetUpTestSuite() { dir = std::make_unique<showtest::GfxDir>(); }
    static void TearDownTestSuite() { dir.reset(); }
    void SetUp() override
    {
        if (SANITIZED)
            GTEST_SKIP() << "hundreds of software-drawn frames; pinned in the optimised build";
        setenv("GLIDE_BACKEND", "headless", 1);
        setenv("GLIDE_NOPACE", "1", 1);
        setenv("GLIDE_GAMMA", "1.7", 1);
        unsetenv("GLIDE_CAPTURE_DIR");
        set_sync_value(0);
        ASSERT_EQ(init_glide(512, 384), 1);
        CreateTarget(512, 384);
        glide::setFrameHook(on_frame, &cap);
        glide::setSwapHook(on_swap, &cap);
    }
    void TearDown() override
    {
        if (SANITIZED)
            return;
        close();
        set_sync_value(0);
    }
    // Closing shows the last frame swapped.
    void close()
    {
        if (closed)
            return;
        closed = true;
        close_glide();
        glide::setFrameHook(nullptr, nullptr);
        glide::setSwapHook(nullptr, nullptr);
    }
    bool closed = false;
    void ask(std::initializer_list<uint64_t> frames)
    {
        for (uint64_t f : frames)
            cap.hashes[f] = 0;
    }
    void expect(const std::map<uint64_t, uint64_t> &want)
    {
        for (const auto &[f, h] : cap.hashes) {
            auto w = want.find(f);
            ASSERT_NE(w, want.end());
            EXPECT_EQ(h, w->second) << "frame " << f << ": now 0x" << std::hex << h;
        }
    }
};

std::unique_ptr<showtest::GfxDir> GoldenFrames::dir;

TEST_F(GoldenFrames, Effect1RippleTunnelAndFade)
{
    ASSERT_EQ(init_effekt1(512, 384), 1);
    cap.sync_after = {{2, 1}, {8, 3}};
    ask({1, 3, 5, 8, 20, 136});
    effekt1();
    close_effekt1();
    close();
    EXPECT_EQ(cap.frames, 3u + 6u + 128u);
    expect({{1, 0x3bbb36e7ce90dacbull},
            {3, 0xe29923ac92562e4full},
            {5, 0xaa802fd4909f7abull},
            {8, 0x6b228282656e6f1eull},
            {20, 0x68cc01ce206cd66cull},
            {136, 0xa351afa61b33b372ull}});
}

TEST_F(GoldenFrames, Effect2Scenes)
{
    ASSERT_EQ(init_effekt2(512, 384), 1);
    set_sync_value(5);
    cap.sync_after = {{2, 4}};
    ask({0, 1, 2, 3, 34});
    effekt2();
    close_effekt2();
    close();
    EXPECT_EQ(cap.frames, 1u + 2u + 32u);
    expect({{0, 0xdf55e2fe0030c728ull},
            {1, 0x78a9bc48a4a6bf0full},
            {2, 0x75f1ddcea6bbfbeeull},
            {3, 0x67f29af3c0e5128bull},
            {34, 0x7f10ecb7d7f5a96dull}});
}

TEST_F(GoldenFrames, Effect3CreditsAndGreetings)
{
    ASSERT_EQ(init_effekt3(512, 384), 1);
    ask({0, 149, 300, 301, 450, 799});
    effekt3();
    close_effekt3();
    close();
    EXPECT_EQ(cap.frames, 800u);
    expect({{0, 0xa3ddd2f33060dad8ull},
            {149, 0x7cf9e6cbe4f0a627ull},
            {300, 0x1f09680b9171008dull},
            {301, 0x2b76993ab750e7d9ull},
            {450, 0x91ddc98e32ed763bull},
            {799, 0xb505f8c9e56a1517ull}});
}

}  // namespace
