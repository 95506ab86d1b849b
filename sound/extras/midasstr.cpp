// Streams.
#include "sound/extras/midasstr.h"

#include <cstring>
#include <new>
#include <unistd.h>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"

strStream *streams[strMaxStreams];

static SoundDevice *SD = nullptr;

namespace {

// Frame size, silence byte, the type the mixer plays and the decoder
// channels of each stream type.
struct TypeInfo {
    unsigned frameSize;
    unsigned char fill;
    int playedType;
    unsigned adpcmChannels;  // 0: not ADPCM
};

int typeInfo(int sampleType, TypeInfo *info)
{
    switch (sampleType) {
    case smp8bitMono: *info = {1, 128, smp8bitMono, 0}; break;
    case smp16bitMono: *info = {2, 0, smp16bitMono, 0}; break;
    case smp8bitStereo: *info = {2, 128, smp8bitStereo, 0}; break;
    case smp16bitStereo: *info = {4, 0, smp16bitStereo, 0}; break;
    case smpAdpcmMono: *info = {2, 0, smp16bitMono, 1}; break;
    case smpAdpcmStereo: *info = {4, 0, smp16bitStereo, 2}; break;
    case smpUlawMono: *info = {1, 0xFF, smpUlawMono, 0}; break;
    case smpUlawStereo: *info = {2, 0xFF, smpUlawStereo, 0}; break;
    default: return errInvalidSampleType;
    }
    return errOK;
}

int takeEntry(strStream **out)
{
    for (unsigned i = 0; i < strMaxStreams; i++)
        if (streams[i] == nullptr) {
            void *mem;
            int error = memAlloc(sizeof(strStream), &mem);
            if (error)
                return error;
            streams[i] = new (mem) strStream{};
            *out = streams[i];
            return errOK;
        }
    return errOutOfResources;
}

void freeEntry(strStream *s)
{
    for (unsigned i = 0; i < strMaxStreams; i++)
        if (streams[i] == s)
            streams[i] = nullptr;
    s->~strStream();
    memFree(s);
}

void freeBuffers(strStream *s)
{
    if (s->readBuffer != nullptr)
        memFree(s->readBuffer);
    if (s->buffer != nullptr)
        memFree(s->buffer);
    if (s->adpcm != nullptr)
        mAdpcmFreeState(s->adpcm);
    s->readBuffer = s->buffer = nullptr;
    s->adpcm = nullptr;
}

// Type, frame size, silence and decoder; the playing buffer, filled with
// silence. File streams get one spare frame after the buffer.
int setUpBuffer(strStream *s, int sampleType, unsigned rate, unsigned bufferMs, int spareFrame,
                int *playedType)
{
    TypeInfo info;
    int error = typeInfo(sampleType, &info);
    if (error)
        return error;
    s->frameSize = info.frameSize;
    s->fillByte = info.fill;
    s->isAdpcm = info.adpcmChannels != 0;
    *playedType = info.playedType;
    // A 0 ms poll interval would make the writer spin.
    s->pollInterval = bufferMs / 8 ? bufferMs / 8 : 1;

    // Frames for bufferMs, a multiple of 4 (in 64 bits: rate x ms is
    // outside any 32-bit budget we could promise).
    uint64_t frames = ((static_cast<uint64_t>(rate) * bufferMs / 1000) + 3) & ~uint64_t{3};
    uint64_t bytes = frames * info.frameSize;
    if (frames == 0 || bytes + info.frameSize > (1u << 30))
        return errInvalidArguments;
    s->bufferFrames = static_cast<unsigned>(frames);
    s->bufferBytes = static_cast<unsigned>(bytes);

    if (s->isAdpcm && (error = mAdpcmInitState(info.adpcmChannels, 0, &s->adpcm)) != 0)
        return error;
    unsigned alloc = s->bufferBytes + (spareFrame ? s->frameSize : 0);
    void *mem;
    if ((error = memAlloc(static_cast<int>(alloc), &mem)) != 0) {
        freeBuffers(s);
        return error;
    }
    s->buffer = static_cast<unsigned char *>(mem);
    std::memset(s->buffer, s->fillByte, alloc);
    s->writePos.store(0, std::memory_order_relaxed);
    return errOK;
}

// Writes input at the write position, in at most two pieces (up to the
// buffer's end, then from its start), within free bytes; publishes the new
// write position. ADPCM input is decoded on the way.
int writeStreamData(strStream *s, unsigned freeBytes, const unsigned char *in, unsigned inBytes,
                    unsigned *inUsed, unsigned *outWritten)
{
    unsigned w = s->writePos.load(std::memory_order_relaxed);  // only writers store it
    unsigned used = 0, written = 0;
    int error = errOK;
    while (freeBytes > 0 && inBytes > 0) {
        unsigned n = s->bufferBytes - w;
        if (freeBytes < n)
            n = freeBytes;
        unsigned inN, outN;
        if (s->isAdpcm) {
            error = mAdpcmDecode(in, inBytes, reinterpret_cast<short *>(s->buffer + w), n, &inN,
                                 &outN, s->adpcm);
            if (error)
                break;
        } else {
            if (inBytes < n)
                n = inBytes;
            std::memcpy(s->buffer + w, in, n);
            inN = outN = n;
        }
        if (inN == 0 && outN == 0)
            break;
        in += inN;
        inBytes -= inN;
        used += inN;
        w += outN;
        if (w >= s->bufferBytes)
            w = 0;
        freeBytes -= outN;
        written += outN;
    }
    s->writePos.store(w, std::memory_order_release);
    int error2 = SD->SetStreamWritePosition(s->channel, w);
    *inUsed = used;
    *outWritten = written;
    return error ? error : error2;
}

// Fills freeBytes of silence at the write position and publishes it.
void fillSilence(strStream *s, unsigned freeBytes)
{
    unsigned w = s->writePos.load(std::memory_order_relaxed);
    while (freeBytes > 0) {
        unsigned n = s->bufferBytes - w;
        if (freeBytes < n)
            n = freeBytes;
        std::memset(s->buffer + w, s->fillByte, n);
        w += n;
        if (w >= s->bufferBytes)
            w = 0;
        freeBytes -= n;
    }
    s->writePos.store(w, std::memory_order_release);
    SD->SetStreamWritePosition(s->channel, w);
}

// One pass of the writer: fill the free space from the file (or silence).
void writerPass(strStream *s)
{
    unsigned freeBytes;
    if (strFreeSpace(s, &freeBytes) != errOK)
        return;
    freeBytes &= ~3u;
    // Input taken since the last output. ADPCM data with no good block in
    // it decodes to nothing: in a looping section the pass would read it
    // round and round, never returning to see a stop request. A whole trip
    // around the section without output ends it as silence.
    unsigned long idleBytes = 0;
    while (freeBytes > 0) {
        if (s->pendingBytes == 0 && s->bytesLeft > 0) {
            unsigned n = s->bytesLeft < s->readBufferBytes ? s->bytesLeft : s->readBufferBytes;
            // A failed read is not fatal: the stream goes on with what the
            // read buffer holds.
            fileRead(s->file, s->readBuffer, n);
            s->pending = s->readBuffer;
            s->pendingBytes = n;
            s->bytesLeft -= n;
            if (s->bytesLeft == 0 && s->loop) {
                s->bytesLeft = s->sectionLength;
                fileSeek(s->file, s->sectionStart, rfSeekAbsolute);
            }
        }
        if (s->pendingBytes > 0) {
            unsigned used, written;
            if (writeStreamData(s, freeBytes, s->pending, s->pendingBytes, &used, &written) !=
                    errOK ||
                (used == 0 && written == 0))
                return;
            s->pending += used;
            s->pendingBytes -= used;
            freeBytes -= written;
            idleBytes = written ? 0 : idleBytes + used;
            if (idleBytes > s->sectionLength) {
                fillSilence(s, freeBytes);
                return;
            }
        } else {
            // The section has ended and does not loop.
            fillSilence(s, freeBytes);
            return;
        }
    }
}

// The poll interval is an eighth of the buffer, seconds for a long one:
// sleeping it in short slices lets a stop (which joins this thread) return
// at once rather than after the rest of the interval.
void sleepPollInterval(strStream *s)
{
    unsigned left = s->pollInterval;
    while (left > 0 && !s->stopRequest.load(std::memory_order_acquire)) {
        unsigned slice = left < 10 ? left : 10;
        usleep(slice * 1000);
        left -= slice;
    }
}

void *StreamPlayerThread(void *arg)
{
    strStream *s = static_cast<strStream *>(arg);
    while (!s->stopRequest.load(std::memory_order_acquire)) {
        writerPass(s);
        sleepPollInterval(s);
    }
    s->stopRequest.store(0, std::memory_order_relaxed);
    return nullptr;
}

void closeFile(strStream *s)
{
    if (s->wave != nullptr)
        mWaveClose(s->wave);
    else if (s->file != nullptr)
        fileClose(s->file);
    s->wave = nullptr;
    s->file = nullptr;
}

}  // namespace

int strInit(SoundDevice *sd)
{
    SD = sd;
    for (strStream *&s : streams)
        s = nullptr;
    return errOK;
}

int strClose(void)
{
    int first = errOK;
    for (strStream *s : streams)
        if (s != nullptr) {
            int error = strStopStream(s);
            if (error && !first)
                first = error;
        }
    return first;
}

int strFreeSpace(strStream *s, unsigned *bytes)
{
    unsigned p;
    int error = SD->GetPosition(s->channel, &p);
    if (error)
        return error;
    unsigned w = s->writePos.load(std::memory_order_acquire);
    if (p >= s->bufferBytes)
        p = 0;  // defensive: the mixer wraps at the buffer's end
    if (p == w) {
        *bytes = s->bufferBytes - s->frameSize;
        return errOK;
    }
    unsigned ahead = p > w ? p - w : p + s->bufferBytes - w;
    *bytes = ahead > s->frameSize ? ahead - s->frameSize : 0;
    return errOK;
}

int strPlayStreamFileSection(strStream *s, unsigned channel, fileHandle file, long sectionStart,
                             unsigned sectionLength, int sampleType, unsigned rate,
                             unsigned bufferMs, int loop)
{
    int error = SD->StopSound(channel);
    if (error)
        return error;
    s->channel = channel;
    s->kind = strKindFile;
    s->stopRequest.store(0, std::memory_order_relaxed);
    int playedType;
    if ((error = setUpBuffer(s, sampleType, rate, bufferMs, 1, &playedType)) != 0)
        return error;
    s->readBufferBytes = s->isAdpcm ? s->bufferBytes / 4 : s->bufferBytes;
    void *mem;
    if ((error = memAlloc(static_cast<int>(s->readBufferBytes), &mem)) != 0) {
        freeBuffers(s);
        return error;
    }
    s->readBuffer = static_cast<unsigned char *>(mem);
    s->file = file;
    s->sectionStart = sectionStart;
    s->sectionLength = sectionLength;
    s->bytesLeft = sectionLength;
    s->loop = loop;
    s->pending = nullptr;
    s->pendingBytes = 0;

    if ((error = SD->StartStream(channel, s->buffer, s->bufferBytes, playedType, rate)) != 0 ||
        (error = SD->SetVolume(channel, 64)) != 0) {
        freeBuffers(s);
        return error;
    }
    if (pthread_create(&s->thread, nullptr, StreamPlayerThread, s) != 0) {
        SD->StopStream(channel);
        freeBuffers(s);
        return errOutOfResources;
    }
    return errOK;
}

int strPlayStreamFile(unsigned channel, const char *fileName, int sampleType, unsigned rate,
                      unsigned bufferMs, int loop, strHandle *stream)
{
    strStream *s;
    int error = takeEntry(&s);
    if (error)
        return error;
    fileHandle f;
    if ((error = fileOpen(fileName, rfOpenRead, &f)) != 0) {
        freeEntry(s);
        return error;
    }
    long size;
    if ((error = fileGetSize(f, &size)) == 0 && static_cast<unsigned long>(size) > 0xFFFFFFFFul)
        error = errInvalidArguments;  // the section length is 32-bit
    if (!error)
        error = strPlayStreamFileSection(s, channel, f, 0, static_cast<unsigned>(size), sampleType,
                                         rate, bufferMs, loop);
    if (error) {
        fileClose(f);
        freeEntry(s);
        return error;
    }
    *stream = s;
    return errOK;
}

int strPlayStreamWaveFile(unsigned channel, const char *fileName, unsigned bufferMs, int loop,
                          strHandle *stream)
{
    strStream *s;
    int error = takeEntry(&s);
    if (error)
        return error;
    mWaveHandle w;
    if ((error = mWaveOpen(fileName, &w)) != 0) {
        freeEntry(s);
        return error;
    }
    s->wave = w;
    error = strPlayStreamFileSection(s, channel, w->file, w->dataStart, w->dataLength,
                                     w->sampleType, w->sampleRate, bufferMs, loop);
    if (error) {
        mWaveClose(w);
        freeEntry(s);
        return error;
    }
    *stream = s;
    return errOK;
}

int strPlayStreamPolling(unsigned channel, int sampleType, unsigned rate, unsigned bufferMs,
                         strHandle *stream)
{
    int error = SD->StopSound(channel);
    if (error)
        return error;
    strStream *s;
    if ((error = takeEntry(&s)) != 0)
        return error;
    s->channel = channel;
    s->kind = strKindPolling;
    int playedType;
    if ((error = setUpBuffer(s, sampleType, rate, bufferMs, 0, &playedType)) != 0 ||
        (error = SD->StartStream(channel, s->buffer, s->bufferBytes, playedType, rate)) != 0 ||
        (error = SD->SetVolume(channel, 64)) != 0) {
        freeBuffers(s);
        freeEntry(s);
        return error;
    }
    *stream = s;
    return errOK;
}

int strFeedStreamData(strStream *s, const unsigned char *data, unsigned bytes, int wait,
                      unsigned *bytesUsed)
{
    unsigned total = 0;
    int error = errOK;
    for (;;) {
        unsigned freeBytes;
        if ((error = strFreeSpace(s, &freeBytes)) != 0)
            break;
        unsigned used, written;
        if ((error = writeStreamData(s, freeBytes & ~3u, data + total, bytes - total, &used,
                                     &written)) != 0)
            break;
        total += used;
        if (!wait || total >= bytes)
            break;
        usleep(s->pollInterval * 1000);
    }
    *bytesUsed = total;
    return error;
}

int strStopStream(strStream *s)
{
    if (s->kind == strKindFile) {
        s->stopRequest.store(1, std::memory_order_release);
        pthread_join(s->thread, nullptr);
    }
    int error = SD->StopStream(s->channel);
    if (error) {
        // The mixer may still play the buffer: it stays allocated.
        if (s->kind == strKindFile) {
            closeFile(s);
            memFree(s->readBuffer);
        }
        freeEntry(s);
        return error;
    }
    if (s->kind == strKindFile)
        closeFile(s);
    freeBuffers(s);
    freeEntry(s);
    return errOK;
}

int strSetStreamRate(strStream *s, unsigned rate) { return SD->SetRate(s->channel, rate); }

int strSetStreamVolume(strStream *s, unsigned volume) { return SD->SetVolume(s->channel, volume); }

int strSetStreamPanning(strStream *s, int panning) { return SD->SetPanning(s->channel, panning); }

int strGetStreamBytesBuffered(strStream *s, unsigned *bytes)
{
    unsigned freeBytes;
    int error = strFreeSpace(s, &freeBytes);
    if (error)
        return error;
    *bytes = s->bufferBytes - freeBytes;
    return errOK;
}

int strPauseStream(strStream *s, int pause) { return SD->PauseStream(s->channel, pause); }
