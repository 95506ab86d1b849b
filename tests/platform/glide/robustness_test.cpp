// Vertices and arguments outside anything sensible: nothing may crash or
// write outside the buffers (the sanitizer builds check the latter).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "random_scene.h"

using namespace glide_test;

namespace {

TEST(Robustness, ExtremeVertexValuesDrawSafely) {
    openScreen();
    SceneTextures tx;
    uploadSceneTextures(tx, 5);
    drawRandomScene(tx, 5, 10, 320, 240);  // leaves a textured, blended state
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 1e30f, -1e30f, 0.0f, -0.0f, 1e-30f,
                              2047.9f, -2048.0f, 4096.5f, 786432.0f + 100.0f, 65535.0f, 1e6f};
    std::mt19937 rng(11);
    auto any = [&] { return specials[rng() % std::size(specials)]; };
    for (int n = 0; n < 3000; ++n) {
        GrVertex v[3];
        for (GrVertex &p : v) {
            p = vtx(static_cast<float>(rng() % 400) - 40, static_cast<float>(rng() % 300) - 30);
            float *f = &p.x;
            // Replace a few of the fifteen floats with special values.
            for (int k = 0; k < 3; ++k) f[rng() % 15] = any();
        }
        if (n % 300 == 0) {
            grTexLodBiasValue(GR_TMU0, any());
            grTexLodBiasValue(GR_TMU1, any());
            grDepthBiasLevel(static_cast<FxI32>(rng()));
            grClipWindow(rng() % 400, rng() % 400, rng() % 400, rng() % 400);
        }
        grDrawTriangle(&v[0], &v[1], &v[2]);
    }
    const int idx[3] = {0, 1, 2};
    GrVertex poly[3] = {vtx(1, 1), vtx(50, 1), vtx(1, 50)};
    grDrawPolygon(3, idx, poly);
    grDrawPolygon(2, idx, poly);  // too few vertices: nothing
    grDrawPolygon(3, nullptr, poly);
    grDrawTriangle(nullptr, &poly[0], &poly[1]);
    grBufferSwap(1);
    ASSERT_NE(glide::frontBuffer(), nullptr);
    closeScreen();
}

TEST(Robustness, CallsWithoutAnOpenScreenDoNothing) {
    GrVertex a = vtx(0, 0), b = vtx(10, 0), c = vtx(0, 10);
    grDrawTriangle(&a, &b, &c);
    grBufferClear(0, 0, 0);
    grBufferSwap(1);
    EXPECT_EQ(glide::backBuffer(), nullptr);
    EXPECT_EQ(glide::screenWidth(), 0);
    // An unknown resolution is refused.
    grGlideInit();
    EXPECT_FALSE(grSstWinOpen(0, 0x40, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_UPPER_LEFT, 2, 1));
    EXPECT_EQ(glide::backBuffer(), nullptr);
    grGlideShutdown();
}

}  // namespace
