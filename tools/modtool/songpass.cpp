// One pass of a song through the file-sink device.
#include "songpass.h"

#include <set>
#include <string>

#include "platform/audio/filesink.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/mixer/dsm.h"
#include "sound/player/gmplayer.h"

namespace {

PassResult *current = nullptr;

void onSync(unsigned value, unsigned position, unsigned row)
{
    // The player runs after the device mixed the tick before it, so the row
    // carrying the command starts at the frames mixed so far.
    current->syncEvents.push_back({fsFramesMixed(), position, row, value});
}

// A pass ends where the song really comes round: when the row about to be
// read is one it has read before in the same loop state (the running
// pattern loops of the song and of every channel). From there on the song
// can only play what it already played. Pattern loops, jumps back that a
// loop count or a break leads on, and jumps to the same position therefore
// stay inside the pass.
class PassTracker {
public:
    // True when the row the next poll reads begins a new pass.
    bool rowStarts(const PlayState *ps)
    {
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
        return true;
    }

private:
    std::set<std::string> seen_;
};

PlayState *findSong()
{
    for (PlayState *ps : playHandles)
        if (ps)
            return ps;
    return nullptr;
}

bool fail(std::string *error, const std::string &message)
{
    *error = message;
    return false;
}

}  // namespace

const char *formatName(int playMode)
{
    switch (playMode) {
    case gmpPT: return "MOD";
    case gmpST3: return "S3M";
    case gmpFT2: return "XM";
    case gmpIT: return "IT";
    default: return "unknown";
    }
}

bool runSongPass(const std::string &file, const PassOptions &options, PassResult *result,
                 std::string *error)
{
    *result = PassResult{};
    result->rate = options.rate;
    MIDASstartup();
    MIDASsetOption(MIDAS_OPTION_MIXRATE, int(options.rate));
    fsSetSink(options.sink);
    fsSetMixingMode(options.mixing);
    fsSetDeviceTicks(options.deviceTicks);
    midasForcedSD = &FileSink;
    bool initialised = MIDASinit();
    midasForcedSD = nullptr;
    if (!initialised) {
        std::string message = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASclose();
        return fail(error, message);
    }

    MIDASmodule module = MIDASloadModule(file.c_str());
    if (!module) {
        std::string message = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASclose();
        return fail(error, message);
    }
    result->format = formatName(module->playMode);
    ModuleInfo info;
    MIDASgetModuleInfo(module, &info);
    result->songName = info.songName;
    result->channels = info.numChannels;
    result->patterns = info.numPatterns;
    result->instruments = info.numInstruments;
    result->samples = module->numSamples;
    result->songLength = info.songLength;

    int handle = MIDASplayModule(module, 1);
    if (!handle) {
        std::string message = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASfreeModule(module);
        MIDASclose();
        return fail(error, message);
    }
    if (options.silent)
        midasSD->SetMasterVolume(0);
    current = result;
    MIDASsetMusicSyncCallback(handle, onSync);

    PlayState *ps = findSong();
    PassTracker tracker;
    unsigned passes = 0;
    const uint64_t maxFrames = uint64_t(options.maxSeconds * options.rate);
    for (;;) {
        size_t eventsBefore = result->syncEvents.size();
        // The poll mixes one tick and then runs the player, which reads the
        // next row when the tick count comes round, unless a pattern delay
        // repeats the row before.
        bool readsRow = ps->tick + 1 >= ps->speed && ps->patternDelay == 0;
        bool newPass = readsRow && tracker.rowStarts(ps);
        MIDASpoll();
        // A poll that stopped the sound system (a fatal player error) ends
        // the pass with the error.
        if (!midasSDInit) {
            current = nullptr;
            return fail(error, "the player stopped on an error");
        }
        if (newPass && fsFramesMixed() > 0 && ++passes >= options.loops) {
            // The row just read belongs to the next pass: its sound is not
            // mixed yet, and neither are its sync commands.
            result->syncEvents.resize(eventsBefore);
            break;
        }
        if (fsFramesMixed() >= maxFrames) {
            result->hitLimit = true;
            break;
        }
    }
    result->frames = fsFramesMixed();
    current = nullptr;
    bool writeFailed = fsWriteFailed();
    MIDASstopModule(handle);
    MIDASfreeModule(module);
    MIDASclose();
    fsSetSink(nullptr);
    fsSetDeviceTicks(false);
    if (writeFailed)
        return fail(error, "Unable to write file");
    return true;
}
