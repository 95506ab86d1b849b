#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "tools/assets/pictures.h"

using namespace assets;

namespace {

const std::vector<PictureFile>& pictures() {
    static const std::vector<PictureFile> p = make_pictures(Q5_ASSET_FONT_DIR);
    return p;
}

const Image& picture(const std::string& name) {
    for (const PictureFile& p : pictures())
        if (p.name == name) return p.image;
    throw std::runtime_error("no picture " + name);
}

float diff(const Rgb& a, const Rgb& b) {
    return (std::fabs(a.r - b.r) + std::fabs(a.g - b.g) + std::fabs(a.b - b.b)) / 3.0f;
}

// Mean step between column x and column x+1 (wrapping), and between rows.
float column_step(const Image& img, int x) {
    float s = 0;
    for (int y = 0; y < 256; ++y) s += diff(img.at(x, y), img.at((x + 1) % 256, y));
    return s / 256;
}
float row_step(const Image& img, int y) {
    float s = 0;
    for (int x = 0; x < 256; ++x) s += diff(img.at(x, y), img.at(x, (y + 1) % 256));
    return s / 256;
}

}  // namespace

TEST(Pictures, EightFilesOfTheRightShape) {
    std::vector<std::string> names;
    for (const PictureFile& p : pictures()) {
        names.push_back("gfx/" + p.name);
        EXPECT_EQ(256, p.image.width) << p.name;
        EXPECT_EQ(256, p.image.height) << p.name;
        EXPECT_EQ(18u + 196608u, write_tga(p.image, p.origin).size()) << p.name;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"gfx/03.tga", "gfx/credits.tga", "gfx/greets.tga", "gfx/meta.tga", "gfx/metal.tga",
                                        "gfx/plinux.tga", "gfx/q52.tga", "gfx/spider.tga"}),
              names);
}

// The tunnel wall and the environment maps are sampled with wrap-around:
// the step across each edge must look like any step inside the picture.
TEST(Pictures, WrappedPicturesAreSeamless) {
    for (const char* name : {"03.tga", "meta.tga", "metal.tga"}) {
        const Image& img = picture(name);
        float inner_x = 0, inner_y = 0;
        for (int i = 0; i < 255; ++i) {
            inner_x = std::max(inner_x, column_step(img, i));
            inner_y = std::max(inner_y, row_step(img, i));
        }
        EXPECT_LE(column_step(img, 255), inner_x) << name << ": seam between the right and left edges";
        EXPECT_LE(row_step(img, 255), inner_y) << name << ": seam between the bottom and top edges";
        EXPECT_GT(inner_x, 0.0f) << name << " is flat";
    }
}

TEST(Pictures, WallIsColourfulAndDetailed) {
    const Image& img = picture("03.tga");
    // Hue coverage: count which of six hue sectors hold strongly coloured pixels.
    std::map<int, int> sectors;
    float detail = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const Rgb& p = img.at(x, y);
            const float mx = std::max({p.r, p.g, p.b}), mn = std::min({p.r, p.g, p.b});
            if (mx - mn > 0.3f) {
                float h;
                if (mx == p.r) h = std::fmod((p.g - p.b) / (mx - mn) + 6.0f, 6.0f);
                else if (mx == p.g) h = (p.b - p.r) / (mx - mn) + 2.0f;
                else h = (p.r - p.g) / (mx - mn) + 4.0f;
                ++sectors[static_cast<int>(h) % 6];
            }
            detail += diff(p, img.at((x + 1) % 256, y));
        }
    for (int s = 0; s < 6; ++s) EXPECT_GT(sectors[s], 500) << "hue sector " << s;
    EXPECT_GT(detail / 65536.0f, 0.02f) << "mean neighbour step";
}

// Pictures added over the scene must add nothing outside their drawing: the
// lettering and the badge leave the screen's edges untouched (no glow line
// along a border), and the web's background is black between its threads.
TEST(Pictures, AdditivePicturesHaveBlackBorders) {
    for (const char* name : {"q52.tga", "plinux.tga", "credits.tga", "greets.tga"}) {
        const Image& img = picture(name);
        for (int i = 0; i < 256; i += 5)
            for (const Rgb& p : {img.at(i, 0), img.at(0, i), img.at(255, i)}) {
                EXPECT_LT(std::max({p.r, p.g, p.b}), 0.5f / 255.0f) << name << " at " << i;
            }
        // And they are not empty.
        int lit = 0;
        for (const Rgb& p : img.px) lit += std::max({p.r, p.g, p.b}) > 0.5f;
        EXPECT_GT(lit, 2000) << name;
    }
    int dark = 0;
    for (const Rgb& p : picture("spider.tga").px) dark += std::max({p.r, p.g, p.b}) < 16.0f / 255.0f;
    EXPECT_GT(dark, 65536 / 2);
}

TEST(Pictures, TheTwoMetalsDiffer) {
    auto mean = [](const Image& img) {
        Rgb m;
        for (const Rgb& p : img.px) m = m + p * (1.0f / 65536.0f);
        return m;
    };
    const Rgb chrome = mean(picture("meta.tga")), gold = mean(picture("metal.tga"));
    // Chrome is cool (blue at least as strong as red), the other metal warm.
    EXPECT_GE(chrome.b, chrome.r);
    EXPECT_GT(gold.r, gold.b * 1.5f);
    // Each has a clear highlight: some pixels near white.
    for (const char* name : {"meta.tga", "metal.tga"}) {
        int hot = 0;
        for (const Rgb& p : picture(name).px) hot += 0.3f * p.r + 0.59f * p.g + 0.11f * p.b > 0.9f;
        EXPECT_GT(hot, 20) << name;
    }
}

// Which picture row reaches the top of the screen is fixed by how the show
// draws each picture: the full-screen quads over the ripple and the metaballs
// put texture row 255 at the top, the zooming badge row 0. In both cases the
// top of the drawing (image row 0) must end up there.
TEST(Pictures, EveryPictureIsUprightInTheShow) {
    const std::map<std::string, int> screen_top_row{{"q52.tga", 255}, {"spider.tga", 255}, {"credits.tga", 255},
                                                    {"greets.tga", 255}, {"plinux.tga", 0}};
    for (const PictureFile& p : pictures()) {
        const auto it = screen_top_row.find(p.name);
        if (it == screen_top_row.end()) continue;
        const std::vector<uint8_t> file = write_tga(p.image, p.origin);
        const size_t base = file.size() - 196608;
        // Screen row k (0 = top) shows picture row k or 255 - k; the show
        // reads picture row i from stored row 255 - i. Image row k must be there.
        int mismatches = 0;
        for (int k = 0; k < 256; ++k) {
            const int picture_row = it->second == 255 ? 255 - k : k;
            const int stored = 255 - picture_row;
            for (int x = 0; x < 256; ++x) {
                const size_t at = base + static_cast<size_t>((stored * 256 + x) * 3);
                const Rgb& want = p.image.at(x, k);
                mismatches += to_byte(want.r) != file[at + 2] || to_byte(want.g) != file[at + 1] || to_byte(want.b) != file[at];
            }
        }
        EXPECT_EQ(0, mismatches) << p.name;
    }
}

TEST(Pictures, TileNoiseWrapsAtTheTileEdge) {
    for (int cells : {2, 4, 32}) {
        for (float x : {0.5f, 17.25f, 200.0f}) {
            EXPECT_FLOAT_EQ(tile_noise(x, 3.0f, cells, 9), tile_noise(x + 256.0f, 3.0f, cells, 9));
            EXPECT_FLOAT_EQ(tile_noise(3.0f, x, cells, 9), tile_noise(3.0f, x - 256.0f, cells, 9));
        }
    }
    // Values stay within 0..1 and vary.
    float lo = 1, hi = 0;
    for (int i = 0; i < 1000; ++i) {
        const float v = tile_noise(static_cast<float>(i) * 0.77f, static_cast<float>(i) * 1.31f, 8, 3);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GE(lo, 0.0f);
    EXPECT_LE(hi, 1.0f);
    EXPECT_GT(hi - lo, 0.5f);
}
