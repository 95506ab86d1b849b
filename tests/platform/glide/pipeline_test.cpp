// Colour combine, blending, depth, culling, coverage, clears and swaps of the
// software board, on a headless screen with dithering off.
#include <gtest/gtest.h>

#include <random>

#include "glide_test_util.h"

using namespace glide_test;

namespace {

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override { openScreen(); }
    void TearDown() override { closeScreen(); }

    // A uniform RGB 565 texture of the given texel on unit 0.
    void uniformTexture(uint16_t texel) {
        const uint16_t colours[9] = {texel, texel, texel, texel, texel, texel, texel, texel, texel};
        chain_ = levelChain(colours);
        info_ = chainInfo(chain_);
        textureOnUnit0(info_);
    }
    void flatQuad(float c) { quad(0, 0, 32, 32, 0, 0, 32, 32, c); }

    std::vector<uint16_t> chain_;
    GrTexInfo info_{};
};

// 0x8410 expands to (132, 130, 132).
constexpr uint16_t kGreyTexel = 0x8410;

TEST_F(Pipeline, ColourCombineTextureOnly) {
    uniformTexture(kGreyTexel);
    flatQuad(50);
    EXPECT_EQ(pixel(10, 10), kGreyTexel);
}

TEST_F(Pipeline, ColourCombineTextureScaledByIteratedColour) {
    uniformTexture(kGreyTexel);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, 0);
    flatQuad(127);  // (T * 128) >> 8
    EXPECT_EQ(pixel(10, 10), pack(66, 65, 66));
    flatQuad(255);  // factor 256: the texel itself
    EXPECT_EQ(pixel(10, 10), kGreyTexel);
    flatQuad(0);  // factor 1: (T * 1) >> 8 = 0
    EXPECT_EQ(pixel(10, 10), 0);
}

TEST_F(Pipeline, ColourCombineTextureScaledPlusIteratedSaturates) {
    uniformTexture(kGreyTexel);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, 0);
    flatQuad(100);  // (132 * 101) >> 8 = 52, + 100
    EXPECT_EQ(pixel(10, 10), pack(152, 151, 152));
    flatQuad(200);  // 103 + 200 clamps
    EXPECT_EQ(pixel(10, 10), 0xFFFF);
}

TEST_F(Pipeline, IteratedColoursWrapOutsideTheByteRange) {
    uniformTexture(kGreyTexel);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, 0);
    flatQuad(-50);  // reads 206: (132 * 207) >> 8 = 106
    EXPECT_EQ(pixel(10, 10), pack(106, 105, 106));
    // The tunnel's setting: a negative colour glows instead of going black.
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, 0);
    flatQuad(-50);
    EXPECT_EQ(pixel(10, 10), 0xFFFF);
    flatQuad(-250);  // reads 6: (132 * 7) >> 8 = 3, + 6
    EXPECT_EQ(pixel(10, 10), pack(9, 9, 9));
    // The two ends: -1 reads 0 and 256 reads 255; 300 wraps to 44.
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_ITERATED, 0);
    flatQuad(-0.5f);
    EXPECT_EQ(pixel(10, 10), 0);
    flatQuad(256.5f);
    EXPECT_EQ(pixel(10, 10), 0xFFFF);
    flatQuad(300);
    EXPECT_EQ(pixel(10, 10), pack(44, 44, 44));
}

TEST_F(Pipeline, GouraudColourIsSampledAtPixelCentres) {
    // r runs 0..256 across 256 pixels: pixel x sees x + 0.5, read as x.
    GrVertex a = vtx(0, 0, 0, 0, 0), b = vtx(256, 0, 256, 0, 0), c = vtx(0, 64, 0, 0, 0);
    GrVertex d = vtx(256, 64, 256, 0, 0);
    grDrawTriangle(&a, &b, &d);
    grDrawTriangle(&d, &c, &a);
    for (int x : {0, 7, 8, 100, 200, 255}) EXPECT_EQ(pixel(x, 20), pack(x, 0, 0)) << "x " << x;
}

TEST_F(Pipeline, ConstantColourAndInvert) {
    grConstantColorValue(0xFF204080);
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_ITERATED, 0);
    flatQuad(0);
    EXPECT_EQ(pixel(5, 5), pack(0x20, 0x40, 0x80));
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_ITERATED, 1);
    flatQuad(0);
    EXPECT_EQ(pixel(5, 5), pack(0xDF, 0xBF, 0x7F));
}

TEST_F(Pipeline, BlendModesClamp) {
    // Destination 100 becomes 99 / 101 / 99 after the 5-6-5 round trip.
    flatQuad(100);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO);
    GrVertex a = vtx(0, 0, 200, 50, 20), b = vtx(32, 0, 200, 50, 20), c = vtx(0, 32, 200, 50, 20);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(pixel(2, 2), pack(255, 151, 119));

    // With the default source alpha of 255 the show's "alpha" blend is additive too.
    flatQuad(0);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    flatQuad(100);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(pixel(2, 2), pack(255, 151, 119));

    // Opaque: the source replaces the destination.
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(pixel(2, 2), pack(200, 50, 20));

    // A constant alpha of 0x80 weights both by 129/256; 1 - alpha by 128/256.
    flatQuad(100);
    grConstantColorValue(0x80FFFFFF);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(pixel(2, 2), pack((200 * 129 + 99 * 129) >> 8, (50 * 129 + 101 * 129) >> 8, (20 * 129 + 99 * 129) >> 8));
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    flatQuad(100);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(pixel(2, 2), pack((200 * 129 + 99 * 128) >> 8, (50 * 129 + 101 * 128) >> 8, (20 * 129 + 99 * 128) >> 8));
}

TEST_F(Pipeline, WBufferLessAlwaysAndMask) {
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(1);
    grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
    quad(0, 0, 16, 16, 0, 0, 0, 0, 100, 0.5f);  // near: w = 2
    EXPECT_EQ(glide::depthBuffer()[3 * 320 + 3], 0x1000);
    quad(0, 0, 16, 16, 0, 0, 0, 0, 200, 0.25f);  // farther: rejected
    EXPECT_EQ(pixel(3, 3), pack(100, 100, 100));
    quad(0, 0, 16, 16, 0, 0, 0, 0, 200, 0.5f);  // equal depth fails LESS
    EXPECT_EQ(pixel(3, 3), pack(100, 100, 100));
    quad(0, 0, 16, 16, 0, 0, 0, 0, 40, 0.75f);  // nearer: drawn
    EXPECT_EQ(pixel(3, 3), pack(40, 40, 40));

    grDepthBufferFunction(GR_CMP_ALWAYS);  // passes and writes
    quad(0, 0, 16, 16, 0, 0, 0, 0, 200, 0.25f);
    EXPECT_EQ(pixel(3, 3), pack(200, 200, 200));
    EXPECT_EQ(glide::depthBuffer()[3 * 320 + 3], 0x2000);

    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(0);  // drawn, depth kept
    quad(0, 0, 16, 16, 0, 0, 0, 0, 60, 0.5f);
    EXPECT_EQ(pixel(3, 3), pack(60, 60, 60));
    EXPECT_EQ(glide::depthBuffer()[3 * 320 + 3], 0x2000);
    quad(0, 0, 16, 16, 0, 0, 0, 0, 80, 0.375f);  // nearer than the stored 0.25 still
    EXPECT_EQ(pixel(3, 3), pack(80, 80, 80));
}

TEST(WDepth, FloatingFormat) {
    auto w = [](double oow) { return glide::wDepth(static_cast<int64_t>(oow * 4294967296.0)); };
    EXPECT_EQ(w(0.5), 0x1000);
    EXPECT_EQ(w(0.25), 0x2000);
    EXPECT_EQ(w(1.0 / 32768), 0xF000);
    EXPECT_EQ(w(1.0), 0);  // w <= 1 all collapse to nearest
    EXPECT_EQ(w(4.0), 0);
    EXPECT_EQ(w(-0.5), 0);
    EXPECT_EQ(w(1.0 / 131072), 0xFFFF);
    // Monotonic: farther never sorts nearer.
    int last = -1;
    for (double oow = 0.999; oow > 1.0 / 65536; oow *= 0.9993) {
        const int d = w(oow);
        EXPECT_GE(d, last);
        last = d;
    }
}

TEST_F(Pipeline, CullingByScreenWinding) {
    // a -> b -> c runs clockwise on the screen (y down): positive area.
    GrVertex a = vtx(10, 10), b = vtx(50, 10), c = vtx(10, 50);
    auto drawn = [&](const GrVertex &p, const GrVertex &q, const GrVertex &r) {
        grBufferClear(0, 0, 0xFFFF);
        grDrawTriangle(&p, &q, &r);
        return pixel(15, 15) != 0;
    };
    grCullMode(GR_CULL_DISABLE);
    EXPECT_TRUE(drawn(a, b, c));
    EXPECT_TRUE(drawn(a, c, b));
    grCullMode(GR_CULL_POSITIVE);
    EXPECT_FALSE(drawn(a, b, c));
    EXPECT_TRUE(drawn(a, c, b));
    grCullMode(GR_CULL_NEGATIVE);
    EXPECT_TRUE(drawn(a, b, c));
    EXPECT_FALSE(drawn(a, c, b));
    // Zero area is never drawn, whatever the mode.
    grCullMode(GR_CULL_DISABLE);
    GrVertex d = vtx(30, 30), e = vtx(60, 60);
    grBufferClear(0, 0, 0xFFFF);
    grDrawTriangle(&a, &d, &e);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(pixel(i, i), 0);
}

TEST_F(Pipeline, FillRuleTakesTopAndLeftEdges) {
    // Corners on pixel centres: the top row and left column belong to the square.
    quad(0.5f, 0.5f, 4.5f, 4.5f, 0, 0, 0, 0, 255);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) EXPECT_EQ(pixel(x, y) != 0, x < 4 && y < 4) << x << "," << y;
    }
}

TEST_F(Pipeline, SharedEdgesCoverEveryPixelOnce) {
    // A jittered mesh drawn additively in a colour that shows any second hit.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> jitter(-6, 6);
    constexpr int kCols = 9, kRows = 7;
    GrVertex grid[kRows][kCols];
    for (int i = 0; i < kRows; ++i) {
        for (int j = 0; j < kCols; ++j) {
            const bool edge = i == 0 || j == 0 || i == kRows - 1 || j == kCols - 1;
            // Half and sixteenth steps make many pixel centres fall on edges.
            const float jx = edge ? 0 : jitter(rng) * 0.5f + jitter(rng) / 16.0f;
            const float jy = edge ? 0 : jitter(rng) * 0.5f + jitter(rng) / 16.0f;
            grid[i][j] = vtx(8 + j * 32 + jx, 8 + i * 32 + jy, 16, 16, 16);
        }
    }
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO);
    for (int i = 0; i + 1 < kRows; ++i) {
        for (int j = 0; j + 1 < kCols; ++j) {
            // Alternate the diagonal, and draw one as a polygon fan.
            if ((i + j) & 1) {
                grDrawTriangle(&grid[i][j], &grid[i][j + 1], &grid[i + 1][j + 1]);
                grDrawTriangle(&grid[i + 1][j + 1], &grid[i + 1][j], &grid[i][j]);
            } else {
                const GrVertex v[4] = {grid[i][j + 1], grid[i + 1][j + 1], grid[i + 1][j], grid[i][j]};
                const int idx[4] = {0, 1, 2, 3};
                grDrawPolygon(4, idx, v);
            }
        }
    }
    // The mesh outline is the rectangle (8, 8)..(264, 200): centres inside it
    // are x 8..263, y 8..199.
    const uint16_t once = pack(16, 16, 16);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 8 && x < 264 && y >= 8 && y < 200;
            ASSERT_EQ(pixel(x, y), inside ? once : 0) << x << "," << y;
        }
    }
}

TEST_F(Pipeline, ClipWindowLimitsTrianglesAndClears) {
    grClipWindow(10, 20, 30, 40);
    grBufferClear(0x00FFFFFF, 0, 0);
    grClipWindow(0, 0, 320, 240);
    EXPECT_EQ(pixel(10, 20), 0xFFFF);
    EXPECT_EQ(pixel(29, 39), 0xFFFF);
    EXPECT_EQ(pixel(30, 39), 0);
    EXPECT_EQ(pixel(29, 40), 0);
    EXPECT_EQ(pixel(9, 25), 0);
    grBufferClear(0, 0, 0);
    grClipWindow(100, 100, 2000, 2000);  // clamped to the screen
    quad(50, 50, 400, 400, 0, 0, 0, 0, 255);
    grClipWindow(0, 0, 320, 240);
    EXPECT_EQ(pixel(99, 150), 0);
    EXPECT_EQ(pixel(100, 100), 0xFFFF);
    EXPECT_EQ(pixel(319, 239), 0xFFFF);
}

TEST_F(Pipeline, ClearWritesDepthOnlyWithTheMaskOn) {
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthMask(1);
    grBufferClear(0, 0, 0x1234);
    EXPECT_EQ(glide::depthBuffer()[0], 0x1234);
    grDepthMask(0);
    grBufferClear(0x00FF0000, 0, 0xFFFF);
    EXPECT_EQ(glide::depthBuffer()[0], 0x1234);
    EXPECT_EQ(pixel(0, 0), 0xF800);
}

TEST_F(Pipeline, DitheredClearFollowsTheOrderedMatrix) {
    grDitherMode(GR_DITHER_4x4);
    grBufferClear(0x00808080, 0, 0xFFFF);  // 128: (256 - 8 + 1 + d) >> 4 for 5 bits
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int d = glide::kDither4x4[y][x];
            const int r5 = (249 + d) >> 4, g6 = (512 - 8 + 2 + d) >> 4;
            EXPECT_EQ(pixel(x, y), (r5 << 11) | (g6 << 5) | r5) << x << "," << y;
        }
    }
}

TEST_F(Pipeline, DitherSubtractionKeepsADitheredFrameUnderAnEmptyAdditiveLayer) {
    // With 4x4 dithering the destination is read with its dither taken out,
    // so an additive black layer leaves a dithered gradient exactly as it
    // was (read as plain 5-6-5, a sixth of its pixels would move up a step).
    grDitherMode(GR_DITHER_4x4);
    for (bool reference : {false, true}) {
        glide::setReferenceRaster(reference);
        grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
        GrVertex a = vtx(0, 0, 0, 0, 0), b = vtx(256, 0, 255, 255, 255), c = vtx(256, 16, 255, 255, 255),
                 d = vtx(0, 16, 0, 0, 0);
        grDrawTriangle(&a, &b, &c);
        grDrawTriangle(&c, &d, &a);
        const std::vector<uint16_t> before(glide::backBuffer(), glide::backBuffer() + 320 * 16);
        grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO);
        quad(0, 0, 320, 16, 0, 0, 0, 0, 0);
        const std::vector<uint16_t> after(glide::backBuffer(), glide::backBuffer() + 320 * 16);
        EXPECT_TRUE(before == after) << "reference " << reference;
    }
    glide::setReferenceRaster(false);
}

TEST_F(Pipeline, SwapKeepsTheFrameFromTwoSwapsAgo) {
    grBufferClear(0x00FF0000, 0, 0xFFFF);
    grBufferSwap(1);
    EXPECT_EQ(glide::frontBuffer()[0], 0xF800);
    grBufferClear(0x0000FF00, 0, 0xFFFF);
    grBufferSwap(1);
    EXPECT_EQ(glide::frontBuffer()[0], 0x07E0);
    EXPECT_EQ(pixel(0, 0), 0xF800);  // drawing now lands on the first frame
}

TEST_F(Pipeline, SnapBiasVanishesInTheVertexRegisters) {
    constexpr float kBias = 786432.0f;
    GrVertex a = vtx(kBias + 10, kBias + 10), b = vtx(kBias + 50, kBias + 10), c = vtx(kBias + 10, kBias + 50);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(pixel(12, 12), 0xFFFF);
    EXPECT_EQ(pixel(60, 60), 0);
}

}  // namespace
