// The metaball surface pass: ball paths, clipping, projection and the
// full-screen picture.
#include "effects/metapass.h"

#include "demo/clipplanes.h"
#include "demo/globals.h"
#include "support/recording_glide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

clip_vertex cv(float x, float y, float z, float s = 0, float t = 0)
{
    clip_vertex v{};
    v.f[CLIP_X] = x;
    v.f[CLIP_Y] = y;
    v.f[CLIP_Z] = z;
    v.f[CLIP_S] = s;
    v.f[CLIP_T] = t;
    return v;
}

class MetaPass : public testing::Test {
protected:
    meta_screen screen{};
    clip_polygon cp{}, work{};
    void SetUp() override
    {
        rec::reset();
        CreateTarget(640, 480);
        init_meta_screen(&screen, 640, 480);
    }
    void TearDown() override { rec::reset(); }
    int clip(std::initializer_list<clip_vertex> vs)
    {
        cp.n = 0;
        for (const clip_vertex &v : vs)
            cp.v[cp.n++] = v;
        return clip_to_view(&cp, &work);
    }
    // Where the projection puts a view-space point.
    GrVertex project(const clip_vertex &v)
    {
        GrVertex g{};
        project_vertex(&screen, &v, &g, nullptr);
        return g;
    }
};

TEST_F(MetaPass, BallPathsStartTogetherAndStayInTheGrid)
{
    boll balls[8];
    move_bollar(0.0f, 8, balls);
    for (const boll &b : balls) {
        EXPECT_EQ(b.x, 0.0f);
        EXPECT_EQ(b.y, 0.0f);
        EXPECT_EQ(b.z, 3.0f);
    }
    move_bollar(1.5f, 8, balls);
    EXPECT_FLOAT_EQ(balls[0].x, (float)(7 * std::sin(1.5)));
    EXPECT_FLOAT_EQ(balls[1].y, (float)(7 * std::sin(1.5 * 1.5)));
    EXPECT_FLOAT_EQ(balls[6].z, (float)(7 * std::sin(2.3 * 1.5) + 3));
    for (float t = 0; t < 200; t += 0.37f) {
        move_bollar(t, 8, balls);
        for (const boll &b : balls) {
            EXPECT_LE(std::fabs(b.x), 7.0f);
            EXPECT_LE(std::fabs(b.y), 7.0f);
            EXPECT_GE(b.z, -4.0f);
            EXPECT_LE(b.z, 10.0f);
        }
    }
}

TEST_F(MetaPass, ProjectionAt640x480)
{
    const GrVertex g = project(cv(2, -1, 20, 500 * 0.1f + 128, 500 * -0.1f + 128));
    EXPECT_FLOAT_EQ(g.x, 384.0f);
    EXPECT_FLOAT_EQ(g.y, 208.0f);
    EXPECT_FLOAT_EQ(g.oow, 0.05f);
    EXPECT_FLOAT_EQ(g.tmuvtx[0].sow, 178.0f * 0.05f);
    EXPECT_FLOAT_EQ(g.tmuvtx[0].tow, 78.0f * 0.05f);
    EXPECT_EQ(g.tmuvtx[1].sow, 0.0f);  // the second unit's block is not written
    const GrVertex centre = project(cv(0, 0, 20));
    EXPECT_FLOAT_EQ(centre.x, 320.0f);
    EXPECT_FLOAT_EQ(centre.y, 240.0f);
}

TEST_F(MetaPass, ClipperKeepsInsideDropsOutside)
{
    // Wholly inside: the three vertices come back unchanged.
    ASSERT_EQ(clip({cv(0, 0, 20, 1, 2), cv(1, 0, 20, 3, 4), cv(0, 1, 20, 5, 6)}), 3);
    EXPECT_EQ(cp.v[1].f[CLIP_X], 1.0f);
    EXPECT_EQ(cp.v[2].f[CLIP_T], 6.0f);
    // Wholly beyond the right plane: nothing.
    EXPECT_EQ(clip({cv(30, 0, 20), cv(31, 0, 20), cv(30, 1, 20)}), 0);
    // Behind the eye: outside every side plane.
    EXPECT_EQ(clip({cv(0, 0, -5), cv(1, 0, -5), cv(0, 1, -5)}), 0);
}

TEST_F(MetaPass, PointOnAPlaneCountsAsInside)
{
    // The left plane's normal is (XpAngS, 0, XpAngC): the point
    // (-XpAngC, 0, XpAngS) lies exactly on it.
    const float x = -XpAngC, z = XpAngS;
    const double d = (double)XpAngS * x + (double)XpAngC * z;
    ASSERT_EQ(d, 0.0) << "the test point must be exactly on the plane";
    ASSERT_EQ(clip({cv(x, 0, z), cv(0, 0.5f, 10), cv(0, -0.5f, 10)}), 3);
    EXPECT_EQ(cp.v[0].f[CLIP_X], x);
}

TEST_F(MetaPass, CornerCrossingGivesFiveVertices)
{
    // A triangle poking out past the top-right corner of the view.
    const int k = clip({cv(0, 0, 20), cv(12, 0, 20), cv(0, -12, 20)});
    ASSERT_EQ(k, 5);
    for (int i = 0; i < k; i++) {
        const GrVertex g = project(cp.v[i]);
        EXPECT_GE(g.x, 1.0f - 1e-3f);
        EXPECT_LE(g.x, 639.0f + 1e-3f);
        EXPECT_GE(g.y, 0.5f - 1e-3f);
        EXPECT_LE(g.y, 479.5f + 1e-3f);
    }
    // Texture coordinates are interpolated along with the position.
    ASSERT_EQ(clip({cv(0, 0, 20, 0, 0), cv(40, 0, 20, 40, 0), cv(0, 1, 20, 0, 0)}), 4);
    for (int i = 0; i < 4; i++)
        EXPECT_FLOAT_EQ(cp.v[i].f[CLIP_S], cp.v[i].f[CLIP_X]);
}

TEST_F(MetaPass, ClippedTrianglesStayOnScreenWithAtMostSevenVertices)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> xy(-40.0f, 40.0f), z(11.0f, 30.0f);
    int max_k = 0;
    for (int trial = 0; trial < 2000; trial++) {
        const int k = clip({cv(xy(rng), xy(rng), z(rng)), cv(xy(rng), xy(rng), z(rng)), cv(xy(rng), xy(rng), z(rng))});
        ASSERT_LE(k, 7);
        max_k = std::max(max_k, k);
        for (int i = 0; i < k; i++) {
            const GrVertex g = project(cp.v[i]);
            ASSERT_GE(g.x, 1.0f - 1e-2f);
            ASSERT_LE(g.x, 639.0f + 1e-2f);
            ASSERT_GE(g.y, 0.5f - 1e-2f);
            ASSERT_LE(g.y, 479.5f + 1e-2f);
        }
    }
    EXPECT_GE(max_k, 6);  // the random triangles did reach the many-cut cases
}

TEST_F(MetaPass, DrawsClippedPolygonsWithShade)
{
    poly tris[2] = {};
    // Grid (0,0,0)..: inside the view.
    tris[0].v[0] = {0, 0, 0, 0.1f, -0.1f, 0};
    tris[0].v[1] = {1, 0, 0, 0, 0, 0};
    tris[0].v[2] = {0, 1, 0, 0, 0, 0};
    // Far to the left: clipped away.
    tris[1].v[0] = {-100, 0, 0, 0, 0, 0};
    tris[1].v[1] = {-101, 0, 0, 0, 0, 0};
    tris[1].v[2] = {-100, 1, 0, 0, 0, 0};
    const float shade = 99.0f;
    draw_meta_triangles(&screen, tris, 2, &shade);
    ASSERT_EQ(rec::trace(), (Trace{"grDrawPolygon(3)"}));
    const std::vector<GrVertex> &v = rec::calls()[0].verts;
    EXPECT_FLOAT_EQ(v[0].x, 320.0f);
    EXPECT_FLOAT_EQ(v[0].y, 240.0f);
    EXPECT_FLOAT_EQ(v[0].tmuvtx[0].sow, 178.0f / 20.0f);
    EXPECT_FLOAT_EQ(v[0].tmuvtx[0].tow, 78.0f / 20.0f);
    EXPECT_FLOAT_EQ(v[1].x, 320.0f + 32.0f);
    EXPECT_FLOAT_EQ(v[2].y, 240.0f + 32.0f);
    for (const GrVertex &g : v)
        EXPECT_EQ(g.r, 99.0f);

    // Without a shade the colours are left as they were.
    rec::clear_calls();
    screen.GlVerts[0].r = 5.0f;
    draw_meta_triangles(&screen, tris, 1, nullptr);
    EXPECT_EQ(rec::calls()[0].verts[0].r, 5.0f);
}

TEST_F(MetaPass, FullScreenPictureSequence)
{
    X_Y_TEX pic{};
    pic.tmu = 1;
    pic.start = 0x1000;
    draw_fullscreen_pic(&screen, &pic, 123.0f);
    EXPECT_EQ(rec::trace(), (Trace{"grTexSource(1,4096,3)", "grTexCombine(0,3,8,3,8,0,0)",
                                   "grTexCombine(1,1,0,1,0,0,0)", "grAlphaBlendFunction(4,4,0,0)",
                                   "grColorCombine(3,1,0,1,0)", "grCullMode(1)", "grDepthBufferFunction(7)",
                                   "grDrawTriangle()", "grDrawTriangle()", "grAlphaBlendFunction(4,0,0,0)",
                                   "grColorCombine(3,8,1,1,0)"}));
    const std::vector<GrVertex> &a = rec::calls()[7].verts, &b = rec::calls()[8].verts;
    // V0 top left (t 255), V1 top right, V2 bottom right (t 0), V3 bottom left.
    EXPECT_EQ(a[0].x, 0.0f);
    EXPECT_EQ(a[0].tmuvtx[0].tow, 255.0f);
    EXPECT_EQ(a[1].x, 640.0f);
    EXPECT_EQ(a[1].tmuvtx[1].sow, 255.0f);
    EXPECT_EQ(a[2].y, 480.0f);
    EXPECT_EQ(a[2].tmuvtx[0].tow, 0.0f);
    EXPECT_EQ(b[1].x, 0.0f);
    EXPECT_EQ(b[1].y, 480.0f);
    EXPECT_EQ(b[2].x, 0.0f);
    EXPECT_EQ(b[2].y, 0.0f);
    for (const GrVertex &g : a) {
        EXPECT_EQ(g.r, 123.0f);
        EXPECT_EQ(g.oow, 1.0f);
        EXPECT_EQ(g.z, 1.0f);
    }
}

TEST_F(MetaPass, FirstFrameSurfaceAroundTheCoincidentBalls)
{
    meta_surface s;
    ASSERT_EQ(meta_surface_start(&s, 0.8f), 1);
    move_bollar(0.0f, 6, s.balls);
    const int n = meta_field_update(&s, 6);
    ASSERT_GT(n, 100);
    // Six balls on one grid point: a sphere of radius 6 / 0.8 = 7.5 around
    // (0, 0, 3), cut by the grid's ends.
    for (int p = 0; p < n; p++)
        for (const poly_vertex &v : s.buffer[p].v) {
            const float r = std::sqrt(v.x * v.x + v.y * v.y + (v.z - 3) * (v.z - 3));
            EXPECT_NEAR(r, 7.5f, 0.3f);
            EXPECT_TRUE(std::isfinite(v.nx) && std::isfinite(v.ny));
        }
    meta_surface_end(&s);
}

}  // namespace
