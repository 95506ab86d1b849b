// modtool: information about a module, offline rendering to WAVE, its
// music-sync events, and real-time playback.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "args.h"
#include "fileinfo.h"
#include "modinfo.h"
#include "outfile.h"
#include "play.h"
#include "renderpass.h"
#include "songpass.h"
#include "sound/api/midasdll.h"
#include "stream.h"
#include "wavout.h"

namespace {

const char *const usage =
    "usage: modtool COMMAND [OPTION...] FILE...\n"
    "\n"
    "commands:\n"
    "  info FILE      what a module (or a WAVE file, or raw ADPCM) holds\n"
    "  render FILE    the song to a WAVE file (-o OUT.wav, or -o - for standard output)\n"
    "  sync FILE      the song's sync marks: milliseconds, position, row, value\n"
    "  play FILE...   plays modules one after another (n/p next/previous, ? keys)\n"
    "  stream FILE    plays a WAVE, raw PCM or raw ADPCM file\n"
    "  help COMMAND   the options of a command\n"
    "\n"
    "Options may come before or after the file; -- ends them.\n"
    "  -h, --help     this text        -V, --version  the sound library's version\n";

struct CommandHelp {
    const char *name, *text;
};
const CommandHelp commandHelp[] = {
    {"help", "usage: modtool help COMMAND\n"},
    {"info", "usage: modtool info FILE [--samples] [--json]\n"
             "       modtool info FILE --adpcm mono|stereo\n"
             "  --samples      the instrument and sample names as well\n"
             "  --json         the same as one JSON object\n"
             "  --adpcm L      FILE is a raw ADPCM block stream of layout L\n"},
    {"render", "usage: modtool render FILE -o OUT.wav [OPTION...]\n"
               "  -o, --output OUT   the WAVE file to write; - for standard output\n"
               "  --rate HZ          8000 to 192000 (default 44100)\n"
               "  --mode M           integer, float or interpolate (default: the mixer's choice)\n"
               "  --format F         s16 (default) or f32 (32-bit float, peaks above 1.0 kept)\n"
               "  --channels N       2 (default) or 1\n"
               "  --loops N          times through the song, 1 to 1000 (default 1)\n"
               "  --start POS        begin at order position POS\n"
               "  --end POS          stop where position POS would start\n"},
    {"sync", "usage: modtool sync FILE\n"
             "  one line per sync mark: milliseconds, position, row, value\n"},
    {"play", "usage: modtool play FILE... [--loop] [--echo room|hall|long]\n"
             "  --loop         play each song again and again (key l toggles)\n"
             "  --echo NAME    an echo: room, hall or long\n"
             "keys: space pause, left/right position, +/- volume, l loop, n/p next/previous file,\n"
             "      ? keys, q quit\n"},
    {"stream",
     "usage: modtool stream FILE [--type TYPE] [--rate HZ]\n"
     "  FILE is a WAVE file, or raw data when --type is given or it ends in .raw or .adpcm\n"
     "  --type TYPE    8bit-mono, 16bit-mono, 8bit-stereo, 16bit-stereo (default),\n"
     "                 adpcm-mono or adpcm-stereo (default for .adpcm)\n"
     "  --rate HZ      rate of raw data (default 44100)\n"},
};

const char *helpFor(const std::string &command)
{
    for (const CommandHelp &h : commandHelp)
        if (command == h.name)
            return h.text;
    return usage;
}

// A usage error: one line saying what is wrong and one saying where help is.
int usageError(const std::string &what, const std::string &command = "")
{
    std::fprintf(stderr, "modtool: %s\nTry 'modtool %s' for more information.\n", what.c_str(),
                 command.empty() ? "--help" : ("help " + command).c_str());
    return 2;
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

int cmdInfo(const std::string &file, bool names, bool json)
{
    PassOptions options;
    options.silent = true;
    PassResult r;
    std::string error;
    ModuleContents c;
    if (!runSongPass(file, options, &r, &error) || !readModuleContents(file, r.format, &c, &error))
        return fileError(file, error);
    // MOD and S3M, and IT without instruments, play samples directly: they
    // have no instruments, whatever the loader keeps for them.
    const unsigned instruments = c.usesInstruments ? r.instruments : 0;
    unsigned withData = 0;
    for (const SampleEntry &e : c.samples)
        withData += e.length > 0;
    const std::string duration = seconds(r.frames, r.rate);
    // Names are padded with spaces in their fixed-size fields.
    while (!r.songName.empty() && r.songName.back() == ' ')
        r.songName.pop_back();
    if (json) {
        std::printf("{\"format\": %s, \"formatVersion\": %s, \"tracker\": %s, \"songName\": %s, "
                    "\"channels\": %u, \"patterns\": %u, \"instruments\": %u, \"samples\": %u, "
                    "\"samplesWithData\": %u, \"songLength\": %u, \"duration\": %s, "
                    "\"stoppedAtLimit\": %s, \"message\": %s",
                    jsonString(r.format).c_str(), jsonString(c.formatVersion).c_str(),
                    jsonString(c.tracker).c_str(), jsonString(r.songName).c_str(), r.channels,
                    r.patterns, instruments, r.samples, withData, r.songLength, duration.c_str(),
                    r.hitLimit ? "true" : "false", jsonString(c.message).c_str());
        if (names) {
            std::printf(",\n \"instrumentNames\": [");
            for (size_t i = 0; i < c.instruments.size(); i++)
                std::printf("%s%s", i ? ", " : "", jsonString(c.instruments[i]).c_str());
            std::printf("],\n \"sampleList\": [");
            for (size_t i = 0; i < c.samples.size(); i++)
                std::printf("%s{\"name\": %s, \"frames\": %u, \"looped\": %s}", i ? ",\n  " : "",
                            jsonString(c.samples[i].name).c_str(), c.samples[i].length,
                            c.samples[i].looped ? "true" : "false");
            std::printf("]");
        }
        std::printf("}\n");
        return 0;
    }
    std::printf("format: %s\n", r.format.c_str());
    if (!c.formatVersion.empty())
        std::printf("format version: %s\n", c.formatVersion.c_str());
    if (!c.tracker.empty())
        std::printf("tracker: %s\n", c.tracker.c_str());
    std::printf("song name: %s\n", r.songName.c_str());
    std::printf("channels: %u\n", r.channels);
    std::printf("patterns: %u\n", r.patterns);
    if (c.usesInstruments)
        std::printf("instruments: %u\n", instruments);
    else
        std::printf("instruments: none (samples only)\n");
    if (withData == r.samples)
        std::printf("samples: %u\n", r.samples);
    else
        std::printf("samples: %u (%u with data)\n", r.samples, withData);
    std::printf("song length: %u\n", r.songLength);
    std::printf("duration: %s s%s\n", duration.c_str(),
                r.hitLimit ? " (stopped at the limit)" : "");
    if (!c.message.empty()) {
        std::printf("message:\n");
        size_t from = 0;
        while (from <= c.message.size()) {
            size_t nl = c.message.find('\n', from);
            if (nl == std::string::npos)
                nl = c.message.size();
            std::printf("  %s\n", c.message.substr(from, nl - from).c_str());
            from = nl + 1;
        }
    }
    if (names) {
        for (size_t i = 0; i < c.instruments.size(); i++)
            std::printf("instrument %zu: %s\n", i + 1, c.instruments[i].c_str());
        for (size_t i = 0; i < c.samples.size(); i++)
            std::printf("sample %zu: %s (%u frames%s)\n", i + 1, c.samples[i].name.c_str(),
                        c.samples[i].length, c.samples[i].looped ? ", looped" : "");
    }
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
        return usageError("--adpcm takes mono or stereo", "info");
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
    if (r.syncEvents.empty())
        std::fprintf(stderr, "modtool: %s: no sync marks\n", file.c_str());
    return 0;
}

// "12.3/95.0 s (13%)" on standard error, redrawn in place at most five
// times a second, from one second into the render on.
class Progress {
public:
    explicit Progress(double totalSeconds) : total_(totalSeconds) {}
    ~Progress() { clear(); }
    // Takes the line away again.
    void clear()
    {
        if (shown_)
            std::fprintf(stderr, "\r\033[K");
        shown_ = false;
    }
    void update(double seconds)
    {
        auto now = std::chrono::steady_clock::now();
        if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        shown_ = true;
        if (total_ > 0)
            std::fprintf(stderr, "\rrendering %.1f/%.1f s (%d%%)\033[K", seconds, total_,
                         int(seconds * 100 / total_));
        else
            std::fprintf(stderr, "\rrendering %.1f s\033[K", seconds);
        std::fflush(stderr);
    }

private:
    double total_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), last_;
};

int cmdRender(const std::string &file, const Args &args)
{
    PassOptions options;
    std::string out = args.value("--output");
    if (out.empty())
        return usageError("render needs -o OUT.wav (or -o - for standard output)", "render");
    if (args.has("--rate") &&
        !parseUnsigned(args.value("--rate").c_str(), 8000, 192000, &options.rate))
        return usageError("--rate takes 8000 to 192000 (Hz)", "render");
    if (args.has("--mode")) {
        std::string mode = args.value("--mode");
        if (mode == "integer")
            options.mixing = MIDAS_RENDER_INTEGER;
        else if (mode == "float")
            options.mixing = MIDAS_RENDER_FLOAT;
        else if (mode == "interpolate")
            options.mixing = MIDAS_RENDER_INTERPOLATE;
        else
            return usageError("--mode takes integer, float or interpolate", "render");
    }
    if (args.has("--loops") &&
        !parseUnsigned(args.value("--loops").c_str(), 1, 1000, &options.loops))
        return usageError("--loops takes 1 to 1000", "render");
    SampleFormat format = SampleFormat::s16;
    std::string formatName = args.value("--format", "s16");
    if (formatName == "f32")
        format = SampleFormat::f32;
    else if (formatName != "s16")
        return usageError("--format takes s16 or f32", "render");
    unsigned channels = 2;
    if (args.has("--channels") && !parseUnsigned(args.value("--channels").c_str(), 1, 2, &channels))
        return usageError("--channels takes 1 or 2", "render");
    unsigned startPos = 0, endPos = 0;
    if (args.has("--start") && !parseUnsigned(args.value("--start").c_str(), 0, 65535, &startPos))
        return usageError("--start takes an order position (from 0)", "render");
    if (args.has("--end") && !parseUnsigned(args.value("--end").c_str(), 0, 65535, &endPos))
        return usageError("--end takes an order position (from 0)", "render");
    Range range;
    if (args.has("--start"))
        range.start = int(startPos);
    if (args.has("--end"))
        range.end = int(endPos);
    RenderSink *floatSink = nullptr;  // set once the output is open
    auto pass = [&](const PassOptions &o, PassResult *r, std::string *e) {
        return runRenderPass(file, o, range, o.sink ? floatSink : nullptr, r, e);
    };

    const bool toStdout = out == "-";
    if (toStdout && isatty(STDOUT_FILENO))
        return usageError("-o - writes WAVE data; send standard output to a file or a pipe",
                          "render");
    std::string error;
    // The progress line needs the length first: a silent pass costs little.
    double total = 0;
    const bool showProgress = isatty(STDERR_FILENO);
    if (showProgress) {
        PassOptions silent = options;
        silent.silent = true;
        PassResult r;
        if (pass(silent, &r, &error))
            total = double(r.frames) / r.rate;
    }

    // The old output is replaced only by a complete render (output's
    // destructor removes an unfinished one).
    OutputFile output;
    if (!toStdout && !output.create(out, file, &error))
        return fileError(out, error);
    RenderSink wav(options.rate, channels, format);
    if (!wav.open(toStdout ? out : output.path()))
        return fileError(out, std::strerror(errno));
    if (wav.wantsFloat())
        floatSink = &wav;
    Progress progress(total);
    if (showProgress)
        wav.progress = [&](uint64_t frames) { progress.update(double(frames) / options.rate); };
    options.sink = &wav;
    PassResult r;
    std::clock_t start = std::clock();
    bool ok = pass(options, &r, &error);
    double cpu = double(std::clock() - start) / CLOCKS_PER_SEC;
    progress.clear();
    bool written = wav.finish();
    if (!ok)
        return fileError(file, error);
    if (!written)
        return fileError(toStdout ? "standard output" : out, "Unable to write file");
    if (!toStdout && !output.commit(&error))
        return fileError(out, error);
    double rendered = double(r.frames) / r.rate;
    double factor = cpu > 0 ? rendered / cpu : 0;
    // With the sound on standard output, the report goes to standard error.
    std::fprintf(toStdout ? stderr : stdout, "rendered %.3f s in %.3f s (%.1fx realtime)%s\n",
                 rendered, cpu, factor, r.hitLimit ? " (stopped at the limit)" : "");
    return 0;
}

int cmdStream(const std::string &file, const Args &args)
{
    // The stream's own parser takes its options as words.
    std::vector<std::string> words;
    for (const auto &o : args.options)
        words.insert(words.end(), {o.first, o.second});
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(&w[0]);
    StreamOptions options;
    std::string error;
    if (!parseStreamOptions(file, int(argv.size()), argv.data(), &options, &error))
        return usageError(error, "stream");
    return playStream(file, options);
}

}  // namespace

int main(int argc, char **argv)
{
    Args args;
    std::string error;
    if (!parseArgs(argc, argv, &args, &error))
        return usageError(error, args.command == "help" ? "" : args.command);
    if (args.has("--version") && args.command.empty()) {
        std::printf("modtool %s\n", MIDASgetVersionString());
        return 0;
    }
    if (args.help) {
        std::string topic =
            args.command == "help" ? (args.files.empty() ? "" : args.files[0]) : args.command;
        if (!topic.empty() && !isCommand(topic))
            return usageError("unknown command " + topic);
        std::fputs(topic.empty() ? usage : helpFor(topic), stdout);
        return 0;
    }
    const std::string &command = args.command;
    if (args.files.empty())
        return usageError(command + " needs a file", command);
    if (command != "play" && args.files.size() > 1)
        return usageError(command + " takes one file", command);

    for (const std::string &file : args.files) {
        std::string message;
        if (!checkReadable(file, &message))
            return fileError(file, message);
    }
    const std::string &file = args.files[0];
    if (command == "info") {
        const bool moduleOnly = args.has("--json") || args.has("--samples");
        if (moduleOnly && (args.has("--adpcm") || looksLikeWave(file)))
            return usageError("--json and --samples are for modules", "info");
        if (args.has("--adpcm"))
            return cmdAdpcmInfo(file, args.value("--adpcm"));
        return looksLikeWave(file) ? cmdWaveInfo(file)
                                   : cmdInfo(file, args.has("--samples"), args.has("--json"));
    }
    if (command == "sync")
        return cmdSync(file);
    if (command == "render")
        return cmdRender(file, args);
    if (command == "stream")
        return cmdStream(file, args);
    std::string echo = args.value("--echo");
    if (args.has("--echo") && !isEchoPreset(echo))
        return usageError("unknown echo preset " + echo + " (room, hall or long)", "play");
    return playModules(args.files, echo, args.has("--loop"));
}
