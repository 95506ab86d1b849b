// libFuzzer target for the public API: the input is a program of API calls
// with their arguments, run on the silent device (its clock turned by the
// program), the way a careless application might call them: bad, stale and
// wild handles, channels out of range, odd numbers and options, frees and
// stops in any order, close and start again.
//
// Besides "no crash, no leak, no sanitizer report", it keeps its own account
// of which modules, songs and streams are alive and checks after every call
// that the library agrees: live handles answer, dead ones fail with the
// right code, a failing call always leaves an error code from the table.
//
// Build (clang):
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQ5_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_api
//   build-fuzz/bin/fuzz_api fuzz/corpus/fuzz_api
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "sound/api/errors.h"
#include "sound/api/midasdll.h"
#include "sound/mixer/dsmnsnd.h"

namespace {

// ---- Files the program can load ---------------------------------------------

std::string modPath[2], rawPath, wavePath;

void put16be(std::vector<uint8_t> &b, size_t at, unsigned v)
{
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

// A one-pattern MOD (4 or 6 channels) with one short sample, notes on the
// first rows and a sync command (E8x is the music-sync command).
std::vector<uint8_t> modBytes(unsigned chans, const char *tag)
{
    std::vector<uint8_t> b(1084 + 64 * chans * 4 + 64, 0);
    std::memcpy(b.data(), "fuzzapi", 7);
    put16be(b, 20 + 22, 32);  // words
    b[20 + 25] = 64;
    put16be(b, 20 + 26, 4);   // loop start
    put16be(b, 20 + 28, 8);   // loop length
    b[950] = 2;               // song length: the pattern twice
    std::memcpy(b.data() + 1080, tag, 4);
    for (unsigned row = 0; row < 64; row += 4)
        for (unsigned c = 0; c < chans; c++) {
            uint8_t *cell = b.data() + 1084 + (row * chans + c) * 4;
            cell[0] = 0x01;
            cell[1] = uint8_t(0xAC + row);
            cell[2] = 0x10;
            if (c == 0 && row % 16 == 0) {
                cell[2] = 0x1E;  // sample 1, command E
                cell[3] = uint8_t(0x80 | (row / 16));
            }
        }
    for (unsigned i = 0; i < 64; i++)
        b[1084 + 64 * chans * 4 + i] = uint8_t(i * 37);
    return b;
}

std::vector<uint8_t> waveBytes()
{
    std::vector<uint8_t> b(44 + 200, 0);
    auto le32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    std::memcpy(b.data(), "RIFF", 4);
    le32(4, uint32_t(b.size() - 8));
    std::memcpy(b.data() + 8, "WAVEfmt ", 8);
    le32(16, 16);
    b[20] = 1;        // PCM
    b[22] = 1;        // mono
    le32(24, 11025);
    le32(28, 22050);
    b[32] = 2;
    b[34] = 16;
    std::memcpy(b.data() + 36, "data", 4);
    le32(40, 200);
    for (size_t i = 44; i < b.size(); i++)
        b[i] = uint8_t(i * 11);
    return b;
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void writeFiles()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    std::string base = dir + "/q5_fuzz_api_" + std::to_string(getpid());
    modPath[0] = base + "_4.mod";
    modPath[1] = base + "_6.mod";
    rawPath = base + ".raw";
    wavePath = base + ".wav";
    std::vector<uint8_t> raw(300);
    for (size_t i = 0; i < raw.size(); i++)
        raw[i] = uint8_t(i * 13);
    if (!writeFile(modPath[0], modBytes(4, "M.K.")) || !writeFile(modPath[1], modBytes(6, "6CHN")) ||
        !writeFile(rawPath, raw) || !writeFile(wavePath, waveBytes())) {
        std::fprintf(stderr, "fuzz_api: cannot write its files in %s\n", dir.c_str());
        std::abort();
    }
}

// ---- The program's input --------------------------------------------------------

struct Input {
    const uint8_t *p;
    size_t n;
    bool empty() const { return n == 0; }
    uint8_t u8()
    {
        if (!n)
            return 0;
        n--;
        return *p++;
    }
    unsigned u16() { return unsigned(u8()) | unsigned(u8()) << 8; }
    uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }
    // Mostly small numbers, sometimes anything.
    uint32_t num()
    {
        uint8_t b = u8();
        if (b < 0xF0)
            return b;
        if (b < 0xF8)
            return u16();
        return u32();
    }
};

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }
void onSync(unsigned, unsigned, unsigned) {}
int onPost(void *, unsigned, void *) { return 0; }

[[noreturn]] void broken(const char *what, int line)
{
    std::fprintf(stderr, "fuzz_api: invariant broken at line %d: %s (last error %d)\n", line,
                 what, MIDASgetLastError());
    std::abort();
}
#define REQUIRE(cond)                    \
    do {                                 \
        if (!(cond))                     \
            broken(#cond, __LINE__);     \
    } while (0)

// Every handle the program was ever given (stale ones stay, to be used
// again), and which of them the library should still hold alive.
struct Model {
    std::vector<MIDASmodule> modules, liveModules;
    struct Song {
        int handle;
        MIDASmodule module;
    };
    std::vector<Song> songs;  // live ones
    std::vector<MIDASstreamHandle> streams, liveStreams;
    std::vector<MIDASsample> samples;
    std::vector<MIDASsamplePlayHandle> plays;
    std::vector<MIDASechoHandle> echoes;
    MIDASpostProcessor post[3];
    bool initialised = false;

    template <typename T>
    static bool has(const std::vector<T> &v, T x)
    {
        for (const T &e : v)
            if (e == x)
                return true;
        return false;
    }
    template <typename T>
    static void drop(std::vector<T> &v, T x)
    {
        for (size_t i = 0; i < v.size(); i++)
            if (v[i] == x) {
                v.erase(v.begin() + long(i));
                return;
            }
    }
    void dropSongsOf(MIDASmodule m)
    {
        for (size_t i = 0; i < songs.size();)
            if (songs[i].module == m)
                songs.erase(songs.begin() + long(i));
            else
                i++;
    }
    bool songLive(int h) const
    {
        for (const Song &s : songs)
            if (s.handle == h)
                return true;
        return false;
    }
    void closed()
    {
        liveModules.clear();
        songs.clear();
        liveStreams.clear();
        initialised = false;
    }
};

// A handle of a kind: one given out before (live or stale), 0, or any value.
template <typename T>
T pick(Input &in, const std::vector<T> &seen, T wild)
{
    uint8_t b = in.u8();
    if (b < 0xE0 && !seen.empty())
        return seen[b % seen.size()];
    if (b < 0xF0)
        return T{};
    return wild;
}

MIDASmodule wildModule(Input &in) { return reinterpret_cast<MIDASmodule>(uintptr_t(in.u32()) | 1); }
MIDASstreamHandle wildStream(Input &in)
{
    return reinterpret_cast<MIDASstreamHandle>(uintptr_t(in.u32()) | 1);
}

// The result of a call that can fail: failure leaves a code from the table.
void checkFailure(bool failed)
{
    if (failed)
        REQUIRE(MIDASgetLastError() > 0 && MIDASgetLastError() < errNumCodes);
}

void checkModel(const Model &m)
{
    for (MIDASmodule mod : m.liveModules) {
        ModuleInfo info;
        REQUIRE(MIDASgetModuleInfo(mod, &info) == 1);
        REQUIRE(info.songName[31] == 0);
    }
    for (MIDASmodule mod : m.modules)
        if (!Model::has(m.liveModules, mod)) {
            ModuleInfo info;
            REQUIRE(MIDASgetModuleInfo(mod, &info) == 0);
            REQUIRE(MIDASgetLastError() == errInvalidArguments);
        }
    for (int h = -1; h <= 18; h++) {
        PlayStatus status;
        int r = MIDASgetPlayStatus(h, &status);
        if (m.songLive(h)) {
            REQUIRE(r == 1);
        } else {
            REQUIRE(r == 0);
            REQUIRE(MIDASgetLastError() == errNoModulePlaying);
        }
    }
    for (MIDASstreamHandle s : m.streams)
        if (!Model::has(m.liveStreams, s)) {
            REQUIRE(MIDASsetStreamVolume(s, 10) == 0);
            REQUIRE(MIDASgetLastError() == errInvalidArguments);
        } else {
            REQUIRE(MIDASsetStreamVolume(s, 64) == 1);
        }
}

void up(Model &m)
{
    REQUIRE(MIDASstartup() == 1);
    MIDASsetOption(MIDAS_OPTION_FORCE_NO_SOUND, 1);
    // Options can make the device refuse to start; MIDASclose undoes the rest.
    m.initialised = MIDASinit() == 1;
    checkFailure(!m.initialised);
}

void step(Input &in, Model &m)
{
    uint8_t op = in.u8() % 32;
    switch (op) {
    case 0: {
        MIDASmodule mod = MIDASloadModule(modPath[in.u8() & 1].c_str());
        checkFailure(mod == nullptr);
        REQUIRE((mod != nullptr) == m.initialised);
        if (mod) {
            m.dropSongsOf(mod);  // a reused address is a new module
            if (!Model::has(m.modules, mod))
                m.modules.push_back(mod);
            m.liveModules.push_back(mod);
        }
        break;
    }
    case 1: {
        MIDASmodule mod = pick(in, m.modules, wildModule(in));
        int r = MIDASfreeModule(mod);
        if (mod == nullptr) {
            REQUIRE(r == 1);
        } else if (Model::has(m.liveModules, mod)) {
            REQUIRE(r == 1);
            Model::drop(m.liveModules, mod);
            m.dropSongsOf(mod);
        } else {
            REQUIRE(r == 0 && MIDASgetLastError() == errInvalidArguments);
        }
        break;
    }
    case 2: {
        MIDASmodule mod = pick(in, m.modules, wildModule(in));
        int start = int8_t(in.u8()), end = int8_t(in.u8()), restart = int8_t(in.u8());
        int h = (in.u8() & 1) ? MIDASplayModule(mod, in.u8() & 1)
                              : MIDASplayModuleSection(mod, start, end, restart, in.u8() & 1);
        checkFailure(h == 0);
        if (!Model::has(m.liveModules, mod))
            REQUIRE(h == 0 && MIDASgetLastError() == errInvalidArguments);
        if (h) {
            REQUIRE(h >= 1 && h <= 16 && !m.songLive(h));
            m.songs.push_back({h, mod});
        }
        break;
    }
    case 3: {
        int h = int(in.u8()) - 2;
        int r = MIDASstopModule(h);
        if (h == 0)
            REQUIRE(r == 1);
        else if (m.songLive(h))
            REQUIRE(r == 1);
        else
            REQUIRE(r == 0 && MIDASgetLastError() == errNoModulePlaying);
        if (r)
            for (size_t i = 0; i < m.songs.size(); i++)
                if (m.songs[i].handle == h) {
                    m.songs.erase(m.songs.begin() + long(i));
                    break;
                }
        break;
    }
    case 4: {
        int h = int(in.u8() % 20) - 1;
        uint32_t a = in.num(), b = in.num();
        int r;
        switch (in.u8() % 4) {
        case 0: r = MIDASsetPosition(h, int(a)); break;
        case 1: r = MIDASsetMusicVolume(h, a); break;
        case 2: r = MIDASfadeMusicChannel(h, a, b); break;
        default: r = MIDASsetMusicSyncCallback(h, (a & 1) ? onSync : nullptr); break;
        }
        checkFailure(r == 0);
        if (!m.songLive(h))
            REQUIRE(r == 0 && MIDASgetLastError() == errNoModulePlaying);
        break;
    }
    case 5: {
        MIDASmodule mod = pick(in, m.modules, wildModule(in));
        InstrumentInfo inst;
        int r = MIDASgetInstrumentInfo(mod, int(int16_t(in.u16())), (in.u8() & 7) ? &inst : nullptr);
        checkFailure(r == 0);
        if (r)
            REQUIRE(inst.instName[31] == 0);
        break;
    }
    case 6:
        checkFailure(MIDASopenChannels(int(in.num())) == 0);
        break;
    case 7:
        checkFailure(MIDAScloseChannels() == 0);
        break;
    case 8: {
        unsigned ch = MIDASallocateChannel();
        checkFailure(ch == 0xFFFF);
        break;
    }
    case 9:
        checkFailure(MIDASfreeChannel(in.num()) == 0);
        break;
    case 10:
        if (in.u8() & 1)
            checkFailure(MIDASallocAutoEffectChannels(in.num()) == 0);
        else
            checkFailure(MIDASfreeAutoEffectChannels() == 0);
        break;
    case 11: {
        MIDASsample s = (in.u8() & 1) ? MIDASloadWaveSample(wavePath.c_str(), in.u8() & 1)
                                      : MIDASloadRawSample(rawPath.c_str(), int(in.u8() % 10),
                                                           in.u8() & 1);
        checkFailure(s == 0);
        if (s && !Model::has(m.samples, s))
            m.samples.push_back(s);
        break;
    }
    case 12:
        checkFailure(MIDASfreeSample(pick(in, m.samples, in.u32())) == 0);
        break;
    case 13: {
        MIDASsample s = pick(in, m.samples, in.u32());
        unsigned ch = (in.u8() & 1) ? 0xFFFF : in.num();
        MIDASsamplePlayHandle p =
            MIDASplaySample(s, ch, int(in.num()), in.num() * 100, in.num(), int(int8_t(in.u8())));
        checkFailure(p == 0);
        if (p && !Model::has(m.plays, p))
            m.plays.push_back(p);
        break;
    }
    case 14: {
        MIDASsamplePlayHandle p = pick(in, m.plays, in.u32());
        uint32_t v = in.num();
        int r;
        switch (in.u8() % 6) {
        case 0: r = MIDASstopSample(p); break;
        case 1: r = MIDASsetSampleRate(p, v * 100); break;
        case 2: r = MIDASsetSampleVolume(p, v); break;
        case 3: r = MIDASsetSamplePanning(p, int(int8_t(v))); break;
        case 4: r = MIDASsetSamplePriority(p, int(v)); break;
        default: r = MIDASgetSamplePlayStatus(p); break;
        }
        (void)r;  // the play status is 0 both for "not playing" and failure
        break;
    }
    case 15: {
        // Up to 20 s at 192 kHz: 32 streams of the largest buffers an
        // application would ask for still fit the fuzzer's memory limit.
        MIDASstreamHandle s;
        unsigned buffer = in.num() % 20001;
        unsigned rate = in.num() * 100 % 192001;
        switch (in.u8() % 3) {
        case 0: s = MIDASplayStreamPolling(int(in.u8() % 10), rate, buffer); break;
        case 1:
            s = MIDASplayStreamFile(rawPath.c_str(), int(in.u8() % 10), rate, buffer,
                                    in.u8() & 1);
            break;
        default: s = MIDASplayStreamWaveFile(wavePath.c_str(), buffer, in.u8() & 1); break;
        }
        checkFailure(s == nullptr);
        if (s) {
            if (!Model::has(m.streams, s))
                m.streams.push_back(s);
            m.liveStreams.push_back(s);
        }
        break;
    }
    case 16: {
        MIDASstreamHandle s = pick(in, m.streams, wildStream(in));
        int r = MIDASstopStream(s);
        if (s == nullptr)
            REQUIRE(r == 1);
        else if (!Model::has(m.liveStreams, s))
            REQUIRE(r == 0 && MIDASgetLastError() == errInvalidArguments);
        if (r)
            Model::drop(m.liveStreams, s);
        break;
    }
    case 17: {
        MIDASstreamHandle s = pick(in, m.streams, wildStream(in));
        unsigned char data[512];
        unsigned n = in.u16() % sizeof data;
        for (unsigned i = 0; i < n; i++)
            data[i] = in.u8();
        // feedAll waits for the player to make room: nobody polls here.
        unsigned used = MIDASfeedStreamData(s, (in.u8() & 7) ? data : nullptr, n, 0);
        REQUIRE(used <= n);
        if (!Model::has(m.liveStreams, s))
            REQUIRE(used == 0 && MIDASgetLastError() == errInvalidArguments);
        break;
    }
    case 18: {
        MIDASstreamHandle s = pick(in, m.streams, wildStream(in));
        uint32_t v = in.num();
        int r;
        switch (in.u8() % 6) {
        case 0: r = MIDASsetStreamRate(s, v * 100); break;
        case 1: r = MIDASsetStreamVolume(s, v); break;
        case 2: r = MIDASsetStreamPanning(s, int(int8_t(v))); break;
        case 3: r = MIDASgetStreamBytesBuffered(s) != 0 || Model::has(m.liveStreams, s); break;
        case 4: r = MIDASpauseStream(s); break;
        default: r = MIDASresumeStream(s); break;
        }
        if (!Model::has(m.liveStreams, s))
            REQUIRE(r == 0 && MIDASgetLastError() == errInvalidArguments);
        break;
    }
    case 19: {
        MIDASecho taps[4];
        MIDASechoSet set;
        unsigned n = in.u8() % 5;
        for (unsigned i = 0; i < n; i++) {
            taps[i].delay = in.num() << 16;
            taps[i].gain = int(int16_t(in.u16())) << 4;
            taps[i].reverseChannels = in.u8() & 1;
            taps[i].filterType = in.u8() % 4;
        }
        set.feedback = int(int16_t(in.u16())) << 2;
        set.gain = int(int16_t(in.u16())) << 2;
        set.numEchoes = n;
        set.echoes = n ? taps : nullptr;
        MIDASechoHandle e = MIDASaddEchoEffect((in.u8() & 15) ? &set : nullptr);
        checkFailure(e == nullptr);
        if (e && !Model::has(m.echoes, e))
            m.echoes.push_back(e);
        break;
    }
    case 20: {
        MIDASechoHandle e =
            pick(in, m.echoes, reinterpret_cast<MIDASechoHandle>(uintptr_t(in.u32()) | 1));
        checkFailure(MIDASremoveEchoEffect(e) == 0);
        break;
    }
    case 21: {
        MIDASpostProcessor *pp = &m.post[in.u8() % 3];
        if (in.u8() & 1)
            checkFailure(MIDASaddPostProcessor(pp, in.u8() % 3, nullptr) == 0);
        else
            checkFailure(MIDASremovePostProcessor(pp) == 0);
        break;
    }
    case 22:
    case 23:
    case 24:
        // Time passes: the device mixes what it owes and the player ticks.
        fakeNow += in.u8();
        REQUIRE(MIDASpoll() == 1);
        break;
    case 25:
        checkFailure(MIDASsetAmplification(in.num()) == 0);
        break;
    case 26:
        REQUIRE(MIDASclose() == 1);
        m.closed();
        if (in.u8() & 1)
            up(m);
        break;
    case 27: {
        // Options; the silent device stays forced.
        int option = int(in.u8() % 16);
        int value = int(in.num());
        if (option != MIDAS_OPTION_FORCE_NO_SOUND)
            REQUIRE(MIDASsetOption(option, value) == 1);
        break;
    }
    case 28:
        // Start-up and init again while running: refused, nothing changes.
        if (m.initialised) {
            REQUIRE(MIDASstartup() == 0 && MIDASgetLastError() == errDeviceBusy);
            REQUIRE(MIDASinit() == 0 && MIDASgetLastError() == errDeviceBusy);
        }
        REQUIRE(MIDASstopBackgroundPlay() == 1);
        break;
    case 29: {
        MIDASmodule mod = pick(in, m.modules, wildModule(in));
        ModuleInfo info;
        int r = MIDASgetModuleInfo(mod, (in.u8() & 7) ? &info : nullptr);
        checkFailure(r == 0);
        break;
    }
    default: {
        // Song handles as an application mixes them up: a sample play
        // handle or a channel number passed where a song is wanted.
        int h = int(in.num());
        int r = MIDASsetMusicVolume(h, 64);
        if (!m.songLive(h))
            REQUIRE(r == 0 && MIDASgetLastError() == errNoModulePlaying);
        break;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool once = [] {
        writeFiles();
        std::atexit([] {
            for (const std::string &p : {modPath[0], modPath[1], rawPath, wavePath})
                unlink(p.c_str());
        });
        nsndClock = fakeClock;
        return true;
    }();
    (void)once;

    Input in{data, size};
    Model m;
    std::memset(m.post, 0, sizeof m.post);
    for (MIDASpostProcessor &pp : m.post)
        pp.intMono = pp.intStereo = pp.floatMono = pp.floatStereo = onPost;
    fakeNow = 100000;
    up(m);
    for (int steps = 0; steps < 400 && !in.empty(); steps++) {
        step(in, m);
        checkModel(m);
    }
    // Whatever is left alive, MIDASclose releases (the leak check says so).
    REQUIRE(MIDASclose() == 1);
    m.closed();
    checkModel(m);
    return 0;
}
