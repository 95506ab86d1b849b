// matte: small affine-transform library in single precision.
//
// Conventions:
//  - storage: m[row][col], row after row; the left 3x3 block is the linear
//    part, column 3 (m03, m13, m23) is the translation ("location"). The
//    fourth row 0 0 0 1 is implied and never stored.
//  - points are column vectors: x' = m00*x + m01*y + m02*z + m03.
//  - products: matris_mul(A, B, out) gives out = A*B, i.e. B is applied to a
//    point first, then A.
//  - angles are radians.
//  - no function allocates; the caller owns every matris.
#pragma once

struct matris {
    float m[3][4];
};

void clear_matris(matris *a);
void identity_matris(matris *a);

// out = a*b. out must be neither a nor b (results are written as computed).
void matris_mul(const matris *a, const matris *b, matris *out);
// b = a*b through a temporary, so a == b is fine.
void matris_mul(const matris *a, matris *b);

// 3x3 blocks only; the translation of the destination is left unchanged.
void matris_mul3x3(const matris *a, const matris *b, matris *out);
void matris_mul3x3(const matris *a, matris *b);

void copy_matris(const matris *src, matris *dst);
void copy_matris_3x3(const matris *src, matris *dst);
void copy_matris_location(const matris *src, matris *dst);

void print_matris(const matris *a);

// Object rotation: the transpose of Rz(az)*Ry(ay)*Rx(ax); translation kept.
void make_rotation_matris(float ax, float ay, float az, matris *a);
void make_matris(float tx, float ty, float tz, float ax, float ay, float az, matris *a);

// Camera rotation: Rz*Rx*Ry (turn about y first, then x, then z).
// make_rotation_matris_camera zeroes the translation.
void make_rotation_matris_camera(float ax, float ay, float az, matris *a);
void make_matris_camera(float tx, float ty, float tz, float ax, float ay, float az, matris *a);

// The object q seen from the camera p: 3x3 = p*q, translation = p3x3 *
// (q.location - p.location). The three-argument form requires out to be
// neither p nor q.
void add_matris_as_camera(const matris *p, matris *q);
void add_matris_as_camera(const matris *p, const matris *q, matris *out);
