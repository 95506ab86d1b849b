// matte: affine transforms (see matte.h for the conventions).
#include "geometry/matte.h"

#include <cmath>
#include <cstdio>

void clear_matris(matris *a)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            a->m[r][c] = 0.0f;
}

void identity_matris(matris *a)
{
    clear_matris(a);
    a->m[0][0] = 1.0f;
    a->m[1][1] = 1.0f;
    a->m[2][2] = 1.0f;
}

void matris_mul(const matris *a, const matris *b, matris *out)
{
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++)
            out->m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] +
                           a->m[r][2] * b->m[2][c];
        out->m[r][3] = a->m[r][0] * b->m[0][3] + a->m[r][1] * b->m[1][3] +
                       a->m[r][2] * b->m[2][3] + a->m[r][3];
    }
}

void matris_mul(const matris *a, matris *b)
{
    matris tmp;
    matris_mul(a, b, &tmp);
    copy_matris(&tmp, b);
}

void matris_mul3x3(const matris *a, const matris *b, matris *out)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            out->m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] +
                           a->m[r][2] * b->m[2][c];
}

void matris_mul3x3(const matris *a, matris *b)
{
    matris tmp;
    matris_mul3x3(a, b, &tmp);
    copy_matris_3x3(&tmp, b);
}

void copy_matris(const matris *src, matris *dst)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            dst->m[r][c] = src->m[r][c];
}

void copy_matris_3x3(const matris *src, matris *dst)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            dst->m[r][c] = src->m[r][c];
}

void copy_matris_location(const matris *src, matris *dst)
{
    for (int r = 0; r < 3; r++)
        dst->m[r][3] = src->m[r][3];
}

void print_matris(const matris *a)
{
    for (int r = 0; r < 3; r++)
        printf(" [%f,%f,%f,%f]\n\r", a->m[r][0], a->m[r][1], a->m[r][2], a->m[r][3]);
}

void make_rotation_matris(float ax, float ay, float az, matris *a)
{
    const float sx = (float)std::sin((double)ax), cx = (float)std::cos((double)ax);
    const float sy = (float)std::sin((double)ay), cy = (float)std::cos((double)ay);
    const float sz = (float)std::sin((double)az), cz = (float)std::cos((double)az);

    a->m[0][0] = cy * cz;
    a->m[0][1] = cy * sz;
    a->m[0][2] = -sy;
    a->m[1][0] = sx * sy * cz - cx * sz;
    a->m[1][1] = cx * cz + sx * sy * sz;
    a->m[1][2] = sx * cy;
    a->m[2][0] = cx * sy * cz + sx * sz;
    a->m[2][1] = cx * sy * sz - sx * cz;
    a->m[2][2] = cx * cy;
}

void make_matris(float tx, float ty, float tz, float ax, float ay, float az, matris *a)
{
    make_rotation_matris(ax, ay, az, a);
    a->m[0][3] = tx;
    a->m[1][3] = ty;
    a->m[2][3] = tz;
}

void make_rotation_matris_camera(float ax, float ay, float az, matris *a)
{
    const float sx = (float)std::sin((double)ax), cx = (float)std::cos((double)ax);
    const float sy = (float)std::sin((double)ay), cy = (float)std::cos((double)ay);
    const float sz = (float)std::sin((double)az), cz = (float)std::cos((double)az);

    matris rx, ry, rz;
    identity_matris(&ry);
    ry.m[0][0] = cy;  ry.m[0][2] = sy;
    ry.m[2][0] = -sy; ry.m[2][2] = cy;
    identity_matris(&rx);
    rx.m[1][1] = cx; rx.m[1][2] = -sx;
    rx.m[2][1] = sx; rx.m[2][2] = cx;
    identity_matris(&rz);
    rz.m[0][0] = cz; rz.m[0][1] = -sz;
    rz.m[1][0] = sz; rz.m[1][1] = cz;

    identity_matris(a);
    copy_matris_3x3(&ry, a);
    matris_mul3x3(&rx, a);  // Rx*Ry
    matris_mul3x3(&rz, a);  // Rz*Rx*Ry
}

void make_matris_camera(float tx, float ty, float tz, float ax, float ay, float az, matris *a)
{
    make_rotation_matris_camera(ax, ay, az, a);
    a->m[0][3] = tx;
    a->m[1][3] = ty;
    a->m[2][3] = tz;
}

void add_matris_as_camera(const matris *p, const matris *q, matris *out)
{
    const float dx = q->m[0][3] - p->m[0][3];
    const float dy = q->m[1][3] - p->m[1][3];
    const float dz = q->m[2][3] - p->m[2][3];
    matris_mul3x3(p, q, out);
    for (int r = 0; r < 3; r++)
        out->m[r][3] = p->m[r][0] * dx + p->m[r][1] * dy + p->m[r][2] * dz;
}

void add_matris_as_camera(const matris *p, matris *q)
{
    matris tmp;
    add_matris_as_camera(p, q, &tmp);
    copy_matris(&tmp, q);
}
