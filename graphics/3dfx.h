// 3dfx: the show's thin layer over Glide: display start and stop, one-call
// render-state switches, texture memory bookkeeping, texture building and
// upload.
//
// Results: 1 success, 3 no room in texture memory, 0 bad argument;
// init_glide gives -1 on failure. Program thread only.
#pragma once

#include <cstdint>

#include "graphics/glide.h"

// A 256x256 texture with its full mip chain, on one TMU or split over two
// (even levels on TMU 0, odd levels on TMU 1).
struct TEXTURE {
    uint32_t *picture;  // the source picture, set by the owner
    uint16_t width;     // 256, set by the owner
    uint16_t height;
    int32_t start_tmu0;
    int32_t start_tmu1;
    int32_t tmu_count;  // 0 before any load, then 1 or 2
    GrTexInfo info;     // info.data is the mip chain only during a load
};

// A square single-level texture, edge 1 to 256. The converted texels in
// info.data belong to the record: a record must start zeroed, and
// release_x_y_texture frees them.
struct X_Y_TEX {
    int32_t start;
    uint32_t tmu;
    int32_t size;
    GrTexInfo info;
    uint32_t *picture;
};

// The mip chain: nine RGB 5-6-5 levels 256x256 down to 1x1 back to back.
constexpr int MIP_CHAIN_TEXELS = 87381;
constexpr int MIP_CHAIN_BYTES = MIP_CHAIN_TEXELS * 2;  // 174762
// Texel offset of each level in the chain.
constexpr int MIP_LEVEL_OFFSET[9] = {0, 65536, 81920, 86016, 87040, 87296, 87360, 87376, 87380};

// Texture memory of a TMU is split at 2 MB: no texture may straddle it.
constexpr int32_t TMU_2MB_LINE = 0x200000;

int init_glide(int xres, int yres);
void close_glide();
void FlushTmus();

void gouraud_on();
void gouraud_off();
void blilinear_on();
void blilinear_off();
void z_always();
void z_standard();
void set_non_transparenty();
void set_alfa_blending_transparenty();
void set_add_transparenty();

// Bookkeeping of texture unit t (0 to 2), for inspection.
int32_t tmu_min_adress(int t);
int32_t tmu_max_adress(int t);
int32_t tmu_cur_adress(int t);

// Pixel 0x00RRGGBB to texels, low bits dropped.
uint16_t convert_565(uint32_t pixel);
uint8_t convert_332(uint32_t pixel);

int check_allowed_mip_map_sizes(int edge);
int return_GR_LOD(int edge);
void blur(int width, int height, uint16_t *texels);
void scale(int src_width, int src_height, const uint16_t *src, int dst_width, int dst_height,
           uint16_t *dst);
void scale_mipmaps(uint16_t *chain);

int load_texture_1tmu(TEXTURE *tex);
int load_texture_2tmu(TEXTURE *tex);
void set_texture(TEXTURE *tex);

int load_x_y_texture(int edge, unsigned tmu, uint32_t *picture, X_Y_TEX *tex);
int load_x_y_texture_332(int edge, unsigned tmu, uint32_t *picture, X_Y_TEX *tex);
int update_x_y_texture(int edge, unsigned tmu, uint32_t *picture, X_Y_TEX *tex);
void set_x_y_texture(X_Y_TEX *tex);
void release_x_y_texture(X_Y_TEX *tex);
