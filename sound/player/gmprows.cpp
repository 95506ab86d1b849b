// Rows and song position: the tick (gmpPlay), reading a row into the
// channels, starting its notes and commands, and moving through the order
// list.
#include "sound/api/errors.h"
#include "sound/player/gmpintern.h"
#include "sound/player/gmplayer.h"

static int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// ---------------------------------------------------------------------------
// Song position.

// Settles ps->position on a playable order at or after it: skip entries are
// passed over, the end marker and the end of the song wrap to restartPos
// (counting a loop and resetting the global volume). Fails only on a song
// with no playable entry at all.
int gmpSettlePosition(bool wrapped)
{
    PlayState *ps = gmpHandle;
    ModuleRecord *m = gmpCurModule;
    if (wrapped) {
        ps->position = ps->restartPos;
        ps->songLoopCount++;
        ps->globalVolume = static_cast<uint8_t>(clampInt(m->masterVolume, 0, 64));
    }
    for (int tries = 0; tries <= 2 * m->songLength + 2; tries++) {
        if (ps->position > ps->songEnd || ps->position >= m->songLength || ps->position < 0 ||
            m->orders[ps->position] == gmpOrderEnd) {
            ps->position = ps->restartPos;
            ps->songLoopCount++;
            ps->globalVolume = static_cast<uint8_t>(clampInt(m->masterVolume, 0, 64));
            continue;
        }
        if (m->orders[ps->position] == gmpOrderSkip) {
            ps->position++;
            continue;
        }
        if (m->orders[ps->position] >= m->numPatts)
            return errInvalidPatt;
        ps->pattern = m->orders[ps->position];
        return errOK;
    }
    return errInvalidPatt;
}

int gmpNextPosition(void)
{
    PlayState *ps = gmpHandle;
    ps->row = 0;
    ps->rowPtr = nullptr;
    if (gmpPlayMode == gmpST3 || gmpPlayMode == gmpIT)
        ps->loopRow = 0;
    ps->position++;
    return gmpSettlePosition(false);
}

int gmpSetPosition(PlayState *ps, int newPosition)
{
    if (ps == nullptr)
        return errInvalidArguments;
    ModuleRecord *m = ps->module;
    int n = m->songLength;
    int pos = newPosition;
    if (pos >= n)
        pos = ps->restartPos;
    else if (pos < 0)
        pos = n - 1;
    bool backwards = pos < ps->position;
    int tries = 0;
    while (m->orders[pos] >= gmpOrderSkip) {
        if (++tries > n)
            return errInvalidPatt;
        if (backwards)
            pos = pos == 0 ? n - 1 : pos - 1;
        else
            pos = pos + 1 >= n ? ps->restartPos : pos + 1;
    }
    if (m->orders[pos] >= m->numPatts)
        return errInvalidPatt;
    ps->row = 0;
    ps->rowPtr = nullptr;
    ps->position = pos;
    ps->pattern = m->orders[pos];
    return errOK;
}

// ---------------------------------------------------------------------------
// Rows.

static const gmpCommand *tick0Table(void)
{
    switch (gmpPlayMode) {
    case gmpPT: return gmpTick0CommandsPT;
    case gmpST3: return gmpTick0CommandsST3;
    case gmpIT: return gmpTick0CommandsIT;
    default: return gmpTick0CommandsFT2;
    }
}

static const gmpCommand *contTable(void)
{
    switch (gmpPlayMode) {
    case gmpPT: return gmpContCommandsPT;
    case gmpST3: return gmpContCommandsST3;
    case gmpIT: return gmpContCommandsIT;
    default: return gmpContCommandsFT2;
    }
}

// The argument a handler gets: the row's info, or the remembered one.
static int commandArgument(ChannelState *ch)
{
    if (ch->info != 0)
        return ch->info;
    switch (gmpPlayMode) {
    case gmpST3:
    case gmpIT: return ch->lastInfo & 0xFF;
    case gmpFT2: return ft2UsePrevInfo[ch->command] ? ch->prevInfo[ch->command] : 0;
    default: return 0;
    }
}

static int gmpHandleCommands(void)
{
    const gmpCommand *table = contTable();
    for (int c = 0; c < gmpHandle->numTracks; c++) {
        gmpChan = &gmpHandle->channels[c];
        ChannelState *ch = gmpChan;
        if (gmpPlayMode == gmpFT2 && (ch->rowFlags & gmpRowVolume) && ch->volColumn > 64)
            CHECK(gmpRunVolCommand(ch->volColumn));
        if ((ch->rowFlags & gmpRowCommand) && ch->command != 0) {
            if (ch->command >= gmpNumCommands)
                return errInvalidPatt;
            CHECK(table[ch->command](commandArgument(ch)));
        }
    }
    return errOK;
}

// Finds row `row` of the current pattern. A row beyond the pattern (a break
// past its end in a short pattern) starts the pattern from its first row.
static int findRow(uint8_t **rowPtr)
{
    PlayState *ps = gmpHandle;
    PatternRecord *patt = gmpCurModule->patterns[ps->pattern];
    if (patt == nullptr || patt->length < 8)
        return errInvalidPatt;
    uint8_t *p = gmpPatternData(patt);
    uint8_t *end = reinterpret_cast<uint8_t *>(patt) + patt->length;
    if (ps->row < 0 || static_cast<unsigned>(ps->row) >= patt->rows)
        ps->row = 0;
    for (int r = 0; r < ps->row; r++) {
        while (p < end && *p != 0) {
            uint8_t flags = *p++;
            p += (flags & gmpEntryNote ? 2 : 0) + (flags & gmpEntryVolume ? 1 : 0) +
                 (flags & gmpEntryCommand ? 2 : 0);
        }
        if (p >= end)
            return errInvalidPatt;
        p++;
    }
    *rowPtr = p;
    return errOK;
}

// Reads the entries of one row into the channels; returns the position after
// its closing 0 byte.
static int readRow(uint8_t *p, uint8_t **next)
{
    PlayState *ps = gmpHandle;
    PatternRecord *patt = gmpCurModule->patterns[ps->pattern];
    uint8_t *end = reinterpret_cast<uint8_t *>(patt) + patt->length;
    for (;;) {
        if (p >= end)
            return errInvalidPatt;
        uint8_t flags = *p++;
        if (flags == 0)
            break;
        int size = (flags & gmpEntryNote ? 2 : 0) + (flags & gmpEntryVolume ? 1 : 0) +
                   (flags & gmpEntryCommand ? 2 : 0);
        if (end - p < size)
            return errInvalidPatt;
        int chan = flags & gmpEntryChanMask;
        if (chan >= ps->numTracks) {
            p += size;
            continue;
        }
        ChannelState *ch = &ps->channels[chan];
        if (flags & gmpEntryNote) {
            uint8_t note = *p++, inst = *p++;
            if (note != gmpNoteNone) {
                ch->note = note;
                ch->rowFlags |= gmpRowNote;
            }
            if (inst != gmpInstNone) {
                ch->newInstrument = inst;
                ch->rowFlags |= gmpRowInstrument;
            }
        }
        if (flags & gmpEntryVolume) {
            uint8_t vol = *p++;
            if (vol != gmpVolumeNone) {
                ch->volColumn = vol;
                ch->rowFlags |= gmpRowVolume;
            }
        }
        if (flags & gmpEntryCommand) {
            uint8_t cmd = *p++, info = *p++;
            if (cmd != 0) {
                ch->command = cmd;
                ch->info = info;
                ch->rowFlags |= gmpRowCommand;
            }
        }
    }
    *next = p;
    return errOK;
}

// Note-table lookup of XM and IT: picks the sample (and for IT the note to
// play) of the channel's note from instrument `instrument`.
static void lookupSample(int instrument)
{
    ChannelState *ch = gmpChan;
    // Key-off, note cut and the like are not keys of the table: they act on
    // the note that sounds, which keeps its sample (and IT its note).
    if (ch->note >= gmpNoteCut)
        return;
    InstrumentRecord *inst = gmpInstrumentOf(instrument);
    int o, s;
    gmpSplitNote(ch->note, &o, &s);
    int k = o * 12 + s;
    if (inst == nullptr || inst->numSamples == 0) {
        ch->sampleIndex = 255;
        return;
    }
    if (gmpPlayMode == gmpIT) {
        if (k > 119)
            k = 119;
        unsigned idx = 0;
        if (inst->noteSamples) {
            int playNote = inst->noteSamples[2 * k];
            if (playNote < 120)
                ch->note = static_cast<uint8_t>((playNote / 12) * 16 + playNote % 12);
            idx = inst->noteSamples[2 * k + 1];
        }
        ch->sampleIndex = static_cast<uint8_t>(idx);
    } else {
        if (k > 95)
            k = 95;
        ch->sampleIndex = inst->noteSamples ? inst->noteSamples[k] : 0;
    }
    if (gmpSampleOf(inst, ch->sampleIndex) == nullptr)
        ch->sampleIndex = 255;
}

// Set when the instrument step already looked the channel's note up in the
// note table on this row: IT tables translate the note, so a second lookup
// would translate it twice.
static bool noteLookedUp;

static int setDeviceSample(SampleRecord *smp)
{
    if (smp->sdHandle == 0)
        return errOK;
    return gmpSD->SetSample(gmpChan->sdChannel, smp->sdHandle);
}

static bool rowCommandIs(const ChannelState *ch, int command)
{
    return (ch->rowFlags & gmpRowCommand) && ch->command == command;
}

static int instrumentGiven(void)
{
    ChannelState *ch = gmpChan;
    if (gmpPlayMode == gmpPT || gmpPlayMode == gmpST3) {
        InstrumentRecord *inst = gmpInstrumentOf(ch->newInstrument);
        SampleRecord *smp = gmpSampleOf(inst, 0);
        if (smp == nullptr)
            return errOK;
        ch->instrument = ch->newInstrument;
        gmpSetVolume(static_cast<int>(smp->volume));
        ch->sampleIndex = 0;
        ch->sampleOffset = 0;
        return setDeviceSample(smp);
    }

    bool it = gmpPlayMode == gmpIT;
    if (!rowCommandIs(ch, cmdNoteDelay)) {
        gmpRestartEnvelopes();
        ch->fadeOut = it ? 512 : 65536;
        ch->autoVibPos = 0;
        ch->autoVibDepth = 0;
    }
    ch->keyOff = 0;
    bool starts = (ch->rowFlags & gmpRowNote) && ch->note <= (it ? 252 : 253) &&
                  !rowCommandIs(ch, cmdTonePorta);
    if (starts) {
        ch->instrument = ch->newInstrument;
        lookupSample(ch->instrument);
        noteLookedUp = true;
    }
    if (ch->sampleIndex == 255)
        return errOK;
    InstrumentRecord *inst = gmpInstrumentOf(ch->instrument);
    SampleRecord *smp = gmpSampleOf(inst, ch->sampleIndex);
    if (smp == nullptr)
        return errOK;
    gmpSetVolume(static_cast<int>(smp->volume));
    if (!it)
        CHECK(gmpSetPanning(smp->panning));
    else if (smp->panning >= 0)
        CHECK(gmpSetPanning(smp->panning));
    if (it && inst->defaultPan >= 0)
        CHECK(gmpSetPanning(inst->defaultPan));
    ch->sampleOffset = 0;
    if (starts)
        CHECK(setDeviceSample(smp));
    return errOK;
}

static int noteStarts(void)
{
    ChannelState *ch = gmpChan;
    if ((gmpPlayMode == gmpFT2 || gmpPlayMode == gmpIT) && ch->instrument >= 0) {
        if (!noteLookedUp)
            lookupSample(ch->instrument);
        SampleRecord *smp = gmpCurSample();
        if (smp && ch->note != gmpNoteKeyOff && ch->note != gmpNoteCut) {
            ch->sampleOffset = 0;
            if (gmpInstrumentOf(ch->newInstrument))
                ch->instrument = ch->newInstrument;
            CHECK(setDeviceSample(smp));
        }
    }
    return gmpNewNote();
}

static int gmpPlayPattern(void)
{
    PlayState *ps = gmpHandle;
    const gmpCommand *tick0 = tick0Table();
    ps->info->position = static_cast<uint32_t>(ps->position);
    ps->info->pattern = static_cast<uint32_t>(ps->pattern);
    ps->info->row = static_cast<uint32_t>(ps->row);

    if (ps->patternDelay != 0) {
        for (int c = 0; c < ps->numTracks; c++) {
            gmpChan = &ps->channels[c];
            if ((gmpChan->rowFlags & gmpRowCommand) && gmpChan->command != 0 &&
                gmpChan->command < gmpNumCommands)
                CHECK(tick0[gmpChan->command](gmpChan->info));
        }
        CHECK(gmpHandleCommands());
        ps->patternDelay--;
        return errOK;
    }

    if (ps->rowPtr == nullptr) {
        CHECK(findRow(&ps->rowPtr));
        ps->info->row = static_cast<uint32_t>(ps->row);  // findRow may have moved it
    }
    for (int c = 0; c < ps->numTracks; c++)
        ps->channels[c].rowFlags &=
            static_cast<uint8_t>(~(gmpRowNote | gmpRowVolume | gmpRowInstrument | gmpRowCommand));
    CHECK(readRow(ps->rowPtr, &ps->rowPtr));

    for (int c = 0; c < ps->numTracks; c++) {
        gmpChan = &ps->channels[c];
        ChannelState *ch = gmpChan;
        noteLookedUp = false;
        if (gmpPlayMode == gmpIT && (ch->rowFlags & gmpRowNote) && ch->note < gmpNoteCut &&
            !rowCommandIs(ch, cmdTonePorta) && !rowCommandIs(ch, cmdTPortVSlide))
            CHECK(gmpNewNoteAction());
        if (ch->rowFlags & gmpRowInstrument)
            CHECK(instrumentGiven());
        if (ch->rowFlags & gmpRowVolume) {
            if (ch->volColumn > 64)
                CHECK(gmpSetVolCommand(ch->volColumn));
            else
                gmpSetVolume(ch->volColumn);
        }
        if ((ch->rowFlags & gmpRowCommand) && ch->command != 0) {
            if (ch->command >= gmpNumCommands)
                return errInvalidPatt;
            if (ch->info != 0) {
                if (gmpPlayMode == gmpST3 || gmpPlayMode == gmpIT)
                    ch->lastInfo = ch->info;
                else if (gmpPlayMode == gmpFT2)
                    ch->prevInfo[ch->command] = ch->info;
            }
            CHECK(tick0[ch->command](commandArgument(ch)));
        }
        if (ch->rowFlags & gmpRowNote) {
            CHECK(noteStarts());
        } else if (!(gmpPlayMode == gmpFT2 &&
                     (rowCommandIs(ch, cmdVibrato) ||
                      ((ch->rowFlags & gmpRowVolume) && (ch->volColumn & 0xF0) == 0xB0)))) {
            CHECK(gmpChangePeriod(static_cast<int>(ch->period)));
        }
    }

    if (ps->rowPtr != nullptr) {
        ps->row++;
        if (static_cast<unsigned>(ps->row) >= gmpCurModule->patterns[ps->pattern]->rows)
            CHECK(gmpNextPosition());
    }
    return errOK;
}

int gmpPlay(void)
{
    if (gmpNoPlay)
        return errOK;
    for (int i = 0; i < gmpMaxSongs; i++) {
        PlayState *ps = playHandles[i];
        if (ps == nullptr || (ps->songLoopCount != 0 && ps->loopSong == 0))
            continue;
        gmpHandle = ps;
        gmpCurModule = ps->module;
        gmpPlayMode = ps->module->playMode;
        // Tremolo changes the volume of one tick only.
        for (int c = 0; c < ps->numTracks; c++)
            ps->channels[c].playVolume = ps->channels[c].volume;
        ps->tick++;
        if (ps->tick < ps->speed) {
            CHECK(gmpHandleCommands());
        } else {
            ps->tick = 0;
            CHECK(gmpPlayPattern());
        }
        CHECK(gmpRunEnvelopes());
    }
    return errOK;
}
