// globals: the variables the demo units share.
#pragma once

#include <atomic>
#include <cstdint>

// View-angle constants (radians, and their sines and cosines), written once
// by CreateTarget; the metaball effects clip against the planes they give.
extern float XpAng, YpAng;
extern float XpAngS, XpAngC, YpAngS, YpAngC;

// The last music-sync value, 0 until the music sends one. Written by the
// sound system's player thread (SyncCallback), read once a frame by the
// effects on the program thread. A relaxed atomic byte: the effects only
// compare it with small constants, so no ordering is needed, but the
// exchange must be free of data races.
extern std::atomic<uint8_t> SYNC;

inline uint8_t sync_value()
{
    return SYNC.load(std::memory_order_relaxed);
}

inline void set_sync_value(uint8_t v)
{
    SYNC.store(v, std::memory_order_relaxed);
}
