// Loading test modules from memory, with the module freed at scope exit.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/player/gmpmodule.h"

typedef int (*LoadMemoryFn)(const void *, size_t, int, gmpSampleCallback, ModuleRecord **);

struct Loaded {
    ModuleRecord *m = nullptr;
    int error = -1;
    Loaded(LoadMemoryFn load, const std::vector<uint8_t> &bytes, int addSD = 0,
           gmpSampleCallback cb = nullptr)
    {
        error = load(bytes.data(), bytes.size(), addSD, cb, &m);
    }
    ~Loaded() { gmpFreeModule(m); }
    Loaded(const Loaded &) = delete;
    Loaded &operator=(const Loaded &) = delete;
    ModuleRecord *operator->() const { return m; }
};

// The kept data of sample i as bytes.
inline std::vector<uint8_t> sampleBytes(const ModuleRecord *m, unsigned i)
{
    const SampleRecord *s = m->samples[i];
    const uint8_t *d = static_cast<const uint8_t *>(s->sample);
    return d ? std::vector<uint8_t>(d, d + s->sampleLength) : std::vector<uint8_t>();
}
