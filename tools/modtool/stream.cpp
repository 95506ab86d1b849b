// Streams through the API's stream calls, with the status line and keys of
// module playback. The stream's writer fills silence after the end of a
// non-looping file, so the end is found from the file's length in frames and
// the time played.
#include "stream.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <thread>

#include "fileinfo.h"
#include "output.h"
#include "sound/api/midasdll.h"
#include "terminal.h"

namespace {

struct TypeName {
    const char *option, *text;
    int type;
    unsigned frameBytes;  // 0: ADPCM, length found by decoding
};
const TypeName types[] = {{"8bit-mono", "8-bit mono", MIDAS_SAMPLE_8BIT_MONO, 1},
                          {"16bit-mono", "16-bit mono", MIDAS_SAMPLE_16BIT_MONO, 2},
                          {"8bit-stereo", "8-bit stereo", MIDAS_SAMPLE_8BIT_STEREO, 2},
                          {"16bit-stereo", "16-bit stereo", MIDAS_SAMPLE_16BIT_STEREO, 4},
                          {"adpcm-mono", "ADPCM mono", MIDAS_SAMPLE_ADPCM_MONO, 0},
                          {"adpcm-stereo", "ADPCM stereo", MIDAS_SAMPLE_ADPCM_STEREO, 0}};

const TypeName *findType(int type)
{
    for (const TypeName &t : types)
        if (t.type == type)
            return &t;
    return nullptr;
}

std::string clockText(double s)
{
    char buf[32];
    int whole = int(s);
    std::snprintf(buf, sizeof buf, "%d:%02d", whole / 60, whole % 60);
    return buf;
}

// Case-insensitive: FILE.WAV is a WAVE name too.
bool endsWith(const std::string &s, const char *tail)
{
    size_t n = std::strlen(tail);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

// Stream buffer length. The output device's buffer (outputMs) sits between
// the mixer and the ear, so the last data sounds about that long after the
// file's own duration; playback ends a little after that.
const unsigned bufferMs = 500;
const unsigned outputMs = 200;

}  // namespace

bool parseStreamOptions(const std::string &file, int argc, char **argv, StreamOptions *options,
                        std::string *error)
{
    bool wave = looksLikeWave(file);
    options->sampleType = wave                       ? 0
                          : endsWith(file, ".adpcm") ? MIDAS_SAMPLE_ADPCM_STEREO
                                                     : MIDAS_SAMPLE_16BIT_STEREO;
    for (int i = 0; i < argc; i += 2) {
        std::string arg = argv[i];
        if (i + 1 >= argc || (arg != "--type" && arg != "--rate")) {
            *error = "unknown or incomplete option " + arg;
            return false;
        }
        if (wave) {
            *error = "a WAVE file takes its type and rate from its header";
            return false;
        }
        std::string value = argv[i + 1];
        if (arg == "--type") {
            const TypeName *found = nullptr;
            for (const TypeName &t : types)
                if (value == t.option)
                    found = &t;
            if (!found) {
                *error = "--type takes 8bit-mono, 16bit-mono, 8bit-stereo, 16bit-stereo,"
                         " adpcm-mono or adpcm-stereo";
                return false;
            }
            options->sampleType = found->type;
            options->typeGiven = true;
        } else {
            char *end = nullptr;
            unsigned long rate = std::strtoul(value.c_str(), &end, 10);
            if (end == value.c_str() || *end || rate < 4000 || rate > 192000) {
                *error = "--rate takes 4000 to 192000 (Hz)";
                return false;
            }
            options->rate = unsigned(rate);
        }
    }
    return true;
}

int playStream(const std::string &file, const StreamOptions &options)
{
    auto fail = [&](const std::string &message) {
        std::fprintf(stderr, "modtool: %s: %s\n", file.c_str(), message.c_str());
        return 1;
    };
    // Whatever is not a WAVE file plays as raw data, which any bytes are:
    // only on the user's word, never because a header failed to match.
    struct stat st;
    if (stat(file.c_str(), &st) != 0)
        return fail(
            MIDASgetErrorMessage(errno == ENOENT ? MIDAS_ERR_FILE_NOT_FOUND : MIDAS_ERR_FILE_OPEN));
    if (st.st_size == 0)
        return fail("the file is empty");
    if (options.sampleType != 0 && endsWith(file, ".wav"))
        return fail(MIDASgetErrorMessage(MIDAS_ERR_BAD_WAVE));
    if (options.sampleType != 0 && !options.typeGiven && !endsWith(file, ".raw") &&
        !endsWith(file, ".adpcm"))
        return fail("not a WAVE file; raw data needs --type TYPE or a .raw or .adpcm name");

    // The length in frames, and a clean error for a file that cannot play.
    int type = options.sampleType;
    unsigned rate = options.rate;
    uint64_t frames = 0;
    std::string error;
    if (type == 0) {
        WaveInfo w;
        if (!readWaveInfo(file, &w, &error))
            return fail(error);
        type = w.sampleType;
        rate = w.rate;
        frames = w.dataBytes / (w.channels * w.bits / 8);
    } else if (type == MIDAS_SAMPLE_ADPCM_MONO || type == MIDAS_SAMPLE_ADPCM_STEREO) {
        AdpcmInfo a;
        if (!decodeAdpcmFile(file, type == MIDAS_SAMPLE_ADPCM_MONO ? 1 : 2, &a, &error))
            return fail(error);
        frames = a.frames;
    } else {
        frames = uint64_t(st.st_size) / findType(type)->frameBytes;
    }
    const TypeName *typeName = findType(type);
    double total = double(frames) / rate;

    auto failWith = [&]() {
        std::string message = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASclose();
        return fail(message);
    };
    std::string refused;
    if (!checkRequestedOutput(&refused)) {
        std::fprintf(stderr, "modtool: %s\n", refused.c_str());
        return 1;
    }
    MIDASstartup();
    MIDASsetOption(MIDAS_OPTION_MIXBUFLEN, outputMs);
    if (!MIDASinit())
        return failWith();
    if (!MIDASopenChannels(1))
        return failWith();
    MIDASstartBackgroundPlay(0);
    MIDASstreamHandle stream = options.sampleType == 0
                                   ? MIDASplayStreamWaveFile(file.c_str(), bufferMs, 0)
                                   : MIDASplayStreamFile(file.c_str(), type, rate, bufferMs, 0);
    if (!stream) {
        std::string message = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASstopBackgroundPlay();
        MIDAScloseChannels();
        MIDASclose();
        return fail(message);
    }
    std::printf("%s (%s, %u Hz) on %s\n", file.c_str(), typeName ? typeName->text : "?", rate,
                outputDescription(MIDASgetDeviceName()).c_str());
    std::printf("keys: space pause, +/- volume, q quit\n");

    RawTerminal term;
    unsigned volume = 64;
    bool paused = false;
    double elapsed = 0;
    const double tail = (outputMs + 50) / 1000.0;
    auto last = std::chrono::steady_clock::now();
    std::printf("\033[?25l");  // hide the cursor while the line updates
    for (;;) {
        int key = term.readKey();
        if (key == 'q' || key == 'Q')
            break;
        if (key == ' ') {
            paused = !paused;
            if (paused)
                MIDASpauseStream(stream);
            else
                MIDASresumeStream(stream);
        } else if (key == '+' || key == '=') {
            volume = volume + 4 > 64 ? 64 : volume + 4;
            MIDASsetStreamVolume(stream, volume);
        } else if (key == '-') {
            volume = volume < 4 ? 0 : volume - 4;
            MIDASsetStreamVolume(stream, volume);
        }
        double shown = elapsed < total ? elapsed : total;
        std::printf("\rstream %s/%s  buffered %u  vol %u%s\033[K", clockText(shown).c_str(),
                    clockText(total).c_str(), MIDASgetStreamBytesBuffered(stream), volume,
                    paused ? " paused" : "");
        std::fflush(stdout);
        if (elapsed >= total + tail)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        auto now = std::chrono::steady_clock::now();
        if (!paused)
            elapsed += std::chrono::duration<double>(now - last).count();
        last = now;
    }
    std::printf("\033[?25h\n");
    MIDASstopStream(stream);
    MIDASstopBackgroundPlay();
    MIDAScloseChannels();
    MIDASclose();
    return 0;
}
