// One pass of a song through the library's offline render.
#include "songpass.h"

#include <string>

#include "sound/api/midasdll.h"

namespace {

PassResult *current = nullptr;

void onSync(unsigned value, unsigned position, unsigned row)
{
    // The player runs after the device mixed the tick before it, so the row
    // carrying the command starts at the frames mixed so far.
    MIDASrenderInfo info;
    uint64_t frame = MIDASgetRenderInfo(&info) ? info.frames : 0;
    current->syncEvents.push_back({frame, position, row, value});
}

int writeSink(const void *data, unsigned bytes, void *sink)
{
    return static_cast<AudioSink *>(sink)->write(data, bytes) ? 1 : 0;
}

bool fail(std::string *error)
{
    *error = MIDASgetErrorMessage(MIDASgetLastError());
    current = nullptr;
    MIDASclose();
    return false;
}

}  // namespace

bool runSongPass(const std::string &file, const PassOptions &options, PassResult *result,
                 std::string *error)
{
    *result = PassResult{};
    result->rate = options.rate;
    MIDASstartup();
    MIDASsetOption(MIDAS_OPTION_MIXRATE, int(options.rate));
    int flags = options.mixing | MIDAS_RENDER_STOP_AT_PASS;
    if (options.silent)
        flags |= MIDAS_RENDER_SILENT;
    if (options.deviceTicks)
        flags |= MIDAS_RENDER_EVEN_TICKS;
    if (!MIDASrenderInit(flags, options.sink ? writeSink : nullptr, options.sink))
        return fail(error);

    MIDASmodule module = MIDASloadModule(file.c_str());
    if (!module)
        return fail(error);
    ModuleInfo info;
    MIDASmoduleFormat format;
    MIDASgetModuleInfo(module, &info);
    MIDASgetModuleFormat(module, &format);
    result->format = format.format;
    result->songName = info.songName;
    result->channels = info.numChannels;
    result->patterns = info.numPatterns;
    result->instruments = info.numInstruments;
    result->samples = format.numSamples;
    result->songLength = info.songLength;

    int handle = MIDASplayModule(module, 1);
    if (!handle)
        return fail(error);
    current = result;
    MIDASsetMusicSyncCallback(handle, onSync);

    // The render stops by itself where the song completes a pass, before
    // the row that begins the next one is read.
    const uint64_t maxFrames = uint64_t(options.maxSeconds * options.rate);
    const unsigned chunk = options.chunkFrames;
    MIDASsongState state;
    for (;;) {
        if (options.beforeChunk) {
            if (!MIDASgetSongState(handle, &state))
                return fail(error);
            options.beforeChunk(state.position, state.row, result->frames);
        }
        uint64_t left = maxFrames - result->frames;
        unsigned n = 0;
        if (!MIDASrender(nullptr, left < chunk ? unsigned(left) : chunk, &n))
            return fail(error);
        result->frames += n;
        if (!MIDASgetSongState(handle, &state))
            return fail(error);
        if (state.passes >= options.loops)
            break;
        if (result->frames >= maxFrames) {
            result->hitLimit = true;
            break;
        }
        if (n == 0)
            break;  // no frame and no pass completed: nothing more will come
    }
    current = nullptr;
    MIDASstopModule(handle);
    MIDASfreeModule(module);
    MIDASclose();
    return true;
}
