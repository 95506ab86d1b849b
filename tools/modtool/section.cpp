// A pass through a section of the order list.
#include "section.h"

#include "sound/api/midasdll.h"

namespace {

// Passes the sound on once the song has reached the section's start.
struct Gate {
    AudioSink *sink;
    bool open = false;
};

int writeGate(const void *data, unsigned bytes, void *gate)
{
    Gate *g = static_cast<Gate *>(gate);
    return !g->open || !g->sink || g->sink->write(data, bytes) ? 1 : 0;
}

class Section {
public:
    ~Section()
    {
        if (handle_)
            MIDASstopModule(handle_);
        if (module_)
            MIDASfreeModule(module_);
        MIDASclose();
    }

    // Starts the render of the song from its beginning (so that the section
    // starts with the speed, tempo and volumes the song has there); past the
    // section's end the player goes back to its start, which is where a
    // pass comes round.
    bool open(const std::string &file, const PassOptions &options, Gate *gate, int start, int *end,
              std::string *error)
    {
        MIDASstartup();
        MIDASsetOption(MIDAS_OPTION_MIXRATE, int(options.rate));
        int flags = int(options.mixing) | MIDAS_RENDER_STOP_AT_PASS;
        if (options.silent)
            flags |= MIDAS_RENDER_SILENT;
        if (!MIDASrenderInit(flags, writeGate, gate) || !(module_ = MIDASloadModule(file.c_str())))
            return failed(error);
        ModuleInfo info;
        MIDASgetModuleInfo(module_, &info);
        const int last = int(info.songLength) - 1;
        if (*end < 0)
            *end = last;
        if (start > last || *end > last)
            return failed(error, "the song's last position is " + std::to_string(last));
        if (*end < start)
            return failed(error, "--end " + std::to_string(*end) + " is before --start " +
                                     std::to_string(start));
        if (!(handle_ = MIDASplayModuleSection(module_, 0, *end, start, 1)))
            return failed(error);
        return true;
    }

    // Renders in steps of 'step' frames until the song is at the position.
    // *frames gets the frames rendered on the way.
    bool seek(int position, unsigned step, uint64_t limit, uint64_t *frames, std::string *error)
    {
        MIDASsongState state;
        for (;;) {
            if (!MIDASgetSongState(handle_, &state))
                return failed(error);
            if (int(state.position) == position)
                return true;
            if (state.passes > 0 || *frames >= limit)
                return failed(error, "the song does not reach position " + std::to_string(position));
            unsigned n = 0;
            if (!MIDASrender(nullptr, step, &n))
                return failed(error);
            *frames += n;
        }
    }

    bool render(uint64_t frames, std::string *error)
    {
        while (frames > 0) {
            unsigned n = 0, want = frames < 65536 ? unsigned(frames) : 65536;
            if (!MIDASrender(nullptr, want, &n))
                return failed(error);
            frames -= n;
        }
        return true;
    }

    int handle() const { return handle_; }

private:
    bool failed(std::string *error, const std::string &message = "")
    {
        *error = message.empty() ? MIDASgetErrorMessage(MIDASgetLastError()) : message;
        return false;
    }

    MIDASmodule module_ = nullptr;
    int handle_ = 0;
};

}  // namespace

bool runSectionPass(const std::string &file, const PassOptions &options, int start, int end,
                    PassResult *result, std::string *error)
{
    *result = PassResult{};
    result->rate = options.rate;
    const uint64_t maxFrames = uint64_t(options.maxSeconds * options.rate);
    // The start to the frame: a silent run finds it within 256 frames, then
    // the real one goes there and on frame by frame.
    uint64_t near = 0;
    {
        PassOptions silent = options;
        silent.silent = true;
        Gate closed{nullptr};
        Section s;
        int e = end;
        if (!s.open(file, silent, &closed, start, &e, error) ||
            !s.seek(start, 256, maxFrames, &near, error))
            return false;
    }
    Gate gate{options.sink};
    Section s;
    uint64_t skipped = 0;
    const uint64_t coarse = near >= 256 ? near - 256 : 0;
    if (!s.open(file, options, &gate, start, &end, error) || !s.render(coarse, error) ||
        !s.seek(start, 1, maxFrames, &skipped, error))
        return false;
    gate.open = true;
    MIDASsongState state;
    for (;;) {
        uint64_t left = maxFrames - result->frames;
        unsigned n = 0;
        if (!MIDASrender(nullptr, left < 65536 ? unsigned(left) : 65536, &n) ||
            !MIDASgetSongState(s.handle(), &state)) {
            *error = MIDASgetErrorMessage(MIDASgetLastError());
            return false;
        }
        result->frames += n;
        if (state.passes >= options.loops)
            break;
        if (result->frames >= maxFrames) {
            result->hitLimit = true;
            break;
        }
    }
    return true;
}
