#include "geometry/meta.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <tuple>
#include <vector>

namespace {

// Owns a grid for the length of a test.
struct Grid {
    grid g{};
    Grid(int n, float origin, float step) { create_grid(n, n, n, origin, step, origin, step, origin, step, &g); }
    ~Grid() { close_grid(&g); }
    grid_point &at(int i, int j, int k) { return g.points[i + g.size_x * j + g.size_x * g.size_y * k]; }
};

std::vector<poly> run(const grid &g, int capacity = 10000)
{
    std::vector<poly> out((size_t)capacity);
    out.resize((size_t)polygonize(&g, out.data(), capacity));
    return out;
}

TEST(MetaTables, KnownRowsAndEdgeConsistency)
{
    EXPECT_EQ(edgeTable[1], 0x109);
    EXPECT_EQ(edgeTable[2], 0x203);
    EXPECT_EQ(edgeTable[3], 0x30A);
    EXPECT_EQ(edgeTable[8], 0x80C);
    EXPECT_EQ(edgeTable[15], 0xF00);
    EXPECT_EQ(edgeTable[254], 0x109);
    const std::vector<std::pair<int, std::vector<int>>> rows = {
        {1, {0, 8, 3}},      {2, {0, 1, 9}},          {3, {1, 8, 3, 9, 8, 1}}, {4, {1, 2, 10}},
        {5, {0, 8, 3, 1, 2, 10}}, {127, {7, 11, 6}}, {128, {7, 6, 11}},      {254, {0, 3, 8}},
        {0, {}},             {255, {}}};
    for (const auto &[c, want] : rows) {
        std::vector<int> got;
        for (int n = 0; triTable[c][n] != -1; n++)
            got.push_back(triTable[c][n]);
        EXPECT_EQ(got, want) << "row " << c;
    }
    for (int c = 0; c < 256; c++) {
        EXPECT_EQ(edgeTable[c], edgeTable[255 - c]);
        int used = 0, n = 0;
        for (; n < 16 && triTable[c][n] != -1; n++)
            used |= 1 << triTable[c][n];
        EXPECT_EQ(n % 3, 0) << "row " << c;
        EXPECT_LE(n, 15) << "row " << c;
        for (; n < 16; n++)
            EXPECT_EQ(triTable[c][n], -1) << "row " << c;
        EXPECT_EQ(used, edgeTable[c]) << "row " << c;
    }
}

TEST(MetaGrid, PositionsAndLayout)
{
    Grid gr(20, -9.0f, 1.0f);
    ASSERT_NE(gr.g.points, nullptr);
    EXPECT_EQ(gr.g.size_x, 20);
    const grid_point &p = gr.at(3, 5, 19);
    EXPECT_EQ(p.x, -6.0f);
    EXPECT_EQ(p.y, -4.0f);
    EXPECT_EQ(p.z, 10.0f);
    EXPECT_EQ(gr.g.points[1].x, -8.0f);    // x fastest
    EXPECT_EQ(gr.g.points[20].y, -8.0f);   // then y
    EXPECT_EQ(gr.g.points[400].z, -8.0f);  // then z
    grid bad;
    EXPECT_EQ(create_grid(0, 4, 4, 0, 1, 0, 1, 0, 1, &bad), 0);
    EXPECT_EQ(bad.points, nullptr);
}

TEST(MetaField, InverseDistanceAndTwoBallsDouble)
{
    Grid one(8, -3.0f, 1.0f), two(8, -3.0f, 1.0f);
    const boll b = {0.5f, 0.25f, -0.5f, 99.0f};
    const boll pair[2] = {b, b};
    calculate_bollar_to_grid(1, &b, &one.g);
    calculate_bollar_to_grid(2, pair, &two.g);
    for (int n = 0; n < 8 * 8 * 8; n++) {
        const grid_point &p = one.g.points[n];
        const double d = std::sqrt(std::pow(p.x - 0.5, 2) + std::pow(p.y - 0.25, 2) + std::pow(p.z + 0.5, 2));
        EXPECT_NEAR(p.value, 1.0 / d, 1e-6 / d);
        EXPECT_FLOAT_EQ(two.g.points[n].value, 2.0f * p.value);
    }
    // dont_zero adds on top; the plain form starts again from 0.
    calculate_bollar_to_grid_dont_zero(1, &b, &one.g);
    EXPECT_FLOAT_EQ(one.g.points[77].value, two.g.points[77].value);
    calculate_bollar_to_grid(1, &b, &one.g);
    EXPECT_FLOAT_EQ(2.0f * one.g.points[77].value, two.g.points[77].value);
    clear_grid(&one.g);
    EXPECT_EQ(one.g.points[77].value, 0.0f);
}

TEST(MetaField, BallOnGridPointStaysFinite)
{
    Grid gr(5, -2.0f, 1.0f);
    const boll b = {0, 0, 0, 1};
    calculate_bollar_to_grid(1, &b, &gr.g);
    EXPECT_EQ(gr.at(2, 2, 2).value, BOLL_CENTRE_VALUE);
    EXPECT_FLOAT_EQ(gr.at(3, 2, 2).value, 1.0f);
    // With a level above the neighbours the centre's edges are crossed; every
    // vertex must be a finite point next to the centre.
    set_isolevel(1.2f);
    for (const poly &p : run(gr.g))
        for (const poly_vertex &v : p.v) {
            EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.nx) && std::isfinite(v.ny));
            EXPECT_LE(std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z), 1.0f + 1e-5f);
        }
}

TEST(MetaField, ConeFieldInBoxes)
{
    Grid gr(10, -5.0f, 1.0f);  // centre index 5 is position 0
    const boll b = {0.0f, 0.0f, 0.0f, 2.5f};
    calculate_bollar_to_grid2(1, &b, &gr.g);
    EXPECT_FLOAT_EQ(gr.at(5, 5, 5).value, 2.5f);
    EXPECT_FLOAT_EQ(gr.at(6, 5, 5).value, 1.5f);
    EXPECT_NEAR(gr.at(6, 6, 5).value, 2.5f - std::sqrt(2.0f), 1e-6f);
    // The box is [3, 7) on each axis: index 7 (distance 2) is outside it.
    EXPECT_EQ(gr.at(7, 5, 5).value, 0.0f);
    EXPECT_FLOAT_EQ(gr.at(3, 5, 5).value, 0.5f);
    EXPECT_EQ(gr.at(0, 0, 0).value, 0.0f);

    // A ball near the edge has its box cut at the grid; nothing is written
    // outside, and the last point of an axis is never in a box.
    const boll edge = {4.0f, -5.0f, 0.0f, 3.0f};
    calculate_bollar_to_grid2(1, &edge, &gr.g);
    EXPECT_FLOAT_EQ(gr.at(8, 0, 5).value, 2.0f);
    EXPECT_EQ(gr.at(9, 0, 5).value, 0.0f);
    EXPECT_EQ(gr.at(5, 5, 5).value, 0.0f);  // cleared first
}

TEST(MetaPolygonize, UniformGridsGiveNothing)
{
    Grid gr(6, 0.0f, 1.0f);
    set_isolevel(0.5f);
    for (int n = 0; n < 216; n++)
        gr.g.points[n].value = 1.0f;
    EXPECT_TRUE(run(gr.g).empty());
    for (int n = 0; n < 216; n++)
        gr.g.points[n].value = 0.5f;  // equal to the level counts as outside
    EXPECT_TRUE(run(gr.g).empty());
    gr.at(2, 2, 2).value = 0.5000001f;
    EXPECT_EQ(run(gr.g).size(), 8u);  // one corner in each of the 8 cells around it
}

TEST(MetaPolygonize, CellBasesStopShortOfTheLastPoints)
{
    Grid gr(20, -9.0f, 1.0f);
    set_isolevel(0.5f);
    auto lone = [&](int i, int j, int k) {
        clear_grid(&gr.g);
        gr.at(i, j, k).value = 1.0f;
        return run(gr.g).size();
    };
    EXPECT_EQ(lone(19, 5, 5), 0u);  // never a corner along x
    EXPECT_EQ(lone(5, 19, 5), 0u);  // nor along y
    EXPECT_GT(lone(18, 5, 5), 0u);
    EXPECT_GT(lone(5, 18, 5), 0u);
    EXPECT_EQ(lone(5, 5, 19), 4u);  // the last layer is the top of the cells below it
}

TEST(MetaPolygonize, SphereAroundOneBall)
{
    Grid gr(20, -9.0f, 1.0f);
    const boll b = {0.5f, 0.5f, 0.5f, 0.0f};
    calculate_bollar_to_grid(1, &b, &gr.g);
    set_isolevel(0.8f);
    const std::vector<poly> tris = run(gr.g);
    ASSERT_GT(tris.size(), 40u);
    bool saw_plus_x = false;
    for (const poly &p : tris)
        for (const poly_vertex &v : p.v) {
            const float dx = v.x - 0.5f, dy = v.y - 0.5f, dz = v.z - 0.5f;
            const float r = std::sqrt(dx * dx + dy * dy + dz * dz);
            EXPECT_NEAR(r, 1.25f, 0.2f);
            if (dx > 1.0f) {
                EXPECT_GT(v.nx, 0.0f);  // the field falls off along +x
                saw_plus_x = true;
            }
        }
    EXPECT_TRUE(saw_plus_x);
}

// Every edge of a closed, consistently wound surface is used once in each
// direction. Vertices are matched by position, rounded.
TEST(MetaPolygonize, MetaballSurfaceIsClosedAndConsistentlyWound)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> pos(-2.0f, 2.0f);
    for (int trial = 0; trial < 20; trial++) {
        Grid gr(20, -9.5f, 1.0f);  // field below the level on every border
        boll balls[5];
        for (boll &b : balls)
            b = {pos(rng), pos(rng), pos(rng), 0.0f};
        calculate_bollar_to_grid(5, balls, &gr.g);
        set_isolevel(1.0f);
        const std::vector<poly> tris = run(gr.g);
        ASSERT_FALSE(tris.empty());
        using Key = std::tuple<long, long, long>;
        auto key = [](const poly_vertex &v) {
            return Key{std::lround(v.x * 1e4f), std::lround(v.y * 1e4f), std::lround(v.z * 1e4f)};
        };
        std::map<std::pair<Key, Key>, int> directed;
        for (const poly &p : tris)
            for (int m = 0; m < 3; m++)
                directed[{key(p.v[m]), key(p.v[(m + 1) % 3])}]++;
        int open = 0, twice = 0;
        for (const auto &[e, n] : directed) {
            if (e.first == e.second)
                continue;  // a corner exactly on the level collapses an edge
            if (n > 1)
                twice++;
            if (!directed.count({e.second, e.first}))
                open++;
        }
        EXPECT_EQ(open, 0) << "trial " << trial;
        EXPECT_EQ(twice, 0) << "trial " << trial;
    }
}

TEST(MetaPolygonize, StopsAtCapacity)
{
    Grid gr(20, -9.0f, 1.0f);
    const boll b = {0.5f, 0.5f, 0.5f, 0.0f};
    calculate_bollar_to_grid(1, &b, &gr.g);
    set_isolevel(0.8f);
    const size_t all = run(gr.g).size();
    ASSERT_GT(all, 10u);
    std::vector<poly> buf(12);
    poly sentinel{};
    sentinel.v[0].x = 1234.5f;
    buf[10] = buf[11] = sentinel;
    EXPECT_EQ(polygonize(&gr.g, buf.data(), 10), 10);
    EXPECT_EQ(buf[10].v[0].x, 1234.5f);
    EXPECT_EQ(polygonize(&gr.g, buf.data(), 0), 0);
    // The first triangles are the same as in the full run.
    EXPECT_EQ(run(gr.g)[9].v[2].x, buf[9].v[2].x);
}

}  // namespace
