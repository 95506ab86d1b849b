// The background player thread and the poll lock.
//
// One poll (PollMIDAS) drives the chosen sound device: StartPlay, then Play
// until the device's output is full, running one player tick (gmpPlay) each
// time the device has mixed a tick's worth of audio. The player thread polls,
// sleeps pollSleep ms, and polls again until asked to stop.
//
// Thread contract: the poll lock is a recursive mutex, usable from process
// start (before InitThreads). A poll holds it from start to end; every API
// call that changes player, channel or device state holds it for its whole
// run, and those calls nest. The sync callback and everything the player does
// run on the player thread with the lock held. stopPolling is the only word
// the two threads exchange without the lock.
#pragma once

#include <atomic>
#include <pthread.h>

// Milliseconds the thread sleeps between polls.
extern int pollSleep;
// 1: the thread is asked to end; the thread writes 0 back once it has ended.
extern std::atomic<int> stopPolling;
extern pthread_t pollThread;

// Makes sure the poll lock exists as a recursive mutex. Called by MIDASinit;
// the lock is never destroyed.
void InitThreads(void);
void LockPollThread(void);
void UnlockPollThread(void);

// Starts the player thread, asking for the highest SCHED_RR priority (quietly
// without it when the process may not have it). If no thread can be created,
// the error-exit hook gets "StartPlayThread: Couldn't create player thread!".
void StartPlayThread(int sleepMs);
// Asks the thread to end and waits until it has acknowledged.
void StopPlayThread(void);
// One poll on the caller's thread. Errors are fatal (midasError).
void PollMIDAS(void);
