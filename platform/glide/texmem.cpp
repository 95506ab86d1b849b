// texmem.cpp: texture memory of the two units: sizes, downloads and the
// selection of a texture for drawing.
//
// Each unit has 4 MB of bytes addressed from 0. A texture's levels are stored
// largest first from its start address, only the levels of its even/odd
// selection, each taking at least 4 texels; the total rounds up to 8 bytes.
#include <cstring>
#include <string>

#include "platform/glide/context.h"
#include "platform/glide/texture.h"

namespace glide {

namespace {

bool validInfo(const GrTexInfo *info) {
    return info && info->largeLod >= GR_LOD_256 && info->smallLod <= GR_LOD_1 && info->largeLod <= info->smallLod &&
           info->aspectRatio >= GR_ASPECT_8x1 && info->aspectRatio <= GR_ASPECT_1x8 && info->format >= 0 &&
           info->format <= GR_TEXFMT_AP_88;
}

uint32_t memRequired(uint32_t evenOdd, const GrTexInfo &info) {
    uint32_t bytes = 0;
    for (int lod = info.largeLod; lod <= info.smallLod; ++lod) {
        if (levelSelected(lod, evenOdd)) bytes += levelMemBytes(lod, info.aspectRatio, info.format);
    }
    return (bytes + 7u) & ~7u;
}

void checkRange(const char *fn, GrChipID_t tmu, FxU32 start, uint32_t size) {
    if (tmu < 0 || tmu >= kNumTmu) fatal(std::string(fn) + ": texture unit " + std::to_string(tmu) + " does not exist");
    if (start > kTmuBytes || size > kTmuBytes - start) {
        fatal(std::string(fn) + ": texture at " + std::to_string(start) + " (" + std::to_string(size) +
              " bytes) is outside the unit's 4 MB");
    }
}

}  // namespace

}  // namespace glide

using glide::ctx;

extern "C" {

FxU32 grTexMinAddress(GrChipID_t) { return 0; }

FxU32 grTexMaxAddress(GrChipID_t tmu) {
    // No third unit exists: it reports an empty range.
    return tmu >= 0 && tmu < glide::kNumTmu ? glide::kTmuBytes - 8 : 0;
}

FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo *info) {
    if (!glide::validInfo(info)) return 0;
    return glide::memRequired(evenOdd, *info);
}

void grTexDownloadMipMap(GrChipID_t tmu, FxU32 start, FxU32 evenOdd, GrTexInfo *info) {
    if (!glide::validInfo(info)) glide::fatal("grTexDownloadMipMap: bad texture description");
    if (!info->data) glide::fatal("grTexDownloadMipMap: no texel data");
    const uint32_t size = glide::memRequired(evenOdd, *info);
    glide::checkRange("grTexDownloadMipMap", tmu, start, size);
    // The board cannot take a download that crosses its 2 MB line.
    if (start < 0x200000u && start + size > 0x200000u) {
        glide::fatal("grTexDownloadMipMap: texture at " + std::to_string(start) + " (" + std::to_string(size) +
                     " bytes) crosses the 2 MB boundary");
    }
    glide::Context &c = ctx();
    c.flush();  // queued triangles see the memory as it was when they were drawn
    if (c.tmuMem[tmu].empty()) c.tmuMem[tmu].assign(glide::kTmuBytes + glide::kTmuSlack, 0);
    const int bpp = glide::texelBytes(info->format);
    const uint8_t *src = static_cast<const uint8_t *>(info->data);
    uint8_t *mem = c.tmuMem[tmu].data();
    uint32_t addr = start;
    for (int lod = info->largeLod; lod <= info->smallLod; ++lod) {
        const uint32_t texels =
            1u << (glide::levelWidthLog2(lod, info->aspectRatio) + glide::levelHeightLog2(lod, info->aspectRatio));
        const uint32_t hostBytes = texels * static_cast<uint32_t>(bpp);
        if (glide::levelSelected(lod, evenOdd)) {
            std::memcpy(mem + addr, src, hostBytes);
            addr += glide::levelMemBytes(lod, info->aspectRatio, info->format);
        }
        src += hostBytes;
    }
}

void grTexSource(GrChipID_t tmu, FxU32 start, FxU32 evenOdd, GrTexInfo *info) {
    if (!glide::validInfo(info)) glide::fatal("grTexSource: bad texture description");
    glide::checkRange("grTexSource", tmu, start, glide::memRequired(evenOdd, *info));
    glide::TexSource src;
    src.valid = true;
    src.format = info->format;
    src.largeLod = info->largeLod;
    src.smallLod = info->smallLod;
    src.aspect = info->aspectRatio;
    src.evenOdd = evenOdd;
    uint32_t addr = start;
    for (int lod = 0; lod <= GR_LOD_1; ++lod) {
        src.wlog2[lod] = glide::levelWidthLog2(lod, info->aspectRatio);
        src.hlog2[lod] = glide::levelHeightLog2(lod, info->aspectRatio);
        if (lod < info->largeLod || lod > info->smallLod || !glide::levelSelected(lod, evenOdd)) continue;
        src.present[lod] = true;
        src.levelAddr[lod] = addr;
        addr += glide::levelMemBytes(lod, info->aspectRatio, info->format);
    }
    // A selection with no level at all in the range reads black.
    bool any = false;
    for (bool p : src.present) any = any || p;
    src.valid = any;
    for (int L = 0; L <= GR_LOD_1; ++L) src.levelOf[L] = glide::searchLevelFor(src, L);
    ctx().state.tmu[tmu].src = src;
    ctx().changed();
}

}  // extern "C"
