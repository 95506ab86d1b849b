// module: the thin layer over the sound API that starts and stops the music.
#include "demo/module.h"

#include <cstdio>

#include "demo/globals.h"

// The sound API arrives with the sound library; until its header is there
// only the sync callback is built (the demo program needs both).
#if __has_include("sound/api/midasdll.h")
#include "sound/api/midasdll.h"
#define DEMO_HAVE_MIDAS 1
#endif
#if __has_include("platform/audio/dsp.h")
#include <string>
#include "platform/audio/dsp.h"
#define DEMO_HAVE_DSP 1
#endif

#ifdef DEMO_HAVE_MIDAS
static MIDASmodule module;
static MIDASmodulePlayHandle playHandle;
static char error_line[512];

const char *music_error()
{
    return error_line;
}

static void set_music_error(const char *filename, const char *what)
{
    snprintf(error_line, sizeof error_line, "%s: %s: %s", filename, what,
             MIDASgetErrorMessage(MIDASgetLastError()));
}

int startplay(const char *filename)
{
#ifdef DEMO_HAVE_DSP
    // A device asked for by name plays or the show does not start: the
    // sound system would fall back to the silent device without a word.
    std::string refused;
    if (!audioDspCheckRequested(&refused)) {
        snprintf(error_line, sizeof error_line, "%s", refused.c_str());
        return 0;
    }
#endif
    MIDASstartup();
    if (!MIDASinit()) {
        set_music_error(filename, "the sound system cannot start");
        return 0;
    }
    // Playback is driven by the sound system's own thread at its default rate.
    if (!MIDASstartBackgroundPlay(0)) {
        set_music_error(filename, "the sound system cannot start");
        MIDASclose();
        return 0;
    }
    module = MIDASloadModule(filename);
    if (!module) {
        // Without the music no sync value would ever come, and the first
        // effect would wait for one forever.
        set_music_error(filename, "cannot load the module");
        MIDASstopBackgroundPlay();
        MIDASclose();
        return 0;
    }
    playHandle = MIDASplayModule(module, 1);
    if (!playHandle) {
        set_music_error(filename, "cannot play the module");
        MIDASfreeModule(module);
        module = nullptr;
        MIDASstopBackgroundPlay();
        MIDASclose();
        return 0;
    }
    MIDASsetMusicSyncCallback(playHandle, SyncCallback);
    return 1;
}

void stopplay()
{
    MIDASstopModule(playHandle);
    MIDASfreeModule(module);
    MIDASstopBackgroundPlay();
    MIDASclose();
    module = nullptr;
    playHandle = 0;
}
#endif

void SyncCallback(uint32_t sync, uint32_t /*position*/, uint32_t /*row*/)
{
    set_sync_value((uint8_t)(sync & 0xFF));
}
