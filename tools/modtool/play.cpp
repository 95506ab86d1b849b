// Real-time playback through the detected device.
#include "play.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

#include "output.h"
#include "songpass.h"
#include "songtimes.h"
#include "sound/api/midasdll.h"
#include "statusline.h"
#include "terminal.h"

namespace {

// One bar character per channel for its output volume (0..64).
std::string meters(const MIDASsongState &st)
{
    static const char *const bars[] = {" ",      "\u2581", "\u2582", "\u2583", "\u2584",
                                       "\u2585", "\u2586", "\u2587", "\u2588"};
    std::string s;
    for (unsigned c = 0; c < st.numChannels && c < 64; c++)
        s += bars[(st.volume[c] > 64 ? 64 : st.volume[c]) * 8 / 64];
    return s;
}

const char *const keyHelp =
    "keys: space pause, left/right previous/next position, +/- volume, l loop on/off,\n"
    "      n/p next/previous file, ? these keys, q quit\n";

// The terminal's width, read again after a SIGWINCH; 80 when standard
// output is no terminal and COLUMNS does not say.
volatile sig_atomic_t resized = 1;
void onResize(int) { resized = 1; }

unsigned terminalWidth()
{
    winsize ws;
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    const char *env = std::getenv("COLUMNS");
    int n = env ? std::atoi(env) : 0;
    return n > 0 ? unsigned(n) : 80;
}

enum class Outcome { ended, next, previous, quit, failed };

struct PlayOptions {
    std::string echo;
    bool loop = false;
};

Outcome playOne(const std::string &file, PlayOptions &options, size_t index, size_t count);

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

namespace {

Outcome playOne(const std::string &file, PlayOptions &options, size_t index, size_t count)
{
    // A silent pass first: the song's length and the time at each row for
    // the status line, and a clean error for a module that does not load.
    SongTimes times;
    PassResult pass;
    std::string error;
    if (!songTimes(file, &times, &pass, &error)) {
        std::fprintf(stderr, "modtool: %s: %s\n", file.c_str(), error.c_str());
        return Outcome::failed;
    }
    const double total = double(pass.frames) / pass.rate;

    auto failWith = [&](const char *what) {
        std::fprintf(stderr, "modtool: %s: %s\n", what, MIDASgetErrorMessage(MIDASgetLastError()));
        MIDASclose();
        return Outcome::failed;
    };
    MIDASstartup();
    if (!MIDASinit())
        return failWith(file.c_str());
    MIDASmodule module = MIDASloadModule(file.c_str());
    if (!module)
        return failWith(file.c_str());
    MIDASstartBackgroundPlay(0);
    // The song always loops in the player; whether play goes on when it comes
    // round is decided here, so that l can switch it at any time.
    int handle = MIDASplayModule(module, 1);
    if (!handle) {
        MIDASfreeModule(module);
        return failWith(file.c_str());
    }
    MIDASechoHandle echoHandle = nullptr;
    if (!options.echo.empty()) {
        echoHandle = MIDASaddEchoEffect(findPreset(options.echo));
        if (!echoHandle) {
            MIDASstopModule(handle);
            MIDASstopBackgroundPlay();
            MIDASfreeModule(module);
            return failWith(file.c_str());
        }
    }
    char counter[48] = "";
    if (count > 1)
        std::snprintf(counter, sizeof counter, "[%zu/%zu] ", index + 1, count);
    std::printf("%s%s (%s, %u channels) on %s%s\n", counter, pass.songName.c_str(),
                pass.format.c_str(), pass.channels, outputDescription(MIDASgetDeviceName()).c_str(),
                options.echo.empty() ? "" : (", echo " + options.echo).c_str());
    static bool hinted = false;
    if (!hinted)
        std::printf("press ? for the keys\n");
    hinted = true;

    RawTerminal term;
    MIDASsongState st;
    MIDASgetSongState(handle, &st);
    unsigned volume = 64;
    bool paused = false;
    // The song has ended when the player came round more often than this.
    unsigned endsAfter = 0;
    // Rows still to be seen after a seek, and the last one seen.
    int seekRows = 0;
    unsigned seekPosition = ~0u, seekRow = ~0u;
    unsigned width = 80;
    Outcome outcome = Outcome::ended;
    const bool tty = isatty(STDOUT_FILENO);
    if (tty)
        std::printf("\033[?25l");  // hide the cursor while the line updates
    for (;;) {
        int key = term.readKey();
        if (key == 'q' || key == 'Q') {
            outcome = Outcome::quit;
            break;
        }
        if (key == 'n' || key == 'N') {
            outcome = Outcome::next;
            break;
        }
        if (key == 'p' || key == 'P') {
            outcome = Outcome::previous;
            break;
        }
        if (key == '?') {
            std::printf("\r\033[K%s", keyHelp);
        } else if (key == ' ') {
            // Pausing stops the player and the mixer alike: no row moves on,
            // so the song resumes where it stopped.
            paused = !paused;
            if (paused)
                MIDASstopBackgroundPlay();
            else
                MIDASstartBackgroundPlay(0);
        }
        if (key == RawTerminal::keyLeft || key == RawTerminal::keyRight) {
            int to = int(st.position) + (key == RawTerminal::keyRight ? 1 : -1);
            MIDASsetPosition(handle, to < 0 ? 0 : to);
            seekRows = 2;
        } else if (key == '+' || key == '=') {
            volume = volume + 4 > 64 ? 64 : volume + 4;
            MIDASsetMusicVolume(handle, volume);
        } else if (key == '-') {
            volume = volume < 4 ? 0 : volume - 4;
            MIDASsetMusicVolume(handle, volume);
        } else if (key == 'l' || key == 'L') {
            options.loop = !options.loop;
        }
        MIDASgetSongState(handle, &st);
        StatusFields f;
        f.position = st.position;
        f.songLength = pass.songLength;
        f.pattern = st.pattern;
        f.row = st.row;
        f.speed = st.speed;
        f.tempo = st.tempo;
        f.volume = volume;
        f.songTime = times.at(st.position, st.row);
        f.duration = total;
        f.paused = paused;
        f.looping = options.loop;
        f.meters = meters(st);
        unsigned loops = st.passes;
        // While looping the song may come round as often as it likes; the
        // end is the next time round after looping was switched off. A seek
        // back reads a row again, which counts as the song coming round: the
        // passes until two rows after a seek do not end the song.
        if (options.loop || seekRows > 0)
            endsAfter = loops;
        if (seekRows > 0 && (st.position != seekPosition || st.row != seekRow)) {
            seekPosition = st.position;
            seekRow = st.row;
            seekRows--;
        }
        bool ended = loops > endsAfter;
        if (resized) {
            resized = 0;
            width = terminalWidth();
        }
        if (ended)
            break;  // the line keeps the song's last row
        std::printf("\r%s\033[K", statusLine(f, width).c_str());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf(tty ? "\033[?25h\n" : "\n");
    if (echoHandle)
        MIDASremoveEchoEffect(echoHandle);
    MIDASstopModule(handle);
    if (!paused)
        MIDASstopBackgroundPlay();
    MIDASfreeModule(module);
    MIDASclose();
    return outcome;
}

}  // namespace

int playModules(const std::vector<std::string> &files, const std::string &echo, bool loop)
{
    std::string refused;
    if (!checkRequestedOutput(&refused)) {
        std::fprintf(stderr, "modtool: %s\n", refused.c_str());
        return 1;
    }
    std::signal(SIGWINCH, onResize);
    PlayOptions options{echo, loop};
    bool failed = false;
    for (size_t i = 0; i < files.size();) {
        Outcome o = playOne(files[i], options, i, files.size());
        if (o == Outcome::quit)
            break;
        failed |= o == Outcome::failed;
        if (o == Outcome::previous)
            i = i > 0 ? i - 1 : 0;
        else
            i++;
    }
    return failed ? 1 : 0;
}
