#include "geometry/matte.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const float HALF_PI = 1.57079632679f;

void expect_block(const matris &m, const float (&want)[3][3], float tol = 1e-6f)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(m.m[r][c], want[r][c], tol) << "entry " << r << c;
}

matris sample(float base)
{
    matris m;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            m.m[r][c] = base + (float)(r * 4 + c) * 0.5f - (float)((r + c) % 3);
    return m;
}

void transform(const matris &m, const float p[3], float out[3])
{
    for (int r = 0; r < 3; r++)
        out[r] = m.m[r][0] * p[0] + m.m[r][1] * p[1] + m.m[r][2] * p[2] + m.m[r][3];
}

TEST(Matte, ZeroAnglesGiveIdentityAndKeepTranslation)
{
    matris m = sample(3.0f);
    make_rotation_matris(0, 0, 0, &m);
    expect_block(m, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    EXPECT_EQ(m.m[0][3], sample(3.0f).m[0][3]);
    EXPECT_EQ(m.m[1][3], sample(3.0f).m[1][3]);
    EXPECT_EQ(m.m[2][3], sample(3.0f).m[2][3]);
}

TEST(Matte, QuarterTurnAboutZObjectAndCameraAreTransposes)
{
    matris obj, cam;
    identity_matris(&obj);
    make_rotation_matris(0, 0, HALF_PI, &obj);
    expect_block(obj, {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}});

    cam = sample(7.0f);
    make_rotation_matris_camera(0, 0, HALF_PI, &cam);
    expect_block(cam, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}});
    EXPECT_EQ(cam.m[0][3], 0.0f);
    EXPECT_EQ(cam.m[1][3], 0.0f);
    EXPECT_EQ(cam.m[2][3], 0.0f);
}

TEST(Matte, ObjectRotationIsOrthonormalAndMatchesSingleAxes)
{
    // Rows of a rotation block are orthonormal.
    matris m;
    identity_matris(&m);
    make_rotation_matris(0.3f, -1.1f, 2.0f, &m);
    for (int a = 0; a < 3; a++)
        for (int b = 0; b < 3; b++) {
            float dot = 0;
            for (int k = 0; k < 3; k++)
                dot += m.m[a][k] * m.m[b][k];
            EXPECT_NEAR(dot, a == b ? 1.0f : 0.0f, 1e-6f);
        }
    // Single-axis cases against the elementary rotations.
    make_rotation_matris(0.5f, 0, 0, &m);
    const float s = std::sin(0.5f), c = std::cos(0.5f);
    expect_block(m, {{1, 0, 0}, {0, c, s}, {0, -s, c}});
    make_rotation_matris(0, 0.5f, 0, &m);
    expect_block(m, {{c, 0, -s}, {0, 1, 0}, {s, 0, c}});
}

TEST(Matte, CameraRotationTurnsAboutYThenXThenZ)
{
    matris cam;
    make_rotation_matris_camera(HALF_PI, HALF_PI, 0, &cam);
    // Turn (1,0,0) about y by 90 degrees: (0,0,-1); then about x: (0,1,0).
    const float p[3] = {1, 0, 0};
    float q[3];
    transform(cam, p, q);
    EXPECT_NEAR(q[0], 0, 1e-6f);
    EXPECT_NEAR(q[1], 1, 1e-6f);
    EXPECT_NEAR(q[2], 0, 1e-6f);

    make_matris_camera(1, 2, 3, 0, 0, 0, &cam);
    expect_block(cam, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    EXPECT_EQ(cam.m[0][3], 1.0f);
    EXPECT_EQ(cam.m[1][3], 2.0f);
    EXPECT_EQ(cam.m[2][3], 3.0f);
}

TEST(Matte, ProductAppliesRightOperandFirst)
{
    const matris a = sample(1.0f), b = sample(-2.0f);
    matris ab;
    matris_mul(&a, &b, &ab);
    const float p[3] = {0.25f, -1.5f, 2.0f};
    float pb[3], pab[3], direct[3];
    transform(b, p, pb);
    transform(a, pb, pab);
    transform(ab, p, direct);
    for (int r = 0; r < 3; r++)
        EXPECT_NEAR(direct[r], pab[r], 1e-4f);

    // The two-argument form gives the same result in b.
    matris b2 = b;
    matris_mul(&a, &b2);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(b2.m[r][c], ab.m[r][c]);
}

TEST(Matte, TwoArgumentProductSquaresInPlace)
{
    matris a = sample(0.5f);
    const matris orig = a;
    matris want;
    matris_mul(&orig, &orig, &want);
    matris_mul(&a, &a);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(a.m[r][c], want.m[r][c]);
}

TEST(Matte, ThreeByThreeProductLeavesTranslation)
{
    const matris a = sample(1.0f), b = sample(2.0f);
    matris out = sample(9.0f);
    matris_mul3x3(&a, &b, &out);
    matris full;
    matris_mul(&a, &b, &full);
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(out.m[r][c], full.m[r][c]);
        EXPECT_EQ(out.m[r][3], sample(9.0f).m[r][3]);
    }
    matris b2 = b;
    matris_mul3x3(&a, &b2);
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(b2.m[r][c], full.m[r][c]);
        EXPECT_EQ(b2.m[r][3], b.m[r][3]);
    }
}

TEST(Matte, CopiesTakeOnlyTheirPart)
{
    const matris src = sample(4.0f);
    matris all, block = sample(-3.0f), loc = sample(-3.0f);
    copy_matris(&src, &all);
    copy_matris_3x3(&src, &block);
    copy_matris_location(&src, &loc);
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(all.m[r][c], src.m[r][c]);
        for (int c = 0; c < 3; c++) {
            EXPECT_EQ(block.m[r][c], src.m[r][c]);
            EXPECT_EQ(loc.m[r][c], sample(-3.0f).m[r][c]);
        }
        EXPECT_EQ(block.m[r][3], sample(-3.0f).m[r][3]);
        EXPECT_EQ(loc.m[r][3], src.m[r][3]);
    }
    clear_matris(&all);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(all.m[r][c], 0.0f);
}

TEST(Matte, ObjectSeenFromCamera)
{
    matris p, q, out;
    make_matris(1, 2, 3, 0, 0, 0, &p);
    make_matris(4, 6, 8, 0, 0, 0, &q);
    add_matris_as_camera(&p, &q, &out);
    expect_block(out, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    EXPECT_EQ(out.m[0][3], 3.0f);
    EXPECT_EQ(out.m[1][3], 4.0f);
    EXPECT_EQ(out.m[2][3], 5.0f);

    // A turned camera turns the offset too; the two-argument form overwrites q.
    make_matris_camera(1, 2, 3, 0, 0, HALF_PI, &p);
    add_matris_as_camera(&p, &q);
    // Offset (3, 4, 5) through Rz(90): (-4, 3, 5).
    EXPECT_NEAR(q.m[0][3], -4.0f, 1e-5f);
    EXPECT_NEAR(q.m[1][3], 3.0f, 1e-5f);
    EXPECT_NEAR(q.m[2][3], 5.0f, 1e-5f);
    expect_block(q, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}});
}

TEST(Matte, PrintsThreeRows)
{
    matris m;
    identity_matris(&m);
    m.m[2][3] = -2.5f;
    testing::internal::CaptureStdout();
    print_matris(&m);
    const std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(text,
              " [1.000000,0.000000,0.000000,0.000000]\n\r"
              " [0.000000,1.000000,0.000000,0.000000]\n\r"
              " [0.000000,0.000000,1.000000,-2.500000]\n\r");
}

}  // namespace
