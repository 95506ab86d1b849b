// What the units of the public API share: the failure path, the poll-lock
// guard, and the sets of live handles that every call checks its arguments
// against.
//
// A handle an application passes in is looked up by value among the handles
// of its kind that are alive now; it is never dereferenced before it is
// found there. A freed pointer that the allocator hands out again for a new
// record of the same kind is that new record: the same as a reused file
// descriptor.
//
// Thread contract: the sets belong to the application thread (the API is
// called from one thread); the player thread never reads them.
#pragma once

#include <cstddef>
#include <vector>

#include "sound/api/mpoll.h"

struct ModuleRecord;
struct PlayState;

namespace mapi {

// Stores error in mLastError; returns 0, the failure value of most calls.
int fail(int error);

// Holds the poll lock for a scope.
struct PollLock {
    PollLock() { LockPollThread(); }
    ~PollLock() { UnlockPollThread(); }
    PollLock(const PollLock &) = delete;
    PollLock &operator=(const PollLock &) = delete;
};

// The live handles of one kind. An application keeps a handful of each, so
// a linear search is cheaper than anything cleverer; none of this runs in
// the mixing path.
template <typename T>
class LiveSet {
public:
    bool has(T h) const
    {
        for (T v : live_)
            if (v == h)
                return true;
        return false;
    }
    void add(T h) { live_.push_back(h); }
    // Removes one entry equal to h; false when there was none.
    bool remove(T h)
    {
        for (std::size_t i = 0; i < live_.size(); i++)
            if (live_[i] == h) {
                live_[i] = live_.back();
                // No stale copy stays behind in the spare capacity: the
                // leak checker would take it for a reference.
                live_.back() = T{};
                live_.pop_back();
                return true;
            }
        return false;
    }
    bool empty() const { return live_.empty(); }
    std::size_t size() const { return live_.size(); }
    T last() const { return live_.back(); }
    void clear()
    {
        for (T &v : live_)
            v = T{};
        live_.clear();
    }

private:
    std::vector<T> live_;
};

// The library is initialised: MIDASinit has brought up the device and the
// player, and MIDASclose has not taken them down yet.
bool ready();

// Makes a module built elsewhere (in memory, by a loader called directly)
// one of the application's: the module calls accept it, and MIDASfreeModule
// or MIDASclose frees it.
void adoptModule(ModuleRecord *module);

// The module is one the application loaded and has not freed.
bool liveModule(ModuleRecord *module);
// The play state of a song handle (1..16) that is playing now, or null.
PlayState *songPlayState(int handle);
// A song has started in handle's slot: its pass count starts again.
void songStarted(int handle);
// Called before every player tick, by whoever drives the ticks: counts the
// songs' passes. True when a song completed a pass at this tick.
bool beforeTick();

// Part of MIDASclose for the sample, stream, echo and post-processor calls:
// removes every echo effect, frees every sample the application loaded and
// forgets the sample plays and post-processors. The first error, or 0.
int closeEffects();
// The channels are closing: sample plays on them no longer resolve.
void forgetChannelPlays();

}  // namespace mapi
