// glide.h: the Glide 2 declarations the show uses, with the Glide 2 values.
//
// Our own header for the subset of the 3D library's API that the graphics
// layer and the effects call. The values are those of Glide 2 (not Glide 3:
// GR_LOD_256 is 0 and GR_ASPECT_1x1 is 3 here). platform/glide implements
// every function below in software; tests may link a recording stand-in
// instead.
//
// Thread contract: every function is called from the program thread only,
// between grGlideInit and grGlideShutdown (grSstQueryBoards may come first).
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------
// Basic types (Linux Glide: FxU32 is unsigned int, FxBool is int).

using FxU8 = unsigned char;
using FxU16 = unsigned short;
using FxU32 = unsigned int;
using FxI32 = int;
using FxBool = int;

inline constexpr FxBool FXTRUE = 1;
inline constexpr FxBool FXFALSE = 0;

using GrColor_t = FxU32;  // 0xAARRGGBB with GR_COLORFORMAT_ARGB
using GrAlpha_t = FxU8;

inline constexpr int GLIDE_NUM_TMU = 2;
inline constexpr int MAX_NUM_SST = 4;

// Every enumeration of the API is a plain FxI32.
using GrChipID_t = FxI32;
using GrCombineFunction_t = FxI32;
using GrCombineFactor_t = FxI32;
using GrCombineLocal_t = FxI32;
using GrCombineOther_t = FxI32;
using GrAlphaBlendFnc_t = FxI32;
using GrCmpFnc_t = FxI32;
using GrCullMode_t = FxI32;
using GrDepthBufferMode_t = FxI32;
using GrDitherMode_t = FxI32;
using GrMipMapMode_t = FxI32;
using GrTextureClampMode_t = FxI32;
using GrTextureFilterMode_t = FxI32;
using GrLOD_t = FxI32;
using GrAspectRatio_t = FxI32;
using GrTextureFormat_t = FxI32;
using GrColorFormat_t = FxI32;
using GrOriginLocation_t = FxI32;
using GrBuffer_t = FxI32;
using GrHint_t = FxI32;
using GrSstType = FxI32;
using GrScreenRefresh_t = FxI32;
using GrScreenResolution_t = FxI32;

// ---------------------------------------------------------------------------
// Constants.

inline constexpr GrChipID_t GR_TMU0 = 0;
inline constexpr GrChipID_t GR_TMU1 = 1;
inline constexpr GrChipID_t GR_TMU2 = 2;
inline constexpr GrChipID_t GR_FBI = 3;

inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_ZERO = 0x0;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_NONE = GR_COMBINE_FUNCTION_ZERO;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_LOCAL = 0x1;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_LOCAL_ALPHA = 0x2;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER = 0x3;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_BLEND_OTHER = GR_COMBINE_FUNCTION_SCALE_OTHER;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL = 0x4;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA = 0x5;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL = 0x6;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL = 0x7;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_BLEND = GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA = 0x8;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL = 0x9;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_BLEND_LOCAL = GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL;
inline constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA = 0x10;

inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ZERO = 0x0;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_NONE = GR_COMBINE_FACTOR_ZERO;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_LOCAL = 0x1;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_OTHER_ALPHA = 0x2;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_LOCAL_ALPHA = 0x3;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_TEXTURE_ALPHA = 0x4;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_DETAIL_FACTOR = GR_COMBINE_FACTOR_TEXTURE_ALPHA;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_TEXTURE_RGB = 0x5;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_LOD_FRACTION = GR_COMBINE_FACTOR_TEXTURE_RGB;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE = 0x8;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_LOCAL = 0x9;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_OTHER_ALPHA = 0xA;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_LOCAL_ALPHA = 0xB;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_TEXTURE_ALPHA = 0xC;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_DETAIL_FACTOR = GR_COMBINE_FACTOR_ONE_MINUS_TEXTURE_ALPHA;
inline constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_LOD_FRACTION = 0xD;

inline constexpr GrCombineLocal_t GR_COMBINE_LOCAL_ITERATED = 0x0;
inline constexpr GrCombineLocal_t GR_COMBINE_LOCAL_CONSTANT = 0x1;
inline constexpr GrCombineLocal_t GR_COMBINE_LOCAL_NONE = GR_COMBINE_LOCAL_CONSTANT;
inline constexpr GrCombineLocal_t GR_COMBINE_LOCAL_DEPTH = 0x2;

inline constexpr GrCombineOther_t GR_COMBINE_OTHER_ITERATED = 0x0;
inline constexpr GrCombineOther_t GR_COMBINE_OTHER_TEXTURE = 0x1;
inline constexpr GrCombineOther_t GR_COMBINE_OTHER_CONSTANT = 0x2;
inline constexpr GrCombineOther_t GR_COMBINE_OTHER_NONE = GR_COMBINE_OTHER_CONSTANT;

inline constexpr GrAlphaBlendFnc_t GR_BLEND_ZERO = 0x0;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_SRC_ALPHA = 0x1;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_SRC_COLOR = 0x2;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_DST_COLOR = GR_BLEND_SRC_COLOR;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_DST_ALPHA = 0x3;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_ONE = 0x4;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_SRC_ALPHA = 0x5;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_SRC_COLOR = 0x6;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_DST_COLOR = GR_BLEND_ONE_MINUS_SRC_COLOR;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_DST_ALPHA = 0x7;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_ALPHA_SATURATE = 0xF;
inline constexpr GrAlphaBlendFnc_t GR_BLEND_PREFOG_COLOR = GR_BLEND_ALPHA_SATURATE;

inline constexpr GrCmpFnc_t GR_CMP_NEVER = 0x0;
inline constexpr GrCmpFnc_t GR_CMP_LESS = 0x1;
inline constexpr GrCmpFnc_t GR_CMP_EQUAL = 0x2;
inline constexpr GrCmpFnc_t GR_CMP_LEQUAL = 0x3;
inline constexpr GrCmpFnc_t GR_CMP_GREATER = 0x4;
inline constexpr GrCmpFnc_t GR_CMP_NOTEQUAL = 0x5;
inline constexpr GrCmpFnc_t GR_CMP_GEQUAL = 0x6;
inline constexpr GrCmpFnc_t GR_CMP_ALWAYS = 0x7;

inline constexpr GrCullMode_t GR_CULL_DISABLE = 0x0;
inline constexpr GrCullMode_t GR_CULL_NEGATIVE = 0x1;
inline constexpr GrCullMode_t GR_CULL_POSITIVE = 0x2;

inline constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_DISABLE = 0x0;
inline constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_ZBUFFER = 0x1;
inline constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_WBUFFER = 0x2;
inline constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_ZBUFFER_COMPARE_TO_BIAS = 0x3;
inline constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_WBUFFER_COMPARE_TO_BIAS = 0x4;

inline constexpr FxU16 GR_ZDEPTHVALUE_NEAREST = 0xFFFF;
inline constexpr FxU16 GR_ZDEPTHVALUE_FARTHEST = 0x0000;
inline constexpr FxU16 GR_WDEPTHVALUE_NEAREST = 0x0000;
inline constexpr FxU16 GR_WDEPTHVALUE_FARTHEST = 0xFFFF;

inline constexpr GrDitherMode_t GR_DITHER_DISABLE = 0x0;
inline constexpr GrDitherMode_t GR_DITHER_2x2 = 0x1;
inline constexpr GrDitherMode_t GR_DITHER_4x4 = 0x2;

inline constexpr GrMipMapMode_t GR_MIPMAP_DISABLE = 0x0;
inline constexpr GrMipMapMode_t GR_MIPMAP_NEAREST = 0x1;
inline constexpr GrMipMapMode_t GR_MIPMAP_NEAREST_DITHER = 0x2;

inline constexpr GrTextureClampMode_t GR_TEXTURECLAMP_WRAP = 0x0;
inline constexpr GrTextureClampMode_t GR_TEXTURECLAMP_CLAMP = 0x1;

inline constexpr GrTextureFilterMode_t GR_TEXTUREFILTER_POINT_SAMPLED = 0x0;
inline constexpr GrTextureFilterMode_t GR_TEXTUREFILTER_BILINEAR = 0x1;

inline constexpr FxU32 GR_MIPMAPLEVELMASK_EVEN = 1u << 0;
inline constexpr FxU32 GR_MIPMAPLEVELMASK_ODD = 1u << 1;
inline constexpr FxU32 GR_MIPMAPLEVELMASK_BOTH = GR_MIPMAPLEVELMASK_EVEN | GR_MIPMAPLEVELMASK_ODD;

inline constexpr float GR_LODBIAS_BILINEAR = 0.5f;
inline constexpr float GR_LODBIAS_TRILINEAR = 0.0f;

// Level of detail: the edge of the longer side, 256 down to 1.
inline constexpr GrLOD_t GR_LOD_256 = 0x0;
inline constexpr GrLOD_t GR_LOD_128 = 0x1;
inline constexpr GrLOD_t GR_LOD_64 = 0x2;
inline constexpr GrLOD_t GR_LOD_32 = 0x3;
inline constexpr GrLOD_t GR_LOD_16 = 0x4;
inline constexpr GrLOD_t GR_LOD_8 = 0x5;
inline constexpr GrLOD_t GR_LOD_4 = 0x6;
inline constexpr GrLOD_t GR_LOD_2 = 0x7;
inline constexpr GrLOD_t GR_LOD_1 = 0x8;

// Width x height.
inline constexpr GrAspectRatio_t GR_ASPECT_8x1 = 0x0;
inline constexpr GrAspectRatio_t GR_ASPECT_4x1 = 0x1;
inline constexpr GrAspectRatio_t GR_ASPECT_2x1 = 0x2;
inline constexpr GrAspectRatio_t GR_ASPECT_1x1 = 0x3;
inline constexpr GrAspectRatio_t GR_ASPECT_1x2 = 0x4;
inline constexpr GrAspectRatio_t GR_ASPECT_1x4 = 0x5;
inline constexpr GrAspectRatio_t GR_ASPECT_1x8 = 0x6;

inline constexpr GrTextureFormat_t GR_TEXFMT_RGB_332 = 0x0;
inline constexpr GrTextureFormat_t GR_TEXFMT_8BIT = GR_TEXFMT_RGB_332;
inline constexpr GrTextureFormat_t GR_TEXFMT_YIQ_422 = 0x1;
inline constexpr GrTextureFormat_t GR_TEXFMT_ALPHA_8 = 0x2;
inline constexpr GrTextureFormat_t GR_TEXFMT_INTENSITY_8 = 0x3;
inline constexpr GrTextureFormat_t GR_TEXFMT_ALPHA_INTENSITY_44 = 0x4;
inline constexpr GrTextureFormat_t GR_TEXFMT_P_8 = 0x5;
inline constexpr GrTextureFormat_t GR_TEXFMT_ARGB_8332 = 0x8;
inline constexpr GrTextureFormat_t GR_TEXFMT_16BIT = GR_TEXFMT_ARGB_8332;
inline constexpr GrTextureFormat_t GR_TEXFMT_AYIQ_8422 = 0x9;
inline constexpr GrTextureFormat_t GR_TEXFMT_RGB_565 = 0xA;
inline constexpr GrTextureFormat_t GR_TEXFMT_ARGB_1555 = 0xB;
inline constexpr GrTextureFormat_t GR_TEXFMT_ARGB_4444 = 0xC;
inline constexpr GrTextureFormat_t GR_TEXFMT_ALPHA_INTENSITY_88 = 0xD;
inline constexpr GrTextureFormat_t GR_TEXFMT_AP_88 = 0xE;

inline constexpr GrColorFormat_t GR_COLORFORMAT_ARGB = 0x0;
inline constexpr GrColorFormat_t GR_COLORFORMAT_ABGR = 0x1;
inline constexpr GrColorFormat_t GR_COLORFORMAT_RGBA = 0x2;
inline constexpr GrColorFormat_t GR_COLORFORMAT_BGRA = 0x3;

inline constexpr GrOriginLocation_t GR_ORIGIN_UPPER_LEFT = 0x0;
inline constexpr GrOriginLocation_t GR_ORIGIN_LOWER_LEFT = 0x1;
inline constexpr GrOriginLocation_t GR_ORIGIN_ANY = 0xFF;

inline constexpr GrBuffer_t GR_BUFFER_FRONTBUFFER = 0x0;
inline constexpr GrBuffer_t GR_BUFFER_BACKBUFFER = 0x1;
inline constexpr GrBuffer_t GR_BUFFER_AUXBUFFER = 0x2;
inline constexpr GrBuffer_t GR_BUFFER_DEPTHBUFFER = 0x3;
inline constexpr GrBuffer_t GR_BUFFER_ALPHABUFFER = 0x4;
inline constexpr GrBuffer_t GR_BUFFER_TRIPLEBUFFER = 0x5;

inline constexpr GrHint_t GR_HINT_STWHINT = 0x0;
inline constexpr GrHint_t GR_HINT_FIFOCHECKHINT = 0x1;
inline constexpr GrHint_t GR_HINT_FPUPRECISION = 0x2;
inline constexpr GrHint_t GR_HINT_ALLOW_MIPMAP_DITHER = 0x3;
inline constexpr GrHint_t GR_HINT_LFB_WRITE = 0x4;
inline constexpr GrHint_t GR_HINT_LFB_PROTECT = 0x5;
inline constexpr GrHint_t GR_HINT_LFB_RESET = 0x6;

inline constexpr FxU32 GR_STWHINT_W_DIFF_FBI = 1u << 0;
inline constexpr FxU32 GR_STWHINT_W_DIFF_TMU0 = 1u << 1;
inline constexpr FxU32 GR_STWHINT_ST_DIFF_TMU0 = 1u << 2;
inline constexpr FxU32 GR_STWHINT_W_DIFF_TMU1 = 1u << 3;
inline constexpr FxU32 GR_STWHINT_ST_DIFF_TMU1 = 1u << 4;
inline constexpr FxU32 GR_STWHINT_W_DIFF_TMU2 = 1u << 5;
inline constexpr FxU32 GR_STWHINT_ST_DIFF_TMU2 = 1u << 6;

inline constexpr GrSstType GR_SSTTYPE_VOODOO = 0;
inline constexpr GrSstType GR_SSTTYPE_SST96 = 1;
inline constexpr GrSstType GR_SSTTYPE_AT3D = 2;
inline constexpr GrSstType GR_SSTTYPE_Voodoo2 = 3;

inline constexpr GrScreenRefresh_t GR_REFRESH_60Hz = 0x0;
inline constexpr GrScreenRefresh_t GR_REFRESH_70Hz = 0x1;
inline constexpr GrScreenRefresh_t GR_REFRESH_72Hz = 0x2;
inline constexpr GrScreenRefresh_t GR_REFRESH_75Hz = 0x3;
inline constexpr GrScreenRefresh_t GR_REFRESH_80Hz = 0x4;
inline constexpr GrScreenRefresh_t GR_REFRESH_90Hz = 0x5;
inline constexpr GrScreenRefresh_t GR_REFRESH_100Hz = 0x6;
inline constexpr GrScreenRefresh_t GR_REFRESH_85Hz = 0x7;
inline constexpr GrScreenRefresh_t GR_REFRESH_120Hz = 0x8;
inline constexpr GrScreenRefresh_t GR_REFRESH_NONE = 0xFF;

inline constexpr GrScreenResolution_t GR_RESOLUTION_320x200 = 0x0;
inline constexpr GrScreenResolution_t GR_RESOLUTION_320x240 = 0x1;
inline constexpr GrScreenResolution_t GR_RESOLUTION_400x256 = 0x2;
inline constexpr GrScreenResolution_t GR_RESOLUTION_512x384 = 0x3;
inline constexpr GrScreenResolution_t GR_RESOLUTION_640x200 = 0x4;
inline constexpr GrScreenResolution_t GR_RESOLUTION_640x350 = 0x5;
inline constexpr GrScreenResolution_t GR_RESOLUTION_640x400 = 0x6;
inline constexpr GrScreenResolution_t GR_RESOLUTION_640x480 = 0x7;
inline constexpr GrScreenResolution_t GR_RESOLUTION_800x600 = 0x8;
inline constexpr GrScreenResolution_t GR_RESOLUTION_960x720 = 0x9;
inline constexpr GrScreenResolution_t GR_RESOLUTION_856x480 = 0xA;
inline constexpr GrScreenResolution_t GR_RESOLUTION_512x256 = 0xB;
inline constexpr GrScreenResolution_t GR_RESOLUTION_1024x768 = 0xC;
inline constexpr GrScreenResolution_t GR_RESOLUTION_1280x1024 = 0xD;
inline constexpr GrScreenResolution_t GR_RESOLUTION_1600x1200 = 0xE;
inline constexpr GrScreenResolution_t GR_RESOLUTION_400x300 = 0xF;
inline constexpr GrScreenResolution_t GR_RESOLUTION_NONE = 0xFF;

// ---------------------------------------------------------------------------
// Records.

// One texture unit's coordinates of a vertex: s/w and t/w in texels of the
// 256-texel long side of level 0, and 1/w.
struct GrTmuVertex {
    float sow;
    float tow;
    float oow;
};

// Screen-space vertex, 15 floats. x, y in pixels (y down), r g b a 0..255,
// ooz = 65535/z (Z-buffer only), oow = 1/w: the w-buffer depth and the
// perspective divisor of every texture unit.
struct GrVertex {
    float x, y, z;
    float r, g, b;
    float ooz;
    float a;
    float oow;
    GrTmuVertex tmuvtx[GLIDE_NUM_TMU];
};
static_assert(sizeof(GrVertex) == 15 * sizeof(float), "GrVertex is 15 floats");

// A texture: levels largeLod..smallLod back to back in data, 1 or 2 bytes a
// texel (16-bit texels little-endian).
struct GrTexInfo {
    GrLOD_t smallLod;
    GrLOD_t largeLod;
    GrAspectRatio_t aspectRatio;
    GrTextureFormat_t format;
    void *data;
};

struct GrTMUConfig_t {
    int tmuRev;
    int tmuRam;  // megabytes
};

struct GrVoodooConfig_t {
    int fbRam;  // megabytes
    int fbiRev;
    int nTexelfx;  // number of texture units
    FxBool sliDetect;
    GrTMUConfig_t tmuConfig[GLIDE_NUM_TMU];
};
using GrVoodoo2Config_t = GrVoodooConfig_t;

struct GrHwConfiguration {
    int num_sst;
    struct {
        GrSstType type;
        union {
            GrVoodooConfig_t VoodooConfig;
            GrVoodoo2Config_t Voodoo2Config;
        } sstBoard;
    } SSTs[MAX_NUM_SST];
};

// ---------------------------------------------------------------------------
// Functions.

extern "C" {

// Start-up, queries, shut-down.
FxBool grSstQueryBoards(GrHwConfiguration *hwconfig);
void grGlideInit(void);
FxBool grSstQueryHardware(GrHwConfiguration *hwconfig);
void grSstSelect(int which_sst);
FxBool grSstWinOpen(FxU32 hWnd, GrScreenResolution_t screen_resolution, GrScreenRefresh_t refresh_rate,
                    GrColorFormat_t color_format, GrOriginLocation_t origin_location, int nColBuffers,
                    int nAuxBuffers);
void grSstWinClose(void);
void grGlideShutdown(void);

// Render state.
void grDepthBufferMode(GrDepthBufferMode_t mode);
void grDepthBufferFunction(GrCmpFnc_t function);
void grDepthMask(FxBool mask);
void grDepthBiasLevel(FxI32 level);
void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy);
void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert);
void grConstantColorValue(GrColor_t value);
void grAlphaBlendFunction(GrAlphaBlendFnc_t rgb_sf, GrAlphaBlendFnc_t rgb_df, GrAlphaBlendFnc_t alpha_sf,
                          GrAlphaBlendFnc_t alpha_df);
void grCullMode(GrCullMode_t mode);
void grDitherMode(GrDitherMode_t mode);
void grHints(GrHint_t hintType, FxU32 hintMask);

// Texture units.
void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minfilter_mode, GrTextureFilterMode_t magfilter_mode);
void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool lodBlend);
void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s_clampmode, GrTextureClampMode_t t_clampmode);
void grTexLodBiasValue(GrChipID_t tmu, float bias);
void grTexDetailControl(GrChipID_t tmu, int lod_bias, FxU8 detail_scale, float detail_max);
void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgb_function, GrCombineFactor_t rgb_factor,
                  GrCombineFunction_t alpha_function, GrCombineFactor_t alpha_factor, FxBool rgb_invert,
                  FxBool alpha_invert);

// Texture memory.
FxU32 grTexMinAddress(GrChipID_t tmu);
FxU32 grTexMaxAddress(GrChipID_t tmu);
FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo *info);
void grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo *info);
void grTexSource(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo *info);

// Frames.
void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth);
void grDrawTriangle(const GrVertex *a, const GrVertex *b, const GrVertex *c);
void grDrawPolygon(int nverts, const int ilist[], const GrVertex vlist[]);
void grBufferSwap(int swap_interval);

}  // extern "C"

// ---------------------------------------------------------------------------
// Our extension, not part of the original API.
//
// The quit hook: the display calls it (on the program thread, from inside
// grBufferSwap) when the user presses Esc or closes the window, so that the
// application can stop its music and exit cleanly. The hook may return, in
// which case drawing continues as before (the window stays open until
// grSstWinClose), or end the process. Registering a null hook removes it;
// without a hook a quit request is ignored.
using GlideQuitHook = void (*)(void *user);
extern "C" void glideSetQuitHook(GlideQuitHook hook, void *user);
