// meta: a metaball field sampled on a regular grid, triangulated by marching
// cubes.
//
// Cell corners, as offsets (i, j, k) from the cell's base point:
//   0 (0,1,1)  1 (1,1,1)  2 (1,1,0)  3 (0,1,0)
//   4 (0,0,1)  5 (1,0,1)  6 (1,0,0)  7 (0,0,0)
// Edges: 0: 0-1, 1: 1-2, 2: 2-3, 3: 3-0, 4: 4-5, 5: 5-6, 6: 6-7, 7: 7-4,
//        8: 0-4, 9: 1-5, 10: 2-6, 11: 3-7.
// Bit n of a corner pattern is set when corner n's value is above the
// iso-level (a value equal to it counts as outside).
#pragma once

struct grid_point {
    float x, y, z;  // fixed when the grid is created
    float value;    // the field, rewritten every frame
};

// Point (i, j, k) is points[i + size_x*j + size_x*size_y*k].
struct grid {
    int size_x, size_y, size_z;
    grid_point *points;
};

struct boll {
    float x, y, z;
    float radius;  // read only by the cone field
};

struct poly_vertex {
    float x, y, z;  // surface point
    float nx, ny;   // field differences along x and y, interpolated
    float nz;       // never written by polygonize
};

struct poly {
    poly_vertex v[3];
};
static_assert(sizeof(poly) == 72, "a triangle is 72 bytes");

extern const int edgeTable[256];
extern const int triTable[256][16];

// Allocates the points (values left unset). Returns 1, or 0 when a size is
// not positive or the allocation fails (the grid is then empty).
int create_grid(int size_x, int size_y, int size_z, float x0, float dx, float y0, float dy,
                float z0, float dz, grid *g);
void close_grid(grid *g);
void clear_grid(grid *g);

// Inverse-distance field: value = sum of 1/distance over the balls. A point
// on a ball's centre gets the finite contribution BOLL_CENTRE_VALUE instead
// of infinity, so that no later difference turns into NaN.
constexpr float BOLL_CENTRE_VALUE = 1.0e6f;
void calculate_bollar_to_grid(int count, const boll *bollar, grid *g);
void calculate_bollar_to_grid_dont_zero(int count, const boll *bollar, grid *g);
// Cone field (radius - distance where positive), summed over a box around
// each ball; the grid is taken to be centred on index (size>>1) with spacing 1.
void calculate_bollar_to_grid2(int count, const boll *bollar, grid *g);

void set_isolevel(float level);

// Writes the triangles of the iso-surface to out, at most max_polys of them
// (the walk stops when the buffer is full), and returns their number.
int polygonize(const grid *g, poly *out, int max_polys);
