// Whole-song render speed: every corpus module once in each mixing mode
// through the file-sink device, and, where the peer players' development
// packages were found at configure time, the same files rendered by them
// into memory (linear interpolation, looping off) in the same run.
//
// Prints "render.<mode>.<file> <x-realtime>" per file and mode, then the
// median of each mode. x-realtime = seconds of audio / CPU seconds of this
// process. Corpus: $MODULE_CORPUS, else corpus-cache in the source tree.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "songpass.h"
#include "sound/api/midasdll.h"

#ifdef Q5_HAVE_OPENMPT
#include <libopenmpt/libopenmpt.h>
#endif
#ifdef Q5_HAVE_XMP
#include <xmp.h>
#endif
#ifdef Q5_HAVE_MIKMOD
#include <mikmod.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr unsigned rate = 44100;

double cpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

std::vector<char> readAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Seconds of audio rendered and CPU seconds spent; 0 audio on failure.
struct Timing {
    double audio = 0, cpu = 0;
};

Timing renderOurs(const fs::path &file, unsigned mixing)
{
    PassOptions options;
    options.rate = rate;
    options.mixing = mixing;
    PassResult r;
    std::string error;
    double t0 = cpuSeconds();
    bool ok = runSongPass(file.string(), options, &r, &error);
    double t1 = cpuSeconds();
    if (!ok)
        return {};
    return {double(r.frames) / rate, t1 - t0};
}

constexpr size_t chunkFrames = 4096;

// A peer that does not end its pass (a song ending in a jump back that it
// follows) stops at this many frames: twice our pass plus ten seconds.
uint64_t peerLimit = 0;

#ifdef Q5_HAVE_OPENMPT
Timing renderOpenmpt(const std::vector<char> &data)
{
    double t0 = cpuSeconds();
    openmpt_module *mod = openmpt_module_create_from_memory2(
        data.data(), data.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!mod)
        return {};
    openmpt_module_set_repeat_count(mod, 0);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
    std::vector<int16_t> buf(chunkFrames * 2);
    uint64_t frames = 0;
    for (;;) {
        size_t n = openmpt_module_read_interleaved_stereo(mod, rate, chunkFrames, buf.data());
        if (n == 0)
            break;
        frames += n;
        if (frames >= peerLimit)
            break;
    }
    openmpt_module_destroy(mod);
    return {double(frames) / rate, cpuSeconds() - t0};
}
#endif

#ifdef Q5_HAVE_XMP
Timing renderXmp(const std::vector<char> &data)
{
    double t0 = cpuSeconds();
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, data.data(), long(data.size())) != 0) {
        xmp_free_context(ctx);
        return {};
    }
    xmp_start_player(ctx, int(rate), 0);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    std::vector<int16_t> buf(chunkFrames * 2);
    uint64_t frames = 0;
    // loop = 1: the call reports the end once the song has played once.
    while (frames < peerLimit && xmp_play_buffer(ctx, buf.data(), int(buf.size() * 2), 1) == 0)
        frames += chunkFrames;
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return {double(frames) / rate, cpuSeconds() - t0};
}
#endif

#ifdef Q5_HAVE_MIKMOD
bool mikmodReady = false;

Timing renderMikmod(const std::vector<char> &data)
{
    if (!mikmodReady) {
        MikMod_RegisterDriver(&drv_nos);
        MikMod_RegisterAllLoaders();
        md_mixfreq = rate;
        md_mode = DMODE_SOFT_MUSIC | DMODE_16BITS | DMODE_STEREO | DMODE_INTERP;
        if (MikMod_Init(""))
            return {};
        mikmodReady = true;
    }
    double t0 = cpuSeconds();
    MODULE *mod = Player_LoadMem(data.data(), int(data.size()), 128, 0);
    if (!mod)
        return {};
    mod->wrap = 0;
    mod->loop = 0;
    Player_Start(mod);
    std::vector<SBYTE> buf(chunkFrames * 4);
    uint64_t frames = 0;
    while (Player_Active() && frames < peerLimit) {
        VC_WriteBytes(buf.data(), ULONG(buf.size()));
        frames += chunkFrames;
    }
    Player_Stop();
    Player_Free(mod);
    return {double(frames) / rate, cpuSeconds() - t0};
}
#endif

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main()
{
    const char *env = std::getenv("MODULE_CORPUS");
    fs::path root = env && *env ? fs::path(env) : fs::path(Q5_SOURCE_DIR) / "corpus-cache";
    std::vector<fs::path> files;
    for (const char *kind : {"mod", "s3m", "xm", "it"}) {
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(root / kind, ec))
            if (e.is_regular_file())
                files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "bench_render_speed: no modules under %s\n", root.c_str());
        return 1;
    }

    std::map<std::string, std::vector<double>> ratios;
    auto report = [&](const std::string &mode, const fs::path &file, Timing t) {
        if (t.audio <= 0 || t.cpu <= 0) {
            std::printf("render.%s.%s failed\n", mode.c_str(), file.filename().c_str());
            return;
        }
        double x = t.audio / t.cpu;
        ratios[mode].push_back(x);
        std::printf("render.%s.%s %.1f\n", mode.c_str(), file.filename().c_str(), x);
        std::fflush(stdout);
        std::fprintf(stderr, "seconds.%s.%s %.1f audio %.3f cpu\n", mode.c_str(),
                     file.filename().c_str(), t.audio, t.cpu);
    };
    const struct {
        const char *name;
        unsigned mixing;
    } modes[] = {{"integer", MIDAS_RENDER_INTEGER}, {"float", MIDAS_RENDER_FLOAT}, {"interpolate", MIDAS_RENDER_INTERPOLATE}};

    for (const fs::path &f : files) {
        double ours = 0;
        for (const auto &m : modes) {
            Timing t = renderOurs(f, m.mixing);
            ours = t.audio;
            report(m.name, f, t);
        }
        peerLimit = uint64_t((2 * ours + 10) * rate);
        std::vector<char> data = readAll(f);
#ifdef Q5_HAVE_OPENMPT
        report("libopenmpt", f, renderOpenmpt(data));
#endif
#ifdef Q5_HAVE_XMP
        report("libxmp", f, renderXmp(data));
#endif
#ifdef Q5_HAVE_MIKMOD
        report("libmikmod", f, renderMikmod(data));
#endif
        (void)data;
    }
    for (const auto &[mode, v] : ratios)
        std::printf("median.%s %.1f (%zu files)\n", mode.c_str(), median(v), v.size());
    return 0;
}
