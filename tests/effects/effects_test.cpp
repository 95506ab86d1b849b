// Frame schedules of the three effects against the recording Glide, with
// synthetic pictures in a temporary working directory.
#include "effects/effekt1.h"
#include "effects/effekt2.h"
#include "effects/effekt3.h"

#include "demo/clipplanes.h"
#include "demo/globals.h"
#include "effects/gfx_dir.h"
#include "graphics/3dfx.h"
#include "graphics/tga.h"
#include "support/recording_glide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

// What one frame drew, gathered at its swap.
struct Frame {
    long triangles = 0;  // grDrawTriangle calls and fan triangles
    long polygons = 0;
    long clears = 0;
    Trace trace;                    // state calls of the frame (draw calls left out)
    std::vector<float> pic_shades;  // colour of the first vertex of each picture quad
    float first_polygon_r = -1;     // colour of the frame's first surface polygon
    bool finite = true;             // every logged triangle vertex finite
};

class Schedule : public testing::Test {
protected:
    static std::unique_ptr<showtest::GfxDir> dir;
    static void SetUpTestSuite() { dir = std::make_unique<showtest::GfxDir>(); }
    static void TearDownTestSuite() { dir.reset(); }

    std::vector<Frame> frames;
    std::map<long, uint8_t> sync_at;  // swap number -> value sent after it
    long last_triangles = 0, last_polygons = 0, last_clears = 0;

    void SetUp() override
    {
        rec::reset();
        set_sync_value(0);
        CreateTarget(640, 480);
        ASSERT_EQ(init_glide(640, 480), 1);
        rec::clear_calls();
        rec::on_swap([this](long n) { end_frame(n); });
    }
    void TearDown() override
    {
        rec::reset();
        set_sync_value(0);
    }

    void end_frame(long n)
    {
        Frame f;
        f.triangles = rec::triangles() - last_triangles;
        f.polygons = rec::polygons() - last_polygons;
        f.clears = rec::clears() - last_clears;
        last_triangles = rec::triangles();
        last_polygons = rec::polygons();
        last_clears = rec::clears();
        bool in_picture = false;
        for (const rec::Call &c : rec::calls()) {
            if (c.name == "grDrawPolygon") {
                if (f.first_polygon_r < 0 && !c.verts.empty())
                    f.first_polygon_r = c.verts[0].r;
                continue;
            }
            if (c.name == "grDrawTriangle") {
                for (const GrVertex &v : c.verts)
                    for (float x : {v.x, v.y, v.r, v.g, v.b, v.oow, v.tmuvtx[0].sow, v.tmuvtx[0].tow})
                        f.finite = f.finite && std::isfinite(x);
                if (in_picture && !c.verts.empty())
                    f.pic_shades.push_back(c.verts[0].r);
                in_picture = false;
                continue;
            }
            if (c.name == "grAlphaBlendFunction" && rec::str(c) == "grAlphaBlendFunction(4,4,0,0)")
                in_picture = true;
            f.trace.push_back(rec::str(c));
        }
        frames.push_back(std::move(f));
        rec::clear_calls();
        auto it = sync_at.find(n);
        if (it != sync_at.end())
            set_sync_value(it->second);
        ASSERT_LT(n, 5000) << "the effect does not end";
    }
};

std::unique_ptr<showtest::GfxDir> Schedule::dir;

TEST_F(Schedule, Effect1PhasesFollowTheMusic)
{
    ASSERT_EQ(init_effekt1(640, 480), 1);
    const long ripple = 5, tunnel = 240;
    sync_at[ripple] = 1;
    sync_at[ripple + tunnel] = 3;
    effekt1();
    close_effekt1();

    ASSERT_EQ((long)frames.size(), ripple + tunnel + 128);
    // Ripple: the mesh, no clear; the overlay is still below 0 (position
    // -10 + 0.05 per frame).
    for (long f = 0; f < ripple; f++) {
        EXPECT_EQ(frames[f].triangles, 2400);
        EXPECT_EQ(frames[f].clears, 0);
    }
    // Tunnel: the first frame without the ripple layer, then the layer for
    // frames 2 to 67 (fade below 20), then the zooming picture for 149
    // frames (two more triangles each), then the tunnel alone.
    const Frame *t = &frames[ripple];
    EXPECT_EQ(t[0].triangles, 2400);
    EXPECT_EQ(t[0].clears, 1);
    for (int f = 1; f < 67; f++)
        EXPECT_EQ(t[f].triangles, 4800) << "tunnel frame " << f;
    for (int f = 67; f < 67 + 149; f++)
        EXPECT_EQ(t[f].triangles, 2402) << "tunnel frame " << f;
    for (long f = 67 + 149; f < tunnel; f++)
        EXPECT_EQ(t[f].triangles, 2400) << "tunnel frame " << f;
    // Fade-out: 128 frames without clear, then the effect returns.
    for (long f = ripple + tunnel; f < (long)frames.size(); f++) {
        EXPECT_EQ(frames[f].triangles, 2400);
        EXPECT_EQ(frames[f].clears, 0);
    }
    // Every vertex of every frame is finite, the tunnel's centre ray (a ray
    // down the axis of the fixed camera) included.
    for (size_t f = 0; f < frames.size(); f++)
        EXPECT_TRUE(frames[f].finite) << "frame " << f;
    // The render state left behind: opaque blending, Gouraud colour.
    const Trace &last = frames.back().trace;
    EXPECT_EQ(last[last.size() - 2], "grColorCombine(3,1,0,1,0)");
    EXPECT_NE(std::find(last.begin(), last.end(), "grAlphaBlendFunction(4,0,0,0)"), last.end());
    // Before the first frame: the three pictures split over both units (six
    // downloads) and the always-pass depth test.
    const Trace &start = frames.front().trace;
    EXPECT_EQ(std::count_if(start.begin(), start.end(),
                            [](const std::string &c) { return c.rfind("grTexDownloadMipMap(", 0) == 0; }),
              6);
    EXPECT_NE(std::find(start.begin(), start.end(), "grDepthBufferFunction(7)"), start.end());
}

TEST_F(Schedule, Effect1SyncAlreadySetEndsRippleAfterOneFrame)
{
    ASSERT_EQ(init_effekt1(512, 384), 1);
    rec::board().log_triangles = false;
    set_sync_value(1);
    sync_at[3] = 3;
    effekt1();
    close_effekt1();
    ASSERT_EQ(frames.size(), 1u + 2u + 128u);
    EXPECT_EQ(frames[0].clears, 0);
    EXPECT_EQ(frames[1].clears, 1);
}

// Vertices of the first grDrawTriangle in the log.
const std::vector<GrVertex> &first_triangle()
{
    static const std::vector<GrVertex> none;
    for (const rec::Call &c : rec::calls())
        if (c.name == "grDrawTriangle")
            return c.verts;
    return none;
}

TEST_F(Schedule, Effect1OverlayPictures)
{
    ASSERT_EQ(init_effekt1(640, 480), 1);
    for (float p : {0.0f, 30.0f, -100.0f, -50.0f, -0.5f, 30.5f}) {
        rec::clear_calls();
        draw_pics(p);
        EXPECT_EQ(rec::count("grDrawTriangle"), 0) << "position " << p;
    }
    // Between 0 and 30: the full-screen picture, fading in, full, fading out.
    const std::pair<float, float> shades[] = {{4.0f, 100.0f}, {15.0f, 255.0f}, {26.0f, 100.0f}};
    for (const auto &[p, shade] : shades) {
        rec::clear_calls();
        draw_pics(p);
        ASSERT_EQ(rec::count("grDrawTriangle"), 2);
        const std::vector<GrVertex> &v = first_triangle();
        ASSERT_EQ(v.size(), 3u);
        EXPECT_EQ(v[0].r, shade) << "position " << p;
        EXPECT_EQ(v[1].x, 640.0f);
        EXPECT_EQ(v[0].tmuvtx[0].tow, 255.0f);  // the top edge shows t = 255
    }
    // Below -100: the second picture, centred, shrinking as the position grows.
    rec::clear_calls();
    draw_pics(-9999.0f);  // m = 2
    ASSERT_EQ(rec::count("grDrawTriangle"), 2);
    const std::vector<GrVertex> &v = first_triangle();
    EXPECT_FLOAT_EQ(v[0].x, 320.0f - 160.0f);
    EXPECT_FLOAT_EQ(v[0].y, 240.0f - 120.0f);
    EXPECT_FLOAT_EQ(v[2].x, 320.0f + 160.0f);
    EXPECT_FLOAT_EQ(v[0].z, 2.0f);
    close_effekt1();
}

TEST_F(Schedule, Effect2ScenesAndFade)
{
    ASSERT_EQ(init_effekt2(640, 480), 1);
    sync_at[2] = 4;  // sent early: does not shorten scene 2
    sync_at[3] = 5;
    sync_at[3 + 60] = 4;
    effekt2();
    close_effekt2();

    ASSERT_EQ(frames.size(), 3u + 60u + 32u);
    for (const Frame &f : frames) {
        EXPECT_EQ(f.clears, 1);
        EXPECT_GT(f.polygons, 50);
    }
    // Scene 1: the surface alone.
    EXPECT_TRUE(frames[0].pic_shades.empty());
    EXPECT_EQ(frames[1].trace, (Trace{"grBufferClear(0,0,65535)", "grColorCombine(3,8,1,1,0)",
                                      "grTexCombine(0,7,5,7,5,0,0)", "grTexCombine(1,1,0,1,0,0,0)",
                                      "grTexSource(0,0,1)", "grTexSource(1,0,2)", "grBufferSwap(1)"}));
    // Scene 2: brightness 0, 5, ... 245, then 255.
    const Frame *s2 = &frames[3];
    for (int c = 0; c < 60; c++) {
        ASSERT_EQ(s2[c].pic_shades.size(), 1u);
        EXPECT_EQ(s2[c].pic_shades[0], c < 50 ? 5.0f * c : 255.0f) << "scene 2 frame " << c;
    }
    EXPECT_EQ(s2[1].trace[1], "grColorCombine(3,8,1,1,0)");
    EXPECT_EQ(s2[1].trace[2], "grCullMode(2)");
    EXPECT_EQ(s2[1].trace[3], "grDepthBufferFunction(1)");
    // Scene 3: 32 frames shaded 255, 247, ... 7, with Gouraud colour.
    const Frame *s3 = &frames[63];
    for (int c = 0; c < 32; c++) {
        EXPECT_TRUE(s3[c].pic_shades.empty());
        EXPECT_EQ(s3[c].first_polygon_r, 255.0f - 8.0f * c);
        EXPECT_EQ(s3[c].trace[1], "grColorCombine(3,1,0,1,0)");
    }
    EXPECT_EQ(s3[31].first_polygon_r, 7.0f);
}

TEST_F(Schedule, Effect2SyncAlreadySetEndsSceneOneAfterOneFrame)
{
    ASSERT_EQ(init_effekt2(800, 600), 1);
    rec::board().log_polygons = false;
    set_sync_value(5);
    sync_at[4] = 4;
    effekt2();
    close_effekt2();
    ASSERT_EQ(frames.size(), 1u + 3u + 32u);
    EXPECT_EQ(frames[0].pic_shades.size(), 0u);
}

TEST_F(Schedule, Effect3DrawsEightHundredFramesWithCreditsThenGreetings)
{
    ASSERT_EQ(init_effekt3(640, 480), 1);
    // The surface's polygons are only counted.
    rec::board().log_polygons = false;
    // Sync values do nothing here.
    sync_at[10] = 5;
    sync_at[20] = 4;
    effekt3();

    ASSERT_EQ(frames.size(), 800u);
    // TMU 1 holds the surface's odd levels (34952 bytes), then the
    // greetings (256x256 texels of 2 bytes), then the credits.
    const std::string greets = "grTexSource(1,34952,3)", credits = "grTexSource(1,166024,3)";
    auto shows = [&](int f, const std::string &src) {
        const Trace &tr = frames[f].trace;
        return std::find(tr.begin(), tr.end(), src) != tr.end();
    };
    for (int f = 0; f < 800; f++) {
        const Frame &fr = frames[f];
        EXPECT_EQ(fr.clears, 1);
        EXPECT_GT(fr.polygons, 50);
        if (f < 300) {
            ASSERT_EQ(fr.pic_shades.size(), 1u) << f;
            EXPECT_TRUE(shows(f, credits)) << f;
            EXPECT_FLOAT_EQ(fr.pic_shades[0], effekt3_brightness((float)f));
        } else if (f > 300 && f < 600) {
            ASSERT_EQ(fr.pic_shades.size(), 1u) << f;
            EXPECT_TRUE(shows(f, greets)) << f;
            EXPECT_FLOAT_EQ(fr.pic_shades[0], effekt3_brightness((float)(f - 300)));
        } else {
            EXPECT_TRUE(fr.pic_shades.empty()) << f;
        }
    }
    EXPECT_EQ(frames[0].pic_shades[0], 0.0f);
    EXPECT_NEAR(frames[149].pic_shades[0], 248.3f, 0.05f);
    EXPECT_NEAR(frames[301].pic_shades[0], 1.67f, 0.01f);
    // The second half of each window fades the picture out again.
    EXPECT_NEAR(frames[150].pic_shades[0], 248.3f, 0.05f);
    EXPECT_FLOAT_EQ(frames[299].pic_shades[0], 0.0f);
    EXPECT_GT(frames[200].pic_shades[0], frames[250].pic_shades[0]);
    // Culling and depth test are set once before the loop, never in it.
    const Trace &first = frames[0].trace;
    EXPECT_NE(std::find(first.begin(), first.end(), "grCullMode(2)"), first.end());
    for (size_t f = 1; f < frames.size(); f++)
        for (const std::string &c : frames[f].trace) {
            EXPECT_NE(c, "grCullMode(2)");
            EXPECT_NE(c, "grDepthBufferFunction(1)");
        }
    close_effekt3();
}

TEST(EffectPictures, MissingPictureNamesTheFile)
{
    showtest::GfxDir dir;
    std::filesystem::remove(dir.dir() / "gfx" / "spider.tga");
    EXPECT_EQ(init_effekt2(640, 480), 0);
    EXPECT_EQ(std::string(picture_error()).rfind("gfx/spider.tga: ", 0), 0u) << picture_error();
    showtest::write_tga((dir.dir() / "gfx" / "q52.tga").string(), 1, 1000);
    EXPECT_EQ(init_effekt1(640, 480), 0);
    EXPECT_EQ(std::string(picture_error()).rfind("gfx/q52.tga: too short", 0), 0u) << picture_error();
    EXPECT_EQ(init_effekt3(640, 480), 1);
    close_effekt3();
}

}  // namespace
