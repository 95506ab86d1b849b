// The public calls for music modules and their songs: loading, playing,
// stopping and freeing, the play status and the sync callback.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/file.h"
#include "sound/api/mapi.h"
#include "sound/api/mexport.h"
#include "sound/api/mglobals.h"
#include "sound/api/midas.h"
#include "sound/api/midasdll.h"
#include "sound/api/mmem.h"
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
int playModuleOpenChannels = 0;  // the channels belong to the playing song

// Modules loaded by MIDASloadModule and not freed yet.
mapi::LiveSet<ModuleRecord *> liveModules;

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

void mapi::adoptModule(ModuleRecord *module) { liveModules.add(module); }

bool mapi::liveModule(ModuleRecord *module) { return liveModules.has(module); }

PlayState *mapi::songPlayState(int handle)
{
    SongSlot *song = slotOf(handle);
    return song ? song->playHandle : nullptr;
}

bool mapi::songsPlaying()
{
    for (SongSlot *song : mPlayHandles)
        if (song)
            return true;
    return false;
}

void mapi::resetSongs()
{
    playModuleOpenChannels = 0;
    for (SongSlot *&slot : mPlayHandles)
        slot = nullptr;
}

int mapi::closeModules()
{
    for (int i = 0; i < gmpMaxSongs; i++) {
        if (mPlayHandles[i] && !MIDASstopModule(i + 1))
            return mLastError;
    }
    // Modules the application did not free: their samples leave the device
    // before the device goes.
    while (!liveModules.empty()) {
        ModuleRecord *module = liveModules.last();
        int error = gmpFreeModule(module);
        if (error != errOK)
            return error;
        liveModules.remove(module);
    }
    return errOK;
}

Q5SOUND_API MIDASmodule MIDASloadModule(const char *fileName)
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
    error = gmpFindLoader(moduleHeader, sizeof moduleHeader)->load(fileName, 1, nullptr, &module);
    if (error != errOK) {
        mLastError = error;
        return nullptr;
    }
    liveModules.add(module);
    return module;
}

Q5SOUND_API MIDASmodulePlayHandle MIDASplayModule(MIDASmodule module, int loopSong)
{
    return MIDASplayModuleSection(module, -1, -1, -1, loopSong);
}

Q5SOUND_API
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

Q5SOUND_API int MIDASstopModule(MIDASmodulePlayHandle playHandle)
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
    if (playModuleOpenChannels && !mapi::channelsInUse()) {
        playModuleOpenChannels = 0;
        if (!MIDAScloseChannels())
            return 0;
    }
    return 1;
}

Q5SOUND_API int MIDASfreeModule(MIDASmodule module)
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

Q5SOUND_API int MIDASgetPlayStatus(MIDASmodulePlayHandle playHandle, PlayStatus *status)
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

Q5SOUND_API int MIDASsetPosition(MIDASmodulePlayHandle playHandle, int newPosition)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpSetPosition(song->playHandle, newPosition);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASsetMusicVolume(MIDASmodulePlayHandle playHandle, unsigned volume)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpSetMasterVolume(song->playHandle, volume);
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API
int MIDASfadeMusicChannel(MIDASmodulePlayHandle playHandle, unsigned channel, unsigned fade)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpFadeChannel(song->playHandle, channel, uint8_t(fade));
    return error == errOK ? 1 : fail(error);
}

Q5SOUND_API int MIDASgetModuleInfo(MIDASmodule module, ModuleInfo *info)
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

Q5SOUND_API int MIDASgetInstrumentInfo(MIDASmodule module, int instNum, InstrumentInfo *info)
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

Q5SOUND_API
int MIDASsetMusicSyncCallback(MIDASmodulePlayHandle playHandle, MIDASsyncCallback callback)
{
    PollLock lock;
    SongSlot *song = slotOf(playHandle);
    if (!song)
        return fail(errNoModulePlaying);
    int error = gmpSetSyncCallback(song->playHandle, callback);
    return error == errOK ? 1 : fail(error);
}
