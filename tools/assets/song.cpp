#include "tools/assets/song.h"

#include <array>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tools/assets/synth.h"

namespace assets {
namespace {

// Instrument numbers (1-based, as the patterns name them).
enum Ins : uint8_t {
    kKick = 1,
    kSnare,
    kClosedHat,
    kOpenHat,
    kBass,
    kPad,
    kLead,
    kPluck,
    kBell,
    kCrash,
    kRiser
};

constexpr int kRowsPerBar = 16;

// "C-4", "C#4" -> XM note (1 = C-0); C-4 is middle C.
uint8_t note(const std::string &name)
{
    static const char *const names[] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                        "F#", "G-", "G#", "A-", "A#", "B-"};
    if (name.size() != 3)
        throw std::invalid_argument("bad note name " + name);
    for (int s = 0; s < 12; ++s)
        if (name.compare(0, 2, names[s]) == 0)
            return static_cast<uint8_t>((name[2] - '0') * 12 + s + 1);
    throw std::invalid_argument("bad note name " + name);
}

uint8_t vol(int v) { return static_cast<uint8_t>(0x10 + v); }

struct Chord {
    std::array<const char *, 3> pad;  // voicing of the three pad channels
    int root;                         // semitone 0..11
    bool minor;
};

const Chord Am{{"A-3", "C-4", "E-4"}, 9, true};
const Chord F{{"A-3", "C-4", "F-4"}, 5, false};
const Chord C{{"G-3", "C-4", "E-4"}, 0, false};
const Chord G{{"G-3", "B-3", "D-4"}, 7, false};
const Chord D{{"F#3", "A-3", "D-4"}, 2, false};
const Chord Em{{"G-3", "B-3", "E-4"}, 4, true};
const Chord E{{"G#3", "B-3", "E-4"}, 4, false};

using Bars = std::vector<Chord>;

// Bass root: E..B in octave 1, C..D# in octave 2 (41 Hz to 78 Hz).
uint8_t bass_root(const Chord &c, int octave_up = 0)
{
    const int octave = c.root >= 4 ? 1 : 2;
    return static_cast<uint8_t>((octave + octave_up) * 12 + c.root + 1);
}

// Chord tone i (0 root, 1 third, 2 fifth, 3 octave) in the given octave.
uint8_t chord_tone(const Chord &c, int i, int octave)
{
    const int step = i % 4;
    const int third = c.minor ? 3 : 4;
    const int semis = (step == 0 ? 0 : step == 1 ? third : step == 2 ? 7 : 12) + 12 * (i / 4);
    return static_cast<uint8_t>(octave * 12 + c.root + semis + 1);
}

class Pattern {
public:
    explicit Pattern(int rows = 64) : p(rows, kChannels) {}
    XmPattern p;

    XmCell &cell(int row, int ch) { return p.at(row, ch); }
    void play(int row, int ch, uint8_t n, uint8_t ins, int volume = -1)
    {
        XmCell &c = cell(row, ch);
        c.note = n;
        c.instrument = ins;
        if (volume >= 0)
            c.volume = vol(volume);
    }
    void off(int row, int ch) { cell(row, ch).note = kKeyOff; }
    void effect(int row, int ch, uint8_t e, uint8_t param)
    {
        XmCell &c = cell(row, ch);
        if (c.effect || c.param)
            throw std::logic_error("two effects in one cell");
        c.effect = e;
        c.param = param;
    }
    void volume_column(int row, int ch, uint8_t v) { cell(row, ch).volume = v; }

    // One character a row: 'x' full hit, 'o' softer, 'g' ghost, '.' nothing.
    void drums(int ch, uint8_t ins, const char *bar, int full, int first_bar = 0, int bars = 4)
    {
        const int len = static_cast<int>(std::strlen(bar));
        for (int b = first_bar; b < first_bar + bars; ++b)
            for (int i = 0; i < kRowsPerBar && i < len; ++i) {
                const int row = b * kRowsPerBar + i;
                if (row >= p.rows)
                    return;
                const char k = bar[i];
                if (k == 'x')
                    play(row, ch, note("C-4"), ins, full);
                if (k == 'o')
                    play(row, ch, note("C-4"), ins, full * 2 / 3);
                if (k == 'g')
                    play(row, ch, note("C-4"), ins, full / 3);
            }
    }

    // Space-separated tokens, one per row from first_row: "." nothing, "="
    // key off, "E-5" a note, "~E-5" a glide to it (tone portamento).
    void melody(int ch, uint8_t ins, int volume, int first_row, const std::string &text,
                uint8_t glide = 0x18)
    {
        std::istringstream in(text);
        std::string tok;
        int row = first_row;
        while (in >> tok) {
            if (row >= p.rows)
                throw std::logic_error("melody runs past the pattern");
            if (tok == "=") {
                off(row, ch);
            } else if (tok[0] == '~') {
                XmCell &c = cell(row, ch);
                c.note = note(tok.substr(1));
                effect(row, ch, fx::tone_porta, glide);
            } else if (tok != ".") {
                play(row, ch, note(tok), ins, volume);
            }
            ++row;
        }
    }

    void pads(const Bars &bars, int volume, bool glide)
    {
        for (size_t b = 0; b < bars.size(); ++b) {
            const int row = static_cast<int>(b) * kRowsPerBar;
            for (int v = 0; v < 3; ++v) {
                const int ch = kPadCh0 + v;
                if (glide && b > 0) {
                    // Voices slide into the next chord instead of restarting.
                    if (bars[b].pad[v] != bars[b - 1].pad[v]) {
                        cell(row, ch).note = note(bars[b].pad[v]);
                        effect(row, ch, fx::tone_porta, 0x10);
                    }
                } else {
                    play(row, ch, note(bars[b].pad[v]), kPad, volume);
                }
            }
        }
    }
};

// --- the sections ----------------------------------------------------------

const Bars kIntro{Am, F, C, G};
const Bars kTunnel{Am, Am, F, G};
const Bars kGroove{Am, C, G, D};
const Bars kBreak{F, G, Em, Am};
const Bars kFinale{Am, F, C, G};

void bell_arpeggio(Pattern &pt, const Bars &bars, int volume)
{
    static const int order[] = {0, 2, 3, 2};
    for (size_t b = 0; b < bars.size(); ++b)
        for (int i = 0; i < 4; ++i) {
            const int row = static_cast<int>(b) * kRowsPerBar + i * 4;
            pt.play(row, kArpCh, chord_tone(bars[b], order[i], 5), kBell,
                    i == 0 ? volume : volume * 3 / 4);
        }
}

void riser(Pattern &pt, int from_row)
{
    pt.play(from_row, kFxCh, note("C-4"), kRiser, 36);
    for (int r = from_row + 8; r < pt.p.rows; r += 2)
        pt.effect(r, kFxCh, fx::slide_up, 0x04);
}

Pattern intro(bool second)
{
    Pattern pt;
    pt.pads(kIntro, second ? 40 : 30, true);
    if (!second) {
        // Fade the pads in: the first bar's notes start quiet and swell by
        // volume slides on the following rows.
        for (int v = 0; v < 3; ++v)
            pt.volume_column(0, kPadCh0 + v, vol(4));
        for (int r = 1; r < 15; r += 2)
            for (int v = 0; v < 3; ++v)
                pt.effect(r, kPadCh0 + v, fx::volume_slide, 0x10);
    }
    bell_arpeggio(pt, kIntro, second ? 40 : 30);
    if (second) {
        for (size_t b = 0; b < kIntro.size(); ++b)
            pt.play(static_cast<int>(b) * kRowsPerBar, kBassCh, bass_root(kIntro[b]), kBass, 40);
        pt.drums(kHatCh, kClosedHat, "..x...x...x...x.", 22, 2, 2);
        riser(pt, 48);
    }
    return pt;
}

void octave_bass(Pattern &pt, const Bars &bars, int volume)
{
    for (size_t b = 0; b < bars.size(); ++b)
        for (int i = 0; i < 8; ++i) {
            const int row = static_cast<int>(b) * kRowsPerBar + i * 2;
            pt.play(row, kBassCh, bass_root(bars[b], i % 2), kBass,
                    i % 2 ? volume * 3 / 4 : volume);
        }
}

Pattern tunnel(bool second)
{
    Pattern pt;
    pt.drums(kKickCh, kKick, "x...x...x...x...", 60);
    pt.drums(kHatCh, kOpenHat, "..x...x...x...x.", 28);
    for (int r = 1; r < 64; r += 4)
        pt.play(r, kHatCh, note("C-4"), kClosedHat, 16);
    octave_bass(pt, kTunnel, 48);
    pt.pads(kTunnel, 26, false);
    if (!second) {
        pt.play(0, kFxCh, note("C-4"), kCrash, 40);
        // Stabs of the plucked string answer the kick.
        for (size_t b = 0; b < kTunnel.size(); ++b)
            for (int i : {3, 7, 11}) {
                const int row = static_cast<int>(b) * kRowsPerBar + i;
                pt.play(row, kArpCh, chord_tone(kTunnel[b], i == 7 ? 2 : 1, 5), kPluck, 30);
                pt.effect(row, kArpCh, fx::panning, i == 7 ? 0x50 : 0xB0);
            }
    } else {
        pt.drums(kSnareCh, kSnare, "....x.......x...", 50);
        pt.drums(kSnareCh, kSnare, "....x.......x.oo", 50, 3, 1);
        pt.melody(kLeadCh, kLead, 40, 0,
                  "A-4 . A-4 . C-5 . A-4 . E-5 . . . D-5 . C-5 . "
                  "A-4 . A-4 . C-5 . E-5 . A-5 . . . G-5 . E-5 . "
                  "F-5 . . . E-5 . . . C-5 . . . A-4 . C-5 . "
                  "B-4 . . . . . D-5 . G-5 . . . = . . .");
        for (int r : {9, 10, 11, 25, 26, 27})
            pt.effect(r, kLeadCh, fx::vibrato, 0x64);
        riser(pt, 48);
    }
    return pt;
}

Pattern groove(bool second)
{
    Pattern pt;
    pt.drums(kKickCh, kKick, "x.....x...x.....", 60);
    pt.drums(kSnareCh, kSnare, "....x..g....x..g", 48);
    pt.drums(kHatCh, kClosedHat, "x.o.x.o.x.o.x.oo", 26);
    // Funky bass with a glide up to the octave at the end of each bar.
    for (size_t b = 0; b < kGroove.size(); ++b) {
        const int r0 = static_cast<int>(b) * kRowsPerBar;
        const Chord &c = kGroove[b];
        pt.play(r0 + 0, kBassCh, bass_root(c), kBass, 50);
        pt.play(r0 + 3, kBassCh, bass_root(c), kBass, 36);
        pt.play(r0 + 6, kBassCh, bass_root(c, 1), kBass, 44);
        pt.play(r0 + 8, kBassCh, static_cast<uint8_t>(bass_root(c) + 7), kBass, 44);
        pt.off(r0 + 10, kBassCh);
        pt.play(r0 + 11, kBassCh, bass_root(c), kBass, 40);
        pt.cell(r0 + 14, kBassCh).note = bass_root(c, 1);
        pt.effect(r0 + 14, kBassCh, fx::tone_porta, 0x30);
    }
    // Broken chords on the plucked string, panned left and right.
    static const int order[] = {0, 1, 2, 3, 2, 1, 2, 3};
    for (size_t b = 0; b < kGroove.size(); ++b)
        for (int i = 0; i < 8; ++i) {
            const int row = static_cast<int>(b) * kRowsPerBar + i * 2;
            pt.play(row, kArpCh, chord_tone(kGroove[b], order[i], 4), kPluck, i % 2 ? 26 : 34);
            pt.effect(row, kArpCh, fx::panning, i % 2 ? 0x40 : 0xC0);
        }
    pt.pads(kGroove, 22, true);
    if (!second) {
        pt.play(0, kFxCh, note("C-4"), kCrash, 40);
        pt.effect(0, kHatCh, fx::speed_tempo,
                  128);  // back to full tempo after the last section's slow-down
    } else {
        pt.melody(kLeadCh, kLead, 38, 0,
                  "E-5 . . G-5 . . A-5 . . . = . . . . . "
                  "G-5 . . E-5 . . C-5 . . D-5 . . E-5 . . . "
                  "D-5 . . B-4 . . G-4 . . . = . . . . . "
                  "F#5 . . . A-5 . . . ~D-6 . . . . . = .");
        // Chip-style arpeggios on the held notes.
        pt.effect(7, kLeadCh, fx::arpeggio, 0x37);
        pt.effect(8, kLeadCh, fx::arpeggio, 0x37);
        pt.effect(9, kLeadCh, fx::arpeggio, 0x37);
        for (int r = 58; r < 62; ++r)
            pt.effect(r, kLeadCh, fx::vibrato, 0x56);
    }
    return pt;
}

Pattern breakdown(bool second)
{
    Pattern pt(second ? 56 : 64);
    if (!second) {
        pt.pads(kBreak, 44, true);
        pt.play(0, kFxCh, note("C-4"), kCrash, 24);
        for (size_t b = 0; b < kBreak.size(); ++b)
            pt.play(static_cast<int>(b) * kRowsPerBar, kBassCh, bass_root(kBreak[b]), kBass, 44);
        pt.melody(kLeadCh, kLead, 42, 0,
                  "A-5 . . . . . . . . . . . G-5 . . . "
                  "B-5 . . . . . . . . . . . D-6 . . . "
                  "G-5 . . . . . . . E-5 . . . . . . . "
                  "~A-5 . . . . . . . . . . . . . = .");
        for (int r :
             {4, 5, 6, 7, 8, 9, 10, 20, 21, 22, 23, 24, 25, 26, 52, 53, 54, 55, 56, 57, 58, 59})
            pt.effect(r, kLeadCh, fx::vibrato, r < 30 ? 0x44 : 0x56);
        bell_arpeggio(pt, kBreak, 24);
        return pt;
    }
    // The build. Rows 0..7 are played twice by a pattern loop (kick on beats
    // one and three under the F chord); then G, E and a snare roll. The loop
    // starts on row 0 so that no player carries its start row into the next
    // pattern.
    pt.effect(0, kSnareCh, fx::extended, 0x60);
    pt.effect(7, kSnareCh, fx::extended, 0x61);
    pt.pads({F}, 40, false);
    pt.play(0, kBassCh, bass_root(F), kBass, 44);
    pt.play(0, kKickCh, note("C-4"), kKick, 50);
    pt.play(4, kHatCh, note("C-4"), kClosedHat, 18);
    for (int v = 0; v < 3; ++v) {
        pt.cell(8, kPadCh0 + v).note = note(G.pad[static_cast<size_t>(v)]);
        pt.effect(8, kPadCh0 + v, fx::tone_porta, 0x10);
        if (E.pad[static_cast<size_t>(v)] != G.pad[static_cast<size_t>(v)]) {
            pt.cell(24, kPadCh0 + v).note = note(E.pad[static_cast<size_t>(v)]);
            pt.effect(24, kPadCh0 + v, fx::tone_porta, 0x10);
        }
    }
    pt.play(8, kBassCh, bass_root(G), kBass, 44);
    pt.play(24, kBassCh, bass_root(E), kBass, 44);
    for (int r = 8; r < 40; r += 8)
        pt.play(r, kKickCh, note("C-4"), kKick, 52);
    for (int r = 28; r < 40; r += 4)
        pt.play(r, kKickCh, note("C-4"), kKick, 56);
    for (int r = 12; r < 24; r += 8)
        pt.play(r, kSnareCh, note("C-4"), kSnare, 30);
    for (int r = 24; r < 40; r += 4)
        pt.play(r, kSnareCh, note("C-4"), kSnare, 32);
    for (int r = 40; r < 56; ++r) {
        pt.play(r, kSnareCh, note("C-4"), kSnare, 24 + (r - 40) * 2);
        if (r % 4 == 0)
            pt.play(r, kKickCh, note("C-4"), kKick, 56);
    }
    for (int i = 0; i < 8; ++i) {
        const Chord &c = i < 4 ? G : E;
        pt.play(8 + i * 4, kArpCh, chord_tone(c, i % 4 == 3 ? 2 : i % 4, 5), kBell, 20);
    }
    riser(pt, 40);
    return pt;
}

Pattern finale(int part)
{
    Pattern pt;
    pt.drums(kKickCh, kKick, "x...x...x...x...", 60);
    pt.drums(kSnareCh, kSnare, "....x.......x..g", 50);
    pt.drums(kHatCh, kClosedHat, "x.x.x.x.x.x.x.xo", 24);
    for (int r = 2; r < 64; r += 4)
        pt.play(r, kHatCh, note("C-4"), kOpenHat, 22);
    const Bars &bars = kFinale;
    octave_bass(pt, bars, 50);
    pt.pads(bars, 28, true);
    // Fast chip arpeggios: every other row the chord's root with a minor or
    // major arpeggio, sweeping across the stereo field.
    for (size_t b = 0; b < bars.size(); ++b)
        for (int i = 0; i < 8; ++i) {
            const int row = static_cast<int>(b) * kRowsPerBar + i * 2;
            pt.play(row, kArpCh, chord_tone(bars[b], 0, 5), kPluck, 24);
            pt.effect(row, kArpCh, fx::arpeggio, bars[b].minor ? 0x37 : 0x47);
            pt.volume_column(row, kArpCh,
                             static_cast<uint8_t>(0xC0 + (i < 4 ? 4 + i * 2 : 18 - i * 2) % 16));
        }
    if (part == 0) {
        pt.play(0, kFxCh, note("C-4"), kCrash, 44);
        pt.melody(kLeadCh, kLead, 42, 0,
                  "E-5 . . . . . D-5 . C-5 . . . D-5 . E-5 . "
                  "F-5 . . . . . E-5 . C-5 . . . A-4 . . . "
                  "G-5 . . . . . E-5 . C-5 . . . D-5 . E-5 . "
                  "D-5 . . . . . . . . . . . B-4 . ~D-5 .");
    } else if (part == 1) {
        pt.melody(kLeadCh, kLead, 42, 0,
                  "A-5 . . . . . G-5 . E-5 . . . G-5 . A-5 . "
                  "C-6 . . . . . A-5 . F-5 . . . A-5 . . . "
                  "G-5 . . . E-5 . . . G-5 . . . C-6 . B-5 . "
                  "~D-6 . . . . . . . B-5 . . . = . . .");
    } else {
        pt.play(0, kFxCh, note("C-4"), kCrash, 36);
        pt.melody(kLeadCh, kLead, 40, 0,
                  "E-5 . . . . . D-5 . C-5 . . . D-5 . E-5 . "
                  "F-5 . . . . . E-5 . C-5 . . . A-4 . . . "
                  "G-5 . . . . . E-5 . C-5 . . . D-5 . E-5 . "
                  "~A-5 . . . . . . . . . . . = . . .");
    }
    for (int r : {2, 3, 4, 5, 18, 19, 20, 21, 50, 51, 52, 53, 54, 55}) {
        XmCell &c = pt.cell(r, kLeadCh);
        if (!c.effect && !c.param && !c.note)
            pt.effect(r, kLeadCh, fx::vibrato, 0x45);
    }
    return pt;
}

// Three bars back towards the groove: F, G, then E major with a slow-down.
Pattern turnaround()
{
    Pattern pt;
    const Bars bars{F, G, E};
    pt.pads(bars, 36, true);
    for (size_t b = 0; b < bars.size(); ++b)
        pt.play(static_cast<int>(b) * kRowsPerBar, kBassCh, bass_root(bars[b]), kBass, 46);
    pt.drums(kKickCh, kKick, "x.......x.......", 56, 0, 3);
    pt.drums(kHatCh, kClosedHat, "..x...x...x...x.", 22, 0, 3);
    pt.drums(kSnareCh, kSnare, "....x.......x...", 44, 0, 2);
    pt.drums(kSnareCh, kSnare, "x.x.x.x.xxxxxxxx", 40, 2, 1);
    pt.melody(kLeadCh, kLead, 38, 0,
              "C-6 . . . A-5 . . . F-5 . . . A-5 . . . "
              "B-5 . . . G-5 . . . D-5 . . . G-5 . . . "
              "G#5 . . . . . . . . . . . . . . =");
    for (int r = 36; r < 46; ++r)
        pt.effect(r, kLeadCh, fx::vibrato, 0x46);
    pt.effect(40, kFxCh, fx::speed_tempo, 120);  // slowing into the restart
    pt.effect(44, kFxCh, fx::speed_tempo, 112);
    pt.effect(47, kFxCh, fx::pattern_break, 0x00);  // leave after three bars
    return pt;
}

}  // namespace

XmModule compose_song()
{
    XmModule m;
    m.name = "q5 fast fast";
    m.channels = kChannels;
    m.speed = 6;
    m.tempo = 128;  // 128 beats a minute; a 16-row bar lasts 1.875 s

    m.instruments = {make_kick(), make_snare(), make_closed_hat(), make_open_hat(),
                     make_bass(), make_pad(),   make_lead(),       make_pluck(),
                     make_bell(), make_crash(), make_riser()};

    std::vector<Pattern> pats;
    pats.push_back(intro(false));      // 0  calm opening under the rippling picture
    pats.push_back(intro(true));       // 1
    pats.push_back(tunnel(false));     // 2  drive for the tunnel
    pats.push_back(tunnel(true));      // 3
    pats.push_back(groove(false));     // 4  groove for the first metaballs
    pats.push_back(groove(true));      // 5
    pats.push_back(breakdown(false));  // 6  breakdown while the spider fades in
    pats.push_back(breakdown(true));   // 7
    pats.push_back(finale(0));         // 8  finale under credits and greetings
    pats.push_back(finale(1));         // 9
    pats.push_back(finale(2));         // 10
    pats.push_back(turnaround());      // 11

    // The show's cues, each on the first row of its section: 1 ends the
    // ripple, 3 the tunnel, 5 brings in the spider, 4 ends the metaballs.
    pats[2].effect(0, kFxCh, fx::sync, 1);
    pats[4].effect(0, kFxCh, fx::sync, 3);
    pats[6].effect(0, kFxCh, fx::sync, 5);
    pats[8].effect(0, kFxCh, fx::sync, 4);

    for (Pattern &p : pats)
        m.patterns.push_back(std::move(p.p));
    m.orders = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    m.restart = 4;  // after the turnaround the groove comes back
    return m;
}

SongTiming walk_song(const XmModule &m)
{
    SongTiming out;
    out.restart_position = m.restart;
    int pos = 0, row = 0, speed = m.speed, tempo = m.tempo;
    double t = 0;
    std::vector<int> loop_row(static_cast<size_t>(m.channels), 0),
        loop_count(static_cast<size_t>(m.channels), 0);
    const int song_length = static_cast<int>(m.orders.size());
    for (long guard = 0;; ++guard) {
        if (guard > 1'000'000)
            throw std::runtime_error("song does not wrap");
        const XmPattern &p = m.patterns.at(m.orders.at(static_cast<size_t>(pos)));
        int jump_pos = -1, break_row = -1, loop_to = -1, delay = 0;
        for (int ch = 0; ch < m.channels; ++ch) {
            const XmCell &c = p.at(row, ch);
            const int x = c.param >> 4, y = c.param & 15;
            switch (c.effect) {
            case fx::speed_tempo:
                if (c.param == 0) {
                    out.pass_seconds = t;  // F00 stops and restarts the song
                    return out;
                }
                if (c.param < 32)
                    speed = c.param;
                else
                    tempo = c.param;
                break;
            case fx::position_jump:
                jump_pos = c.param;
                break_row = std::max(break_row, 0);
                break;
            case fx::pattern_break: break_row = x * 10 + y; break;
            case fx::sync: out.marks.push_back({c.param, pos, row, t}); break;
            case fx::extended:
                if (x == 6) {
                    auto &lr = loop_row[static_cast<size_t>(ch)];
                    auto &lc = loop_count[static_cast<size_t>(ch)];
                    if (y == 0) {
                        lr = row;
                    } else if (lc == 0) {
                        lc = y;
                        loop_to = lr;
                    } else if (--lc > 0) {
                        loop_to = lr;
                    }
                } else if (x == 0xE) {
                    delay = y;
                }
                break;
            default: break;
            }
        }
        t += speed * (1 + delay) * 2.5 / tempo;
        int next_pos = pos, next_row = row + 1;
        if (loop_to >= 0) {
            next_row = loop_to;
        } else if (jump_pos >= 0 || break_row >= 0) {
            next_pos = jump_pos >= 0 ? jump_pos : pos + 1;
            next_row = break_row;
        } else if (next_row >= p.rows) {
            next_pos = pos + 1;
            next_row = 0;
        }
        const bool wrapped = next_pos >= song_length || (jump_pos >= 0 && next_pos <= pos);
        if (wrapped) {
            out.pass_seconds = t;
            return out;
        }
        if (next_pos != pos) {
            std::fill(loop_row.begin(), loop_row.end(), 0);
            const XmPattern &np = m.patterns.at(m.orders.at(static_cast<size_t>(next_pos)));
            next_row = std::min(next_row, np.rows - 1);
        }
        pos = next_pos;
        row = next_row;
    }
}

}  // namespace assets
