// The recorder's colour conversion against the BT.601 formulas in floating
// point, on random pictures of even and odd sizes.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "platform/glide/yuv.h"

namespace {

struct Ycc {
    double y, cb, cr;
};
// Studio-range BT.601 of r, g, b in 0..1.
Ycc bt601(double r, double g, double b) {
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    return {16 + 219 * y, 128 + 224 * (b - y) / 1.772, 128 + 224 * (r - y) / 1.402};
}

void checkPicture(int width, int height, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> rgb(static_cast<size_t>(width) * height);
    for (uint32_t &p : rgb) p = rng() & 0xFFFFFF;
    std::vector<uint8_t> out(glide::i420Bytes(width, height) + 16, 0xA5);
    glide::rgbToI420(rgb.data(), width, height, out.data());
    // Nothing written past the frame.
    for (size_t i = glide::i420Bytes(width, height); i < out.size(); ++i) ASSERT_EQ(out[i], 0xA5);

    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    const uint8_t *cbPlane = out.data() + static_cast<size_t>(width) * height;
    const uint8_t *crPlane = cbPlane + static_cast<size_t>(cw) * ch;
    auto channel = [&](int x, int y, int shift) { return ((rgb[static_cast<size_t>(y) * width + x] >> shift) & 255) / 255.0; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Ycc e = bt601(channel(x, y, 16), channel(x, y, 8), channel(x, y, 0));
            ASSERT_NEAR(out[static_cast<size_t>(y) * width + x], e.y, 1.0) << width << "x" << height << " at " << x << "," << y;
        }
    for (int by = 0; by < ch; ++by)
        for (int bx = 0; bx < cw; ++bx) {
            double r = 0, g = 0, b = 0;
            int n = 0;
            for (int y = 2 * by; y < std::min(height, 2 * by + 2); ++y)
                for (int x = 2 * bx; x < std::min(width, 2 * bx + 2); ++x, ++n) {
                    r += channel(x, y, 16);
                    g += channel(x, y, 8);
                    b += channel(x, y, 0);
                }
            const Ycc e = bt601(r / n, g / n, b / n);
            ASSERT_NEAR(cbPlane[static_cast<size_t>(by) * cw + bx], e.cb, 1.0) << width << "x" << height << " block " << bx << "," << by;
            ASSERT_NEAR(crPlane[static_cast<size_t>(by) * cw + bx], e.cr, 1.0) << width << "x" << height << " block " << bx << "," << by;
        }
}

TEST(RecordYuv, MatchesTheStandardWithinOneStepAtEvenAndOddSizes) {
    EXPECT_EQ(glide::i420Bytes(1024, 768), 1024u * 768 * 3 / 2);
    EXPECT_EQ(glide::i420Bytes(5, 3), 15u + 2 * 3 * 2);
    uint32_t seed = 1;
    for (auto [w, h] : {std::pair{1024, 768}, {64, 48}, {2, 2}, {5, 3}, {6, 1}, {1, 7}, {1, 1}}) checkPicture(w, h, seed++);
}

TEST(RecordYuv, ExtremesStayInStudioRange) {
    // Saturated colours are where the rounding could leave 16..235 / 16..240.
    const uint32_t colours[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    for (uint32_t c : colours) {
        const uint32_t px[4] = {c, c, c, c};
        uint8_t out[6];
        glide::rgbToI420(px, 2, 2, out);
        for (int i = 0; i < 4; ++i) {
            EXPECT_GE(out[i], 16);
            EXPECT_LE(out[i], 235);
        }
        for (int i = 4; i < 6; ++i) {
            EXPECT_GE(out[i], 16);
            EXPECT_LE(out[i], 240);
        }
    }
}

}  // namespace
