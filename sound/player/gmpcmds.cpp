// Command handlers and their tables. Each handler acts on gmpChan of
// gmpHandle and returns an error code. "Row" handlers read the info byte as
// written in the row instead of their argument.
#include "sound/api/errors.h"
#include "sound/player/gmpintern.h"
#include "sound/player/gmplayer.h"

static int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
static int hi4(int arg) { return (arg >> 4) & 15; }
static int lo4(int arg) { return arg & 15; }
static bool isTick0() { return gmpHandle->tick == 0; }
static bool stIT() { return gmpPlayMode == gmpST3 || gmpPlayMode == gmpIT; }

static int gmpCmdEmpty(int) { return errOK; }

// ---------------------------------------------------------------------------
// Volume.

static int gmpCmdSetVolume(int) { return gmpSetVolume(gmpChan->info); }

// ST3/IT slide rule shared by volume and global-volume slides: returns the
// change to apply on this tick (0 = none). Fine slides (x or y = 15) act on
// tick 0 only; normal slides on the other ticks, and also on tick 0 with
// fast (ST3.00) slides.
static int st3SlideAmount(int arg, bool fastSlides)
{
    int x = hi4(arg), y = lo4(arg);
    bool normalTick = !isTick0() || fastSlides;
    if (y == 15 && x != 0)
        return isTick0() ? x : 0;
    if (x == 15 && y != 0)
        return isTick0() ? -y : 0;
    if (y != 0)
        return normalTick ? -y : 0;
    return normalTick ? x : 0;
}

static int gmpCmdVolSlide(int arg)
{
    ChannelState *ch = gmpChan;
    if (stIT()) {
        bool fast = gmpPlayMode == gmpST3 && (gmpCurModule->flags & gmpST300Slides);
        return gmpSetVolume(ch->volume + st3SlideAmount(arg, fast));
    }
    if (gmpPlayMode == gmpFT2) {
        if (arg != 0)
            ch->lastVolSlide = static_cast<uint8_t>(arg);
        else
            arg = ch->lastVolSlide;
    }
    int x = hi4(arg), y = lo4(arg);
    return gmpSetVolume(x ? ch->volume + x : ch->volume - y);
}

static int gmpCmdFineVolSlideUp(int arg) { return gmpSetVolume(gmpChan->volume + arg); }
static int gmpCmdFineVolSlideDown(int arg) { return gmpSetVolume(gmpChan->volume - arg); }

static int gmpCmdSetMVolume(int)
{
    gmpHandle->globalVolume = static_cast<uint8_t>(gmpChan->info > 64 ? 64 : gmpChan->info);
    return errOK;
}

static int gmpCmdMVolSlide(int arg)
{
    PlayState *ps = gmpHandle;
    int g = ps->globalVolume;
    if (gmpPlayMode == gmpIT)
        g += st3SlideAmount(arg, false);
    else
        g += hi4(arg) ? hi4(arg) : -lo4(arg);
    ps->globalVolume = static_cast<uint8_t>(clampInt(g, 0, 64));
    return errOK;
}

// IT channel volume: Mxx sets it (above 64 is ignored), Nxy slides it by
// the volume-slide rules.
static int gmpCmdChanVolume(int)
{
    if (gmpChan->info <= 64)
        gmpChan->chanVolume = gmpChan->info;
    return errOK;
}

static int gmpCmdChanVolSlide(int arg)
{
    int change = st3SlideAmount(arg, false);
    if (change != 0)
        gmpChan->chanVolume = static_cast<uint8_t>(clampInt(gmpChan->chanVolume + change, 0, 64));
    return errOK;
}

// Tremolo: the vibrato wave on the volume of this tick, from the second tick
// of the row on; the row's volume stays. Speed and depth are remembered
// apart, as the vibrato's are. A full swing at depth 15 is about +-60.
static int gmpCmdTremolo(int)
{
    ChannelState *ch = gmpChan;
    int value = ch->info;
    if (lo4(value))
        ch->tremDepth = static_cast<uint8_t>(lo4(value));
    if (hi4(value))
        ch->tremSpeed = static_cast<uint8_t>(hi4(value));
    int d = (ptVibratoTable[ch->tremPos & 31] * ch->tremDepth) >> 6;
    int v = ch->volume;
    CHECK(gmpChangeVolume(ch->tremPos & 32 ? v - d : v + d));
    ch->tremPos = static_cast<uint8_t>(ch->tremPos + ch->tremSpeed);
    return errOK;
}

static int gmpCmdNoteCut(int)
{
    if (gmpChan->info == gmpHandle->tick)
        return gmpSetVolume(0);
    return errOK;
}

// ---------------------------------------------------------------------------
// Pitch.

static int slide(int arg, int direction)
{
    ChannelState *ch = gmpChan;
    if (ch->period == 0)
        return errOK;
    int amount;
    if (stIT()) {
        if (arg >= 0xF0)
            amount = isTick0() ? lo4(arg) << gmpHandle->periodShift : 0;
        else if (arg >= 0xE0)
            amount = isTick0() ? lo4(arg) : 0;
        else
            amount = isTick0() ? 0 : arg << gmpHandle->periodShift;
    } else {
        amount = arg << gmpHandle->periodShift;
    }
    if (amount == 0)
        return errOK;
    return gmpSetPeriod(static_cast<int>(ch->period) + direction * amount);
}

static int gmpCmdSlideUp(int arg) { return slide(arg, -1); }
static int gmpCmdSlideDown(int arg) { return slide(arg, 1); }

static int fineSlide(int amount)
{
    if (gmpChan->period == 0)
        return errOK;
    return gmpSetPeriod(static_cast<int>(gmpChan->period) + amount);
}

static int gmpCmdFineSlideUp(int arg) { return fineSlide(-(arg << gmpHandle->periodShift)); }
static int gmpCmdFineSlideDown(int arg) { return fineSlide(arg << gmpHandle->periodShift); }
static int gmpCmdExtraFineSlideUp(int arg) { return fineSlide(-arg); }
static int gmpCmdExtraFineSlideDown(int arg) { return fineSlide(arg); }

static int gmpCmdSetTonePorta(int)
{
    ChannelState *ch = gmpChan;
    if (!(ch->rowFlags & gmpRowNote) || ch->note >= gmpNoteCut || gmpCurSample() == nullptr)
        return errOK;
    int period;
    CHECK(gmpNotePeriod(ch->note, &period));
    if (period != 0)
        ch->portaTarget = static_cast<uint32_t>(period);
    ch->rowFlags &= static_cast<uint8_t>(~gmpRowNote);
    return errOK;
}

static int tonePortamento(int speed)
{
    ChannelState *ch = gmpChan;
    if (gmpPlayMode == gmpST3 && ch->portaTarget == 0)
        return errOK;
    if (speed != 0)
        ch->portaSpeed = static_cast<uint8_t>(speed);
    if (ch->portaTarget == 0 || ch->portaTarget == ch->period || ch->period == 0)
        return errOK;
    int step = ch->portaSpeed << gmpHandle->periodShift;
    int p = static_cast<int>(ch->period), target = static_cast<int>(ch->portaTarget);
    if (p < target)
        p = p + step > target ? target : p + step;
    else
        p = p - target <= step ? target : p - step;
    return gmpSetPeriod(p);
}

static int gmpCmdTonePortamento(int) { return tonePortamento(gmpChan->info); }

static int gmpCmdTPortVSlide(int arg)
{
    CHECK(gmpCmdVolSlide(arg));
    return tonePortamento(0);
}

static int vibrato(int value)
{
    ChannelState *ch = gmpChan;
    if (lo4(value))
        ch->vibDepth = static_cast<uint8_t>(lo4(value));
    if (hi4(value))
        ch->vibSpeed = static_cast<uint8_t>(hi4(value));
    int d = (ptVibratoTable[ch->vibPos & 31] * ch->vibDepth) >> (7 - gmpHandle->periodShift);
    int p = static_cast<int>(ch->period);
    CHECK(gmpChangePeriod(ch->vibPos & 32 ? p - d : p + d));
    ch->vibPos = static_cast<uint8_t>(ch->vibPos + ch->vibSpeed);
    return errOK;
}

static int gmpCmdVibrato(int) { return vibrato(gmpChan->info); }

static int gmpCmdVibVSlide(int arg)
{
    CHECK(gmpCmdVolSlide(arg));
    return vibrato(0);
}

static int gmpCmdArpeggio(int arg)
{
    ChannelState *ch = gmpChan;
    if (gmpCurSample() == nullptr || ch->note >= gmpNoteCut)
        return errOK;
    int semitone = ch->note & 15, octave = ch->note >> 4;
    switch (gmpHandle->tick % 3) {
    case 1: semitone += hi4(arg); break;
    case 2: semitone += lo4(arg); break;
    default: break;
    }
    // Up to 15 + 15 semitones: carry every whole octave, not just one.
    octave += semitone / 12;
    semitone %= 12;
    if (gmpPlayMode == gmpPT && !(gmpCurModule->flags & gmpExtOctaves) && octave > 3)
        octave -= 3;
    if (octave > 15)
        octave = 15;
    int period;
    CHECK(gmpNotePeriod(octave * 16 + semitone, &period));
    return gmpChangePeriod(period);
}

// ---------------------------------------------------------------------------
// Panning.

static int gmpCmdSetPanning(int) { return gmpSetPanning(gmpChan->info); }

static int gmpCmdSetPanning16(int)
{
    int info = gmpChan->info & 15;
    int p = 8 * info;
    if (info == 7 || info == 8)
        p = 64;
    else if (info > 8)
        p = 8 * info + 8;
    if (gmpPlayMode == gmpIT)
        p /= 2;
    return gmpSetPanning(p);
}

static int gmpCmdPanSlide(int arg)
{
    ChannelState *ch = gmpChan;
    int x = hi4(arg), y = lo4(arg);
    if (gmpPlayMode != gmpIT) {
        if (isTick0())
            return errOK;
        return gmpSetPanning(x ? ch->pan + x : ch->pan - y);
    }
    int change = 0;
    if (y == 15 && x != 0)
        change = isTick0() ? -x : 0;
    else if (y != 0 && x != 15)
        change = isTick0() ? 0 : y;
    else if (y != 0)
        change = isTick0() ? y : 0;
    else
        change = isTick0() ? 0 : -x;
    if (change == 0)
        return errOK;
    return gmpSetPanning(ch->pan + change);
}

// ---------------------------------------------------------------------------
// Song flow.

static int gmpCmdSetSpeed(int)
{
    PlayState *ps = gmpHandle;
    int info = gmpChan->info;
    if (info != 0) {
        ps->speed = info;
        return errOK;
    }
    // ST3 ignores speed 0, and so do the players MOD songs are heard with
    // today (they keep the speed and play on).
    if (gmpPlayMode == gmpST3 || gmpPlayMode == gmpPT)
        return errOK;
    // Speed 0 restarts the song (and counts as a loop of it).
    ps->row = 0;
    ps->rowPtr = nullptr;
    return gmpSettlePosition(true);
}

static int gmpCmdSetTempo(int)
{
    if (gmpChan->info < 32)
        return errOK;
    return gmpSetTempo(gmpChan->info);
}

// IT T0x / T1x: the tempo slides down / up by x on every tick after the
// first, within 32..255; T00 repeats the last slide.
static int gmpCmdTempoSlide(int arg)
{
    if (gmpChan->info >= 32 || arg >= 32)
        return errOK;
    int x = lo4(arg);
    int tempo = hi4(arg) ? gmpTempo + x : gmpTempo - x;
    tempo = clampInt(tempo, 32, 255);
    if (tempo == gmpTempo)
        return errOK;
    return gmpSetTempo(tempo);
}

static int gmpCmdPositionJump(int)
{
    PlayState *ps = gmpHandle;
    int target = gmpChan->info;
    bool wrapped = false;
    if (target > ps->songEnd) {
        wrapped = true;
    } else if (target <= ps->position) {
        ps->songLoopCount++;
    }
    ps->position = target;
    ps->row = 0;
    ps->rowPtr = nullptr;
    if (gmpPlayMode == gmpST3)
        ps->loopRow = 0;
    return gmpSettlePosition(wrapped);
}

static int gmpCmdPatternBreak(int arg)
{
    PlayState *ps = gmpHandle;
    if (ps->rowPtr != nullptr)
        CHECK(gmpNextPosition());
    int info = gmpChan->info;
    int row;
    int lastRow = static_cast<int>(gmpCurModule->patterns[ps->pattern]->rows) - 1;
    switch (gmpPlayMode) {
    case gmpFT2:
        row = hi4(arg) * 10 + lo4(arg);
        row = row > lastRow ? lastRow : row;
        break;
    case gmpIT: row = info > lastRow ? lastRow : info; break;
    default:
        // Past the pattern's end the row lookup starts the pattern from 0.
        row = hi4(info) * 10 + lo4(info);
        if (row >= 100)
            row = 63;
        break;
    }
    ps->row = row;
    return errOK;
}

static int gmpCmdPatternLoop(int)
{
    PlayState *ps = gmpHandle;
    ChannelState *ch = gmpChan;
    bool songWide = stIT();
    uint8_t &loopRow = songWide ? ps->loopRow : ch->chanLoopRow;
    uint8_t &loopCount = songWide ? ps->loopCount : ch->chanLoopCount;
    int info = ch->info & 15;
    if (info == 0) {
        loopRow = static_cast<uint8_t>(ps->row);
        return errOK;
    }
    if (loopCount == 0) {
        loopCount = static_cast<uint8_t>(info);
    } else if (--loopCount == 0) {
        return errOK;
    }
    ps->row = loopRow;
    ps->rowPtr = nullptr;
    return errOK;
}

static int gmpCmdPatternDelay(int)
{
    if (gmpHandle->patternDelay == 0)
        gmpHandle->patternDelay = gmpChan->info;
    return errOK;
}

static int gmpCmdMusicSync(int)
{
    PlayState *ps = gmpHandle;
    ps->syncInfo = gmpChan->info;
    if (ps->syncCallback)
        ps->syncCallback(gmpChan->info, static_cast<unsigned>(ps->position),
                         static_cast<unsigned>(ps->row));
    return errOK;
}

// ---------------------------------------------------------------------------
// Notes.

static int gmpCmdSampleOffset(int)
{
    ChannelState *ch = gmpChan;
    if (ch->info != 0)
        ch->offsetMemory = ch->info;
    int off = ch->offsetMemory * 256;
    if (!(ch->rowFlags & gmpRowNote))
        return errOK;
    if (gmpPlayMode == gmpFT2)
        ch->sampleOffset = off;
    else
        ch->sampleOffset += off;
    CHECK(gmpNewNote());
    if (gmpPlayMode == gmpPT)
        ch->sampleOffset += off;
    return errOK;
}

static int gmpCmdSetRetrig(int)
{
    gmpChan->retrigCount = 1;
    return errOK;
}

static int gmpCmdRetrigNote(int arg)
{
    ChannelState *ch = gmpChan;
    if (gmpPlayMode == gmpST3)
        ch->info = static_cast<uint8_t>(arg);
    if (ch->info != 0 && ch->retrigCount >= lo4(ch->info)) {
        CHECK(gmpStartPosition(ch->sampleOffset));
        ch->retrigCount = 0;
    }
    ch->retrigCount++;
    return errOK;
}

static int gmpCmdS3MRetrig(int arg)
{
    ChannelState *ch = gmpChan;
    if (ch->retrigCount >= lo4(arg)) {
        CHECK(gmpStartPosition(ch->sampleOffset));
        ch->retrigCount = 0;
        int x = hi4(arg);
        if (retrigTable1[x] != 0)
            gmpSetVolume((ch->volume * retrigTable1[x]) >> 4);
        else
            gmpSetVolume(ch->volume + retrigTable2[x]);
    }
    ch->retrigCount++;
    return errOK;
}

static int gmpCmdSetNoteDelay(int)
{
    ChannelState *ch = gmpChan;
    if (ch->info != 0 && (ch->rowFlags & gmpRowNote)) {
        ch->rowFlags |= gmpRowNoteDelayed;
        ch->rowFlags &= static_cast<uint8_t>(~gmpRowNote);
    } else {
        ch->rowFlags &= static_cast<uint8_t>(~gmpRowNoteDelayed);
    }
    return errOK;
}

static int gmpCmdNoteDelay(int)
{
    ChannelState *ch = gmpChan;
    if (ch->info != gmpHandle->tick || !(ch->rowFlags & gmpRowNoteDelayed))
        return errOK;
    ch->rowFlags &= static_cast<uint8_t>(~gmpRowNoteDelayed);
    if (gmpPlayMode == gmpFT2) {
        gmpRestartEnvelopes();
        ch->fadeOut = 65536;
        ch->autoVibPos = 0;
        ch->autoVibDepth = 0;
    }
    return gmpNewNote();
}

// ---------------------------------------------------------------------------
// Volume column (XM and IT values above 64).

int gmpSetVolCommand(int value)
{
    ChannelState *ch = gmpChan;
    int y = lo4(value);
    if (gmpPlayMode == gmpIT) {
        if (value >= 128 && value <= 192)
            return gmpSetPanning(value - 128);
        return errOK;
    }
    if (gmpPlayMode != gmpFT2)
        return errOK;
    switch (value & 0xF0) {
    case 0x80: return gmpSetVolume(ch->volume - y);
    case 0x90: return gmpSetVolume(ch->volume + y);
    case 0xA0: ch->vibSpeed = static_cast<uint8_t>(y); return errOK;
    case 0xC0: return gmpSetPanning(y * 17);
    case 0xF0: return gmpCmdSetTonePorta(0);
    default: return errOK;
    }
}

int gmpRunVolCommand(int value)
{
    ChannelState *ch = gmpChan;
    int y = lo4(value);
    if (gmpPlayMode != gmpFT2)
        return errOK;
    switch (value & 0xF0) {
    case 0x60: return gmpSetVolume(ch->volume - y);
    case 0x70: return gmpSetVolume(ch->volume + y);
    case 0xB0: return vibrato(y);
    case 0xD0: return gmpSetPanning(ch->pan - y);
    case 0xE0: return gmpSetPanning(ch->pan + y);
    case 0xF0: return tonePortamento(y * 16);
    default: return errOK;
    }
}

// ---------------------------------------------------------------------------
// Tables: one handler per command number, gmpCmdEmpty where nothing happens.

// The tables keep their rows of five or so handlers with the command numbers
// beside them.
// clang-format off
#define E gmpCmdEmpty

const gmpCommand gmpTick0CommandsPT[gmpNumCommands] = {
    E, E, E, E, gmpCmdSetTonePorta,                                      // 0-4
    E, gmpCmdSetTonePorta, E, E, gmpCmdSetPanning,                       // 5-9
    gmpCmdSampleOffset, E, gmpCmdPositionJump, gmpCmdSetVolume,          // 10-13
    gmpCmdPatternBreak, gmpCmdSetSpeed, gmpCmdSetTempo,                  // 14-16
    gmpCmdFineSlideUp, gmpCmdFineSlideDown, gmpCmdPatternLoop,           // 17-19
    gmpCmdSetPanning16, gmpCmdSetRetrig, gmpCmdFineVolSlideUp,           // 20-22
    gmpCmdFineVolSlideDown, gmpCmdNoteCut, gmpCmdSetNoteDelay,           // 23-25
    gmpCmdPatternDelay, E, E, E, gmpCmdMusicSync, E, E, E,               // 26-33
    E, E                                                                 // 34-35
};
const gmpCommand gmpContCommandsPT[gmpNumCommands] = {
    E, gmpCmdArpeggio, gmpCmdSlideUp, gmpCmdSlideDown, gmpCmdTonePortamento,  // 0-4
    gmpCmdVibrato, gmpCmdTPortVSlide, gmpCmdVibVSlide, gmpCmdTremolo, E,      // 5-9
    E, gmpCmdVolSlide, E, E, E, E, E, E, E, E, E,                             // 10-20
    gmpCmdRetrigNote, E, E, gmpCmdNoteCut, gmpCmdNoteDelay,                   // 21-25
    E, E, E, E, E, E, E, E,                                                   // 26-33
    E, E                                                                      // 34-35
};

const gmpCommand gmpTick0CommandsFT2[gmpNumCommands] = {
    E, E, E, E, gmpCmdSetTonePorta,                                      // 0-4
    E, gmpCmdSetTonePorta, E, E, gmpCmdSetPanning,                       // 5-9
    gmpCmdSampleOffset, E, gmpCmdPositionJump, gmpCmdSetVolume,          // 10-13
    gmpCmdPatternBreak, gmpCmdSetSpeed, gmpCmdSetTempo,                  // 14-16
    gmpCmdFineSlideUp, gmpCmdFineSlideDown, gmpCmdPatternLoop,           // 17-19
    gmpCmdSetPanning16, gmpCmdSetRetrig, gmpCmdFineVolSlideUp,           // 20-22
    gmpCmdFineVolSlideDown, gmpCmdNoteCut, gmpCmdSetNoteDelay,           // 23-25
    gmpCmdPatternDelay, gmpCmdSetMVolume, E, gmpCmdSetRetrig,            // 26-29
    gmpCmdMusicSync, gmpCmdExtraFineSlideUp, gmpCmdExtraFineSlideDown, E, // 30-33
    E, E                                                                  // 34-35
};
const gmpCommand gmpContCommandsFT2[gmpNumCommands] = {
    E, gmpCmdArpeggio, gmpCmdSlideUp, gmpCmdSlideDown, gmpCmdTonePortamento,  // 0-4
    gmpCmdVibrato, gmpCmdTPortVSlide, gmpCmdVibVSlide, gmpCmdTremolo, E,      // 5-9
    E, gmpCmdVolSlide, E, E, E, E, E, E, E, E, E,                             // 10-20
    gmpCmdRetrigNote, E, E, gmpCmdNoteCut, gmpCmdNoteDelay,                   // 21-25
    E, E, gmpCmdMVolSlide, gmpCmdS3MRetrig, E, E, E, gmpCmdPanSlide,          // 26-33
    E, E                                                                      // 34-35
};

const gmpCommand gmpTick0CommandsST3[gmpNumCommands] = {
    E, E, gmpCmdSlideUp, gmpCmdSlideDown, gmpCmdSetTonePorta,            // 0-4
    E, gmpCmdSetTonePorta, gmpCmdVibVSlide, E, gmpCmdSetPanning,         // 5-9
    gmpCmdSampleOffset, gmpCmdVolSlide, gmpCmdPositionJump,              // 10-12
    gmpCmdSetVolume, gmpCmdPatternBreak, gmpCmdSetSpeed, gmpCmdSetTempo, // 13-16
    gmpCmdFineSlideUp, gmpCmdFineSlideDown, gmpCmdPatternLoop,           // 17-19
    gmpCmdSetPanning16, gmpCmdSetRetrig, gmpCmdFineVolSlideUp,           // 20-22
    gmpCmdFineVolSlideDown, gmpCmdNoteCut, gmpCmdSetNoteDelay,           // 23-25
    gmpCmdPatternDelay, gmpCmdSetMVolume, E, gmpCmdSetRetrig,            // 26-29
    gmpCmdMusicSync, E, E, E,                                            // 30-33
    E, E                                                                 // 34-35
};
const gmpCommand gmpContCommandsST3[gmpNumCommands] = {
    E, gmpCmdArpeggio, gmpCmdSlideUp, gmpCmdSlideDown, gmpCmdTonePortamento,  // 0-4
    gmpCmdVibrato, gmpCmdTPortVSlide, gmpCmdVibVSlide, gmpCmdTremolo, E,      // 5-9
    E, gmpCmdVolSlide, E, E, E, E, E, E, E, E, E,                             // 10-20
    gmpCmdRetrigNote, E, E, gmpCmdNoteCut, gmpCmdNoteDelay,                   // 21-25
    E, E, E, gmpCmdS3MRetrig, E, E, E, E,                                     // 26-33
    E, E                                                                      // 34-35
};

const gmpCommand gmpTick0CommandsIT[gmpNumCommands] = {
    E, E, gmpCmdSlideUp, gmpCmdSlideDown, gmpCmdSetTonePorta,            // 0-4
    E, gmpCmdSetTonePorta, gmpCmdVibVSlide, E, gmpCmdSetPanning,         // 5-9
    gmpCmdSampleOffset, gmpCmdVolSlide, gmpCmdPositionJump,              // 10-12
    gmpCmdSetVolume, gmpCmdPatternBreak, gmpCmdSetSpeed, gmpCmdSetTempo, // 13-16
    gmpCmdFineSlideUp, gmpCmdFineSlideDown, gmpCmdPatternLoop,           // 17-19
    gmpCmdSetPanning16, gmpCmdSetRetrig, gmpCmdFineVolSlideUp,           // 20-22
    gmpCmdFineVolSlideDown, gmpCmdNoteCut, gmpCmdSetNoteDelay,           // 23-25
    gmpCmdPatternDelay, gmpCmdSetMVolume, E, gmpCmdSetRetrig,            // 26-29
    gmpCmdMusicSync, E, E, E,                                            // 30-33
    gmpCmdChanVolume, gmpCmdChanVolSlide                                 // 34-35
};
const gmpCommand gmpContCommandsIT[gmpNumCommands] = {
    E, gmpCmdArpeggio, gmpCmdSlideUp, gmpCmdSlideDown, gmpCmdTonePortamento,  // 0-4
    gmpCmdVibrato, gmpCmdTPortVSlide, gmpCmdVibVSlide, gmpCmdTremolo, E,      // 5-9
    E, gmpCmdVolSlide, E, E, E, E, gmpCmdTempoSlide, E, E, E, E,              // 10-20
    gmpCmdRetrigNote, E, E, gmpCmdNoteCut, gmpCmdNoteDelay,                   // 21-25
    E, E, E, gmpCmdS3MRetrig, E, E, E, gmpCmdPanSlide,                        // 26-33
    E, gmpCmdChanVolSlide                                                     // 34-35
};

#undef E
// clang-format on
