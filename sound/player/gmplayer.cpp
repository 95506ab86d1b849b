// The player engine: song registration, notes, periods, volumes, panning,
// envelopes and the per-tick output. Rows, song position and the tick are in
// gmprows.cpp; the command handlers in gmpcmds.cpp.
#include "sound/player/gmplayer.h"

#include <cstring>

#include "sound/api/errors.h"
#include "sound/api/mmem.h"
#include "sound/player/gmpintern.h"

SoundDevice *gmpSD = nullptr;
PlayState *playHandles[gmpMaxSongs];
gmpUpdRateHook SetUpdRate = nullptr;
int gmpTempo = 125;
int gmpNoPlay = 0;
PlayState *gmpHandle = nullptr;
ModuleRecord *gmpCurModule = nullptr;
int gmpPlayMode = 0;
ChannelState *gmpChan = nullptr;

static int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// ---------------------------------------------------------------------------
// Current instrument and sample of gmpChan.

InstrumentRecord *gmpInstrumentOf(int instrument)
{
    if (instrument < 0 || static_cast<unsigned>(instrument) >= gmpCurModule->numInsts ||
        gmpCurModule->instruments == nullptr)
        return nullptr;
    return gmpCurModule->instruments[instrument];
}

SampleRecord *gmpSampleOf(const InstrumentRecord *inst, unsigned sampleIndex)
{
    if (inst == nullptr || sampleIndex >= inst->numSamples)
        return nullptr;
    return inst->sampleList[sampleIndex];
}

SampleRecord *gmpCurSample(void)
{
    return gmpSampleOf(gmpInstrumentOf(gmpChan->instrument), gmpChan->sampleIndex);
}

// A note byte whose semitone nibble is 12..15 (or a semitone pushed past B by
// arpeggio) is carried into the octave, so that every table lookup below sees
// a semitone 0..11.
void gmpSplitNote(int note, int *octave, int *semitone)
{
    int s = note & 15;
    int o = (note >> 4) & 15;
    *octave = o + s / 12;
    *semitone = s % 12;
}

// ---------------------------------------------------------------------------
// Periods and rates.

// C-0 to B-0 in equal temperament, 1712 * 2^(-s/12), in 1/256 steps. The
// ST3 table rounds these to whole periods (A 1016 for 1017.96: 3 cents
// sharp); S3M files saved by Impulse Tracker play at the exact pitches.
static const int64_t periodsEqual256[12] = {438272, 413674, 390456, 368541, 347857, 328333,
                                            309905, 292511, 276094, 260598, 245972, 232167};

// The ST3/IT period of octave o, semitone s at middle-C rate baseTune, in
// 1/256 steps.
static int64_t st3Period256(int o, int s, int baseTune)
{
    int64_t scale = gmpPlayMode == gmpST3 ? 133808 : 267616;
    int64_t base = gmpPlayMode == gmpST3 && (gmpCurModule->flags & gmpEqualTempered)
                       ? periodsEqual256[s]
                       : static_cast<int64_t>(gmpPeriodsST3[s]) << 8;
    return ((base * scale) >> o) / baseTune;
}

// The period of a note in 1/256 steps. Only ST3 and IT periods have a
// fraction: the middle-C rate divides them.
static int notePeriod256(int note, int64_t *period256)
{
    int period;
    *period256 = 0;
    SampleRecord *smp = gmpCurSample();
    if ((gmpPlayMode == gmpST3 || gmpPlayMode == gmpIT) && smp != nullptr && note < gmpNoteCut &&
        smp->baseTune > 0) {
        int o, s;
        gmpSplitNote(note, &o, &s);
        if (o > 30)
            return errOK;
        *period256 = st3Period256(o, s, smp->baseTune);
        return errOK;
    }
    CHECK(gmpNotePeriod(note, &period));
    *period256 = static_cast<int64_t>(period) << 8;
    return errOK;
}

int gmpNotePeriod(int note, int *period)
{
    *period = 0;
    SampleRecord *smp = gmpCurSample();
    if (smp == nullptr || note >= gmpNoteCut)
        return errOK;
    int o, s;
    gmpSplitNote(note, &o, &s);
    switch (gmpPlayMode) {
    case gmpPT: {
        int fine = smp->fineTune & 15;
        *period = o > 30 ? 0 : gmpPeriodsPT[fine * 12 + s] >> o;
        break;
    }
    case gmpST3:
    case gmpIT: {
        // Middle-C rate 0 cannot be played; the note stays silent.
        if (smp->baseTune <= 0 || o > 30)
            return errOK;
        // 8363 * 16: ST3's middle C is C-4. IT numbers its octaves one
        // higher (middle C is C-5), so its scale is twice that; a power of
        // two in its place (2^18) would play every IT note 2 % sharp.
        if (gmpCurModule->flags & gmpEqualTempered) {
            *period = static_cast<int>(st3Period256(o, s, smp->baseTune) >> 8);
            break;
        }
        int64_t scale = gmpPlayMode == gmpST3 ? 133808 : 267616;
        int64_t p = (static_cast<int64_t>(gmpPeriodsST3[s]) * scale) >> o;
        *period = static_cast<int>(p / smp->baseTune);
        break;
    }
    case gmpFT2: {
        int n = clampInt(o * 12 + s + smp->baseTune, 0, 118);
        int fine = clampInt(smp->fineTune, -128, 127);
        if (gmpCurModule->flags & gmpLinearFreq) {
            *period = 7680 - fine / 2 - n * 64;
        } else {
            int sn = n % 12, on = n / 12;
            int q = fine / 16;  // -8..7
            int ia = 8 * sn + q + 8;
            int ib = fine >= 0 ? ia + 1 : ia - 1;
            // B with the highest finetune and C with the lowest would step one
            // entry past the table; the end entry stands in for the neighbour.
            ib = clampInt(ib, 0, 103);
            int a = gmpPeriodsFT2[ia], b = gmpPeriodsFT2[ib];
            int m = (fine < 0 ? -fine : fine) & 15;
            *period = ((m * b + (16 - m) * a) * 2) >> on;
        }
        break;
    }
    default: return errInvalidModule;
    }
    return errOK;
}

int gmpPeriodRate(int period, unsigned *rate)
{
    if (period <= 0)
        return errInvalidPatt;
    switch (gmpPlayMode) {
    case gmpPT: *rate = 3546895u / static_cast<unsigned>(period); break;
    case gmpFT2:
        if (gmpCurModule->flags & gmpLinearFreq) {
            int shift = period / 768;
            *rate = shift > 31 ? 0 : static_cast<unsigned>(gmpLinTable[period % 768]) >> shift;
        } else {
            *rate = 14317456u / static_cast<unsigned>(period);
        }
        break;
    default: *rate = 14317056u / static_cast<unsigned>(period); break;
    }
    return errOK;
}

// The rate of a period of gmpChan; the note's fraction counts while the
// period is the note's own.
static int channelRate(int period, unsigned *rate)
{
    ChannelState *ch = gmpChan;
    if (ch->periodFrac == 0 || period != static_cast<int>(ch->period) ||
        (gmpPlayMode != gmpST3 && gmpPlayMode != gmpIT))
        return gmpPeriodRate(period, rate);
    int64_t p256 = (static_cast<int64_t>(period) << 8) + ch->periodFrac;
    *rate = static_cast<unsigned>((int64_t{14317056} << 8) / p256);
    return errOK;
}

int gmpSetPeriod(int period)
{
    if (period == 0)
        return errOK;
    period = clampInt(period, gmpHandle->minPeriod, gmpHandle->maxPeriod);
    if (static_cast<uint32_t>(period) != gmpChan->period)
        gmpChan->periodFrac = 0;
    gmpChan->period = static_cast<uint32_t>(period);
    gmpChan->playPeriod = period;
    return errOK;
}

// A period of 0 means "no note yet": nothing to bend, and no rate should
// reach a channel that never started.
int gmpChangePeriod(int period)
{
    if (period == 0)
        return errOK;
    gmpChan->playPeriod = clampInt(period, gmpHandle->minPeriod, gmpHandle->maxPeriod);
    return errOK;
}

int gmpPlayNote(int period)
{
    unsigned rate;
    gmpChan->playPeriod = period;
    CHECK(channelRate(period, &rate));
    return gmpSD->PlaySound(gmpChan->sdChannel, rate);
}

// ---------------------------------------------------------------------------
// Volume and panning.

int gmpSetVolume(int volume)
{
    volume = clampInt(volume, 0, gmpHandle->maxVolume);
    gmpChan->volume = static_cast<uint8_t>(volume);
    gmpChan->playVolume = static_cast<uint8_t>(volume);
    return errOK;
}

int gmpChangeVolume(int volume)
{
    gmpChan->playVolume = static_cast<uint8_t>(clampInt(volume, 0, gmpHandle->maxVolume));
    return errOK;
}

int gmpSetPanning(int panning)
{
    switch (gmpPlayMode) {
    case gmpFT2:
        // 0..255; the device hears it with the next tick's output.
        gmpChan->pan = clampInt(panning, 0, 255);
        return errOK;
    case gmpIT:
        // 0..64; 100 is surround, which any other panning ends.
        if (panning == 100) {
            gmpChan->surround = 1;
            return gmpSD->SetPanning(gmpChan->sdChannel, panSurround);
        }
        gmpChan->surround = 0;
        gmpChan->pan = clampInt(panning, 0, 64);
        return gmpSD->SetPanning(gmpChan->sdChannel, 2 * gmpChan->pan - 64);
    default:
        // 0..128 with 64 = centre; 164 = surround. Stored in device scale.
        if (panning == 164) {
            gmpChan->pan = panSurround;
        } else {
            gmpChan->pan = clampInt(panning - 64, panLeft, panRight);
        }
        return gmpSD->SetPanning(gmpChan->sdChannel, gmpChan->pan);
    }
}

// ---------------------------------------------------------------------------
// Notes.

void gmpRestartEnvelopes(void)
{
    gmpChan->volEnvPos = 0;
    gmpChan->volEnvSustained = 0;
    gmpChan->panEnvPos = 0;
    gmpChan->panEnvSustained = 0;
    gmpChan->pitchEnvPos = 0;
    gmpChan->pitchEnvSustained = 0;
}

int gmpStartPosition(int offset)
{
    SampleRecord *smp = gmpCurSample();
    unsigned bytes = static_cast<unsigned>(offset);
    if (smp && smp->sampleType == smp16bitMono)
        bytes *= 2;  // the device takes byte offsets
    return gmpSD->SetPosition(gmpChan->sdChannel, bytes);
}

int gmpNewNote(void)
{
    ChannelState *ch = gmpChan;
    ch->vibPos = 0;
    ch->tremPos = 0;
    InstrumentRecord *inst = gmpInstrumentOf(ch->instrument);
    SampleRecord *smp = gmpSampleOf(inst, ch->sampleIndex);
    ch->rowFlags &= static_cast<uint8_t>(~gmpRowNote);
    if (inst == nullptr || smp == nullptr)
        return errOK;
    if (ch->note == gmpNoteNone)
        return errOK;
    if (ch->note == gmpNoteCut)
        return gmpSD->StopSound(ch->sdChannel);
    if (ch->note == gmpNoteKeyOff) {
        switch (gmpPlayMode) {
        case gmpST3: return gmpSD->StopSound(ch->sdChannel);
        case gmpPT: return gmpSD->ReleaseSound(ch->sdChannel);
        case gmpFT2:
            if ((inst->volEnvelope == nullptr || inst->volEnvelope->numPoints == 0) &&
                !(ch->rowFlags & gmpRowInstrument))
                gmpSetVolume(0);
            [[fallthrough]];
        default:
            ch->keyOff = 1;
            ch->volEnvSustained = 0;
            ch->panEnvSustained = 0;
            ch->pitchEnvSustained = 0;
            // An IT sample's sustain loop is the device's first loop (see
            // loadit): the release moves it on to the normal loop, or to
            // the end of the sample, as the key-off does in IT.
            if (gmpPlayMode == gmpIT)
                return gmpSD->ReleaseSound(ch->sdChannel);
            return errOK;
        }
    }
    int64_t period256;
    ch->lastNote = ch->note;
    CHECK(notePeriod256(ch->note, &period256));
    int period = static_cast<int>(period256 >> 8);
    if (period == 0)
        return errOK;
    ch->period = static_cast<uint32_t>(period);
    ch->periodFrac = static_cast<uint8_t>(period256 & 255);
    CHECK(gmpPlayNote(period));
    if (ch->sampleOffset != 0)
        CHECK(gmpStartPosition(ch->sampleOffset));
    return errOK;
}

// ---------------------------------------------------------------------------
// IT new note actions: background channels.

// The sample a key plays on an IT instrument, or null.
static SampleRecord *keySample(const InstrumentRecord *inst, int note, int *playNote)
{
    int o, s;
    gmpSplitNote(note, &o, &s);
    int k = o * 12 + s;
    *playNote = note;
    if (inst == nullptr || k > 119)
        return nullptr;
    if (inst->noteSamples == nullptr)
        return gmpSampleOf(inst, 0);
    int n = inst->noteSamples[2 * k];
    if (n < 120)
        *playNote = (n / 12) * 16 + n % 12;
    return gmpSampleOf(inst, inst->noteSamples[2 * k + 1]);
}

// Ends the note of a background channel as a duplicate-check action says.
static int duplicateAction(ChannelState *bg, int action)
{
    switch (action) {
    case gmpDCACut: bg->busy = 0; return gmpSD->StopSound(bg->sdChannel);
    case gmpDCANoteOff:
        bg->keyOff = 1;
        bg->volEnvSustained = bg->panEnvSustained = bg->pitchEnvSustained = 0;
        return gmpSD->ReleaseSound(bg->sdChannel);
    default: bg->fading = 1; return errOK;
    }
}

int gmpNewNoteAction(void)
{
    PlayState *ps = gmpHandle;
    ChannelState *ch = gmpChan;
    if (gmpPlayMode != gmpIT || !(gmpCurModule->flags & gmpInstruments) ||
        ps->numChannels <= ps->numTracks || ch->background)
        return errOK;
    int owner = static_cast<int>(ch - ps->channels);
    int newInst = (ch->rowFlags & gmpRowInstrument) ? ch->newInstrument : ch->instrument;
    InstrumentRecord *next = gmpInstrumentOf(newInst);
    int newNote;
    SampleRecord *newSmp = keySample(next, ch->note, &newNote);

    // The sounding note goes to a background channel unless its action is
    // a cut: a free one, else the quietest.
    InstrumentRecord *cur = gmpInstrumentOf(ch->instrument);
    if (cur != nullptr && cur->newNoteAction != gmpNNACut && ch->period != 0 &&
        ch->finalVolume > 0) {
        ChannelState *bg = nullptr;
        for (int c = ps->numTracks; c < ps->numChannels; c++) {
            ChannelState *b = &ps->channels[c];
            if (!b->busy) {
                bg = b;
                break;
            }
            if (bg == nullptr || b->finalVolume < bg->finalVolume)
                bg = b;
        }
        if (bg->busy)
            CHECK(gmpSD->StopSound(bg->sdChannel));
        uint8_t freeChannel = bg->sdChannel;
        *bg = *ch;
        bg->background = 1;
        bg->busy = 1;
        bg->owner = owner;
        bg->rowFlags = 0;
        ch->sdChannel = freeChannel;
        switch (cur->newNoteAction) {
        case gmpNNANoteOff: CHECK(duplicateAction(bg, gmpDCANoteOff)); break;
        case gmpNNANoteFade: bg->fading = 1; break;
        default: break;
        }
    }

    // Duplicate check: earlier notes of this channel on the same instrument
    // that match the new note's key, sample or instrument end.
    if (next == nullptr || next->dupCheckType == gmpDCTOff)
        return errOK;
    for (int c = ps->numTracks; c < ps->numChannels; c++) {
        ChannelState *b = &ps->channels[c];
        if (!b->busy || b->owner != owner || b->instrument != newInst)
            continue;
        bool duplicate;
        switch (next->dupCheckType) {
        case gmpDCTNote: duplicate = b->lastNote == newNote; break;
        case gmpDCTSample:
            duplicate = gmpSampleOf(gmpInstrumentOf(b->instrument), b->sampleIndex) == newSmp;
            break;
        default: duplicate = true; break;
        }
        if (duplicate)
            CHECK(duplicateAction(b, next->dupCheckAction));
    }
    return errOK;
}

// ---------------------------------------------------------------------------
// Envelopes.

int gmpCalcEnvelope(const EnvelopeRecord *env, int *pos, uint8_t *sustained, int *value)
{
    int n = env->numPoints > int{gmpEnvPoints} ? int{gmpEnvPoints} : int{env->numPoints};
    *value = 0;
    if (n == 0)
        return errOK;
    const EnvelopePoint *pt = env->points;
    int p = *pos;

    int k = 0;
    while (k < n && pt[k].pos < p)
        k++;
    if (k == n)
        k = n - 1;
    if (p == pt[k].pos || k == 0 || p > pt[k].pos || pt[k].pos <= pt[k - 1].pos) {
        // On a point, before the first one (an envelope need not start at
        // tick 0), after the last, or between points out of order: no slope.
        *value = pt[k].value * 256;
    } else {
        int dx = pt[k].pos - pt[k - 1].pos;
        int slope = (pt[k].value - pt[k - 1].value) * 256 / dx;  // 8.8 per tick
        *value = pt[k - 1].value * 256 + slope * (p - pt[k - 1].pos);
    }

    bool hasSus = env->susPoint < n;
    if (hasSus && !gmpChan->keyOff && p == pt[env->susPoint].pos)
        *sustained = 1;
    if (*sustained)
        return errOK;

    if (p < pt[n - 1].pos)
        p++;
    if (env->loopStart < n && env->loopEnd < n && p == pt[env->loopEnd].pos)
        p = pt[env->loopStart].pos;
    if (!gmpChan->keyOff) {
        if (env->susLoopStart >= n || env->susLoopEnd >= n) {
            if (hasSus && p == pt[env->susPoint].pos)
                *sustained = 1;
        } else if (hasSus && p == pt[env->susLoopEnd].pos) {
            p = pt[env->susLoopStart].pos;
        }
    }
    *pos = p;
    return errOK;
}

// ---------------------------------------------------------------------------
// Per-tick output: volume, panning and rate of every channel.

static int autoVibrato(const InstrumentRecord *inst)
{
    ChannelState *ch = gmpChan;
    if (inst->vibDepth == 0 || ch->playPeriod == 0) {
        ch->finalPeriod = ch->playPeriod;
        return errOK;
    }
    int full = inst->vibDepth * 256;
    if (inst->vibSweep == 0) {
        ch->autoVibDepth = full;
    } else if (!ch->keyOff) {
        ch->autoVibDepth += full / inst->vibSweep;
        if (ch->autoVibDepth > full)
            ch->autoVibDepth = full;
    }
    ch->autoVibPos = static_cast<uint8_t>(ch->autoVibPos + inst->vibRate);
    int w;
    switch (inst->vibType) {
    case 1: w = ch->autoVibPos >= 128 ? 64 : -64; break;
    case 2: w = ch->autoVibPos / 2; break;
    case 3: w = ((64 - ch->autoVibPos / 2) & 127) - 64; break;
    default: w = ft2VibratoTable[ch->autoVibPos]; break;
    }
    ch->finalPeriod = clampInt(ch->playPeriod + ((w * ch->autoVibDepth) >> 14),
                               gmpHandle->minPeriod, gmpHandle->maxPeriod);
    return errOK;
}

// globalVolume, fade and masterVolume are each 0..64, so the product fits in
// 24 bits plus the volume; the rounding constant and the shift by 18 bring
// it back to 0..64.
static int mixVolume(int v)
{
    int64_t prod = static_cast<int64_t>(v) * clampInt(gmpHandle->globalVolume, 0, 64) *
                   clampInt(gmpChan->fade, 0, 64) * clampInt(gmpHandle->masterVolume, 0, 64);
    return clampInt(static_cast<int>((prod + 0x3FFFF) >> 18), 0, 64);
}

// IT pitch envelope: 32 is the note's own pitch, each step half a semitone,
// so a value of e (8.8) moves the period by 2^(-(e - 32 * 256) / (24 * 256)),
// in steps of 1/768 octave from the linear frequency table.
static int pitchEnvelopePeriod(int period, int envValue)
{
    int steps = (envValue - 32 * 256) / 8;  // 1/768 octave
    int octaves = steps >= 0 ? steps / 768 : -((-steps + 767) / 768);
    int rem = steps - octaves * 768;  // 0..767
    int64_t p = static_cast<int64_t>(period) * gmpLinTable[rem] / gmpLinTable[0];
    p = octaves >= 0 ? p >> octaves : p << -octaves;
    return clampInt(static_cast<int>(p > 0x7FFFFFFF ? 0x7FFFFFFF : p), gmpHandle->minPeriod,
                    gmpHandle->maxPeriod);
}

// The volume an IT channel sends: note volume, fade-out, envelope, sample,
// instrument and channel volume, then the song's global volume, the
// application's fade and the master volume, rounded once at the end.
static int itVolume(const InstrumentRecord *inst, const SampleRecord *smp, int envValue)
{
    const ChannelState *ch = gmpChan;
    int64_t x = static_cast<int64_t>(ch->playVolume) * clampInt(ch->fadeOut, 0, 512);  // 2^15
    x = (x * clampInt(envValue, 0, 64 * 256)) >> 14;
    x *= smp ? clampInt(static_cast<int>(smp->sampleGlobalVolume), 0, 64) : 64;
    x *= inst ? clampInt(static_cast<int>(inst->instGlobalVolume), 0, 64) : 64;
    x *= clampInt(ch->chanVolume, 0, 64);
    x *= clampInt(gmpHandle->globalVolume, 0, 64) * clampInt(ch->fade, 0, 64) *
         clampInt(gmpHandle->masterVolume, 0, 64);
    return clampInt(static_cast<int>((x + (int64_t{1} << 44)) >> 45), 0, 64);
}

static int outputIT(void)
{
    ChannelState *ch = gmpChan;
    InstrumentRecord *inst = gmpInstrumentOf(ch->instrument);
    SampleRecord *smp = gmpSampleOf(inst, ch->sampleIndex);
    int envValue = 64 * 256;
    if (inst) {
        if (ch->keyOff || ch->fading) {
            int drop = static_cast<int>(inst->volFadeout & 0xFFFF);
            ch->fadeOut = ch->fadeOut > drop ? ch->fadeOut - drop : 0;
        }
        if (inst->volEnvelope && inst->volEnvelope->numPoints)
            CHECK(gmpCalcEnvelope(inst->volEnvelope, &ch->volEnvPos, &ch->volEnvSustained,
                                  &envValue));
    }
    ch->finalVolume = static_cast<uint8_t>(itVolume(inst, smp, envValue));
    CHECK(gmpSD->SetVolume(ch->sdChannel, ch->finalVolume));

    int h = ch->pan;
    if (inst && inst->panEnvelope && inst->panEnvelope->numPoints) {
        // The envelope is 0..64 around 32; it moves the 0..64 panning.
        CHECK(gmpCalcEnvelope(inst->panEnvelope, &ch->panEnvPos, &ch->panEnvSustained, &envValue));
        h += (envValue >> 8) - 32;
    }
    h = clampInt(h, 0, 64);
    CHECK(gmpSD->SetPanning(ch->sdChannel, ch->surround ? int{panSurround} : 2 * h - 64));

    ch->finalPeriod = ch->playPeriod;
    if (inst && inst->pitchEnvelope && inst->pitchEnvelope->numPoints && ch->playPeriod != 0) {
        CHECK(gmpCalcEnvelope(inst->pitchEnvelope, &ch->pitchEnvPos, &ch->pitchEnvSustained,
                              &envValue));
        ch->finalPeriod = pitchEnvelopePeriod(ch->playPeriod, envValue);
    }
    return errOK;
}

static int outputXM(void)
{
    ChannelState *ch = gmpChan;
    InstrumentRecord *inst = gmpInstrumentOf(ch->instrument);
    int v;
    int envValue;
    v = static_cast<int>((static_cast<int64_t>(ch->playVolume) * ch->fadeOut) >> 16);
    if (inst) {
        if (ch->keyOff) {
            int drop = 2 * static_cast<int>(inst->volFadeout & 0xFFFF);
            ch->fadeOut = ch->fadeOut > drop ? ch->fadeOut - drop : 0;
        }
        if (inst->volEnvelope && inst->volEnvelope->numPoints) {
            CHECK(gmpCalcEnvelope(inst->volEnvelope, &ch->volEnvPos, &ch->volEnvSustained,
                                  &envValue));
            v = clampInt((v * envValue) >> 14, 0, 64);
        }
    }
    v = clampInt(v, 0, 64);
    ch->finalVolume = static_cast<uint8_t>(mixVolume(v));
    CHECK(gmpSD->SetVolume(ch->sdChannel, ch->finalVolume));

    int h = ch->pan;
    bool hasPanEnv = inst && inst->panEnvelope && inst->panEnvelope->numPoints;
    if (hasPanEnv)
        CHECK(gmpCalcEnvelope(inst->panEnvelope, &ch->panEnvPos, &ch->panEnvSustained, &envValue));
    if (hasPanEnv) {
        int e = envValue / 256 - 32;
        h += (h < 128 ? h * e : e * (256 - h)) / 32;
        h = clampInt(h, 0, 255);
    }
    CHECK(gmpSD->SetPanning(ch->sdChannel, clampInt((h - 128) / 2, -64, 64)));
    if (inst == nullptr) {
        ch->finalPeriod = ch->playPeriod;
        return errOK;
    }
    return autoVibrato(inst);
}

int gmpRunEnvelopes(void)
{
    for (int c = 0; c < gmpHandle->numChannels; c++) {
        gmpChan = &gmpHandle->channels[c];
        ChannelState *ch = gmpChan;
        if (gmpPlayMode == gmpIT) {
            if (ch->background && !ch->busy)
                continue;
            CHECK(outputIT());
            // A released note in the background that has faded out frees
            // its channel.
            if (ch->background && (ch->keyOff || ch->fading) && ch->finalVolume == 0) {
                ch->busy = 0;
                CHECK(gmpSD->StopSound(ch->sdChannel));
                continue;
            }
        } else if (gmpPlayMode == gmpFT2) {
            CHECK(outputXM());
        } else {
            ch->finalVolume = static_cast<uint8_t>(mixVolume(ch->playVolume));
            CHECK(gmpSD->SetVolume(ch->sdChannel, ch->finalVolume));
            ch->finalPeriod = ch->playPeriod;
        }
        if (ch->finalPeriod != 0) {
            unsigned rate;
            CHECK(channelRate(ch->finalPeriod, &rate));
            CHECK(gmpSD->SetRate(ch->sdChannel, rate));
        }
    }
    return errOK;
}

// ---------------------------------------------------------------------------
// Songs.

int gmpInit(SoundDevice *sd)
{
    gmpSD = sd;
    for (auto &h : playHandles)
        h = nullptr;
    SetUpdRate = nullptr;
    gmpNoPlay = 0;
    return gmpSetTempo(125);
}

int gmpClose(void)
{
    for (auto &h : playHandles)
        if (h != nullptr)
            CHECK(gmpStopSong(h));
    return errOK;
}

int gmpSetUpdRateFunct(gmpUpdRateHook hook)
{
    SetUpdRate = hook;
    if (hook != nullptr)
        hook(static_cast<unsigned>(gmpTempo * 40));
    return errOK;
}

int gmpSetTempo(int tempo)
{
    if (tempo <= 0)
        return errOK;
    gmpTempo = tempo;
    if (gmpSD != nullptr)
        CHECK(gmpSD->SetUpdRate(static_cast<unsigned>(tempo * 40)));
    if (SetUpdRate != nullptr)
        SetUpdRate(static_cast<unsigned>(tempo * 40));
    return errOK;
}

static void setLimits(PlayState *ps, const ModuleRecord *m)
{
    switch (m->playMode) {
    case gmpPT: {
        bool ext = m->flags & gmpExtOctaves;
        ps->minPeriod = ext ? 28 : 113;
        ps->maxPeriod = ext ? 1712 : 856;
        ps->maxVolume = 64;
        ps->periodShift = 0;
        break;
    }
    case gmpST3: {
        bool amiga = m->flags & gmpAmigaLimits;
        ps->minPeriod = amiga ? 452 : 64;
        ps->maxPeriod = amiga ? 3424 : 32767;
        ps->maxVolume = 63;
        ps->periodShift = 2;
        break;
    }
    case gmpFT2:
        ps->minPeriod = 57;
        ps->maxPeriod = 54784;
        ps->maxVolume = 64;
        ps->periodShift = 2;
        break;
    default:
        ps->minPeriod = 64;
        ps->maxPeriod = 16777215;
        ps->maxVolume = 64;
        ps->periodShift = 2;
        break;
    }
}

static int freePlayState(PlayState *ps)
{
    if (ps->channels)
        memFree(ps->channels);
    if (ps->info)
        memFree(ps->info);
    playHandles[ps->index] = nullptr;
    return memFree(ps);
}

int gmpPlaySong(ModuleRecord *module, int startPos, int endPos, int restartPos, int loopSong,
                int numChannels, int *channels, PlayState **playState)
{
    if (module == nullptr || channels == nullptr || playState == nullptr)
        return errInvalidArguments;
    if (module->playMode < gmpPT || module->playMode > gmpIT || module->songLength <= 0 ||
        module->orders == nullptr || module->patterns == nullptr || module->numPatts == 0)
        return errInvalidModule;
    if (numChannels == -1)
        numChannels = module->numChans;
    if (numChannels <= 0 || numChannels > 256)
        return errInvalidArguments;
    int slot = -1;
    for (int i = gmpMaxSongs - 1; i >= 0; i--) {
        if (playHandles[i] == nullptr) {
            slot = i;
            break;
        }
    }
    if (slot < 0)
        return errOutOfResources;

    gmpNoPlay = 1;
    PlayState *ps;
    int error = memAlloc(sizeof(PlayState), reinterpret_cast<void **>(&ps));
    if (error) {
        gmpNoPlay = 0;
        return error;
    }
    std::memset(ps, 0, sizeof *ps);
    ps->index = slot;
    ps->module = module;
    playHandles[slot] = ps;
    int chanBytes = numChannels * static_cast<int>(sizeof(ChannelState));
    if ((error = memAlloc(chanBytes, reinterpret_cast<void **>(&ps->channels))) != errOK ||
        (error = memAlloc(sizeof(PlayInfo), reinterpret_cast<void **>(&ps->info))) != errOK) {
        freePlayState(ps);
        gmpNoPlay = 0;
        return error;
    }
    std::memset(ps->channels, 0, static_cast<size_t>(chanBytes));
    std::memset(ps->info, 0, sizeof(PlayInfo));
    ps->numChannels = numChannels;
    // The module's last numBgChans channels take released notes (IT).
    int tracks =
        module->numChans - (module->numBgChans < module->numChans ? module->numBgChans : 0);
    ps->numTracks = numChannels < tracks ? numChannels : tracks;
    if (ps->numTracks <= 0 || module->playMode != gmpIT)
        ps->numTracks = numChannels;
    ps->tempo = module->tempo;
    ps->speed = module->speed;
    ps->globalVolume = static_cast<uint8_t>(clampInt(module->masterVolume, 0, 64));
    ps->masterVolume = 64;
    ps->loopSong = loopSong;
    ps->syncInfo = -1;

    int last = module->songLength - 1;
    if (startPos == -1) {
        ps->position = 0;
        ps->songEnd = last;
        ps->restartPos = module->restart;
    } else {
        ps->position = startPos;
        ps->songEnd = endPos;
        ps->restartPos = restartPos;
    }
    // Positions outside the order list would index past it.
    if (ps->position < 0 || ps->position > last)
        ps->position = 0;
    if (ps->songEnd < 0 || ps->songEnd > last)
        ps->songEnd = last;
    if (ps->restartPos < 0 || ps->restartPos > last)
        ps->restartPos = 0;

    gmpHandle = ps;
    gmpCurModule = module;
    gmpPlayMode = module->playMode;
    setLimits(ps, module);
    if ((error = gmpSettlePosition(false)) != errOK || (error = gmpSetTempo(ps->tempo)) != errOK) {
        freePlayState(ps);
        gmpNoPlay = 0;
        return error;
    }
    // The first wrap found while settling on a playable start is not a loop.
    ps->songLoopCount = 0;

    int panEntries = module->playMode == gmpIT ? 64 : 32;
    for (int i = 0; i < numChannels; i++) {
        ChannelState *ch = &ps->channels[i];
        gmpChan = ch;
        ch->instrument = -1;
        ch->newInstrument = -1;
        ch->sampleIndex = 255;
        ch->note = gmpNoteNone;
        ch->lastNote = gmpNoteNone;
        ch->volume = 64;
        ch->playVolume = 64;
        ch->fade = 64;
        ch->sdChannel = static_cast<uint8_t>(channels[i]);
        ch->chanVolume = i < 64 ? module->chanVolume[i] : 64;
        if (i >= ps->numTracks) {
            ch->background = 1;
            ch->chanVolume = 64;
        }
        int pan = module->panning && i < panEntries ? module->panning[i]
                                                    : (module->playMode == gmpFT2  ? 128
                                                       : module->playMode == gmpIT ? 32
                                                                                   : 64);
        // IT: bit 7 marks a disabled channel, 100 surround.
        if (module->playMode == gmpIT)
            pan &= 127;
        if ((error = gmpSetPanning(pan)) != errOK) {
            freePlayState(ps);
            gmpNoPlay = 0;
            return error;
        }
    }

    ps->info->channels = ps->channels;
    ps->info->position = static_cast<uint32_t>(ps->position);
    ps->info->pattern = static_cast<uint32_t>(ps->pattern);
    ps->info->row = 0;
    ps->info->tempo = static_cast<uint32_t>(ps->tempo);
    ps->info->speed = static_cast<uint32_t>(ps->speed);
    gmpNoPlay = 0;
    *playState = ps;
    return errOK;
}

int gmpStopSong(PlayState *ps)
{
    if (ps == nullptr || ps->index < 0 || ps->index >= gmpMaxSongs || playHandles[ps->index] != ps)
        return errInvalidArguments;
    return freePlayState(ps);
}

int gmpGetInformation(PlayState *ps, PlayInfo **info)
{
    if (ps == nullptr || info == nullptr)
        return errInvalidArguments;
    ps->info->speed = static_cast<uint32_t>(ps->speed);
    ps->info->tempo = static_cast<uint32_t>(gmpTempo);
    ps->info->syncInfo = static_cast<uint32_t>(ps->syncInfo);
    ps->info->songLoopCount = static_cast<uint32_t>(ps->songLoopCount);
    *info = ps->info;
    return errOK;
}

int gmpSetSyncCallback(PlayState *ps, gmpSyncCallback callback)
{
    if (ps == nullptr)
        return errInvalidArguments;
    ps->syncCallback = callback;
    return errOK;
}

int gmpSetMasterVolume(PlayState *ps, unsigned volume)
{
    if (ps == nullptr)
        return errInvalidArguments;
    // Stored as given; the output arithmetic limits it to 64.
    ps->masterVolume = static_cast<uint8_t>(volume > 255 ? 255 : volume);
    return errOK;
}

int gmpFadeChannel(PlayState *ps, unsigned channel, uint8_t fade)
{
    if (ps == nullptr)
        return errInvalidArguments;
    if (channel >= static_cast<unsigned>(ps->numChannels))
        return errInvalidChanNumber;
    ps->channels[channel].fade = fade;
    return errOK;
}
