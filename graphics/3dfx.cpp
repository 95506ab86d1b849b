// 3dfx: display start-up and shut-down, render states, texture memory and
// texture upload.
#include "graphics/3dfx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static GrHwConfiguration glide_config;
static int depth_mode = GR_CMP_LESS;

// Texture memory per TMU 0..2, in bytes. Invariant: min <= cur; everything
// below cur belongs to textures loaded since the last FlushTmus.
static int32_t min_adress[3], max_adress[3], cur_adress[3];

// ---------------------------------------------------------------------------
// Display.

static void reset_tmu_bookkeeping()
{
    for (int t = 0; t < 3; t++) {
        min_adress[t] = (int32_t)grTexMinAddress(t);
        max_adress[t] = (int32_t)grTexMaxAddress(t);
        cur_adress[t] = min_adress[t];
    }
}

static int resolution_code(int xres, int yres)
{
    int code = -1;
    if (xres == 1024 || yres == 768)
        code = GR_RESOLUTION_1024x768;
    if (xres == 800 || yres == 600)
        code = GR_RESOLUTION_800x600;
    if (xres == 640 || yres == 480)
        code = GR_RESOLUTION_640x480;
    if (xres == 512 || yres == 384)
        code = GR_RESOLUTION_512x384;
    return code;
}

int init_glide(int xres, int yres)
{
    if (!grSstQueryBoards(&glide_config) || glide_config.num_sst == 0) {
        printf("No voodo card found \n\r");
        return -1;
    }
    grGlideInit();
    if (!grSstQueryHardware(&glide_config)) {
        printf("Are you sure you have a voodo card ? \n\r");
        return -1;
    }
    grSstSelect(0);

    const int code = resolution_code(xres, yres);
    if (code < 0) {
        // Only the four sizes of the menu have a display mode.
        printf("No display mode for %dx%d \n\r", xres, yres);
        grGlideShutdown();
        return -1;
    }
    grSstWinOpen(0, code, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB, GR_ORIGIN_UPPER_LEFT, 2, 1);

    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    depth_mode = GR_CMP_LESS;
    grDepthBufferFunction(depth_mode);
    grDepthMask(FXTRUE);
    grClipWindow(0, 0, (FxU32)xres, (FxU32)yres);
    gouraud_off();

    for (int t = 0; t < 2; t++) {
        grTexFilterMode(t, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
        grTexMipMapMode(t, GR_MIPMAP_NEAREST, FXFALSE);
        grTexClampMode(t, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    }
    reset_tmu_bookkeeping();
    grHints(GR_HINT_ALLOW_MIPMAP_DITHER, 1);
    // LOD blending on both units: the split textures blend even and odd levels.
    grTexMipMapMode(0, GR_MIPMAP_NEAREST, FXTRUE);
    grTexMipMapMode(1, GR_MIPMAP_NEAREST, FXTRUE);
    grTexLodBiasValue(0, 0.0f);
    grTexLodBiasValue(1, 0.0f);
    grTexDetailControl(0, 0, 0, 0.0f);
    grTexDetailControl(1, 0, 0, 0.0f);
    grTexClampMode(0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    grTexClampMode(1, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    return 1;
}

void close_glide()
{
    grSstWinClose();
    grGlideShutdown();
}

void FlushTmus()
{
    reset_tmu_bookkeeping();
}

int32_t tmu_min_adress(int t) { return t >= 0 && t < 3 ? min_adress[t] : 0; }
int32_t tmu_max_adress(int t) { return t >= 0 && t < 3 ? max_adress[t] : 0; }
int32_t tmu_cur_adress(int t) { return t >= 0 && t < 3 ? cur_adress[t] : 0; }

// ---------------------------------------------------------------------------
// Render-state switches.

void gouraud_on()
{
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}

void gouraud_off()
{
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}

void blilinear_on()
{
    grTexFilterMode(0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grTexFilterMode(1, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
}

void blilinear_off()
{
    grTexFilterMode(0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
    grTexFilterMode(1, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
}

void z_always()
{
    grDepthBufferFunction(GR_CMP_ALWAYS);
}

void z_standard()
{
    grDepthBufferFunction(depth_mode);
}

void set_non_transparenty()
{
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
}

void set_alfa_blending_transparenty()
{
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
}

void set_add_transparenty()
{
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO);
}

// ---------------------------------------------------------------------------
// Texture memory placement.

// Where a texture of size bytes would go on TMU t, without taking the room:
// never past max_adress (tested before and again after the move), never
// across the 2 MB line (a texture that would straddle it starts at the line;
// the skipped space stays empty). Returns false when there is no room.
static bool plan_placement(int t, FxU32 size, int32_t *address)
{
    int64_t cur = cur_adress[t];
    if (cur + size > max_adress[t])
        return false;
    if (cur <= TMU_2MB_LINE - 1 && cur + size > TMU_2MB_LINE) {
        cur = TMU_2MB_LINE;
        if (cur + size > max_adress[t])
            return false;
    }
    *address = (int32_t)cur;
    return true;
}

static void take_placement(int t, int32_t address, FxU32 size)
{
    cur_adress[t] = address + (int32_t)size;
}

// ---------------------------------------------------------------------------
// Texel conversion and mip building.

uint16_t convert_565(uint32_t pixel)
{
    const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return (uint16_t)((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

uint8_t convert_332(uint32_t pixel)
{
    const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return (uint8_t)((r & 0xE0) | (g >> 5) << 2 | (b >> 6));
}

int check_allowed_mip_map_sizes(int edge)
{
    for (int e = 1; e <= 256; e <<= 1)
        if (edge == e)
            return 1;
    return 0;
}

int return_GR_LOD(int edge)
{
    switch (edge) {
    case 256: return GR_LOD_256;
    case 128: return GR_LOD_128;
    case 64: return GR_LOD_64;
    case 32: return GR_LOD_32;
    case 16: return GR_LOD_16;
    case 8: return GR_LOD_8;
    case 4: return GR_LOD_4;
    case 2: return GR_LOD_2;
    case 1: return GR_LOD_1;
    default: return GR_LOD_256;
    }
}

// 3x3 box filter per channel; edge texels repeat. Sums of nine 5- or 6-bit
// values divided by 9, truncated.
void blur(int width, int height, uint16_t *texels)
{
    if (width <= 0 || height <= 0)
        return;
    const size_t count = (size_t)width * (size_t)height;
    uint16_t *copy = (uint16_t *)malloc(count * sizeof(uint16_t));
    if (!copy)
        return;
    memcpy(copy, texels, count * sizeof(uint16_t));
    for (int i = 0; i < height; i++) {
        for (int j = 0; j < width; j++) {
            int r = 0, g = 0, b = 0;
            for (int di = -1; di <= 1; di++) {
                int y = i + di;
                y = y < 0 ? 0 : (y > height - 1 ? height - 1 : y);
                for (int dj = -1; dj <= 1; dj++) {
                    int x = j + dj;
                    x = x < 0 ? 0 : (x > width - 1 ? width - 1 : x);
                    const uint16_t t = copy[(size_t)y * width + x];
                    r += t >> 11;
                    g += (t >> 5) & 0x3F;
                    b += t & 0x1F;
                }
            }
            texels[(size_t)i * width + j] = (uint16_t)((r / 9) << 11 | (g / 9) << 5 | (b / 9));
        }
    }
    free(copy);
}

// Point-sampling resize with 16.16 fixed-point steps.
void scale(int src_width, int src_height, const uint16_t *src, int dst_width, int dst_height,
           uint16_t *dst)
{
    if (src_width <= 0 || src_height <= 0 || dst_width <= 0 || dst_height <= 0)
        return;
    const uint32_t xstep16 = (uint32_t)(((uint64_t)src_width << 16) / (uint64_t)dst_width);
    const uint32_t ystep16 = (uint32_t)(((uint64_t)src_height << 16) / (uint64_t)dst_height);
    uint32_t fy16 = 0;
    for (int r = 0; r < dst_height; r++, fy16 += ystep16) {
        const uint16_t *row = src + (size_t)(fy16 >> 16) * src_width;
        uint32_t fx16 = 0;
        for (int c = 0; c < dst_width; c++, fx16 += xstep16)
            *dst++ = row[fx16 >> 16];
    }
}

void scale_mipmaps(uint16_t *chain)
{
    uint16_t scratch[256 * 256];  // largest level; 128 KB on the stack
    for (int level = 0, edge = 256; level < 8; level++, edge >>= 1) {
        memcpy(scratch, chain + MIP_LEVEL_OFFSET[level], (size_t)edge * edge * sizeof(uint16_t));
        blur(edge, edge, scratch);
        scale(edge, edge, scratch, edge / 2, edge / 2, chain + MIP_LEVEL_OFFSET[level + 1]);
    }
}

// ---------------------------------------------------------------------------
// Mip-mapped textures.

// A zeroed chain with level 0 converted from the picture and every smaller
// level built from it; nullptr when out of memory.
static uint16_t *build_mip_chain(const uint32_t *picture)
{
    uint16_t *chain = (uint16_t *)calloc(MIP_CHAIN_TEXELS, sizeof(uint16_t));
    if (!chain)
        return nullptr;
    for (int p = 0; p < 256 * 256; p++)
        chain[p] = convert_565(picture[p]);
    scale_mipmaps(chain);
    return chain;
}

static void fill_chain_info(GrTexInfo *info, uint16_t *chain)
{
    info->format = GR_TEXFMT_RGB_565;
    info->data = chain;
    info->aspectRatio = GR_ASPECT_1x1;
    info->smallLod = GR_LOD_1;
    info->largeLod = GR_LOD_256;
}

int load_texture_1tmu(TEXTURE *tex)
{
    uint16_t *chain = build_mip_chain(tex->picture);
    if (!chain)
        return 3;
    GrTexInfo info;
    fill_chain_info(&info, chain);
    const FxU32 size = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
    int32_t address;
    if (!plan_placement(0, size, &address)) {
        free(chain);
        return 3;
    }
    grTexDownloadMipMap(0, (FxU32)address, GR_MIPMAPLEVELMASK_BOTH, &info);
    take_placement(0, address, size);
    free(chain);
    info.data = nullptr;
    tex->info = info;
    tex->start_tmu0 = address;
    tex->tmu_count = 1;
    return 1;
}

int load_texture_2tmu(TEXTURE *tex)
{
    uint16_t *chain = build_mip_chain(tex->picture);
    if (!chain)
        return 3;
    GrTexInfo info;
    fill_chain_info(&info, chain);
    const FxU32 even = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_EVEN, &info);
    const FxU32 odd = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_ODD, &info);
    int32_t address0, address1;
    if (!plan_placement(0, even, &address0) || !plan_placement(1, odd, &address1)) {
        free(chain);
        return 3;
    }
    grTexDownloadMipMap(0, (FxU32)address0, GR_MIPMAPLEVELMASK_EVEN, &info);
    grTexDownloadMipMap(1, (FxU32)address1, GR_MIPMAPLEVELMASK_ODD, &info);
    take_placement(0, address0, even);
    take_placement(1, address1, odd);
    free(chain);
    info.data = nullptr;
    tex->info = info;
    tex->start_tmu0 = address0;
    tex->start_tmu1 = address1;
    tex->tmu_count = 2;
    return 1;
}

void set_texture(TEXTURE *tex)
{
    if (tex->tmu_count == 1) {
        grTexSource(0, (FxU32)tex->start_tmu0, GR_MIPMAPLEVELMASK_BOTH, &tex->info);
        grTexCombine(0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                     GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    } else if (tex->tmu_count == 2) {
        // TMU 0 blends its level with TMU 1's by the LOD fraction: trilinear
        // filtering with each level fetched from the unit that holds it.
        grTexCombine(0, GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_LOD_FRACTION, GR_COMBINE_FUNCTION_BLEND,
                     GR_COMBINE_FACTOR_LOD_FRACTION, FXFALSE, FXFALSE);
        grTexCombine(1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                     GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
        grTexSource(0, (FxU32)tex->start_tmu0, GR_MIPMAPLEVELMASK_EVEN, &tex->info);
        grTexSource(1, (FxU32)tex->start_tmu1, GR_MIPMAPLEVELMASK_ODD, &tex->info);
    }
}

// ---------------------------------------------------------------------------
// Single-level textures.

// The first edge*edge pixels converted to 5-6-5 (or 3-3-2); nullptr when out
// of memory.
static void *convert_picture(int edge, const uint32_t *picture, bool rgb332)
{
    const size_t count = (size_t)edge * (size_t)edge;
    if (rgb332) {
        uint8_t *t = (uint8_t *)malloc(count);
        if (t)
            for (size_t p = 0; p < count; p++)
                t[p] = convert_332(picture[p]);
        return t;
    }
    uint16_t *t = (uint16_t *)malloc(count * sizeof(uint16_t));
    if (t)
        for (size_t p = 0; p < count; p++)
            t[p] = convert_565(picture[p]);
    return t;
}

static void fill_single_info(GrTexInfo *info, int edge, void *data, bool rgb332)
{
    info->format = rgb332 ? GR_TEXFMT_RGB_332 : GR_TEXFMT_RGB_565;
    info->data = data;
    info->aspectRatio = GR_ASPECT_1x1;
    info->smallLod = info->largeLod = return_GR_LOD(edge);
}

static int load_single(int edge, unsigned tmu, uint32_t *picture, X_Y_TEX *tex, bool rgb332)
{
    if (tmu > 1 || !check_allowed_mip_map_sizes(edge))
        return 0;
    void *data = convert_picture(edge, picture, rgb332);
    if (!data)
        return 3;
    GrTexInfo info;
    fill_single_info(&info, edge, data, rgb332);
    const FxU32 size = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
    int32_t address;
    if (!plan_placement((int)tmu, size, &address)) {
        free(data);
        return 3;
    }
    grTexDownloadMipMap((GrChipID_t)tmu, (FxU32)address, GR_MIPMAPLEVELMASK_BOTH, &info);
    take_placement((int)tmu, address, size);
    free(tex->info.data);  // texels of an earlier load of this record
    tex->info = info;
    tex->start = address;
    tex->tmu = tmu;
    tex->size = edge;
    tex->picture = picture;
    return 1;
}

int load_x_y_texture(int edge, unsigned tmu, uint32_t *picture, X_Y_TEX *tex)
{
    return load_single(edge, tmu, picture, tex, false);
}

int load_x_y_texture_332(int edge, unsigned tmu, uint32_t *picture, X_Y_TEX *tex)
{
    return load_single(edge, tmu, picture, tex, true);
}

// Re-downloads new texels to the room the record already holds. Only a
// loaded 5-6-5 record of the same edge on the same TMU fits that room;
// anything else would overwrite a neighbouring texture and gives 0.
int update_x_y_texture(int edge, unsigned tmu, uint32_t *picture, X_Y_TEX *tex)
{
    if (tmu > 1 || !check_allowed_mip_map_sizes(edge))
        return 0;
    if (!tex->info.data || tex->info.format != GR_TEXFMT_RGB_565 || tex->size != edge || tex->tmu != tmu)
        return 0;
    void *data = convert_picture(edge, picture, false);
    if (!data)
        return 0;
    free(tex->info.data);
    fill_single_info(&tex->info, edge, data, false);
    grTexDownloadMipMap((GrChipID_t)tmu, (FxU32)tex->start, GR_MIPMAPLEVELMASK_BOTH, &tex->info);
    tex->tmu = tmu;
    tex->size = edge;
    tex->picture = picture;
    return 1;
}

void set_x_y_texture(X_Y_TEX *tex)
{
    if (tex->tmu == 0) {
        grTexSource(0, (FxU32)tex->start, GR_MIPMAPLEVELMASK_BOTH, &tex->info);
        grTexCombine(0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                     GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    } else if (tex->tmu == 1) {
        grTexSource(1, (FxU32)tex->start, GR_MIPMAPLEVELMASK_BOTH, &tex->info);
        // TMU 0 passes on the texel coming from TMU 1.
        grTexCombine(0, GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_FUNCTION_SCALE_OTHER,
                     GR_COMBINE_FACTOR_ONE, FXFALSE, FXFALSE);
        grTexCombine(1, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_FUNCTION_LOCAL,
                     GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    }
}

void release_x_y_texture(X_Y_TEX *tex)
{
    free(tex->info.data);
    tex->info.data = nullptr;
}
