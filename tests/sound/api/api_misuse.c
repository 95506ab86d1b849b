/* The mistakes an application makes with the public interface, made from C
 * against the header as it is installed. Each case runs in a child process
 * of its own, so a crash, an abort, a sanitizer report, a leak at exit or a
 * hang (the alarm) fails that case and the others still run. A case passes
 * only when every wrong call returns its failure value with the right error
 * code, and the library still shuts down cleanly afterwards. */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <q5sound/midasdll.h>

/* Error codes of the library's table, as MIDASgetLastError returns them. */
enum {
    ERR_INVALID_BLOCK = 4,
    ERR_INVALID_CHANNEL = 18,
    ERR_INVALID_SAMPLE = 19,
    ERR_NO_CHANNELS = 20,
    ERR_NOT_INITIALISED = 21, /* "Sound Device hardware failure": no device up */
    ERR_INVALID_ARGS = 22,
    ERR_BUSY = 41,
    ERR_NOT_PLAYING = 47
};

static char modPath[256], rawPath[256];
static int failures;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);               \
            failures++;                                                              \
        }                                                                            \
    } while (0)

/* Leaves an error code other than expected, so that a call that fails
 * without setting one is caught: success never clears the last error. */
static void primeError(int expected)
{
    if (expected != ERR_NOT_PLAYING)
        MIDASstopModule(99);
    else
        MIDASgetModuleInfo(NULL, NULL);
}

/* The call returns want and leaves error code err. */
#define FAILS(call, want, err)                                                       \
    do {                                                                             \
        primeError(err);                                                             \
        if ((call) != (want) || MIDASgetLastError() != (err)) {                      \
            fprintf(stderr, "%s:%d: %s: want %s, error %d; last error %d\n",        \
                    __FILE__, __LINE__, #call, #want, (err), MIDASgetLastError());   \
            failures++;                                                              \
        }                                                                            \
    } while (0)

static void sleepMs(long ms)
{
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&t, NULL);
}

/* Writes a 4-channel MOD of one pattern and one 32-byte sample. */
static int writeMod(const char *path)
{
    unsigned char head[1084];
    unsigned char body[1024 + 32];
    FILE *f = fopen(path, "wb");
    memset(head, 0, sizeof head);
    memset(body, 0, sizeof body);
    memcpy(head, "misuse", 6);
    head[20 + 22] = 0;
    head[20 + 23] = 16; /* length in words */
    head[20 + 25] = 64; /* volume */
    head[20 + 29] = 1;  /* loop length 1 word: no loop */
    head[950] = 1;      /* song length */
    memcpy(head + 1080, "M.K.", 4);
    body[0] = 0x01; /* row 0, channel 0: sample 1, period 0x1AC */
    body[1] = 0xAC;
    body[2] = 0x10;
    if (f == NULL)
        return 0;
    fwrite(head, 1, sizeof head, f);
    fwrite(body, 1, sizeof body, f);
    return fclose(f) == 0;
}

static int writeRaw(const char *path)
{
    unsigned char data[256];
    FILE *f = fopen(path, "wb");
    unsigned i;
    for (i = 0; i < sizeof data; i++)
        data[i] = (unsigned char)(i * 7);
    if (f == NULL)
        return 0;
    fwrite(data, 1, sizeof data, f);
    return fclose(f) == 0;
}

/* Start-up and init on the silent device. */
static void up(void)
{
    CHECK(MIDASstartup());
    MIDASsetOption(MIDAS_OPTION_FORCE_NO_SOUND, 1);
    CHECK(MIDASinit());
}

static void down(void) { CHECK(MIDASclose()); }

/* Every call that takes a song handle, with one that does not name a
 * playing song. Stopping 0 is a no-op. */
static void songCallsFail(MIDASmodulePlayHandle h)
{
    PlayStatus status;
    MIDASsongState state;
    FAILS(MIDASsetMusicVolume(h, 32), 0, ERR_NOT_PLAYING);
    FAILS(MIDASgetSongState(h, &state), 0, ERR_NOT_PLAYING);
    FAILS(MIDASgetPlayStatus(h, &status), 0, ERR_NOT_PLAYING);
    FAILS(MIDASsetPosition(h, 0), 0, ERR_NOT_PLAYING);
    FAILS(MIDASsetMusicSyncCallback(h, NULL), 0, ERR_NOT_PLAYING);
    FAILS(MIDASfadeMusicChannel(h, 0, 10), 0, ERR_NOT_PLAYING);
    if (h != 0)
        FAILS(MIDASstopModule(h), 0, ERR_NOT_PLAYING);
}

static void caseSongHandles(void)
{
    MIDASmodule m;
    MIDASmodulePlayHandle h;
    up();
    m = MIDASloadModule(modPath);
    CHECK(m != NULL);
    songCallsFail(0);
    songCallsFail(17);
    songCallsFail(-1);
    songCallsFail(3); /* never issued */
    CHECK(MIDASstopModule(0) == 1);
    h = MIDASplayModule(m, 1);
    CHECK(h == 1);
    CHECK(MIDASstopModule(h));
    songCallsFail(h); /* stopped */
    CHECK(MIDASfreeModule(m));
    down();
}

static void caseModuleLifetimes(void)
{
    MIDASmodule m, other;
    MIDASmodulePlayHandle h, kept;
    ModuleInfo info;
    InstrumentInfo inst;
    up();
    CHECK(MIDASstartBackgroundPlay(200));
    CHECK(MIDASopenChannels(8));
    /* The loader and the player each keep a pointer to the module they saw
     * last: other goes first to both, or the leak check would not see it
     * if MIDASclose forgot it. */
    other = MIDASloadModule(modPath);
    m = MIDASloadModule(modPath);
    CHECK(m != NULL && other != NULL);
    kept = MIDASplayModule(other, 1);
    CHECK(kept != 0);
    FAILS(MIDASgetPlayStatus(kept, NULL), 0, ERR_INVALID_ARGS);
    h = MIDASplayModule(m, 1);
    CHECK(h != 0);
    sleepMs(30);
    /* Freeing a playing module stops its song first. */
    CHECK(MIDASfreeModule(m));
    songCallsFail(h);
    sleepMs(30);
    FAILS(MIDASfreeModule(m), 0, ERR_INVALID_ARGS);
    FAILS(MIDASplayModule(m, 1), 0, ERR_INVALID_ARGS);
    FAILS(MIDASgetModuleInfo(m, &info), 0, ERR_INVALID_ARGS);
    FAILS(MIDASgetInstrumentInfo(m, 0, &inst), 0, ERR_INVALID_ARGS);
    FAILS(MIDASgetModuleInfo((MIDASmodule)&info, &info), 0, ERR_INVALID_ARGS);
    FAILS(MIDASgetModuleInfo(other, NULL), 0, ERR_INVALID_ARGS);
    FAILS(MIDASgetInstrumentInfo(other, 31, &inst), 0, ERR_INVALID_ARGS); /* MOD: 0..30 */
    FAILS(MIDASgetInstrumentInfo(other, -1, &inst), 0, ERR_INVALID_ARGS);
    FAILS(MIDASplayModule(NULL, 1), 0, ERR_INVALID_ARGS);
    CHECK(MIDASfreeModule(NULL) == 1);
    /* other is still loaded and playing, with the thread running: MIDASclose
     * ends all of it (the leak check at exit says whether it freed other). */
    down();
}

static void casePlayerThread(void)
{
    up();
    CHECK(MIDASstopBackgroundPlay()); /* never started */
    CHECK(MIDASstartBackgroundPlay(0));
    FAILS(MIDASstartBackgroundPlay(100), 0, ERR_BUSY);
    sleepMs(50);
    CHECK(MIDASstopBackgroundPlay());
    CHECK(MIDASstopBackgroundPlay());
    CHECK(MIDASstartBackgroundPlay(50)); /* and again after a stop */
    down();
}

static void caseStreamHandles(void)
{
    MIDASstreamHandle s, wild;
    unsigned char data[64];
    memset(data, 128, sizeof data);
    up();
    CHECK(MIDASopenChannels(4));
    s = MIDASplayStreamPolling(1, 22050, 100);
    CHECK(s != NULL);
    CHECK(MIDASfeedStreamData(s, data, sizeof data, 0) == sizeof data);
    CHECK(MIDASstopStream(s));
    CHECK(MIDASstopStream(NULL) == 1);
    wild = (MIDASstreamHandle)data;
    FAILS(MIDASstopStream(s), 0, ERR_INVALID_ARGS);
    FAILS(MIDASstopStream(wild), 0, ERR_INVALID_ARGS);
    FAILS(MIDASfeedStreamData(s, data, sizeof data, 1), 0u, ERR_INVALID_ARGS);
    FAILS(MIDASfeedStreamData(wild, data, sizeof data, 0), 0u, ERR_INVALID_ARGS);
    FAILS(MIDASsetStreamRate(s, 11025), 0, ERR_INVALID_ARGS);
    FAILS(MIDASsetStreamVolume(wild, 10), 0, ERR_INVALID_ARGS);
    FAILS(MIDASsetStreamPanning(s, 0), 0, ERR_INVALID_ARGS);
    FAILS(MIDASgetStreamBytesBuffered(s), 0u, ERR_INVALID_ARGS);
    FAILS(MIDASpauseStream(NULL), 0, ERR_INVALID_ARGS);
    FAILS(MIDASresumeStream(wild), 0, ERR_INVALID_ARGS);
    /* A file stream with a minute of buffer: its writer sleeps an eighth of
     * that between fills, and stopping it must not wait for the sleep
     * (found by fuzz_api). */
    s = MIDASplayStreamFile(rawPath, 1, 8000, 60000, 1);
    CHECK(s != NULL);
    sleepMs(20);
    alarm(3);
    CHECK(MIDASstopStream(s));
    /* A looping ADPCM stream of data that is not ADPCM: its writer must not
     * spin in one endless pass (found by fuzz_api). */
    s = MIDASplayStreamFile(rawPath, 5, 8000, 500, 1);
    CHECK(s != NULL);
    sleepMs(20);
    CHECK(MIDASstopStream(s));
    alarm(20);
    /* A live stream with no data pointer. */
    s = MIDASplayStreamPolling(1, 22050, 100);
    CHECK(s != NULL);
    FAILS(MIDASfeedStreamData(s, NULL, 16, 0), 0u, ERR_INVALID_ARGS);
    down(); /* stops the live stream */
}

static void caseSampleHandles(void)
{
    MIDASmodule m;
    MIDASsample smp;
    MIDASsamplePlayHandle p;
    up();
    m = MIDASloadModule(modPath); /* its sample takes a device handle */
    CHECK(m != NULL);
    CHECK(MIDASopenChannels(4));
    FAILS(MIDASfreeSample(1), 0, ERR_INVALID_SAMPLE);   /* the module's */
    FAILS(MIDASplaySample(1, 0, 0, 22050, 64, 0), 0u, ERR_INVALID_SAMPLE);
    smp = MIDASloadRawSample(rawPath, 1, 0);
    CHECK(smp != 0);
    FAILS(MIDASplaySample(smp, 4, 0, 22050, 64, 0), 0u, ERR_INVALID_CHANNEL);
    FAILS(MIDASplaySample(smp, 300, 0, 22050, 64, 0), 0u, ERR_INVALID_CHANNEL);
    p = MIDASplaySample(smp, 2, 0, 22050, 64, 0);
    CHECK(p == 3);
    CHECK(MIDASsetSampleVolume(p, 32));
    FAILS(MIDASsetSampleVolume(2, 32), 0, ERR_INVALID_SAMPLE); /* channel 1: no play */
    FAILS(MIDASsetSampleRate(0, 8000), 0, ERR_INVALID_SAMPLE);
    FAILS(MIDASsetSamplePanning(300, 0), 0, ERR_INVALID_SAMPLE);
    FAILS(MIDASsetSamplePriority(0x10000, 1), 0, ERR_INVALID_SAMPLE);
    FAILS(MIDASgetSamplePlayStatus(12345), 0, ERR_INVALID_SAMPLE);
    FAILS(MIDASstopSample(0xFFFFFFFFu), 0, ERR_INVALID_SAMPLE);
    CHECK(MIDASstopSample(0) == 1);
    /* Automatic channels: none set up yet, then a pool of two. */
    FAILS(MIDASplaySample(smp, 0xFFFF, 0, 22050, 64, 0), 0u, ERR_NO_CHANNELS);
    FAILS(MIDASallocAutoEffectChannels(0), 0, ERR_INVALID_BLOCK);
    FAILS(MIDASallocAutoEffectChannels(0x40000000u), 0, 48);
    CHECK(MIDASallocAutoEffectChannels(2));
    p = MIDASplaySample(smp, 0xFFFF, 0, 22050, 64, 0);
    CHECK(p != 0);
    CHECK(MIDASplaySample(smp, 0xFFFF, 0, 22050, 64, 0) != 0);
    CHECK(MIDASplaySample(smp, 0xFFFF, 0, 22050, 64, 0) != 0);
    FAILS(MIDASstopSample(p), 0, ERR_INVALID_SAMPLE); /* superseded */
    CHECK(MIDASfreeSample(smp));
    FAILS(MIDASfreeSample(smp), 0, ERR_INVALID_SAMPLE);
    FAILS(MIDASplaySample(smp, 0, 0, 22050, 64, 0), 0u, ERR_INVALID_SAMPLE);
    CHECK(MIDASfreeSample(0) == 1);
    /* The module's sample is still the device's. */
    CHECK(MIDASfreeModule(m));
    smp = MIDASloadRawSample(rawPath, 1, 1); /* left for MIDASclose */
    CHECK(smp != 0);
    CHECK(MIDASplaySample(smp, 3, 0, 22050, 64, 0) == 4);
    down();
}

static int ppCalls;
static int countPost(void *buffer, unsigned frames, void *user)
{
    (void)buffer;
    (void)frames;
    (void)user;
    ppCalls++;
    return 0;
}

static void caseEchoesAndPostProcessors(void)
{
    MIDASecho tap = {100u << 16, 1 << 15, 0, 0};
    MIDASechoSet set = {1 << 14, 1 << 16, 1, NULL};
    MIDASechoHandle e1, e2;
    MIDASpostProcessor pp, never;
    set.echoes = &tap;
    memset(&pp, 0, sizeof pp);
    memset(&never, 0xA5, sizeof never); /* garbage links: must not be followed */
    pp.intMono = pp.intStereo = countPost;
    up();
    FAILS(MIDASaddEchoEffect(NULL), NULL, ERR_INVALID_ARGS);
    e1 = MIDASaddEchoEffect(&set);
    e2 = MIDASaddEchoEffect(&set);
    CHECK(e1 != NULL && e2 != NULL);
    CHECK(MIDASremoveEchoEffect(e1));
    FAILS(MIDASremoveEchoEffect(e1), 0, ERR_INVALID_ARGS);
    FAILS(MIDASremoveEchoEffect((MIDASechoHandle)&set), 0, ERR_INVALID_ARGS);
    CHECK(MIDASremoveEchoEffect(NULL) == 1);
    FAILS(MIDASremovePostProcessor(&never), 0, ERR_INVALID_ARGS);
    FAILS(MIDASaddPostProcessor(NULL, MIDAS_POST_PROC_FIRST, NULL), 0, ERR_INVALID_ARGS);
    FAILS(MIDASaddPostProcessor(&pp, 7, NULL), 0, ERR_INVALID_ARGS);
    CHECK(MIDASaddPostProcessor(&pp, MIDAS_POST_PROC_LAST, NULL));
    FAILS(MIDASaddPostProcessor(&pp, MIDAS_POST_PROC_FIRST, NULL), 0, ERR_INVALID_ARGS);
    CHECK(MIDASremovePostProcessor(&pp));
    FAILS(MIDASremovePostProcessor(&pp), 0, ERR_INVALID_ARGS);
    CHECK(MIDASaddPostProcessor(&pp, MIDAS_POST_PROC_FIRST, NULL));
    /* e2 and pp are still in: MIDASclose takes them out. */
    down();
    FAILS(MIDASremovePostProcessor(&pp), 0, ERR_INVALID_ARGS);
}

static void caseChannelsAndStartUp(void)
{
    MIDASmodule m;
    up();
    FAILS(MIDASinit(), 0, ERR_BUSY);
    FAILS(MIDASstartup(), 0, ERR_BUSY);
    FAILS(MIDASopenChannels(-1), 0, ERR_INVALID_ARGS);
    FAILS(MIDASopenChannels(0x10000000), 0, ERR_INVALID_ARGS); /* found by fuzz_api */
    FAILS(MIDASfreeChannel(0), 0, ERR_NO_CHANNELS);
    CHECK(MIDASopenChannels(4));
    FAILS(MIDASfreeChannel(4), 0, ERR_INVALID_CHANNEL);
    FAILS(MIDASfreeChannel(0xFFFFFFFFu), 0, ERR_INVALID_CHANNEL);
    m = MIDASloadModule(modPath);
    CHECK(MIDASplayModule(m, 1) != 0);
    /* The song plays on the open channels: they stay. */
    FAILS(MIDAScloseChannels(), 0, ERR_BUSY);
    FAILS(MIDASopenChannels(2), 0, ERR_BUSY);
    down();
    CHECK(MIDASstartup()); /* after a close, a fresh start is fine */
}

/* Reopened fewer: automatic channels 2 and 3 went with the old set, and the
 * close must not trip over them (found by fuzz_api). */
static void caseReopenedChannels(void)
{
    up();
    CHECK(MIDASopenChannels(4));
    CHECK(MIDASallocAutoEffectChannels(4));
    CHECK(MIDASopenChannels(2));
    down();
}

/* Before MIDASstartup and MIDASinit, and after MIDASclose: nothing is up.
 * Calls that need the device fail; the rest do nothing. */
static void nothingIsUp(void)
{
    MIDASechoSet set = {0, 1 << 16, 0, NULL};
    MIDASpostProcessor pp;
    memset(&pp, 0, sizeof pp);
    FAILS(MIDASloadModule(modPath), NULL, ERR_NOT_INITIALISED);
    FAILS(MIDASloadRawSample(rawPath, 1, 0), 0u, ERR_NOT_INITIALISED);
    FAILS(MIDASloadWaveSample(rawPath, 0), 0u, ERR_NOT_INITIALISED);
    FAILS(MIDASplayStreamPolling(1, 22050, 100), NULL, ERR_NOT_INITIALISED);
    FAILS(MIDASplayStreamFile(rawPath, 1, 22050, 100, 0), NULL, ERR_NOT_INITIALISED);
    FAILS(MIDASaddEchoEffect(&set), NULL, ERR_NOT_INITIALISED);
    FAILS(MIDASaddPostProcessor(&pp, 0, NULL), 0, ERR_NOT_INITIALISED);
    FAILS(MIDASopenChannels(4), 0, ERR_NOT_INITIALISED);
    FAILS(MIDAScloseChannels(), 0, ERR_NO_CHANNELS);
    FAILS(MIDASallocateChannel(), 0xFFFFu, ERR_NO_CHANNELS);
    FAILS(MIDASallocAutoEffectChannels(2), 0, ERR_NO_CHANNELS);
    FAILS(MIDASplaySample(1, 0, 0, 22050, 64, 0), 0u, ERR_INVALID_SAMPLE);
    FAILS(MIDASsetSampleRate(1, 22050), 0, ERR_INVALID_SAMPLE);
    FAILS(MIDASplayModule((MIDASmodule)&pp, 1), 0, ERR_INVALID_ARGS);
    FAILS(MIDASrender(NULL, 100, NULL), 0, ERR_NOT_INITIALISED);
    FAILS(MIDASgetRenderInfo(NULL), 0, ERR_NOT_INITIALISED);
    FAILS(MIDASpause(1), 0, ERR_NOT_INITIALISED);
    FAILS(MIDASgetDeviceName(), NULL, ERR_NOT_INITIALISED);
    songCallsFail(1);
    CHECK(MIDASsetAmplification(80));
    CHECK(MIDASfreeAutoEffectChannels());
    CHECK(MIDASremoveEchoEffect((MIDASechoHandle)&set)); /* none: nothing to do */
    CHECK(MIDASpoll());
    CHECK(MIDASstopBackgroundPlay());
    CHECK(MIDASclose());
}

static void caseBeforeStartUp(void) { nothingIsUp(); }

static void caseBeforeInit(void)
{
    CHECK(MIDASstartup());
    nothingIsUp();
}

static void caseAfterClose(void)
{
    MIDASmodule m;
    MIDASstreamHandle s;
    up();
    CHECK(MIDASstartBackgroundPlay(100));
    CHECK(MIDASopenChannels(5));
    m = MIDASloadModule(modPath);
    CHECK(MIDASplayModule(m, 1) == 1);
    s = MIDASplayStreamPolling(1, 22050, 100);
    CHECK(s != NULL);
    down();
    FAILS(MIDASfreeModule(m), 0, ERR_INVALID_ARGS);
    FAILS(MIDASsetStreamVolume(s, 1), 0, ERR_INVALID_ARGS);
    nothingIsUp();
}

/* The offline render: its own start-up rules, and MIDASrender only on a
 * render target. */
static void caseRenderTarget(void)
{
    MIDASrenderInfo info;
    MIDASmoduleFormat format;
    unsigned n = 1;
    up();
    FAILS(MIDASrender(NULL, 100, &n), 0, ERR_NOT_INITIALISED); /* the silent device */
    CHECK(n == 0);
    FAILS(MIDASrenderInit(MIDAS_RENDER_FLOAT, NULL, NULL), 0, ERR_BUSY);
    FAILS(MIDASgetModuleFormat((MIDASmodule)&info, &format), 0, ERR_INVALID_ARGS);
    down();
    CHECK(MIDASstartup());
    FAILS(MIDASrenderInit(0x100, NULL, NULL), 0, ERR_INVALID_ARGS);
    CHECK(MIDASrenderInit(MIDAS_RENDER_INTEGER, NULL, NULL));
    FAILS(MIDASinit(), 0, ERR_BUSY);
    FAILS(MIDASgetRenderInfo(NULL), 0, ERR_INVALID_ARGS);
    CHECK(MIDASrender(NULL, 100, &n) && n == 100);
    CHECK(MIDASgetRenderInfo(&info) && info.frames == 100 && info.outputMode == (2 | 8));
    down();
}

static const struct {
    const char *name;
    void (*run)(void);
} cases[] = {
    {"render target", caseRenderTarget},
    {"song handles", caseSongHandles},
    {"module lifetimes", caseModuleLifetimes},
    {"player thread", casePlayerThread},
    {"stream handles", caseStreamHandles},
    {"sample handles", caseSampleHandles},
    {"echoes and post-processors", caseEchoesAndPostProcessors},
    {"channels and start-up", caseChannelsAndStartUp},
    {"reopened channels", caseReopenedChannels},
    {"before start-up", caseBeforeStartUp},
    {"before init", caseBeforeInit},
    {"after close", caseAfterClose},
};

int main(void)
{
    const char *tmp = getenv("TMPDIR");
    unsigned i, n = sizeof cases / sizeof cases[0];
    int failed = 0;
    if (tmp == NULL || *tmp == 0)
        tmp = "/tmp";
    snprintf(modPath, sizeof modPath, "%s/q5_misuse_%d.mod", tmp, (int)getpid());
    snprintf(rawPath, sizeof rawPath, "%s/q5_misuse_%d.raw", tmp, (int)getpid());
    if (!writeMod(modPath) || !writeRaw(rawPath)) {
        fprintf(stderr, "cannot write the test files in %s\n", tmp);
        return 1;
    }
    for (i = 0; i < n; i++) {
        int status = 0;
        pid_t pid;
        fflush(stdout);
        pid = fork();
        if (pid == 0) {
            alarm(20); /* a hang fails the case */
            cases[i].run();
            exit(failures ? 1 : 0); /* exit, not _exit: the leak check runs */
        }
        if (pid < 0 || waitpid(pid, &status, 0) != pid) {
            perror("fork");
            failed++;
            continue;
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            printf("ok    %s\n", cases[i].name);
        } else {
            if (WIFSIGNALED(status))
                printf("FAIL  %s (signal %d)\n", cases[i].name, WTERMSIG(status));
            else
                printf("FAIL  %s (status %d)\n", cases[i].name, WEXITSTATUS(status));
            failed++;
        }
    }
    unlink(modPath);
    unlink(rawPath);
    printf("%u cases, %d failed\n", n, failed);
    return failed ? 1 : 0;
}
