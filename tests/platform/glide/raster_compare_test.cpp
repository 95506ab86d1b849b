// The fast rasteriser against the reference, thread counts against each
// other, and pinned frames.
#include <gtest/gtest.h>

#include <cstring>

#include "random_scene.h"

using namespace glide_test;

namespace {

struct Frame {
    std::vector<uint16_t> colour, depth;
};

Frame renderScene(uint32_t seed, int count, bool reference, int threads, int vectorLevel = 2) {
    glide::setReferenceRaster(reference);
    glide::setVectorLevel(vectorLevel);
    glide::setThreadCount(threads);
    SceneTextures tx;
    uploadSceneTextures(tx, seed);
    drawRandomScene(tx, seed, count, glide::screenWidth(), glide::screenHeight());
    const size_t n = static_cast<size_t>(glide::screenWidth()) * glide::screenHeight();
    Frame f;
    f.colour.assign(glide::backBuffer(), glide::backBuffer() + n);
    f.depth.assign(glide::depthBuffer(), glide::depthBuffer() + n);
    glide::setReferenceRaster(false);
    glide::setVectorLevel(2);
    return f;
}

// Both rasterisers evaluate the same fixed-point planes, so they must agree
// on every pixel and every depth value at every vector level: the tolerance
// is zero.
TEST(RasterCompare, FastPathMatchesReferenceOnRandomScenes) {
    openScreen();
    int differing = 0;
    const int best = glide::setVectorLevel(2);
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        const Frame ref = renderScene(seed, 300, true, 1);
        for (int level = 0; level <= best; ++level) {
            const Frame fast = renderScene(seed, 300, false, 2, level);
            for (size_t i = 0; i < ref.colour.size(); ++i) {
                if (ref.colour[i] != fast.colour[i] || ref.depth[i] != fast.depth[i]) {
                    if (++differing <= 5) {
                        ADD_FAILURE() << "seed " << seed << " pixel " << i % 320 << "," << i / 320 << ": reference "
                                      << ref.colour[i] << "/" << ref.depth[i] << " fast " << fast.colour[i] << "/"
                                      << fast.depth[i] << " (vector level " << level << ")";
                    }
                }
            }
        }
    }
    EXPECT_EQ(differing, 0);
    closeScreen();
}

TEST(ThreadGlide, ThreadCountsGiveIdenticalFrames) {
    openScreen();
    const Frame one = renderScene(99, 400, false, 1);
    for (int threads : {2, 7}) {
        const Frame many = renderScene(99, 400, false, threads);
        EXPECT_TRUE(one.colour == many.colour) << threads << " threads";
        EXPECT_TRUE(one.depth == many.depth) << threads << " threads";
    }
    closeScreen();
}

TEST(ThreadGlide, FramesSurviveSwapsAndUploadsMidFrame) {
    // Uploads between draws, or after the swap while the frame is drawn, must
    // not change what earlier draws sampled.
    openScreen();
    auto frame = [](int threads) {
        glide::setThreadCount(threads);
        std::vector<uint16_t> a(64 * 64, 0xF800), b(64 * 64, 0x001F);
        GrTexInfo info{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, a.data()};
        textureOnUnit0(info);
        quad(0, 0, 100, 100, 0, 0, 256, 256);
        info.data = b.data();
        grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
        quad(100, 0, 200, 100, 0, 0, 256, 256);
        grBufferSwap(1);
        // The swapped frame is still being drawn: an upload now must wait for it.
        std::vector<uint16_t> c(64 * 64, 0x07E0);
        info.data = c.data();
        grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
        return std::vector<uint16_t>(glide::frontBuffer(), glide::frontBuffer() + 320 * 240);
    };
    const auto f1 = frame(1), f3 = frame(3);
    EXPECT_EQ(f1[50 * 320 + 50], 0xF800);
    EXPECT_EQ(f1[50 * 320 + 150], 0x001F);
    EXPECT_TRUE(f1 == f3);
    closeScreen();
}

// Pinned frames of small scenes. A change here is a change in the pictures:
// update the value only with a commit that says why they changed.
TEST(GoldenGlide, RandomScenes) {
    openScreen(GR_RESOLUTION_320x240, true);
    const uint64_t expected[] = {15910175786680439301ull, 13771307459311486480ull, 6268604038494673539ull};
    for (uint32_t i = 0; i < 3; ++i) {
        renderScene(1000 + i, 250, false, 2);
        EXPECT_EQ(frameHash(), expected[i]) << "scene " << i;
    }
    closeScreen();
}

}  // namespace
