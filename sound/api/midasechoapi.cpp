// The public calls for echo effects and post-processors.
#include <cstddef>
#include <cstdint>

#include "sound/api/errors.h"
#include "sound/api/mapi.h"
#include "sound/api/mexport.h"
#include "sound/api/mglobals.h"
#include "sound/api/midasdll.h"
#include "sound/extras/mecho.h"
#include "sound/mixer/dsm.h"

using mapi::fail;
using mapi::PollLock;

namespace {

// Echo effects added and not removed; the stand-in handle of an effect the
// service did not build may stand here more than once.
mapi::LiveSet<void *> liveEchoes;
int numEchoEffects = 0;
// Post-processors linked into the mixer by MIDASaddPostProcessor.
mapi::LiveSet<MIDASpostProcessor *> livePostProcs;

const auto echoStandIn = reinterpret_cast<MIDASechoHandle>(uintptr_t(0x1742));

}  // namespace

int mapi::closeEchoes()
{
    int error = errOK;
    if (numEchoEffects) {
        error = mEchoClose();
        numEchoEffects = 0;
    }
    liveEchoes.clear();
    // The mixer's ring goes with the device; the records are the caller's.
    livePostProcs.clear();
    return error;
}

// The public records are the internal ones under the names an application
// sees; their layouts must match word for word.
static_assert(sizeof(MIDASecho) == sizeof(EchoTap));
static_assert(offsetof(MIDASecho, filterType) == offsetof(EchoTap, filterType));
static_assert(sizeof(MIDASechoSet) == sizeof(EchoSet));
static_assert(offsetof(MIDASechoSet, echoes) == offsetof(EchoSet, echoes));
static_assert(sizeof(MIDASpostProcessor) == sizeof(PostProcessor));
static_assert(offsetof(MIDASpostProcessor, intStereo) == offsetof(PostProcessor, intStereo));

Q5SOUND_API MIDASechoHandle MIDASaddEchoEffect(MIDASechoSet *echoSet)
{
    PollLock lock;
    if (!mapi::ready()) {
        fail(errSDFailure);
        return nullptr;
    }
    if (echoSet == nullptr) {
        fail(errInvalidArguments);
        return nullptr;
    }
    int error;
    if (numEchoEffects == 0 && (error = mEchoInit()) != errOK) {
        fail(error);
        return nullptr;
    }
    mEchoEffect *effect = nullptr;
    if ((error = mEchoAddEffect(reinterpret_cast<EchoSet *>(echoSet), &effect)) != errOK) {
        // A refused set counts for nothing: the first one leaves the
        // service closed again.
        if (numEchoEffects == 0)
            mEchoClose();
        fail(error);
        return nullptr;
    }
    numEchoEffects++;
    // A successful add never hands out 0, which means failure.
    MIDASechoHandle handle = effect ? static_cast<MIDASechoHandle>(effect) : echoStandIn;
    liveEchoes.add(handle);
    return handle;
}

Q5SOUND_API int MIDASremoveEchoEffect(MIDASechoHandle echoHandle)
{
    if (echoHandle == nullptr)
        return 1;
    PollLock lock;
    if (numEchoEffects == 0)
        return 1;
    if (!liveEchoes.has(echoHandle))
        return fail(errInvalidArguments);
    int error = errOK;
    // The stand-in for an effect that was never built has nothing to unlink.
    if (echoHandle != echoStandIn)
        error = mEchoRemoveEffect(static_cast<mEchoEffect *>(echoHandle));
    if (error != errOK)
        return fail(error);
    liveEchoes.remove(echoHandle);
    if (--numEchoEffects == 0 && (error = mEchoClose()) != errOK)
        return fail(error);
    return 1;
}

Q5SOUND_API
int MIDASaddPostProcessor(MIDASpostProcessor *postProc, unsigned procMode, void *userData)
{
    PollLock lock;
    if (!mapi::ready())
        return fail(errSDFailure);
    // Linking a record twice would tie the mixer's ring into a knot.
    if (postProc == nullptr || livePostProcs.has(postProc) ||
        (procMode != MIDAS_POST_PROC_FIRST && procMode != MIDAS_POST_PROC_LAST))
        return fail(errInvalidArguments);
    int error =
        dsmAddPostProcessor(reinterpret_cast<PostProcessor *>(postProc), int(procMode), userData);
    if (error != errOK)
        return fail(error);
    livePostProcs.add(postProc);
    return 1;
}

Q5SOUND_API int MIDASremovePostProcessor(MIDASpostProcessor *postProc)
{
    if (postProc == nullptr)
        return 1;
    PollLock lock;
    if (!livePostProcs.has(postProc))
        return fail(errInvalidArguments);
    int error = dsmRemovePostProcessor(reinterpret_cast<PostProcessor *>(postProc));
    if (error != errOK)
        return fail(error);
    livePostProcs.remove(postProc);
    return 1;
}
