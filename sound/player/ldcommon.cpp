// Shared helpers of the MOD, S3M and IT loaders.
#include "sound/player/ldcommon.h"

#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/player/gmplayer.h"

void ldCopyName(char *dest, const uint8_t *src, unsigned n)
{
    unsigned i = 0;
    for (; i < n && src[i] != 0; i++)
        dest[i] = static_cast<char>(src[i]);
    dest[i] = 0;
}

int ldAddSample(SampleRecord *smp, void *data, SoundDeviceSample *sd, int addSD,
                gmpSampleCallback sampleCallback)
{
    if (data == nullptr || smp->sampleLength == 0) {
        if (data != nullptr)
            memFree(data);
        data = nullptr;
        smp->sampleType = smpNone;
        smp->sampleLength = 0;
        sd->sample = nullptr;
        sd->location = 0;
        sd->sampleType = smpNone;
        sd->length = 0;
    } else {
        sd->sample = data;
        sd->location = 1;
        sd->sampleType = smp->sampleType;
        sd->length = smp->sampleLength;
    }
    sd->loopMode = smp->loopMode;

    if (!addSD) {
        smp->sample = data;
        return errOK;
    }
    int error = errOK;
    unsigned handle = 0;
    if (gmpSD == nullptr)
        error = errInvalidDevice;
    else
        error = gmpSD->AddSample(sd, 1, &handle);
    if (error == errOK) {
        smp->sdHandle = handle;
        // The callback may look at the data, so it runs before the block goes.
        if (sampleCallback != nullptr)
            error = sampleCallback(sd, smp);
    }
    sd->sample = nullptr;
    if (data != nullptr) {
        int freeError = memFree(data);
        if (error == errOK)
            error = freeError;
    }
    return error;
}

int ldReadAt(fileHandle file, long fileSize, long offset, void *buffer, unsigned long bytes,
             unsigned long *got)
{
    *got = 0;
    if (offset < 0 || offset >= fileSize)
        return errOK;
    unsigned long avail = static_cast<unsigned long>(fileSize - offset);
    if (bytes > avail)
        bytes = avail;
    if (bytes == 0)
        return errOK;
    int error = fileSeek(file, offset, rfSeekAbsolute);
    if (error)
        return error;
    if ((error = fileRead(file, buffer, bytes)) != 0)
        return error;
    *got = bytes;
    return errOK;
}

int ldOneSampleInstrument(ModuleRecord *m, unsigned i, int used, const uint8_t *name,
                          unsigned nameBytes, SampleRecord **smp)
{
    *smp = nullptr;
    InstrumentRecord *inst;
    int error = gmpAllocInstrument(used ? 1 : 0, &inst);
    if (error != errOK)
        return error;
    m->instruments[i] = inst;
    ldCopyName(inst->name, name, nameBytes);
    inst->used = static_cast<uint32_t>(used);
    if (!used)
        return errOK;
    SampleRecord *record;
    if ((error = memAlloc(sizeof(SampleRecord), reinterpret_cast<void **>(&record))) != errOK)
        return error;
    std::memset(record, 0, sizeof *record);
    m->samples[i] = record;
    inst->sampleList[0] = record;
    *smp = record;
    return errOK;
}
