// A recording Glide: implements graphics/glide.h by logging every call with
// its arguments. Queries answer from a configurable board; texture sizes are
// computed as the board computes them. Not thread-safe: program thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/glide.h"

namespace rec {

struct Call {
    std::string name;
    std::vector<double> args;       // numeric arguments in order (pointers left out)
    std::vector<GrVertex> verts;    // vertices of a draw call, in drawing order
    GrTexInfo info{};               // texture calls: the record as passed
    std::vector<uint8_t> texels;    // grTexDownloadMipMap: a copy of the data
};

struct Board {
    int boards = 1;                  // num_sst from grSstQueryBoards
    FxBool query_hardware = FXTRUE;  // result of grSstQueryHardware
    FxU32 min_address[3] = {0, 0, 0};
    FxU32 max_address[3] = {0x3FFFF8, 0x3FFFF8, 0};
    bool keep_texels = true;         // copy downloaded data into the log
    bool keep_vertices = true;       // copy drawn vertices into the log
    bool log_calls = true;           // false: count swaps and draws only
    bool log_polygons = true;        // false: grDrawPolygon is only counted
    bool log_triangles = true;       // false: grDrawTriangle is only counted
};

// Clears the log and the counters, restores the default board and removes
// the swap callback and the quit hook.
void reset();
Board &board();
const std::vector<Call> &calls();
void clear_calls();

// "grTexCombine(0,1,0,1,0,0,0)": name and numeric arguments.
std::string str(const Call &c);
// str() of every logged call whose name is in the list (all calls when the
// list is empty), in order.
std::vector<std::string> trace(const std::vector<std::string> &names = {});
int count(const std::string &name);

// Frames: called from grBufferSwap with the number of swaps so far (1 for
// the first). Tests use it to send sync values at chosen frames.
void on_swap(std::function<void(long)> f);
long swaps();
// Counters kept whether or not calls are logged.
long triangles();  // grDrawTriangle calls plus fan triangles of grDrawPolygon
long polygons();   // grDrawPolygon calls
long clears();     // grBufferClear calls

GlideQuitHook quit_hook();
void *quit_user();

// Texture-memory bytes the board needs for info's selected levels (every
// level under 4 texels counts 4; 2 bytes a texel from format 8 on; rounded
// up to 8).
FxU32 mem_required(FxU32 evenOdd, const GrTexInfo *info);

}  // namespace rec
