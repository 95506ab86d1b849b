// The background player thread and the poll lock.
#include "sound/api/mpoll.h"

#include <sched.h>
#include <unistd.h>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/midas.h"
#include "sound/player/gmplayer.h"

int pollSleep = 20;
std::atomic<int> stopPolling{0};
pthread_t pollThread;

// Statically initialised so that a poll or an API call before MIDASinit
// finds a working lock rather than an uninitialised one.
static pthread_mutex_t mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
static pthread_attr_t thrAttr;
static sched_param param;
static bool threadRunning = false;

void InitThreads(void)
{
    // The static initialiser already made the recursive mutex; initialising
    // it again while another thread might hold it would break it.
}

void LockPollThread(void) { pthread_mutex_lock(&mutex); }

void UnlockPollThread(void) { pthread_mutex_unlock(&mutex); }

static void *PollerThread(void *)
{
    while (stopPolling.load(std::memory_order_acquire) == 0) {
        PollMIDAS();
        // In slices of at most 10 ms, so that a stop is seen at once even
        // at a slow poll rate (half a second at 1 Hz).
        if (pollSleep <= 0)
            usleep(0);
        for (int left = pollSleep; left > 0 && stopPolling.load(std::memory_order_acquire) == 0;
             left -= 10)
            usleep(useconds_t(left < 10 ? left : 10) * 1000);
    }
    stopPolling.store(0, std::memory_order_release);
    return nullptr;
}

void StartPlayThread(int sleepMs)
{
    pollSleep = sleepMs;
    stopPolling.store(0, std::memory_order_relaxed);
    pthread_attr_init(&thrAttr);
    pthread_attr_setinheritsched(&thrAttr, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&thrAttr, SCHED_RR);
    param.sched_priority = sched_get_priority_max(SCHED_RR);
    pthread_attr_setschedparam(&thrAttr, &param);
    int result = pthread_create(&pollThread, &thrAttr, PollerThread, nullptr);
    pthread_attr_destroy(&thrAttr);
    if (result != 0) {
        // Real-time scheduling is a privilege; without it the thread runs at
        // the ordinary priority.
        result = pthread_create(&pollThread, nullptr, PollerThread, nullptr);
    }
    if (result != 0) {
        midasErrorExit("StartPlayThread: Couldn't create player thread!");
        return;
    }
    threadRunning = true;
}

void StopPlayThread(void)
{
    if (!threadRunning)
        return;
    stopPolling.store(1, std::memory_order_release);
    while (stopPolling.load(std::memory_order_acquire) != 0)
        usleep(useconds_t(pollSleep < 10 ? pollSleep : 10) * 500);
    // The thread has acknowledged and is past its last poll; joining only
    // releases what the system keeps for it.
    pthread_join(pollThread, nullptr);
    threadRunning = false;
}

void PollMIDAS(void)
{
    LockPollThread();
    if (!midasSDInit) {
        UnlockPollThread();
        return;
    }
    int error = midasSD->StartPlay();
    if (error != errOK) {
        midasError(error);
        UnlockPollThread();
        return;
    }
    for (;;) {
        int callPlayer = 0;
        if ((error = midasSD->Play(&callPlayer)) != errOK)
            break;
        if (!callPlayer)
            break;
        mapi::beforeTick();
        if (midasGMPInit && (error = gmpPlay()) != errOK)
            break;
        if (midasSD->playOncePerPoll || stopPolling.load(std::memory_order_acquire))
            break;
    }
    // midasError shuts the sound system down; with the default hook the
    // process ends there, with another hook the poll just ends.
    if (error != errOK)
        midasError(error);
    UnlockPollThread();
}
