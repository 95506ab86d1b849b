// modtool: information about a module, offline rendering to WAVE, its
// music-sync events, and real-time playback.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>

#include "fileinfo.h"
#include "outfile.h"
#include "play.h"
#include "songpass.h"
#include "stream.h"
#include "sound/api/midasdll.h"

namespace {

const char *const usage =
    "usage: modtool info FILE            (a module or a RIFF WAVE file)\n"
    "       modtool info FILE --adpcm mono|stereo   (a raw ADPCM block stream)\n"
    "       modtool render FILE -o OUT.wav [--rate HZ] [--mode integer|float|interpolate]"
    " [--loops N]\n"
    "       modtool sync FILE\n"
    "       modtool play FILE [--echo room|hall|long]\n"
    "       modtool stream FILE.wav\n"
    "       modtool stream FILE [--type TYPE] [--rate HZ]   (raw data; TYPE is 8bit-mono,\n"
    "           16bit-mono, 8bit-stereo, 16bit-stereo (default), adpcm-mono or adpcm-stereo\n"
    "           (default for .adpcm); HZ defaults to 44100)\n";

int usageError(const char *what)
{
    std::fprintf(stderr, "modtool: %s\n%s", what, usage);
    return 1;
}

int fileError(const std::string &file, const std::string &message)
{
    std::fprintf(stderr, "modtool: %s: %s\n", file.c_str(), message.c_str());
    return 1;
}

// A directory opens like a file here and only fails on reading; refuse it
// up front with the message of a file that cannot be opened.
bool checkReadable(const std::string &file, std::string *message)
{
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *message = MIDASgetErrorMessage(MIDAS_ERR_FILE_OPEN);
        return false;
    }
    return true;
}

bool parseUnsigned(const char *text, unsigned min, unsigned max, unsigned *value)
{
    char *end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 10);
    if (errno || end == text || *end || v < min || v > max)
        return false;
    *value = unsigned(v);
    return true;
}

std::string seconds(uint64_t frames, unsigned rate)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", double(frames) / rate);
    return buf;
}

int cmdInfo(const std::string &file)
{
    PassOptions options;
    options.silent = true;
    PassResult r;
    std::string error;
    if (!runSongPass(file, options, &r, &error))
        return fileError(file, error);
    std::printf("format: %s\n", r.format.c_str());
    std::printf("song name: %s\n", r.songName.c_str());
    std::printf("channels: %u\n", r.channels);
    std::printf("patterns: %u\n", r.patterns);
    std::printf("instruments: %u\n", r.instruments);
    std::printf("samples: %u\n", r.samples);
    std::printf("song length: %u\n", r.songLength);
    std::printf("duration: %s s%s\n", seconds(r.frames, r.rate).c_str(),
                r.hitLimit ? " (stopped at the limit)" : "");
    return 0;
}

const char *sampleTypeName(int type)
{
    switch (type) {
    case MIDAS_SAMPLE_8BIT_MONO: return "8-bit mono";
    case MIDAS_SAMPLE_16BIT_MONO: return "16-bit mono";
    case MIDAS_SAMPLE_8BIT_STEREO: return "8-bit stereo";
    case MIDAS_SAMPLE_16BIT_STEREO: return "16-bit stereo";
    default: return "unknown";
    }
}

int cmdWaveInfo(const std::string &file)
{
    WaveInfo w;
    std::string error;
    if (!readWaveInfo(file, &w, &error))
        return fileError(file, error);
    unsigned frameBytes = w.channels * w.bits / 8;
    std::printf("format: WAVE\n");
    std::printf("sample type: %s\n", sampleTypeName(w.sampleType));
    std::printf("rate: %u Hz\n", w.rate);
    std::printf("channels: %u\n", w.channels);
    std::printf("data bytes: %u\n", w.dataBytes);
    std::printf("duration: %s s\n", seconds(w.dataBytes / frameBytes, w.rate).c_str());
    return 0;
}

int cmdAdpcmInfo(const std::string &file, const std::string &layout)
{
    unsigned channels = layout == "mono" ? 1 : layout == "stereo" ? 2 : 0;
    if (!channels)
        return usageError("--adpcm takes mono or stereo");
    AdpcmInfo a;
    std::string error;
    if (!decodeAdpcmFile(file, channels, &a, &error))
        return fileError(file, error);
    std::printf("format: ADPCM %s\n", layout.c_str());
    std::printf("input bytes: %llu\n", (unsigned long long)a.inputBytes);
    std::printf("decoded frames: %llu\n", (unsigned long long)a.frames);
    std::printf("valid blocks: %llu\n", (unsigned long long)a.blocks);
    std::printf("bytes skipped: %llu\n", (unsigned long long)a.skippedBytes);
    std::printf("bytes missing at end: %llu\n", (unsigned long long)a.missingBytes);
    return 0;
}

int cmdSync(const std::string &file)
{
    PassOptions options;
    options.silent = true;
    options.deviceTicks = true;  // when the show, on the OSS device, reaches each mark
    PassResult r;
    std::string error;
    if (!runSongPass(file, options, &r, &error))
        return fileError(file, error);
    for (const SyncEvent &e : r.syncEvents)
        std::printf("%llu %u %u %u\n", (unsigned long long)(e.frame * 1000 / r.rate), e.position,
                    e.row, e.value);
    return 0;
}

int cmdRender(const std::string &file, int argc, char **argv)
{
    std::string out;
    PassOptions options;
    for (int i = 0; i < argc; i++) {
        std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "-o" && value) {
            out = value;
        } else if (arg == "--rate" && value) {
            if (!parseUnsigned(value, 8000, 192000, &options.rate))
                return usageError("--rate takes 8000 to 192000 (Hz)");
        } else if (arg == "--mode" && value) {
            std::string mode = value;
            if (mode == "integer")
                options.mixing = MIDAS_RENDER_INTEGER;
            else if (mode == "float")
                options.mixing = MIDAS_RENDER_FLOAT;
            else if (mode == "interpolate")
                options.mixing = MIDAS_RENDER_INTERPOLATE;
            else
                return usageError("--mode takes integer, float or interpolate");
        } else if (arg == "--loops" && value) {
            if (!parseUnsigned(value, 1, 1000, &options.loops))
                return usageError("--loops takes 1 to 1000");
        } else {
            return usageError(("unknown or incomplete option " + arg).c_str());
        }
        i++;
    }
    if (out.empty())
        return usageError("render needs -o OUT.wav");

    // The old output is replaced only by a complete render (output's
    // destructor removes an unfinished one).
    OutputFile output;
    std::string error;
    if (!output.create(out, file, &error))
        return fileError(out, error);
    WavWriter wav;
    if (!wav.open(output.path(), options.rate, 2, 16))
        return fileError(out, std::strerror(errno));
    options.sink = &wav;
    PassResult r;
    std::clock_t start = std::clock();
    bool ok = runSongPass(file, options, &r, &error);
    double cpu = double(std::clock() - start) / CLOCKS_PER_SEC;
    bool written = wav.finish();
    if (!ok)
        return fileError(file, error);
    if (!written)
        return fileError(out, "Unable to write file");
    if (!output.commit(&error))
        return fileError(out, error);
    double rendered = double(r.frames) / r.rate;
    double factor = cpu > 0 ? rendered / cpu : 0;
    std::printf("rendered %.3f s in %.3f s (%.1fx realtime)%s\n", rendered, cpu, factor,
                r.hitLimit ? " (stopped at the limit)" : "");
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usageError("a command and a file are needed");
    std::string command = argv[1];
    std::string file = argv[2];
    if (command != "info" && command != "render" && command != "sync" && command != "play" &&
        command != "stream")
        return usageError(("unknown command " + command).c_str());
    std::string message;
    if (!checkReadable(file, &message))
        return fileError(file, message);
    if (command == "info") {
        if (argc == 5 && std::string(argv[3]) == "--adpcm")
            return cmdAdpcmInfo(file, argv[4]);
        if (argc != 3)
            return usageError("info takes a file and at most --adpcm mono|stereo");
        return looksLikeWave(file) ? cmdWaveInfo(file) : cmdInfo(file);
    }
    if (command == "sync")
        return argc == 3 ? cmdSync(file) : usageError("sync takes only a file");
    if (command == "render")
        return cmdRender(file, argc - 3, argv + 3);
    if (command == "stream") {
        StreamOptions options;
        std::string error;
        if (!parseStreamOptions(file, argc - 3, argv + 3, &options, &error))
            return usageError(error.c_str());
        return playStream(file, options);
    }
    if (argc == 5 && std::string(argv[3]) == "--echo") {
        if (!isEchoPreset(argv[4]))
            return usageError(("unknown echo preset " + std::string(argv[4]) +
                               " (room, hall or long)").c_str());
        return playModule(file, argv[4]);
    }
    return argc == 3 ? playModule(file) : usageError("play takes a file and at most --echo NAME");
}
