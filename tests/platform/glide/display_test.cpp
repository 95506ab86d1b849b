// Frame selection for capture, the PNG files of the headless display, the
// output gamma and the per-swap frame hook.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "glide_test_util.h"
#include "platform/glide/display.h"

namespace {

TEST(CaptureFrames, ParsesListsAllAndEvery) {
    glide::CaptureSpec spec;
    std::string err;
    ASSERT_TRUE(glide::parseCaptureFrames("250,0,100", spec, err));
    EXPECT_TRUE(spec.wants(0));
    EXPECT_TRUE(spec.wants(100));
    EXPECT_TRUE(spec.wants(250));
    EXPECT_FALSE(spec.wants(1));
    EXPECT_FALSE(spec.wants(251));
    ASSERT_TRUE(glide::parseCaptureFrames("all", spec, err));
    EXPECT_TRUE(spec.wants(12345));
    ASSERT_TRUE(glide::parseCaptureFrames("every:25", spec, err));
    EXPECT_TRUE(spec.wants(0));
    EXPECT_TRUE(spec.wants(75));
    EXPECT_FALSE(spec.wants(76));
    for (const char *bad : {"", "1,,2", "x", "every:0", "every:", "every:-3", "3,-1", "1 2", "99999999999999999999"}) {
        EXPECT_FALSE(glide::parseCaptureFrames(bad, spec, err)) << bad;
        EXPECT_FALSE(err.empty());
    }
}

TEST(HeadlessCapture, SavesTheChosenFramesAsPng) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("glide-capture-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    setenv("GLIDE_BACKEND", "headless", 1);
    setenv("GLIDE_CAPTURE_FRAMES", "1,2", 1);
    setenv("GLIDE_CAPTURE_DIR", dir.c_str(), 1);
    grGlideInit();
    grSstWinOpen(0, GR_RESOLUTION_320x240, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_UPPER_LEFT, 2, 1);
    glide::setPacing(false);
    for (int f = 0; f < 4; ++f) {
        grBufferClear(0x00FFFFFF, 0, 0xFFFF);
        grBufferSwap(1);
    }
    glide_test::closeScreen();
    unsetenv("GLIDE_CAPTURE_DIR");
    unsetenv("GLIDE_CAPTURE_FRAMES");
    EXPECT_FALSE(std::filesystem::exists(dir / "frame-00000.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "frame-00003.png"));
    for (const char *name : {"frame-00001.png", "frame-00002.png"}) {
        std::ifstream f(dir / name, std::ios::binary);
        ASSERT_TRUE(f.good()) << name;
        char sig[8] = {};
        f.read(sig, 8);
        EXPECT_EQ(std::string(sig + 1, 3), "PNG");
        // The IHDR chunk follows: width and height big-endian.
        char ihdr[16] = {};
        f.read(ihdr, 16);
        const auto be32 = [](const char *p) {
            return (static_cast<uint32_t>(static_cast<uint8_t>(p[0])) << 24) |
                   (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 16) |
                   (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 8) | static_cast<uint8_t>(p[3]);
        };
        EXPECT_EQ(be32(ihdr + 8), 320u);
        EXPECT_EQ(be32(ihdr + 12), 240u);
    }
    std::filesystem::remove_all(dir);
}

TEST(DisplayGamma, DefaultTableBrightensMidTones) {
    unsetenv("GLIDE_GAMMA");
    glide_test::openScreen();
    EXPECT_EQ(glide::displayColour(0x0000), 0x000000u);
    EXPECT_EQ(glide::displayColour(0xFFFF), 0xFFFFFFu);
    // 0x8410 is (132, 130, 132); through gamma 1.7: 255 * (v / 255)^(1 / 1.7).
    const uint32_t c = glide::displayColour(0x8410);
    EXPECT_EQ(c >> 16, 173u);
    EXPECT_EQ((c >> 8) & 255, 172u);
    glide_test::closeScreen();
    setenv("GLIDE_GAMMA", "1.0", 1);
    glide_test::openScreen();
    EXPECT_EQ(glide::displayColour(0x8410), 0x848284u);
    glide_test::closeScreen();
    unsetenv("GLIDE_GAMMA");
}

struct HookLog {
    int calls = 0;
    uint64_t lastIndex = 0;
    uint32_t firstPixel = 0;
};

TEST(FrameHook, SeesEveryShownFrameInOrder) {
    glide_test::openScreen();
    HookLog log;
    glide::setFrameHook(
        [](const uint32_t *rgb, int w, int h, uint64_t index, void *user) {
            auto *l = static_cast<HookLog *>(user);
            EXPECT_EQ(w, 320);
            EXPECT_EQ(h, 240);
            EXPECT_EQ(index, static_cast<uint64_t>(l->calls));
            l->calls++;
            l->lastIndex = index;
            l->firstPixel = rgb[0];
        },
        &log);
    grBufferClear(0x00FF0000, 0, 0xFFFF);
    grBufferSwap(1);
    grBufferClear(0x000000FF, 0, 0xFFFF);
    grBufferSwap(1);
    glide::setFrameHook(nullptr, nullptr);
    grBufferSwap(1);
    EXPECT_EQ(log.calls, 2);
    EXPECT_EQ(log.firstPixel, 0x0000FFu);
    glide_test::closeScreen();
}

}  // namespace
