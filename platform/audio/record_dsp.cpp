// The record-mode sound device behind "/dev/dsp".
#include "platform/audio/record_dsp.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/audio/dsp.h"
#include "platform/record_clock.h"

namespace {

// Far above anything the process opens and apart from the ALSA stand-in's.
constexpr int recordFd = 0x3FFF0001;
std::atomic<bool> isOpen{false};
// A write can stop inside a frame only if the caller splits frames; the
// remainder waits here for the rest of its frame.
unsigned char partial[recording::kAudioFrameBytes];
size_t partialBytes = 0;

}  // namespace

bool recordDspWanted(const char *path)
{
    return recording::recordTarget() && std::strcmp(path, "/dev/dsp") == 0;
}

int recordDspOpen()
{
    if (isOpen.exchange(true)) {
        errno = EBUSY;
        return -1;
    }
    partialBytes = 0;
    recording::virtualClock().attachAudio();
    return recordFd;
}

bool recordDspIs(int fd) { return fd == recordFd && isOpen.load(); }

int recordDspClose(int fd)
{
    if (!recordDspIs(fd)) {
        errno = EBADF;
        return -1;
    }
    recording::virtualClock().detachAudio();
    isOpen.store(false);
    return 0;
}

int recordDspIoctl(int fd, unsigned long request, void *arg)
{
    if (!recordDspIs(fd)) {
        errno = EBADF;
        return -1;
    }
    int *value = static_cast<int *>(arg);
    switch (request) {
    case audioDspSetFmt:
        *value = audioDspFmtS16LE;
        return 0;
    case audioDspChannels:
        *value = 2;
        return 0;
    case audioDspSpeed:
        *value = int(recording::kAudioRate);
        return 0;
    case audioDspGetOSpace: {
        const unsigned frames = recording::virtualClock().grant();
        auto *info = static_cast<audioDspSpaceInfo *>(arg);
        constexpr int fragFrames = int(recording::kAudioPerFrame);
        info->bytes = int(frames * recording::kAudioFrameBytes);
        info->fragsize = fragFrames * int(recording::kAudioFrameBytes);
        info->fragstotal = int(recording::kGrantFrames) / fragFrames;
        info->fragments = int(frames) / fragFrames;
        return 0;
    }
    default:
        errno = EINVAL;
        return -1;
    }
}

ssize_t recordDspWrite(int fd, const void *buffer, size_t bytes)
{
    if (!recordDspIs(fd)) {
        errno = EBADF;
        return -1;
    }
    constexpr size_t fb = recording::kAudioFrameBytes;
    auto *p = static_cast<const unsigned char *>(buffer);
    size_t left = bytes;
    if (partialBytes > 0) {
        const size_t n = left < fb - partialBytes ? left : fb - partialBytes;
        std::memcpy(partial + partialBytes, p, n);
        partialBytes += n;
        p += n;
        left -= n;
        if (partialBytes < fb)
            return ssize_t(bytes);
        recording::virtualClock().write(partial, 1, fb);
        partialBytes = 0;
    }
    const size_t frames = left / fb;
    recording::virtualClock().write(p, frames, fb);
    partialBytes = left - frames * fb;
    std::memcpy(partial, p + frames * fb, partialBytes);
    // Sound after the end of the recording is taken and dropped, as a device
    // being closed drops its queue.
    return ssize_t(bytes);
}
