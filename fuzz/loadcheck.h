// Checks, for the loader fuzzers, that a module a loader accepted keeps the
// promises the player relies on; any broken one aborts so the fuzzer keeps
// the input. Also reads every byte of kept sample data, so that a short or
// stale buffer shows up under the sanitizers.
#pragma once

#include <cstdlib>

#include "sound/player/gmpmodule.h"

inline void checkPattern(const ModuleRecord *m, const PatternRecord *p)
{
    if (p == nullptr || p->rows < 1 || p->rows > 256 || p->length < 8 + p->rows)
        std::abort();
    const uint8_t *d = gmpPatternData(p), *end = reinterpret_cast<const uint8_t *>(p) + p->length;
    for (unsigned row = 0; row < p->rows; row++) {
        while (true) {
            if (d >= end)
                std::abort();
            uint8_t f = *d++;
            if (f == 0)
                break;
            if ((f & 0xE0) == 0)
                std::abort();
            if (f & gmpEntryNote) {
                if (end - d < 2)
                    std::abort();
                uint8_t note = d[0], inst = d[1];
                if (note < 253 && note > 0x9F)
                    std::abort();  // would index past the period tables
                // Only S3M note bytes keep a semitone nibble of 12..15 (the
                // player counts it on into the next octave); the other loaders
                // write semitones 0..11.
                if (note < 253 && (note & 0x0F) > 11 && m->playMode != gmpST3)
                    std::abort();
                if (inst != gmpInstNone && inst >= m->numInsts)
                    std::abort();
                d += 2;
            }
            if (f & gmpEntryVolume) {
                if (d >= end)
                    std::abort();
                d++;
            }
            if (f & gmpEntryCommand) {
                if (end - d < 2 || d[0] >= gmpNumCommands)
                    std::abort();
                d += 2;
            }
        }
    }
    if (d != end)
        std::abort();
}

inline void checkEnvelope(const EnvelopeRecord *e)
{
    if (e == nullptr)
        return;
    if (e->numPoints < 1 || e->numPoints > gmpEnvPoints)
        std::abort();
    const uint8_t idx[] = {e->susPoint, e->loopStart, e->loopEnd, e->susLoopStart, e->susLoopEnd};
    for (uint8_t i : idx)
        if (i != 255 && i >= e->numPoints)
            std::abort();
    if (e->points[0].pos != 0)
        std::abort();
    for (unsigned k = 1; k < e->numPoints; k++)
        if (e->points[k].pos < e->points[k - 1].pos)
            std::abort();
}

inline void checkModule(const ModuleRecord *m)
{
    if (m->numChans < 1 || m->numChans > gmpMaxChannels || m->songLength < 1 || m->numPatts < 1)
        std::abort();
    for (int i = 0; i < m->songLength; i++)
        if (m->orders[i] < 0xFFFE && m->orders[i] >= m->numPatts)
            std::abort();
    for (unsigned p = 0; p < m->numPatts; p++)
        checkPattern(m, m->patterns[p]);
    volatile unsigned sum = 0;
    for (unsigned i = 0; i < m->numSamples; i++) {
        const SampleRecord *s = m->samples[i];
        if (s == nullptr)
            continue;
        if (s->loopType != 0 && (s->loopStart >= s->loopEnd || s->loopEnd > s->sampleLength))
            std::abort();
        if (s->susLoopType != 0 && (s->susLoopStart >= s->susLoopEnd || s->susLoopEnd > s->sampleLength))
            std::abort();
        if (s->volume > 64 || (s->sampleType != 0 && s->baseTune == 0 && m->playMode != 1))
            std::abort();
        const uint8_t *d = static_cast<const uint8_t *>(s->sample);
        for (uint32_t j = 0; d && j < s->sampleLength; j++)
            sum = sum + d[j];
    }
    for (unsigned i = 0; i < m->numInsts; i++) {
        const InstrumentRecord *in = m->instruments[i];
        if (in == nullptr)
            continue;
        for (unsigned k = 0; k < in->numSamples; k++)
            if (in->sampleList[k] == nullptr)
                std::abort();
        if (in->noteSamples && m->playMode == 4)
            for (unsigned n = 0; n < 120; n++)
                if (in->noteSamples[2 * n] >= 120 ||
                    (in->noteSamples[2 * n + 1] != 255 && in->noteSamples[2 * n + 1] >= in->numSamples))
                    std::abort();
        checkEnvelope(in->volEnvelope);
        checkEnvelope(in->panEnvelope);
        checkEnvelope(in->pitchEnvelope);
    }
}
