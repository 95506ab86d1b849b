// meta: metaball field on a grid and its marching-cubes triangulation.
#include "geometry/meta.h"

#include <cmath>
#include <cstdlib>

static float isolevel = 0.0f;

// The two corners of each edge, interpolated from the first to the second.
static const int EDGE_CORNERS[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                        {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

int create_grid(int size_x, int size_y, int size_z, float x0, float dx, float y0, float dy,
                float z0, float dz, grid *g)
{
    g->size_x = g->size_y = g->size_z = 0;
    g->points = nullptr;
    if (size_x <= 0 || size_y <= 0 || size_z <= 0)
        return 0;
    const size_t count = (size_t)size_x * (size_t)size_y * (size_t)size_z;
    g->points = (grid_point *)malloc(count * sizeof(grid_point));
    if (!g->points)
        return 0;

    // Positions are accumulated by repeated addition in double precision and
    // stored as floats.
    size_t n = 0;
    double z = z0;
    for (int k = 0; k < size_z; k++, z += dz) {
        double y = y0;
        for (int j = 0; j < size_y; j++, y += dy) {
            double x = x0;
            for (int i = 0; i < size_x; i++, x += dx) {
                g->points[n].x = (float)x;
                g->points[n].y = (float)y;
                g->points[n].z = (float)z;
                g->points[n].value = 0.0f;
                n++;
            }
        }
    }
    g->size_x = size_x;
    g->size_y = size_y;
    g->size_z = size_z;
    return 1;
}

void close_grid(grid *g)
{
    free(g->points);
    g->points = nullptr;
    g->size_x = g->size_y = g->size_z = 0;
}

static size_t grid_count(const grid *g)
{
    if (!g->points || g->size_x <= 0 || g->size_y <= 0 || g->size_z <= 0)
        return 0;
    return (size_t)g->size_x * (size_t)g->size_y * (size_t)g->size_z;
}

void clear_grid(grid *g)
{
    const size_t n = grid_count(g);
    for (size_t p = 0; p < n; p++)
        g->points[p].value = 0.0f;
}

void calculate_bollar_to_grid_dont_zero(int count, const boll *bollar, grid *g)
{
    const size_t n = grid_count(g);
    if (n == 0 || count <= 0)
        return;
    const int sx = g->size_x, sy = g->size_y, sz = g->size_z;
    const size_t sxy = (size_t)sx * (size_t)sy;
    // The grid is regular: x depends on i only, y on j, z on k. Per ball the
    // squared offsets along each axis are taken once; the sum per point is
    // the same as from the point's own position.
    double *axis = (double *)malloc(sizeof(double) * (size_t)(sx + sy + sz));
    if (!axis) {
        for (size_t p = 0; p < n; p++) {
            grid_point *pt = &g->points[p];
            for (int b = 0; b < count; b++) {
                const double dx = (double)pt->x - bollar[b].x;
                const double dy = (double)pt->y - bollar[b].y;
                const double dz = (double)pt->z - bollar[b].z;
                const double d2 = dx * dx + dy * dy + dz * dz;
                pt->value = (float)(pt->value + (d2 > 0.0 ? 1.0 / std::sqrt(d2) : (double)BOLL_CENTRE_VALUE));
            }
        }
        return;
    }
    double *ax = axis, *ay = axis + sx, *az = axis + sx + sy;
    // Balls outermost: each point still adds the balls in order.
    for (int b = 0; b < count; b++) {
        for (int i = 0; i < sx; i++) {
            const double d = (double)g->points[i].x - bollar[b].x;
            ax[i] = d * d;
        }
        for (int j = 0; j < sy; j++) {
            const double d = (double)g->points[(size_t)j * sx].y - bollar[b].y;
            ay[j] = d * d;
        }
        for (int k = 0; k < sz; k++) {
            const double d = (double)g->points[(size_t)k * sxy].z - bollar[b].z;
            az[k] = d * d;
        }
        grid_point *pt = g->points;
        for (int k = 0; k < sz; k++)
            for (int j = 0; j < sy; j++) {
                const double yz = ay[j];
                for (int i = 0; i < sx; i++, pt++) {
                    const double d2 = ax[i] + yz + az[k];
                    const double add = d2 > 0.0 ? 1.0 / std::sqrt(d2) : (double)BOLL_CENTRE_VALUE;
                    pt->value = (float)(pt->value + add);
                }
            }
    }
    free(axis);
}

void calculate_bollar_to_grid(int count, const boll *bollar, grid *g)
{
    clear_grid(g);
    calculate_bollar_to_grid_dont_zero(count, bollar, g);
}

// One axis of a ball's box: [first, last) in point indices, clipped to the
// grid. The upper bound is lowered to size - 1 when it reaches size, so the
// last point of an axis is never in a box.
static void box_range(float centre, int r, int size, int *first, int *last)
{
    const int half = size >> 1;
    int lo = (int)(centre - (float)r + (float)half);
    int hi = (int)((float)half + ((float)r + centre));
    if (lo < 0)
        lo = 0;
    if (hi >= size)
        hi = size - 1;
    *first = lo;
    *last = hi;
}

void calculate_bollar_to_grid2(int count, const boll *bollar, grid *g)
{
    clear_grid(g);
    if (grid_count(g) == 0)
        return;
    const int sx = g->size_x, sxy = g->size_x * g->size_y;
    for (int b = 0; b < count; b++) {
        const boll *ball = &bollar[b];
        const int r = (int)ball->radius;
        int i0, i1, j0, j1, k0, k1;
        box_range(ball->x, r, g->size_x, &i0, &i1);
        box_range(ball->y, r, g->size_y, &j0, &j1);
        box_range(ball->z, r, g->size_z, &k0, &k1);
        for (int k = k0; k < k1; k++)
            for (int j = j0; j < j1; j++)
                for (int i = i0; i < i1; i++) {
                    grid_point *pt = &g->points[i + sx * j + sxy * k];
                    const double dx = (double)pt->x - ball->x;
                    const double dy = (double)pt->y - ball->y;
                    const double dz = (double)pt->z - ball->z;
                    const float e = (float)(ball->radius - std::sqrt(dx * dx + dy * dy + dz * dz));
                    if (e > 0.0f)
                        pt->value += e;
                }
    }
}

void set_isolevel(float level)
{
    isolevel = level;
}

int polygonize(const grid *g, poly *out, int max_polys)
{
    if (grid_count(g) == 0 || g->size_x < 3 || g->size_y < 3 || g->size_z < 2 || max_polys <= 0)
        return 0;

    const int sx = g->size_x;
    const int sxy = g->size_x * g->size_y;
    const int corner_offset[8] = {sxy + sx, sxy + sx + 1, sx + 1, sx, sxy, sxy + 1, 1, 0};
    const grid_point *pts = g->points;

    int count = 0;
    int b = 0;  // base index of the cell: (i, j, k)
    for (int k = 0; k < g->size_z - 1; k++) {
        for (int j = 0; j < g->size_y - 2; j++) {
            for (int i = 0; i < g->size_x - 2; i++, b++) {
                int cube = 0;
                for (int c = 0; c < 8; c++)
                    if (pts[b + corner_offset[c]].value > isolevel)
                        cube |= 1 << c;
                if (cube == 0 || cube == 255)
                    continue;

                poly_vertex vert[12];
                const int edges = edgeTable[cube];
                for (int e = 0; e < 12; e++) {
                    if (!(edges & (1 << e)))
                        continue;
                    const int ia = b + corner_offset[EDGE_CORNERS[e][0]];
                    const int ib = b + corner_offset[EDGE_CORNERS[e][1]];
                    const grid_point &pa = pts[ia], &pb = pts[ib];
                    // Every point used here has a neighbour along +x and +y:
                    // cells stop two points short of the end of those axes.
                    const float gxa = pa.value - pts[ia + 1].value;
                    const float gxb = pb.value - pts[ib + 1].value;
                    const float gya = pa.value - pts[ia + sx].value;
                    const float gyb = pb.value - pts[ib + sx].value;
                    const float t = (isolevel - pa.value) / (pb.value - pa.value);
                    poly_vertex &v = vert[e];
                    v.x = pa.x + t * (pb.x - pa.x);
                    v.y = pa.y + t * (pb.y - pa.y);
                    v.z = pa.z + t * (pb.z - pa.z);
                    v.nx = gxa + t * (gxb - gxa);
                    v.ny = gya + t * (gyb - gya);
                }

                const int *tri = triTable[cube];
                for (int n = 0; tri[n] != -1; n += 3) {
                    if (count == max_polys)
                        return count;
                    poly &p = out[count++];
                    for (int m = 0; m < 3; m++) {
                        const poly_vertex &v = vert[tri[n + m]];
                        p.v[m].x = v.x;
                        p.v[m].y = v.y;
                        p.v[m].z = v.z;
                        p.v[m].nx = v.nx;
                        p.v[m].ny = v.ny;
                    }
                }
            }
            b += 2;  // skip the last two points of the row
        }
        b += 2 * sx;  // skip the last two rows of the layer
    }
    return count;
}
