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
    }
    void TearDown() override
    {
        if (SANITIZED)
            return;
        glide::setFrameHook(nullptr, nullptr);
        close_glide();
        set_sync_value(0);
    }
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
    EXPECT_EQ(cap.frames, 3u + 6u + 128u);
    expect({{1, 0x503fd866924a4afcull},
            {3, 0x84f4ec7ad13defb9ull},
            {5, 0x1c31ae335bfa04bdull},
            {8, 0xd69cc77e3b7e46ecull},
            {20, 0x50690852e695882ull},
            {136, 0xa937f417d139594full}});
}

TEST_F(GoldenFrames, Effect2Scenes)
{
    ASSERT_EQ(init_effekt2(512, 384), 1);
    set_sync_value(5);
    cap.sync_after = {{2, 4}};
    ask({0, 1, 2, 3, 34});
    effekt2();
    close_effekt2();
    EXPECT_EQ(cap.frames, 1u + 2u + 32u);
    expect({{0, 0xdfc8d0dd0bd4eec2ull},
            {1, 0x1f3b31529bc6ba92ull},
            {2, 0x329274550b929741ull},
            {3, 0x88c83095567a6cb0ull},
            {34, 0xcd7961152a0fa01aull}});
}

TEST_F(GoldenFrames, Effect3CreditsAndGreetings)
{
    ASSERT_EQ(init_effekt3(512, 384), 1);
    ask({0, 149, 300, 301, 450, 799});
    effekt3();
    close_effekt3();
    EXPECT_EQ(cap.frames, 800u);
    expect({{0, 0x6a405b2a05fe7cfeull},
            {149, 0xdd900f0059ececedull},
            {300, 0x3b3e46070b11252cull},
            {301, 0xb30b8c650b97eaabull},
            {450, 0xbe050c52e504b993ull},
            {799, 0xf8c363da39422de4ull}});
}

}  // namespace
