// RIFF WAVE reader.
#include "sound/extras/waveread.h"

#include <cstdint>
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/mixer/sdevice.h"

static unsigned le16(const unsigned char *p) { return p[0] | (static_cast<unsigned>(p[1]) << 8); }

static unsigned le32(const unsigned char *p)
{
    return p[0] | (static_cast<unsigned>(p[1]) << 8) | (static_cast<unsigned>(p[2]) << 16) |
           (static_cast<unsigned>(p[3]) << 24);
}

int mWaveFindChunk(fileHandle file, const char id[4], unsigned *length)
{
    for (;;) {
        unsigned char header[8];
        int error = fileRead(file, header, 8);
        if (error)
            return error;
        unsigned len = le32(header + 4);
        if (std::memcmp(header, id, 4) == 0) {
            *length = len;
            return errOK;
        }
        // long is 64-bit here, so every 32-bit length is a positive offset.
        error = fileSeek(file, static_cast<long>(len), rfSeekRelative);
        if (error)
            return error;
    }
}

// Reads the header and the format; leaves the file at the data.
static int readWave(mWaveFile *w)
{
    fileHandle f = w->file;
    unsigned char buf[16];
    int error = fileRead(f, buf, 8);
    if (error)
        return error;
    if (std::memcmp(buf, "RIFF", 4) != 0)
        return errBadWave;
    if ((error = fileRead(f, buf, 4)) != 0)
        return error;
    if (std::memcmp(buf, "WAVE", 4) != 0)
        return errBadWave;

    unsigned fmtLength;
    if ((error = mWaveFindChunk(f, "fmt ", &fmtLength)) != 0)
        return error;
    if (fmtLength < 14)
        return errBadWave;
    if ((error = fileRead(f, buf, 14)) != 0)
        return error;
    unsigned formatTag = le16(buf);
    unsigned channels = le16(buf + 2);
    unsigned rate = le32(buf + 4);
    if (formatTag != 1)
        return errUnsupportedSampleFormat;
    // The bits per sample field is missing from a 14- or 15-byte chunk.
    if (fmtLength < 16)
        return errBadWave;
    if ((error = fileRead(f, buf, 2)) != 0)
        return error;
    unsigned bits = le16(buf);
    if (fmtLength > 16 &&
        (error = fileSeek(f, static_cast<long>(fmtLength - 16), rfSeekRelative)) != 0)
        return error;

    unsigned dataLength;
    if ((error = mWaveFindChunk(f, "data", &dataLength)) != 0)
        return error;
    long pos, size;
    if ((error = fileGetPosition(f, &pos)) != 0)
        return error;
    if ((error = fileGetSize(f, &size)) != 0)
        return error;
    // A data chunk that claims more than the file holds (a cut-off file)
    // gives the data that is there.
    if (size < pos)
        size = pos;
    if (static_cast<unsigned long>(dataLength) > static_cast<unsigned long>(size - pos))
        dataLength = static_cast<unsigned>(size - pos);

    if (channels == 1 && bits == 8)
        w->sampleType = smp8bitMono;
    else if (channels == 2 && bits == 8)
        w->sampleType = smp8bitStereo;
    else if (channels == 1 && bits == 16)
        w->sampleType = smp16bitMono;
    else if (channels == 2 && bits == 16)
        w->sampleType = smp16bitStereo;
    else
        return errUnsupportedSampleFormat;
    // Nothing can play at 0 Hz; a stream's buffer would have no frames.
    if (rate == 0)
        return errBadWave;

    w->sampleRate = rate;
    w->dataLength = dataLength;
    w->dataLeft = dataLength;
    w->dataStart = pos;
    return errOK;
}

int mWaveOpenFile(fileHandle file, mWaveHandle *handle)
{
    mWaveFile *w;
    int error = memAlloc(sizeof(mWaveFile), reinterpret_cast<void **>(&w));
    if (error) {
        fileClose(file);
        return error;
    }
    std::memset(w, 0, sizeof(*w));
    w->file = file;
    if ((error = readWave(w)) != 0) {
        fileClose(file);
        memFree(w);
        return error;
    }
    *handle = w;
    return errOK;
}

int mWaveOpen(const char *fileName, mWaveHandle *handle)
{
    fileHandle f;
    int error = fileOpen(fileName, rfOpenRead, &f);
    if (error)
        return error;
    return mWaveOpenFile(f, handle);
}

int mWaveClose(mWaveHandle handle)
{
    int error = fileClose(handle->file);
    int error2 = memFree(handle);
    return error ? error : error2;
}
