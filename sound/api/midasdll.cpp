// The public API: start-up, options, detection, channels, modules and songs.
#include "sound/api/midasdll.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/api/mapi.h"
#include "sound/api/mglobals.h"
#include "sound/api/midas.h"
#include "sound/api/mmem.h"
#include "sound/api/mpoll.h"
#include "sound/extras/midasfx.h"
#include "sound/extras/midasstr.h"
#include "sound/player/gmplayer.h"

using mapi::fail;
using mapi::PollLock;

namespace {

// One playing song: its module, its play state and the device channels of
// its module channels 0..numChannels-1 (the record is allocated with room
// for them).
struct SongSlot {
    uint32_t numChannels;
    ModuleRecord *module;
    PlayState *playHandle;
    int channels[1];
};

SongSlot *mPlayHandles[gmpMaxSongs];
int MIDASthread = 0;
int midasFxInit = 0;
int midasStrInit = 0;
unsigned amplification = 100;       // percent
unsigned channelAmplification = 0;  // the device's default for the open channels
uint8_t *chanAllocated = nullptr;   // one flag per open channel: 1 = handed out
int playModuleOpenChannels = 0;     // the channels belong to the playing song
int forceNoSound = 0;
unsigned *autoEffectChannels = nullptr;
unsigned numAutoEffectChannels = 0;

// Modules loaded by MIDASloadModule and not freed yet.
mapi::LiveSet<ModuleRecord *> liveModules;

// Every song slot playing a module of the most channels a module can have:
// more could never be used, and the mixer's records grow with the count.
constexpr int maxOpenChannels = int(gmpMaxSongs) * int(gmpMaxChannels);

// The first 48 bytes decide the loader.
uint8_t moduleHeader[48];

// The song of a play handle (1..16) that is playing now, or null. The
// handle is only compared, never used as an index unchecked.
SongSlot *slotOf(MIDASmodulePlayHandle handle)
{
    if (handle < 1 || handle > gmpMaxSongs)
        return nullptr;
    return mPlayHandles[handle - 1];
}

}  // namespace

int mapi::fail(int error)
{
    mLastError = error;
    return 0;
}

void mapi::adoptModule(ModuleRecord *module) { liveModules.add(module); }

bool mapi::liveModule(ModuleRecord *module) { return liveModules.has(module); }

PlayState *mapi::songPlayState(int handle)
{
    SongSlot *song = slotOf(handle);
    return song ? song->playHandle : nullptr;
}

bool mapi::ready() { return midasSDInit && midasGMPInit && midasFxInit && midasStrInit; }

int MIDASstartup(void)
{
    // Resetting the state under a running library would lose its songs,
    // channels and thread: MIDASclose (and MIDASstopBackgroundPlay) first.
    if (MIDASthread || midasSDInit || midasGMPInit || midasFxInit || midasStrInit)
        return fail(errDeviceBusy);
    MIDASthread = 0;
    midasFxInit = 0;
    midasStrInit = 0;
    amplification = 100;
    channelAmplification = 0;
    midasSetDefaults();
    if (chanAllocated)
        memFree(chanAllocated);
    chanAllocated = nullptr;
    playModuleOpenChannels = 0;
    forceNoSound = 0;
    if (autoEffectChannels)
        memFree(autoEffectChannels);
    autoEffectChannels = nullptr;
    numAutoEffectChannels = 0;
    for (SongSlot *&slot : mPlayHandles)
        slot = nullptr;
    return 1;
}

int MIDASdetectSD(void)
{
    midasSD = nullptr;
    midasSDNumber = -1;
    for (int i = 0; i < midasNumSoundDevices; i++) {
        int present = 0;
        int error = midasSoundDevices[i]->Detect(&present);
        if (error != errOK)
            return fail(error);
        if (present == 1) {
            midasSD = midasSoundDevices[i];
            midasSDNumber = i;
            break;
        }
    }
    return 1;
}

int MIDASdetectSoundCard(void) { return MIDASdetectSD() && midasSDNumber != 5; }

int MIDASinit(void)
{
    // A player thread started before now polls as soon as the device is up.
    PollLock lock;
    // A second start would leak the first one's device and player state; a
    // start that failed half way is undone by MIDASclose first.
    if (midasSDInit || midasGMPInit || midasFxInit || midasStrInit)
        return fail(errDeviceBusy);
    int error;
    midasEMSInit = 0;
    mUseEMS = 0;
    InitThreads();
    if (forceNoSound)
        midasSDNumber = 1;
    if (midasForcedSD) {
        midasSD = midasForcedSD;
    } else if (midasSDNumber == -1) {
        if (!MIDASdetectSD())
            return 0;
        if (!midasSD)
            return fail(errSDFailure);
    } else {
        if (midasSDNumber < 0 || midasSDNumber >= midasNumSoundDevices)
            return fail(errInvalidDevice);
        midasSD = midasSoundDevices[midasSDNumber];
        if (midasSDPort == -1 && midasSDIRQ == -1 && midasSDDMA == -1 && midasSDCard == -1) {
            int present = 0;
            if ((error = midasSD->Detect(&present)) != errOK)
                return fail(error);
        }
    }
    if (midasSDPort != -1)
        midasSD->port = unsigned(midasSDPort);
    if (midasSDIRQ != -1)
        midasSD->irq = unsigned(midasSDIRQ);
    if (midasSDDMA != -1)
        midasSD->dma = unsigned(midasSDDMA);
    if (midasSDCard != -1)
        midasSD->card = unsigned(midasSDCard);

    if ((error = midasSD->Init(unsigned(midasMixRate), unsigned(midasOutputMode))) != errOK)
        return fail(error);
    midasSDInit = 1;
    if ((error = gmpInit(midasSD)) != errOK)
        return fail(error);
    midasGMPInit = 1;
    if ((error = fxInit(midasSD)) != errOK)
        return fail(error);
    midasFxInit = 1;
    if ((error = strInit(midasSD)) != errOK)
        return fail(error);
    midasStrInit = 1;
    return 1;
}

int MIDASclose(void)
{
    int error;
    if (MIDASthread) {
        StopPlayThread();
        MIDASthread = 0;
    }
    PollLock lock;
    if ((error = mapi::closeEffects()) != errOK)
        return fail(error);
    if (numAutoEffectChannels && !MIDASfreeAutoEffectChannels())
        return 0;
    if (midasStrInit) {
        if ((error = strClose()) != errOK)
            return fail(error);
        midasStrInit = 0;
    }
    if (midasFxInit) {
        if ((error = fxClose()) != errOK)
            return fail(error);
        midasFxInit = 0;
    }
    for (int i = 0; i < gmpMaxSongs; i++) {
        if (mPlayHandles[i] && !MIDASstopModule(i + 1))
            return 0;
    }
    // Modules the application did not free: their samples leave the device
    // before the device goes.
    while (!liveModules.empty()) {
        ModuleRecord *module = liveModules.last();
        if ((error = gmpFreeModule(module)) != errOK)
            return fail(error);
        liveModules.remove(module);
    }
    if (midasGMPInit) {
        if ((error = gmpClose()) != errOK)
            return fail(error);
        midasGMPInit = 0;
    }
    if (midasSDChans) {
        if ((error = midasSD->CloseChannels()) != errOK)
            return fail(error);
        midasSDChans = 0;
        midasChannels = 0;
        if (chanAllocated) {
            memFree(chanAllocated);
            chanAllocated = nullptr;
        }
        mapi::forgetChannelPlays();
    }
    if (midasSDInit) {
        if ((error = midasSD->Close()) != errOK)
            return fail(error);
        midasSDInit = 0;
        midasSD = nullptr;
    }
    return 1;
}

int MIDASsetOption(int option, int value)
{
    switch (option) {
    case 1: midasMixRate = value; break;
    case 2: midasOutputMode = value; break;
    case 3: mBufferLength = value; break;
    case 4: mBufferBlocks = value; break;
    case 5: mDSoundMode = value; break;
    case 6: mDSoundHwnd = value; break;
    case 7: mDSoundObject = value; break;
    case 8: mDSoundBufferLength = value; break;
    case 9: m16bitUlawAutoConvert = value; break;
    case 10: mOutputFilterMode = value; break;
    case 11: mOversampling = value == 1 ? 1 : 0; break;
    case 12: mDefaultStereoSeparation = value; break;
    case 13: forceNoSound = value; break;
    default: break;
    }
    return 1;
}

int MIDASgetOption(int option)
{
    switch (option) {
    case 1: return midasMixRate;
    case 2: return midasOutputMode;
    case 3: return mBufferLength;
    case 4: return mBufferBlocks;
    case 5: return mDSoundMode;
    case 6: return mDSoundHwnd;
    case 7: return mDSoundObject;
    case 8: return mDSoundBufferLength;
    case 9: return m16bitUlawAutoConvert;
    case 10: return mOutputFilterMode;
    case 11: return mOversampling ? 1 : 0;
    case 12: return mDefaultStereoSeparation;
    case 13: return forceNoSound;
    default: return 0;
    }
}

int MIDASgetLastError(void) { return mLastError; }

const char *MIDASgetErrorMessage(int errorCode)
{
    // Codes outside the table come from no call of ours; they get the text
    // of code 1 rather than a read past the table.
    if (errorCode < 0 || errorCode >= errNumCodes)
        errorCode = errUndefined;
    return errorMsg[errorCode];
}

const char *MIDASgetVersionString(void) { return "1.1.2"; }

int MIDASstartBackgroundPlay(unsigned pollRate)
{
    // Half the poll period, so the device is topped up twice per period.
    int sleepMs = pollRate == 0 ? 20 : int(1000 / pollRate) / 2;
    // One player thread: a second would share the stop handshake with the
    // first, and one of them would never be told to end.
    if (MIDASthread)
        return fail(errDeviceBusy);
    StartPlayThread(sleepMs);
    MIDASthread = 1;
    return 1;
}

int MIDASstopBackgroundPlay(void)
{
    if (MIDASthread) {
        StopPlayThread();
        MIDASthread = 0;
    }
    return 1;
}

int MIDASpoll(void)
{
    PollMIDAS();
    return 1;
}

void MIDASlock(void) { LockPollThread(); }

void MIDASunlock(void) { UnlockPollThread(); }

namespace {

// A song or a stream plays on the open channels: closing or reopening them
// would leave it writing to channels the device no longer has.
bool channelsInUse()
{
    for (SongSlot *song : mPlayHandles)
        if (song)
            return true;
    for (strStream *s : streams)
        if (s)
            return true;
    return false;
}

// The channels are closing or opening anew: the automatic effect channels
// (numbers of the old set) are stopped and forgotten, by the API and by the
// sample service.
int dropAutoChannels()
{
    if (numAutoEffectChannels && !MIDASfreeAutoEffectChannels())
        return mLastError;
    return fxSetAutoChannels(0, nullptr);
}

}  // namespace

int MIDASopenChannels(int numChannels)
{
    PollLock lock;
    if (!midasSDInit)
        return fail(errSDFailure);
    if (numChannels <= 0 || numChannels > maxOpenChannels)
        return fail(errInvalidArguments);
    if (midasSDChans && channelsInUse())
        return fail(errDeviceBusy);
    int error;
    if (midasSDChans && (error = dropAutoChannels()) != errOK)
        return fail(error);
    if ((error = midasSD->OpenChannels(unsigned(numChannels))) != errOK)
        return fail(error);
    // The flags always match the count: an allocation never reads past them.
    if (chanAllocated)
        memFree(chanAllocated);
    chanAllocated = nullptr;
    midasChannels = 0;
    midasSDChans = 1;
    mapi::forgetChannelPlays();
    if ((error = memAlloc(numChannels, reinterpret_cast<void **>(&chanAllocated))) != errOK)
        return fail(error);
    std::memset(chanAllocated, 0, size_t(numChannels));
    midasChannels = unsigned(numChannels);

    if (midasAmplification != -1 &&
        (error = midasSD->SetAmplification(unsigned(midasAmplification))) != errOK)
        return fail(error);
    if ((error = midasSD->GetAmplification(&channelAmplification)) != errOK)
        return fail(error);
    if (amplification != 100 &&
        (error = midasSD->SetAmplification(amplification * channelAmplification / 100)) != errOK)
        return fail(error);
    return 1;
}

int MIDAScloseChannels(void)
{
    PollLock lock;
    if (!midasSDChans)
        return fail(errNoChannels);
    if (channelsInUse())
        return fail(errDeviceBusy);
    int error = dropAutoChannels();
    if (error == errOK)
        error = midasSD->CloseChannels();
    if (error != errOK)
        return fail(error);
    midasSDChans = 0;
    midasChannels = 0;
    memFree(chanAllocated);
    chanAllocated = nullptr;
    mapi::forgetChannelPlays();
    return 1;
}

int MIDASsetAmplification(unsigned percent)
{
    PollLock lock;
    amplification = percent;
    if (midasSDChans) {
        int error = midasSD->SetAmplification(percent * channelAmplification / 100);
        if (error != errOK)
            return fail(error);
    }
    return 1;
}

unsigned MIDASallocateChannel(void)
{
    PollLock lock;
    if (!midasSDChans) {
        mLastError = errNoChannels;
        return 0xFFFF;
    }
    for (unsigned ch = 0; ch < midasChannels; ch++) {
        if (!chanAllocated[ch]) {
            chanAllocated[ch] = 1;
            return ch;
        }
    }
    mLastError = errOutOfChannels;
    return 0xFFFF;
}

int MIDASfreeChannel(unsigned channel)
{
    PollLock lock;
    if (!midasSDChans)
        return fail(errNoChannels);
    if (channel >= midasChannels)
        return fail(errInvalidChanNumber);
    chanAllocated[channel] = 0;
    return 1;
}

int MIDASallocAutoEffectChannels(unsigned numChannels)
{
    PollLock lock;
    if (numAutoEffectChannels && !MIDASfreeAutoEffectChannels())
        return 0;
    if (numChannels == 0)
        return fail(errInvalidBlock);
    // More than are open could never be taken; the allocator would say so
    // after a list of any size.
    if (!midasSDChans)
        return fail(errNoChannels);
    if (numChannels > midasChannels)
        return fail(errOutOfChannels);
    int error = memAlloc(int(numChannels * sizeof(unsigned)),
                         reinterpret_cast<void **>(&autoEffectChannels));
    if (error != errOK)
        return fail(error);
    auto release = [](unsigned taken) {
        for (unsigned j = 0; j < taken; j++)
            MIDASfreeChannel(autoEffectChannels[j]);
        memFree(autoEffectChannels);
        autoEffectChannels = nullptr;
    };
    for (unsigned i = 0; i < numChannels; i++) {
        unsigned ch = MIDASallocateChannel();
        if (ch == 0xFFFF) {
            release(i);
            return 0;  // the allocator's code stays
        }
        autoEffectChannels[i] = ch;
    }
    if ((error = fxSetAutoChannels(numChannels, autoEffectChannels)) != errOK) {
        release(numChannels);
        return fail(error);
    }
    numAutoEffectChannels = numChannels;
    return 1;
}

int MIDASfreeAutoEffectChannels(void)
{
    PollLock lock;
    if (!numAutoEffectChannels)
        return 1;
    for (unsigned i = 0; i < numAutoEffectChannels; i++) {
        int error;
        if ((error = midasSD->StopSound(autoEffectChannels[i])) != errOK ||
            (error = midasSD->SetVolume(autoEffectChannels[i], 0)) != errOK)
            return fail(error);
    }
    // The channels stay marked as allocated.
    numAutoEffectChannels = 0;
    memFree(autoEffectChannels);
    autoEffectChannels = nullptr;
    return 1;
}

MIDASmodule MIDASloadModule(const char *fileName)
{
    // The loaders hand the samples to the device.
    if (!mapi::ready()) {
        fail(errSDFailure);
        return nullptr;
    }
    if (fileName == nullptr) {
        fail(errInvalidArguments);
        return nullptr;
    }
    fileHandle f;
    int error = fileOpen(fileName, 1, &f);
    if (error != errOK) {
        mLastError = error;
        return nullptr;
    }
    long size = 0;
    if ((error = fileGetSize(f, &size)) == errOK) {
        if (size < long(sizeof moduleHeader))
            error = errEndOfFile;
        else
            error = fileRead(f, moduleHeader, sizeof moduleHeader);
    }
    int closeError = fileClose(f);
    if (error == errOK)
        error = closeError;
    if (error != errOK) {
        mLastError = error;
        return nullptr;
    }

    ModuleRecord *module = nullptr;
    if (std::memcmp(moduleHeader, "Extended Module:", 16) == 0)
        error = gmpLoadXM(fileName, 1, nullptr, &module);
    else if (std::memcmp(moduleHeader + 44, "SCRM", 4) == 0)
        error = gmpLoadS3M(fileName, 1, nullptr, &module);
    else if (std::memcmp(moduleHeader, "IMPM", 4) == 0)
        error = gmpLoadIT(fileName, 1, nullptr, &module);
    else
        error = gmpLoadMOD(fileName, 1, nullptr, &module);
    if (error != errOK) {
        mLastError = error;
        return nullptr;
    }
    liveModules.add(module);
    return module;
}

MIDASmodulePlayHandle MIDASplayModule(MIDASmodule module, int loopSong)
{
    return MIDASplayModuleSection(module, -1, -1, -1, loopSong);
}

MIDASmodulePlayHandle MIDASplayModuleSection(MIDASmodule module, int startPos, int endPos,
                                             int restartPos, int loopSong)
{
    PollLock lock;
    if (!liveModules.has(module))
        return fail(errInvalidArguments);
    int slot = 0;
    while (slot < gmpMaxSongs && mPlayHandles[slot])
        slot++;
    if (slot == gmpMaxSongs)
        return fail(errOutOfResources);

    unsigned n = module->numChans;
    if (!midasSDChans) {
        if (!MIDASopenChannels(int(n)))
            return 0;
        playModuleOpenChannels = 1;
    } else {
        playModuleOpenChannels = 0;
    }

    SongSlot *song;
    int error = memAlloc(int(sizeof(SongSlot) + n * sizeof(int)), reinterpret_cast<void **>(&song));
    if (error != errOK)
        return fail(error);
    song->numChannels = n;
    song->module = module;
    song->playHandle = nullptr;
    for (unsigned i = 0; i < n; i++) {
        unsigned ch = MIDASallocateChannel();
        if (ch == 0xFFFF) {
            for (unsigned j = 0; j < i; j++)
                MIDASfreeChannel(unsigned(song->channels[j]));
            memFree(song);
            return fail(errOutOfChannels);
        }
        song->channels[i] = int(ch);
    }

    if ((error = gmpPlaySong(module, startPos, endPos, restartPos, loopSong, -1, song->channels,
                             &song->playHandle)) != errOK) {
        for (unsigned i = 0; i < n; i++)
            MIDASfreeChannel(unsigned(song->channels[i]));
        memFree(song);
        return fail(error);
    }
    mPlayHandles[slot] = song;
    midasGMPPlay = 1;
    mapi::songStarted(slot + 1);
    return slot + 1;
}

int MIDASstopModule(MIDASmodulePlayHandle playHandle)
{
    if (playHandle == 0)
        return 1;
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    mPlayHandles[playHandle - 1] = nullptr;
    int error = gmpStopSong(song->playHandle);
    if (error != errOK) {
        memFree(song);
        return fail(error);
    }
    midasGMPPlay = 0;
    midasPlayHandle = nullptr;
    for (uint32_t i = 0; i < song->numChannels; i++) {
        unsigned ch = unsigned(song->channels[i]);
        if ((error = midasSD->StopSound(ch)) != errOK ||
            (error = midasSD->SetVolume(ch, 0)) != errOK) {
            memFree(song);
            return fail(error);
        }
        MIDASfreeChannel(ch);
    }
    memFree(song);
    // The song's own channels close with it, unless a stream or another
    // song has come to play on them since.
    if (playModuleOpenChannels && !channelsInUse()) {
        playModuleOpenChannels = 0;
        if (!MIDAScloseChannels())
            return 0;
    }
    return 1;
}

int MIDASfreeModule(MIDASmodule module)
{
    if (module == nullptr)
        return 1;
    PollLock lock;
    if (!liveModules.has(module))
        return fail(errInvalidArguments);
    // Its songs end first: the player must not play a module that is gone.
    for (int i = 0; i < gmpMaxSongs; i++)
        if (mPlayHandles[i] && mPlayHandles[i]->module == module && !MIDASstopModule(i + 1))
            return 0;
    int error = gmpFreeModule(module);
    if (error != errOK)
        return fail(error);
    liveModules.remove(module);
    return 1;
}

int MIDASgetPlayStatus(MIDASmodulePlayHandle playHandle, PlayStatus *status)
{
    // The player thread writes the information record at every row and the
    // refresh below writes it too: read it under the lock, not beside it.
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    if (status == nullptr)
        return fail(errInvalidArguments);
    PlayInfo *info;
    int error = gmpGetInformation(song->playHandle, &info);
    if (error != errOK)
        return fail(error);
    status->position = info->position;
    status->pattern = info->pattern;
    status->row = info->row;
    status->syncInfo = info->syncInfo;
    status->songLoopCount = info->songLoopCount;
    return 1;
}

int MIDASsetPosition(MIDASmodulePlayHandle playHandle, int newPosition)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpSetPosition(song->playHandle, newPosition);
    return error == errOK ? 1 : fail(error);
}

int MIDASsetMusicVolume(MIDASmodulePlayHandle playHandle, unsigned volume)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpSetMasterVolume(song->playHandle, volume);
    return error == errOK ? 1 : fail(error);
}

int MIDASfadeMusicChannel(MIDASmodulePlayHandle playHandle, unsigned channel, unsigned fade)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpFadeChannel(song->playHandle, channel, uint8_t(fade));
    return error == errOK ? 1 : fail(error);
}

int MIDASgetModuleInfo(MIDASmodule module, ModuleInfo *info)
{
    if (!liveModules.has(module) || info == nullptr)
        return fail(errInvalidArguments);
    std::memcpy(info->songName, module->name, 32);
    info->songName[31] = 0;
    info->songLength = unsigned(module->songLength);
    info->numPatterns = module->numPatts;
    info->numInstruments = module->numInsts;
    info->numChannels = module->numChans;
    return 1;
}

int MIDASgetInstrumentInfo(MIDASmodule module, int instNum, InstrumentInfo *info)
{
    if (!liveModules.has(module) || info == nullptr || instNum < 0 ||
        unsigned(instNum) >= module->numInsts)
        return fail(errInvalidArguments);
    const InstrumentRecord *inst = module->instruments[instNum];
    // An empty instrument slot has no record: it reads as an empty name.
    if (inst)
        std::memcpy(info->instName, inst->name, 32);
    else
        std::memset(info->instName, 0, 32);
    info->instName[31] = 0;
    return 1;
}

int MIDASsetMusicSyncCallback(MIDASmodulePlayHandle playHandle, MIDASsyncCallback callback)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpSetSyncCallback(song->playHandle, callback);
    return error == errOK ? 1 : fail(error);
}
