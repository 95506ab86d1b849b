// Texel conversion, mip building, texture upload and selection.
#include "graphics/3dfx.h"
#include "graphics/tga.h"
#include "support/recording_glide.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

class Textures : public testing::Test {
protected:
    void SetUp() override
    {
        rec::reset();
        ASSERT_EQ(init_glide(640, 480), 1);
        rec::clear_calls();
    }
    void TearDown() override { rec::reset(); }
};

std::vector<uint32_t> random_picture(unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint32_t> p(256 * 256);
    for (uint32_t &px : p)
        px = rng() & 0xFFFFFF;
    return p;
}

uint16_t texel_at(const std::vector<uint8_t> &bytes, size_t texel)
{
    return (uint16_t)(bytes[2 * texel] | bytes[2 * texel + 1] << 8);
}

TEST(TexelConversion, WhiteAndGrey)
{
    EXPECT_EQ(convert_565(0xFFFFFF), 0xFFFF);
    EXPECT_EQ(convert_332(0xFFFFFF), 0xFF);
    EXPECT_EQ(convert_565(0x808080), 0x8410);
    EXPECT_EQ(convert_332(0x808080), 0x92);
    EXPECT_EQ(convert_565(0xFF0000), 0xF800);
    EXPECT_EQ(convert_565(0x0000FF), 0x001F);
    EXPECT_EQ(convert_332(0x00FF00), 0x1C);
    EXPECT_EQ(convert_332(0x0000FF), 0x03);
}

TEST(TexelConversion, EdgesAndLods)
{
    const int edges[9] = {256, 128, 64, 32, 16, 8, 4, 2, 1};
    for (int lod = 0; lod < 9; lod++) {
        EXPECT_EQ(check_allowed_mip_map_sizes(edges[lod]), 1);
        EXPECT_EQ(return_GR_LOD(edges[lod]), lod);
    }
    for (int bad : {0, 3, 255, 512, -2}) {
        EXPECT_EQ(check_allowed_mip_map_sizes(bad), 0);
        EXPECT_EQ(return_GR_LOD(bad), 0);
    }
}

TEST(MipBuilding, BlurOfTwoByTwoRepeatsEdges)
{
    uint16_t t[4] = {0xFFFF, 0, 0, 0};
    blur(2, 2, t);
    // The top-left window sees the bright texel four times (edges repeat),
    // its neighbours twice, the opposite corner once.
    EXPECT_EQ(t[0], (13 << 11) | (28 << 5) | 13);
    EXPECT_EQ(t[1], (6 << 11) | (14 << 5) | 6);
    EXPECT_EQ(t[2], (6 << 11) | (14 << 5) | 6);
    EXPECT_EQ(t[3], (3 << 11) | (7 << 5) | 3);

    // A single bright texel in the middle of 3x3 spreads one ninth.
    uint16_t m[9] = {0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0};
    blur(3, 3, m);
    for (uint16_t v : m)
        EXPECT_EQ(v, (3 << 11) | (7 << 5) | 3);
}

TEST(MipBuilding, ScaleTakesEverySecondTexel)
{
    uint16_t src[16], dst[4];
    for (int i = 0; i < 16; i++)
        src[i] = (uint16_t)i;
    scale(4, 4, src, 2, 2, dst);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[1], 2);
    EXPECT_EQ(dst[2], 8);
    EXPECT_EQ(dst[3], 10);
    // Enlarging repeats texels.
    uint16_t big[16];
    scale(2, 2, dst, 4, 4, big);
    EXPECT_EQ(big[0], 0);
    EXPECT_EQ(big[1], 0);
    EXPECT_EQ(big[2], 2);
    EXPECT_EQ(big[15], 10);
}

TEST(MipBuilding, UniformPictureGivesUniformChain)
{
    std::vector<uint16_t> chain(MIP_CHAIN_TEXELS, 0);
    for (int p = 0; p < 65536; p++)
        chain[p] = convert_565(0x4080C0);
    scale_mipmaps(chain.data());
    for (int p = 0; p < MIP_CHAIN_TEXELS; p++)
        ASSERT_EQ(chain[p], convert_565(0x4080C0)) << "texel " << p;
}

TEST(MipBuilding, EachLevelIsTheBlurredLevelAboveHalved)
{
    const std::vector<uint32_t> pic = random_picture(7);
    std::vector<uint16_t> chain(MIP_CHAIN_TEXELS, 0);
    for (int p = 0; p < 65536; p++)
        chain[p] = convert_565(pic[p]);
    scale_mipmaps(chain.data());
    EXPECT_EQ(MIP_LEVEL_OFFSET[8] * 2, 174760);  // the 1x1 texel's byte offset
    for (int level = 0, edge = 256; level < 8; level++, edge /= 2) {
        std::vector<uint16_t> copy(chain.begin() + MIP_LEVEL_OFFSET[level],
                                   chain.begin() + MIP_LEVEL_OFFSET[level] + edge * edge);
        blur(edge, edge, copy.data());
        const int half = edge / 2;
        for (int r = 0; r < half; r++)
            for (int c = 0; c < half; c++)
                ASSERT_EQ(chain[MIP_LEVEL_OFFSET[level + 1] + r * half + c], copy[(2 * r) * edge + 2 * c])
                    << "level " << level + 1;
    }
}

TEST_F(Textures, OneUnitLoadAndSelect)
{
    std::vector<uint32_t> pic = random_picture(1);
    TEXTURE tex{};
    tex.picture = pic.data();
    tex.width = tex.height = 256;
    set_texture(&tex);  // never loaded: nothing happens
    EXPECT_TRUE(rec::calls().empty());

    ASSERT_EQ(load_texture_1tmu(&tex), 1);
    EXPECT_EQ(rec::trace(), (Trace{"grTexTextureMemRequired(3)", "grTexDownloadMipMap(0,0,3)"}));
    const rec::Call &dl = rec::calls()[1];
    EXPECT_EQ(dl.info.format, GR_TEXFMT_RGB_565);
    EXPECT_EQ(dl.info.largeLod, 0);
    EXPECT_EQ(dl.info.smallLod, 8);
    EXPECT_EQ(dl.info.aspectRatio, GR_ASPECT_1x1);
    ASSERT_EQ(dl.texels.size(), (size_t)MIP_CHAIN_BYTES);
    EXPECT_EQ(texel_at(dl.texels, 0), convert_565(pic[0]));
    EXPECT_EQ(texel_at(dl.texels, 65535), convert_565(pic[65535]));
    EXPECT_EQ(tex.tmu_count, 1);
    EXPECT_EQ(tex.start_tmu0, 0);
    EXPECT_EQ(tmu_cur_adress(0), 174768);
    EXPECT_EQ(tex.info.data, nullptr);  // the chain is gone after the load

    rec::clear_calls();
    set_texture(&tex);
    EXPECT_EQ(rec::trace(), (Trace{"grTexSource(0,0,3)", "grTexCombine(0,1,0,1,0,0,0)"}));
}

TEST_F(Textures, TwoUnitLoadSplitsEvenAndOddLevels)
{
    std::vector<uint32_t> pic = random_picture(2);
    TEXTURE first{}, tex{};
    first.picture = tex.picture = pic.data();
    ASSERT_EQ(load_texture_1tmu(&first), 1);
    rec::clear_calls();
    ASSERT_EQ(load_texture_2tmu(&tex), 1);
    EXPECT_EQ(rec::trace(), (Trace{"grTexTextureMemRequired(1)", "grTexTextureMemRequired(2)",
                                   "grTexDownloadMipMap(0,174768,1)", "grTexDownloadMipMap(1,0,2)"}));
    EXPECT_EQ(tmu_cur_adress(0), 174768 + 139816);
    EXPECT_EQ(tmu_cur_adress(1), 34952);
    EXPECT_EQ(tex.start_tmu0, 174768);
    EXPECT_EQ(tex.start_tmu1, 0);
    EXPECT_EQ(tex.tmu_count, 2);
    // Both units get the same full chain.
    EXPECT_EQ(rec::calls()[2].texels, rec::calls()[3].texels);

    rec::clear_calls();
    set_texture(&tex);
    EXPECT_EQ(rec::trace(), (Trace{"grTexCombine(0,7,5,7,5,0,0)", "grTexCombine(1,1,0,1,0,0,0)",
                                   "grTexSource(0,174768,1)", "grTexSource(1,0,2)"}));
}

TEST_F(Textures, TwoUnitLoadWithoutRoomOnUnitOneChangesNothing)
{
    rec::board().max_address[1] = 34952 - 8;
    FlushTmus();
    std::vector<uint32_t> pic = random_picture(3);
    TEXTURE tex{};
    tex.picture = pic.data();
    EXPECT_EQ(load_texture_2tmu(&tex), 3);
    EXPECT_EQ(rec::count("grTexDownloadMipMap"), 0);
    EXPECT_EQ(tmu_cur_adress(0), 0);
    EXPECT_EQ(tmu_cur_adress(1), 0);
    EXPECT_EQ(tex.tmu_count, 0);
}

TEST_F(Textures, SingleLevelLoadAndSelect)
{
    std::vector<uint32_t> pic = random_picture(4);
    X_Y_TEX a{}, b{};
    ASSERT_EQ(load_x_y_texture(32, 0, pic.data(), &a), 1);
    const rec::Call &dl = rec::calls().back();
    EXPECT_EQ(rec::str(dl), "grTexDownloadMipMap(0,0,3)");
    EXPECT_EQ(dl.info.smallLod, 3);
    EXPECT_EQ(dl.info.largeLod, 3);
    ASSERT_EQ(dl.texels.size(), 32u * 32u * 2u);
    for (int p = 0; p < 32 * 32; p++)
        ASSERT_EQ(texel_at(dl.texels, p), convert_565(pic[p]));
    EXPECT_EQ(a.size, 32);
    EXPECT_EQ(a.tmu, 0u);
    EXPECT_EQ(a.picture, pic.data());

    ASSERT_EQ(load_x_y_texture_332(16, 1, pic.data(), &b), 1);
    EXPECT_EQ(rec::calls().back().info.format, GR_TEXFMT_RGB_332);
    ASSERT_EQ(rec::calls().back().texels.size(), 256u);
    EXPECT_EQ(rec::calls().back().texels[17], convert_332(pic[17]));
    EXPECT_EQ(tmu_cur_adress(1), 256);

    rec::clear_calls();
    set_x_y_texture(&a);
    set_x_y_texture(&b);
    EXPECT_EQ(rec::trace(), (Trace{"grTexSource(0,0,3)", "grTexCombine(0,1,0,1,0,0,0)", "grTexSource(1,0,3)",
                                   "grTexCombine(0,3,8,3,8,0,0)", "grTexCombine(1,1,0,1,0,0,0)"}));
    release_x_y_texture(&a);
    release_x_y_texture(&b);
}

TEST_F(Textures, SingleLevelBadArgumentsDoNothing)
{
    std::vector<uint32_t> pic = random_picture(5);
    X_Y_TEX a{};
    EXPECT_EQ(load_x_y_texture(3, 0, pic.data(), &a), 0);
    EXPECT_EQ(load_x_y_texture(256, 2, pic.data(), &a), 0);
    EXPECT_EQ(load_x_y_texture_332(512, 0, pic.data(), &a), 0);
    EXPECT_EQ(update_x_y_texture(3, 0, pic.data(), &a), 0);
    EXPECT_TRUE(rec::calls().empty());
    EXPECT_EQ(tmu_cur_adress(0), 0);
    EXPECT_EQ(a.info.data, nullptr);
}

TEST_F(Textures, UpdateRewritesTheSameRoom)
{
    std::vector<uint32_t> pic = random_picture(6), pic2 = random_picture(60);
    X_Y_TEX pad{}, a{};
    ASSERT_EQ(load_x_y_texture(8, 1, pic.data(), &pad), 1);
    ASSERT_EQ(load_x_y_texture(64, 1, pic.data(), &a), 1);
    const int32_t used = tmu_cur_adress(1);
    rec::clear_calls();
    EXPECT_EQ(update_x_y_texture(64, 1, pic2.data(), &a), 1);
    EXPECT_EQ(rec::trace(), (Trace{"grTexDownloadMipMap(1,128,3)"}));
    EXPECT_EQ(texel_at(rec::calls()[0].texels, 100), convert_565(pic2[100]));
    EXPECT_EQ(tmu_cur_adress(1), used);
    EXPECT_EQ(a.start, 128);
    EXPECT_EQ(a.picture, pic2.data());
    // A different edge or unit would not fit the room the record holds.
    EXPECT_EQ(update_x_y_texture(128, 1, pic2.data(), &a), 0);
    EXPECT_EQ(update_x_y_texture(64, 0, pic2.data(), &a), 0);
    X_Y_TEX never{};
    EXPECT_EQ(update_x_y_texture(64, 1, pic2.data(), &never), 0);
    EXPECT_EQ(rec::count("grTexDownloadMipMap"), 1);
    release_x_y_texture(&pad);
    release_x_y_texture(&a);
}

// TGA files written by the test: an 18-byte header, then the pixels bottom
// row first as blue, green, red.
class Tga : public testing::Test {
protected:
    std::string path = testing::TempDir() + "tga_test_picture.tga";
    void TearDown() override { remove(path.c_str()); }
    void write(size_t header, size_t pixel_bytes)
    {
        FILE *f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (size_t i = 0; i < header; i++)
            fputc(0xEE, f);
        for (size_t i = 0; i < pixel_bytes; i++) {
            const size_t px = i / 3, row = px / 256, col = px % 256;
            const int chan = (int)(i % 3);  // 0 blue, 1 green, 2 red
            fputc(chan == 0 ? (int)col : chan == 1 ? (int)row : 0x5A, f);
        }
        fclose(f);
    }
};

TEST_F(Tga, ReadsBottomRowFirstFromTheEnd)
{
    write(18, 196608);
    std::vector<uint32_t> pic(65536, 0xDEADBEEF);
    ASSERT_EQ(load_tga_24(pic.data(), path.c_str()), 1);
    // Output row i is stored row 255 - i; green holds the stored row.
    EXPECT_EQ(pic[0], 0x5AFF00u);
    EXPECT_EQ(pic[255], 0x5AFFFFu);
    EXPECT_EQ(pic[255 * 256 + 7], 0x5A0007u);
    EXPECT_EQ(pic[10 * 256 + 3], 0x5AF503u);

    // Without a header the same pixels come out.
    write(0, 196608);
    std::vector<uint32_t> pic2(65536);
    ASSERT_EQ(load_tga_24(pic2.data(), path.c_str()), 1);
    EXPECT_EQ(pic, pic2);
}

TEST_F(Tga, MissingOrShortFileFailsWithAReason)
{
    std::vector<uint32_t> pic(65536, 7);
    EXPECT_EQ(load_tga_24(pic.data(), (path + ".none").c_str()), 0);
    EXPECT_NE(std::string(picture_error()).find(path + ".none: "), std::string::npos);
    EXPECT_NE(std::string(picture_error()).find("No such file"), std::string::npos);

    write(0, 196607);
    EXPECT_EQ(load_tga_24(pic.data(), path.c_str()), 0);
    EXPECT_NE(std::string(picture_error()).find("196607"), std::string::npos) << picture_error();
    for (uint32_t px : pic)
        ASSERT_EQ(px, 7u);  // untouched
}

}  // namespace
