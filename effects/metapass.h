// metapass: the animated metaball surface that effects 2 and 3 share: ball
// paths, field update, clipping against the view's side planes, projection
// to Glide vertices, and a full-screen picture added over the frame.
#pragma once

#include "geometry/meta.h"
#include "graphics/3dfx.h"

// One effect's own screen constants and Glide vertex scratch. Fields of
// GlVerts that the pass does not write keep what they last held.
struct meta_screen {
    float XRES, XRES_DIV2, YRES_DIV2;
    GrVertex GlVerts[32];
    int Index[32];  // 0..31: a polygon of k vertices is GlVerts[0..k-1]
};

// Screen sizes and the index list.
void init_meta_screen(meta_screen *screen, int xres, int yres);

// The triangle buffer's room.
constexpr int META_MAX_POLYS = 10000;

// Working data of one run of an effect.
struct meta_surface {
    grid g;
    poly *buffer;  // META_MAX_POLYS triangles
    boll balls[8];
    int n;         // triangles in the buffer after the last field update
};

// 20x20x20 grid from -9 to 10 on each axis, the triangle buffer, the
// iso-level. Returns 1, or 0 when out of memory (nothing stays allocated).
int meta_surface_start(meta_surface *s, float isolevel);
void meta_surface_end(meta_surface *s);

// Places balls 0..count-1 (count up to 8) on their sine paths at time t.
void move_bollar(float t, int count, boll *balls);
// Field of the balls on the grid, then its triangles into the buffer; the
// number of triangles is kept in s->n and returned.
int meta_field_update(meta_surface *s, int count);

// The clipper's working vertex: X, Y, Z in view space, s, t in texels, then
// spare slots (the first eight floats are interpolated, all ten copied).
struct clip_vertex {
    float f[10];
};
constexpr int CLIP_X = 0, CLIP_Y = 1, CLIP_Z = 2, CLIP_S = 3, CLIP_T = 4;

struct clip_polygon {
    clip_vertex v[32];
    int n;
};

// Clips poly in place against the four side planes through the eye, using
// work as the other buffer. A point on a plane is inside. Returns the
// number of vertices left; fewer than 3 means nothing is left to draw.
int clip_to_view(clip_polygon *poly, clip_polygon *work);

// Projects a view-space vertex into a Glide vertex: x, y, oow and the first
// unit's sow, tow, and r = g = b = *shade when shade is given.
void project_vertex(const meta_screen *screen, const clip_vertex *cv, GrVertex *out, const float *shade);

// Draws the n triangles of the buffer with the selected texture and render
// state; shade (when not null) is written to every vertex's colour.
void draw_meta_triangles(meta_screen *screen, const poly *buffer, int n, const float *shade);

// Adds the picture over the whole screen scaled by brightness / 255. Leaves
// culling negative and the depth test always-pass.
void draw_fullscreen_pic(const meta_screen *screen, X_Y_TEX *picture, float brightness);

// The CPU work of one frame (ball paths, field, triangulation, clipping and
// projection) without drawing, for timing. Returns the polygons made.
int meta_frame_work(meta_screen *screen, meta_surface *s, int count, float t);
