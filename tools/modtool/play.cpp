// Real-time playback through the detected device.
#include "play.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "songpass.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/player/gmplayer.h"
#include "output.h"
#include "terminal.h"

namespace {

std::string clockText(double s)
{
    char buf[32];
    int whole = int(s);
    std::snprintf(buf, sizeof buf, "%d:%02d", whole / 60, whole % 60);
    return buf;
}

// One bar character per channel for its output volume (0..64).
std::string meters(const PlayState *ps)
{
    static const char *const bars[] = {" ", "\u2581", "\u2582", "\u2583", "\u2584",
                                       "\u2585", "\u2586", "\u2587", "\u2588"};
    std::string s;
    for (int c = 0; c < ps->numChannels && c < 32; c++)
        s += bars[(ps->channels[c].finalVolume * 8 + 32) / 64];
    return s;
}

// Gains and delays in 16.16 fixed point (delays in milliseconds). The
// second tap of each set crosses the channels for a wider image; feedback
// stays well under 1 so the tails die away.
constexpr int fx(double v) { return int(v * 65536.0); }

MIDASecho roomTaps[] = {{unsigned(fx(23)), fx(0.30), 0, 0}, {unsigned(fx(41)), fx(0.22), 1, 0}};
MIDASecho hallTaps[] = {{unsigned(fx(90)), fx(0.32), 0, 1},
                        {unsigned(fx(147)), fx(0.26), 1, 1},
                        {unsigned(fx(210)), fx(0.18), 0, 1}};
MIDASecho longTaps[] = {{unsigned(fx(330)), fx(0.40), 0, 1}, {unsigned(fx(500)), fx(0.30), 1, 1}};

struct Preset {
    const char *name;
    MIDASechoSet set;
};
Preset presets[] = {{"room", {fx(0.20), fx(0.90), 2, roomTaps}},
                    {"hall", {fx(0.35), fx(0.85), 3, hallTaps}},
                    {"long", {fx(0.45), fx(0.80), 2, longTaps}}};

MIDASechoSet *findPreset(const std::string &name)
{
    for (Preset &p : presets)
        if (name == p.name)
            return &p.set;
    return nullptr;
}

}  // namespace

bool isEchoPreset(const std::string &name) { return findPreset(name) != nullptr; }

int playModule(const std::string &file, const std::string &echo)
{
    // A silent pass first: the song's length for the status line, and a
    // clean error for a module that does not load.
    PassOptions options;
    options.silent = true;
    PassResult pass;
    std::string error;
    if (!runSongPass(file, options, &pass, &error)) {
        std::fprintf(stderr, "modtool: %s: %s\n", file.c_str(), error.c_str());
        return 1;
    }
    double total = double(pass.frames) / pass.rate;

    auto failWith = [&](const char *what) {
        std::fprintf(stderr, "modtool: %s: %s\n", what, MIDASgetErrorMessage(MIDASgetLastError()));
        MIDASclose();
        return 1;
    };
    std::string refused;
    if (!checkRequestedOutput(&refused)) {
        std::fprintf(stderr, "modtool: %s\n", refused.c_str());
        return 1;
    }
    MIDASstartup();
    if (!MIDASinit())
        return failWith(file.c_str());
    MIDASmodule module = MIDASloadModule(file.c_str());
    if (!module)
        return failWith(file.c_str());
    MIDASstartBackgroundPlay(0);
    int handle = MIDASplayModule(module, 0);
    if (!handle) {
        MIDASfreeModule(module);
        return failWith(file.c_str());
    }
    MIDASechoHandle echoHandle = nullptr;
    if (!echo.empty()) {
        echoHandle = MIDASaddEchoEffect(findPreset(echo));
        if (!echoHandle) {
            MIDASstopModule(handle);
            MIDASstopBackgroundPlay();
            MIDASfreeModule(module);
            return failWith(file.c_str());
        }
    }
    std::printf("%s (%s, %u channels) on %s%s\n", pass.songName.c_str(), pass.format.c_str(),
                pass.channels, outputDescription(midasSD->name).c_str(), echo.empty() ? "" : (", echo " + echo).c_str());
    std::printf("keys: space pause, left/right position, +/- volume, q quit\n");

    RawTerminal term;
    PlayState *ps = nullptr;
    for (PlayState *p : playHandles)
        if (p)
            ps = p;
    unsigned volume = 64;
    bool paused = false;
    double elapsed = 0;
    auto last = std::chrono::steady_clock::now();
    std::printf("\033[?25l");  // hide the cursor while the line updates
    for (;;) {
        int key = term.readKey();
        if (key == 'q' || key == 'Q')
            break;
        MIDASlock();
        if (key == ' ') {
            paused = !paused;
            midasSD->Pause(paused);
        } else if (key == RawTerminal::keyLeft) {
            MIDASsetPosition(handle, ps->position > 0 ? ps->position - 1 : 0);
        } else if (key == RawTerminal::keyRight) {
            MIDASsetPosition(handle, ps->position + 1);
        } else if (key == '+' || key == '=') {
            volume = volume + 4 > 64 ? 64 : volume + 4;
            MIDASsetMusicVolume(handle, volume);
        } else if (key == '-') {
            volume = volume < 4 ? 0 : volume - 4;
            MIDASsetMusicVolume(handle, volume);
        }
        PlayInfo *info;
        gmpGetInformation(ps, &info);
        std::string line = "pos " + std::to_string(info->position) + "/" +
                           std::to_string(pass.songLength) + " pat " +
                           std::to_string(info->pattern) + " row " + std::to_string(info->row) +
                           "  spd " + std::to_string(info->speed) + " bpm " +
                           std::to_string(info->tempo) + "  " + clockText(elapsed) + "/" +
                           clockText(total) + "  vol " + std::to_string(volume) + "  [" +
                           meters(ps) + "]" + (paused ? " paused" : "");
        bool ended = info->songLoopCount > 0;
        MIDASunlock();
        std::printf("\r%s\033[K", line.c_str());
        std::fflush(stdout);
        if (ended)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        auto now = std::chrono::steady_clock::now();
        if (!paused)
            elapsed += std::chrono::duration<double>(now - last).count();
        last = now;
    }
    std::printf("\033[?25h\n");
    if (echoHandle)
        MIDASremoveEchoEffect(echoHandle);
    MIDASstopModule(handle);
    MIDASstopBackgroundPlay();
    MIDASfreeModule(module);
    MIDASclose();
    return 0;
}
