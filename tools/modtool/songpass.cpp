// One pass of a song through the file-sink device.
#include "songpass.h"

#include <map>
#include <utility>

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

// Playing a row the song has played before closes a pass, when it comes
// from the end of the order list or from a jump. A row played again inside
// its own position while a pattern loop counts is the loop, not a new pass;
// past 64 visits of one row it counts as a pass all the same, so that no
// song runs forever.
class PassTracker {
public:
    // Called at every row read; true when this row begins a new pass.
    bool rowStarts(unsigned position, unsigned row, bool wrapped, bool loopActive)
    {
        auto key = std::make_pair(position, row);
        unsigned &visits = seen_[key];
        bool again = visits > 0 && (position != lastPosition_ || !loopActive || visits >= 64);
        lastPosition_ = position;
        visits++;
        if (wrapped || again) {
            seen_.clear();
            seen_[key] = 1;
            return true;
        }
        return false;
    }

private:
    std::map<std::pair<unsigned, unsigned>, unsigned> seen_;
    unsigned lastPosition_ = ~0u;
};

bool patternLoopActive(const PlayState *ps)
{
    if (ps->loopCount)
        return true;
    for (int c = 0; c < ps->numChannels; c++)
        if (ps->channels[c].chanLoopCount)
            return true;
    return false;
}

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
    // The player counts a wrap while it reads the song's last row; the pass
    // ends when the row after it starts.
    int loopCountAtRow = ps->songLoopCount;
    bool wrapPending = false;
    const uint64_t maxFrames = uint64_t(options.maxSeconds * options.rate);
    for (;;) {
        size_t eventsBefore = result->syncEvents.size();
        // A tick 0 that starts with a pattern delay pending repeats the row
        // before instead of reading a new one.
        bool delayRepeat = ps->patternDelay != 0;
        // A pattern loop that jumps back still counts when the jump is made;
        // the row read after it may use up the count.
        bool loopActive = patternLoopActive(ps);
        MIDASpoll();
        // A poll that stopped the sound system (a fatal player error) ends
        // the pass with the error.
        if (!midasSDInit) {
            current = nullptr;
            return fail(error, "the player stopped on an error");
        }
        if (ps->tick == 0 && !delayRepeat) {
            bool wrapped = wrapPending;
            wrapPending = ps->songLoopCount != loopCountAtRow;
            loopCountAtRow = ps->songLoopCount;
            if (tracker.rowStarts(ps->info->position, ps->info->row, wrapped, loopActive) &&
                fsFramesMixed() > 0 && ++passes >= options.loops) {
                // The row just started belongs to the next pass: its sound
                // is not mixed yet, and neither are its sync commands.
                result->syncEvents.resize(eventsBefore);
                break;
            }
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
