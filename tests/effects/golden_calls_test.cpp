// What the effects hand to Glide, pinned by hash at chosen frames: every call
// with its arguments and the full vertices of every draw call. Unlike frame
// hashes these do not depend on how the board rasterises, so they change
// only when the show's own drawing changes.
#include "effects/effekt1.h"
#include "effects/effekt2.h"
#include "effects/effekt3.h"

#include "demo/clipplanes.h"
#include "demo/globals.h"
#include "effects/gfx_dir.h"
#include "graphics/3dfx.h"
#include "support/recording_glide.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

namespace {

void mix(uint64_t &h, const void *data, size_t n)
{
    const unsigned char *p = (const unsigned char *)data;
    for (size_t i = 0; i < n; i++) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
}

// FNV-1a over the logged calls: names, numeric arguments, vertices.
uint64_t hash_log()
{
    uint64_t h = 1469598103934665603ull;
    for (const rec::Call &c : rec::calls()) {
        mix(h, c.name.data(), c.name.size());
        for (double a : c.args)
            mix(h, &a, sizeof a);
        for (const GrVertex &v : c.verts)
            mix(h, &v, sizeof v);
    }
    return h;
}

class GoldenCalls : public testing::Test {
protected:
    static std::unique_ptr<showtest::GfxDir> dir;
    std::map<long, uint8_t> sync_after;  // swap number -> sync value sent after it
    std::map<long, uint64_t> hashes;     // swap number -> hash of that frame's calls

    static void SetUpTestSuite() { dir = std::make_unique<showtest::GfxDir>(); }
    static void TearDownTestSuite() { dir.reset(); }
    void SetUp() override
    {
        rec::reset();
        set_sync_value(0);
        CreateTarget(512, 384);
        ASSERT_EQ(init_glide(512, 384), 1);
        rec::clear_calls();
        rec::on_swap([this](long n) {
            auto h = hashes.find(n);
            if (h != hashes.end())
                h->second = hash_log();
            rec::clear_calls();
            // Only the frames asked for are logged in full.
            rec::board().log_calls = hashes.count(n + 1) > 0;
            auto s = sync_after.find(n);
            if (s != sync_after.end())
                set_sync_value(s->second);
        });
    }
    void TearDown() override
    {
        rec::reset();
        set_sync_value(0);
    }
    void ask(std::initializer_list<long> frames)
    {
        for (long f : frames)
            hashes[f] = 0;
        rec::board().log_calls = hashes.count(1) > 0;
    }
    void expect(const std::map<long, uint64_t> &want)
    {
        for (const auto &[f, h] : hashes) {
            auto w = want.find(f);
            ASSERT_NE(w, want.end());
            EXPECT_EQ(h, w->second) << "frame " << f << ": now 0x" << std::hex << h;
        }
    }
};

std::unique_ptr<showtest::GfxDir> GoldenCalls::dir;

TEST_F(GoldenCalls, Effect1)
{
    ASSERT_EQ(init_effekt1(512, 384), 1);
    sync_after = {{3, 1}, {240, 3}};
    ask({1, 3, 4, 5, 60, 100, 230, 300, 368});
    effekt1();
    close_effekt1();
    EXPECT_EQ(rec::swaps(), 3 + 237 + 128);
    expect({{1, 0xad74f82b042bda39ull},
            {3, 0x3af5133616f51757ull},
            {4, 0x622ece7781dbad77ull},
            {5, 0x58216f112ad0538eull},
            {60, 0xcf1b20ef16430907ull},
            {100, 0x61831a9a5bd1a7bcull},
            {230, 0x721a62f79a1235dbull},
            {300, 0xdb2ed872878bbfe0ull},
            {368, 0xb70ea54196f1e36full}});
}

TEST_F(GoldenCalls, Effect2)
{
    ASSERT_EQ(init_effekt2(512, 384), 1);
    sync_after = {{4, 5}, {60, 4}};
    ask({1, 4, 5, 30, 60, 61, 92});
    effekt2();
    close_effekt2();
    EXPECT_EQ(rec::swaps(), 4 + 56 + 32);
    expect({{1, 0xb2e20d8815f6d5d1ull},
            {4, 0xb9d61578358a7672ull},
            {5, 0x27054f3f66ba68b7ull},
            {30, 0x25f83a325d0a0f0full},
            {60, 0x3677b5d278751b2bull},
            {61, 0xa46ed69189f10f44ull},
            {92, 0x35e8143277e01f12ull}});
}

TEST_F(GoldenCalls, Effect3)
{
    ASSERT_EQ(init_effekt3(512, 384), 1);
    ask({1, 2, 150, 301, 302, 451, 700, 800});
    effekt3();
    close_effekt3();
    EXPECT_EQ(rec::swaps(), 800);
    expect({{1, 0x2c69de24fc930382ull},
            {2, 0xa080ece9625fa9e9ull},
            {150, 0xc0dbe204040fceeull},
            {301, 0x31ca4d29d727d4ceull},
            {302, 0xf6bb6ee643eaf7e2ull},
            {451, 0xea3d58a4c114be3bull},
            {700, 0x75d52843ece4044ull},
            {800, 0x8c1a17136390c241ull}});
}

}  // namespace
