// glide_ext.h: what the software board offers beyond the 3D API, for tests,
// benchmarks and tools: read-back of the buffers, thread count, pacing, the
// reference rasteriser switch and a per-swap frame hook.
//
// Program thread only, like the API itself.
#pragma once

#include <cstdint>

namespace glide {

// Draw with the plain reference rasteriser (one thread) instead of the fast one.
void setReferenceRaster(bool on);
// Number of drawing threads (the caller included); 0 = one per processor plus
// the caller.
void setThreadCount(int n);
int threadCount();
// The fast rasteriser's vector level: 0 draws one pixel at a time, 1 eight
// at a time with SSE2 (slower than 0; for comparison), 2 eight at a time
// with AVX2; every level draws the same pixels. A level above what the
// processor has gives the highest it has; returns the level now in use.
// Default: 2 where the processor has AVX2, else 0 (GLIDE_SIMD=0/1/2 sets it).
int setVectorLevel(int level);
int vectorLevel();
// Turn the 60 Hz retrace pacing of grBufferSwap on or off.
void setPacing(bool on);

// The open screen's size; 0 when no window is open.
int screenWidth();
int screenHeight();
// The buffers after drawing everything issued so far (RGB 565 and depth),
// width * height values each, or nullptr when no window is open.
const uint16_t *backBuffer();
const uint16_t *frontBuffer();
const uint16_t *depthBuffer();
// Bytes of a texture unit's memory (4 MB), or nullptr for a unit that does not exist.
const uint8_t *textureMemory(int tmu);

// Called on every shown frame with 0x00RRGGBB pixels after the output gamma,
// frameIndex counting from 0 at grSstWinOpen. nullptr removes it. The swap
// hands its frame to the drawing threads and returns; the frame is shown at
// the next swap (or read-back of the front buffer, or grSstWinClose), while
// the program prepares the frame after it. Frames swapped before a change
// of hook go to the old hook.
using FrameHook = void (*)(const uint32_t *rgb, int width, int height, uint64_t frameIndex, void *user);
void setFrameHook(FrameHook hook, void *user);
// Called by every grBufferSwap once its frame is handed off, before it is
// drawn or shown, with the frame's index (as the frame hook's): what a swap
// decides for the program (a clock step, a value it then reads) belongs here.
using SwapHook = void (*)(uint64_t frameIndex, void *user);
void setSwapHook(SwapHook hook, void *user);

// 0x00RRGGBB of a 565 pixel through the output gamma table (gamma 1.7 unless
// GLIDE_GAMMA says otherwise at grSstWinOpen).
uint32_t displayColour(uint16_t pixel);

}  // namespace glide
