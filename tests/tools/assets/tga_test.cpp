#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/assets/image.h"

using namespace assets;

namespace {

// Image whose pixel (x, y) encodes its own position.
Image coordinates() {
    Image img;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) img.at(x, y) = {static_cast<float>(x) / 255.0f, static_cast<float>(y) / 255.0f, 0.5f};
    return img;
}

// What the show's reader makes of a file: the last 196608 bytes as rows
// bottom first, so picture row i is stored row 255 - i; pixels 0x00RRGGBB.
std::vector<uint32_t> as_the_show_reads(const std::vector<uint8_t>& file) {
    std::vector<uint32_t> pic(65536);
    const size_t base = file.size() - 196608;
    for (int i = 0; i < 256; ++i)
        for (int j = 0; j < 256; ++j) {
            const size_t at = base + static_cast<size_t>(((255 - i) * 256 + j) * 3);
            pic[static_cast<size_t>(i * 256 + j)] = static_cast<uint32_t>(file[at + 2]) << 16 | static_cast<uint32_t>(file[at + 1]) << 8 | file[at];
        }
    return pic;
}

}  // namespace

TEST(TgaWriter, HeaderSizeAndNoFooter) {
    for (TgaOrigin origin : {TgaOrigin::bottom_left, TgaOrigin::top_left}) {
        const std::vector<uint8_t> f = write_tga(coordinates(), origin);
        ASSERT_EQ(18u + 196608u, f.size()) << "header and pixels only";
        EXPECT_EQ(0, f[0]) << "no image id";
        EXPECT_EQ(0, f[1]) << "no colour map";
        EXPECT_EQ(2, f[2]) << "uncompressed true colour";
        EXPECT_EQ(0, f[12]);
        EXPECT_EQ(1, f[13]) << "width 256";
        EXPECT_EQ(0, f[14]);
        EXPECT_EQ(1, f[15]) << "height 256";
        EXPECT_EQ(24, f[16]);
        EXPECT_EQ(origin == TgaOrigin::top_left ? 0x20 : 0x00, f[17]) << "origin bit, no alpha bits";
    }
}

TEST(TgaWriter, RowOrderFollowsTheOriginBit) {
    const Image img = coordinates();
    const std::vector<uint8_t> bottom = write_tga(img, TgaOrigin::bottom_left);
    const std::vector<uint8_t> top = write_tga(img, TgaOrigin::top_left);
    // First stored pixel: blue, green, red of the bottom-left or top-left pixel.
    EXPECT_EQ(128, bottom[18]);
    EXPECT_EQ(255, bottom[19]) << "bottom row first";
    EXPECT_EQ(0, bottom[20]);
    EXPECT_EQ(0, top[19]) << "top row first";
    // Pixel x = 10 of the first stored row.
    EXPECT_EQ(10, top[18 + 30 + 2]);
    // The show's reader sees image row 0 as picture row 0 for bottom-left
    // files, and as picture row 255 for top-left files.
    const std::vector<uint32_t> pb = as_the_show_reads(bottom), pt = as_the_show_reads(top);
    for (int y : {0, 1, 128, 255}) {
        EXPECT_EQ(static_cast<uint32_t>(y), (pb[static_cast<size_t>(y * 256 + 7)] >> 8) & 0xFF);
        EXPECT_EQ(static_cast<uint32_t>(y), (pt[static_cast<size_t>((255 - y) * 256 + 7)] >> 8) & 0xFF);
        EXPECT_EQ(7u, pb[static_cast<size_t>(y * 256 + 7)] >> 16) << "columns are never mirrored";
    }
}

TEST(TgaWriter, ComponentsRoundAndClamp) {
    Image img;
    img.at(0, 255) = {-0.5f, 2.0f, 0.5f};
    img.at(1, 255) = {1.0f / 255.0f, 0.499f / 255.0f, 254.6f / 255.0f};
    const std::vector<uint8_t> f = write_tga(img, TgaOrigin::bottom_left);
    EXPECT_EQ(128, f[18]);  // blue 0.5 -> 127.5 rounds up
    EXPECT_EQ(255, f[19]);
    EXPECT_EQ(0, f[20]);
    EXPECT_EQ(255, f[21]);
    EXPECT_EQ(0, f[22]);
    EXPECT_EQ(1, f[23]);
}
