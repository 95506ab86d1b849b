// The render pass of modtool render.
#include "renderpass.h"

#include <vector>

#include "sound/api/midasdll.h"

namespace {

// Passes the sound on once the song has reached the section's start.
struct Gate {
    Gate(AudioSink *s, FloatTap *t) : sink(s), tap(t) {}
    AudioSink *sink;
    FloatTap *tap;
    bool open = false;
    std::vector<float> values;
};

// Post-processors last in the mixer's ring, after the echoes and the output
// filter: they see what the conversion to 16 bits gets.
int tapFloat(void *buffer, unsigned frames, void *gate)
{
    Gate *g = static_cast<Gate *>(gate);
    if (g->open && g->tap)
        g->tap->frames(static_cast<const float *>(buffer), frames);
    return 1;
}

int tapInt(void *buffer, unsigned frames, void *gate)
{
    Gate *g = static_cast<Gate *>(gate);
    if (!g->open || !g->tap)
        return 1;
    const MIDASpostProcInt *in = static_cast<const MIDASpostProcInt *>(buffer);
    g->values.assign(in, in + 2 * frames);
    g->tap->frames(g->values.data(), frames);
    return 1;
}

int writeGate(const void *data, unsigned bytes, void *gate)
{
    Gate *g = static_cast<Gate *>(gate);
    return !g->open || !g->sink || g->sink->write(data, bytes) ? 1 : 0;
}

class Section {
public:
    ~Section()
    {
        if (tapped_)
            MIDASremovePostProcessor(&tap_);
        if (handle_)
            MIDASstopModule(handle_);
        if (module_)
            MIDASfreeModule(module_);
        MIDASclose();
    }

    // Starts the render of the song from its beginning (so that a section
    // starts with the speed, tempo and volumes the song has there); past the
    // section's end the player goes back to its start, which is where a
    // pass comes round. Without a range the song plays as runSongPass plays
    // it.
    bool open(const std::string &file, const PassOptions &options, Gate *gate, Range range,
              int *end, std::string *error)
    {
        const int start = range.start < 0 ? 0 : range.start;
        MIDASstartup();
        MIDASsetOption(MIDAS_OPTION_MIXRATE, int(options.rate));
        int flags = int(options.mixing) | MIDAS_RENDER_STOP_AT_PASS;
        if (options.silent)
            flags |= MIDAS_RENDER_SILENT;
        if (!MIDASrenderInit(flags, writeGate, gate) || !(module_ = MIDASloadModule(file.c_str())))
            return failed(error);
        if (gate->tap) {
            tap_.floatStereo = tapFloat;
            tap_.intStereo = tapInt;
            if (!MIDASaddPostProcessor(&tap_, MIDAS_POST_PROC_LAST, gate))
                return failed(error);
            tapped_ = true;
        }
        if (range.start < 0 && range.end < 0)
            return (handle_ = MIDASplayModule(module_, 1)) != 0 || failed(error);
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
                return failed(error,
                              "the song does not reach position " + std::to_string(position));
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
    MIDASpostProcessor tap_ = {};
    bool tapped_ = false;
};

}  // namespace

bool runRenderPass(const std::string &file, const PassOptions &options, Range range, FloatTap *tap,
                   PassResult *result, std::string *error)
{
    *result = PassResult{};
    result->rate = options.rate;
    const uint64_t maxFrames = uint64_t(options.maxSeconds * options.rate);
    const bool section = range.start >= 0 || range.end >= 0;
    const int start = range.start < 0 ? 0 : range.start;
    // A section's start to the frame: a silent run finds it within 256
    // frames, then the real one goes there and on frame by frame.
    uint64_t near = 0;
    if (section) {
        PassOptions silent = options;
        silent.silent = true;
        Gate closed(nullptr, nullptr);
        Section s;
        int e = range.end;
        if (!s.open(file, silent, &closed, range, &e, error) ||
            !s.seek(start, 256, maxFrames, &near, error))
            return false;
    }
    Gate gate(options.sink, tap);
    Section s;
    uint64_t skipped = 0;
    const uint64_t coarse = near >= 256 ? near - 256 : 0;
    int end = range.end;
    if (!s.open(file, options, &gate, range, &end, error) ||
        (section && (!s.render(coarse, error) || !s.seek(start, 1, maxFrames, &skipped, error))))
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
