// Display start-up, render states and texture-memory placement against the
// recording Glide.
#include "graphics/3dfx.h"
#include "support/recording_glide.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

class Device : public testing::Test {
protected:
    void SetUp() override { rec::reset(); }
    void TearDown() override { rec::reset(); }
};

TEST_F(Device, InitGlideCallSequence)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(init_glide(640, 480), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const Trace want = {
        "grSstQueryBoards()", "grGlideInit()", "grSstQueryHardware()", "grSstSelect(0)",
        "grSstWinOpen(0,7,0,0,0,2,1)", "grDepthBufferMode(2)", "grDepthBufferFunction(1)", "grDepthMask(1)",
        "grClipWindow(0,0,640,480)", "grColorCombine(3,8,1,1,0)",
        "grTexFilterMode(0,1,1)", "grTexMipMapMode(0,1,0)", "grTexClampMode(0,0,0)",
        "grTexFilterMode(1,1,1)", "grTexMipMapMode(1,1,0)", "grTexClampMode(1,0,0)",
        "grTexMinAddress(0)", "grTexMaxAddress(0)", "grTexMinAddress(1)", "grTexMaxAddress(1)",
        "grTexMinAddress(2)", "grTexMaxAddress(2)", "grHints(3,1)",
        "grTexMipMapMode(0,1,1)", "grTexMipMapMode(1,1,1)",
        "grTexLodBiasValue(0,0)", "grTexLodBiasValue(1,0)",
        "grTexDetailControl(0,0,0,0)", "grTexDetailControl(1,0,0,0)",
        "grTexClampMode(0,0,0)", "grTexClampMode(1,0,0)"};
    EXPECT_EQ(rec::trace(), want);

    rec::clear_calls();
    close_glide();
    EXPECT_EQ(rec::trace(), (Trace{"grSstWinClose()", "grGlideShutdown()"}));
}

TEST_F(Device, ResolutionCodesOfTheMenuSizes)
{
    const int sizes[4][3] = {{512, 384, 3}, {640, 480, 7}, {800, 600, 8}, {1024, 768, 12}};
    for (const auto &s : sizes) {
        rec::reset();
        ASSERT_EQ(init_glide(s[0], s[1]), 1);
        const Trace open = rec::trace({"grSstWinOpen"});
        ASSERT_EQ(open.size(), 1u);
        EXPECT_EQ(open[0], "grSstWinOpen(0," + std::to_string(s[2]) + ",0,0,0,2,1)");
    }
    // A size outside the menu has no display mode: nothing is opened.
    rec::reset();
    testing::internal::CaptureStdout();
    EXPECT_EQ(init_glide(700, 500), -1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(rec::count("grSstWinOpen"), 0);
    EXPECT_EQ(rec::count("grGlideShutdown"), 1);
}

TEST_F(Device, NoBoardPrintsFirstMessageOnly)
{
    rec::board().boards = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(init_glide(640, 480), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "No voodo card found \n\r");
    EXPECT_EQ(rec::trace(), (Trace{"grSstQueryBoards()"}));
}

TEST_F(Device, FailedHardwareQueryLeavesGlideInitialised)
{
    rec::board().query_hardware = FXFALSE;
    testing::internal::CaptureStdout();
    EXPECT_EQ(init_glide(640, 480), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Are you sure you have a voodo card ? \n\r");
    EXPECT_EQ(rec::trace(), (Trace{"grSstQueryBoards()", "grGlideInit()", "grSstQueryHardware()"}));
}

TEST_F(Device, RenderStateSwitches)
{
    ASSERT_EQ(init_glide(640, 480), 1);
    const std::vector<std::pair<void (*)(), Trace>> table = {
        {gouraud_on, {"grColorCombine(3,1,0,1,0)"}},
        {gouraud_off, {"grColorCombine(3,8,1,1,0)"}},
        {blilinear_on, {"grTexFilterMode(0,1,1)", "grTexFilterMode(1,1,1)"}},
        {blilinear_off, {"grTexFilterMode(0,0,0)", "grTexFilterMode(1,0,0)"}},
        {z_always, {"grDepthBufferFunction(7)"}},
        {z_standard, {"grDepthBufferFunction(1)"}},
        {set_non_transparenty, {"grAlphaBlendFunction(4,0,0,0)"}},
        {set_alfa_blending_transparenty, {"grAlphaBlendFunction(1,1,0,0)"}},
        {set_add_transparenty, {"grAlphaBlendFunction(4,4,0,0)"}},
    };
    for (const auto &[fn, want] : table) {
        rec::clear_calls();
        fn();
        EXPECT_EQ(rec::trace(), want);
    }
}

TEST_F(Device, BookkeepingStartsAtTheMinimumAfterInitAndFlush)
{
    rec::board().min_address[0] = 0x100;
    rec::board().min_address[1] = 0x200;
    rec::board().min_address[2] = 0x300;
    rec::board().max_address[2] = 0x400;
    ASSERT_EQ(init_glide(800, 600), 1);
    for (int t = 0; t < 3; t++) {
        EXPECT_EQ(tmu_cur_adress(t), tmu_min_adress(t));
        EXPECT_EQ(tmu_min_adress(t), 0x100 * (t + 1));
    }
    EXPECT_EQ(tmu_max_adress(0), 0x3FFFF8);
    EXPECT_EQ(tmu_max_adress(2), 0x400);

    static uint32_t picture[256 * 256];
    X_Y_TEX a{}, b{};
    ASSERT_EQ(load_x_y_texture(64, 0, picture, &a), 1);
    ASSERT_EQ(load_x_y_texture(64, 1, picture, &b), 1);
    EXPECT_EQ(tmu_cur_adress(0), 0x100 + 64 * 64 * 2);
    FlushTmus();
    for (int t = 0; t < 3; t++)
        EXPECT_EQ(tmu_cur_adress(t), tmu_min_adress(t));
    release_x_y_texture(&a);
    release_x_y_texture(&b);
}

// 256x256 single levels: 0x20000 bytes in 5-6-5, 0x10000 in 3-3-2.
TEST_F(Device, PlacementAtTheTopOfMemory)
{
    static uint32_t picture[256 * 256];
    rec::board().max_address[0] = 0x20000;
    ASSERT_EQ(init_glide(640, 480), 1);
    X_Y_TEX a{}, b{};
    EXPECT_EQ(load_x_y_texture(256, 0, picture, &a), 1);  // ends exactly at the maximum
    EXPECT_EQ(a.start, 0);
    EXPECT_EQ(tmu_cur_adress(0), 0x20000);
    rec::clear_calls();
    EXPECT_EQ(load_x_y_texture(1, 0, picture, &b), 3);  // 8 more bytes do not fit
    EXPECT_EQ(rec::count("grTexDownloadMipMap"), 0);
    EXPECT_EQ(tmu_cur_adress(0), 0x20000);
    EXPECT_EQ(b.info.data, nullptr);
    release_x_y_texture(&a);
}

TEST_F(Device, PlacementNeverStraddlesTheTwoMegabyteLine)
{
    static uint32_t picture[256 * 256];
    rec::board().min_address[1] = 0x1F0000;
    ASSERT_EQ(init_glide(640, 480), 1);
    X_Y_TEX a{}, b{};
    EXPECT_EQ(load_x_y_texture(256, 1, picture, &a), 1);
    EXPECT_EQ(a.start, 0x200000);
    EXPECT_EQ(tmu_cur_adress(1), 0x220000);
    EXPECT_EQ(rec::trace({"grTexDownloadMipMap"}), (Trace{"grTexDownloadMipMap(1,2097152,3)"}));

    FlushTmus();
    EXPECT_EQ(load_x_y_texture_332(256, 1, picture, &b), 1);  // ends exactly at the line
    EXPECT_EQ(b.start, 0x1F0000);
    EXPECT_EQ(tmu_cur_adress(1), 0x200000);

    // The capacity test is made again after the move.
    rec::board().max_address[1] = 0x210000;
    FlushTmus();
    EXPECT_EQ(load_x_y_texture(256, 1, picture, &a), 3);
    EXPECT_EQ(tmu_cur_adress(1), 0x1F0000);
    release_x_y_texture(&a);
    release_x_y_texture(&b);
}

}  // namespace
