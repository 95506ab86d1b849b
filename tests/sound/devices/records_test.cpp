// The device records slot by slot, against the table of the device
// interface: the words each device states and, in every other operation
// slot, the mixer function of that slot (a slot filled with a function of
// the same signature from the slot beside it would otherwise go unseen).
#include <gtest/gtest.h>

#include <cstring>

#include "sound/mixer/dsm.h"
#include "sound/mixer/dsmnsnd.h"
#include "sound/mixer/oss.h"

namespace {

using Op = void (*)();
template <typename F>
Op op(F f)
{
    return reinterpret_cast<Op>(f);
}

// The 39 operation slots in order; the device's own ones are passed in.
void expectSlots(const SoundDevice &d, Op detect, Op init, Op close, Op getMode, Op setUpdRate,
                 Op startPlay, Op play)
{
    const Op expected[] = {
        detect, init, close, op(dsmGetMixRate), getMode, op(dsmOpenChannels),
        op(dsmCloseChannels), op(dsmClearChannels), op(dsmMute), op(dsmPause),
        op(dsmSetMasterVolume), op(dsmGetMasterVolume), op(dsmSetAmplification),
        op(dsmGetAmplification), op(dsmPlaySound), op(dsmReleaseSound), op(dsmStopSound),
        op(dsmSetRate), op(dsmGetRate), op(dsmSetVolume), op(dsmGetVolume), op(dsmSetSample),
        op(dsmGetSample), op(dsmSetPosition), op(dsmGetPosition), op(dsmGetDirection),
        op(dsmSetPanning), op(dsmGetPanning), op(dsmMuteChannel), op(dsmAddSample),
        op(dsmRemoveSample), setUpdRate, startPlay, play, op(dsmStartStream), op(dsmStopStream),
        op(dsmSetLoopCallback), op(dsmSetStreamWritePosition), op(dsmPauseStream)};
    static_assert(sizeof expected / sizeof expected[0] == 39);
    Op actual[39];
    std::memcpy(actual, &d.Detect, sizeof actual);
    for (int i = 0; i < 39; i++)
        EXPECT_EQ(actual[i], expected[i]) << d.name << " slot " << 12 + i;
}

TEST(DeviceRecords, OssStatesItsWordsAndOperationsAndTheMixerFillsTheRest)
{
    EXPECT_EQ(OSS.playOncePerPoll, 0u);
    EXPECT_EQ(OSS.configFlags, 0x38u);
    EXPECT_EQ(OSS.port + OSS.irq + OSS.dma + OSS.numPortAddresses, 0u);
    EXPECT_EQ(OSS.card, 1u);
    EXPECT_EQ(OSS.numCardTypes, 1u);
    EXPECT_EQ(OSS.modes, 15u);
    EXPECT_STREQ(OSS.name, "Open Sound System Sound Device 1.1");
    EXPECT_STREQ(OSS.cardNames[0], "Open Sound System output");
    EXPECT_EQ(OSS.portAddresses, nullptr);
    expectSlots(OSS, op(ossDetect), op(ossInit), op(ossClose), op(ossGetMode), op(ossSetUpdRate),
                op(ossStartPlay), op(ossPlay));
}

TEST(DeviceRecords, SilentDeviceStatesItsWordsAndOperationsAndTheMixerFillsTheRest)
{
    EXPECT_EQ(MixNoSound.playOncePerPoll, 0u);
    EXPECT_EQ(MixNoSound.configFlags, 0x20u);
    EXPECT_EQ(MixNoSound.port + MixNoSound.irq + MixNoSound.dma + MixNoSound.numPortAddresses, 0u);
    EXPECT_EQ(MixNoSound.card, 1u);
    EXPECT_EQ(MixNoSound.numCardTypes, 1u);
    EXPECT_EQ(MixNoSound.modes, 9u);
    EXPECT_STREQ(MixNoSound.name, "Mixing No Sound Sound Device");
    EXPECT_STREQ(MixNoSound.cardNames[0], "No Sound");
    EXPECT_EQ(MixNoSound.portAddresses, nullptr);
    expectSlots(MixNoSound, op(nsndDetect), op(nsndInit), op(nsndClose), op(nsndGetMode),
                op(nsndSetUpdRate), op(nsndStartPlay), op(nsndPlay));
}

}  // namespace
