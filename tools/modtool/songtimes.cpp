// Row times of a song.
#include "songtimes.h"

#include "sound/api/midasdll.h"

void SongTimes::add(unsigned position, unsigned row, double seconds)
{
    start_.emplace(std::make_pair(position, row), seconds);
}

double SongTimes::at(unsigned position, unsigned row) const
{
    auto it = start_.upper_bound({position, row});
    return it == start_.begin() ? 0 : std::prev(it)->second;
}

bool songTimes(const std::string &file, SongTimes *times, PassResult *pass, std::string *error)
{
    *pass = PassResult{};
    pass->rate = 44100;
    auto fail = [error]() {
        *error = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASclose();
        return false;
    };
    MIDASstartup();
    MIDASsetOption(MIDAS_OPTION_MIXRATE, int(pass->rate));
    if (!MIDASrenderInit(MIDAS_RENDER_SILENT | MIDAS_RENDER_STOP_AT_PASS, nullptr, nullptr))
        return fail();
    MIDASmodule module = MIDASloadModule(file.c_str());
    if (!module)
        return fail();
    ModuleInfo info;
    MIDASmoduleFormat format;
    MIDASgetModuleInfo(module, &info);
    MIDASgetModuleFormat(module, &format);
    pass->format = format.format;
    pass->songName = info.songName;
    pass->channels = info.numChannels;
    pass->songLength = info.songLength;
    int handle = MIDASplayModule(module, 1);
    if (!handle)
        return fail();
    // Small steps, so that a row's time is within 3 ms of where it starts.
    const uint64_t maxFrames = uint64_t(3600) * pass->rate;
    MIDASsongState state;
    for (;;) {
        if (!MIDASgetSongState(handle, &state))
            return fail();
        times->add(state.position, state.row, double(pass->frames) / pass->rate);
        unsigned n = 0;
        if (!MIDASrender(nullptr, 128, &n) || !MIDASgetSongState(handle, &state))
            return fail();
        pass->frames += n;
        if (state.passes >= 1 || n == 0)
            break;
        if (pass->frames >= maxFrames) {
            pass->hitLimit = true;
            break;
        }
    }
    MIDASstopModule(handle);
    MIDASfreeModule(module);
    MIDASclose();
    return true;
}
