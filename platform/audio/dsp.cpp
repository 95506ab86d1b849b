// "/dev/dsp" and, where it is missing, its ALSA stand-in.
#include "platform/audio/dsp.h"
#include "platform/audio/pacer.h"
#include "platform/audio/record_dsp.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

#ifdef Q5_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace {

// What the last open reached, for audioDspOutputName.
std::string outputName;

[[maybe_unused]] uint64_t nowUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000 + uint64_t(ts.tv_nsec) / 1000;
}

const char *requestedAlsaDevice()
{
    const char *name = std::getenv("Q5_ALSA_DEVICE");
    return name && *name ? name : nullptr;
}

// Descriptor handed out for the ALSA stream: far above anything the process
// will open, and never passed to the system.
constexpr int alsaFd = 0x3FFF0000;

// ALSA buffer: 100 ms at any rate keeps latency low while a poll every 20 ms
// (plus scheduling jitter) stays well ahead of the hardware.
constexpr unsigned alsaBufferUs = 100000;

#ifdef Q5_HAVE_ALSA
struct AlsaStream {
    snd_pcm_t *pcm = nullptr;
    int format = audioDspFmtU8;  // OSS defaults until the requests say otherwise
    int channels = 1;
    int rate = 8000;
    snd_pcm_uframes_t bufferFrames = 0;
    bool configured = false;
    std::unique_ptr<OutputPacer> pacer;  // set up with each configuration
};
AlsaStream alsa;

void quietAlsa(const char *, int, const char *, int, const char *, ...) {}

int frameBytes() { return (alsa.format == audioDspFmtS16LE ? 2 : 1) * alsa.channels; }

// Applies the current format, channel count and rate; the OSS requests come
// one at a time, so the stream is set up again after each of them. The rate
// the hardware accepts is written back.
bool configure()
{
    snd_pcm_hw_params_t *hw;
    snd_pcm_hw_params_alloca(&hw);
    if (alsa.configured)
        snd_pcm_hw_free(alsa.pcm);
    alsa.configured = false;
    if (snd_pcm_hw_params_any(alsa.pcm, hw) < 0)
        return false;
    if (snd_pcm_hw_params_set_access(alsa.pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0)
        return false;
    snd_pcm_format_t fmt = alsa.format == audioDspFmtS16LE ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
    if (snd_pcm_hw_params_set_format(alsa.pcm, hw, fmt) < 0)
        return false;
    if (snd_pcm_hw_params_set_channels(alsa.pcm, hw, unsigned(alsa.channels)) < 0)
        return false;
    unsigned rate = unsigned(alsa.rate);
    if (snd_pcm_hw_params_set_rate_near(alsa.pcm, hw, &rate, nullptr) < 0)
        return false;
    unsigned bufferUs = alsaBufferUs;
    snd_pcm_hw_params_set_buffer_time_near(alsa.pcm, hw, &bufferUs, nullptr);
    if (snd_pcm_hw_params(alsa.pcm, hw) < 0)
        return false;
    snd_pcm_hw_params_get_buffer_size(hw, &alsa.bufferFrames);
    alsa.rate = int(rate);
    alsa.pacer = std::make_unique<OutputPacer>(rate, alsa.bufferFrames);

    // Start once half the buffer is queued, so the first poll's write does
    // not run dry at once.
    snd_pcm_sw_params_t *sw;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_sw_params_current(alsa.pcm, sw);
    snd_pcm_sw_params_set_start_threshold(alsa.pcm, sw, alsa.bufferFrames / 2);
    snd_pcm_sw_params(alsa.pcm, sw);
    alsa.configured = true;
    return true;
}

int alsaOpen()
{
    if (alsa.pcm) {
        errno = EBUSY;
        return -1;
    }
    snd_lib_error_set_handler(quietAlsa);
    const char *name = requestedAlsaDevice();
    if (!name)
        name = "default";
    if (snd_pcm_open(&alsa.pcm, name, SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        alsa.pcm = nullptr;
        errno = ENODEV;
        return -1;
    }
    alsa.format = audioDspFmtU8;
    alsa.channels = 1;
    alsa.rate = 8000;
    alsa.configured = false;
    if (!configure()) {
        snd_pcm_close(alsa.pcm);
        alsa.pcm = nullptr;
        errno = ENODEV;
        return -1;
    }
    outputName = std::string("ALSA device \"") + name + "\"";
    return alsaFd;
}

int alsaIoctl(unsigned long request, void *arg)
{
    int *value = static_cast<int *>(arg);
    switch (request) {
    case audioDspSetFmt:
        // Anything but the two formats the sound system uses becomes 16-bit,
        // as a driver answers with the format it picked instead.
        alsa.format = *value == audioDspFmtU8 ? audioDspFmtU8 : audioDspFmtS16LE;
        if (!configure())
            break;
        *value = alsa.format;
        return 0;
    case audioDspChannels:
        alsa.channels = *value == 1 ? 1 : 2;
        if (!configure())
            break;
        *value = alsa.channels;
        return 0;
    case audioDspSpeed:
        if (*value <= 0)
            break;
        alsa.rate = *value;
        if (!configure())
            break;
        *value = alsa.rate;
        return 0;
    case audioDspGetOSpace: {
        snd_pcm_sframes_t avail = snd_pcm_avail_update(alsa.pcm);
        if (avail < 0) {
            // An underrun: start again with an empty buffer.
            if (snd_pcm_recover(alsa.pcm, int(avail), 1) < 0)
                break;
            avail = snd_pcm_avail_update(alsa.pcm);
            if (avail < 0)
                break;
        }
        if (snd_pcm_uframes_t(avail) > alsa.bufferFrames)
            avail = snd_pcm_sframes_t(alsa.bufferFrames);
        avail = snd_pcm_sframes_t(alsa.pacer->room(nowUs(), uint64_t(avail)));
        auto *info = static_cast<audioDspSpaceInfo *>(arg);
        int fb = frameBytes();
        int period = 1024;
        info->bytes = int(avail) * fb;
        info->fragsize = period * fb;
        info->fragstotal = int(alsa.bufferFrames / period);
        info->fragments = int(avail / period);
        return 0;
    }
    default:
        errno = EINVAL;
        return -1;
    }
    errno = EIO;
    return -1;
}

ssize_t alsaWrite(const void *buffer, size_t bytes)
{
    int fb = frameBytes();
    auto *p = static_cast<const unsigned char *>(buffer);
    snd_pcm_uframes_t frames = bytes / size_t(fb);
    snd_pcm_uframes_t done = 0;
    while (done < frames) {
        snd_pcm_sframes_t n = snd_pcm_writei(alsa.pcm, p + done * size_t(fb), frames - done);
        if (n < 0) {
            if (snd_pcm_recover(alsa.pcm, int(n), 1) < 0)
                break;
            continue;
        }
        done += snd_pcm_uframes_t(n);
    }
    alsa.pacer->wrote(nowUs(), done);
    return ssize_t(done * size_t(fb));
}

int alsaClose()
{
    // Let what was queued play out, as closing "/dev/dsp" does.
    snd_pcm_drain(alsa.pcm);
    snd_pcm_close(alsa.pcm);
    alsa.pcm = nullptr;
    alsa.configured = false;
    alsa.pacer.reset();
    return 0;
}

bool alsaCanOpen(const char *name, std::string *why)
{
    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t *pcm;
    int error = snd_pcm_open(&pcm, name, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        *why = snd_strerror(error);
        return false;
    }
    snd_pcm_close(pcm);
    return true;
}
#else
int alsaOpen()
{
    errno = ENODEV;
    return -1;
}
int alsaIoctl(unsigned long, void *)
{
    errno = EBADF;
    return -1;
}
ssize_t alsaWrite(const void *, size_t)
{
    errno = EBADF;
    return -1;
}
int alsaClose() { return 0; }
bool alsaCanOpen(const char *, std::string *why)
{
    *why = "this build has no ALSA support";
    return false;
}
#endif

}  // namespace

int audioDspOpen(const char *path, int flags, int mode)
{
    if (recordDspWanted(path))
        return recordDspOpen();
    int fd = ::open(path, flags, mode);
    if (fd >= 0 && std::strcmp(path, "/dev/dsp") == 0)
        outputName = "OSS \"/dev/dsp\"";
    if (fd >= 0 || std::strcmp(path, "/dev/dsp") != 0)
        return fd;
    int savedErrno = errno;
    fd = alsaOpen();
    if (fd < 0)
        errno = savedErrno;  // report why "/dev/dsp" failed, not ALSA
    return fd;
}

bool audioDspIsAlsa(int fd) { return fd == alsaFd; }

int audioDspClose(int fd)
{
    if (recordDspIs(fd))
        return recordDspClose(fd);
    return fd == alsaFd ? alsaClose() : ::close(fd);
}

int audioDspIoctl(int fd, unsigned long request, void *arg)
{
    if (recordDspIs(fd))
        return recordDspIoctl(fd, request, arg);
    return fd == alsaFd ? alsaIoctl(request, arg) : ::ioctl(fd, request, arg);
}

ssize_t audioDspWrite(int fd, const void *buffer, size_t bytes)
{
    if (recordDspIs(fd))
        return recordDspWrite(fd, buffer, bytes);
    return fd == alsaFd ? alsaWrite(buffer, bytes) : ::write(fd, buffer, bytes);
}

std::string audioDspOutputName() { return outputName; }

bool audioDspCheckRequested(std::string *error)
{
    const char *name = requestedAlsaDevice();
    if (!name || access("/dev/dsp", W_OK) == 0)
        return true;
    std::string why;
    if (alsaCanOpen(name, &why))
        return true;
    *error = std::string("Q5_ALSA_DEVICE=") + name + ": the ALSA device cannot be opened (" + why +
             ")";
    return false;
}
