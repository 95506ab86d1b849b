// Module dump for the loader tests.
#include "dump.h"

#include <cstdio>
#include <sstream>

namespace {

std::string hex2(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

void dumpEnvelope(std::ostringstream &o, const char *what, const EnvelopeRecord *e)
{
    if (!e)
        return;
    o << "    " << what << " points " << unsigned(e->numPoints) << " sus " << unsigned(e->susPoint)
      << " loop " << unsigned(e->loopStart) << "-" << unsigned(e->loopEnd) << " susloop "
      << unsigned(e->susLoopStart) << "-" << unsigned(e->susLoopEnd) << ":";
    for (unsigned k = 0; k < e->numPoints && k < gmpEnvPoints; k++)
        o << " " << e->points[k].pos << "/" << e->points[k].value;
    o << "\n";
}

// FNV-1a over the kept data, so that the dump pins the converted bytes.
uint32_t checksum(const SampleRecord *s)
{
    uint32_t h = 2166136261u;
    const uint8_t *d = static_cast<const uint8_t *>(s->sample);
    for (uint32_t i = 0; d && i < s->sampleLength; i++)
        h = (h ^ d[i]) * 16777619u;
    return h;
}

}  // namespace

std::string dumpPattern(const PatternRecord *p)
{
    std::ostringstream o;
    const uint8_t *d = gmpPatternData(p);
    const uint8_t *end = reinterpret_cast<const uint8_t *>(p) + p->length;
    for (unsigned row = 0; row < p->rows && d < end; row++) {
        std::ostringstream line;
        while (d < end && *d != 0) {
            uint8_t f = *d++;
            line << " " << unsigned(f & gmpEntryChanMask) << ":";
            if ((f & gmpEntryNote) && end - d >= 2) {
                line << hex2(d[0]) << "/" << hex2(d[1]);
                d += 2;
            } else {
                line << "--/--";
            }
            if ((f & gmpEntryVolume) && d < end)
                line << " v" << unsigned(*d++);
            if ((f & gmpEntryCommand) && end - d >= 2) {
                line << " c" << unsigned(d[0]) << "," << hex2(d[1]);
                d += 2;
            }
        }
        if (d < end)
            d++;  // the row's 0
        if (!line.str().empty())
            o << "  " << row << ":" << line.str() << "\n";
    }
    if (d != end)
        o << "  (pattern length does not match its rows)\n";
    return o.str();
}

std::string dumpModule(const ModuleRecord *m)
{
    std::ostringstream o;
    o << "name \"" << m->name << "\" mode " << m->playMode << " chans " << unsigned(m->numChans)
      << " speed " << unsigned(m->speed) << " tempo " << unsigned(m->tempo) << " volume "
      << unsigned(m->masterVolume) << " flags " << unsigned(m->flags) << " restart " << m->restart
      << "\n";
    o << "orders " << m->songLength << ":";
    for (int i = 0; i < m->songLength; i++)
        o << " " << m->orders[i];
    o << "\npanning:";
    for (int c = 0; c < (m->playMode == gmpIT ? 64 : 32); c++)
        o << " " << m->panning[c];
    o << "\n";
    o << "instruments " << m->numInsts << "\n";
    for (unsigned i = 0; i < m->numInsts; i++) {
        const InstrumentRecord *in = m->instruments[i];
        if (!in) {
            o << "  " << i << " none\n";
            continue;
        }
        o << "  " << i << " \"" << in->name << "\" used " << in->used << " samples";
        for (unsigned k = 0; k < in->numSamples; k++) {
            int idx = -1;
            for (unsigned j = 0; j < m->numSamples; j++)
                if (m->samples[j] == in->sampleList[k])
                    idx = static_cast<int>(j);
            o << " " << idx;
        }
        o << " fadeout " << in->volFadeout << " gvol " << in->instGlobalVolume << " nna "
          << unsigned(in->newNoteAction) << " dct " << unsigned(in->dupCheckType) << " dca "
          << unsigned(in->dupCheckAction) << " pps " << unsigned(in->pitchPanSep) << " ppc "
          << unsigned(in->pitchPanCenter) << " dfp " << int(in->defaultPan) << " rv "
          << unsigned(in->randomVolume) << " rp " << unsigned(in->randomPan) << "\n";
        if (in->noteSamples) {
            o << "    keys";
            if (m->playMode == gmpIT) {  // 120 pairs (note to play, sample)
                for (unsigned n = 0; n < 120; n++)
                    o << " " << unsigned(in->noteSamples[2 * n]) << "/"
                      << unsigned(in->noteSamples[2 * n + 1]);
            } else {  // XM: one sample index for each of the 96 notes
                for (unsigned n = 0; n < 96; n++)
                    o << " " << unsigned(in->noteSamples[n]);
            }
            o << "\n";
        }
        dumpEnvelope(o, "vol", in->volEnvelope);
        dumpEnvelope(o, "pan", in->panEnvelope);
        dumpEnvelope(o, "pitch", in->pitchEnvelope);
    }
    o << "samples " << m->numSamples << "\n";
    for (unsigned i = 0; i < m->numSamples; i++) {
        const SampleRecord *s = m->samples[i];
        if (!s) {
            o << "  " << i << " none\n";
            continue;
        }
        char sum[16];
        std::snprintf(sum, sizeof sum, "%08X", checksum(s));
        o << "  " << i << " \"" << s->name << "\" len " << s->sampleLength << " type "
          << unsigned(s->sampleType) << " mode " << unsigned(s->loopMode) << " loop "
          << unsigned(s->loopType) << " " << s->loopStart << "-" << s->loopEnd << " sus "
          << unsigned(s->susLoopType) << " " << s->susLoopStart << "-" << s->susLoopEnd << " vol "
          << s->volume << " gvol " << s->sampleGlobalVolume << " pan " << s->panning << " base "
          << s->baseTune << " fine " << s->fineTune << " vib " << unsigned(s->smpVibType) << ","
          << unsigned(s->smpVibRate) << "," << unsigned(s->smpVibDepth) << ","
          << unsigned(s->smpVibSpeed) << " data " << sum << "\n";
    }
    o << "patterns " << m->numPatts << "\n";
    for (unsigned p = 0; p < m->numPatts; p++) {
        o << " pattern " << p << " rows " << m->patterns[p]->rows << " length "
          << m->patterns[p]->length << "\n";
        o << dumpPattern(m->patterns[p]);
    }
    return o.str();
}
