// The recording sound device.
#include "support/recdevice.h"

#include <cstdio>
#include <cstring>

namespace recdev {
namespace {

std::vector<std::string> g_log;
std::vector<Sample> g_samples;
bool g_logging = true;
std::string g_failName;
int g_failCode = 0;

int record(const char *name, const char *fmt = nullptr, long a = 0, long b = 0)
{
    if (g_logging) {
        char line[96];
        if (fmt == nullptr)
            std::snprintf(line, sizeof line, "%s", name);
        else {
            int n = std::snprintf(line, sizeof line, "%s ", name);
            std::snprintf(line + n, sizeof line - static_cast<size_t>(n), fmt, a, b);
        }
        g_log.emplace_back(line);
    }
    if (!g_failName.empty() && g_failName == name)
        return g_failCode;
    return 0;
}

int Detect(int *result) { *result = 1; return 0; }
int Init(unsigned rate, unsigned mode) { return record("Init", "%ld %ld", rate, mode); }
int Close() { return record("Close"); }
int GetMixRate(unsigned *rate) { *rate = 44100; return 0; }
int GetMode(unsigned *mode) { *mode = sdStereo | sd16bit; return 0; }
int OpenChannels(unsigned n) { return record("OpenChannels", "%ld", n); }
int CloseChannels() { return record("CloseChannels"); }
int ClearChannels() { return record("ClearChannels"); }
int Mute(int m) { return record("Mute", "%ld", m); }
int Pause(int p) { return record("Pause", "%ld", p); }
int SetMasterVolume(unsigned v) { return record("SetMasterVolume", "%ld", v); }
int GetMasterVolume(unsigned *v) { *v = 64; return 0; }
int SetAmplification(unsigned a) { return record("SetAmplification", "%ld", a); }
int GetAmplification(unsigned *a) { *a = 64; return 0; }
int PlaySound(unsigned ch, unsigned rate) { return record("PlaySound", "%ld %ld", ch, rate); }
int ReleaseSound(unsigned ch) { return record("ReleaseSound", "%ld", ch); }
int StopSound(unsigned ch) { return record("StopSound", "%ld", ch); }
int SetRate(unsigned ch, unsigned rate) { return record("SetRate", "%ld %ld", ch, rate); }
int GetRate(unsigned, unsigned *rate) { *rate = 0; return 0; }
int SetVolume(unsigned ch, unsigned v) { return record("SetVolume", "%ld %ld", ch, v); }
int GetVolume(unsigned, unsigned *v) { *v = 0; return 0; }
int SetSample(unsigned ch, unsigned h) { return record("SetSample", "%ld %ld", ch, h); }
int GetSample(unsigned, unsigned *h) { *h = 0; return 0; }
int SetPosition(unsigned ch, unsigned p) { return record("SetPosition", "%ld %ld", ch, p); }
int GetPosition(unsigned, unsigned *p) { *p = 0; return 0; }
int GetDirection(unsigned, int *d) { *d = 1; return 0; }
int SetPanning(unsigned ch, int p) { return record("SetPanning", "%ld %ld", ch, p); }
int GetPanning(unsigned, int *p) { *p = 0; return 0; }
int MuteChannel(unsigned ch, int m) { return record("MuteChannel", "%ld %ld", ch, m); }

int AddSample(SoundDeviceSample *s, int copySample, unsigned *handle)
{
    bool was = g_logging;
    g_logging = true;
    int error = record("AddSample", "%ld %ld", s->sampleType, static_cast<long>(s->length));
    g_logging = was;
    if (error)
        return error;
    Sample smp;
    smp.desc = *s;
    smp.removed = false;
    if (s->sample && s->location && s->length)
        smp.data.assign(static_cast<const uint8_t *>(s->sample),
                        static_cast<const uint8_t *>(s->sample) + s->length);
    (void)copySample;  // the copy above stands for the device's own copy
    g_samples.push_back(smp);
    *handle = static_cast<unsigned>(g_samples.size());
    return 0;
}

int RemoveSample(unsigned h)
{
    bool was = g_logging;
    g_logging = true;
    int error = record("RemoveSample", "%ld", h);
    g_logging = was;
    if (error)
        return error;
    if (h == 0 || h > g_samples.size() || g_samples[h - 1].removed)
        return 19;  // invalid sample handle
    g_samples[h - 1].removed = true;
    return 0;
}

int SetUpdRate(unsigned r) { return record("SetUpdRate", "%ld", r); }
int StartPlay() { return 0; }
int Play(int *callPlayer) { *callPlayer = 0; return 0; }
int StartStream(unsigned ch, void *, unsigned, int, unsigned) { return record("StartStream", "%ld", ch); }
int StopStream(unsigned ch) { return record("StopStream", "%ld", ch); }
int SetLoopCallback(unsigned ch, sdLoopCallback) { return record("SetLoopCallback", "%ld", ch); }
int SetStreamWritePosition(unsigned, unsigned) { return 0; }
int PauseStream(unsigned, int) { return 0; }

const char *const cardNames[] = {"Recorder"};

SoundDevice g_device = {
    0, 0, 0, 0, 0, 1, 1, 15, "Recording Sound Device", cardNames, 0, nullptr,
    Detect, Init, Close, GetMixRate, GetMode, OpenChannels, CloseChannels, ClearChannels,
    Mute, Pause, SetMasterVolume, GetMasterVolume, SetAmplification, GetAmplification,
    PlaySound, ReleaseSound, StopSound, SetRate, GetRate, SetVolume, GetVolume, SetSample,
    GetSample, SetPosition, GetPosition, GetDirection, SetPanning, GetPanning, MuteChannel,
    AddSample, RemoveSample, SetUpdRate, StartPlay, Play, StartStream, StopStream,
    SetLoopCallback, SetStreamWritePosition, PauseStream,
};

}  // namespace

SoundDevice *device() { return &g_device; }

void reset()
{
    g_log.clear();
    g_samples.clear();
    g_logging = true;
    g_failName.clear();
    g_failCode = 0;
}

const std::vector<std::string> &log() { return g_log; }

std::vector<std::string> takeLog()
{
    std::vector<std::string> out;
    out.swap(g_log);
    return out;
}

void mark(const std::string &line) { g_log.push_back(line); }
void setLogging(bool on) { g_logging = on; }
const std::vector<Sample> &samples() { return g_samples; }

void failOperation(const std::string &name, int code)
{
    g_failName = name;
    g_failCode = code;
}

}  // namespace recdev
