// Texture memory, level selection, trilinear blending across two units,
// texel formats, filtering and addressing.
#include <gtest/gtest.h>

#include <cmath>

#include "glide_test_util.h"

using namespace glide_test;

namespace {

TEST(TextureMemory, ReportsTwoUnitsOfFourMegabytes) {
    for (GrChipID_t t : {GR_TMU0, GR_TMU1}) {
        EXPECT_EQ(grTexMinAddress(t), 0u);
        EXPECT_EQ(grTexMaxAddress(t), 0x3FFFF8u);
    }
    EXPECT_EQ(grTexMinAddress(GR_TMU2), 0u);
    EXPECT_EQ(grTexMaxAddress(GR_TMU2), 0u);
    GrHwConfiguration hwc{};
    EXPECT_TRUE(grSstQueryBoards(&hwc));
    EXPECT_EQ(hwc.num_sst, 1);
    EXPECT_TRUE(grSstQueryHardware(&hwc));
    EXPECT_EQ(hwc.SSTs[0].sstBoard.VoodooConfig.nTexelfx, 2);
    EXPECT_EQ(hwc.SSTs[0].sstBoard.VoodooConfig.tmuConfig[1].tmuRam, 4);
}

TEST(TextureMemory, SizesOfMipChainsAndSingleLevels) {
    GrTexInfo info{GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), 174768u);
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_EVEN, &info), 139816u);
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_ODD, &info), 34952u);
    info.format = GR_TEXFMT_RGB_332;
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), 87384u);
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_EVEN, &info), 69912u);
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_ODD, &info), 17480u);
    // Single levels: 256 in both formats; the small ones take at least 4 texels, rounded to 8 bytes.
    GrTexInfo one{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &one), 131072u);
    one.format = GR_TEXFMT_RGB_332;
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &one), 65536u);
    one = {GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &one), 8u);
    one = {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_332, nullptr};
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &one), 4096u);
    // An odd-only selection of an even single level takes nothing.
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_ODD, &one), 0u);
    // Nonsense descriptions take nothing rather than crash.
    GrTexInfo bad{GR_LOD_256, GR_LOD_1, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &bad), 0u);
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, nullptr), 0u);
}

TEST(TextureMemory, DownloadPacksTheSelectedLevels) {
    openScreen();
    const uint16_t colours[9] = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666, 0x7777, 0x8888, 0x9999};
    std::vector<uint16_t> chain = levelChain(colours);
    GrTexInfo info = chainInfo(chain);
    grTexDownloadMipMap(GR_TMU1, 0x1000, GR_MIPMAPLEVELMASK_ODD, &info);
    const uint8_t *mem = glide::textureMemory(GR_TMU1);
    auto at = [&](uint32_t a) { return static_cast<uint16_t>(mem[a] | (mem[a + 1] << 8)); };
    EXPECT_EQ(at(0x1000), 0x2222);                  // level 1 first
    EXPECT_EQ(at(0x1000 + 32768 - 2), 0x2222);
    EXPECT_EQ(at(0x1000 + 32768), 0x4444);          // then level 3
    EXPECT_EQ(at(0x1000 + 32768 + 2048), 0x6666);   // level 5
    EXPECT_EQ(at(0x1000 + 32768 + 2048 + 128), 0x8888);  // level 7 (2x2)
    EXPECT_EQ(at(0x1000 + 34952), 0);               // nothing past the reported size
    EXPECT_EQ(at(0x0FFE), 0);
    closeScreen();
}

TEST(TextureMemoryDeathTest, DownloadAcrossTheTwoMegabyteLineIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::vector<uint16_t> chain(87381, 0);
    GrTexInfo info = chainInfo(chain);
    EXPECT_EXIT(
        {
            openScreen();
            grTexDownloadMipMap(GR_TMU0, 0x200000 - 0x40, GR_MIPMAPLEVELMASK_BOTH, &info);
        },
        ::testing::ExitedWithCode(1), "2 MB");
    EXPECT_EXIT(
        {
            openScreen();
            grTexDownloadMipMap(GR_TMU0, 0x3FFFF8, GR_MIPMAPLEVELMASK_BOTH, &info);
        },
        ::testing::ExitedWithCode(1), "outside");
}

class Texturing : public ::testing::Test {
protected:
    void SetUp() override {
        openScreen();
        chain_ = levelChain(kLevels);
        info_ = chainInfo(chain_);
    }
    void TearDown() override { closeScreen(); }

    // Level L of the chain is a distinct colour.
    static constexpr uint16_t kLevels[9] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0x07FF, 0xF81F, 0x8410, 0x4208, 0xFFFF};
    std::vector<uint16_t> chain_;
    GrTexInfo info_{};
};

TEST_F(Texturing, QuadScaleSelectsTheLevel) {
    textureOnUnit0(info_);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, 0);
    for (int level = 0; level <= 3; ++level) {
        const float span = 64.0f * static_cast<float>(1 << level);  // 1:1, 1:2, 1:4, 1:8
        quad(0, 0, 64, 64, 0, 0, span, span);
        EXPECT_EQ(pixel(20, 20), kLevels[level]) << "scale 1:" << (1 << level);
        EXPECT_EQ(pixel(63, 0), kLevels[level]);
    }
    // Just under two texels per pixel still reads level 0: selection truncates.
    quad(0, 0, 64, 64, 0, 0, 64 * 1.9f, 64 * 1.9f);
    EXPECT_EQ(pixel(20, 20), kLevels[0]);
    // The LOD bias moves the choice by whole quarters.
    grTexLodBiasValue(GR_TMU0, 1.0f);
    quad(0, 0, 64, 64, 0, 0, 64, 64);
    EXPECT_EQ(pixel(20, 20), kLevels[1]);
    grTexLodBiasValue(GR_TMU0, 0.0f);
    // Without mip-mapping the largest level is used.
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_DISABLE, 0);
    quad(0, 0, 64, 64, 0, 0, 256, 256);
    EXPECT_EQ(pixel(20, 20), kLevels[0]);
}

TEST_F(Texturing, PerspectiveDivideGivesThePixelLevel) {
    // The same quad drawn with w = 4: s/w and t/w shrink, s and t do not.
    textureOnUnit0(info_);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, 0);
    quad(0, 0, 64, 64, 0, 0, 128, 128, 255, 0.25f);
    EXPECT_EQ(pixel(20, 20), kLevels[1]);
}

// The even levels on unit 0, the odd on unit 1, blended by the LOD fraction.
void trilinearPair(GrTexInfo &info) {
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_EVEN, &info);
    grTexDownloadMipMap(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &info);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_LOD_FRACTION, GR_COMBINE_FUNCTION_BLEND,
                 GR_COMBINE_FACTOR_LOD_FRACTION, 0, 0);
    grTexCombine(GR_TMU1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                 GR_COMBINE_FACTOR_ZERO, 0, 0);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_EVEN, &info);
    grTexSource(GR_TMU1, 0, GR_MIPMAPLEVELMASK_ODD, &info);
    for (GrChipID_t t : {GR_TMU0, GR_TMU1}) grTexMipMapMode(t, GR_MIPMAP_NEAREST, 1);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_TEXTURE, 0);
}

TEST(Trilinear, BlendLandsBetweenLevelsByTheFraction) {
    openScreen();
    // Levels alternate white and black, so the red channel shows the blend
    // weight (compared in the 5 bits the colour buffer keeps).
    const uint16_t colours[9] = {0xFFFF, 0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF};
    std::vector<uint16_t> chain = levelChain(colours);
    GrTexInfo info = chainInfo(chain);
    trilinearPair(info);
    auto redAt = [&](double lod) {
        const float span = static_cast<float>(64.0 * std::exp2(lod));
        quad(0, 0, 64, 64, 0, 0, span, span);
        return pixel(20, 20) >> 11;
    };
    auto r5 = [](int v) { return v >> 3; };
    // lod 0.25: level 0 (255) towards level 1 (0) by 65/256.
    EXPECT_EQ(redAt(0.25), r5(255 + ((-255 * 65) >> 8)));
    EXPECT_EQ(redAt(0.5), r5(255 + ((-255 * 129) >> 8)));
    EXPECT_EQ(redAt(0.75), r5(255 + ((-255 * 193) >> 8)));
    // lod 1.5: unit 1 holds level 1 (0), unit 0 reads level 2 (255); the
    // reversed fraction still weights the smaller level by about half.
    EXPECT_EQ(redAt(1.5), r5(255 + ((-255 * 128) >> 8)));
    // lod 1.25: a quarter of the way from level 1 (0) to level 2 (255).
    const int r125 = redAt(1.25);
    EXPECT_GE(r125, r5(56));
    EXPECT_LE(r125, r5(72));
    // Whole levels: the level itself (unit 0 on even levels, unit 1 on odd).
    EXPECT_EQ(redAt(0.0), 31);
    EXPECT_EQ(redAt(1.0), 0);
    EXPECT_EQ(redAt(2.0), 31);
    closeScreen();
}

TEST(Trilinear, SecondUnitAloneTakesItsOwnCoordinates) {
    openScreen();
    const uint16_t colours[9] = {0xF800, 0xF800, 0xF800, 0xF800, 0xF800, 0xF800, 0xF800, 0xF800, 0xF800};
    std::vector<uint16_t> chain = levelChain(colours);
    // Left half red, right half blue in level 0 only.
    for (int y = 0; y < 256; ++y) {
        for (int x = 128; x < 256; ++x) chain[y * 256 + x] = 0x001F;
    }
    GrTexInfo info = chainInfo(chain, GR_LOD_256, GR_LOD_256);
    grTexDownloadMipMap(GR_TMU1, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU1, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_FUNCTION_SCALE_OTHER,
                 GR_COMBINE_FACTOR_ONE, 0, 0);
    grTexCombine(GR_TMU1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                 GR_COMBINE_FACTOR_ZERO, 0, 0);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_TEXTURE, 0);
    // Block 0 points at the red half, block 1 at the blue half.
    GrVertex v[3];
    const float xy[3][2] = {{0, 0}, {64, 0}, {0, 64}};
    for (int i = 0; i < 3; ++i) {
        v[i] = vtx(xy[i][0], xy[i][1]);
        v[i].tmuvtx[0] = {10 + xy[i][0] / 4, 10 + xy[i][1] / 4, 1};
        v[i].tmuvtx[1] = {140 + xy[i][0] / 4, 10 + xy[i][1] / 4, 1};
    }
    grDrawTriangle(&v[0], &v[1], &v[2]);
    EXPECT_EQ(pixel(5, 5), 0x001F);
    closeScreen();
}

TEST_F(Texturing, PointAndBilinearSamplingWithWrap) {
    // Level 0 of a 256 texture: texel (i, j) alternates black and white columns.
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) chain_[y * 256 + x] = (x & 1) ? 0xFFFF : 0;
    }
    info_ = chainInfo(chain_, GR_LOD_256, GR_LOD_256);
    textureOnUnit0(info_);
    // 1:1, texel centres on pixel centres: point and bilinear agree.
    quad(0, 0, 64, 64, 0, 0, 64, 64);
    EXPECT_EQ(pixel(4, 4), 0);
    EXPECT_EQ(pixel(5, 4), 0xFFFF);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    quad(0, 0, 64, 64, 0, 0, 64, 64);
    EXPECT_EQ(pixel(4, 4), 0);
    EXPECT_EQ(pixel(5, 4), 0xFFFF);
    // Shifted by half a texel, bilinear takes the average.
    quad(0, 0, 64, 64, 0.5f, 0, 64.5f, 64);
    EXPECT_EQ(pixel(4, 4) >> 11, 127 >> 3);
    // The weights keep 4 bits of the fraction: 0.3 texel (76/256) past a
    // black centre weighs the white neighbour by 4/16, in both rasterisers.
    for (bool reference : {false, true}) {
        glide::setReferenceRaster(reference);
        quad(0, 0, 64, 64, 0.3f, 0, 64.3f, 64);
        EXPECT_EQ(pixel(4, 4) >> 11, (255 * 4 / 16) >> 3) << "reference " << reference;
    }
    glide::setReferenceRaster(false);
    // Wrap: s = 256 + 5 reads texel 5 (white); s = -251 as well.
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    quad(0, 0, 64, 64, 256, 0, 320, 64);
    EXPECT_EQ(pixel(5, 4), 0xFFFF);
    quad(0, 0, 64, 64, -256, 0, -192, 64);
    EXPECT_EQ(pixel(5, 4), 0xFFFF);
    EXPECT_EQ(pixel(6, 4), 0);
    // Clamp: everything past the right edge reads the last column (white).
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_CLAMP);
    quad(0, 0, 64, 64, 300, 0, 364, 64);
    EXPECT_EQ(pixel(6, 4), 0xFFFF);
}

TEST_F(Texturing, SmallSingleLevelTexturesUseTheWholeCoordinateRange) {
    // A 64x64 RGB 332 texture is addressed 0..256 like a 256 one.
    std::vector<uint8_t> texels(64 * 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) texels[y * 64 + x] = x < 32 ? 0xE0 : 0x03;  // red | blue
    }
    GrTexInfo info{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_332, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0x300000, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0x300000, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                 GR_COMBINE_FACTOR_ZERO, 0, 0);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_TEXTURE, 0);
    quad(0, 0, 256, 64, 0, 0, 256, 64);
    EXPECT_EQ(pixel(100, 10), pack(255, 0, 0));
    EXPECT_EQ(pixel(200, 10), pack(0, 0, 255));
}

}  // namespace
