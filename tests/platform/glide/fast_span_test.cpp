// The fast span loops' shortcuts against the reference rasteriser, at every
// vector level: spans of constant 1/w that reuse one reciprocal and cache
// bilinear footprints or go eight pixels at a time,
// reciprocals formed a pixel ahead where 1/w crosses zero, and the
// coordinate floor's in-range shortcut.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "glide_test_util.h"
#include "platform/glide/glide_ext.h"
#include "platform/glide/texture.h"

using namespace glide_test;

namespace {

TEST(CoordinateFloor, MatchesFloorAroundIntegersSignsAndTheLimits) {
    constexpr double lim = 1073741824.0;
    const double values[] = {0.0,      -0.0,        0.25,         0.999999999,  1.0,     1.0000001,
                             -0.25,    -0.999999,   -1.0,         -1.0000001,   -2.5,    12345.75,
                             -12345.75, lim - 0.5,  lim,          lim + 0.5,    2 * lim, -lim + 0.5,
                             -lim,     -lim - 0.5,  -3 * lim,     1e300,        -1e300};
    for (double v : values) {
        const double expected = std::floor(std::min(std::max(v, -lim), lim));
        EXPECT_EQ(glide::floorCoord(v), static_cast<int32_t>(expected)) << v;
    }
}

// Renders the same triangles with the reference rasteriser and with the
// fast one (2 threads) at every vector level the processor has, and counts
// the pixels or depth values that differ.
template <typename Draw>
int differingPixels(Draw draw) {
    const size_t n = static_cast<size_t>(glide::screenWidth()) * glide::screenHeight();
    const int best = glide::setVectorLevel(2);
    std::vector<uint16_t> colour[2], depth[2];
    int differing = 0;
    for (int level = -1; level <= best; ++level) {
        const int pass = level < 0 ? 0 : 1;
        glide::setReferenceRaster(level < 0);
        glide::setVectorLevel(level);
        glide::setThreadCount(pass == 0 ? 1 : 2);
        grBufferClear(0x00203040, 0, GR_WDEPTHVALUE_FARTHEST);
        draw();
        grBufferSwap(0);
        colour[pass].assign(glide::frontBuffer(), glide::frontBuffer() + n);
        depth[pass].assign(glide::depthBuffer(), glide::depthBuffer() + n);
        if (pass == 1) {
            for (size_t i = 0; i < n; ++i) differing += colour[0][i] != colour[1][i] || depth[0][i] != depth[1][i];
        }
    }
    glide::setReferenceRaster(false);
    glide::setVectorLevel(best);
    return differing;
}

// The show's trilinear set-up: the even levels on unit 0, the odd on unit 1,
// blended by the LOD fraction and modulated by the iterated colour.
struct TrilinearScene : ::testing::Test {
    std::vector<uint16_t> chain;
    GrTexInfo info{};
    void SetUp() override {
        openScreen(GR_RESOLUTION_320x240, true);
        std::mt19937 rng(7);
        chain.resize(87381);
        for (auto &t : chain) t = static_cast<uint16_t>(rng());
        info = {GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, chain.data()};
        grTexDownloadMipMap(GR_TMU0, 0x200000, GR_MIPMAPLEVELMASK_EVEN, &info);
        grTexDownloadMipMap(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &info);
        grTexSource(GR_TMU0, 0x200000, GR_MIPMAPLEVELMASK_EVEN, &info);
        grTexSource(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &info);
        grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_LOD_FRACTION, GR_COMBINE_FUNCTION_BLEND,
                     GR_COMBINE_FACTOR_LOD_FRACTION, 0, 0);
        grTexCombine(GR_TMU1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                     GR_COMBINE_FACTOR_ZERO, 0, 0);
        grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                       GR_COMBINE_OTHER_TEXTURE, 0);
        grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
        grDepthMask(1);
        grDepthBufferFunction(GR_CMP_LESS);
    }
    void TearDown() override { closeScreen(); }
    void units(int filter, int clamp) {
        for (GrChipID_t t : {GR_TMU0, GR_TMU1}) {
            grTexFilterMode(t, filter, filter);
            grTexMipMapMode(t, GR_MIPMAP_NEAREST, 1);
            grTexClampMode(t, clamp, clamp);
        }
    }
};

// Constant 1/w across a triangle, other than 1: magnified (footprints shared
// by neighbours, cached), minified, clamped at negative and too-large
// coordinates, wrapped, opaque and additive; the trilinear pair, unit 0
// alone and unit 1 passed through unit 0; texture alone, times the
// iterated colour, and times it plus it again.
TEST_F(TrilinearScene, FlatOneOverWSpansMatchTheReference) {
    for (int setup = 0; setup < 9; ++setup) {
        const int combine = setup / 3;
        grColorCombine(combine == 2 ? GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL : GR_COMBINE_FUNCTION_SCALE_OTHER,
                       combine == 0 ? GR_COMBINE_FACTOR_ONE : GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                       GR_COMBINE_OTHER_TEXTURE, 0);
        const int texSetup = setup % 3;
        const int fn0 = texSetup == 0 ? GR_COMBINE_FUNCTION_BLEND
                        : texSetup == 1 ? GR_COMBINE_FUNCTION_LOCAL : GR_COMBINE_FUNCTION_SCALE_OTHER;
        const int factor0 = texSetup == 0 ? GR_COMBINE_FACTOR_LOD_FRACTION
                            : texSetup == 1 ? GR_COMBINE_FACTOR_ZERO : GR_COMBINE_FACTOR_ONE;
        grTexCombine(GR_TMU0, fn0, factor0, fn0, factor0, 0, 0);
        for (int clamp : {GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_CLAMP}) {
            for (int filter : {GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_POINT_SAMPLED}) {
                units(filter, clamp);
                const int differing = differingPixels([] {
                    const float oows[] = {0.37f, 1.0f, 2.5f, 0.013f};
                    const float spans[] = {40.0f, 700.0f, 3000.0f};
                    int k = 0;
                    for (float oow : oows) {
                        for (float span : spans) {
                            const float x = static_cast<float>(k % 4) * 80, y = static_cast<float>(k / 4) * 80;
                            grAlphaBlendFunction(GR_BLEND_ONE, k % 2 ? GR_BLEND_ONE : GR_BLEND_ZERO, GR_BLEND_ZERO,
                                                 GR_BLEND_ZERO);
                            const GrVertex a = vtx(x + 1, y + 2, 200, 150, 90, oow, -span / 3, -20);
                            const GrVertex b = vtx(x + 79, y + 5, 200, 150, 90, oow, span, 10);
                            const GrVertex c = vtx(x + 20, y + 77, 200, 150, 90, oow, 30, span);
                            grDrawTriangle(&a, &b, &c);
                            ++k;
                        }
                    }
                });
                EXPECT_EQ(differing, 0) << "set-up " << setup << " filter " << filter << " clamp " << clamp;
            }
        }
    }
}

// Every depth function and both depth-mask settings on flat spans: a
// nearer and a farther triangle (1/w 1 and 0.37), then one at the same depth
// as the first, so that each comparison both passes and fails somewhere.
TEST_F(TrilinearScene, FlatSpansHonourEveryDepthFunction) {
    units(GR_TEXTUREFILTER_BILINEAR, GR_TEXTURECLAMP_WRAP);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    for (int func = GR_CMP_NEVER; func <= GR_CMP_ALWAYS; ++func) {
        for (int mask = 0; mask < 2; ++mask) {
            const int differing = differingPixels([&] {
                grDepthBufferFunction(GR_CMP_ALWAYS);
                grDepthMask(1);
                const GrVertex a = vtx(10, 10, 200, 150, 90, 0.37f, 0, 0), b = vtx(200, 30, 200, 150, 90, 0.37f, 90, 0),
                               c = vtx(40, 200, 200, 150, 90, 0.37f, 0, 90);
                grDrawTriangle(&a, &b, &c);
                grDepthBufferFunction(func);
                grDepthMask(mask);
                for (float shift : {30.0f, 60.0f}) {
                    const GrVertex d = vtx(shift, 20, 90, 200, 40, 1.0f, 10, 10),
                                   e = vtx(shift + 220, 60, 90, 200, 40, 1.0f, 300, 10),
                                   f = vtx(shift + 20, 230, 90, 200, 40, 1.0f, 10, 300);
                    grDrawTriangle(&d, &e, &f);
                }
            });
            EXPECT_EQ(differing, 0) << "function " << func << " mask " << mask;
        }
    }
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(1);
}

// 1/w varying across small and large triangles, including ones where it
// reaches zero or below inside the triangle (no texture behind the eye),
// drawn over each other with the depth test; then again with the LOD
// dithered per pixel; then with texels about a pixel wide, clamped, and
// bilinear when magnified but point-sampled when minified, so that the
// pixels of one row differ in filter as well as in level.
TEST_F(TrilinearScene, VaryingAndSignChangingOneOverWMatchTheReference) {
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    for (int pass = 0; pass < 3; ++pass) {
        const bool lodDither = pass == 1, mixed = pass == 2;
        units(GR_TEXTUREFILTER_BILINEAR, mixed ? GR_TEXTURECLAMP_CLAMP : GR_TEXTURECLAMP_WRAP);
        grHints(GR_HINT_ALLOW_MIPMAP_DITHER, static_cast<FxU32>(lodDither));
        for (GrChipID_t t : {GR_TMU0, GR_TMU1}) {
            grTexMipMapMode(t, lodDither ? GR_MIPMAP_NEAREST_DITHER : GR_MIPMAP_NEAREST, 1);
            if (mixed) grTexFilterMode(t, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_BILINEAR);
        }
        const float texels = mixed ? 20.0f : 300.0f;
        const int differing = differingPixels([texels] {
            std::mt19937 rng(11);
            auto real = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
            for (int n = 0; n < 400; ++n) {
                const float cx = real(0, 320), cy = real(0, 240), r = n % 10 == 0 ? 60.0f : real(4, 16);
                const bool crossing = n % 7 == 0;
                GrVertex v[3];
                for (int k = 0; k < 3; ++k) {
                    const float ang = real(0, 6.283f);
                    const float oow = crossing && k == 0 ? real(-0.2f, 0.0f) : 1.0f / real(1.5f, 25.0f);
                    v[k] = vtx(cx + r * std::cos(ang), cy + r * std::sin(ang), 180, 180, 180, oow,
                               real(-texels, texels), real(-texels, texels));
                }
                grDrawTriangle(&v[0], &v[1], &v[2]);
            }
        });
        EXPECT_EQ(differing, 0) << "pass " << pass;
    }
    grHints(GR_HINT_ALLOW_MIPMAP_DITHER, 0);
}

}  // namespace
