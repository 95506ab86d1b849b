// Offline rendering on the file-sink device, the song pass count, and the
// small calls tools need to show a song: its state, its format, the device.
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mglobals.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/mixer/dsm.h"
#include "sound/mixer/filesink.h"
#include "sound/player/gmplayer.h"

using mapi::fail;
using mapi::PollLock;

namespace {

// Where a song comes round: the row about to be read was read before in
// the same loop state (the running pattern loops of the song and of every
// channel). From there the song can only play what it already played.
// Pattern loops, jumps back that a loop count or a break leads on, and
// jumps to the same position therefore stay inside the pass.
class PassTracker {
public:
    void reset()
    {
        seen_.clear();
        passes = 0;
    }

    // Called before each tick; true when this tick reads a row that begins
    // a new pass.
    bool beforeTick(const PlayState *ps)
    {
        // The tick reads the next row when the tick count comes round,
        // unless a pattern delay repeats the row before.
        if (ps->tick + 1 < ps->speed || ps->patternDelay != 0)
            return false;
        std::string key;
        auto put = [&key](unsigned v) {
            key.push_back(char(v & 0xFF));
            key.push_back(char((v >> 8) & 0xFF));
        };
        put(unsigned(ps->position));
        put(unsigned(ps->row));
        // A loop's start row counts only while the loop runs: a start left
        // over from an earlier pass is set again before any loop uses it.
        auto putLoop = [&put](unsigned row, unsigned count) {
            put(count ? row : 0);
            put(count);
        };
        putLoop(ps->loopRow, ps->loopCount);
        for (int c = 0; c < ps->numChannels; c++)
            putLoop(ps->channels[c].chanLoopRow, ps->channels[c].chanLoopCount);
        if (seen_.insert(key).second)
            return false;
        seen_.clear();
        seen_.insert(key);
        passes++;
        return true;
    }

    unsigned passes = 0;

private:
    std::set<std::string> seen_;
};

PassTracker trackers[gmpMaxSongs];

int renderFlags = 0;
// MIDASrender stopped at a pass end: the tick the player owes runs first
// when the render goes on.
bool tickPending = false;

bool rendering() { return midasSDInit && midasSD == &FileSink; }

}  // namespace

void mapi::songStarted(int handle) { trackers[handle - 1].reset(); }

bool mapi::beforeTick()
{
    bool passEnded = false;
    for (int h = 1; h <= gmpMaxSongs; h++) {
        const PlayState *ps = songPlayState(h);
        if (ps && trackers[h - 1].beforeTick(ps))
            passEnded = true;
    }
    return passEnded;
}

int MIDASrenderInit(int flags, MIDASrenderCallback callback, void *userData)
{
    static const unsigned mixing[] = {0, dsmModeInteger, dsmModeFloat, dsmModeInterp};
    const int known = 3 | MIDAS_RENDER_EVEN_TICKS | MIDAS_RENDER_SILENT | MIDAS_RENDER_STOP_AT_PASS;
    if (flags & ~known)
        return fail(errInvalidArguments);
    PollLock lock;
    if (midasSDInit || midasGMPInit)
        return fail(errDeviceBusy);
    fsSetMixingMode(mixing[flags & 3]);
    fsSetDeviceTicks((flags & MIDAS_RENDER_EVEN_TICKS) != 0);
    fsSetWriter(callback, userData);
    renderFlags = flags;
    tickPending = false;
    midasForcedSD = &FileSink;
    int ok = MIDASinit();
    midasForcedSD = nullptr;
    if (!ok)
        return 0;
    if (flags & MIDAS_RENDER_SILENT) {
        int error = midasSD->SetMasterVolume(0);
        if (error != errOK)
            return fail(error);
    }
    return 1;
}

int MIDASrender(void *buffer, unsigned frames, unsigned *rendered)
{
    PollLock lock;
    if (rendered)
        *rendered = 0;
    if (!rendering())
        return fail(errSDFailure);
    uint64_t start = fsFramesMixed();
    int error = errOK;
    fsSetRoom(buffer, frames);
    if (tickPending && frames > 0) {
        tickPending = false;
        if (midasGMPInit)
            error = gmpPlay();
    }
    while (error == errOK && fsRoomLeft() > 0) {
        int callPlayer = 0;
        if ((error = midasSD->Play(&callPlayer)) != errOK || !callPlayer)
            break;
        // The mixed frames end at a tick: the player reads on from here.
        if (mapi::beforeTick() && (renderFlags & MIDAS_RENDER_STOP_AT_PASS)) {
            tickPending = true;
            break;
        }
        if (midasGMPInit)
            error = gmpPlay();
    }
    fsSetRoom(nullptr, 0);
    if (rendered)
        *rendered = unsigned(fsFramesMixed() - start);
    return error == errOK ? 1 : fail(error);
}

int MIDASgetRenderInfo(MIDASrenderInfo *info)
{
    PollLock lock;
    if (!rendering())
        return fail(errSDFailure);
    if (info == nullptr)
        return fail(errInvalidArguments);
    unsigned rate = 0, mode = 0;
    int error;
    if ((error = midasSD->GetMixRate(&rate)) != errOK || (error = midasSD->GetMode(&mode)) != errOK)
        return fail(error);
    info->frames = fsFramesMixed();
    info->mixRate = rate;
    info->outputMode = mode;
    return 1;
}

int MIDASgetSongState(MIDASmodulePlayHandle playHandle, MIDASsongState *state)
{
    PollLock lock;
    PlayState *ps = mapi::songPlayState(playHandle);
    if (!ps)
        return fail(errNoModulePlaying);
    if (state == nullptr)
        return fail(errInvalidArguments);
    PlayInfo *info;
    int error = gmpGetInformation(ps, &info);
    if (error != errOK)
        return fail(error);
    std::memset(state, 0, sizeof *state);
    state->position = info->position;
    state->pattern = info->pattern;
    state->row = info->row;
    state->speed = info->speed;
    state->tempo = info->tempo;
    state->passes = trackers[playHandle - 1].passes;
    unsigned n = ps->numChannels > 0 ? unsigned(ps->numChannels) : 0;
    if (n > sizeof state->volume)
        n = sizeof state->volume;
    state->numChannels = n;
    for (unsigned c = 0; c < n; c++)
        state->volume[c] = ps->channels[c].finalVolume;
    return 1;
}

int MIDASgetModuleFormat(MIDASmodule module, MIDASmoduleFormat *format)
{
    if (!mapi::liveModule(module) || format == nullptr)
        return fail(errInvalidArguments);
    const char *name = "?";
    switch (module->playMode) {
    case gmpPT: name = "MOD"; break;
    case gmpST3: name = "S3M"; break;
    case gmpFT2: name = "XM"; break;
    case gmpIT: name = "IT"; break;
    default: break;
    }
    std::memset(format, 0, sizeof *format);
    std::strncpy(format->format, name, sizeof format->format - 1);
    format->numSamples = module->numSamples;
    return 1;
}

int MIDASpause(int paused)
{
    PollLock lock;
    if (!midasSDInit)
        return fail(errSDFailure);
    int error = midasSD->Pause(paused ? 1 : 0);
    return error == errOK ? 1 : fail(error);
}

const char *MIDASgetDeviceName(void)
{
    if (!midasSDInit) {
        fail(errSDFailure);
        return nullptr;
    }
    return midasSD->name;
}
