// Allocation and release of the in-memory module.
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"

int gmpAllocModule(ModuleRecord **module)
{
    ModuleRecord *m;
    int error = memAlloc(sizeof(ModuleRecord), reinterpret_cast<void **>(&m));
    if (error)
        return error;
    std::memset(m, 0, sizeof *m);
    std::memset(m->chanVolume, 64, sizeof m->chanVolume);
    *module = m;
    return errOK;
}

unsigned gmpBackgroundChannels(unsigned numChans)
{
    if (numChans >= gmpMaxChannels)
        return 0;
    unsigned room = gmpMaxChannels - numChans;
    return numChans < room ? numChans : room;
}

int gmpAllocInstrument(unsigned numSamples, InstrumentRecord **inst)
{
    if (numSamples > 0x10000)
        return errInvalidInst;
    int size = static_cast<int>(sizeof(InstrumentRecord) + numSamples * sizeof(SampleRecord *));
    InstrumentRecord *i;
    int error = memAlloc(size, reinterpret_cast<void **>(&i));
    if (error)
        return error;
    std::memset(i, 0, static_cast<size_t>(size));
    i->numSamples = numSamples;
    // The sample pointers live in the same block, right after the record.
    i->sampleList = reinterpret_cast<SampleRecord **>(i + 1);
    i->defaultPan = -1;
    *inst = i;
    return errOK;
}

int gmpAllocEmptyPattern(unsigned rows, PatternRecord **pattern)
{
    if (rows < 1 || rows > 256)
        return errInvalidModule;
    PatternRecord *p;
    int error = memAlloc(static_cast<int>(8 + rows), reinterpret_cast<void **>(&p));
    if (error)
        return error;
    p->length = 8 + rows;
    p->rows = rows;
    std::memset(gmpPatternData(p), 0, rows);
    *pattern = p;
    return errOK;
}

int gmpFreeModule(ModuleRecord *module)
{
    int error;
    if (module == nullptr)
        return errOK;
    if (module->panning && (error = memFree(module->panning)) != errOK)
        return error;
    module->panning = nullptr;
    if (module->orders && (error = memFree(module->orders)) != errOK)
        return error;
    module->orders = nullptr;

    if (module->instruments) {
        for (unsigned i = 0; i < module->numInsts; i++) {
            InstrumentRecord *inst = module->instruments[i];
            if (inst == nullptr)
                continue;
            if (inst->noteSamples && (error = memFree(inst->noteSamples)) != errOK)
                return error;
            if (inst->volEnvelope && (error = memFree(inst->volEnvelope)) != errOK)
                return error;
            if (inst->panEnvelope && (error = memFree(inst->panEnvelope)) != errOK)
                return error;
            if (inst->pitchEnvelope && (error = memFree(inst->pitchEnvelope)) != errOK)
                return error;
            if ((error = memFree(inst)) != errOK)
                return error;
            module->instruments[i] = nullptr;
        }
        if ((error = memFree(module->instruments)) != errOK)
            return error;
        module->instruments = nullptr;
    }

    if (module->samples) {
        for (unsigned i = 0; i < module->numSamples; i++) {
            SampleRecord *smp = module->samples[i];
            if (smp == nullptr)
                continue;
            if (smp->sdHandle != 0) {
                // The device must drop its copy before the record goes.
                if (gmpSD == nullptr)
                    return errInvalidDevice;
                if ((error = gmpSD->RemoveSample(smp->sdHandle)) != errOK)
                    return error;
                smp->sdHandle = 0;
            }
            if (smp->sample && (error = memFree(smp->sample)) != errOK)
                return error;
            if ((error = memFree(smp)) != errOK)
                return error;
            module->samples[i] = nullptr;
        }
        if ((error = memFree(module->samples)) != errOK)
            return error;
        module->samples = nullptr;
    }

    if (module->patterns) {
        for (unsigned i = 0; i < module->numPatts; i++) {
            if (module->patterns[i] && (error = memFree(module->patterns[i])) != errOK)
                return error;
            module->patterns[i] = nullptr;
        }
        if ((error = memFree(module->patterns)) != errOK)
            return error;
        module->patterns = nullptr;
    }
    return memFree(module);
}
